// The population panels: remainder labels, enabling rules, the population count and the
// checks made when a page is left.

#include "fake_seam.h"

namespace vobrix::ui {
namespace {

using testing::fakeSeam;

class PanelTest : public testing::FormTest {
 protected:
  void ShowPanels(int count) { form->ComboBox1->setCurrentText(QString::number(count)); }
  void Go(QWidget* page) { form->PageControl1->setCurrentWidget(page); }
  QWidget* Shown() const { return form->PageControl1->currentWidget(); }
};

TEST_F(PanelTest, RemainderLabelsShowWhatIsLeftOfOne) {
  struct Step {
    QLineEdit* TForm1::*edit;
    const char* text;
    QtLabel* TForm1::*label;
    const char* remainder;
  };
  for (const Step& s : {Step{&TForm1::Edit5, "0.15", &TForm1::Label6, "0.1500"},
                        {&TForm1::Edit4, "0.9", &TForm1::Label6, "-0.0500"},
                        {&TForm1::Edit5, "0.20", &TForm1::Label6, "-0.1000"},
                        {&TForm1::Edit4, "1", &TForm1::Label6, "-0.2000"},
                        {&TForm1::Edit5, "0", &TForm1::Label6, "0.0000"},
                        {&TForm1::Edit4, "151", &TForm1::Label6, "-1.5E2"},
                        {&TForm1::Edit13, "0.6", &TForm1::ConstLabel, "0.2000"},
                        {&TForm1::Edit14, "0.45", &TForm1::ConstLabel, "-0.0500"}}) {
    ((*form).*s.edit)->setText(s.text);
    EXPECT_EQ(((*form).*s.label)->text(), s.remainder) << s.text;
  }
  EXPECT_TRUE(fakeSeam().errors.isEmpty());

  // With No2 shown, its edits update only its labels, and an edit of No1 changes nothing.
  ShowPanels(2);
  form->PageControl2->setCurrentIndex(1);
  form->Edit24->setText("0.5");
  form->Edit27->setText("0.3");
  form->Edit5->setText("0.1");  // the sender is not consulted
  EXPECT_EQ(form->Label42->text() + " " + form->Label46->text(), "0.3000 0.5000");
  EXPECT_EQ(form->Label6->text(), "-1.5E2");
}

// A text that is no number, or a rate beyond the single-precision range (refused rather than
// narrowed by a cast whose result is undefined), shows the error box and changes no label.
TEST_F(PanelTest, TextsThatAreNoSingleNumberShowTheErrorBoxAndChangeNothing) {
  const std::pair<QLineEdit * TForm1::*, QtLabel * TForm1::*> edits[] = {
      {&TForm1::Edit4, &TForm1::Label6},
      {&TForm1::Edit5, &TForm1::Label6},
      {&TForm1::Edit6, &TForm1::Label6},
      {&TForm1::Edit13, &TForm1::ConstLabel},
      {&TForm1::Edit14, &TForm1::ConstLabel}};
  for (const auto& [edit, label] : edits) {
    for (const char* text : {"abc", "", "-", "1,5", "1e39", "-1e39", "3.5e38"}) {
      const QString before = ((*form).*label)->text(), bad = QString::fromLatin1(text);
      fakeSeam().Clear();
      ((*form).*edit)->setText(bad);
      ASSERT_EQ(fakeSeam().errors.size(), 1) << text;
      EXPECT_TRUE(fakeSeam().errors[0].contains("'" + bad + "'")) << text;
      EXPECT_EQ(fakeSeam().errors[0].contains("single-precision"), bad.contains('e')) << text;
      EXPECT_EQ(((*form).*label)->text(), before) << text;
    }
    ((*form).*edit)->setText(QStringLiteral("0.1"));  // typing then goes on normally
  }
  EXPECT_EQ(form->Label6->text() + " " + form->ConstLabel->text(), "0.7000 0.8000");
}

TEST_F(PanelTest, EnablingRulesKeepToTheirOwnPanel) {
  form->RadioGroup2->Item(1)->click();  // Tournament on No2
  form->CheckBox10->click();            // No2's elite strategy off
  EXPECT_TRUE(form->Edit20->isEnabled() && !form->Edit3->isEnabled());
  EXPECT_TRUE(!form->Edit33->isEnabled() && form->Edit7->isEnabled());
}

TEST_F(PanelTest, PopulationCountIsOneToFourAndLockedDuringARun) {
  form->Edit30->setText("300");
  ShowPanels(3);
  EXPECT_EQ(form->lastPopIndex, 2);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(form->PageControl2->isTabVisible(i), i < 3) << i;
  form->PageControl2->setCurrentIndex(2);
  ShowPanels(2);
  EXPECT_EQ(form->PageControl2->currentIndex(), 0);
  EXPECT_EQ(form->Edit30->text(), "300");  // a hidden panel keeps its settings

  for (const char* refused : {"5", "0", "-1", "12", "two"}) {
    form->ComboBox1->setCurrentText(QString::fromLatin1(refused));
    EXPECT_TRUE(form->PageControl2->isTabVisible(1)) << refused;
    EXPECT_FALSE(form->PageControl2->isTabVisible(2)) << refused;
    if (fakeSeam().errors.isEmpty()) {
      EXPECT_EQ(form->ComboBox1->currentText(), "2") << refused;
    }
  }
  EXPECT_EQ(fakeSeam().errors.size(), 1);  // only for the text that is no number

  form->SetRunning(true);
  EXPECT_FALSE(form->ComboBox1->isEnabled());
  ShowPanels(4);
  EXPECT_EQ(form->lastPopIndex, 1);
  EXPECT_EQ(form->ComboBox1->currentText(), "2");
  EXPECT_FALSE(form->PageControl2->isTabVisible(3));
  form->SetRunning(false);
  ShowPanels(4);
  EXPECT_EQ(form->lastPopIndex, 3);
}

// (What the checks of a page left show and reset, whichever way the user turns the page, is in
// page_guard_test.cpp.) A page changed by the program is checked too; only panel No1 is judged
// when the populations page is left, and a bound that is no number keeps the problem page with
// the error box.
TEST_F(PanelTest, LeavingJudgesOnlyPanelNo1AndARangeThatIsNoNumberStays) {
  Go(form->TabSheet3);
  ShowPanels(2);
  form->Edit4->setText("0.9");
  form->PageControl2->setCurrentIndex(1);
  form->Edit24->setText("0.95");
  ASSERT_EQ(form->Label42->text(), "-0.1500");
  Go(form->TabSheet1);
  EXPECT_EQ(fakeSeam().messages, QStringList{"The sum of operation rate must be 1.0"});
  EXPECT_EQ(form->Edit4->text() + " " + form->Label42->text(), "0.70 -0.1500");
  EXPECT_EQ(Shown(), form->TabSheet3);
  fakeSeam().Clear();
  Go(form->TabSheet1);
  EXPECT_TRUE(fakeSeam().messages.isEmpty());
  EXPECT_EQ(Shown(), form->TabSheet1);

  form->Edit11->setText("ten");
  Go(form->TabSheet4);
  ASSERT_EQ(fakeSeam().errors.size(), 1);
  EXPECT_TRUE(fakeSeam().errors[0].contains("'ten'"));
  EXPECT_EQ(Shown(), form->TabSheet1);
}

}  // namespace
}  // namespace vobrix::ui
