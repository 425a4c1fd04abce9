#include "model/predictor.h"

#include <algorithm>
#include <array>

#include "engine/batch_eval.h"
#include "engine/fitness.h"
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

Predictor::Predictor(const Model& model, std::size_t population)
    : windowSize_(model.windowSize),
      normalization_(model.normalization),
      problem_(std::make_unique<Problem>()) {
  ValidateModel(model);
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

SeriesPrediction Predictor::Predict(const std::vector<double>& series) const {
  const std::size_t w = static_cast<std::size_t>(windowSize_);
  if (series.size() <= w) {
    throw ModelError("the series needs more values than the window size (" +
                     std::to_string(windowSize_) + ")");
  }
  std::vector<double> z(series.size());
  std::transform(series.begin(), series.end(), z.begin(),
                 [this](double y) { return ToRunUnits(y); });
  SeriesPrediction result;
  const std::vector<double> outputs = Outputs(z, static_cast<std::int32_t>(series.size() - w));
  result.scoredMse = MeanSquaredError(z, w, outputs);
  result.predictions.resize(outputs.size());
  std::transform(outputs.begin(), outputs.end(), result.predictions.begin(),
                 [this](double p) { return FromRunUnits(p); });
  result.mse = normalization_ ? MeanSquaredError(series, w, result.predictions) : result.scoredMse;
  return result;
}

double Predictor::PredictNext(const double* window) const {
  return Recursive(std::vector<double>(window, window + windowSize_), 1).back();
}

std::vector<double> Predictor::Forecast(const std::vector<double>& series,
                                        long long horizon) const {
  const std::size_t w = static_cast<std::size_t>(windowSize_);
  if (series.size() < w) {
    throw ModelError("the series needs at least as many values as the window size (" +
                     std::to_string(windowSize_) + ")");
  }
  if (horizon < 0 || horizon > kMaxHorizon) {
    throw ModelError("the horizon must be from 0 to " + std::to_string(kMaxHorizon));
  }
  return Recursive(std::vector<double>(series.end() - static_cast<std::ptrdiff_t>(w), series.end()),
                   horizon);
}

std::vector<double> Predictor::Recursive(std::vector<double> window, long long horizon) const {
  const std::size_t w = static_cast<std::size_t>(windowSize_);
  // One row, evaluated again after each step: the batch evaluator reads the first windowSize
  // values of the series; the last is never read.
  Problem problem = *problem_;
  problem.trainingY.assign(w + 1, 0.0);
  problem.trainingCount = windowSize_ + 1;
  BatchEvaluator evaluator(problem);
  std::vector<double> forecast;
  forecast.reserve(static_cast<std::size_t>(horizon));
  for (long long h = 0; h < horizon; ++h) {
    const std::size_t first = window.size() - w;
    for (std::size_t k = 0; k < w; ++k) problem.trainingY[k] = ToRunUnits(window[first + k]);
    const double p = evaluator.Predict(genes_.data(), static_cast<std::int32_t>(genes_.size()))[0];
    forecast.push_back(FromRunUnits(Scaled(p)));
    window.push_back(forecast.back());
  }
  return forecast;
}

}  // namespace vobrix::model
