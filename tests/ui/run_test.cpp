// Runs started from the real window: Start's checks, whole runs with their reports, Stop and
// Resume, and leaving during a run. (That the window's run is vobrix-cli's for the same seed is
// checked through the files the Results menu saves.)

#include <QTimer>

#include "fake_seam.h"
#include "run/gp.h"
#include "ui/data_hint.h"
#include "ui/unit5.h"

namespace vobrix::ui {
namespace {

using testing::fakeSeam;

class RunTest : public testing::SineWindowTest {
 public:
  void ExpectIdle() {
    EXPECT_TRUE(form->Session() == nullptr && !form->Running());
    EXPECT_TRUE(form->BitBtn2->isEnabled() && !form->BitBtn1->isEnabled());
    EXPECT_TRUE(form->BitBtn3->isEnabled() && form->Edit16->isEnabled() &&
                form->UpDown1->isEnabled() && form->ComboBox1->isEnabled());
  }
  static std::vector<int> PointCounts(QtChart* chart, int series) {
    std::vector<int> counts;
    for (int i = 0; i < series; ++i) counts.push_back(chart->PointCount(i));
    return counts;
  }
};

TEST_F(RunTest, TwoPopulationsThenOneFillEveryReport) {
  Run({{30, 3}, {20, 5}});
  EXPECT_EQ(form->PageControl1->currentWidget(), form->TabSheet4);
  ExpectIdle();
  EXPECT_EQ(form->Label31->text() + " " + form->Label48->text(), "No1:\u30003 / 3 No2:\u30005 / 5");
  EXPECT_TRUE(form->Label48->Visible() && !form->Label82->Visible());
  EXPECT_EQ(form->ProgressBar1->Position(), 8);
  for (QtChart* chart : {form->Chart2, form->Form5()->Chart2}) {
    EXPECT_EQ(PointCounts(chart, 5), (std::vector<int>{3, 3, 5, 5, 0}));
  }
  EXPECT_EQ(PointCounts(form->Chart3, 3), (std::vector<int>{3, 3, 5}));
  EXPECT_EQ(PointCounts(form->Chart4, 7), (std::vector<int>{50, 35, 35, 0, 0, 10, 10}));
  ASSERT_EQ(form->StringGrid5->RowCount(), 45);
  EXPECT_EQ(form->StringGrid5->ColCount(), 3);
  EXPECT_EQ(form->StringGrid5->Cell(0, 0) + ".." + form->StringGrid5->Cell(0, 44), "5..49");
  EXPECT_NE(form->Memo1->Text().find("\r\n\r\n[Population No2]\r\n"), std::string::npos);

  // (What a second run clears and keeps is the run's, see tests/run.) With no function ticked
  // Start says so and goes on with "+".
  SetPopulations({{30, 2}});
  for (int i = 0; i < 4; ++i) form->CheckListBox1->item(i)->setCheckState(Qt::Unchecked);
  form->BitBtn2Click();
  EXPECT_EQ(fakeSeam().messages, QStringList{"You must use 1 function at least."});
  EXPECT_TRUE(form->FunctionTicked(0));
  EXPECT_EQ(PointCounts(form->Chart2, 3), (std::vector<int>{2, 2, 0}));
}

TEST_F(RunTest, StopWaitsAndResumeGoesOnAsIfNeverStopped) {
  Run({{30, 4}, {30, 4}});
  const auto ys = [&] {
    std::vector<double> ys;
    for (const auto& point : form->Chart2->Points(2)) ys.push_back(point.y);
    return ys;
  };
  const auto uninterrupted = ys();
  QString paused;  // the caption, the progress and whether the controls are locked
  QTimer::singleShot(0, form.get(), [&] {
    form->BitBtn1->click();  // Stop, after population 1's first step
    QTimer::singleShot(30, form.get(), [&] {
      const bool locked = !form->BitBtn3->isEnabled() && !form->Edit16->isEnabled() &&
                          !form->ComboBox1->isEnabled() && !form->LoadTrainingData2->isEnabled();
      paused =
          form->BitBtn1->text() + QString(" %1 %2").arg(form->ProgressBar1->Position()).arg(locked);
      QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);  // refused
      form->BitBtn2Click();
      form->BitBtn1->click();  // Resume
    });
  });
  form->BitBtn2Click();
  EXPECT_EQ(paused, "Resume 1 1");
  EXPECT_TRUE(form->BitBtn1->text() == "Stop" && form->BitBtn1->Kind() == toolkit::ButtonKind::No);
  EXPECT_EQ(ys(), uninterrupted);
  ExpectIdle();
}

// The message, then the page (0 problem, 1 populations, 2 results) and the panel shown.
TEST_F(RunTest, StartRefusesWhatCannotRunAndStaysIdle) {
  struct Case {
    std::function<void(TForm1&)> set;
    QString message;
    int page, panel;
  };
  const std::vector<Case> cases{
      {[](TForm1& f) { f.StringGrid1->SetCell(1, 3, ""); },
       "Loaded Training Data contains Invalid Value.\nRow 4, Y is empty.", 0, 0},
      {[](TForm1& f) {
         f.ComboBox1->setCurrentText("2");
         f.Edit13->setText("0.9");  // ratio bad in No1, rate bad in No2
         f.PageControl2->setCurrentIndex(1);
         f.Edit24->setText("0.9");
       },
       "The sum of operation rate must be 1.0", 1, 1},
      {[](TForm1& f) { f.Edit14->setText("0.6"); }, "The sum of initial node ratio must be 1.0", 1,
       0},
      {[](TForm1& f) { f.StringGrid3->SetCell(0, 4, "99"); },
       "The X of the Validation Data must continue the Training Data one per row: row 5 has 99, "
       "expected 44.",
       0, 0},
      {[](TForm1& f) { f.Panel(0).populationSize->setText("abc"); },
       "\"Population Size\" of population 1 must be a whole number, not \"abc\".", 1, 0},
      {[](TForm1& f) { f.Edit8->setText("1"); },
       "\"Maximum Length\" of population 1 must be at least 3.", 1, 0},
      {[](TForm1& f) { f.Edit16->setText("0"); }, "\"Window Size\" must be at least 1.", 2, 0},
      {[](TForm1& f) {
         f.ComboBox1->setCurrentText("2");
         f.Edit27->setText("1.00004");  // the remainder label shows 0.0000
         f.Edit28->setText("0");
       },
       "\"Function\" of population 2 must be at most 1: above it no draw gives a terminal, so "
       "subtree mutation could never close a new subtree.",
       1, 1},
      // Each population fits alone, the two together do not: the larger one's panel is shown.
      {[](TForm1& f) {
         f.ComboBox1->setCurrentText("2");
         f.Panel(0).populationSize->setText("300");
         f.Panel(1).populationSize->setText("400");
         PopulationParams first, second;
         first.populationSize = 300;
         second.populationSize = 400;
         f.memoryRoom = [room = PopulationBytes(first) + PopulationBytes(second) - 1] {
           return room;
         };
       },
       "Memory Allocation Error!!!!", 1, 1},
      {[](TForm1& f) { f.Button1->click(); }, kNoTrainingData, 0, 0},
      {[](TForm1& f) { f.StringGrid1->SetCell(1, 2, "1..5"), f.StringGrid1->SetCell(0, 7, ""); },
       "Loaded Training Data contains Invalid Value.\nRow 3, Y: \"1..5\" is not a number.", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message.toStdString());
    SetUp();
    c.set(*form);
    form->Memo1->SetText("old");
    form->PageControl1->setCurrentWidget(form->TabSheet4);
    fakeSeam().Clear();
    form->BitBtn2Click();
    EXPECT_EQ(fakeSeam().messages, QStringList{c.message});
    EXPECT_EQ(form->PageControl1->currentIndex(), c.page);
    EXPECT_EQ(form->PageControl2->currentIndex(), c.panel);
    EXPECT_EQ(form->Memo1->Text(), "");
    EXPECT_EQ(form->Chart2->PointCount(0), 0);
    ExpectIdle();
  }
  SetUp();
  cases[1].set(*form);
  form->BitBtn2Click();  // only the failing group of the failing panel is reset
  EXPECT_EQ(form->Edit24->text() + " " + form->Label42->text() + " " + form->Edit13->text(),
            "0.70 0.10 0.9");
}

// A close, an exit or an error inside a step ends the run and gives every control back.
TEST_F(RunTest, ClosingOrExitingDuringARunEndsItFirst) {
  const std::function<void()> leave[] = {
      [&] {
        form->BitBtn1->click();
        QTimer::singleShot(10, form.get(), [&] { form->close(); });  // while paused
      },
      [&] { form->Exit1->trigger(); }, [&] { form->StringGrid3->SetCell(1, 2, "x"); }};
  for (int k = 0; k < 3; ++k) {
    SetUp();
    SetPopulations({{30, 50}});
    QTimer::singleShot(0, form.get(), leave[k]);
    EXPECT_EQ(testing::ExitStatus([&] { form->BitBtn2Click(); }), k == 1 ? 0 : -1) << k;
    ExpectIdle();
    if (k < 2) {
      EXPECT_EQ(form->Chart2->PointCount(0), 1) << k;
      EXPECT_TRUE(k != 0 || !form->isVisible()) << "the close hid it";
    } else {
      ASSERT_EQ(fakeSeam().messages.size(), 1);
      EXPECT_TRUE(fakeSeam().messages[0].contains("\"x\""));
    }
  }
}

}  // namespace
}  // namespace vobrix::ui
