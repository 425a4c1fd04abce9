// `vobrix-cli predict`: a saved model applied to a data file read as the run reads its data:
// one-step predictions for every full window, then a recursive forecast past the end.
#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <memory>

#include "cli/commands.h"
#include "cli/exit.h"
#include "cli/model_input.h"
#include "cli/output.h"
#include "cli/output_files.h"
#include "cli/summary.h"
#include "model/predictor.h"
#include "problem/datafile.h"
#include "results/prediction_table.h"

namespace vobrix::cli {
namespace {

struct PredictArgs {
  std::string model, data, predictions, summary, horizon, population;
  std::optional<std::string> predictionsPath, summaryPath, populationText;
  long long horizonSteps = 0;
};

Series ReadSeries(const std::string& path) {
  Series series;
  try {
    AppendRows(series, ReadDataFile(path));
  } catch (const DataFileError& e) {
    Fail(e.what());
  }
  return series;
}

// The predictions in the data's units, their error and the baselines on the data itself (the
// AR model is fitted on the data it is scored on).
std::string SummaryText(const Series& data, std::size_t population, std::int32_t windowSize,
                        const model::SeriesPrediction& prediction, double wallSeconds) {
  const auto w = static_cast<std::size_t>(windowSize);
  const Baselines baselines = FitBaselines(data.y);
  const BaselineScores scores = ScoreBaselines(baselines, data.y, w);
  const Json root = {
      {"command", "predict"},
      {"units", "data"},
      {"windowSize", windowSize},
      {"wallSeconds", wallSeconds},
      {"ar", ArModelJson(baselines)},
      {"baselines", {{"data", BaselineScoresJson(scores)}}},
      {"populations", Json::array({{{"population", population + 1},
                                    {"data", ProgramScoreJson(prediction.mse, data.y, w,
                                                              prediction.predictions, scores)}}})}};
  return root.dump(2) + "\n";
}

int Predict(const PredictArgs& args) {
  const auto start = std::chrono::steady_clock::now();
  std::vector<NamedPath> outputs;
  if (args.predictionsPath) outputs.emplace_back("--predictions", *args.predictionsPath);
  if (args.summaryPath) outputs.emplace_back("--summary", *args.summaryPath);
  CheckOutputsAreNotInputs(outputs, {{"model", args.model}, {"data", args.data}});
  std::unique_ptr<OutputFile> predictionsFile, summaryFile;
  if (args.predictionsPath) predictionsFile = std::make_unique<OutputFile>(outputs.front());
  if (args.summaryPath) summaryFile = std::make_unique<OutputFile>(outputs.back());

  const model::Model model = ReadModelOption(args.model);
  const std::size_t population = ChoosePopulationOption(model, args.populationText);
  const Series data = ReadSeries(args.data);
  const model::Predictor predictor(model, population);
  model::SeriesPrediction prediction;
  std::vector<double> forecast;
  try {
    prediction = predictor.Predict(data.y);
    forecast = predictor.Forecast(data.y, args.horizonSteps);
  } catch (const model::ModelError& e) {
    Fail("--data: '" + args.data + "': " + e.what());
  }

  const std::string csv = results::DataPredictionsText(
      population + 1, data, static_cast<std::size_t>(predictor.windowSize()),
      prediction.predictions, forecast);
  if (summaryFile) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    summaryFile->Commit(SummaryText(data, population, predictor.windowSize(), prediction, seconds));
  }
  if (predictionsFile) {
    predictionsFile->Commit(csv);
  } else {
    WriteStandardOutput(csv);
  }
  std::fprintf(stderr, "population %zu: MSE %s over %zu one-step predictions\n", population + 1,
               FormatNumber(prediction.mse).c_str(), prediction.predictions.size());
  return 0;
}

}  // namespace

Action AddPredictCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand(
      "predict",
      "Applies a saved model to a data file: one-step predictions for every full window, then "
      "a recursive forecast; prints the CSV population,part,x,actual,predicted and the mean "
      "squared error (on standard error).");
  auto args = std::make_shared<PredictArgs>();
  command->add_option("--model", args->model, "the model file that `run --model` wrote")
      ->type_name("FILE")
      ->required();
  command->add_option("--data", args->data, "the data file, read as `run` reads --train")
      ->type_name("FILE")
      ->required();
  command
      ->add_option("--horizon", args->horizon,
                   "forecast H steps past the data's end (0 to " + std::to_string(kMaxHorizon) +
                       ", default 0)")
      ->type_name("H");
  command
      ->add_option("--predictions", args->predictions,
                   "write the CSV to FILE instead of standard output")
      ->type_name("FILE");
  command
      ->add_option("--summary", args->summary,
                   "write the error beside the persistence and AR(p) baselines (JSON)")
      ->type_name("FILE");
  command
      ->add_option("--population", args->population,
                   "use population N (from 1) instead of the one with the lowest validation "
                   "error")
      ->type_name("N");
  return [command, args] {
    args->predictionsPath = Given(*command, "--predictions", args->predictions);
    args->summaryPath = Given(*command, "--summary", args->summary);
    args->populationText = Given(*command, "--population", args->population);
    if (command->count("--horizon") > 0) {
      args->horizonSteps = ParseWholeNumber("--horizon", args->horizon, 0, kMaxHorizon);
    }
    return Predict(*args);
  };
}

}  // namespace vobrix::cli
