#include "ui/results_menu.h"

#include <QAction>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QTabWidget>

#include "model/export.h"
#include "model/model_json.h"
#include "model/predictor.h"
#include "problem/normalize.h"
#include "problem/textconv.h"
#include "results/replacing_file.h"
#include "results/run_settings.h"
#include "run/grid_rows.h"
#include "ui/forecast_view.h"
#include "ui/unit1.h"
#include "ui/unit4.h"
#include "ui/window_settings.h"

namespace vobrix::ui {
namespace {

constexpr const char* kModelFilter = "Model files (*.json);;All files (*)";
constexpr const char* kCsvFilter = "CSV files (*.csv);;All files (*)";
constexpr const char* kSettingsFilter = "Settings files (*.json);;All files (*)";
// The export forms: filter, format name for ExporterOf, suffix.
constexpr std::array<std::array<const char*, 3>, 4> kExportForms{
    {{"Text (*.txt)", "text", "txt"},
     {"C (*.c)", "c", "c"},
     {"Python (*.py)", "python", "py"},
     {"LaTeX (*.tex)", "latex", "tex"}}};
constexpr const char* kPngFilter = "PNG image (*.png)";
constexpr const char* kSvgFilter = "SVG image (*.svg)";
constexpr std::array<const char*, 3> kChartNames{"Fitness", "Program Length", "Prediction"};

std::optional<QString> SaveFileDialog(QWidget* parent, const QString& caption,
                                      const QString& filters, QString* filter) {
  const QString path = QFileDialog::getSaveFileName(parent, caption, QString(), filters, filter);
  return path.isEmpty() ? std::nullopt : std::optional(path);
}

std::optional<QString> OpenFileDialog(QWidget* parent, const QString& caption,
                                      const QString& filters) {
  const QString path = QFileDialog::getOpenFileName(parent, caption, QString(), filters);
  return path.isEmpty() ? std::nullopt : std::optional(path);
}

QString JoinFilters(const std::vector<QString>& filters) {
  QString joined;
  for (const QString& filter : filters) joined += (joined.isEmpty() ? "" : ";;") + filter;
  return joined;
}

// The path with the suffix the chosen filter names when the user typed none.
QString WithSuffix(const QString& path, const QString& suffix) {
  return QFileInfo(path).suffix().isEmpty() ? path + "." + suffix : path;
}

bool HasPoints(const QtChart& chart) {
  for (int s = 0; s < chart.SeriesCount(); ++s) {
    if (chart.PointCount(s) > 0) return true;
  }
  return false;
}

// The chart as PNG or SVG through a temporary that replaces the file only when it is whole.
bool WriteChartImage(QtChart& chart, const QString& path, bool svg) {
  chart.Flush();
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (svg) {
    QSvgGenerator generator;
    generator.setOutputDevice(&file);
    generator.setSize(chart.size());
    generator.setViewBox(chart.rect());
    generator.setTitle(QStringLiteral("Vobrix"));
    QPainter painter(&generator);
    chart.render(&painter);
    painter.end();
  } else if (!chart.grab().toImage().save(&file, "PNG")) {
    file.cancelWriting();
  }
  return file.commit();
}

}  // namespace

ResultsMenu::ResultsMenu(TForm1& form) : QObject(&form), form_(form) {
  dialogs.save = SaveFileDialog;
  dialogs.open = OpenFileDialog;
  BuildMenu();
  form_.runStarting = [this](RunSession& session) { RunStarting(session); };
  form_.runEnded = [this](RunSession&, const RunResult& result) { RunEnded(result); };
  UpdateEntries();
}

ResultsMenu::~ResultsMenu() = default;

void ResultsMenu::BuildMenu() {
  menu_ = new QMenu(QStringLiteral("Results (&S)"), &form_);
  form_.menuBar()->insertMenu(form_.HelpMenu->menuAction(), menu_);
  OpenModel = menu_->addAction(QStringLiteral("Open Model…"));
  menu_->addSeparator();
  SaveModel = menu_->addAction(QStringLiteral("Save Model…"));
  SavePredictions = menu_->addAction(QStringLiteral("Save Predictions…"));
  ExportFormula = menu_->addAction(QStringLiteral("Export Formula…"));
  CopyFormula = menu_->addAction(QStringLiteral("Copy Formula"));
  QMenu* charts = menu_->addMenu(QStringLiteral("Save Chart as Image"));
  for (std::size_t c = 0; c < SaveChart.size(); ++c) {
    SaveChart[c] = charts->addAction(QString::fromLatin1(kChartNames[c]) + " Chart…");
    connect(SaveChart[c], &QAction::triggered, this, [this, c] { SaveChartClick(int(c)); });
  }
  OpenSettings = new QAction(QStringLiteral("Open Settings…"), menu_);
  SaveSettings = new QAction(QStringLiteral("Save Settings…"), menu_);
  form_.FileMenu->insertActions(form_.Exit1, {OpenSettings, SaveSettings});
  form_.FileMenu->insertSeparator(form_.Exit1);
  connect(menu_, &QMenu::aboutToShow, this, &ResultsMenu::UpdateEntries);
  connect(form_.FileMenu, &QMenu::aboutToShow, this, &ResultsMenu::UpdateEntries);
  const std::pair<QAction*, void (ResultsMenu::*)()> handlers[] = {
      {OpenModel, &ResultsMenu::OpenModelClick},
      {SaveModel, &ResultsMenu::SaveModelClick},
      {SavePredictions, &ResultsMenu::SavePredictionsClick},
      {ExportFormula, &ResultsMenu::ExportFormulaClick},
      {CopyFormula, &ResultsMenu::CopyFormulaClick},
      {OpenSettings, &ResultsMenu::OpenSettingsClick},
      {SaveSettings, &ResultsMenu::SaveSettingsClick}};
  for (const auto& [action, handler] : handlers) {
    connect(action, &QAction::triggered, this, [this, handler = handler] {
      Guarded(&form_, [this, handler] { (this->*handler)(); });
    });
  }
}

const model::Model* ResultsMenu::CurrentModel() const {
  if (opened_) return &*opened_;
  return finished_ ? &finished_->Model() : nullptr;
}

void ResultsMenu::UpdateEntries() {
  const bool idle = !form_.Running();
  const bool model = idle && CurrentModel();
  for (QAction* action : {SaveModel, ExportFormula, CopyFormula}) action->setEnabled(model);
  SavePredictions->setEnabled(model && (finished_ || !openedPredictions_.empty()));
  for (std::size_t c = 0; c < SaveChart.size(); ++c) {
    SaveChart[c]->setEnabled(idle && HasPoints(*Chart(int(c))));
  }
  OpenModel->setEnabled(idle);
  OpenSettings->setEnabled(idle);
}

QtChart* ResultsMenu::Chart(int index) const {
  const std::array<QtChart*, 3> charts{form_.Chart2, form_.Chart3, form_.Chart4};
  return charts.at(static_cast<std::size_t>(index));
}

// ---- Following the runs ----------------------------------------------------------------------

void ResultsMenu::RunStarting(RunSession& session) {
  running_ = std::make_unique<results::RunRecord>();
  results::RunSettings settings;
  static_cast<results::PanelSettings&>(settings) = SettingsOfWindow(form_);
  settings.normalize = form_.Normalized();
  std::map<std::string, std::string> texts = results::SettingsTexts(settings);
  texts.erase("--train");  // the window loads its data without naming the files to the run
  running_->Begin(std::move(texts), std::nullopt, false);
  const std::vector<CellRow> training = GridRows(*form_.StringGrid1);
  const std::vector<CellRow> validation =
      session.hasValidation ? GridRows(*form_.StringGrid3) : std::vector<CellRow>{};
  try {
    KeepRunData(training, validation);
  } catch (const std::exception&) {
    running_.reset();  // data the record cannot read: the run goes on, with nothing to save
    return;
  }
  running_->Follow(session);
  UpdateEntries();
}

void ResultsMenu::KeepRunData(const std::vector<CellRow>& training,
                              const std::vector<CellRow>& validation) {
  if (form_.Normalized()) {
    // The backups hold the data as loaded; Normalization gives back the range it used.
    const auto raw = [](const QtGrid& backup, std::size_t rows) {
      std::vector<CellRow> all = GridRows(backup);
      all.resize(std::min(all.size(), rows));
      return all;
    };
    const std::vector<CellRow> rawTraining = raw(*form_.StringGrid2, training.size());
    const std::vector<CellRow> rawValidation = raw(*form_.StringGrid6, validation.size());
    running_->KeepData(rawTraining, rawValidation);
    running_->KeepNormalization(Normalize(rawTraining, rawValidation));
  } else {
    running_->KeepData(training, validation);
  }
}

void ResultsMenu::RunEnded(const RunResult& result) {
  std::unique_ptr<results::RunRecord> record = std::move(running_);
  if (result.outcome != RunOutcome::Failed && record && record->Complete()) {
    finished_ = std::move(record);
    opened_.reset();
    openedPredictions_.clear();
    openedData_ = {};
  }
  UpdateEntries();
}

// ---- Saving ------------------------------------------------------------------------------------

std::optional<QString> ResultsMenu::AskSavePath(const QString& caption, const QString& filters,
                                                QString* filter) {
  QString chosen;
  return dialogs.save(&form_, caption, filters, filter ? filter : &chosen);
}

bool ResultsMenu::WriteFile(const QString& path, const std::string& text) {
  try {
    results::ReplacingFile file(path.toStdString());
    file.Write(text);
    file.Commit();
    return true;
  } catch (const results::WriteError& error) {
    seam().MessageBox(&form_, QString::fromStdString(error.what()));
    return false;
  }
}

void ResultsMenu::SaveModelClick() {
  const model::Model* model = CurrentModel();
  if (!model) return;
  std::string text;
  try {
    model::ValidateModel(*model);
    text = model::ModelToJson(*model);
  } catch (const model::ModelError& error) {
    seam().MessageBox(&form_, "The model cannot be saved: " + QString::fromStdString(error.what()));
    return;
  }
  if (const auto path = AskSavePath(QStringLiteral("Save Model"), kModelFilter)) {
    WriteFile(WithSuffix(*path, "json"), text);
  }
}

void ResultsMenu::SavePredictionsClick() {
  if (!CurrentModel()) return;
  const auto path = AskSavePath(QStringLiteral("Save Predictions"), kCsvFilter);
  if (!path) return;
  std::string csv;
  try {
    csv = opened_ ? OpenedPredictionsText() : finished_->PredictionsText(ForecastHorizon());
  } catch (const model::ModelError& error) {
    seam().MessageBox(&form_,
                      "The predictions cannot be saved: " + QString::fromStdString(error.what()));
    return;
  }
  WriteFile(WithSuffix(*path, "csv"), csv);
}

void ResultsMenu::ExportFormulaClick() {
  const model::Model* model = CurrentModel();
  if (!model) return;
  std::vector<QString> filters;
  for (const auto& form : kExportForms) filters.emplace_back(QString::fromLatin1(form[0]));
  QString filter = filters.front();
  const auto path = AskSavePath(QStringLiteral("Export Formula"), JoinFilters(filters), &filter);
  if (!path) return;
  // The form the chosen filter names, else the one the typed suffix names, else text.
  const auto* chosen = &kExportForms.front();
  const QString suffix = QFileInfo(*path).suffix().toLower();
  for (const auto& form : kExportForms) {
    if (suffix == form[2]) chosen = &form;
  }
  for (const auto& form : kExportForms) {
    if (filter == form[0] && suffix.isEmpty()) chosen = &form;
  }
  std::string text;
  try {
    text =
        model::ExportFile(model::ExporterOf((*chosen)[1]), *model, model::ChoosePopulation(*model));
  } catch (const model::ModelError& error) {
    seam().MessageBox(&form_,
                      "The formula cannot be exported: " + QString::fromStdString(error.what()));
    return;
  }
  WriteFile(WithSuffix(*path, (*chosen)[2]), text);
}

void ResultsMenu::CopyFormulaClick() {
  const model::Model* model = CurrentModel();
  if (!model) return;
  try {
    const std::string text = model::ExportText(*model, model::ChoosePopulation(*model));
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
  } catch (const model::ModelError& error) {
    seam().MessageBox(&form_,
                      "The formula cannot be copied: " + QString::fromStdString(error.what()));
  }
}

void ResultsMenu::SaveChartClick(int chart) {
  QtChart* view = Chart(chart);
  if (!HasPoints(*view)) return;
  QString filter = QString::fromLatin1(kPngFilter);
  const QString caption =
      "Save " + QString::fromLatin1(kChartNames[std::size_t(chart)]) + " Chart as Image";
  const auto path = AskSavePath(caption, JoinFilters({kPngFilter, kSvgFilter}), &filter);
  if (!path) return;
  const QString suffix = QFileInfo(*path).suffix().toLower();
  const bool svg = suffix == "svg" || (suffix != "png" && filter == kSvgFilter);
  const QString target = WithSuffix(*path, svg ? "svg" : "png");
  if (!WriteChartImage(*view, target, svg)) {
    seam().MessageBox(&form_, "cannot write '" + target + "'");
  }
}

// ---- Opening a model -----------------------------------------------------------------------

results::Series ResultsMenu::LoadedData(std::size_t* trainingRows) const {
  const bool normalized = form_.Normalized();
  const QtGrid* training = normalized ? form_.StringGrid2 : form_.StringGrid1;
  const QtGrid* validation = normalized ? form_.StringGrid6 : form_.StringGrid3;
  std::vector<CellRow> rows = GridRows(*training);
  rows.resize(std::min(rows.size(), std::size_t(form_.StringGrid1->RowCount())));
  *trainingRows = rows.size();
  if (TForm1::AllCellsNumeric(*form_.StringGrid3)) {
    std::vector<CellRow> more = GridRows(*validation);
    more.resize(std::min(more.size(), std::size_t(form_.StringGrid3->RowCount())));
    rows.insert(rows.end(), more.begin(), more.end());
  }
  results::Series series;
  try {
    results::AppendRows(series, rows);
  } catch (const ConversionError&) {
    return {};
  }
  return series;
}

void ResultsMenu::OpenModelClick() {
  if (form_.Running()) return;
  const auto path = dialogs.open(&form_, QStringLiteral("Open Model"), kModelFilter);
  if (!path) return;
  model::Model model;
  try {
    model = model::ReadModelFile(path->toStdString());
  } catch (const model::ModelError& error) {
    seam().MessageBox(&form_,
                      "The model cannot be opened: " + QString::fromStdString(error.what()));
    return;
  }
  ShowModel(QFileInfo(*path).fileName(), model);
  opened_ = std::move(model);
  UpdateEntries();
}

// The formula in the memo; the predictions on the loaded data in the output grid and the
// prediction charts, each the value `vobrix-cli predict` writes for the same data.
void ResultsMenu::ShowModel(const QString& name, const model::Model& model) {
  const std::size_t population = model::ChoosePopulation(model);
  std::string memo = "[Model " + name.toStdString() + "]\r\n";
  for (char c : model::ExportText(model, population))
    memo += c == '\n' ? std::string("\r\n") : std::string(1, c);
  openedPredictions_.clear();
  std::size_t trainingRows = 0;
  openedData_ = LoadedData(&trainingRows);
  const results::Series& data = openedData_;
  const auto w = static_cast<std::size_t>(model::InputCount(model));
  if (data.y.size() > w) {
    const model::SeriesPrediction prediction = model::Predictor(model, population).Predict(data.y);
    openedPredictions_ = prediction.predictions;
    memo += "\r\nMSE on the loaded data: " + results::FormatNumber(prediction.mse) + " over " +
            std::to_string(prediction.predictions.size()) + " one-step predictions\r\n";
  } else {
    memo +=
        "\r\nLoad data with more than " + std::to_string(w) + " values to see its predictions.\r\n";
  }
  form_.Memo1->SetText(memo);
  ShowPredictions(data, w, trainingRows);
  if (!openedPredictions_.empty()) {
    try {
      form_.Forecast->ShowForecast(model, data.y);
    } catch (const model::ModelError& error) {
      seam().MessageBox(&form_, "No forecast: " + QString::fromStdString(error.what()));
    }
  }
}

// The opened model's one-step predictions in the output grid and on the prediction charts.
void ResultsMenu::ShowPredictions(const results::Series& data, std::size_t w,
                                  std::size_t trainingRows) {
  const std::size_t n = openedPredictions_.size();
  std::vector<std::string> xs(n), texts(n);
  std::vector<toolkit::ChartPoint> dataPoints, trainingPoints, validationPoints;
  for (std::size_t k = 0; k < data.y.size(); ++k) {
    dataPoints.push_back({double(k), data.y[k], FormatGeneral(data.x[k], 15)});
  }
  for (std::size_t k = 0; k < n; ++k) {
    xs[k] = FormatGeneral(data.x[w + k], 15);
    texts[k] = results::FormatNumber(openedPredictions_[k]);
    const toolkit::ChartPoint point{double(w + k), openedPredictions_[k], xs[k]};
    (w + k < trainingRows ? trainingPoints : validationPoints).push_back(point);
  }
  QtGrid& grid = *form_.StringGrid5;
  grid.SetColCount(2);
  grid.SetRowCount(std::max<int>(1, int(n)));
  grid.SetColumn(0, 0, xs.empty() ? std::vector<std::string>{""} : xs);
  grid.SetColumn(1, 0, texts.empty() ? std::vector<std::string>{""} : texts);
  for (QtChart* chart : {form_.Chart4, form_.Form4()->Chart1}) {
    for (int s = 0; s < chart->SeriesCount(); ++s) chart->ClearSeries(s);
    chart->UndoZoom();
    chart->ReplaceSeries(0, dataPoints);
    chart->ReplaceSeries(1, trainingPoints);
    chart->ReplaceSeries(5, validationPoints);
  }
}

long long ResultsMenu::ForecastHorizon() const {
  return form_.Forecast->Horizon();
}

// `vobrix-cli predict --horizon`'s file for the opened model on the data loaded when it was
// opened, with the horizon the field holds now.
std::string ResultsMenu::OpenedPredictionsText() const {
  const std::size_t population = model::ChoosePopulation(*opened_);
  const model::Predictor predictor(*opened_, population);
  return results::DataPredictionsText(
      population + 1, openedData_, static_cast<std::size_t>(model::InputCount(*opened_)),
      openedPredictions_, predictor.Forecast(openedData_.y, ForecastHorizon()));
}

// ---- Settings files --------------------------------------------------------------------------

void ResultsMenu::SaveSettingsClick() {
  const std::string text = results::SettingsToJson(SettingsOfWindow(form_));
  if (const auto path = AskSavePath(QStringLiteral("Save Settings"), kSettingsFilter)) {
    WriteFile(WithSuffix(*path, "json"), text);
  }
}

void ResultsMenu::OpenSettingsClick() {
  if (form_.Running()) return;
  const auto path = dialogs.open(&form_, QStringLiteral("Open Settings"), kSettingsFilter);
  if (!path) return;
  results::PanelSettings settings;
  try {
    settings = results::ReadSettingsFile(path->toStdString());
  } catch (const results::SettingsFileError& error) {
    seam().MessageBox(&form_,
                      "The settings cannot be opened: " + QString::fromStdString(error.what()));
    return;
  }
  ApplySettings(form_, settings);
}

}  // namespace vobrix::ui
