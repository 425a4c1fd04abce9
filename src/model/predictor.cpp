#include "model/predictor.h"

#include <algorithm>
#include <array>

#include "engine/batch_eval.h"
#include "engine/fitness.h"
#include "model/difference.h"
#include "problem/normalize.h"
#include "problem/problem.h"

namespace vobrix::model {

namespace {

constexpr long long kMaxHorizon = 10'000'000;

double MeanSquaredError(const std::vector<double>& targets, std::size_t firstTarget,
                        const std::vector<double>& predictions) {
  double sum = 0.0;
  for (std::size_t i = 0; i < predictions.size(); ++i) {
    sum += SquaredError(targets[firstTarget + i], predictions[i]);
  }
  return sum / static_cast<double>(predictions.size());
}

}  // namespace

// One row of a program's evaluation, kept for a forecast's steps.
class Predictor::Stepper {
 public:
  explicit Stepper(const Predictor& program) : program_(program), problem_(*program.problem_) {
    problem_.trainingY.assign(static_cast<std::size_t>(program.windowSize_) + 1, 0.0);
    problem_.trainingCount = program.windowSize_ + 1;
    evaluator_ = std::make_unique<BatchEvaluator>(problem_);
  }
  // The program's prediction in the data's units (before any clip) from window[0 .. w - 1].
  double Next(const double* window) {
    // The batch evaluator reads the first windowSize values of the row; the last is never read.
    for (std::int32_t k = 0; k < program_.windowSize_; ++k) {
      problem_.trainingY[static_cast<std::size_t>(k)] = program_.ToRunUnits(window[k]);
    }
    const std::vector<Node>& genes = program_.genes_;
    const double p = evaluator_->Predict(genes.data(), static_cast<std::int32_t>(genes.size()))[0];
    return program_.FromRunUnits(program_.Scaled(p));
  }

 private:
  const Predictor& program_;
  Problem problem_;
  std::unique_ptr<BatchEvaluator> evaluator_;
};

Predictor::Predictor(const Model& model, std::size_t population)
    : windowSize_(model.windowSize),
      inputs_(InputCount(model)),
      normalization_(model.normalization),
      problem_(std::make_unique<Problem>()),
      clip_(model.clip) {
  ValidateModel(model);
  for (const Model& part : model.parts) parts_.emplace_back(part, 0);
  if (!parts_.empty()) return;
  if (!model.difference.empty()) difference_ = DifferenceCoefficientsOf(model);
  if (model.ensemble) {
    if (model.ensemble->shard) {
      throw ModelError(
          "ensemble.shard: the model is one part of an ensemble; merge the parts "
          "first (vobrix-cli merge)");
    }
    for (std::size_t k = 0; k < model.ensemble->members.size(); ++k) {
      members_.emplace_back(MemberAsModel(model, k), 0);
    }
    return;
  }
  const std::size_t chosen = ChoosePopulation(model, population);
  const std::vector<ModelNode>& program = model.populations[chosen].program;
  scaling_ = ScalingOf(model, chosen);
  Problem& p = *problem_;
  std::array<bool, kFunctionTableSize> ticked{};
  std::array<Node, kFunctionTableSize> functionNode{};
  for (int f : model.functions) {
    ticked[f] = true;
    functionNode[f] = p.functionCount++;
  }
  p.variableCount = windowSize_;
  p.windowSize = windowSize_;
  p.window.assign(static_cast<std::size_t>(windowSize_), 0.0);
  // One constant entry per constant node, in program order.
  for (const ModelNode& node : program) {
    if (node.kind != ModelNode::Kind::Constant) continue;
    genes_.push_back(p.functionCount + p.variableCount + p.constantCount++);
    p.constants.push_back(node.value);
  }
  BuildNodeTable(p, ticked, Primitives());
  std::size_t constant = 0;
  std::vector<Node> genes;
  genes.reserve(program.size());
  for (const ModelNode& node : program) {
    switch (node.kind) {
      case ModelNode::Kind::Function:
        genes.push_back(functionNode[node.index]);
        break;
      case ModelNode::Kind::Variable:
        genes.push_back(p.functionCount + node.index);
        break;
      case ModelNode::Kind::Constant:
        genes.push_back(genes_[constant++]);
        break;
    }
  }
  genes_ = std::move(genes);
}

Predictor::~Predictor() = default;
Predictor::Predictor(Predictor&&) noexcept = default;

double Predictor::ToRunUnits(double y) const {
  return normalization_ ? NormalizedValue(y, normalization_->low, normalization_->high) : y;
}

double Predictor::FromRunUnits(double p) const {
  if (!normalization_) return p;
  return normalization_->low + (normalization_->high - normalization_->low) * p;
}

std::vector<double> Predictor::Outputs(std::vector<double> z, std::int32_t rows) const {
  Problem problem = *problem_;
  problem.trainingY = std::move(z);
  problem.trainingCount = rows + windowSize_;
  BatchEvaluator evaluator(problem);
  const double* outputs =
      evaluator.Predict(genes_.data(), static_cast<std::int32_t>(genes_.size()));
  std::vector<double> result(outputs, outputs + rows);
  for (double& p : result) p = Scaled(p);
  return result;
}

double Predictor::Scaled(double p) const {
  return ScaledOutput(scaling_, p);
}

SeriesPrediction Predictor::PredictParts(const std::vector<double>& series) const {
  if (series.size() <= static_cast<std::size_t>(inputs_)) {
    throw ModelError("the series needs more values than the parts read (" +
                     std::to_string(inputs_) + ")");
  }
  SeriesPrediction result;
  for (std::size_t k = 0; k < parts_.size(); ++k) {
    const std::vector<double> each = parts_[k].Predict(series).predictions;
    const auto skip = static_cast<std::size_t>(inputs_ - parts_[k].inputs_);
    if (k == 0)
      result.predictions.assign(each.begin() + static_cast<std::ptrdiff_t>(skip), each.end());
    for (std::size_t i = 0; k > 0 && i < result.predictions.size(); ++i) {
      result.predictions[i] += each[i + skip];
    }
  }
  for (double& p : result.predictions) p /= static_cast<double>(parts_.size());
  result.mse = MeanSquaredError(series, static_cast<std::size_t>(inputs_), result.predictions);
  result.scoredMse = result.mse;
  return result;
}

SeriesPrediction Predictor::Predict(const std::vector<double>& series) const {
  if (!parts_.empty()) return PredictParts(series);
  if (difference_.empty()) return PredictValues(series);
  if (series.size() <= static_cast<std::size_t>(inputs_)) {
    throw ModelError("the series needs more values than the window size and the differencing (" +
                     std::to_string(inputs_) + ")");
  }
  SeriesPrediction result = PredictValues(Differenced(series, difference_));
  for (std::size_t i = 0; i < result.predictions.size(); ++i) {
    const double* target = &series[i + static_cast<std::size_t>(inputs_)];
    result.predictions[i] = DifferenceBase(difference_, target) + result.predictions[i];
  }
  result.mse = MeanSquaredError(series, static_cast<std::size_t>(inputs_), result.predictions);
  result.scoredMse = result.mse;
  return result;
}

SeriesPrediction Predictor::PredictValues(const std::vector<double>& series) const {
  const std::size_t w = static_cast<std::size_t>(windowSize_);
  if (series.size() <= w) {
    throw ModelError("the series needs more values than the window size (" +
                     std::to_string(windowSize_) + ")");
  }
  std::vector<double> z(series.size());
  std::transform(series.begin(), series.end(), z.begin(),
                 [this](double y) { return ToRunUnits(y); });
  SeriesPrediction result;
  if (!members_.empty()) {
    std::vector<std::vector<double>> each;
    for (const Predictor& member : members_) each.push_back(member.Predict(series).predictions);
    std::vector<double> values(each.size());
    for (std::size_t row = 0; row < each.front().size(); ++row) {
      for (std::size_t k = 0; k < each.size(); ++k) values[k] = each[k][row];
      result.predictions.push_back(Clipped(clip_, Median(values)));
    }
    result.mse = MeanSquaredError(series, w, result.predictions);
    result.scoredMse = result.mse;
    return result;
  }
  std::vector<double> outputs = Outputs(z, static_cast<std::int32_t>(series.size() - w));
  for (double& p : outputs) p = Clipped(clip_, p);  // a clipped model is never normalized
  result.scoredMse = MeanSquaredError(z, w, outputs);
  result.predictions.resize(outputs.size());
  std::transform(outputs.begin(), outputs.end(), result.predictions.begin(),
                 [this](double p) { return FromRunUnits(p); });
  result.mse = normalization_ ? MeanSquaredError(series, w, result.predictions) : result.scoredMse;
  return result;
}

double Predictor::PredictNext(const double* window) const {
  return Recursive(std::vector<double>(window, window + inputs_), 1).back();
}

std::vector<double> Predictor::Forecast(const std::vector<double>& series,
                                        long long horizon) const {
  const std::size_t w = static_cast<std::size_t>(inputs_);
  if (series.size() < w) {
    throw ModelError(std::string("the series needs at least as many values as the window size") +
                     (difference_.empty() ? "" : " and the differencing") + " (" +
                     std::to_string(inputs_) + ")");
  }
  if (horizon < 0 || horizon > kMaxHorizon) {
    throw ModelError("the horizon must be from 0 to " + std::to_string(kMaxHorizon));
  }
  return Recursive(std::vector<double>(series.end() - static_cast<std::ptrdiff_t>(w), series.end()),
                   horizon);
}

double Predictor::Next(const Steppers& steppers, const std::vector<double>& window) const {
  if (!difference_.empty()) {
    // The latest windowSize differences, each from the values up to it.
    const double* end = window.data() + window.size();
    std::vector<double> z(static_cast<std::size_t>(windowSize_));
    for (std::size_t j = 0; j < z.size(); ++j) {
      z[j] = DifferencedAt(difference_, end - z.size() + j);
    }
    return DifferenceBase(difference_, end) + NextValue(steppers, z.data());
  }
  return NextValue(steppers, window.data() + window.size() - static_cast<std::size_t>(windowSize_));
}

double Predictor::NextValue(const Steppers& steppers, const double* latest) const {
  if (steppers.size() == 1) return Clipped(clip_, steppers.front()->Next(latest));
  std::vector<double> values;
  for (const auto& stepper : steppers) values.push_back(stepper->Next(latest));
  return Clipped(clip_, Median(values));
}

Predictor::Steppers Predictor::MakeSteppers() const {
  Steppers steppers;
  if (members_.empty()) steppers.push_back(std::make_unique<Stepper>(*this));
  for (const Predictor& member : members_) steppers.push_back(std::make_unique<Stepper>(member));
  return steppers;
}

std::vector<double> Predictor::Recursive(std::vector<double> window, long long horizon) const {
  // One set of steppers for each part, or this model's own; a part reads the latest values.
  std::vector<const Predictor*> whose;
  for (const Predictor& part : parts_) whose.push_back(&part);
  if (whose.empty()) whose.push_back(this);
  std::vector<Steppers> steppers;
  for (const Predictor* p : whose) steppers.push_back(p->MakeSteppers());
  std::vector<double> forecast;
  forecast.reserve(static_cast<std::size_t>(horizon));
  for (long long h = 0; h < horizon; ++h) {
    double value = whose[0]->Next(steppers[0], window);
    for (std::size_t k = 1; k < whose.size(); ++k) value += whose[k]->Next(steppers[k], window);
    if (whose.size() > 1) value /= static_cast<double>(whose.size());
    forecast.push_back(value);
    window.push_back(forecast.back());
  }
  return forecast;
}

}  // namespace vobrix::model
