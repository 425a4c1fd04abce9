// The prediction output: grid rows, x values, one-step predictions from actual values, and
// non-finite predictions written and read back as words.
#include "run/prediction.h"

#include <gtest/gtest.h>

#include <limits>

#include "run_fixture.h"

namespace vobrix::test {
namespace {

using PredictionOutput = RunScenario;

std::vector<std::string> Column(const toolkit::Grid& grid, int col, int first, int count) {
  std::vector<std::string> texts;
  for (int r = first; r < first + count; ++r) texts.push_back(grid.Cell(col, r));
  return texts;
}

std::vector<std::string> Integers(int from, int count) {
  std::vector<std::string> texts;
  for (int k = from; k < from + count; ++k) texts.push_back(std::to_string(k));
  return texts;
}

TEST_F(PredictionOutput, RowsAndPositionsWithTrainingXFromZero) {
  LoadData(0);
  Create({SmallParams(2)});
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);

  const auto& out = controls.StringGrid5;
  EXPECT_EQ(out.RowCount(), 115);
  EXPECT_EQ(out.ColCount(), 2);
  EXPECT_EQ(Column(out, 0, 0, 115), Integers(5, 115));
  EXPECT_EQ(out.DefaultColWidth(), 90);

  const auto& working = controls.StringGrid4;
  EXPECT_EQ(working.RowCount(), 120);
  EXPECT_EQ(Column(working, 0, 100, 20), Integers(100, 20));
  EXPECT_EQ(Column(working, 1, 100, 20), Column(controls.StringGrid3, 1, 0, 20));
  EXPECT_EQ(Column(working, 1, 0, 100), Column(controls.StringGrid1, 1, 0, 100));

  for (toolkit::MemoryChart* chart : {&controls.Chart4, &controls.Form4Chart1}) {
    EXPECT_EQ(chart->PointCount(0), 120);
    EXPECT_EQ(chart->Points(0).front().x, 0.0);
    ASSERT_EQ(chart->PointCount(1), 95);
    EXPECT_EQ(chart->Points(1).front().x, 5.0);
    EXPECT_EQ(chart->Points(1).front().label, "5");
    ASSERT_EQ(chart->PointCount(5), 20);
    EXPECT_EQ(chart->Points(5).back().x, 119.0);
  }
}

TEST_F(PredictionOutput, TrainingXFromOneShiftsOnlyTheData) {
  LoadData(1);
  Create({SmallParams(1)});
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);
  EXPECT_EQ(Column(controls.StringGrid5, 0, 0, 115), Integers(5, 115));
  EXPECT_EQ(controls.Chart4.Points(0).front().x, 1.0);
  EXPECT_EQ(controls.Chart4.Points(0).back().x, 120.0);
  EXPECT_EQ(controls.Chart4.Points(1).front().x, 5.0);
  // The working series' validation rows take positions, not the data's X.
  EXPECT_EQ(controls.StringGrid4.Cell(0, 100), "100");
}

TEST_F(PredictionOutput, PredictionsAreOneStepAheadFromActualValues) {
  LoadData();
  windowSize = 3;
  Create({SmallParams(3), SmallParams(3)});
  std::vector<double> series;
  for (const auto& row : trainingRows) series.push_back(std::stod(row.y));
  for (int r = 0; r < 20; ++r) series.push_back(std::stod(controls.StringGrid3.Cell(1, r)));

  int checked = 0;
  onStep = [&](const StepReport& report) {
    const int i = report.population;
    const Individual& best = *session.populations[i]->Current()[0];
    for (int row = 0; row < 117; ++row) {  // x = row + 3 predicted from x - 3 .. x - 1
      std::copy_n(series.begin() + row, 3, session.problem->window.begin());
      std::int32_t position = 0;
      const double p = EvaluateNode(best.genes, position);
      ASSERT_EQ(controls.StringGrid5.Cell(i + 1, row), FormatGeneral(p, 15)) << row;
    }
    ++checked;
  };
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);
  EXPECT_EQ(checked, 6);
}

TEST_F(PredictionOutput, AStepRewritesOnlyItsOwnColumn) {
  LoadData();
  Create({SmallParams(3), SmallParams(3), SmallParams(3), SmallParams(3)});
  std::vector<std::vector<std::string>> before;
  onStep = [&](const StepReport& report) {
    if (report.generation != 2) return;
    if (report.population == 1) {
      before.clear();
      for (int c = 0; c < 5; ++c) before.push_back(Column(controls.StringGrid5, c, 0, 115));
    }
    if (report.population == 2) {
      for (int c : {0, 1, 2, 4}) EXPECT_EQ(Column(controls.StringGrid5, c, 0, 115), before[c]);
    }
  };
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);
  EXPECT_EQ(controls.StringGrid4.ColCount(), 5);
  EXPECT_EQ(controls.StringGrid4.DefaultColWidth(), 36);
}

// A problem whose training Y are so large that powers of them overflow.
class NonFinitePredictions : public RunScenario {
 protected:
  void SetUp() override {
    RunScenario::SetUp();
    for (int k = 0; k < 10; ++k) {
      trainingRows.push_back({std::to_string(k), "1E80"});
    }
    FillGrid(controls.StringGrid1, trainingRows);
    std::vector<CellRow> validation;
    for (int k = 0; k < 3; ++k) validation.push_back({std::to_string(10 + k), "1"});
    FillGrid(controls.StringGrid3, validation);
    windowSize = 2;
    Create({SmallParams(1, 1)});
    currentProblem = session.problem.get();
  }

  // Shows the predictions of one program as population 1's best.
  void Show(const std::vector<Node>& genes) {
    Individual& best = *session.populations[0]->Current()[0];
    std::copy(genes.begin(), genes.end(), best.genes);
    best.length = static_cast<std::int32_t>(genes.size());
    PrepareOutputGrids(session, view);
    ShowPredictions(session, view, *session.populations[0], 0);
  }
};

TEST_F(NonFinitePredictions, AreWrittenAsWordsReadBackAsInfinityAndLeftOffTheCharts) {
  // Nodes: 0 "+", 1 "-", 2 "*", 3 "/", 4 X0, 5 X1.
  const std::vector<Node> fourth{2, 2, 4, 4, 2, 4, 4};  // X0^4 = 1E320
  std::vector<Node> negative{1, 4};
  negative.insert(negative.end(), fourth.begin(), fourth.end());  // X0 - X0^4
  std::vector<Node> nan{1};
  nan.insert(nan.end(), fourth.begin(), fourth.end());
  nan.insert(nan.end(), fourth.begin(), fourth.end());  // X0^4 - X0^4

  const double inf = std::numeric_limits<double>::infinity();
  for (const auto& [genes, word] :
       {std::pair{fourth, "INF"}, std::pair{negative, "-INF"}, std::pair{nan, "NAN"}}) {
    Show(genes);
    EXPECT_EQ(controls.StringGrid5.Cell(1, 0), word);
    EXPECT_EQ(controls.StringGrid5.Cell(1, 8), word);  // first validation row
    EXPECT_EQ(ValidationError(view, windowSize, 0), inf) << word;
    EXPECT_EQ(controls.Chart4.PointCount(1), 0) << word;
    // The last validation window holds 1 and 1, whose prediction is finite.
    EXPECT_EQ(controls.Form4Chart1.PointCount(5), 1) << word;
  }
}

TEST(ValidationDataCheck, NamesTheFirstFault) {
  toolkit::MemoryGrid training;
  FillGrid(training, SeriesRows(0, 10));
  toolkit::MemoryGrid validation;
  FillGrid(validation, SeriesRows(10, 4));
  EXPECT_FALSE(CheckValidationData(training, validation).has_value());

  using Kind = ValidationFault::Kind;
  const auto faultOf = [&](int col, int row, const std::string& text) {
    toolkit::MemoryGrid changed = validation;
    changed.SetCell(col, row, text);
    return CheckValidationData(training, changed);
  };
  auto fault = faultOf(0, 2, "13");
  ASSERT_TRUE(fault);
  EXPECT_EQ(fault->kind, Kind::XDoesNotContinue);
  EXPECT_EQ(fault->row, 2);
  EXPECT_EQ(fault->expectedX, 12);
  fault = faultOf(0, 3, "13.5");
  ASSERT_TRUE(fault);
  EXPECT_EQ(fault->kind, Kind::NotNumber);
  fault = faultOf(1, 1, "");
  ASSERT_TRUE(fault);
  EXPECT_EQ(fault->kind, Kind::NotNumber);
  EXPECT_EQ(fault->row, 1);

  toolkit::MemoryGrid empty(2, 100);
  fault = CheckValidationData(training, empty);
  ASSERT_TRUE(fault);
  EXPECT_EQ(fault->kind, Kind::Empty);

  training.SetCell(0, 9, "9.5");
  fault = CheckValidationData(training, validation);
  ASSERT_TRUE(fault);
  EXPECT_EQ(fault->kind, Kind::TrainingXNotInteger);
}

}  // namespace
}  // namespace vobrix::test
