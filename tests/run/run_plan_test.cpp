// Weighing a whole run before it is made.
#include "run/run_plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <string>
#include <tuple>

#include "engine/batch_eval.h"
#include "engine/memory_room.h"
#include "engine/parallel_eval.h"
#include "toolkit/toolkit.h"

namespace vobrix {
namespace {

RunPlan DefaultPlan() {
  return {ReadProblemShape(ProblemSettings{}, 100), {PopulationParams{}}, 1, 10};
}

TEST(RunPlanTest, EveryPartOfTheRunAddsAtLeastWhatItAllocates) {
  const std::uint64_t base = RunMemoryBytes(DefaultPlan());
  EXPECT_GE(base, ProblemBytes(DefaultPlan().problem) + PopulationBytes(PopulationParams{}) +
                      BatchEvaluator::BytesFor(1009, 95, 100));
  struct Case {
    const char* what;
    std::function<void(RunPlan&)> change;
    std::uint64_t atLeast;
  };
  PopulationParams longer;
  longer.maxLength = 1000;
  const Case cases[] = {
      {"a second population", [](RunPlan& p) { p.populations.push_back(PopulationParams{}); },
       PopulationBytes(PopulationParams{})},
      {"a second thread", [](RunPlan& p) { p.threads = 2; },
       BatchEvaluator::BytesFor(1009, 95, 100)},
      {"1000 more generations", [](RunPlan& p) { p.populations[0].generations += 1000; },
       1000 * (12 + 8 * sizeof(toolkit::ChartPoint))},
      {"99,000 more constants",
       [](RunPlan& p) {
         ProblemSettings s;
         s.constantCountText = "100000";
         p.problem = ReadProblemShape(s, 100);
       },
       99000 * (sizeof(NodeEntry) + sizeof(double))},
      // Longer programs keep more row buffers waiting in every evaluator: one per three Nodes.
      {"longer programs", [longer](RunPlan& p) { p.populations[0] = longer; },
       PopulationBytes(longer) - PopulationBytes(PopulationParams{}) + 300 * 95 * sizeof(double)},
  };
  for (const Case& c : cases) {
    RunPlan plan = DefaultPlan();
    c.change(plan);
    EXPECT_GE(RunMemoryBytes(plan), base + c.atLeast) << c.what;
  }
}

TEST(RunPlanTest, PopulationsThatFitAloneCanStillMakeARunThatDoesNot) {
  RunPlan plan = DefaultPlan();
  plan.populations.push_back(PopulationParams{});
  plan.populations[1].populationSize = 3000;
  const std::uint64_t room =
      PopulationBytes(plan.populations[0]) + PopulationBytes(plan.populations[1]) + 1000;
  EXPECT_TRUE(FitsInRoom(PopulationBytes(plan.populations[1]), room));
  EXPECT_FALSE(RunFitsInMemory(plan, room));
  EXPECT_EQ(LargestPopulation(plan), 1u);
  EXPECT_TRUE(RunFitsInMemory(plan, RunMemoryBytes(plan)));
  EXPECT_FALSE(RunFitsInMemory(plan, RunMemoryBytes(plan) - 1));

  // Four populations of the largest sizes saturate the count rather than wrap around.
  const std::int32_t max = std::numeric_limits<std::int32_t>::max();
  PopulationParams huge;
  huge.populationSize = huge.maxLength = huge.generations = max;
  plan.populations.assign(4, huge);
  EXPECT_EQ(RunMemoryBytes(plan), std::numeric_limits<std::uint64_t>::max());
  EXPECT_FALSE(RunFitsInMemory(plan, std::uint64_t{1} << 62));
  EXPECT_TRUE(RunFitsInMemory(plan, std::nullopt));  // no figure could be read
}

TEST(RunPlanTest, ThreadsBeyondTheCoresOrTheWorkAreNeitherBuiltNorCounted) {
  const int cores = GenerationEvaluator::DefaultThreads();
  const std::tuple<int, std::int32_t, int> counts[] = {
      // requested, largest population, evaluators built
      {1024, 1'000'000, cores},
      {0, 1'000'000, cores},
      {1, 1'000'000, 1},
      {1024, 40, std::min(cores, 10)},  // 40 individuals make ten of the smallest chunks
      {8, 1, 1}};
  for (const auto& [requested, largest, built] : counts) {
    EXPECT_EQ(GenerationEvaluator::ThreadCount(requested, largest), built)
        << requested << " for " << largest;
  }
  RunPlan many = DefaultPlan(), own = DefaultPlan();
  many.threads = 1024;
  own.threads = 0;
  EXPECT_EQ(RunMemoryBytes(many), RunMemoryBytes(own));
}

}  // namespace
}  // namespace vobrix
