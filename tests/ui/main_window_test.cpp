// The main window as it opens: captions, initial states, menu, shortcuts, Enter and Esc.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTest>

#include "fake_seam.h"
#include "ui/about.h"
#include "ui/unit1.h"
#include "ui/unit4.h"
#include "ui/unit5.h"
#include "ui/unit6.h"

namespace vobrix::ui {
namespace {

using testing::fakeSeam;
using testing::MakeShownForm;

TEST(MainWindowTest, StartUpShowsTheSplashThenOpensOnTheProblemPage) {
  fakeSeam().Clear();
  bool splashShown = false;
  bool mainHidden = false;
  fakeSeam().duringWait = [&] {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (qobject_cast<TAboutBox*>(window) && window->isVisible()) splashShown = true;
      if (qobject_cast<TForm1*>(window)) mainHidden = !window->isVisible();
    }
  };
  TForm1 form;
  EXPECT_EQ(fakeSeam().waits, QList<int>{3000});
  EXPECT_TRUE(splashShown);
  EXPECT_TRUE(mainHidden);
  EXPECT_FALSE(form.AboutBox()->isVisible());
  EXPECT_FALSE(form.Form4()->isVisible());
  EXPECT_FALSE(form.Form5()->isVisible());
  EXPECT_FALSE(form.Form6()->isVisible());

  EXPECT_EQ(form.windowTitle(), "Vobrix for Time Series Prediction ver.1.0");
  EXPECT_EQ(form.PageControl1->currentWidget(), form.TabSheet1);
  ASSERT_EQ(form.PageControl1->count(), 3);
  EXPECT_EQ(form.PageControl1->tabText(0), "Problem Configration");
  EXPECT_EQ(form.PageControl1->tabText(1), "Populations");
  EXPECT_EQ(form.PageControl1->tabText(2), "Results");

  const QStringList items{"+",   "- ",  "*",        "/",           "sin",
                          "cos", "tan", "ln (abs)", "log10 (abs)", "sqrt (abs)"};
  ASSERT_EQ(form.CheckListBox1->count(), 10);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(form.CheckListBox1->item(i)->text(), items[i]);
    EXPECT_EQ(form.FunctionTicked(i), i < 4) << i;
  }
  // The FunctionTable is the window's and in check-list order.
  ASSERT_EQ(form.Functions().size(), 10u);
  EXPECT_EQ(vobrix::functionTable, &form.Functions());
}

TEST(MainWindowTest, ProblemPageControls) {
  fakeSeam().Clear();
  TForm1 form;
  EXPECT_EQ(form.GroupBox6->title(), "Training Data");
  EXPECT_EQ(form.Label20->text(), "X");
  EXPECT_EQ(form.Label26->text(), "Y");
  EXPECT_EQ(form.StringGrid1->ColCount(), 2);
  EXPECT_EQ(form.StringGrid1->RowCount(), 100);
  EXPECT_EQ(form.StringGrid1->columnWidth(0), 64);
  EXPECT_EQ(form.StringGrid1->columnWidth(1), 59);
  EXPECT_EQ(form.StringGrid1->rowHeight(0), 24);
  EXPECT_NE(form.StringGrid1->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_TRUE(form.StringGrid1->tabKeyNavigation());
  EXPECT_EQ(form.GroupBox21->title(), "Validation Data");
  EXPECT_EQ(form.StringGrid3->RowCount(), 100);
  EXPECT_EQ(form.StringGrid3->editTriggers(), QAbstractItemView::NoEditTriggers);
  for (QPushButton* load : {form.BitBtn3, form.Button4}) EXPECT_EQ(load->text(), "Load");
  for (QPushButton* clear : {form.Button1, form.Button5}) EXPECT_EQ(clear->text(), "Clear");
  EXPECT_EQ(form.FunctionsGrouoBox->title(), "Functions");
  EXPECT_EQ(form.GroupBox3->title(), "Constants");
  EXPECT_EQ(form.Label13->text(), "Range");
  EXPECT_EQ(form.Edit10->text(), "-10");
  EXPECT_EQ(form.Label12->text(), "-");
  EXPECT_EQ(form.Edit11->text(), "10");
  EXPECT_EQ(form.Label19->text(), "Number of constant");
  EXPECT_EQ(form.Edit12->text(), "1000");
  EXPECT_EQ(form.Button2->text(), "Normalization");
  EXPECT_TRUE(form.Button2->isEnabled());
  EXPECT_EQ(form.Button3->text(), "Reset");
  EXPECT_FALSE(form.Button3->isEnabled());
  EXPECT_TRUE(form.StringGrid2->isHidden());
  EXPECT_TRUE(form.StringGrid6->isHidden());
}

TEST(MainWindowTest, ResultsPageControls) {
  fakeSeam().Clear();
  TForm1 form;
  EXPECT_EQ(form.Label28->text(), "Best Individual");
  EXPECT_EQ(form.Memo1->Text(), "");
  EXPECT_EQ(form.Label18->text(), "Window Size");
  EXPECT_EQ(form.Edit16->text(), "5");
  EXPECT_EQ(form.UpDown1->Minimum(), 1);
  EXPECT_EQ(form.UpDown1->Maximum(), 100);
  EXPECT_EQ(form.UpDown1->Position(), 5);
  EXPECT_EQ(form.GroupBox8->title(), "Output");
  EXPECT_EQ(form.StringGrid4->RowCount(), 6);
  EXPECT_EQ(form.StringGrid4->columnWidth(0), 36);
  EXPECT_EQ(form.StringGrid5->ColCount(), 2);
  EXPECT_EQ(form.StringGrid5->columnWidth(1), 72);
  EXPECT_EQ(form.StringGrid5->rowHeight(0), 16);
  EXPECT_EQ(form.ProgressBar1->minimum(), 0);
  EXPECT_EQ(form.ProgressBar1->Maximum(), 100);
  for (QtLabel* label : {form.Label31, form.Label48, form.Label82, form.Label83}) {
    EXPECT_EQ(label->Caption(), "Not running");
    EXPECT_EQ(label->Visible(), label == form.Label31);
  }
  EXPECT_EQ(form.BitBtn2->text(), "Start");
  EXPECT_EQ(form.BitBtn2->Kind(), toolkit::ButtonKind::Ok);
  EXPECT_TRUE(form.BitBtn2->isEnabled());
  EXPECT_EQ(form.BitBtn1->text(), "Stop");
  EXPECT_EQ(form.BitBtn1->Kind(), toolkit::ButtonKind::No);
  EXPECT_FALSE(form.BitBtn1->isEnabled());
}

struct Expected {
  QString title;
  QColor colour;
  bool dotted;
  bool inLegend;
};

void ExpectSeries(const QtChart& chart, const std::vector<Expected>& expected) {
  ASSERT_EQ(chart.SeriesCount(), static_cast<int>(expected.size()));
  for (int i = 0; i < chart.SeriesCount(); ++i) {
    const Expected& e = expected[static_cast<std::size_t>(i)];
    EXPECT_EQ(chart.Series(i)->name(), e.title) << i;
    EXPECT_EQ(chart.Series(i)->pen().color(), e.colour) << i;
    EXPECT_EQ(chart.Series(i)->pen().style(), e.dotted ? Qt::DotLine : Qt::SolidLine) << i;
    EXPECT_EQ(chart.SeriesInLegend(i), e.inLegend) << i;
  }
}

const QColor kRed(255, 0, 0), kBlue(0, 0, 255), kGreen(0, 128, 0), kYellow(255, 255, 0),
    kBlackKey(0, 0, 0);

TEST(MainWindowTest, ChartsHaveTheirSeriesInIndexOrder) {
  fakeSeam().Clear();
  TForm1 form;
  ExpectSeries(*form.Chart2, {{"Validation1", kRed, false, false},
                              {"Training1", kRed, true, false},
                              {"Validation2", kBlue, false, false},
                              {"Training2", kBlue, true, false},
                              {"Validation3", kGreen, false, false},
                              {"Training3", kGreen, true, false},
                              {"Validation4", kYellow, false, false},
                              {"Training4", kYellow, true, false},
                              {"Traning", kBlackKey, false, true},
                              {"Validation", kBlackKey, true, true}});
  ExpectSeries(*form.Chart3, {{"Best indv. 1", kRed, false, false},
                              {"Average 1", kRed, true, false},
                              {"Best indv. 2", kBlue, false, false},
                              {"Average 2", kBlue, true, false},
                              {"Best indv. 3", kGreen, false, false},
                              {"Average 3", kGreen, true, false},
                              {"Best indv. 4", kYellow, false, false},
                              {"Average 4", kYellow, true, false},
                              {"Best Indv.", kBlackKey, false, true},
                              {"Average", kBlackKey, true, true}});
  ExpectSeries(*form.Chart4, {{"data", kBlackKey, false, false},
                              {"Training", kRed, false, false},
                              {"Training", kBlue, false, false},
                              {"Training", kGreen, false, false},
                              {"Training", kYellow, false, false},
                              {"Prediction", kRed, true, false},
                              {"Prediction", kBlue, true, false},
                              {"Prediction", kGreen, true, false},
                              {"Prediction", kYellow, true, false},
                              {"Traning", kBlackKey, false, true},
                              {"Prediction", kBlackKey, true, true}});
  EXPECT_EQ(form.Chart2->BottomAxis()->titleText(), "Generation");
  EXPECT_EQ(form.Chart2->LeftAxis()->titleText(), "Fitness of best indv.");
  EXPECT_EQ(form.Chart3->LeftAxis()->titleText(), "Length of gene");
  EXPECT_EQ(form.Chart4->LeftAxis()->titleText(), "");
  EXPECT_EQ(form.Chart2->chart()->legend()->alignment(), Qt::AlignTop);
}

TEST(MainWindowTest, MenuEntriesAndTheirStates) {
  fakeSeam().Clear();
  TForm1 form;
  const QList<QAction*> top = form.menuBar()->actions();
  ASSERT_EQ(top.size(), 4);
  EXPECT_EQ(top[0]->text(), "File (&F)");
  EXPECT_EQ(top[1]->text(), "Edit (&E)");
  EXPECT_EQ(top[2]->text(), "GP Run (&R)");
  EXPECT_EQ(top[3]->text(), "Help (&H)");
  EXPECT_TRUE(top[0]->isVisible());
  EXPECT_FALSE(top[1]->isVisible());
  EXPECT_FALSE(top[2]->isVisible());
  EXPECT_TRUE(top[3]->isVisible());

  struct Entry {
    QAction* action;
    QString caption;
    QKeySequence shortcut;
    bool enabled;
  };
  for (const Entry& e :
       {Entry{form.LoadTrainingData2, "Load training data (&T)", QKeySequence("Ctrl+T"), true},
        Entry{form.Load1, "Load validation data (&V)", QKeySequence("Ctrl+V"), false},
        Entry{form.Exit1, "Exit (&X)", QKeySequence(), true},
        Entry{form.CutT1, "Cut (T)", QKeySequence("Ctrl+X"), true},
        Entry{form.CopyC1, "Copy (&C)", QKeySequence("Ctrl+C"), true},
        Entry{form.StartGPrun1, "Start GP run", QKeySequence("Ctrl+S"), true},
        Entry{form.About1, "About Vobrix (&A)", QKeySequence(), true},
        Entry{form.VobrixWebSite1, "Vobrix Web Site", QKeySequence(), true}}) {
    EXPECT_EQ(e.action->text(), e.caption);
    EXPECT_EQ(e.action->shortcut(), e.shortcut) << e.caption.toStdString();
    EXPECT_EQ(e.action->isEnabled(), e.enabled) << e.caption.toStdString();
  }
  EXPECT_EQ(form.FileMenu->actions(),
            (QList<QAction*>{form.LoadTrainingData2, form.Load1, form.Exit1}));
  EXPECT_EQ(form.EditMenu->actions(), (QList<QAction*>{form.CutT1, form.CopyC1}));
  EXPECT_EQ(form.GPRunMenu->actions(), QList<QAction*>{form.StartGPrun1});
  EXPECT_EQ(form.HelpMenu->actions(), (QList<QAction*>{form.About1, form.VobrixWebSite1}));
}

struct Counts {
  int start = 0, stop = 0;
};

Counts& Hook(TForm1& form) {
  static Counts counts;
  counts = Counts{};
  form.hooks.start = [] { ++counts.start; };
  form.hooks.stop = [] { ++counts.stop; };
  return counts;
}

TEST(ShortcutTest, HiddenAndDisabledEntriesTakeTheirKeys) {
  auto form = MakeShownForm();
  Counts& counts = Hook(*form);
  form->Edit10->setFocus();
  ASSERT_TRUE(form->Edit10->hasFocus());

  // Ctrl+S starts from any page although its entry is never shown.
  QTest::keyClick(form->Edit10, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(counts.start, 1);
  QTest::keyClick(form->Edit10, Qt::Key_T, Qt::ControlModifier);
  EXPECT_EQ(fakeSeam().dialogs, 1);  // the training loader's open dialog

  // Ctrl+V loads nothing and pastes nothing; Ctrl+C copies nothing; Ctrl+X cuts nothing.
  QApplication::clipboard()->setText("12345");
  form->Edit10->selectAll();
  QTest::keyClick(form->Edit10, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(form->Edit10->text(), "-10");
  EXPECT_EQ(fakeSeam().dialogs, 1);
  form->Edit10->selectAll();
  QTest::keyClick(form->Edit10, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "12345");
  form->Edit10->selectAll();
  QTest::keyClick(form->Edit10, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(form->Edit10->text(), "-10");
  EXPECT_EQ(QApplication::clipboard()->text(), "12345");
  // Other keys still reach the box.
  QTest::keyClick(form->Edit10, Qt::Key_End);
  QTest::keyClick(form->Edit10, Qt::Key_5);
  EXPECT_EQ(form->Edit10->text(), "-105");

  // The same in the memo of the results page.
  form->PageControl1->setCurrentWidget(form->TabSheet4);
  form->Memo1->setFocus();
  QTest::keyClick(form->Memo1, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(form->Memo1->Text(), "");
  EXPECT_EQ(counts.start, 1);
}

TEST(ShortcutTest, StartIsRefusedWhileARunExists) {
  auto form = MakeShownForm();
  Counts& counts = Hook(*form);
  form->SetRunning(true);
  QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);
  form->BitBtn2Click();
  EXPECT_EQ(counts.start, 0);
  form->SetRunning(false);
  form->BitBtn2->setEnabled(false);  // as the run driver leaves it
  QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(counts.start, 0);
  form->BitBtn2->setEnabled(true);
  QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(counts.start, 1);
}

TEST(ShortcutTest, EnterAndEscFollowTheButtonKinds) {
  auto form = MakeShownForm();
  Counts& counts = Hook(*form);

  // Not on the results page: Enter in an edit box presses nothing.
  form->Edit10->setFocus();
  QTest::keyClick(form->Edit10, Qt::Key_Return);
  EXPECT_EQ(counts.start, 0);

  form->PageControl1->setCurrentWidget(form->TabSheet4);
  form->Edit16->setFocus();
  QTest::keyClick(form->Edit16, Qt::Key_Return);
  EXPECT_EQ(counts.start, 1);
  QTest::keyClick(form->Edit16, Qt::Key_Escape);  // Stop is disabled
  EXPECT_EQ(counts.stop, 0);

  // Running: Start disabled, Stop enabled with the No kind.
  form->BitBtn2->setEnabled(false);
  form->BitBtn1->setEnabled(true);
  QTest::keyClick(form->Edit16, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(counts.start, 1);
  QTest::keyClick(form->Edit16, Qt::Key_Escape);
  EXPECT_EQ(counts.stop, 1);

  // Stopped: the button reads Resume with the OK kind; Enter presses it, Esc does nothing.
  form->BitBtn1->SetCaption("Resume");
  form->BitBtn1->SetKind(toolkit::ButtonKind::Ok);
  QTest::keyClick(form->Edit16, Qt::Key_Escape);
  EXPECT_EQ(counts.stop, 1);
  QTest::keyClick(form->Edit16, Qt::Key_Return);
  EXPECT_EQ(counts.stop, 2);
  EXPECT_EQ(counts.start, 1);
}

TEST(HookTest, AMissingHookDoesNothingAndAnEscapingErrorIsReported) {
  fakeSeam().Clear();
  TForm1 form;
  form.BitBtn1->setEnabled(true);
  form.BitBtn1->click();  // no hook
  EXPECT_TRUE(fakeSeam().errors.isEmpty());
  form.hooks.start = [&] { throw ConversionError("x1"); };
  form.BitBtn2->click();  // an error escaping a hook is reported, not thrown into Qt
  ASSERT_EQ(fakeSeam().errors.size(), 1);
  EXPECT_TRUE(fakeSeam().errors[0].contains("x1"));
}

}  // namespace
}  // namespace vobrix::ui
