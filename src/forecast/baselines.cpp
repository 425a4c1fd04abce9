#include "forecast/baselines.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "engine/fitness.h"

namespace vobrix::forecast {

namespace {

void RequireTargets(const std::vector<double>& series, std::size_t firstTarget) {
  if (firstTarget < 1 || firstTarget >= series.size()) {
    throw ForecastError("no value to predict: the first target " + std::to_string(firstTarget) +
                        " must lie from 1 to " + std::to_string(series.size()) + " - 1");
  }
}

double SumOfSquares(const std::vector<double>& series, std::size_t firstTarget,
                    const std::vector<double>& predictions) {
  double sum = 0.0;
  for (std::size_t i = 0; i < predictions.size(); ++i) {
    sum += SquaredError(series[firstTarget + i], predictions[i]);
  }
  return sum;
}

std::vector<double> PersistencePredictions(const std::vector<double>& series,
                                           std::size_t firstTarget) {
  return std::vector<double>(series.begin() + static_cast<std::ptrdiff_t>(firstTarget) - 1,
                             series.end() - 1);
}

BaselineScore Score(const std::vector<double>& series, std::size_t firstTarget,
                    std::vector<double> predictions) {
  BaselineScore score;
  score.mse = MeanSquaredError(series, firstTarget, predictions);
  score.theilU = TheilU(series, firstTarget, predictions);
  score.predictions = std::move(predictions);
  return score;
}

// The residual sum of squares of a fit on the targets t = firstTarget .. n - 1.
double ResidualSum(const ArModel& model, const std::vector<double>& series,
                   std::size_t firstTarget) {
  double sum = 0.0;
  for (std::size_t t = firstTarget; t < series.size(); ++t) {
    const double e = series[t] - PredictAr(model, series, t);
    sum += e * e;
  }
  return sum;
}

}  // namespace

double MeanSquaredError(const std::vector<double>& series, std::size_t firstTarget,
                        const std::vector<double>& predictions) {
  return SumOfSquares(series, firstTarget, predictions) / static_cast<double>(predictions.size());
}

double TheilU(const std::vector<double>& series, std::size_t firstTarget,
              const std::vector<double>& predictions) {
  RequireTargets(series, firstTarget);
  const double own = SumOfSquares(series, firstTarget, predictions);
  const double naive =
      SumOfSquares(series, firstTarget, PersistencePredictions(series, firstTarget));
  if (naive == 0.0) return own == 0.0 ? 0.0 : std::numeric_limits<double>::infinity();
  return std::sqrt(own / naive);
}

BaselineScore ScorePersistence(const std::vector<double>& series, std::size_t firstTarget) {
  RequireTargets(series, firstTarget);
  return Score(series, firstTarget, PersistencePredictions(series, firstTarget));
}

ArModel FitArOrder(const std::vector<double>& series, int order, std::size_t firstTarget) {
  const std::size_t p = static_cast<std::size_t>(order);
  if (order < 1 || firstTarget < p || series.size() - firstTarget < p + 1) {
    throw ForecastError("AR(" + std::to_string(order) + ") needs more than " +
                        std::to_string(order + 1) + " targets after its first lags");
  }
  const Eigen::Index rows = static_cast<Eigen::Index>(series.size() - firstTarget);
  Eigen::MatrixXd x(rows, order + 1);
  Eigen::VectorXd y(rows);
  for (Eigen::Index r = 0; r < rows; ++r) {
    const std::size_t t = firstTarget + static_cast<std::size_t>(r);
    x(r, 0) = 1.0;
    for (int j = 0; j < order; ++j) x(r, j + 1) = series[t - 1 - static_cast<std::size_t>(j)];
    y(r) = series[t];
  }
  const Eigen::VectorXd beta = x.colPivHouseholderQr().solve(y);
  ArModel model;
  model.order = order;
  model.intercept = beta(0);
  model.coefficients.assign(beta.data() + 1, beta.data() + beta.size());
  return model;
}

ArModel FitAr(const std::vector<double>& series, int maxOrder) {
  const std::size_t n = series.size();
  if (n < 4) throw ForecastError("an AR fit needs at least 4 values");
  if (!std::all_of(series.begin(), series.end(), [](double v) { return std::isfinite(v); })) {
    throw ForecastError("an AR fit needs finite values only");
  }
  const int highest =
      static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(maxOrder), n / 4));
  const std::size_t shared = static_cast<std::size_t>(highest);
  const double m = static_cast<double>(n - shared);
  ArModel best;
  best.aic = std::numeric_limits<double>::infinity();
  for (int p = 1; p <= highest; ++p) {
    const ArModel fit = FitArOrder(series, p, shared);
    const double aic = m * std::log(ResidualSum(fit, series, shared) / m) + 2.0 * (p + 1);
    if (aic < best.aic || best.order == 0) {
      best = fit;
      best.aic = aic;
    }
  }
  const double aic = best.aic;
  best = FitArOrder(series, best.order, static_cast<std::size_t>(best.order));
  best.aic = aic;
  return best;
}

double PredictAr(const ArModel& model, const std::vector<double>& series, std::size_t t) {
  double value = model.intercept;
  for (std::size_t j = 0; j < model.coefficients.size(); ++j) {
    const double lag = t >= j + 1 ? series[t - 1 - j] : series[0];
    value += model.coefficients[j] * lag;
  }
  return value;
}

BaselineScore ScoreAr(const ArModel& model, const std::vector<double>& series,
                      std::size_t firstTarget) {
  RequireTargets(series, firstTarget);
  std::vector<double> predictions;
  predictions.reserve(series.size() - firstTarget);
  for (std::size_t t = firstTarget; t < series.size(); ++t) {
    predictions.push_back(PredictAr(model, series, t));
  }
  return Score(series, firstTarget, std::move(predictions));
}

}  // namespace vobrix::forecast
