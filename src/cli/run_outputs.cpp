#include "cli/run_outputs.h"

#include <utility>

#include "cli/exit.h"
#include "cli/summary.h"
#include "model/model_json.h"
#include "model/predictor.h"
#include "problem/textconv.h"

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
  model_.settings = SettingsTexts(options);
  if (options_.linearScaling) model_.settings["--linear-scaling"] = "";
  model_.seed = options.seed;
}

void RunOutputs::KeepData(const std::vector<CellRow>& training,
                          const std::vector<CellRow>& validation) {
  if (!Wanted()) return;
  AppendRows(data_, training);
  trainingRows_ = training.size();
  AppendRows(data_, validation);
  runY_ = data_.y;
}

void RunOutputs::KeepNormalization(const NormalizedData& normalized) {
  if (!Wanted()) return;
  Series run;
  AppendRows(run, normalized.training);
  AppendRows(run, normalized.validation);
  runY_ = std::move(run.y);
  model_.normalization = model::Normalization{normalized.low, normalized.high};
}

void RunOutputs::Follow(RunSession& session) {
  if (!Wanted()) return;
  model_.populations.resize(static_cast<std::size_t>(session.lastPopIndex) + 1);
  session.observer.afterStep =
      [this, &session, report = std::move(session.observer.afterStep)](const StepReport& step) {
        report(step);
        Capture(session, step);
      };
  start_ = std::chrono::steady_clock::now();
}

void RunOutputs::Capture(const RunSession& session, const StepReport& report) {
  const Problem& problem = *session.problem;
  if (model_.functions.empty()) {
    const model::Model shape = model::ModelOfProblem(problem);
    model_.windowSize = shape.windowSize;
    model_.functions = shape.functions;
  }
  const Individual& best =
      *session.populations[static_cast<std::size_t>(report.population)]->Current()[0];
  model_.populations[static_cast<std::size_t>(report.population)] = {
      model::ProgramOfGenes(problem, best.genes, best.length), best.rawFitness,
      report.validationError, report.scaling};
}

void RunOutputs::Commit() {
  if (!Wanted()) return;
  wallSeconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  std::string modelText, predictionsText, summaryText;
  try {
    model::ValidateModel(model_);
    if (modelFile_) modelText = model::ModelToJson(model_);
    if (predictionsFile_) predictionsText = PredictionsText();
    if (summaryFile_) summaryText = SummaryText();
  } catch (const model::ModelError& e) {
    Fail(std::string("the run's best programs cannot be saved as a model: ") + e.what());
  }
  if (modelFile_) modelFile_->Commit(modelText);
  if (predictionsFile_) predictionsFile_->Commit(predictionsText);
  if (summaryFile_) summaryFile_->Commit(summaryText);
}

std::string RunOutputs::PredictionsText() const {
  std::string csv = PredictionsHeader();
  for (std::size_t i = 0; i < model_.populations.size(); ++i) {
    AppendModelRows(csv, i + 1, model::Predictor(model_, i), data_, trainingRows_,
                    options_.horizon);
  }
  return csv;
}

// Everything in the units the run scored its programs in, so that the programs' own errors
// and the baselines' compare.
std::string RunOutputs::SummaryText() const {
  const auto w = static_cast<std::size_t>(model_.windowSize);
  const SummaryBaselines baselines = ScoreSummaryBaselines(runY_, trainingRows_, w);
  model::Model inRunUnits = model_;
  inRunUnits.normalization.reset();
  Json populations = Json::array();
  for (std::size_t i = 0; i < model_.populations.size(); ++i) {
    const model::PopulationModel& population = model_.populations[i];
    populations.push_back(PopulationSummaryJson(
        i + 1, population.trainingMse, population.validationMse,
        model::Predictor(inRunUnits, i).Predict(runY_).predictions, runY_, w, baselines));
  }
  Json root = SummaryHeadJson("run", model_.normalization ? "normalized" : "data",
                              model_.windowSize, wallSeconds_, baselines);
  root["populations"] = populations;
  return root.dump(2) + "\n";
}

}  // namespace vobrix::cli
