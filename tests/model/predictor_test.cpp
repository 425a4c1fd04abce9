#include "model/predictor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/batch_eval.h"
#include "engine/init.h"
#include "engine/misc.h"
#include "nodes.h"
#include "problem/normalize.h"
#include "problem/problem.h"
#include "problem/textconv.h"

namespace vobrix::model {
namespace {

using test::F;
using test::OneProgram;
using test::X;

bool SameValue(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// Training rows as a data file would fill the grid: 6-digit texts.
std::vector<CellRow> TrainingRows(int n) {
  std::vector<CellRow> rows;
  for (int r = 0; r < n; ++r) {
    const double y = 350.0 + 120.0 * std::sin(0.37 * r) + 3.3 * (r % 7) - 0.001 * r * r;
    rows.push_back({std::to_string(r), FormatGeneral(static_cast<float>(y), 6)});
  }
  return rows;
}

// The run's problem over the (maybe normalized) rows, with every function ticked, and a model
// of the same run; the predictor must reproduce the run's batch evaluator on the original data.
TEST(PredictorTest, GivesTheRunsPredictionsAndErrorOnTheOriginalData) {
  const FunctionTable functions = BuildFunctionTable();
  const std::vector<CellRow> original = TrainingRows(60);
  std::vector<double> series;
  for (const CellRow& row : original) series.push_back(TextToFloat(row.y));
  for (const bool normalized : {false, true}) {
    const NormalizedData data = Normalize(original, {});
    ProblemSettings settings;
    settings.ticked.fill(true);
    settings.windowSizeText = "4";
    const ProblemBuild build =
        MakeProblem(settings, normalized ? data.training : original, functions);
    const Problem& problem = *build.problem;
    currentProblem = build.problem.get();  // the program grower reads the node table there
    BatchEvaluator batch(problem);
    Model model = ModelOfProblem(problem);
    EXPECT_EQ(model.functions.size(), 10u);
    if (normalized) model.normalization = Normalization{data.low, data.high};
    const double range = data.high - data.low;

    SeedRandom(normalized ? 5 : 6);
    std::vector<Node> genes(70);
    const NodeDrawSetup setup{problem.functionCount, 4, problem.constantCount, 0.5f, 0.3f};
    int finite = 0;
    for (int k = 0; k < 300; ++k) {
      const std::int32_t length = GrowProgram(genes.data(), 1 + k % 6, 70, setup);
      model.populations = {{ProgramOfGenes(problem, genes.data(), length), 0.0, {}}};
      const SeriesPrediction mine = Predictor(model, 0).Predict(series);
      const double fitness = batch.Fitness(genes.data(), length);
      ASSERT_TRUE(SameValue(mine.scoredMse, fitness))
          << k << ": " << mine.scoredMse << " vs " << fitness;
      const double* rows = batch.Predict(genes.data(), length);
      ASSERT_EQ(mine.predictions.size(), static_cast<std::size_t>(batch.rows()));
      for (int i = 0; i < batch.rows(); ++i) {
        const double expected = normalized ? data.low + range * rows[i] : rows[i];
        ASSERT_TRUE(SameValue(mine.predictions[i], expected)) << k << " row " << i;
      }
      if (!normalized) {
        EXPECT_TRUE(SameValue(mine.mse, mine.scoredMse));
      }
      finite += std::isfinite(fitness) ? 1 : 0;
    }
    currentProblem = nullptr;
    EXPECT_GT(finite, 30);
  }
}

TEST(PredictorTest, ForecastFeedsEachPredictionBackAsTheNewestValue) {
  // X1 + (X1 - X0) continues a straight line.
  const std::vector<ModelNode> line = {F(kAdd), X(1), F(kSubtract), X(1), X(0)};
  const std::vector<double> series = {1, 2, 3, 4, 5, 6};
  const Predictor plain(OneProgram(line, 2), 0);
  const SeriesPrediction p = plain.Predict(series);
  EXPECT_EQ(p.predictions, (std::vector<double>{3, 4, 5, 6}));
  EXPECT_EQ(p.mse, 0.0);
  EXPECT_EQ(plain.Forecast(series, 3), (std::vector<double>{7, 8, 9}));
  EXPECT_TRUE(plain.Forecast(series, 0).empty());

  // Normalized and scaled: the forecast is the one-window prediction applied step by step, and
  // the one-window prediction is the series prediction of that window.
  Model scaled = OneProgram(line, 2);
  scaled.normalization = Normalization{0.5, 7.25};
  scaled.scaling = LinearScaling{0.01, 0.97};
  const Predictor predictor(scaled, 0);
  const std::vector<double> rough = {1.1, 2.7, 2.9, 4.4, 5.3, 6.1};
  const SeriesPrediction q = predictor.Predict(rough);
  for (std::size_t i = 0; i < q.predictions.size(); ++i) {
    EXPECT_TRUE(SameValue(predictor.PredictNext(&rough[i]), q.predictions[i])) << i;
  }
  std::vector<double> history = rough;
  const std::vector<double> forecast = predictor.Forecast(rough, 4);
  for (double f : forecast) {
    EXPECT_TRUE(SameValue(f, predictor.PredictNext(&history[history.size() - 2])));
    history.push_back(f);
  }
  EXPECT_NE(forecast[0], 7.0);  // the scaling took part

  // a + b * P in the run's units; a population's own a and b come before the model's, one
  // without keeps the model's.
  Model affine = OneProgram({X(0)}, 1);
  affine.scaling = LinearScaling{1.0, 2.0};
  affine.populations.push_back(affine.populations[0]);
  affine.populations[1].scaling = LinearScaling{-4.0, 0.5};
  EXPECT_EQ(Predictor(affine, 1).Predict({1, 2, 3}).predictions, (std::vector<double>{-3.5, -3.0}));
  EXPECT_EQ(Predictor(affine, 0).Predict({1, 2, 3}).predictions, (std::vector<double>{3, 5}));
}

TEST(PredictorTest, RefusesWhatItCannotEvaluate) {
  const Predictor p(OneProgram({X(1)}, 2), 0);
  EXPECT_THROW(p.Predict({1, 2}), ModelError);
  EXPECT_THROW(p.Forecast({1}, 2), ModelError);
  EXPECT_THROW(p.Forecast({1, 2}, -1), ModelError);
  EXPECT_THROW(Predictor(OneProgram({X(2)}, 2), 0), ModelError);  // beyond the window
  EXPECT_THROW(Predictor(OneProgram({X(0)}, 2), 1), ModelError);  // no population 2
}

}  // namespace
}  // namespace vobrix::model
