// The population panels: defaults, remainder labels, enabling rules, the population count and
// the checks made when a page is left.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "fake_seam.h"
#include "ui/unit1.h"

namespace vobrix::ui {
namespace {

using testing::fakeSeam;

class PanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakeSeam().Clear();
    form = std::make_unique<TForm1>();
    fakeSeam().Clear();
  }
  void ShowPanels(int count) { form->ComboBox1->setCurrentText(QString::number(count)); }
  std::unique_ptr<TForm1> form;
};

TEST_F(PanelTest, EveryPanelStartsWithTheSameDefaults) {
  EXPECT_EQ(form->Label81->text(), "Number of Population");
  EXPECT_EQ(form->ComboBox1->currentText(), "1");
  EXPECT_EQ(form->ComboBox1->count(), 4);
  EXPECT_TRUE(form->ComboBox1->isEditable());
  EXPECT_EQ(form->lastPopIndex, 0);
  EXPECT_EQ(form->PageControl2->currentIndex(), 0);
  const QColor colours[4] = {QColor(255, 0, 0), QColor(0, 0, 255), QColor(0, 128, 0),
                             QColor(255, 255, 0)};
  const QColor buttonFace = QApplication::palette().color(QPalette::Button);
  for (int i = 0; i < 4; ++i) {
    PopulationPanel& p = form->Panel(i);
    EXPECT_EQ(form->PageControl2->tabText(i), QStringLiteral("No%1").arg(i + 1));
    EXPECT_EQ(form->PageControl2->isTabVisible(i), i == 0);
    EXPECT_EQ(p.shape->palette().color(QPalette::Window), colours[i]);
    EXPECT_EQ(p.populationSize->text(), "1000");
    EXPECT_EQ(p.generation->text(), "50");
    EXPECT_EQ(p.selectionMethod->title(), "Selection Method");
    EXPECT_EQ(p.selectionMethod->Item(1)->text(), "Tournament");
    EXPECT_EQ(p.selectionMethod->ItemIndex(), 0);
    EXPECT_EQ(p.tournamentSize->text(), "6");
    EXPECT_FALSE(p.tournamentSize->isEnabled());
    EXPECT_EQ(p.tournamentSize->palette().color(QPalette::Base), buttonFace);
    EXPECT_TRUE(p.eliteStrategy->isChecked());
    EXPECT_EQ(p.eliteShare->text(), "10");
    EXPECT_TRUE(p.eliteShare->isEnabled());
    EXPECT_EQ(p.maxLength->text(), "100");
    EXPECT_EQ(p.maxInitialDepth->text(), "5");
    EXPECT_EQ(p.crossover->text(), "0.70");
    EXPECT_EQ(p.mutation->text(), "0.20");
    EXPECT_EQ(p.onePointMutation->text(), "0.00");
    EXPECT_EQ(p.reproduction->Caption(), "0.1");
    EXPECT_EQ(p.function->text(), "0.50");
    EXPECT_EQ(p.variable->text(), "0.20");
    EXPECT_FALSE(p.function->testAttribute(Qt::WA_InputMethodEnabled));
    EXPECT_EQ(p.constant->Caption(), "0.3");
    EXPECT_FALSE(p.breakPoint->isChecked());
    EXPECT_TRUE(p.breakPoint->isHidden());
    EXPECT_EQ(p.breakEvery->text(), "5");
    EXPECT_FALSE(p.breakEvery->isEnabled());
    EXPECT_TRUE(p.breakEvery->isHidden());
    EXPECT_TRUE(p.breakLabel->isHidden());
  }
  // The names the run code looks for reach the same controls.
  EXPECT_EQ(form->Edit20, form->Panel(1).tournamentSize);
  EXPECT_EQ(form->Label75, form->Panel(3).reproduction);
  EXPECT_EQ(form->Label63, form->Panel(2).constant);
  EXPECT_EQ(form->Edit53, form->Panel(3).breakEvery);
}

TEST_F(PanelTest, RemainderLabelsFollowTheActivePanel) {
  form->Edit5->setText("0.15");
  EXPECT_EQ(form->Label6->text(), "0.1500");
  form->Edit5->setText("0.20");
  form->Edit4->setText("0.9");
  EXPECT_EQ(form->Label6->text(), "-0.1000");
  form->Edit4->setText("1");
  form->Edit5->setText("0");
  EXPECT_EQ(form->Label6->text(), "0.0000");
  form->Edit4->setText("151");
  EXPECT_EQ(form->Label6->text(), "-1.5E2");
  form->Edit13->setText("0.6");
  EXPECT_EQ(form->ConstLabel->text(), "0.2000");
  form->Edit14->setText("0.45");
  EXPECT_EQ(form->ConstLabel->text(), "-0.0500");

  // With No2 shown, its own edits update only its labels; an edit of No1 updates No2's too.
  ShowPanels(2);
  form->PageControl2->setCurrentIndex(1);
  form->Edit24->setText("0.5");
  EXPECT_EQ(form->Label42->text(), "0.3000");
  EXPECT_EQ(form->Label6->text(), "-1.5E2");
  form->Edit27->setText("0.3");
  EXPECT_EQ(form->Label46->text(), "0.5000");
  form->Edit5->setText("0.1");  // the sender is not consulted
  EXPECT_EQ(form->Label42->text(), "0.3000");
  EXPECT_EQ(form->Label6->text(), "-1.5E2");
  form->Edit26->setText("0.25");
  EXPECT_EQ(form->Label42->text(), "0.0500");
}

TEST_F(PanelTest, AConversionErrorShowsTheErrorBoxAndChangesNothing) {
  form->Edit5->setText("0.15");
  ASSERT_EQ(form->Label6->text(), "0.1500");
  for (const char* bad : {"abc", "", "-", "1,5"}) {
    fakeSeam().Clear();
    form->Edit5->setText(QString::fromLatin1(bad));
    ASSERT_EQ(fakeSeam().errors.size(), 1) << bad;
    EXPECT_TRUE(fakeSeam().errors[0].contains(QStringLiteral("'%1'").arg(bad))) << bad;
    EXPECT_EQ(form->Label6->text(), "0.1500") << bad;
  }
  fakeSeam().Clear();
  form->Edit14->setText("x");
  EXPECT_EQ(fakeSeam().errors.size(), 1);
  EXPECT_EQ(form->ConstLabel->text(), "0.3");
  // Typing then goes on normally.
  form->Edit5->setText("0.25");
  EXPECT_EQ(form->Label6->text(), "0.0500");
}

TEST_F(PanelTest, EnablingRulesRunOverAllPanels) {
  const QColor window = QApplication::palette().color(QPalette::Base);
  const QColor buttonFace = QApplication::palette().color(QPalette::Button);
  form->RadioGroup2->Item(1)->click();
  EXPECT_TRUE(form->Edit20->isEnabled());
  EXPECT_EQ(form->Edit20->palette().color(QPalette::Base), window);
  for (QLineEdit* other : {form->Edit3, form->Edit32, form->Edit44}) {
    EXPECT_FALSE(other->isEnabled());
  }
  form->RadioGroup1->Item(2)->click();  // Random on No1: No2 keeps its own choice
  EXPECT_FALSE(form->Edit3->isEnabled());
  EXPECT_TRUE(form->Edit20->isEnabled());
  form->RadioGroup2->Item(0)->click();
  EXPECT_FALSE(form->Edit20->isEnabled());
  EXPECT_EQ(form->Edit20->palette().color(QPalette::Base), buttonFace);

  form->CheckBox10->click();
  EXPECT_FALSE(form->Edit33->isEnabled());
  EXPECT_EQ(form->Edit33->palette().color(QPalette::Base), buttonFace);
  EXPECT_TRUE(form->Edit7->isEnabled());
  form->CheckBox10->click();
  EXPECT_TRUE(form->Edit33->isEnabled());

  // The hidden break point still follows its rule.
  form->CheckBox13->setChecked(true);
  EXPECT_TRUE(form->Edit53->isEnabled());
  EXPECT_FALSE(form->Edit15->isEnabled());
}

TEST_F(PanelTest, PopulationCountShowsTabsAndKeepsSettings) {
  form->Edit30->setText("300");
  ShowPanels(3);
  EXPECT_EQ(form->lastPopIndex, 2);
  EXPECT_TRUE(form->PageControl2->isTabVisible(1));
  EXPECT_TRUE(form->PageControl2->isTabVisible(2));
  EXPECT_FALSE(form->PageControl2->isTabVisible(3));
  EXPECT_EQ(form->PageControl2->currentIndex(), 0);
  form->PageControl2->setCurrentIndex(2);
  ShowPanels(4);
  EXPECT_TRUE(form->PageControl2->isTabVisible(3));
  EXPECT_EQ(form->PageControl2->currentIndex(), 0);
  form->ComboBox1->setCurrentIndex(0);  // chosen from the list
  EXPECT_EQ(form->lastPopIndex, 0);
  for (int i = 1; i < 4; ++i) EXPECT_FALSE(form->PageControl2->isTabVisible(i));
  EXPECT_EQ(form->Edit30->text(), "300");
}

TEST_F(PanelTest, PopulationCountRefusesWhatItCannotHold) {
  ShowPanels(2);
  for (const char* outside : {"5", "0", "-1", "12"}) {
    form->ComboBox1->setCurrentText(QString::fromLatin1(outside));
    EXPECT_EQ(form->lastPopIndex, 1) << outside;
    EXPECT_EQ(form->ComboBox1->currentText(), "2") << outside;
    EXPECT_TRUE(form->PageControl2->isTabVisible(1));
    EXPECT_FALSE(form->PageControl2->isTabVisible(2));
  }
  EXPECT_TRUE(fakeSeam().errors.isEmpty());

  form->ComboBox1->setCurrentText("two");
  EXPECT_EQ(fakeSeam().errors.size(), 1);
  EXPECT_EQ(form->lastPopIndex, 1);
  EXPECT_TRUE(form->PageControl2->isTabVisible(1));

  // During a run the count stays as the run started.
  form->SetRunning(true);
  EXPECT_FALSE(form->ComboBox1->isEnabled());
  form->ComboBox1->setCurrentText("4");
  EXPECT_EQ(form->lastPopIndex, 1);
  EXPECT_EQ(form->ComboBox1->currentText(), "2");
  EXPECT_FALSE(form->PageControl2->isTabVisible(3));
  form->SetRunning(false);
  form->ComboBox1->setCurrentText("4");
  EXPECT_EQ(form->lastPopIndex, 3);
}

class PageLeaveTest : public PanelTest {
 protected:
  void Go(QWidget* page) { form->PageControl1->setCurrentWidget(page); }
  QWidget* Shown() const { return form->PageControl1->currentWidget(); }
};

TEST_F(PageLeaveTest, BadOperationRatesKeepThePopulationsPage) {
  Go(form->TabSheet3);
  form->Edit4->setText("0.9");
  QStringList textsDuringMessage;
  fakeSeam().duringMessage = [&] {
    textsDuringMessage << form->Edit4->text() + " " + form->Edit5->text() + " " +
                              form->Edit6->text() + " " + form->Label6->text();
  };
  Go(form->TabSheet4);
  EXPECT_EQ(fakeSeam().messages, QStringList{"The sum of operation rate must be 1.0"});
  EXPECT_EQ(textsDuringMessage, QStringList{"0.70 0.20 0.00 0.10"});  // reset before it
  EXPECT_EQ(Shown(), form->TabSheet3);
  EXPECT_EQ(form->PageControl1->tabBar()->currentIndex(), 1);
  EXPECT_EQ(form->Label6->text(), "0.10");

  // Fixed, the page may be left, and no check runs twice.
  fakeSeam().Clear();
  Go(form->TabSheet4);
  EXPECT_EQ(Shown(), form->TabSheet4);
  EXPECT_TRUE(fakeSeam().messages.isEmpty());
}

TEST_F(PageLeaveTest, BothChecksRunInOrder) {
  Go(form->TabSheet3);
  // A bad range on the page asked for: going back to "Populations" runs no check of it.
  form->Edit10->setText("10");
  form->Edit11->setText("10");
  form->Edit4->setText("0.9");
  form->Edit13->setText("0.9");
  Go(form->TabSheet1);
  EXPECT_EQ(fakeSeam().messages, (QStringList{"The sum of operation rate must be 1.0",
                                              "The sum of initial node ratio must be 1.0"}));
  EXPECT_EQ(form->Edit13->text(), "0.50");
  EXPECT_EQ(form->Edit14->text(), "0.20");
  EXPECT_EQ(form->ConstLabel->text(), "0.30");
  EXPECT_EQ(Shown(), form->TabSheet3);
  EXPECT_EQ(form->Edit10->text(), "10");

  // Only panel No1 is judged when the page is left.
  fakeSeam().Clear();
  ShowPanels(2);
  form->PageControl2->setCurrentIndex(1);
  form->Edit24->setText("0.95");
  ASSERT_EQ(form->Label42->text(), "-0.1500");
  Go(form->TabSheet4);
  EXPECT_TRUE(fakeSeam().messages.isEmpty());
  EXPECT_EQ(Shown(), form->TabSheet4);
}

TEST_F(PageLeaveTest, ABadRangeKeepsTheProblemPage) {
  form->Edit10->setText("10");
  form->Edit11->setText("10");
  QStringList rangeDuringMessage;
  fakeSeam().duringMessage = [&] {
    rangeDuringMessage << form->Edit10->text() + " " + form->Edit11->text();
  };
  Go(form->TabSheet3);
  EXPECT_EQ(fakeSeam().messages, QStringList{"Please set the range of constants proparly"});
  EXPECT_EQ(rangeDuringMessage, QStringList{"10 10"});  // reset after it
  EXPECT_EQ(form->Edit10->text(), "-10");
  EXPECT_EQ(form->Edit11->text(), "10");
  EXPECT_EQ(Shown(), form->TabSheet1);

  fakeSeam().Clear();
  form->Edit10->setText("-1.5E2");
  form->Edit11->setText("-149");
  Go(form->TabSheet4);
  EXPECT_TRUE(fakeSeam().messages.isEmpty());
  EXPECT_EQ(Shown(), form->TabSheet4);
}

TEST_F(PageLeaveTest, AnUnreadableRangeReportsAndStays) {
  form->Edit11->setText("ten");
  Go(form->TabSheet4);
  ASSERT_EQ(fakeSeam().errors.size(), 1);
  EXPECT_TRUE(fakeSeam().errors[0].contains("'ten'"));
  EXPECT_EQ(Shown(), form->TabSheet1);
  EXPECT_EQ(form->Edit11->text(), "ten");
}

TEST_F(PageLeaveTest, ClickingATabRunsTheCheck) {
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  form->Edit10->setText("5");
  form->Edit11->setText("1");
  QTabBar* bar = form->PageControl1->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
  EXPECT_EQ(fakeSeam().messages.size(), 1);
  EXPECT_EQ(Shown(), form->TabSheet1);
  EXPECT_EQ(bar->currentIndex(), 0);
}

}  // namespace
}  // namespace vobrix::ui
