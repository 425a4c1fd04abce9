// What the run driver promises step by step: the break point of each population, Stop during a
// step, and every step's report made afresh, the last step included. (One seeding per population
// is pinned by the golden runs of several populations, whose generation 0 listings repeat.)
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/functions.h"
#include "run/gp.h"
#include "run_fixture.h"

namespace vobrix::test {
namespace {

using RunRules = RunScenario;

// A population pauses the run after each of its own generations g with (g + 1) a multiple of
// its break count; the next step of any population then waits until Resume. A pause after the
// run's last step has no step left to hold.
TEST_F(RunRules, BreakPointPausesAfterEveryNthGenerationOfItsPopulation) {
  // Per population: its break count and its generations.
  const std::vector<std::vector<std::pair<int, int>>> cases = {
      {{3, 7}},         {{1, 3}},         {{2, 5}, {0, 5}},
      {{0, 6}, {3, 6}}, {{4, 4}, {2, 6}}, {{3, 6}, {2, 6}, {0, 2}}};
  for (std::size_t c = 0; c < std::size(cases); ++c) {
    std::vector<PopulationParams> params;
    for (const auto& [breakEvery, generations] : cases[c]) {
      params.push_back(SmallParams(generations, 8));
      params.back().breakEvery = breakEvery;
    }
    LoadData();
    steps.clear();
    Create(params);
    controls.application = {};
    std::vector<std::size_t> waitedAfter;  // steps done when a wait began
    int waits = 0;
    controls.application.messageHook = [&] {
      if (controls.application.WaitCount() == waits) return;  // a dispatch, not a wait
      waits = controls.application.WaitCount();
      EXPECT_EQ(controls.BitBtn1.Caption(), "Resume");
      EXPECT_EQ(controls.BitBtn1.Kind(), toolkit::ButtonKind::Ok);
      waitedAfter.push_back(steps.size());
      BitBtn1Click(session, view);
    };
    ASSERT_EQ(Run().outcome, RunOutcome::Finished) << "case " << c;

    std::vector<std::size_t> expected;
    for (std::size_t s = 0; s + 1 < steps.size(); ++s) {
      const int breakEvery = cases[c][steps[s].population].first;
      if (breakEvery != 0 && (steps[s].generation + 1) % breakEvery == 0) expected.push_back(s + 1);
    }
    EXPECT_EQ(waitedAfter, expected) << "case " << c;
    EXPECT_FALSE(expected.empty());
  }
}

// A long series' step lets the window's messages through several times, not only at its end,
// so Stop is not held for the whole report. A Stop pressed at any of them lets the step under
// way end as it would have, then the run waits before the next step; after Resume it goes on
// to the same results as a run never stopped.
TEST_F(RunRules, AStopPressedDuringALongStepPausesBeforeTheNextWithTheSameResults) {
  const auto run = [&](int pressAt) {
    LoadData(0, 20'000, 20);
    steps.clear();
    Create({SmallParams(2, 6), SmallParams(2, 6)});
    controls.application = {};
    int dispatches = 0, waits = 0;
    std::vector<std::size_t> waitedAfter;  // steps done when a wait began
    controls.application.messageHook = [&] {
      if (controls.application.WaitCount() != waits) {
        waits = controls.application.WaitCount();
        waitedAfter.push_back(steps.size());
        BitBtn1Click(session, view);  // Resume
      } else if (++dispatches == pressAt) {
        BitBtn1Click(session, view);  // Stop
      }
    };
    EXPECT_EQ(Run().outcome, RunOutcome::Finished);
    return std::tuple(steps, waitedAfter, controls.StringGrid5.Cell(1, 10'000), dispatches);
  };
  const auto [unstopped, noWaits, cell, dispatches] = run(0);
  ASSERT_EQ(unstopped.size(), 4u);
  ASSERT_TRUE(noWaits.empty());
  const int perStep = dispatches / 4;
  ASSERT_GT(perStep, 2);
  for (int pressAt = 1; pressAt <= perStep; ++pressAt) {
    const auto [stopped, waitedAfter, stoppedCell, ignored] = run(pressAt);
    EXPECT_EQ(waitedAfter, std::vector<std::size_t>{1}) << pressAt;
    ASSERT_EQ(stopped.size(), unstopped.size()) << pressAt;
    for (std::size_t s = 0; s < stopped.size(); ++s) {
      EXPECT_EQ(stopped[s].bestProgram, unstopped[s].bestProgram) << pressAt << " " << s;
      EXPECT_EQ(stopped[s].bestFitness, unstopped[s].bestFitness) << pressAt << " " << s;
      EXPECT_EQ(stopped[s].validationError, unstopped[s].validationError) << pressAt;
    }
    EXPECT_EQ(stoppedCell, cell) << pressAt;
  }
}

// Each step writes the predictions of its own best program (15 significant digits, read back
// as the inputs of no later step), the validation point and the memo; the test blanks them
// after every step, so a step that skipped one of them leaves it blank.
TEST_F(RunRules, EveryStepReportsItsOwnBestTheLastOneIncluded) {
  LoadData(0, 40, 12);
  Create({SmallParams(5, 30), SmallParams(3, 20)});
  const int nT = 40, nV = 12, w = windowSize;
  std::vector<double> series;
  for (const CellRow& row : trainingRows) series.push_back(TextToFloat(row.y));
  for (int j = 0; j < nV; ++j) series.push_back(TextToFloat(controls.StringGrid3.Cell(1, j)));
  std::array<int, 2> stepsOf{};
  onStep = [&](const StepReport& report) {
    const int i = report.population;
    const Individual& best = *session.populations[static_cast<std::size_t>(i)]->Current()[0];
    ASSERT_EQ(controls.StringGrid5.RowCount(), nT + nV - w);
    for (int row = 0; row < nT + nV - w; ++row) {
      session.problem->window.assign(series.begin() + row, series.begin() + row + w);
      std::int32_t position = 0;
      const double p = EvaluateNode(best.genes, position);
      ASSERT_EQ(controls.StringGrid5.Cell(i + 1, row), FormatGeneral(p, 15))
          << "generation " << report.generation << " population " << i + 1 << " row " << row;
      controls.StringGrid5.SetCell(i + 1, row, "");
    }
    const int count = ++stepsOf[static_cast<std::size_t>(i)];
    ASSERT_EQ(controls.Chart2.PointCount(2 * i + 1), count);
    EXPECT_EQ(controls.Chart2.Points(2 * i + 1).back().y, report.validationError.value());
    const std::string head = "[Population No" + std::to_string(i + 1) + "]\r\n";
    EXPECT_NE(controls.Memo1.Text().find(head + report.bestProgram), std::string::npos);
    populationReports[static_cast<std::size_t>(i)].clear();
    controls.Memo1.SetText("");
  };
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);
  EXPECT_EQ(stepsOf, (std::array<int, 2>{5, 3}));
}

}  // namespace
}  // namespace vobrix::test
