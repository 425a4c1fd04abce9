// Runs side by side in child processes: results in task order for any thread count, every
// generation reported here, a child's error or crash named, a stop that ends the children.
#include "forecast/parallel_runs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <tuple>

#include "forecast/baselines.h"

namespace vobrix::forecast {
namespace {

// Task i reports i + 1 generations and returns a program of i + 1 constants, one of them a
// value a decimal text would round; odd tasks carry a linear scaling whose a and b differ.
MemberRun Counted(std::size_t i, const GenerationHook& hook) {
  MemberRun run;
  for (std::size_t g = 0; g <= i; ++g) {
    if (!hook()) throw RunStopped();
    run.program.push_back({model::ModelNode::Kind::Constant, static_cast<int>(g),
                           std::nextafter(0.1 * static_cast<double>(i), 1.0)});
  }
  run.generation = static_cast<std::int32_t>(i);
  run.holdoutMse = 1.0 / 3.0 + static_cast<double>(i);
  if (i % 2 == 1) run.scaling = LinearScaling{0.5 + static_cast<double>(i), -2.0 / 3.0};
  return run;
}

TEST(RunSideBySide, ResultsAndGenerationsAreTheSameForAnyThreadCount) {
  std::vector<MemberRun> expected;
  for (std::size_t i = 0; i < 5; ++i) expected.push_back(Counted(i, [] { return true; }));
  for (const int threads : {1, 2, 3, 8}) {
    std::size_t generations = 0;
    const auto results = RunSideBySide(
        5, threads, [](std::size_t i, int, const GenerationHook& hook) { return Counted(i, hook); },
        [&] { return ++generations > 0; });
    ASSERT_EQ(results.size(), expected.size()) << threads;
    const auto fields = [](const MemberRun& r) {
      return std::tie(r.program, r.generation, r.holdoutMse, r.scaling);
    };
    for (std::size_t i = 0; i < results.size(); ++i) {
      EXPECT_TRUE(fields(results[i]) == fields(expected[i])) << threads << " " << i;
    }
    EXPECT_EQ(generations, 15u) << threads;  // 1 + 2 + 3 + 4 + 5
  }
}

TEST(RunSideBySide, AChildsErrorOrCrashIsAForecastErrorAndAStopEndsEveryChild) {
  for (const bool crash : {false, true}) {
    if (crash && !kChildProcesses) continue;  // it would end the test
    const RunTask task = [crash](std::size_t i, int, const GenerationHook& hook) {
      if (i == 2 && !crash) throw ForecastError("window 7: no rows");
      if (i == 1 && crash) ::_exit(3);
      return Counted(i, hook);
    };
    try {
      RunSideBySide(4, 2, task, [] { return true; });
      ADD_FAILURE() << (crash ? "the crash" : "the error") << " was not reported";
    } catch (const ForecastError& e) {
      EXPECT_NE(std::string(e.what()).find(crash ? "ended without a result" : "window 7: no rows"),
                std::string::npos)
          << e.what();
    }
  }
  // A run that never ends unless its parent stops it.
  const RunTask endless = [](std::size_t, int, const GenerationHook& hook) {
    for (;;) {
      if (!hook()) throw RunStopped();
    }
    return MemberRun{};
  };
  std::size_t generations = 0;
  EXPECT_THROW(RunSideBySide(3, 2, endless, [&] { return ++generations < 100; }), RunStopped);
  EXPECT_EQ(generations, 100u);
}

}  // namespace
}  // namespace vobrix::forecast
