// Whole runs on in-memory controls: what the labels, charts, memo, grids and buttons show.
#include "run/gp.h"

#include <gtest/gtest.h>

#include <utility>

#include "run_fixture.h"

namespace vobrix::test {
namespace {

const std::string kSpace = "\xE3\x80\x80";  // U+3000
const std::string kSeparator = "\r\n\r\n";

std::vector<std::string> Numbered(int count) {
  std::vector<std::string> labels;
  for (int k = 0; k < count; ++k) labels.push_back(std::to_string(k));
  return labels;
}
std::vector<std::string> Blank(int count) {
  return std::vector<std::string>(count, "");
}

using GenerationReport = RunScenario;

// Runs one after another on the same controls: populations of different lengths, then equal
// ones, then a single population whose run starts from empty charts and keeps the reports of the
// populations it does not have.
TEST_F(GenerationReport, LabelsChartsMemoAndButtonsOverRunsOfThreeTwoFourAndOnePopulation) {
  LoadData();
  Create({SmallParams(100, 10), SmallParams(50, 10), SmallParams(70, 10)});
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);
  std::vector<std::pair<int, int>> expected, order;
  for (int g = 0; g < 100; ++g) {
    for (int i = 0; i < 3; ++i) {
      if (g < std::array{100, 50, 70}[i]) expected.emplace_back(g, i);
    }
  }
  for (const auto& s : steps) order.emplace_back(s.generation, s.population);
  EXPECT_EQ(order, expected);
  EXPECT_EQ(controls.ProgressBar1.Maximum(), 220);
  EXPECT_EQ(controls.ProgressBar1.Position(), 220);
  EXPECT_EQ(controls.Label48.Caption(), "No2:" + kSpace + "50 / 50");
  EXPECT_EQ(controls.Label82.Caption(), "No3:" + kSpace + "70 / 70");
  EXPECT_FALSE(controls.Label83.Visible());
  EXPECT_EQ(Labels(controls.Chart2, 0), Numbered(100));  // the longest population labels
  EXPECT_EQ(Labels(controls.Chart2, 2), Blank(50));
  EXPECT_EQ(Labels(controls.Chart3, 5), Blank(70));
  EXPECT_EQ(Labels(controls.Form5Chart2, 3), Numbered(50));  // validation always labelled

  Create({SmallParams(30, 10), SmallParams(60, 10)});  // a later population is the longest
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);
  EXPECT_EQ(Labels(controls.Chart2, 0), Blank(30));
  EXPECT_EQ(Labels(controls.Chart2, 2), Numbered(60));

  Create({SmallParams(5, 10), SmallParams(5, 10), SmallParams(5, 10), SmallParams(5, 10)});
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);
  EXPECT_EQ(Labels(controls.Chart3, 0), Numbered(5));  // equal counts: the first labels
  for (int s = 2; s < 8; ++s) EXPECT_EQ(Labels(controls.Chart3, s), Blank(5));
  EXPECT_EQ(controls.StringGrid5.ColCount(), 5);
  const auto first = populationReports;

  steps.clear();
  Create({SmallParams(4)});
  session.seedSource = [] { return 999u; };
  std::vector<std::string> captions;
  onStep = [&](const StepReport&) { captions.push_back(controls.Label31.Caption()); };
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);
  EXPECT_EQ(captions,
            (std::vector<std::string>{"No1:" + kSpace + "1 / 4", "No1:" + kSpace + "2 / 4",
                                      "No1:" + kSpace + "3 / 4", "No1:" + kSpace + "4 / 4"}));
  EXPECT_FALSE(controls.Label48.Visible());
  EXPECT_EQ(controls.Memo1.Text(), "[Population No1]\r\n" + steps.back().bestProgram + kSeparator +
                                       first[1] + kSeparator + first[2] + kSeparator + first[3]);
  EXPECT_EQ(first[3].rfind("[Population No4]\r\n", 0), 0u);
  // The fitness axis is scaled from generation 0's best error, on both fitness charts.
  for (toolkit::MemoryChart* chart : {&controls.Chart2, &controls.Form5Chart2}) {
    EXPECT_EQ(Labels(*chart, 0), Numbered(4));
    EXPECT_EQ(Labels(*chart, 1), Numbered(4));  // validation
    EXPECT_EQ(chart->PointCount(2), 0);
    EXPECT_EQ(chart->LeftAxisMaximum(), 1.1 * steps.front().bestFitness);
  }
  // Series 0 of the length charts is the average, series 1 the best individual's length.
  for (std::size_t g = 0; g < steps.size(); ++g) {
    EXPECT_EQ(controls.Form6Chart3.Points(0)[g].y, steps[g].averageLength);
    EXPECT_EQ(controls.Chart3.Points(1)[g].y, steps[g].bestLength);
    EXPECT_EQ(controls.Chart2.Points(0)[g].y, steps[g].bestFitness);
  }
  EXPECT_EQ(controls.Form6Chart3.PointCount(3), 0);
  EXPECT_EQ(controls.Chart4.PointCount(2), 0);  // population 2's predictions are gone too
  EXPECT_EQ(controls.ProgressBar1.Maximum(), 4);
  EXPECT_EQ(controls.ProgressBar1.Position(), 4);
  EXPECT_EQ(controls.StringGrid5.ColCount(), 2);
  EXPECT_TRUE(controls.BitBtn2.Enabled());
  EXPECT_FALSE(controls.BitBtn1.Enabled());
  EXPECT_EQ(controls.application.Beeps(), 4);  // one for each run
  EXPECT_EQ(session.problem, nullptr);
  EXPECT_EQ(currentProblem, nullptr);
}

// A step that fails, whether on a cell that is no number or on a grid that no longer matches the
// run, ends the run as failed with one message, and leaves the window idle.
TEST_F(GenerationReport, AStepThatFailsEndsTheRunCleanly) {
  const std::pair<std::function<void()>, std::string> faults[] = {
      {[&] { controls.StringGrid3.SetCell(1, 7, "abc"); }, "\"abc\" is not a number"},
      {[&] { controls.StringGrid1.SetRowCount(controls.StringGrid1.RowCount() - 1); },
       "The Training Data changed during the run."}};
  for (const auto& [fault, message] : faults) {
    SCOPED_TRACE(message);
    steps.clear();
    const std::size_t messagesBefore = controls.application.Messages().size();
    LoadData();
    Create({SmallParams(10)});
    onStep = [&](const StepReport&) {
      if (steps.size() == 2) fault();
    };
    EXPECT_EQ(Run().outcome, RunOutcome::Failed);
    EXPECT_EQ(steps.size(), 2u);
    ASSERT_EQ(controls.application.Messages().size(), messagesBefore + 1);
    EXPECT_NE(controls.application.Messages().back().find(message), std::string::npos);
    EXPECT_TRUE(controls.BitBtn2.Enabled());
    EXPECT_FALSE(controls.BitBtn1.Enabled());
    EXPECT_EQ(session.populations[0], nullptr);
    EXPECT_EQ(currentPopulation, nullptr);
    EXPECT_EQ(controls.application.Beeps(), 0);
  }
}

}  // namespace
}  // namespace vobrix::test
