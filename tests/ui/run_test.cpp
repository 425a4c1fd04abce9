// Runs started from the real window: Start's checks, whole runs with their reports, Stop and
// Resume, leaving during a run, and agreement with vobrix-cli.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <functional>
#include <tuple>

#include "fake_seam.h"
#include "problem/datafile.h"
#include "problem/textconv.h"
#include "run/gp.h"
#include "run/grid_rows.h"
#include "ui/unit5.h"

namespace vobrix::ui {
namespace {

using testing::fakeSeam;

class RunTest : public ::testing::Test {
 public:
  void SetUp() override {
    form = testing::MakeShownForm();
    form->seedSource = [] { return 20240u; };
    populationReports.fill("");
    SetData(40, 10, 0);
  }
  // nT training rows from X = first, then nV validation rows continuing them.
  void SetData(int nT, int nV, int first) {
    std::vector<CellRow> training, validation;
    for (int k = 0; k < nT + nV; ++k) {
      CellRow row{std::to_string(first + k), FormatGeneral(10 + 3 * std::sin(0.5 * k), 6)};
      (k < nT ? training : validation).push_back(row);
    }
    FillGrid(*form->StringGrid1, training);
    FillGrid(*form->StringGrid3, validation);
  }
  void SetPopulations(const std::vector<std::pair<int, int>>& sizeAndGenerations) {
    form->ComboBox1->setCurrentText(QString::number(sizeAndGenerations.size()));
    for (std::size_t i = 0; i < sizeAndGenerations.size(); ++i) {
      form->Panel(int(i)).populationSize->setText(QString::number(sizeAndGenerations[i].first));
      form->Panel(int(i)).generation->setText(QString::number(sizeAndGenerations[i].second));
    }
  }
  void ExpectIdle() {
    EXPECT_EQ(form->Session(), nullptr);
    EXPECT_FALSE(form->Running());
    EXPECT_TRUE(form->BitBtn2->isEnabled());
    EXPECT_FALSE(form->BitBtn1->isEnabled());
    EXPECT_TRUE(form->BitBtn3->isEnabled() && form->Edit16->isEnabled() &&
                form->UpDown1->isEnabled() && form->ComboBox1->isEnabled());
  }
  std::vector<double> Ys(QtChart* chart, int series) {
    std::vector<double> ys;
    for (const auto& point : chart->Points(series)) ys.push_back(point.y);
    return ys;
  }
  std::unique_ptr<TForm1> form;
};

TEST_F(RunTest, TwoPopulationsThenOneFillEveryReport) {
  SetPopulations({{30, 3}, {20, 5}});
  form->BitBtn2Click();
  EXPECT_TRUE(fakeSeam().messages.isEmpty()) << fakeSeam().messages.join("|").toStdString();
  EXPECT_EQ(form->PageControl1->currentWidget(), form->TabSheet4);
  ExpectIdle();
  EXPECT_EQ(form->Label31->text(), "No1:\u30003 / 3");
  EXPECT_EQ(form->Label48->text(), "No2:\u30005 / 5");
  EXPECT_TRUE(form->Label48->Visible());
  EXPECT_FALSE(form->Label82->Visible());
  EXPECT_EQ(form->ProgressBar1->Position(), 8);
  for (QtChart* chart : {form->Chart2, form->Form5()->Chart2}) {
    EXPECT_EQ(chart->PointCount(0), 3);
    EXPECT_EQ(chart->PointCount(1), 3);
    EXPECT_EQ(chart->PointCount(2), 5);
    EXPECT_EQ(chart->PointCount(3), 5);
    EXPECT_EQ(chart->PointCount(4), 0);
  }
  // Population 2 runs longest and labels the axis; validation points are always labelled.
  EXPECT_EQ(form->Chart2->Points(0)[2].label, "");
  EXPECT_EQ(form->Chart2->Points(2)[4].label, "4");
  EXPECT_EQ(form->Chart2->Points(1)[2].label, "2");
  EXPECT_EQ(form->Chart3->PointCount(2), 5);
  EXPECT_EQ(form->Chart4->PointCount(0), 50);
  EXPECT_EQ(form->Chart4->PointCount(2), 35);
  EXPECT_EQ(form->Chart4->PointCount(6), 10);
  ASSERT_EQ(form->StringGrid5->RowCount(), 45);
  EXPECT_EQ(form->StringGrid5->ColCount(), 3);
  EXPECT_EQ(form->StringGrid5->Cell(0, 0), "5");
  EXPECT_EQ(form->StringGrid5->Cell(0, 44), "49");

  // The last validation point is the error of the predictions the grid holds now.
  double sum = 0.0;
  for (int k = 0; k < 10; ++k) {
    const double d = TextToFloat(form->StringGrid3->Cell(1, k)) -
                     TextToFloat(form->StringGrid5->Cell(2, 35 + k), true);
    sum += d * d;
  }
  EXPECT_DOUBLE_EQ(form->Chart2->Points(3).back().y, sum / 10);

  // Generation 0 sizes the fitness axis from the best training error.
  form->Chart2->Flush();
  const double scale = std::max(form->Chart2->Points(0)[0].y, form->Chart2->Points(2)[0].y);
  ASSERT_GT(scale, 0.0);
  EXPECT_DOUBLE_EQ(form->Chart2->LeftAxis()->max(), 1.1 * scale);

  const std::string memo = form->Memo1->Text();
  EXPECT_EQ(memo.rfind("[Population No1]\r\n", 0), 0u);
  EXPECT_NE(memo.find("\r\n\r\n[Population No2]\r\n"), std::string::npos);

  // A shorter run starts from empty charts and leaves population 2's report.
  SetPopulations({{30, 2}});
  form->BitBtn2Click();
  EXPECT_EQ(form->Chart2->PointCount(0), 2);
  EXPECT_EQ(form->Chart2->PointCount(2), 0);
  EXPECT_EQ(form->StringGrid5->ColCount(), 2);
  EXPECT_FALSE(form->Label48->Visible());
  EXPECT_NE(form->Memo1->Text().find("[Population No2]"), std::string::npos);
}

TEST_F(RunTest, StopWaitsAndResumeGoesOnAsIfNeverStopped) {
  SetPopulations({{30, 4}, {30, 4}});
  form->BitBtn2Click();
  const auto uninterrupted = Ys(form->Chart2, 2);

  QString caption;
  int position = -1;
  bool locked = false;
  QTimer::singleShot(0, form.get(), [&] {
    form->BitBtn1->click();  // Stop, after population 1's first step
    QTimer::singleShot(30, form.get(), [&] {
      caption = form->BitBtn1->text();
      position = form->ProgressBar1->Position();
      locked = !form->BitBtn3->isEnabled() && !form->Edit16->isEnabled() &&
               !form->ComboBox1->isEnabled() && !form->LoadTrainingData2->isEnabled();
      QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);  // refused
      form->BitBtn2Click();
      form->BitBtn1->click();  // Resume
    });
  });
  form->BitBtn2Click();
  EXPECT_EQ(caption, "Resume");
  EXPECT_EQ(position, 1);
  EXPECT_TRUE(locked);
  EXPECT_EQ(form->BitBtn1->text(), "Stop");
  EXPECT_EQ(form->BitBtn1->Kind(), toolkit::ButtonKind::No);
  EXPECT_EQ(Ys(form->Chart2, 2), uninterrupted);
  ExpectIdle();
}

TEST_F(RunTest, StartRefusesWhatCannotRunAndStaysIdle) {
  struct Case {
    std::function<void(RunTest&)> set;
    QString message;
    QWidget* TForm1::*page;
    int panel;
    std::function<void(RunTest&)> after = nullptr;
  };
  const std::vector<Case> cases{
      {[](RunTest& t) { t.form->StringGrid1->SetCell(1, 3, ""); },
       "Loaded Training Data contains Invalid Value.", &TForm1::TabSheet1, 0},
      {[](RunTest& t) {
         t.SetPopulations({{30, 2}, {30, 2}});
         t.form->Panel(0).function->setText("0.9");  // ratio bad in 1, rate bad in 2
         t.form->PageControl2->setCurrentIndex(1);
         t.form->Panel(1).crossover->setText("0.9");
       },
       "The sum of operation rate must be 1.0", &TForm1::TabSheet3, 1,
       [](RunTest& t) {  // only the failing group is reset; the label shows what Start wrote
         EXPECT_EQ(t.form->Panel(1).crossover->text(), "0.70");
         EXPECT_EQ(t.form->Panel(1).reproduction->text(), "0.10");
         EXPECT_EQ(t.form->Panel(0).function->text(), "0.9");
       }},
      {[](RunTest& t) { t.form->Panel(0).variable->setText("0.6"); },
       "The sum of initial node ratio must be 1.0", &TForm1::TabSheet3, 0,
       [](RunTest& t) {
         EXPECT_EQ(t.form->Panel(0).variable->text(), "0.20");
         EXPECT_EQ(t.form->Panel(0).constant->text(), "0.30");
       }},
      {[](RunTest& t) { t.form->StringGrid3->SetCell(0, 4, "99"); },
       "The X of the Validation Data must continue the Training Data one per row: row 5 has 99, "
       "expected 44.",
       &TForm1::TabSheet1, 0},
      {[](RunTest& t) { t.form->Panel(0).populationSize->setText("abc"); },
       "\"Population Size\" of population 1 must be a whole number, not \"abc\".",
       &TForm1::TabSheet3, 0},
      {[](RunTest& t) { t.form->Panel(0).maxLength->setText("1"); },
       "\"Maximum Length\" of population 1 must be at least 3.", &TForm1::TabSheet3, 0},
      {[](RunTest& t) { t.form->Edit16->setText("0"); }, "\"Window Size\" must be at least 1.",
       &TForm1::TabSheet4, 0},
      {[](RunTest& t) {
         t.form->Panel(0).populationSize->setText("2000000000");
         t.form->Panel(0).maxLength->setText("2000000000");
       },
       "Memory Allocation Error!!!!", &TForm1::TabSheet3, 0},
  };
  for (const Case& c : cases) {
    SetUp();
    c.set(*this);
    form->Memo1->SetText("old");
    const auto rows = GridRows(*form->StringGrid1);
    form->PageControl1->setCurrentWidget(form->TabSheet4);
    fakeSeam().Clear();
    form->BitBtn2Click();
    EXPECT_EQ(fakeSeam().messages, QStringList{c.message});
    EXPECT_EQ(form->PageControl1->currentWidget(), (*form).*c.page) << c.message.toStdString();
    if ((*form).*c.page == form->TabSheet3) {
      EXPECT_EQ(form->PageControl2->currentIndex(), c.panel);
    }
    EXPECT_EQ(form->Memo1->Text(), "");
    EXPECT_EQ(form->Chart2->PointCount(0), 0);
    EXPECT_EQ(GridRows(*form->StringGrid1).size(), rows.size());
    ExpectIdle();
    if (c.after) c.after(*this);
  }

  // With nothing ticked the run goes on with "+".
  SetUp();
  SetPopulations({{30, 2}});
  for (int i = 0; i < 4; ++i) form->CheckListBox1->item(i)->setCheckState(Qt::Unchecked);
  form->BitBtn2Click();
  EXPECT_EQ(fakeSeam().messages, QStringList{"You must use 1 function at least."});
  EXPECT_TRUE(form->FunctionTicked(0));
  EXPECT_EQ(form->Chart2->PointCount(0), 2);
}

TEST_F(RunTest, LeavingDuringARunEndsItFirst) {
  SetPopulations({{30, 50}});
  QTimer::singleShot(0, form.get(), [&] {
    form->BitBtn1->click();
    QTimer::singleShot(10, form.get(), [&] { form->close(); });  // while paused
  });
  form->BitBtn2Click();
  EXPECT_EQ(form->Chart2->PointCount(0), 1);
  EXPECT_FALSE(form->isVisible());
  ExpectIdle();

  form = testing::MakeShownForm();
  SetData(40, 10, 0);
  SetPopulations({{30, 50}});
  QTimer::singleShot(0, form.get(), [&] { form->Exit1->trigger(); });
  try {
    form->BitBtn2Click();
    ADD_FAILURE() << "Exit did not end the program";
  } catch (const testing::ExitCalled& exit) {
    EXPECT_EQ(exit.status, 0);
  }
  EXPECT_EQ(form->Chart2->PointCount(0), 1);

  // An error inside a step ends the run and gives every control back.
  form = testing::MakeShownForm();
  SetData(40, 10, 0);
  SetPopulations({{30, 50}});
  QTimer::singleShot(0, form.get(), [&] { form->StringGrid3->SetCell(1, 2, "x"); });
  form->BitBtn2Click();
  ASSERT_EQ(fakeSeam().messages.size(), 1);
  EXPECT_TRUE(fakeSeam().messages[0].contains("\"x\""));
  ExpectIdle();
}

TEST_F(RunTest, WindowShowsWhatTheCommandLinePrints) {
  QTemporaryDir dir;
  const QString train = dir.filePath("train.txt"), valid = dir.filePath("valid.txt");
  for (const auto& [path, from, to] : {std::tuple{train, 0, 60}, std::tuple{valid, 60, 75}}) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    for (int k = from; k < to; ++k)
      file.write(QString("%1\t%2\n").arg(k).arg(5 + std::cos(0.3 * k)).toUtf8());
  }
  FillGrid(*form->StringGrid1, ReadDataFile(train.toStdString()));
  FillGrid(*form->StringGrid3, ReadDataFile(valid.toStdString()));
  SetPopulations({{30, 4}, {25, 6}});
  form->Panel(1).selectionMethod->SetItemIndex(1);
  form->BitBtn2Click();

  QProcess cli;
  cli.start(VOBRIX_CLI, {"--train", train, "--validation", valid, "--populations", "2",
                         "--pop-size", "30,25", "--generations", "4,6", "--selection",
                         "proportional,tournament", "--seed", "20240", "--quiet"});
  ASSERT_TRUE(cli.waitForFinished(30000));
  ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
  QStringList lines =
      QString::fromUtf8(cli.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
  lines.removeFirst();
  ASSERT_EQ(lines.size(), 10);
  for (const QString& line : lines) {
    const QStringList f = line.split(',');
    const int g = f[0].toInt(), i = f[1].toInt() - 1;
    const auto at = [&](QtChart* chart, int series) { return chart->Points(series)[g].y; };
    EXPECT_EQ(at(form->Chart2, 2 * i), f[2].toDouble()) << line.toStdString();
    EXPECT_EQ(at(form->Chart2, 2 * i + 1), f[3].toDouble()) << line.toStdString();
    EXPECT_EQ(at(form->Chart3, 2 * i), f[4].toDouble()) << line.toStdString();
    EXPECT_EQ(at(form->Chart3, 2 * i + 1), f[5].toDouble()) << line.toStdString();
  }
  // The last step of each population is the program the memo shows.
  const std::string memo = form->Memo1->Text();
  for (const QString& line : {lines[6], lines[9]}) {
    const QString program = line.section(',', 6).chopped(1).mid(1).replace("\"\"", "\"");
    EXPECT_NE(memo.find(program.toStdString()), std::string::npos) << program.toStdString();
  }
}

}  // namespace
}  // namespace vobrix::ui
