// The Results menu and the settings-file entries of the File menu: saving what a run found (the
// model file, the predictions, the formula in four forms, the charts as images), opening a
// saved model to see its formula and predictions on the loaded data, and writing and reading
// the problem and population settings. Every file is written whole or not at all, by the same
// code as vobrix-cli, so that the window and the command line save the same bytes.
#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "model/model.h"
#include "results/prediction_table.h"
#include "results/run_record.h"

class QAction;
class QMenu;

namespace vobrix::ui {

class QtChart;
class TForm1;

class ResultsMenu : public QObject {
  Q_OBJECT
 public:
  // Adds the Results menu before Help and the settings entries to the File menu, and follows
  // the form's runs.
  explicit ResultsMenu(TForm1& form);
  ~ResultsMenu() override;

  // The file dialogs; tests replace them. The chosen path, or nothing when cancelled; `filter`
  // holds the filter chosen (in: the one to preselect).
  struct Dialogs {
    std::function<std::optional<QString>(QWidget* parent, const QString& caption,
                                         const QString& filters, QString* filter)>
        save;
    std::function<std::optional<QString>(QWidget* parent, const QString& caption,
                                         const QString& filters)>
        open;
  };
  Dialogs dialogs;

  QMenu* Menu() const { return menu_; }
  QAction *OpenModel, *SaveModel, *SavePredictions, *ExportFormula, *CopyFormula;
  std::array<QAction*, 3> SaveChart{};  // the fitness, length and prediction charts
  QAction *OpenSettings, *SaveSettings;

  // The model the entries save: the last finished run's, or the model file opened since.
  const model::Model* CurrentModel() const;
  // Enables each entry when it has something to save and no run is under way.
  void UpdateEntries();

  void OpenModelClick();
  void SaveModelClick();
  void SavePredictionsClick();
  void ExportFormulaClick();
  void CopyFormulaClick();
  void SaveChartClick(int chart);
  void OpenSettingsClick();
  void SaveSettingsClick();

 private:
  void BuildMenu();
  void RunStarting(RunSession& session);
  void RunEnded(const RunResult& result);
  // The data as loaded, and the normalization range when the run reads normalized data.
  void KeepRunData(const std::vector<CellRow>& training, const std::vector<CellRow>& validation);
  QtChart* Chart(int index) const;
  std::optional<QString> AskSavePath(const QString& caption, const QString& filters,
                                     QString* filter = nullptr);
  // Writes the text through a temporary; false (and the user told why) when it failed.
  bool WriteFile(const QString& path, const std::string& text);
  // The loaded data in the data's units (the backups while normalized); empty when a cell is
  // not a number.
  results::Series LoadedData(std::size_t* trainingRows) const;
  void ShowModel(const QString& name, const model::Model& model);
  void ShowPredictions(const results::Series& data, std::size_t w, std::size_t trainingRows);
  std::string OpenedPredictionsText() const;
  // The forecast steps "Save Predictions…" adds: the Results page's "Forecast horizon".
  long long ForecastHorizon() const;

  TForm1& form_;
  QMenu* menu_ = nullptr;
  std::unique_ptr<results::RunRecord> running_;   // the run under way
  std::unique_ptr<results::RunRecord> finished_;  // the last run that left every program
  std::optional<model::Model> opened_;            // a model file opened since
  results::Series openedData_;                    // the data loaded when it was opened, data units
  std::vector<double> openedPredictions_;         // its one-step predictions, empty without data
};

}  // namespace vobrix::ui
