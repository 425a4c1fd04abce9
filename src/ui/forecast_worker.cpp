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
    result.baselines = ValidationBaselines(result.y, result.trainingRows);
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

ForecastResult ComputeForecast(const ForecastRequest& request,
                               const forecast::ForecastControl& control) {
  ForecastResult result;
  try {
    AppendValues(result, request.training);
    result.trainingRows = result.x.size();
    AppendValues(result, request.validation);
    result.forecast = forecast::RunForecast(request.training, request.settings, request.threads,
                                            std::nullopt, control);
    Predict(result, request.horizon);
    result.outcome = ForecastResult::Outcome::Finished;
  } catch (const forecast::ForecastCancelled&) {
    result.outcome = ForecastResult::Outcome::Cancelled;
  } catch (const std::exception& e) {
    result.outcome = ForecastResult::Outcome::Failed;
    result.message = e.what();
  }
  return result;
}

ForecastWorker::ForecastWorker(ForecastRequest request) : request_(std::move(request)) {}

void ForecastWorker::Run() {
  int shown = -1;
  std::string shownStage;
  forecast::ForecastControl control;
  control.cancel = &cancel_;
  control.progress = [&](std::size_t done, std::size_t total, const std::string& stage) {
    const int permille = total == 0 ? 1000 : static_cast<int>(done * 1000 / total);
    if (permille == shown && stage == shownStage) return;
    shown = permille;
    shownStage = stage;
    emit progressed(permille, QString::fromStdString(stage));
  };
  result_ = ComputeForecast(request_, control);
  emit finished();
}

}  // namespace vobrix::ui
