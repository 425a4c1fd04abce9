// A model taken from a whole run gives back the run's own predictions: the recipe the command
// line follows to save a model, checked against the prediction grid the run wrote.
#include <gtest/gtest.h>

#include "model/model_json.h"
#include "model/predictor.h"
#include "problem/normalize.h"
#include "run/run_fixture.h"

namespace vobrix::model {
namespace {

class RunModelTest : public test::RunScenario, public ::testing::WithParamInterface<bool> {};

std::vector<double> Ys(const std::vector<CellRow>& rows) {
  std::vector<double> ys;
  for (const CellRow& row : rows) ys.push_back(TextToFloat(row.y));
  return ys;
}

TEST_P(RunModelTest, ModelOfTheBestProgramsRepeatsTheRunsPredictions) {
  const bool normalized = GetParam();
  windowSize = 4;
  LoadData(0, 60, 15);
  const std::vector<CellRow> original = trainingRows;
  const std::vector<CellRow> originalValidation = GridRows(controls.StringGrid3);
  const NormalizedData data = Normalize(original, originalValidation);
  if (normalized) {
    trainingRows = data.training;
    FillGrid(controls.StringGrid1, data.training);
    FillGrid(controls.StringGrid3, data.validation);
  }
  settings.ticked.fill(true);
  Create({test::SmallParams(4), test::SmallParams(3)});

  // Each step's best, captured before the generations swap: the last step of each population
  // leaves the model of the run's end.
  Model model;
  model.seed = 12345u;
  model.settings = {{"--window", "4"}};
  model.populations.resize(2);
  session.observer.afterStep = [&](const StepReport& report) {
    const Problem& problem = *session.problem;
    if (model.functions.empty()) {
      const Model shape = ModelOfProblem(problem);
      model.windowSize = shape.windowSize;
      model.functions = shape.functions;
    }
    const Individual& best = *session.populations[report.population]->Current()[0];
    model.populations[report.population] = {ProgramOfGenes(problem, best.genes, best.length),
                                            best.rawFitness, report.validationError};
  };
  ASSERT_EQ(Run().outcome, RunOutcome::Finished);
  if (normalized) model.normalization = Normalization{data.low, data.high};
  model = ModelFromJson(ModelToJson(model));  // what a user takes away is the file

  // The run's units: the series the run read, training then validation.
  std::vector<double> runSeries = Ys(trainingRows);
  for (double y : Ys(GridRows(controls.StringGrid3))) runSeries.push_back(y);
  std::vector<double> originalSeries = Ys(original);
  for (double y : Ys(originalValidation)) originalSeries.push_back(y);
  Model inRunUnits = model;
  inRunUnits.normalization.reset();

  for (std::size_t i = 0; i < 2; ++i) {
    const Predictor predictor(model, i);
    const Predictor runPredictor(inRunUnits, i);
    const SeriesPrediction onTraining = predictor.Predict(Ys(original));
    EXPECT_EQ(onTraining.scoredMse, model.populations[i].trainingMse);

    const SeriesPrediction inRun = runPredictor.Predict(runSeries);
    ASSERT_EQ(static_cast<int>(inRun.predictions.size()), controls.StringGrid5.RowCount());
    for (std::size_t r = 0; r < inRun.predictions.size(); ++r) {
      ASSERT_EQ(FormatGeneral(inRun.predictions[r], 15),
                controls.StringGrid5.Cell(static_cast<int>(i) + 1, static_cast<int>(r)))
          << "population " << i << " row " << r;
    }
    const SeriesPrediction mine = predictor.Predict(originalSeries);
    for (std::size_t r = 0; r < mine.predictions.size(); ++r) {
      const double expected = normalized ? data.low + (data.high - data.low) * inRun.predictions[r]
                                         : inRun.predictions[r];
      ASSERT_EQ(mine.predictions[r], expected) << "population " << i << " row " << r;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(PlainAndNormalized, RunModelTest, ::testing::Bool());

}  // namespace
}  // namespace vobrix::model
