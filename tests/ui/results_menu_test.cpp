// The Results menu and the settings files, driven from the real window and compared with
// vobrix-cli: the saved model, predictions and exports are the command line's files, an opened
// model predicts what `predict` prints, and a settings file saved here runs the same under
// `run --config`.

#include "ui/results_menu.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QSpinBox>
#include <cmath>
#include <nlohmann/json.hpp>

#include "fake_seam.h"
#include "model/export.h"
#include "model/model_json.h"
#include "problem/textconv.h"
#include "run/grid_rows.h"
#include "ui/forecast_view.h"
#include "ui/window_settings.h"

namespace vobrix::ui {
namespace {

using testing::fakeSeam;
using testing::ReadAll;
using testing::RunCli;

class ResultsMenuTest : public testing::SineWindowTest {
 public:
  void SetUp() override {
    SineWindowTest::SetUp();
    menu = form->Results();
    // Every dialog answers with the next path given, and remembers the filter chosen.
    const auto next = [this]() -> std::optional<QString> {
      if (paths.isEmpty()) return std::nullopt;
      return paths.takeFirst();
    };
    menu->dialogs.save = [this, next](QWidget*, const QString&, const QString&, QString* filter) {
      if (chooseFilter) *filter = *chooseFilter;
      return next();
    };
    menu->dialogs.open = [next](QWidget*, const QString&, const QString&) { return next(); };
  }
  // Two populations, the second by tournament over sin as well: settings that differ from
  // the defaults wherever the file has a field to get wrong.
  void SetUpRun() {
    SetPopulations({{30, 4}, {25, 6}});
    form->CheckListBox1->item(kSin)->setCheckState(Qt::Checked);
    form->Edit12->setText("200");
    form->Panel(1).selectionMethod->SetItemIndex(1);
    form->Panel(1).crossover->setText("0.6");
    form->Panel(1).onePointMutation->setText("0.1");
  }
  // Runs the window with settings saved to a file, and the command line on that file, both
  // with the forecast's horizon.
  void RunBoth(int horizon = 0) {
    SetUpRun();
    form->Forecast->HorizonBox()->setValue(horizon);
    paths = {dir.filePath("settings.json")};
    menu->SaveSettingsClick();
    form->BitBtn2Click();
    ASSERT_TRUE(fakeSeam().messages.isEmpty()) << fakeSeam().messages.join("|").toStdString();
    RunCli({"run", "--config", dir.filePath("settings.json"), "--train", train, "--validation",
            valid, "--seed", "20240", "--quiet", "--model", dir.filePath("cli-model.json"),
            "--predictions", dir.filePath("cli.csv"), "--horizon", QString::number(horizon)});
  }
  // The JSON file `name` of the test's folder.
  nlohmann::json Json(const QString& name) {
    return nlohmann::json::parse(ReadAll(dir.filePath(name)).toStdString());
  }
  std::vector<bool> SaveEntries() const {
    std::vector<bool> states;
    for (QAction* a : {menu->SaveModel, menu->SavePredictions, menu->ExportFormula,
                       menu->CopyFormula, menu->SaveChart[0], menu->SaveChart[2]}) {
      states.push_back(a->isEnabled());
    }
    return states;
  }

  QStringList paths;
  std::optional<QString> chooseFilter;
  ResultsMenu* menu = nullptr;
};

TEST_F(ResultsMenuTest, SavingIsOfferedOnlyWhenThereIsSomethingAndChartsSaveAsPngOrSvg) {
  menu->UpdateEntries();
  EXPECT_EQ(SaveEntries(), std::vector<bool>(6, false));
  EXPECT_TRUE(menu->OpenModel->isEnabled() && menu->OpenSettings->isEnabled());
  paths = {dir.filePath("never.json")};
  menu->SaveModelClick();  // a disabled entry reached anyway writes nothing
  EXPECT_FALSE(QFile::exists(dir.filePath("never.json")));
  SetUpRun();
  bool enabledDuringRun = true;
  form->runStarting = [this, &enabledDuringRun, previous = form->runStarting](RunSession& s) {
    previous(s);
    enabledDuringRun = menu->OpenModel->isEnabled() || menu->SaveModel->isEnabled();
  };
  form->BitBtn2Click();
  EXPECT_FALSE(enabledDuringRun);
  EXPECT_EQ(SaveEntries(), std::vector<bool>(6, true));

  // Charts are saved as PNG or SVG, and a cancel writes nothing.
  paths = {dir.filePath("fitness.png"), dir.filePath("length")};
  menu->SaveChartClick(0);
  chooseFilter = QString("SVG image (*.svg)");
  menu->SaveChartClick(1);
  EXPECT_EQ(QImage(dir.filePath("fitness.png")).size(), form->Chart2->size());
  const QByteArray svg = ReadAll(dir.filePath("length.svg"));
  EXPECT_TRUE(svg.contains("<svg")) << svg.left(200).toStdString();
  menu->SaveChartClick(2);  // no path: cancelled
  EXPECT_EQ(QDir(dir.path()).entryList({"*.png", "*.svg"}).size(), 2);
  EXPECT_TRUE(fakeSeam().messages.isEmpty());
}

// The predictions file holds the forecast of the horizon field, as `run --horizon` writes it.
TEST_F(ResultsMenuTest, SavedFilesAreTheCommandLinesForTheSameSettingsAndSeed) {
  RunBoth(5);
  paths = {dir.filePath("window-model.json"), dir.filePath("window.csv")};
  menu->SaveModelClick();
  menu->SavePredictionsClick();
  const QByteArray csv = ReadAll(dir.filePath("window.csv"));
  EXPECT_TRUE(csv.contains(",forecast,")) << csv.right(200).toStdString();
  EXPECT_EQ(csv, ReadAll(dir.filePath("cli.csv")));
  // The programs, errors, window and functions agree; the settings name the files and the seed
  // only on the command line.
  auto model = [&](const QString& name) {
    auto json = Json(name);
    json.erase("settings");
    json.erase("seed");
    return json;
  };
  EXPECT_EQ(model("window-model.json"), model("cli-model.json"));
  const auto settings = Json("window-model.json")["settings"];
  EXPECT_EQ(settings["--pop-size"], "30,25");
  EXPECT_EQ(settings["--selection"], "proportional,tournament");

  // Each export form, chosen by its filter or by the suffix typed, is `export`'s file.
  const std::tuple<const char*, const char*, const char*> forms[] = {
      {"Text (*.txt)", "f", "text"},
      {"C (*.c)", "f", "c"},
      {"Text (*.txt)", "f.py", "python"},
      {"LaTeX (*.tex)", "f", "latex"}};
  for (const auto& [filter, name, format] : forms) {
    chooseFilter = QString(filter);
    QTemporaryDir out;
    paths = {out.filePath(name)};
    menu->ExportFormulaClick();
    const QStringList written = QDir(out.path()).entryList(QDir::Files);
    ASSERT_EQ(written.size(), 1) << format;
    EXPECT_EQ(ReadAll(out.filePath(written[0])),
              RunCli({"export", "--model", dir.filePath("window-model.json"), "--format", format}))
        << format;
  }
  menu->CopyFormulaClick();
  const model::Model saved = model::ReadModelFile(dir.filePath("window-model.json").toStdString());
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
            model::ExportText(saved, model::ChoosePopulation(saved)));
}

TEST_F(ResultsMenuTest, AnOpenedModelPredictsAndForecastsWhatPredictPrints) {
  RunBoth();
  form->Memo1->SetText("");
  constexpr int kHorizon = 6;
  form->Forecast->HorizonBox()->setValue(kHorizon);
  paths = {dir.filePath("cli-model.json")};
  menu->OpenModelClick();
  ASSERT_TRUE(fakeSeam().messages.isEmpty()) << fakeSeam().messages.join("|").toStdString();
  const QByteArray predicted = RunCli({"predict", "--model", dir.filePath("cli-model.json"),
                                       "--data", both, "--horizon", QString::number(kHorizon)});
  const QStringList rows = QString::fromUtf8(predicted).split('\n', Qt::SkipEmptyParts).mid(1);
  const QStringList dataRows = rows.filter(",data,");
  ASSERT_EQ(rows.size(), dataRows.size() + kHorizon);
  ASSERT_EQ(form->StringGrid5->RowCount(), rows.size());
  for (int r = 0; r < rows.size(); ++r) {
    const QString value = rows[r].section(',', 4);
    // The one-step predictions in full, the forecast as the forecast's chart labels them.
    EXPECT_EQ(form->StringGrid5->Cell(1, r),
              r < dataRows.size() ? value.toStdString() : FormatGeneral(value.toDouble(), 15))
        << r;
  }
  EXPECT_EQ(form->Chart4->PointCount(1) + form->Chart4->PointCount(5), dataRows.size());
  EXPECT_EQ(form->Chart4->PointCount(form->Chart4->SeriesCount() - 1), kHorizon);
  const model::Model opened = model::ReadModelFile(dir.filePath("cli-model.json").toStdString());
  EXPECT_NE(form->Memo1->Text().find(
                model::InfixText(opened.populations[model::ChoosePopulation(opened)].program)),
            std::string::npos);
  // Saving now saves the opened model and `predict`'s file, with the horizon the field holds.
  for (const int horizon : {kHorizon, 0}) {
    form->Forecast->HorizonBox()->setValue(horizon);
    paths = {dir.filePath("again.json"), dir.filePath("opened.csv")};
    menu->SaveModelClick();
    menu->SavePredictionsClick();
    EXPECT_EQ(Json("again.json"), Json("cli-model.json"));
    EXPECT_EQ(ReadAll(dir.filePath("opened.csv")),
              horizon == kHorizon ? predicted
                                  : RunCli({"predict", "--model", dir.filePath("cli-model.json"),
                                            "--data", both, "--horizon", "0"}))
        << horizon;
  }
}

TEST_F(ResultsMenuTest, ABadFileIsRefusedWithNothingChanged) {
  SetUpRun();
  form->BitBtn2Click();
  const std::string memo = form->Memo1->Text(), cell = form->StringGrid5->Cell(1, 3);
  const model::Model before = *menu->CurrentModel();
  const std::pair<const char*, const char*> files[] = {
      {"{\"format\": \"vobrix-model\"", "model"},
      {R"({"format": "vobrix-settings", "version": 1, "problem": {"functions": ["+"],
          "constants": "10", "window": "5", "range": {"low": "-1", "high": "1"}},
          "populations": 1, "panels": [{"populationSize": "ten"}]})",
       "panels[0].populationSize"}};
  const PanelTexts panel = form->PanelTextsOf(1);
  for (const auto& [text, field] : files) {
    paths = {dir.filePath("bad.json")};
    testing::WriteFile(paths[0], text);
    fakeSeam().Clear();
    if (std::string(field) == "model") {
      menu->OpenModelClick();
    } else {
      menu->OpenSettingsClick();
    }
    ASSERT_EQ(fakeSeam().messages.size(), 1) << field;
    EXPECT_TRUE(fakeSeam().messages[0].contains(field)) << fakeSeam().messages[0].toStdString();
  }
  EXPECT_EQ(form->Memo1->Text(), memo);
  EXPECT_EQ(form->StringGrid5->Cell(1, 3), cell);
  EXPECT_EQ(model::ModelToJson(*menu->CurrentModel()), model::ModelToJson(before));
  EXPECT_EQ(form->PanelTextsOf(1).crossover, panel.crossover);
  EXPECT_EQ(form->lastPopIndex, 1);
}

TEST_F(ResultsMenuTest, SettingsGoRoundTheFileIntoAFreshWindow) {
  SetUpRun();
  form->Panel(3).eliteStrategy->setChecked(false);
  form->Panel(2).breakPoint->setChecked(true);
  form->Edit16->setText("7");
  paths = {dir.filePath("round")};
  menu->SaveSettingsClick();
  const results::PanelSettings saved = SettingsOfWindow(*form);

  auto fresh = testing::MakeShownForm();
  fresh->Results()->dialogs.open = [&](QWidget*, const QString&, const QString&) {
    return std::optional(dir.filePath("round.json"));
  };
  fresh->Results()->OpenSettingsClick();
  EXPECT_TRUE(fakeSeam().messages.isEmpty()) << fakeSeam().messages.join("|").toStdString();
  EXPECT_EQ(results::SettingsToJson(SettingsOfWindow(*fresh)), results::SettingsToJson(saved));
  EXPECT_EQ(fresh->lastPopIndex, 1);
  EXPECT_TRUE(fresh->Panel(1).tournamentSize->isEnabled());
  EXPECT_FALSE(fresh->Panel(3).eliteShare->isEnabled());
}

}  // namespace
}  // namespace vobrix::ui
