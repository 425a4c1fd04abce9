// The forecast dialog: it refuses what it cannot run, runs off the GUI thread while the window
// keeps serving events, can be cancelled or closed mid-run, keeps the window's Start from
// running beside it, and gives the command line's forecast and model for the same options.

#include <QDoubleSpinBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <map>
#include <nlohmann/json.hpp>

#include "fake_seam.h"
#include "model/difference.h"
#include "problem/datafile.h"
#include "run/grid_rows.h"
#include "ui/chart_axes.h"
#include "ui/forecast_dialog.h"

namespace vobrix::ui {
namespace {

using testing::fakeSeam;

const QString kTrain = QStringLiteral(VOBRIX_DATA_DIR "/seasonal-train.txt");
const QString kValid = QStringLiteral(VOBRIX_DATA_DIR "/seasonal-validation.txt");
// Long enough that a forecast is still running when the test acts on it.
constexpr double kLongBudget = 600.0;
constexpr int kEndMs = 60000;  // the longest a test waits for a forecast to end

class ForecastDialogTest : public ::testing::Test {
 public:
  void SetUp() override {
    form = testing::MakeShownForm();
    FillGrid(*form->StringGrid1, ReadDataFile(kTrain.toStdString()));
    FillGrid(*form->StringGrid3, ReadDataFile(kValid.toStdString()));
    form->Forecast1->trigger();
    dialog = form->findChild<ForecastDialog*>();
    ASSERT_NE(dialog, nullptr);
    dialog->seed->setText(QStringLiteral("7"));
    dialog->runs->setValue(2);
    dialog->budget->setValue(0.3);
    dialog->horizon->setValue(6);
  }
  // Starts a forecast that runs for minutes unless it is stopped.
  void StartLong() {
    dialog->budget->setValue(kLongBudget);
    ASSERT_TRUE(dialog->Start());
    ASSERT_TRUE(dialog->Running());
  }
  // Starts a forecast and waits for its end; how it ended.
  ForecastResult::Outcome RunToTheEnd() {
    QSignalSpy ended(dialog, &ForecastDialog::forecastEnded);
    EXPECT_TRUE(dialog->Start());
    EXPECT_TRUE(ended.wait(kEndMs));
    return dialog->Result().outcome;
  }
  std::unique_ptr<TForm1> form;
  ForecastDialog* dialog = nullptr;
};

// The menu entry shows one dialog, which refuses what it cannot run.
TEST_F(ForecastDialogTest, TheMenuEntryShowsOneDialogThatRefusesWhatItCannotRun) {
  EXPECT_TRUE(dialog->isVisible());
  form->Forecast1->trigger();
  EXPECT_EQ(form->findChildren<ForecastDialog*>().size(), 1);
  EXPECT_FALSE(dialog->cancelButton->isEnabled() || dialog->saveButton->isEnabled());
  const struct {
    const char* name;
    std::function<void()> arrange;
    QString message;
  } cases[] = {
      {"window's run", [&] { form->SetRunning(true); },
       "A GP run is in progress. Start the forecast when it has ended."},
      {"no training data", [&] { form->Button1->click(); },
       "There are no Training Data. Load them on the \"Problem Configration\" page."},
      {"bad training cell", [&] { form->StringGrid1->SetCell(1, 3, "1.2.3"); },
       "Loaded Training Data contains Invalid Value."},
      {"bad validation cell", [&] { form->StringGrid3->SetCell(0, 0, "x"); },
       "Loaded Validation Data contains Invalid Value."},
      {"seed too large", [&] { dialog->seed->setText("4294967296"); },
       "\"Seed\" must be a whole number from 0 to 4294967295, not \"4294967296\"."},
      {"seed not a number", [&] { dialog->seed->setText("-1"); },
       "\"Seed\" must be a whole number from 0 to 4294967295, not \"-1\"."},
      {"lags not ascending", [&] { dialog->difference->setText("12,1"); },
       "\"Differencing\": \"12,1\" is not auto, none or up to 3 ascending lags from 1 to 1000 "
       "joined by commas."},
  };
  for (const auto& c : cases) {
    SetUp();
    c.arrange();
    fakeSeam().Clear();
    EXPECT_FALSE(dialog->Start()) << c.name;
    EXPECT_FALSE(dialog->Running()) << c.name;
    EXPECT_EQ(fakeSeam().messages, QStringList{c.message}) << c.name;
    EXPECT_TRUE(dialog->startButton->isEnabled()) << c.name;
  }
}

TEST_F(ForecastDialogTest, TooFewTrainingRowsFailWithTheForecastsReason) {
  FillGrid(*form->StringGrid1, {{"1", "1"}, {"2", "2"}, {"3", "3"}});
  EXPECT_EQ(RunToTheEnd(), ForecastResult::Outcome::Failed);
  EXPECT_TRUE(dialog->status->text().startsWith("The forecast failed: "));
  EXPECT_FALSE(dialog->saveButton->isEnabled());
  EXPECT_TRUE(form->BitBtn2->isEnabled());
}

TEST_F(ForecastDialogTest, CancelEndsTheWorkerWhileTheWindowKeepsServingEvents) {
  int ticks = 0, ticksWhileRunning = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    ++ticks;
    if (dialog->Running()) ++ticksWhileRunning;
  });
  timer.start(5);
  form->hooks.start = [] { ADD_FAILURE() << "the window's run started beside the forecast"; };
  StartLong();
  // Progress arrives by queued signals while the timer keeps firing.
  EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->progress->value() > 0; }, kEndMs));
  EXPECT_EQ(dialog->progress->maximum(), 1000);
  EXPECT_TRUE(dialog->status->text().contains("window search"))
      << dialog->status->text().toStdString();
  EXPECT_TRUE(QTest::qWaitFor([&] { return ticksWhileRunning >= 20; }, kEndMs));
  EXPECT_FALSE(form->BitBtn2->isEnabled());
  form->BitBtn2Click();  // as Ctrl+S would
  EXPECT_TRUE(dialog->cancelButton->isEnabled());
  EXPECT_FALSE(dialog->startButton->isEnabled() || dialog->runs->isEnabled());

  QSignalSpy ended(dialog, &ForecastDialog::forecastEnded);
  dialog->cancelButton->click();
  EXPECT_EQ(dialog->status->text(), "Cancelling...");
  ASSERT_TRUE(ended.wait(kEndMs));
  EXPECT_FALSE(dialog->Running());
  EXPECT_EQ(dialog->Result().outcome, ForecastResult::Outcome::Cancelled);
  EXPECT_EQ(dialog->status->text(), "Cancelled.");
  EXPECT_TRUE(form->BitBtn2->isEnabled() && dialog->startButton->isEnabled());
  EXPECT_FALSE(dialog->saveButton->isEnabled());
  const int ticksAtEnd = ticks;
  QTest::qWait(50);
  EXPECT_GT(ticks, ticksAtEnd);  // and the timer goes on after it
}

TEST_F(ForecastDialogTest, ClosingTheDialogOrTheWindowCancelsAndWaits) {
  StartLong();
  dialog->close();
  EXPECT_FALSE(dialog->Running() || dialog->isVisible());
  EXPECT_EQ(dialog->Result().outcome, ForecastResult::Outcome::Cancelled);
  EXPECT_TRUE(form->BitBtn2->isEnabled());

  form->Forecast1->trigger();
  StartLong();
  form.reset();  // the dialog goes with its window and waits for its thread
}

// The population-0 rows of the command line's predictions: part and x -> predicted.
std::map<std::pair<QString, double>, double> EnsembleRows(const QString& csv) {
  std::map<std::pair<QString, double>, double> rows;
  for (const QString& line : csv.split('\n', Qt::SkipEmptyParts).mid(1)) {
    const QStringList f = line.split(',');
    if (f[0] == "0" && f[1] != "training") rows[{f[1], f[2].toDouble()}] = f[4].toDouble();
  }
  return rows;
}

TEST_F(ForecastDialogTest, AFinishedForecastIsTheCommandLines) {
  ASSERT_EQ(RunToTheEnd(), ForecastResult::Outcome::Finished) << dialog->Result().message;

  QTemporaryDir dir;
  const QString predictions = dir.filePath("p.csv"), model = dir.filePath("m.json");
  const QString summary = dir.filePath("s.json");
  testing::RunCli({"forecast", "--train", kTrain, "--validation", kValid, "--seed", "7", "--runs",
                   "2", "--budget", "0.3", "--horizon", "6", "--predictions", predictions,
                   "--model", model, "--summary", summary});
  const auto expected = EnsembleRows(QString::fromUtf8(testing::ReadAll(predictions)));

  // The grid shows every validation row and forecast step, numbers that read back exactly.
  std::map<std::pair<QString, double>, double> shown;
  for (int r = 0; r < dialog->grid->rowCount(); ++r) {
    const auto text = [&](int c) { return dialog->grid->item(r, c)->text(); };
    shown[{text(0), text(1).toDouble()}] = text(3).toDouble();
  }
  EXPECT_EQ(shown.size(), 50u + 6u);
  EXPECT_EQ(shown, expected);

  const QString saved = dir.filePath("saved.json");
  ASSERT_TRUE(dialog->SaveModel(saved));
  EXPECT_EQ(testing::ReadAll(saved), testing::ReadAll(model));
  EXPECT_TRUE(dialog->saveButton->isEnabled());
  EXPECT_EQ(dialog->progress->value(), dialog->progress->maximum());
  // One forecast takes the trend and season of these data out, the other leaves the season to
  // the formulas, and the status line says both.
  const model::Model& m = dialog->Result().forecast.model;
  ASSERT_EQ(m.parts.size(), 2u);
  // A copy: the runs below replace m.
  const std::vector<std::int32_t> lags = m.parts[0].difference;
  ASSERT_FALSE(lags.empty());
  EXPECT_TRUE(dialog->status->text().contains(QString::fromStdString(
      ": the mean of 2 forecasts: window " + std::to_string(m.parts[0].windowSize) + " (AR order " +
      std::to_string(dialog->Result().forecast.windows.arOrder) + "), differenced at " +
      model::LagsText(lags, m.parts[0].differenceSeasons) + ", 2 members; window " +
      std::to_string(m.parts[1].windowSize))))
      << dialog->status->text().toStdString();
  // Beside the validation error, the baselines' errors that the command line's summary holds.
  const auto json = nlohmann::json::parse(testing::ReadAll(summary));
  const auto& baselines = json["baselines"]["validation"];
  const double persistence = baselines["persistence"]["mse"];
  const std::string better =
      TimesBetter(persistence, json["populations"][0]["validation"]["mse"].get<double>());
  EXPECT_TRUE(dialog->status->text().contains(
      QString::fromStdString(": " + better + " (" + PlainNumber(persistence, 4) + "); AR(" +
                             std::to_string(json["ar"]["p"].get<int>()) + ") " +
                             PlainNumber(baselines["ar"]["mse"].get<double>(), 4) + ".")))
      << dialog->status->text().toStdString();

  // A failed save says why; a cancelled file dialog does nothing.
  fakeSeam().Clear();
  EXPECT_FALSE(dialog->SaveModel(dir.filePath("missing/m.json")));
  ASSERT_EQ(fakeSeam().messages.size(), 1);
  EXPECT_TRUE(fakeSeam().messages[0].contains("missing/m.json: cannot be written"));
  dialog->chooseModelPath = [] { return std::nullopt; };
  dialog->saveButton->click();
  EXPECT_EQ(fakeSeam().messages.size(), 1);

  // What the differencing field says is what the model gets: "none" where the default
  // differences these data.
  dialog->difference->setText("none");
  ASSERT_EQ(RunToTheEnd(), ForecastResult::Outcome::Finished) << dialog->Result().message;
  EXPECT_EQ(dialog->Result().forecast.model.difference, std::vector<std::int32_t>{});
  // And "Combine" unticked, the chosen differencing alone: one ensemble.
  dialog->difference->setText("auto");
  dialog->combine->setChecked(false);
  ASSERT_EQ(RunToTheEnd(), ForecastResult::Outcome::Finished) << dialog->Result().message;
  EXPECT_TRUE(dialog->Result().forecast.model.parts.empty());
  EXPECT_EQ(dialog->Result().forecast.model.difference, lags);
}

}  // namespace
}  // namespace vobrix::ui
