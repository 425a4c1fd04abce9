#include "ui/forecast_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>
#include <stdexcept>
#include <string>

#include "forecast/plan.h"
#include "model/difference.h"
#include "model/model.h"
#include "model/model_json.h"
#include "run/gp.h"
#include "run/grid_rows.h"
#include "ui/chart_axes.h"
#include "ui/fitness_baselines.h"
#include "ui/qt_toolkit.h"
#include "ui/unit1.h"

namespace vobrix::ui {
namespace {

// The command line's limits for the same options.
constexpr int kMaxHorizonSteps = 1'000'000;
constexpr double kMaxBudgetSeconds = 7 * 24 * 3600.0;

enum Column { kPart, kX, kActual, kPrediction, kColumns };
enum ChartSeries { kData, kEnsemble, kForecast };

// The shortest text that reads back to the same double.
QString Number(double value) {
  return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

bool GridEmpty(const toolkit::Grid& grid) {
  for (int row = 0; row < grid.RowCount(); ++row) {
    if (!grid.Cell(0, row).empty() || !grid.Cell(1, row).empty()) return false;
  }
  return true;
}

std::optional<std::uint32_t> ParseSeed(const QString& text) {
  if (text.trimmed().isEmpty()) return CalendarSeed();
  bool ok = false;
  const qulonglong value = text.trimmed().toULongLong(&ok);
  if (!ok || value > 4294967295ULL) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

QTableWidgetItem* Cell(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setToolTip(text);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  return item;
}

}  // namespace

ForecastDialog::ForecastDialog(TForm1& form) : QDialog(&form), form_(form) {
  setWindowTitle(QStringLiteral("Forecast"));
  progress = new QProgressBar(this);
  progress->setRange(0, 1);
  progress->setValue(0);
  status = new QLabel(QStringLiteral("Runs the forecast on the loaded training data."), this);
  status->setWordWrap(true);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(BuildOptions());
  layout->addLayout(BuildButtons());
  layout->addWidget(progress);
  layout->addWidget(status);
  layout->addWidget(BuildResults(), 1);
  resize(900, 600);
  chooseModelPath = [this]() -> std::optional<QString> {
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Model"), QString(),
                                                      QStringLiteral("Model files (*.json)"));
    if (path.isEmpty()) return std::nullopt;
    return path;
  };
  SetBusy(false);
  saveButton->setEnabled(false);
}

QLayout* ForecastDialog::BuildOptions() {
  runs = new QSpinBox(this);
  runs->setRange(1, static_cast<int>(model::kMaxPopulations));
  runs->setValue(forecast::ForecastSettings{}.runs);
  budget = new QDoubleSpinBox(this);
  budget->setRange(0.01, kMaxBudgetSeconds);
  budget->setValue(forecast::ForecastSettings{}.budgetSeconds);
  budget->setSuffix(QStringLiteral(" s"));
  horizon = new QSpinBox(this);
  horizon->setRange(0, kMaxHorizonSteps);
  horizon->setValue(12);
  seed = new QLineEdit(this);
  seed->setPlaceholderText(QStringLiteral("the calendar time"));
  difference = new QLineEdit(QStringLiteral("auto"), this);
  difference->setToolTip(
      QStringLiteral("auto: chosen on the inner hold-out; none; or lags such as 1 or 1,12"));
  combine = new QCheckBox(QStringLiteral("a season both ways, the mean of the two"), this);
  combine->setChecked(forecast::ForecastSettings{}.combine);
  combine->setToolTip(
      QStringLiteral("A seasonal series is forecast with its season left to the formulas and "
                     "taken out against earlier seasons, each on half the budget; not with "
                     "given lags"));
  auto* options = new QFormLayout;
  options->addRow(QStringLiteral("Runs (ensemble members)"), runs);
  options->addRow(QStringLiteral("Budget (work, in seconds)"), budget);
  options->addRow(QStringLiteral("Horizon (steps past the data)"), horizon);
  options->addRow(QStringLiteral("Seed"), seed);
  options->addRow(QStringLiteral("Differencing (auto, none or lags)"), difference);
  options->addRow(QStringLiteral("Combine"), combine);
  return options;
}

QLayout* ForecastDialog::BuildButtons() {
  startButton = new QPushButton(QStringLiteral("Start"), this);
  cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  saveButton = new QPushButton(QStringLiteral("Save Model..."), this);
  closeButton = new QPushButton(QStringLiteral("Close"), this);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {startButton, cancelButton, saveButton, closeButton}) {
    button->setAutoDefault(false);
    buttons->addWidget(button);
  }
  connect(startButton, &QPushButton::clicked, this, [this] { Guarded(this, [this] { Start(); }); });
  connect(cancelButton, &QPushButton::clicked, this, &ForecastDialog::Cancel);
  connect(saveButton, &QPushButton::clicked, this,
          [this] { Guarded(this, [this] { SaveClicked(); }); });
  connect(closeButton, &QPushButton::clicked, this, &ForecastDialog::close);
  return buttons;
}

QWidget* ForecastDialog::BuildResults() {
  grid = new QTableWidget(0, kColumns, this);
  grid->setHorizontalHeaderLabels({QStringLiteral("Part"), QStringLiteral("X"),
                                   QStringLiteral("Actual"), QStringLiteral("Ensemble")});
  grid->verticalHeader()->setVisible(false);
  grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  grid->setTextElideMode(Qt::ElideNone);
  chart = new QtChart({{QStringLiteral("Data"), Qt::black},
                       {QStringLiteral("Ensemble"), Qt::blue},
                       {QStringLiteral("Forecast"), Qt::red, true}},
                      QStringLiteral("X"), QStringLiteral("Y"), this);
  chart->setMinimumWidth(360);
  auto* results = new QSplitter(Qt::Horizontal, this);
  results->addWidget(chart);
  results->addWidget(grid);
  results->setStretchFactor(0, 3);
  results->setStretchFactor(1, 2);
  results->setSizes({520, 300});
  return results;
}

ForecastDialog::~ForecastDialog() {
  CancelAndWait();
}

std::optional<ForecastRequest> ForecastDialog::ReadRequest() {
  QString refusal;
  if (form_.Running()) {
    refusal = QStringLiteral("A GP run is in progress. Start the forecast when it has ended.");
  } else if (GridEmpty(*form_.StringGrid1)) {
    refusal = QStringLiteral(
        "There are no Training Data. Load them on the \"Problem Configration\" page.");
  } else if (!TForm1::AllCellsNumeric(*form_.StringGrid1)) {
    refusal = QStringLiteral("Loaded Training Data contains Invalid Value.");
  } else if (!GridEmpty(*form_.StringGrid3) && !TForm1::AllCellsNumeric(*form_.StringGrid3)) {
    refusal = QStringLiteral("Loaded Validation Data contains Invalid Value.");
  }
  const std::optional<std::uint32_t> seedValue = ParseSeed(seed->text());
  if (refusal.isEmpty() && !seedValue) {
    refusal = QStringLiteral("\"Seed\" must be a whole number from 0 to 4294967295, not \"%1\".")
                  .arg(seed->text());
  }
  ForecastRequest request;
  try {
    request.settings.difference = forecast::ReadDifferenceText(difference->text().toStdString());
  } catch (const std::invalid_argument& e) {
    if (refusal.isEmpty()) {
      refusal = QStringLiteral("\"Differencing\": \"%1\" %2.")
                    .arg(difference->text(), QString::fromStdString(e.what()));
    }
  }
  if (!refusal.isEmpty()) {
    seam().MessageBox(this, refusal);
    return std::nullopt;
  }
  request.settings.combine = combine->isChecked();
  request.training = GridRows(*form_.StringGrid1);
  if (!GridEmpty(*form_.StringGrid3)) request.validation = GridRows(*form_.StringGrid3);
  request.settings.seed = *seedValue;
  request.settings.runs = runs->value();
  request.settings.budgetSeconds = budget->value();
  request.horizon = horizon->value();
  return request;
}

bool ForecastDialog::Start() {
  if (Running()) return false;
  std::optional<ForecastRequest> request = ReadRequest();
  if (!request) return false;
  seedShown_ = request->settings.seed;
  thread_ = new QThread(this);
  worker_ = new ForecastWorker(std::move(*request));
  worker_->moveToThread(thread_);
  connect(thread_, &QThread::started, worker_, &ForecastWorker::Run);
  connect(worker_, &ForecastWorker::progressed, this, &ForecastDialog::OnProgress);
  connect(worker_, &ForecastWorker::finished, this, &ForecastDialog::Finish);
  SetBusy(true);
  saveButton->setEnabled(false);
  grid->setRowCount(0);
  for (int s : {kData, kEnsemble, kForecast}) chart->ClearSeries(s);
  chart->Flush();
  progress->setRange(0, 0);  // busy until the first report
  status->setText(QStringLiteral("Running with seed %1...").arg(seedShown_));
  thread_->start();
  return true;
}

void ForecastDialog::Cancel() {
  if (!worker_) return;
  worker_->Cancel();
  status->setText(QStringLiteral("Cancelling..."));
}

void ForecastDialog::CancelAndWait() {
  if (!worker_) return;
  worker_->Cancel();
  Finish();
}

void ForecastDialog::SetBusy(bool busy) {
  for (QWidget* option : std::initializer_list<QWidget*>{runs, budget, horizon, seed, difference,
                                                         combine, startButton}) {
    option->setEnabled(!busy);
  }
  cancelButton->setEnabled(busy);
  if (busy) {
    windowStart_ = form_.BitBtn2;
    form_.BitBtn2->setEnabled(false);
  } else if (windowStart_) {
    windowStart_->setEnabled(true);
    windowStart_ = nullptr;
  }
}

void ForecastDialog::OnProgress(int permille, const QString& stage) {
  if (!worker_ || worker_->Cancelling()) return;
  progress->setRange(0, 1000);
  progress->setValue(permille);
  status->setText(QStringLiteral("Running with seed %1: %2, %3% of the work done.")
                      .arg(seedShown_)
                      .arg(stage)
                      .arg(permille / 10.0, 0, 'f', 1));
}

void ForecastDialog::Finish() {
  // Reached by the worker's queued finished() and by CancelAndWait, whichever comes first.
  if (!worker_) return;
  thread_->quit();
  thread_->wait();
  result_ = worker_->Result();
  delete worker_;
  worker_ = nullptr;
  delete thread_;
  thread_ = nullptr;
  SetBusy(false);
  ShowResult();
  emit forecastEnded();
}

namespace {

// ": 19.4 times better than persistence (1.758); AR(24) 0.1560" after the validation error, to
// judge it by; empty when the baselines could not be scored.
QString BaselinesText(const ForecastResult& result) {
  if (!result.baselines) return {};
  const BaselineErrors& b = *result.baselines;
  const std::string better = TimesBetter(b.persistence, result.validationMse);
  QString text = better.empty() ? QStringLiteral(", persistence %1")
                                : QStringLiteral(": %1 (%2)").arg(QString::fromStdString(better));
  text = text.arg(QString::fromStdString(PlainNumber(b.persistence, 4)));
  if (b.ar) {
    text += QStringLiteral("; AR(%1) %2")
                .arg(b.arOrder)
                .arg(QString::fromStdString(PlainNumber(*b.ar, 4)));
  }
  return text;
}

// "window 23 (AR order 24), differenced at lag 12, 10 members": how one ensemble was made.
QString PartText(const model::Model& part, const forecast::WindowChoice& windows) {
  const QString differenced = part.difference.empty()
                                  ? QString()
                                  : QStringLiteral(", differenced at %1")
                                        .arg(QString::fromStdString(model::LagsText(
                                            part.difference, part.differenceSeasons)));
  return QStringLiteral("window %1 (AR order %2)%3, %4 members")
      .arg(windows.window)
      .arg(windows.arOrder)
      .arg(differenced)
      .arg(part.ensemble ? part.ensemble->members.size() : 0);
}

}  // namespace

void ForecastDialog::ShowResult() {
  using Outcome = ForecastResult::Outcome;
  progress->setRange(0, 1);
  progress->setValue(result_.outcome == Outcome::Finished ? 1 : 0);
  saveButton->setEnabled(result_.outcome == Outcome::Finished);
  if (result_.outcome == Outcome::Cancelled) {
    status->setText(QStringLiteral("Cancelled."));
    return;
  }
  if (result_.outcome == Outcome::Failed) {
    status->setText(
        QStringLiteral("The forecast failed: %1").arg(QString::fromStdString(result_.message)));
    return;
  }
  const forecast::Forecast& f = result_.forecast;
  QString text = QStringLiteral("Seed %1: ").arg(f.model.seed.value_or(0));
  if (f.model.parts.empty()) {
    text += PartText(f.model, f.windows);
  } else {
    text += QStringLiteral("the mean of %1 forecasts: ").arg(f.model.parts.size());
    for (std::size_t p = 0; p < f.model.parts.size(); ++p) {
      text += (p > 0 ? QStringLiteral("; ") : QString()) +
              PartText(f.model.parts[p], f.partWindows.at(p));
    }
  }
  text += QStringLiteral(".");
  if (result_.y.size() > result_.trainingRows) {
    text += QStringLiteral(" Validation MSE %1").arg(result_.validationMse, 0, 'g', 6);
    text += BaselinesText(result_) + QStringLiteral(".");
  }
  status->setText(text);
  FillGrid();
  DrawChart();
}

void ForecastDialog::FillGrid() {
  const std::size_t w = static_cast<std::size_t>(model::InputCount(result_.forecast.model));
  const std::size_t validation = result_.y.size() - result_.trainingRows;
  grid->setRowCount(static_cast<int>(validation + result_.forecastY.size()));
  int row = 0;
  for (std::size_t i = result_.trainingRows; i < result_.y.size(); ++i, ++row) {
    grid->setItem(row, kPart, Cell(QStringLiteral("validation")));
    grid->setItem(row, kX, Cell(Number(result_.x[i])));
    grid->setItem(row, kActual, Cell(Number(result_.y[i])));
    grid->setItem(row, kPrediction, Cell(Number(result_.predictions[i - w])));
  }
  for (std::size_t k = 0; k < result_.forecastY.size(); ++k, ++row) {
    grid->setItem(row, kPart, Cell(QStringLiteral("forecast")));
    grid->setItem(row, kX, Cell(Number(result_.forecastX[k])));
    grid->setItem(row, kActual, Cell(QString()));
    grid->setItem(row, kPrediction, Cell(Number(result_.forecastY[k])));
  }
  grid->resizeColumnsToContents();
}

void ForecastDialog::DrawChart() {
  const std::size_t w = static_cast<std::size_t>(model::InputCount(result_.forecast.model));
  std::vector<toolkit::ChartPoint> data, ensemble, ahead;
  for (std::size_t i = 0; i < result_.y.size(); ++i)
    data.push_back({result_.x[i], result_.y[i], {}});
  for (std::size_t i = 0; i < result_.predictions.size(); ++i) {
    ensemble.push_back({result_.x[i + w], result_.predictions[i], {}});
  }
  // The forecast starts from the last value so that its line joins the data.
  if (!result_.forecastY.empty()) ahead.push_back(data.back());
  for (std::size_t k = 0; k < result_.forecastY.size(); ++k) {
    ahead.push_back({result_.forecastX[k], result_.forecastY[k], {}});
  }
  chart->ReplaceSeries(kData, data);
  chart->ReplaceSeries(kEnsemble, ensemble);
  chart->ReplaceSeries(kForecast, ahead);
  chart->Flush();
}

bool ForecastDialog::SaveModel(const QString& path) {
  if (result_.outcome != ForecastResult::Outcome::Finished) return false;
  QSaveFile file(path);
  const std::string text = model::ModelToJson(result_.forecast.model);
  const bool written = file.open(QIODevice::WriteOnly) &&
                       file.write(text.data(), static_cast<qint64>(text.size())) ==
                           static_cast<qint64>(text.size()) &&
                       file.commit();
  if (!written) {
    seam().MessageBox(this,
                      QStringLiteral("%1: cannot be written (%2).").arg(path, file.errorString()));
    return false;
  }
  status->setText(status->text() + QStringLiteral(" Saved to %1.").arg(path));
  return true;
}

void ForecastDialog::SaveClicked() {
  if (const std::optional<QString> path = chooseModelPath ? chooseModelPath() : std::nullopt) {
    SaveModel(*path);
  }
}

void ForecastDialog::closeEvent(QCloseEvent* event) {
  CancelAndWait();
  QDialog::closeEvent(event);
}

void ForecastDialog::reject() {
  CancelAndWait();
  QDialog::reject();
}

ForecastDialog& ShowForecastDialog(TForm1& form) {
  auto* dialog = form.findChild<ForecastDialog*>(QString(), Qt::FindDirectChildrenOnly);
  if (!dialog) dialog = new ForecastDialog(form);
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
  return *dialog;
}

}  // namespace vobrix::ui
