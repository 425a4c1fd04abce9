// The forecast on the Results page: the "Forecast horizon" field, the run's best programs kept
// as a model while the run goes, and the forecast past the end of the data drawn dashed on the
// prediction charts with its values as extra rows of the output grid. The values come from the
// model layer's Predictor, the code `vobrix-cli predict --horizon` uses.
#pragma once

#include <QWidget>
#include <optional>
#include <vector>

#include "model/model.h"
#include "ui/qt_toolkit.h"

class QSpinBox;

namespace vobrix {
struct RunSession;
}

namespace vobrix::ui {

// The Y of the loaded data as a run reads them: the training grid's, then the validation
// grid's; a cell that is not a number reads as 0.
std::vector<double> GridSeries(const toolkit::Grid& training, const toolkit::Grid& validation);

class ForecastView : public QWidget {
  Q_OBJECT
 public:
  // The longest forecast the field takes: each step is a row of the output grid.
  static constexpr int kMaxHorizon = 100'000;

  explicit ForecastView(QtGrid* output, QWidget* parent = nullptr);
  // A prediction chart that shows the forecast (the main window's and the large window's).
  void AddChart(QtChart* chart);

  QSpinBox* HorizonBox() const { return horizon_; }
  long long Horizon() const;

  // Keeps every population's best program of the run as a model (in the units of the grids
  // the run reads), step by step; the forecast of the run is made from it.
  void Follow(RunSession& session);
  // The model of the latest run that reported a step, or nothing.
  const std::optional<model::Model>& RunModel() const { return runModel_; }

  // Shows Horizon() steps of the model's forecast past the end of `series` (the loaded data's
  // Y, training then validation, in the data's units): step k at X = series.size() - 1 + k,
  // continuing the X of the one-step predictions. On both prediction charts the chosen
  // population's forecast (model::ChoosePopulation) is drawn dashed; in the output grid rows
  // series.size() - windowSize .. get X in column 0 and population p's forecast in column
  // p + 1 (an ensemble in column 1). A horizon of 0 only clears an earlier forecast. Throws
  // model::ModelError when the model cannot forecast the series.
  void ShowForecast(const model::Model& model, const std::vector<double>& series);
  // After a run: the forecast of RunModel(), or nothing; a model error is shown in a box.
  void ShowRunForecast(const std::vector<double>& series);
  void ClearForecast();

 private:
  QtGrid* output_;
  std::vector<QtChart*> charts_;
  std::vector<int> forecastSeries_;  // per chart
  QSpinBox* horizon_;
  std::optional<model::Model> runModel_;
};

}  // namespace vobrix::ui
