#include "cli/run_outputs.h"

#include <utility>

#include "cli/exit.h"
#include "cli/summary.h"
#include "model/predictor.h"

namespace vobrix::cli {

RunOutputs::RunOutputs(RunOutputOptions options) : options_(std::move(options)) {}
RunOutputs::~RunOutputs() = default;

bool RunOutputs::Wanted() const {
  return options_.modelPath || options_.predictionsPath || options_.summaryPath;
}

void RunOutputs::Open(const CliOptions& options) {
  if (!Wanted()) return;
  std::vector<NamedPath> outputs;
  if (options.dumpInitial) outputs.emplace_back("--dump-initial", *options.dumpInitial);
  const std::pair<const char*, const std::optional<std::string>&> mine[] = {
      {"--model", options_.modelPath},
      {"--predictions", options_.predictionsPath},
      {"--summary", options_.summaryPath}};
  for (const auto& [option, path] : mine) {
    if (path) outputs.emplace_back(option, *path);
  }
  std::vector<NamedPath> inputs{{"training", options.trainPath}};
  if (options.validationPath) inputs.emplace_back("validation", *options.validationPath);
  CheckOutputsAreNotInputs(outputs, inputs);

  for (const NamedPath& output : outputs) {
    if (output.first == "--model") modelFile_ = std::make_unique<OutputFile>(output);
    if (output.first == "--predictions") predictionsFile_ = std::make_unique<OutputFile>(output);
    if (output.first == "--summary") summaryFile_ = std::make_unique<OutputFile>(output);
  }
  record_.Begin(SettingsTexts(options), options.seed, options_.linearScaling);
}

void RunOutputs::KeepData(const std::vector<CellRow>& training,
                          const std::vector<CellRow>& validation) {
  if (Wanted()) record_.KeepData(training, validation);
}

void RunOutputs::KeepNormalization(const NormalizedData& normalized) {
  if (Wanted()) record_.KeepNormalization(normalized);
}

void RunOutputs::Follow(RunSession& session) {
  if (!Wanted()) return;
  record_.Follow(session);
  start_ = std::chrono::steady_clock::now();
}

void RunOutputs::Commit() {
  if (!Wanted()) return;
  wallSeconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  std::string modelText, predictionsText, summaryText;
  try {
    model::ValidateModel(record_.Model());
    if (modelFile_) modelText = record_.ModelText();
    if (predictionsFile_) predictionsText = record_.PredictionsText(options_.horizon);
    if (summaryFile_) summaryText = SummaryText();
  } catch (const model::ModelError& e) {
    Fail(std::string("the run's best programs cannot be saved as a model: ") + e.what());
  }
  if (modelFile_) modelFile_->Commit(modelText);
  if (predictionsFile_) predictionsFile_->Commit(predictionsText);
  if (summaryFile_) summaryFile_->Commit(summaryText);
}

// Everything in the units the run scored its programs in, so that the programs' own errors
// and the baselines' compare.
std::string RunOutputs::SummaryText() const {
  const model::Model& model = record_.Model();
  const std::vector<double>& runY = record_.RunY();
  const auto w = static_cast<std::size_t>(model.windowSize);
  const SummaryBaselines baselines = ScoreSummaryBaselines(runY, record_.TrainingRows(), w);
  model::Model inRunUnits = model;
  inRunUnits.normalization.reset();
  Json populations = Json::array();
  for (std::size_t i = 0; i < model.populations.size(); ++i) {
    const model::PopulationModel& population = model.populations[i];
    populations.push_back(PopulationSummaryJson(
        i + 1, population.trainingMse, population.validationMse,
        model::Predictor(inRunUnits, i).Predict(runY).predictions, runY, w, baselines));
  }
  Json root = SummaryHeadJson("run", model.normalization ? "normalized" : "data", model.windowSize,
                              wallSeconds_, baselines);
  root["populations"] = populations;
  return root.dump(2) + "\n";
}

}  // namespace vobrix::cli
