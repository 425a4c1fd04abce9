// The prediction output: grid rows and x values, and non-finite predictions written and read
// back as words. (The validation error of every step against the grid's texts is pinned by the
// golden runs.)
#include "run/prediction.h"

#include <gtest/gtest.h>

#include <limits>

#include "run_fixture.h"

namespace vobrix::test {
namespace {

using PredictionOutput = RunScenario;

TEST_F(PredictionOutput, RowsAndXValuesWithTrainingXFromZeroAndFromOne) {
  for (int firstX : {0, 1}) {
    LoadData(firstX);
    Create({SmallParams(2)});
    ASSERT_EQ(Run().outcome, RunOutcome::Finished);
    const auto& out = controls.StringGrid5;
    ASSERT_EQ(out.RowCount(), 115);
    for (int r = 0; r < 115; ++r) ASSERT_EQ(out.Cell(0, r), std::to_string(r + 5)) << firstX;
    EXPECT_EQ(controls.StringGrid4.Cell(0, 100), "100");  // positions, not the data's X
    for (toolkit::MemoryChart* chart : {&controls.Chart4, &controls.Form4Chart1}) {
      EXPECT_EQ(chart->PointCount(0), 120);
      EXPECT_EQ(chart->Points(0).front().x, firstX);
      ASSERT_EQ(chart->PointCount(1), 95);
      EXPECT_EQ(chart->Points(1).front().x, 5.0);
      EXPECT_EQ(chart->Points(1).front().label, "5");
      ASSERT_EQ(chart->PointCount(5), 20);
      EXPECT_EQ(chart->Points(5).back().x, 119.0);
    }
  }
}

TEST_F(PredictionOutput, NonFinitePredictionsAreWordsReadBackAsInfinityAndLeftOffTheCharts) {
  for (int k = 0; k < 10; ++k) trainingRows.push_back({std::to_string(k), "1E80"});
  FillGrid(controls.StringGrid1, trainingRows);
  FillGrid(controls.StringGrid3, {{"10", "1"}, {"11", "1"}, {"12", "1"}});
  windowSize = 2;
  Create({SmallParams(1, 1)});
  currentProblem = session.problem.get();
  // Nodes: 1 "-", 2 "*", 4 X0. X0^4 = 1E320 overflows.
  const std::vector<Node> fourth{2, 2, 4, 4, 2, 4, 4};
  std::vector<Node> negative{1, 4}, nan{1};
  negative.insert(negative.end(), fourth.begin(), fourth.end());  // X0 - X0^4
  nan.insert(nan.end(), fourth.begin(), fourth.end());
  nan.insert(nan.end(), fourth.begin(), fourth.end());  // X0^4 - X0^4
  for (const auto& [genes, word] :
       {std::pair{fourth, "INF"}, std::pair{negative, "-INF"}, std::pair{nan, "NAN"}}) {
    Individual& best = *session.populations[0]->Current()[0];
    std::copy(genes.begin(), genes.end(), best.genes);
    best.length = static_cast<std::int32_t>(genes.size());
    PrepareOutputGrids(session, view);
    ShowPredictions(session, view, *session.populations[0], 0);
    EXPECT_EQ(controls.StringGrid5.Cell(1, 0), word);
    EXPECT_EQ(controls.StringGrid5.Cell(1, 8), word);  // the first validation row
    EXPECT_EQ(ValidationError(view, windowSize, 0), std::numeric_limits<double>::infinity());
    EXPECT_EQ(controls.Chart4.PointCount(1), 0) << word;
    EXPECT_EQ(controls.Form4Chart1.PointCount(5), 1) << word;  // 1 and 1 predict a finite value
  }
}

// Without a viewer the run formats only the validation predictions: its reports and the texts
// the validation error reads are the shown run's, and nothing else is written.
TEST_F(PredictionOutput, AnUnseenRunReportsTheSameAndWritesOnlyTheValidationTexts) {
  for (const bool scaled : {false, true}) {
    LoadData();
    const int columns = 2;
    std::vector<std::string> shownTexts;
    std::vector<StepReport> shownSteps;
    for (const bool shown : {true, false}) {
      MemoryRunDisplay fresh;
      FillGrid(fresh.StringGrid1, trainingRows);
      FillGrid(fresh.StringGrid3, SeriesRows(100, 20, 100));
      if (!shown) fresh.ShowNobody();
      view = fresh.View();
      steps.clear();
      Create({SmallParams(4), SmallParams(3)});
      session.linearScaling = scaled;
      ASSERT_EQ(Run().outcome, RunOutcome::Finished);
      std::vector<std::string> texts;
      for (int c = 1; c <= columns; ++c) {
        for (int r = 95; r < 115; ++r) texts.push_back(fresh.StringGrid5.Cell(c, r));
      }
      if (shown) {
        shownTexts = texts;
        shownSteps = steps;
        continue;
      }
      EXPECT_EQ(texts, shownTexts) << scaled;
      ASSERT_EQ(steps.size(), shownSteps.size());
      for (std::size_t k = 0; k < steps.size(); ++k) {
        EXPECT_EQ(steps[k].validationError, shownSteps[k].validationError) << k;
        EXPECT_EQ(steps[k].scaling, shownSteps[k].scaling) << k;
        EXPECT_EQ(steps[k].bestProgram, shownSteps[k].bestProgram) << k;
      }
      for (int r = 0; r < 115; ++r) {
        // Column 0 (the positions) and the training rows stay empty.
        const int lastEmpty = r < 95 ? columns : 0;
        for (int c = 0; c <= lastEmpty; ++c) {
          ASSERT_EQ(fresh.StringGrid5.Cell(c, r), "") << c << " " << r;
        }
      }
      EXPECT_EQ(fresh.StringGrid4.Cell(0, 100), "");
      EXPECT_EQ(fresh.Chart4.UpdateCount(1), 0);
      EXPECT_EQ(fresh.Form4Chart1.UpdateCount(5), 0);
    }
  }
}

}  // namespace
}  // namespace vobrix::test
