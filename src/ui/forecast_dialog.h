// Forecast mode: a dialog beside the main window that runs the forecast (an ensemble of runs at
// a window chosen on an inner hold-out) on the loaded training data, on a thread of its own,
// and shows its progress, the ensemble's predictions of the validation data and the forecast
// past the data's end. The finished ensemble can be saved as a model file.
//
// The engine's random generator and its current problem are the process's own, so the
// forecast and the main window's run never run at once: the dialog refuses to start during a
// run, and while the forecast runs it disables the window's Start (so Ctrl+S refuses too).
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "ui/forecast_worker.h"

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLayout;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QThread;

namespace vobrix::ui {

class QtChart;
class TForm1;

class ForecastDialog : public QDialog {
  Q_OBJECT
 public:
  explicit ForecastDialog(TForm1& form);
  // Cancels a forecast under way and waits for its thread.
  ~ForecastDialog() override;

  // Reads the options and the data and starts the forecast; false, after saying why, when it
  // cannot start.
  bool Start();
  // Asks the forecast under way to end; it ends after the step under way.
  void Cancel();
  // Cancels and waits until the forecast's thread has ended; at once when none runs.
  void CancelAndWait();
  bool Running() const { return worker_ != nullptr; }
  // The last forecast's outcome (Failed before any has run).
  const ForecastResult& Result() const { return result_; }
  // Writes the finished ensemble to `path` in one piece (a failed write leaves an existing
  // file as it was); false, after saying why, when it cannot.
  bool SaveModel(const QString& path);
  // Asks where to save the model; nothing when the user cancels. Tests replace it.
  std::function<std::optional<QString>()> chooseModelPath;

  QSpinBox* runs;
  QDoubleSpinBox* budget;
  QSpinBox* horizon;
  QLineEdit* seed;        // empty: the calendar time
  QLineEdit* difference;  // "auto", "none" or lags such as "1,12"
  QCheckBox* combine;     // a season forecast both ways, the mean of the two
  QPushButton* startButton;
  QPushButton* cancelButton;
  QPushButton* saveButton;
  QPushButton* closeButton;
  QProgressBar* progress;
  QLabel* status;
  QTableWidget* grid;  // validation rows, then the forecast's steps
  QtChart* chart;      // the data, the ensemble's predictions, the forecast

 signals:
  // The forecast has ended (finished, cancelled or failed) and the dialog shows its outcome.
  void forecastEnded();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  QLayout* BuildOptions();
  QLayout* BuildButtons();
  QWidget* BuildResults();
  std::optional<ForecastRequest> ReadRequest();
  void SetBusy(bool busy);
  void OnProgress(int permille, const QString& stage);
  // Collects the worker's result once its thread has ended, and shows it.
  void Finish();
  void ShowResult();
  void FillGrid();
  void DrawChart();
  void SaveClicked();

  TForm1& form_;
  QPointer<QWidget> windowStart_;  // the main window's Start, disabled while a forecast runs
  QThread* thread_ = nullptr;
  ForecastWorker* worker_ = nullptr;
  ForecastResult result_;
  std::uint32_t seedShown_ = 0;
};

// Shows the main window's forecast dialog, creating it the first time.
ForecastDialog& ShowForecastDialog(TForm1& form);

}  // namespace vobrix::ui
