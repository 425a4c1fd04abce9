#include "ui/forecast_worker.h"

#include <exception>
#include <optional>
#include <utility>

#include "forecast/baselines.h"
#include "model/predictor.h"
#include "problem/textconv.h"

namespace vobrix::ui {
namespace {

// Cells converted as the run and the command line convert them.
void AppendValues(ForecastResult& result, const std::vector<CellRow>& rows) {
  for (const CellRow& row : rows) {
    result.x.push_back(TextToFloat(row.x));
    result.y.push_back(TextToFloat(row.y));
  }
}

// The one place that knows how the forecast code reports its progress and hears a cancel:
// nothing when the forecast was cancelled.
std::optional<forecast::Forecast> RunControlled(const ForecastRequest& request,
                                                const ForecastProgress& progress,
                                                const std::atomic<bool>& cancel) {
  if (progress) progress(0, 1);
  forecast::Forecast result =
      forecast::RunForecast(request.training, request.settings, request.threads);
  if (cancel) return std::nullopt;
  if (progress) progress(1, 1);
  return result;
}

// The ensemble's predictions of the data and its forecast past their end; the forecast's X
// step on from the last X by the last difference, as the command line's predictions do.
void Predict(ForecastResult& result, long long horizon) {
  const model::Predictor predictor(result.forecast.model, 0);
  result.predictions = predictor.Predict(result.y).predictions;
  const std::size_t trainingTargets =
      result.trainingRows - static_cast<std::size_t>(predictor.windowSize());
  if (result.y.size() > result.trainingRows) {
    result.validationMse = forecast::MeanSquaredError(
        result.y, result.trainingRows,
        std::vector<double>(
            result.predictions.begin() + static_cast<std::ptrdiff_t>(trainingTargets),
            result.predictions.end()));
  }
  if (horizon <= 0) return;
  result.forecastY = predictor.Forecast(result.y, horizon);
  const std::size_t n = result.x.size();
  const double step = result.x[n - 1] - result.x[n - 2];
  for (std::size_t k = 1; k <= result.forecastY.size(); ++k) {
    result.forecastX.push_back(result.x[n - 1] + static_cast<double>(k) * step);
  }
}

}  // namespace

ForecastResult ComputeForecast(const ForecastRequest& request, const ForecastProgress& progress,
                               const std::atomic<bool>& cancel) {
  ForecastResult result;
  try {
    AppendValues(result, request.training);
    result.trainingRows = result.x.size();
    AppendValues(result, request.validation);
    std::optional<forecast::Forecast> run = RunControlled(request, progress, cancel);
    if (!run) {
      result.outcome = ForecastResult::Outcome::Cancelled;
      return result;
    }
    result.forecast = std::move(*run);
    Predict(result, request.horizon);
    result.outcome = ForecastResult::Outcome::Finished;
  } catch (const std::exception& e) {
    result.outcome = ForecastResult::Outcome::Failed;
    result.message = e.what();
  }
  return result;
}

ForecastWorker::ForecastWorker(ForecastRequest request) : request_(std::move(request)) {}

void ForecastWorker::Run() {
  result_ = ComputeForecast(
      request_, [this](int done, int total) { emit progressed(done, total); }, cancel_);
  emit finished();
}

}  // namespace vobrix::ui
