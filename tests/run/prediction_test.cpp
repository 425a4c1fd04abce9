// The prediction output: grid rows and x values, and non-finite predictions written and read
// back as words. (The validation error of every step against the grid's texts is pinned by the
// golden runs.)
#include "run/prediction.h"

#include <gtest/gtest.h>

#include <algorithm>
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
  LoadData();
  const auto sameReport = [](const StepReport& a, const StepReport& b) {
    return a.validationError == b.validationError && a.scaling == b.scaling &&
           a.bestProgram == b.bestProgram;
  };
  for (const bool scaled : {false, true}) {
    std::vector<std::string> texts[2];  // of the unseen run and the shown one
    std::vector<StepReport> reports[2];
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
      reports[shown] = steps;
      for (int r = 0; r < 115; ++r) {
        for (int c = 0; c <= 2; ++c) {
          if (r >= 95 && c > 0) {
            texts[shown].push_back(fresh.StringGrid5.Cell(c, r));
          } else if (!shown) {  // column 0 (the positions) and the training rows stay empty
            ASSERT_EQ(fresh.StringGrid5.Cell(c, r), "") << c << " " << r;
          }
        }
      }
      if (shown) continue;
      EXPECT_EQ(fresh.StringGrid4.Cell(0, 100), "");
      EXPECT_EQ(fresh.Chart4.UpdateCount(1), 0);
      EXPECT_EQ(fresh.Form4Chart1.UpdateCount(5), 0);
    }
    EXPECT_EQ(texts[0], texts[1]) << scaled;
    EXPECT_TRUE(std::equal(reports[0].begin(), reports[0].end(), reports[1].begin(),
                           reports[1].end(), sameReport))
        << scaled;
  }
}

}  // namespace
}  // namespace vobrix::test
