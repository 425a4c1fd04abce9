#include "results/run_record.h"

#include <algorithm>
#include <utility>

#include "model/model_json.h"
#include "model/predictor.h"

namespace vobrix::results {

void RunRecord::Begin(std::map<std::string, std::string> settings,
                      std::optional<std::uint32_t> seed, bool linearScaling) {
  model_ = model::Model{};
  model_.settings = std::move(settings);
  if (linearScaling) model_.settings["--linear-scaling"] = "";
  model_.seed = seed;
}

void RunRecord::KeepData(const std::vector<CellRow>& training,
                         const std::vector<CellRow>& validation) {
  data_ = Series{};
  AppendRows(data_, training);
  trainingRows_ = training.size();
  AppendRows(data_, validation);
  runY_ = data_.y;
}

void RunRecord::KeepNormalization(const NormalizedData& normalized) {
  Series run;
  AppendRows(run, normalized.training);
  AppendRows(run, normalized.validation);
  runY_ = std::move(run.y);
  model_.normalization = model::Normalization{normalized.low, normalized.high};
}

void RunRecord::Follow(RunSession& session) {
  const auto count = static_cast<std::size_t>(session.lastPopIndex) + 1;
  model_.populations.assign(count, {});
  captured_.assign(count, false);
  session.observer.afterStep =
      [this, &session, report = std::move(session.observer.afterStep)](const StepReport& step) {
        if (report) report(step);
        Capture(session, step);
      };
}

bool RunRecord::Complete() const {
  return !captured_.empty() && std::all_of(captured_.begin(), captured_.end(), std::identity{});
}

void RunRecord::Capture(const RunSession& session, const StepReport& report) {
  const Problem& problem = *session.problem;
  if (model_.functions.empty()) {
    const model::Model shape = model::ModelOfProblem(problem);
    model_.windowSize = shape.windowSize;
    model_.functions = shape.functions;
  }
  const auto p = static_cast<std::size_t>(report.population);
  const Individual& best = *session.populations[p]->Current()[0];
  model_.populations[p] = {model::ProgramOfGenes(problem, best.genes, best.length), best.rawFitness,
                           report.validationError, report.scaling};
  captured_[p] = true;
}

std::string RunRecord::ModelText() const {
  model::ValidateModel(model_);
  return model::ModelToJson(model_);
}

std::string RunRecord::PredictionsText(long long horizon) const {
  std::string csv = PredictionsHeader();
  for (std::size_t i = 0; i < model_.populations.size(); ++i) {
    AppendModelRows(csv, i + 1, model::Predictor(model_, i), data_, trainingRows_, horizon);
  }
  return csv;
}

}  // namespace vobrix::results
