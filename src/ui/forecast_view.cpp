#include "ui/forecast_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <string>

#include "model/predictor.h"
#include "problem/textconv.h"
#include "run/gp.h"

namespace vobrix::ui {
namespace {

const QColor kForecastColour{190, 0, 190};

}  // namespace

std::vector<double> GridSeries(const toolkit::Grid& training, const toolkit::Grid& validation) {
  std::vector<double> series;
  series.reserve(static_cast<std::size_t>(training.RowCount() + validation.RowCount()));
  for (const toolkit::Grid* grid : {&training, &validation}) {
    for (int r = 0; r < grid->RowCount(); ++r) {
      double y = 0.0;
      TryTextToFloat(grid->Cell(1, r), y);
      series.push_back(y);
    }
  }
  return series;
}

ForecastView::ForecastView(QtGrid* output, QWidget* parent) : QWidget(parent), output_(output) {
  horizon_ = new QSpinBox(this);
  horizon_->setRange(0, kMaxHorizon);
  horizon_->setValue(0);
  horizon_->setToolTip(QStringLiteral(
      "Steps to forecast past the end of the data after a run, each from the latest window with "
      "the earlier forecasts in place of the values they stand for"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(new QLabel(QStringLiteral("Forecast horizon"), this));
  layout->addWidget(horizon_);
  layout->addStretch(1);
}

void ForecastView::AddChart(QtChart* chart) {
  charts_.push_back(chart);
  forecastSeries_.push_back(
      chart->AppendSeries({QStringLiteral("Forecast"), kForecastColour, false, true, true}));
}

long long ForecastView::Horizon() const {
  return horizon_->value();
}

void ForecastView::Follow(RunSession& session) {
  runModel_.reset();
  session.observer.afterStep =
      [this, &session, report = std::move(session.observer.afterStep)](const StepReport& step) {
        if (report) report(step);
        const Problem& problem = *session.problem;
        if (!runModel_) {
          runModel_ = model::ModelOfProblem(problem);
          runModel_->populations.resize(static_cast<std::size_t>(session.lastPopIndex) + 1);
        }
        const Individual& best =
            *session.populations[static_cast<std::size_t>(step.population)]->Current()[0];
        runModel_->populations[static_cast<std::size_t>(step.population)] = {
            model::ProgramOfGenes(problem, best.genes, best.length), best.rawFitness,
            step.validationError, step.scaling};
      };
}

void ForecastView::ClearForecast() {
  for (std::size_t c = 0; c < charts_.size(); ++c) charts_[c]->ClearSeries(forecastSeries_[c]);
}

void ForecastView::ShowForecast(const model::Model& model, const std::vector<double>& series) {
  ClearForecast();
  const long long horizon = Horizon();
  if (horizon <= 0) return;
  // An ensemble, and a model of parts, is one model without populations.
  const std::size_t count = model.populations.empty() ? 1 : model.populations.size();
  const std::size_t chosen = model::ChoosePopulation(model);
  const int firstRow = static_cast<int>(series.size()) - model::InputCount(model);
  const auto steps = static_cast<std::size_t>(horizon);

  std::vector<std::string> xs(steps);
  std::vector<toolkit::ChartPoint> points(steps);
  for (std::size_t k = 0; k < steps; ++k) {
    points[k].x = static_cast<double>(series.size() + k);
    xs[k] = points[k].label = FormatGeneral(points[k].x, 15);
  }
  std::vector<std::vector<std::string>> columns(count);
  for (std::size_t p = 0; p < count; ++p) {
    const std::vector<double> forecast = model::Predictor(model, p).Forecast(series, horizon);
    columns[p].resize(steps);
    for (std::size_t k = 0; k < steps; ++k) {
      columns[p][k] = FormatGeneral(forecast[k], 15);
      if (p == chosen) points[k].y = forecast[k];
    }
  }
  output_->SetRowCount(firstRow + static_cast<int>(horizon));
  if (output_->ColCount() < static_cast<int>(count) + 1) {
    output_->SetColCount(static_cast<int>(count) + 1);
  }
  output_->SetColumn(0, firstRow, xs);
  for (std::size_t p = 0; p < count; ++p) {
    output_->SetColumn(static_cast<int>(p) + 1, firstRow, columns[p]);
  }
  for (std::size_t c = 0; c < charts_.size(); ++c) {
    charts_[c]->ReplaceSeries(forecastSeries_[c], points);
  }
}

void ForecastView::ShowRunForecast(const std::vector<double>& series) {
  if (!runModel_) return;
  try {
    ShowForecast(*runModel_, series);
  } catch (const model::ModelError& e) {
    seam().MessageBox(window(), QStringLiteral("No forecast: %1").arg(QString::fromUtf8(e.what())));
  }
}

}  // namespace vobrix::ui
