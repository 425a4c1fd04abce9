#include "ui/fitness_baselines.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <cmath>

#include "forecast/baselines.h"
#include "run/gp.h"

namespace vobrix::ui {
namespace {

const QColor kPersistenceColour{110, 110, 110};
const QColor kArColour{230, 120, 0};

QString Plain(double value) {
  return QString::fromStdString(PlainNumber(value, 4));
}

}  // namespace

std::optional<BaselineErrors> ValidationBaselines(const std::vector<double>& series,
                                                  std::size_t trainingRows) {
  if (trainingRows < 1 || series.size() <= trainingRows) return std::nullopt;
  for (double value : series) {
    if (!std::isfinite(value)) return std::nullopt;
  }
  BaselineErrors errors;
  errors.persistence = forecast::ScorePersistence(series, trainingRows).mse;
  try {
    const std::vector<double> training(series.begin(),
                                       series.begin() + static_cast<std::ptrdiff_t>(trainingRows));
    const forecast::ArModel ar = forecast::FitAr(training);
    errors.ar = forecast::ScoreAr(ar, series, trainingRows).mse;
    errors.arOrder = ar.order;
  } catch (const forecast::ForecastError&) {
    // Too short a training part for an AR model: persistence alone.
  }
  return errors;
}

std::string TimesBetter(double persistence, double error) {
  if (!std::isfinite(error) || !(error > 0.0) || !std::isfinite(persistence)) return {};
  const double ratio = persistence / error;
  if (ratio >= 1.0) return PlainNumber(ratio, 3) + " times better than persistence";
  return PlainNumber(1.0 / ratio, 3) + " times worse than persistence";
}

FitnessBaselines::FitnessBaselines(QtChart* chart, QWidget* parent) : QWidget(parent) {
  logScale_ = new QCheckBox(QStringLiteral("Log scale"), this);
  baselines_ = new QLabel(this);
  // Long figures wrap instead of widening the chart's column.
  baselines_->setWordWrap(true);
  baselines_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(1);
  chart->setParent(this);
  layout->addWidget(chart, 1);
  auto* strip = new QHBoxLayout();
  strip->addWidget(logScale_);
  strip->addWidget(baselines_, 1);
  layout->addLayout(strip);
  auto* bests = new QGridLayout();
  for (std::size_t i = 0; i < best_.size(); ++i) {
    best_[i] = new QLabel(this);
    best_[i]->setStyleSheet(
        QStringLiteral("color: %1").arg(PopulationColour(static_cast<int>(i), false).name()));
    best_[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    best_[i]->setWordWrap(true);
    best_[i]->hide();
    bests->addWidget(best_[i], static_cast<int>(i), 0);
  }
  layout->addLayout(bests);
  connect(logScale_, &QCheckBox::toggled, this, [this](bool on) {
    for (QtChart* each : charts_) each->SetLogScale(on);
  });
  AddChart(chart);
  SetBaselines(std::nullopt);
}

void FitnessBaselines::AddChart(QtChart* chart) {
  charts_.push_back(chart);
  chart->OfferLogScale();
  chart->SetLogScale(logScale_->isChecked());
  // The box and every chart's context menu switch all of them together.
  connect(chart, &QtChart::logScaleChanged, logScale_, &QCheckBox::setChecked);
  if (charts_.size() > 1) chart->SetReferenceLines(References(true));
}

void FitnessBaselines::Follow(RunSession& session) {
  ClearBest();
  session.observer.afterStep =
      [this, report = std::move(session.observer.afterStep)](const StepReport& step) {
        if (report) report(step);
        if (step.validationError) ShowBest(step.population, *step.validationError);
      };
}

std::vector<ReferenceLine> FitnessBaselines::References(bool inLegend) const {
  std::vector<ReferenceLine> lines;
  if (!errors_) return lines;
  lines.push_back({{QStringLiteral("Persistence"), kPersistenceColour, false, inLegend, true},
                   errors_->persistence});
  if (errors_->ar) {
    lines.push_back(
        {{QStringLiteral("AR(%1)").arg(errors_->arOrder), kArColour, false, inLegend, true},
         *errors_->ar});
  }
  return lines;
}

void FitnessBaselines::SetBaselines(const std::optional<BaselineErrors>& errors) {
  errors_ = errors;
  QString text;
  if (errors) {
    // In the lines' colours: the small chart has no room to name them in its legend.
    text = QStringLiteral("Validation MSE: <span style='color:%1'>persistence %2</span>")
               .arg(kPersistenceColour.name(), Plain(errors->persistence));
    if (errors->ar) {
      text += QStringLiteral(", <span style='color:%1'>AR(%2) %3</span>")
                  .arg(kArColour.name())
                  .arg(errors->arOrder)
                  .arg(Plain(*errors->ar));
    }
  }
  baselines_->setText(text);
  for (std::size_t c = 0; c < charts_.size(); ++c) charts_[c]->SetReferenceLines(References(c > 0));
  ClearBest();
}

void FitnessBaselines::ShowBest(int population, double validationError) {
  if (population < 0 || population >= static_cast<int>(best_.size()) || !errors_) return;
  QLabel* label = best_[static_cast<std::size_t>(population)];
  const std::string better = TimesBetter(errors_->persistence, validationError);
  label->setText(
      QStringLiteral("No%1: %2").arg(population + 1).arg(QString::fromStdString(better)));
  label->setVisible(!better.empty());
}

void FitnessBaselines::ClearBest() {
  for (QLabel* label : best_) label->hide();
}

}  // namespace vobrix::ui
