// The forecast of the Forecast dialog, away from the window: what it is asked (the data as the
// grids hold them and the options), what it gives back (the ensemble, its predictions of the
// data and the forecast past their end), and the worker object that runs it on a thread of its
// own and reports progress by signals.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "forecast/ensemble.h"
#include "problem/problem.h"
#include "ui/fitness_baselines.h"

namespace vobrix::ui {

struct ForecastRequest {
  std::vector<CellRow> training;
  std::vector<CellRow> validation;  // may be empty
  forecast::ForecastSettings settings;
  long long horizon = 0;
  int threads = 0;  // 0: one per core; never changes a result
};

struct ForecastResult {
  enum class Outcome { Finished, Cancelled, Failed };
  Outcome outcome = Outcome::Failed;
  std::string message;  // Failed: why
  forecast::Forecast forecast;
  std::vector<double> x, y;  // the training data, then the validation data
  std::size_t trainingRows = 0;
  // predictions[i] predicts y[i + window]: the ensemble's one-step predictions.
  std::vector<double> predictions;
  std::vector<double> forecastX, forecastY;  // the horizon's steps past the data's end
  double validationMse = 0.0;                // meaningful with validation data
  // Persistence's and the training part's AR(p)'s errors on the validation data, to judge the
  // ensemble's by; nothing without validation data.
  std::optional<BaselineErrors> baselines;
};

// Runs the forecast of the request (no Qt), reporting progress and ending early, as Cancelled,
// once the control's cancel flag is set. Never throws: a failure is a result with its message.
ForecastResult ComputeForecast(const ForecastRequest& request,
                               const forecast::ForecastControl& control);

// Lives on the forecast's thread: Run() computes, progressed() and finished() reach the
// dialog through queued connections. progressed() comes once per thousandth of the work and
// at every new stage, however many generations there are. Cancel() may be called from any
// thread.
class ForecastWorker : public QObject {
  Q_OBJECT
 public:
  explicit ForecastWorker(ForecastRequest request);
  void Run();
  void Cancel() { cancel_ = true; }
  bool Cancelling() const { return cancel_; }
  // Valid after finished().
  const ForecastResult& Result() const { return result_; }

 signals:
  void progressed(int permille, const QString& stage);
  void finished();

 private:
  ForecastRequest request_;
  ForecastResult result_;
  std::atomic<bool> cancel_{false};
};

}  // namespace vobrix::ui
