// Whole runs on in-memory controls: what the labels, charts, memo, grids and buttons show.
#include "run/gp.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>

#include "engine/misc.h"
#include "run/prediction.h"
#include "run_fixture.h"

namespace vobrix::test {
namespace {

using toolkit::ButtonKind;

const std::string kSpace = "\xE3\x80\x80";  // U+3000
const std::string kSeparator = "\r\n\r\n";

std::vector<std::string> Numbered(int from, int count) {
  std::vector<std::string> labels;
  for (int k = from; k < from + count; ++k) labels.push_back(std::to_string(k));
  return labels;
}

using GenerationReport = RunScenario;

TEST_F(GenerationReport, OnePopulationLabelsChartsMemoAndButtons) {
  LoadData();
  Create({SmallParams(50)});
  std::vector<std::string> captions;
  onStep = [&](const StepReport&) { captions.push_back(controls.Label31.Caption()); };

  const RunResult result = Run();

  ASSERT_EQ(result.outcome, RunOutcome::Finished);
  ASSERT_EQ(captions.size(), 50u);
  EXPECT_EQ(captions.front(), "No1:" + kSpace + "1 / 50");
  EXPECT_EQ(captions.back(), "No1:" + kSpace + "50 / 50");
  EXPECT_TRUE(controls.Label31.Visible());
  EXPECT_FALSE(controls.Label48.Visible());
  EXPECT_FALSE(controls.Label82.Visible());
  EXPECT_FALSE(controls.Label83.Visible());

  for (toolkit::MemoryChart* chart : {&controls.Chart2, &controls.Form5Chart2}) {
    EXPECT_EQ(Labels(*chart, 0), Numbered(0, 50));
    EXPECT_EQ(Labels(*chart, 1), Numbered(0, 50));
    for (int s = 2; s < chart->SeriesCount(); ++s) EXPECT_EQ(chart->PointCount(s), 0) << s;
  }
  for (toolkit::MemoryChart* chart : {&controls.Chart3, &controls.Form6Chart3}) {
    EXPECT_EQ(chart->PointCount(0), 50);
    EXPECT_EQ(chart->PointCount(1), 50);
    EXPECT_EQ(chart->PointCount(2), 0);
  }
  // Series 0 of the length charts is the average, series 1 the best individual's length.
  const auto lengths = controls.Chart3.Points(1);
  const auto averages = controls.Chart3.Points(0);
  for (std::size_t g = 0; g < steps.size(); ++g) {
    EXPECT_EQ(lengths[g].y, steps[g].bestLength);
    EXPECT_EQ(averages[g].y, steps[g].averageLength);
    EXPECT_EQ(controls.Chart2.Points(0)[g].y, steps[g].bestFitness);
  }

  EXPECT_EQ(controls.Memo1.Text(), "[Population No1]\r\n" + steps.back().bestProgram + kSeparator +
                                       kSeparator + kSeparator);
  EXPECT_EQ(controls.ProgressBar1.Maximum(), 50);
  EXPECT_EQ(controls.ProgressBar1.Position(), 50);
  EXPECT_TRUE(controls.BitBtn2.Enabled());
  EXPECT_FALSE(controls.BitBtn1.Enabled());
  EXPECT_EQ(controls.application.Beeps(), 1);
  EXPECT_TRUE(controls.application.Messages().empty());
  EXPECT_EQ(session.problem, nullptr);
  EXPECT_EQ(session.populations[0], nullptr);
  EXPECT_EQ(currentProblem, nullptr);
}

TEST_F(GenerationReport, PopulationsOfDifferentLengthsInterleaveAndTheLongestLabels) {
  LoadData();
  Create({SmallParams(100, 10), SmallParams(50, 10), SmallParams(70, 10)});
  std::vector<int> progress;
  onStep = [&](const StepReport&) { progress.push_back(controls.ProgressBar1.Position()); };

  ASSERT_EQ(Run().outcome, RunOutcome::Finished);

  std::vector<std::pair<int, int>> expected;
  for (int g = 0; g < 100; ++g) {
    for (int i = 0; i < 3; ++i) {
      if (g < std::array{100, 50, 70}[i]) expected.emplace_back(g, i);
    }
  }
  std::vector<std::pair<int, int>> order;
  for (const auto& s : steps) order.emplace_back(s.generation, s.population);
  EXPECT_EQ(order, expected);
  EXPECT_EQ(controls.ProgressBar1.Maximum(), 220);
  EXPECT_EQ(progress.back(), 220);
  EXPECT_EQ(controls.Label48.Caption(), "No2:" + kSpace + "50 / 50");
  EXPECT_EQ(controls.Label82.Caption(), "No3:" + kSpace + "70 / 70");
  EXPECT_TRUE(controls.Label82.Visible());
  EXPECT_FALSE(controls.Label83.Visible());

  EXPECT_EQ(Labels(controls.Chart2, 0), Numbered(0, 100));
  EXPECT_EQ(Labels(controls.Chart2, 2), std::vector<std::string>(50, ""));
  EXPECT_EQ(Labels(controls.Chart3, 5), std::vector<std::string>(70, ""));
  // Validation points always carry the generation.
  EXPECT_EQ(Labels(controls.Form5Chart2, 3), Numbered(0, 50));
  EXPECT_EQ(controls.Chart2.Points(4).back().x, 69.0);
}

TEST_F(GenerationReport, LaterLongerPopulationLabelsAndEqualCountsLabelFromTheFirst) {
  LoadData();
  Create({SmallParams(30, 10), SmallParams(60, 10)});
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);
  EXPECT_EQ(Labels(controls.Chart2, 0), std::vector<std::string>(30, ""));
  EXPECT_EQ(Labels(controls.Chart2, 2), Numbered(0, 60));
  EXPECT_EQ(controls.Chart2.Points(0).back().x, 29.0);

  Create({SmallParams(5, 10), SmallParams(5, 10), SmallParams(5, 10), SmallParams(5, 10)});
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);
  EXPECT_EQ(Labels(controls.Chart3, 0), Numbered(0, 5));
  for (int s = 2; s < 8; ++s)
    EXPECT_EQ(Labels(controls.Chart3, s), std::vector<std::string>(5, ""));
  EXPECT_TRUE(controls.Label83.Visible());
  EXPECT_EQ(controls.StringGrid5.ColCount(), 5);
  EXPECT_EQ(controls.StringGrid5.DefaultColWidth(), 36);
}

TEST_F(GenerationReport, FitnessAxisIsSizedFromGenerationZero) {
  LoadData();
  Create({SmallParams(3)});
  controls.Chart2.SetLeftAxisMaximum(1e9);  // left by an earlier run
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);
  ASSERT_TRUE(controls.Chart2.LeftAxisMaximum().has_value());
  EXPECT_DOUBLE_EQ(*controls.Chart2.LeftAxisMaximum(), 1.1 * steps[0].bestFitness);
  EXPECT_EQ(controls.Form5Chart2.LeftAxisMaximum(), controls.Chart2.LeftAxisMaximum());

  // A series of zeros, and programs without constants over "+", "-", "*": every error is 0,
  // so the axis is left automatic rather than kept from the run before.
  for (auto& row : trainingRows) row.y = "0";
  FillGrid(controls.StringGrid1, trainingRows);
  FillGrid(controls.StringGrid3, std::vector<CellRow>(20, CellRow{"", "0"}));
  for (int k = 0; k < 20; ++k) controls.StringGrid3.SetCell(0, k, std::to_string(100 + k));
  settings.ticked = {true, true, true};
  PopulationParams params = SmallParams(2);
  params.variableRatio = 0.5f;
  Create({params});
  steps.clear();
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);
  EXPECT_EQ(steps[0].bestFitness, 0.0);
  EXPECT_FALSE(controls.Chart2.LeftAxisMaximum().has_value());
  EXPECT_FALSE(controls.Form5Chart2.LeftAxisMaximum().has_value());
}

TEST_F(GenerationReport, ValidationErrorEqualsTheGridTexts) {
  LoadData();
  Create({SmallParams(8), SmallParams(8)});
  int checked = 0;
  onStep = [&](const StepReport& report) {
    const int nT = controls.StringGrid1.RowCount();
    const int nV = controls.StringGrid3.RowCount();
    double sum = 0.0;
    for (int k = 0; k < nV; ++k) {
      const double d = std::stod(controls.StringGrid3.Cell(1, k)) -
                       std::stod(controls.StringGrid5.Cell(report.population + 1, nT + k - 5));
      sum += d * d;
    }
    ASSERT_TRUE(report.validationError.has_value());
    EXPECT_EQ(*report.validationError, sum / nV);
    EXPECT_EQ(controls.Chart2.Points(2 * report.population + 1).back().y, sum / nV);
    ++checked;
  };
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);
  EXPECT_EQ(checked, 16);
}

TEST_F(GenerationReport, NoValidationDataMeansNoValidationPart) {
  LoadData(0, 100, 0);
  Create({SmallParams(4)});
  session.hasValidation = false;
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);
  for (const auto& s : steps) EXPECT_FALSE(s.validationError.has_value());
  EXPECT_EQ(controls.Chart2.PointCount(1), 0);
  EXPECT_EQ(controls.StringGrid5.RowCount(), 95);
  EXPECT_EQ(controls.Chart4.PointCount(0), 100);
  EXPECT_EQ(controls.Chart4.PointCount(5), 0);
}

TEST_F(GenerationReport, ReportsOfAnEarlierRunStayInTheMemo) {
  LoadData();
  Create({SmallParams(2, 10), SmallParams(2, 10), SmallParams(2, 10), SmallParams(2, 10)});
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);
  const auto first = populationReports;
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(first[i].rfind("[Population No" + std::to_string(i + 1) + "]\r\n", 0), 0u);
  }

  steps.clear();
  Create({SmallParams(3, 10)});
  session.seedSource = [] { return 999u; };
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);
  EXPECT_EQ(controls.Memo1.Text(), "[Population No1]\r\n" + steps.back().bestProgram + kSeparator +
                                       first[1] + kSeparator + first[2] + kSeparator + first[3]);
}

TEST_F(GenerationReport, SecondRunStartsWithEmptyChartsAndItsOwnProgress) {
  LoadData();
  Create({SmallParams(12), SmallParams(6)});
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);
  const int zooms = controls.Chart2.UndoZoomCount();

  Create({SmallParams(4)});
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);
  EXPECT_EQ(controls.Chart2.PointCount(0), 4);
  EXPECT_EQ(controls.Chart2.PointCount(2), 0);
  EXPECT_EQ(controls.Form6Chart3.PointCount(3), 0);
  EXPECT_EQ(controls.Chart4.PointCount(2), 0);  // population 2's predictions are gone too
  EXPECT_EQ(controls.Chart4.PointCount(0), 120);
  EXPECT_GT(controls.Chart2.UndoZoomCount(), zooms);
  EXPECT_EQ(controls.ProgressBar1.Maximum(), 4);
  EXPECT_EQ(controls.StringGrid5.ColCount(), 2);
  EXPECT_EQ(controls.application.Beeps(), 2);
}

// --- Stop, Resume, break points, cancel and failures -------------------------------------

using RunControl = RunScenario;

TEST_F(RunControl, StopAndResumeInTheMiddleOfTwoPopulations) {
  LoadData();
  Create({SmallParams(10), SmallParams(10)});
  bool pressed = false;
  std::size_t stepsWhenWaiting = 0;
  controls.application.messageHook = [&] {
    if (controls.application.WaitCount() > 0 && controls.BitBtn1.Caption() == "Resume") {
      // Inside the wait: population 2's step of generation 4 has not begun.
      stepsWhenWaiting = steps.size();
      EXPECT_EQ(controls.BitBtn1.Kind(), ButtonKind::Ok);
      BitBtn1Click(session, view);
      EXPECT_EQ(controls.BitBtn1.Caption(), "Stop");
      EXPECT_EQ(controls.BitBtn1.Kind(), ButtonKind::No);
      return;
    }
    if (!pressed && steps.size() == 9) {  // population 1 has finished generation 4
      pressed = true;
      BitBtn1Click(session, view);
    }
  };
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);
  EXPECT_EQ(controls.application.WaitCount(), 1);
  EXPECT_EQ(stepsWhenWaiting, 9u);
  EXPECT_EQ(steps.size(), 20u);
  EXPECT_EQ(steps[9].generation, 4);
  EXPECT_EQ(steps[9].population, 1);
}

TEST_F(RunControl, BreakPointPausesEveryTenGenerations) {
  LoadData();
  PopulationParams params = SmallParams(30, 10);
  params.breakEvery = 10;
  Create({params});
  std::vector<std::size_t> waitedAfter;
  controls.application.messageHook = [&] {
    if (controls.application.WaitCount() > static_cast<int>(waitedAfter.size())) {
      waitedAfter.push_back(steps.size());
      EXPECT_EQ(controls.BitBtn1.Caption(), "Resume");
      BitBtn1Click(session, view);
    }
  };
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);
  EXPECT_EQ(waitedAfter, (std::vector<std::size_t>{10, 20}));
  // The last break point fires on the last step; the idle button reads "Stop" again.
  EXPECT_EQ(controls.BitBtn1.Caption(), "Stop");
  EXPECT_FALSE(controls.BitBtn1.Enabled());
}

TEST_F(RunControl, CancelEndsTheRunBetweenStepsEvenWhilePaused) {
  LoadData();
  Create({SmallParams(10), SmallParams(10)});
  onStep = [&](const StepReport&) {
    if (steps.size() == 3) BitBtn1Click(session, view);
  };
  controls.application.messageHook = [&] {
    if (controls.application.WaitCount() > 0) session.cancelRequested = true;
  };
  const RunResult result = Run();
  EXPECT_EQ(result.outcome, RunOutcome::Cancelled);
  EXPECT_EQ(steps.size(), 3u);
  EXPECT_EQ(controls.application.Beeps(), 0);
  EXPECT_TRUE(controls.BitBtn2.Enabled());
  EXPECT_FALSE(controls.BitBtn1.Enabled());
  EXPECT_EQ(controls.BitBtn1.Caption(), "Stop");
  EXPECT_EQ(session.problem, nullptr);
  EXPECT_EQ(session.populations[1], nullptr);
}

TEST_F(RunControl, AStepThatFailsEndsTheRunCleanly) {
  LoadData();
  Create({SmallParams(10)});
  onStep = [&](const StepReport&) {
    if (steps.size() == 2) controls.StringGrid3.SetCell(1, 7, "abc");
  };
  const RunResult result = Run();
  EXPECT_EQ(result.outcome, RunOutcome::Failed);
  EXPECT_EQ(steps.size(), 2u);
  ASSERT_EQ(controls.application.Messages().size(), 1u);
  EXPECT_NE(controls.application.Messages()[0].find("abc"), std::string::npos);
  EXPECT_TRUE(controls.BitBtn2.Enabled());
  EXPECT_FALSE(controls.BitBtn1.Enabled());
  EXPECT_EQ(session.problem, nullptr);
  EXPECT_EQ(session.populations[0], nullptr);
  EXPECT_EQ(currentProblem, nullptr);
  EXPECT_EQ(currentPopulation, nullptr);
  EXPECT_EQ(controls.application.Beeps(), 0);
}

TEST_F(RunControl, ValidationXThatDoesNotContinueIsRefusedBeforeAnyStep) {
  LoadData();
  controls.StringGrid3.SetCell(0, 4, "105");
  Create({SmallParams(5)});
  const RunResult result = Run();
  EXPECT_EQ(result.outcome, RunOutcome::Failed);
  EXPECT_TRUE(steps.empty());
  ASSERT_EQ(controls.application.Messages().size(), 1u);
  EXPECT_NE(result.message.find("row 5 has 105, expected 104"), std::string::npos);
  EXPECT_TRUE(controls.BitBtn2.Enabled());
  EXPECT_EQ(session.populations[0], nullptr);
}

TEST_F(RunControl, PopulationWithoutGenerationsNeverSteps) {
  LoadData();
  Create({SmallParams(0), SmallParams(3)});
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);
  EXPECT_EQ(steps.size(), 3u);
  for (const auto& s : steps) EXPECT_EQ(s.population, 1);
  EXPECT_EQ(controls.ProgressBar1.Maximum(), 3);

  steps.clear();
  Create({SmallParams(0)});
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);
  EXPECT_TRUE(steps.empty());
  EXPECT_EQ(controls.application.Beeps(), 2);
}

}  // namespace
}  // namespace vobrix::test
