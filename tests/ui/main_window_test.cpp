// The main window and its secondary windows: start-up, captions, menu, shortcuts, Enter and
// Esc, the chart windows and the About box.

#include <QApplication>
#include <QClipboard>
#include <QMenuBar>

#include "fake_seam.h"
#include "ui/about.h"
#include "ui/unit5.h"

namespace vobrix::ui {
namespace {

using testing::fakeSeam;
using testing::FormTest;
using testing::MakeShownForm;

TEST(MainWindowTest, StartUpShowsTheSplashThenTicksTheFourDefaultFunctions) {
  fakeSeam().Clear();
  bool splashShown = false, mainHidden = false;
  fakeSeam().duringWait = [&] {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (qobject_cast<TAboutBox*>(window) && window->isVisible()) splashShown = true;
      if (qobject_cast<TForm1*>(window)) mainHidden = !window->isVisible();
    }
  };
  TForm1 form;
  EXPECT_EQ(fakeSeam().waits, QList<int>{3000});
  EXPECT_TRUE(splashShown && mainHidden);
  EXPECT_FALSE(form.AboutBox()->isVisible());
  ASSERT_EQ(form.CheckListBox1->count(), 10);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(form.FunctionTicked(i), i < 4) << i;
}

TEST_F(FormTest, KeyCaptionsInitialStatesAndMenus) {
  const std::vector<std::pair<QString, QString>> captions{
      {form->windowTitle(), "Vobrix for Time Series Prediction ver.1.0"},
      {form->PageControl1->tabText(0), "Problem Configration"},
      {form->PageControl1->tabText(2), "Results"},
      {form->Edit10->text() + " " + form->Edit11->text() + " " + form->Edit12->text(),
       "-10 10 1000"},
      {form->Edit16->text(), "5"},
      {form->ComboBox1->currentText(), "1"},
      {form->BitBtn2->text() + "/" + form->BitBtn1->text(), "Start/Stop"},
      {form->Label31->text(), "Not running"},
      {form->Panel(3).crossover->text() + " " + form->Panel(3).reproduction->text(), "0.70 0.1"},
  };
  for (const auto& [shown, expected] : captions) EXPECT_EQ(shown, expected);
  EXPECT_EQ(form->PageControl1->currentWidget(), form->TabSheet1);
  EXPECT_EQ(form->StringGrid3->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_TRUE(form->Button2->isEnabled() && !form->Button3->isEnabled());
  EXPECT_TRUE(form->BitBtn2->isEnabled() && !form->BitBtn1->isEnabled());
  EXPECT_FALSE(form->Label48->Visible() || form->PageControl2->isTabVisible(1));

  // The window's four menus, with the Results menu before Help.
  const QList<QAction*> top = form->menuBar()->actions();
  ASSERT_EQ(top.size(), 5);
  EXPECT_EQ(top[3]->text(), "Results (&S)");
  EXPECT_TRUE(top[0]->isVisible() && top[3]->isVisible() && top[4]->isVisible());
  EXPECT_EQ(top[4], form->HelpMenu->menuAction());
  EXPECT_FALSE(top[1]->isVisible() || top[2]->isVisible());  // Edit and GP Run
  EXPECT_FALSE(form->Load1->isEnabled());

  form->VobrixWebSite1->trigger();
  EXPECT_EQ(fakeSeam().urls, QList<QUrl>{QUrl(QString::fromLatin1(kWebPage))});
}

// A shown window whose Start and Stop only count their presses.
class ShortcutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = MakeShownForm();
    form->hooks.start = [this] { ++starts; };
    form->hooks.stop = [this] { ++stops; };
  }
  std::unique_ptr<TForm1> form;
  int starts = 0, stops = 0;
};

TEST_F(ShortcutTest, HiddenAndDisabledEntriesTakeTheirKeys) {
  QLineEdit* edit = form->Edit10;
  edit->setFocus();
  ASSERT_TRUE(edit->hasFocus());
  QTest::keyClick(edit, Qt::Key_S, Qt::ControlModifier);  // its entry is never shown
  EXPECT_EQ(starts, 1);
  QTest::keyClick(edit, Qt::Key_T, Qt::ControlModifier);
  EXPECT_EQ(fakeSeam().dialogs, 1);  // the training loader's open dialog

  // Ctrl+V loads and pastes nothing; Ctrl+C copies nothing; Ctrl+X cuts nothing.
  QApplication::clipboard()->setText("12345");
  for (Qt::Key key : {Qt::Key_V, Qt::Key_C, Qt::Key_X}) {
    edit->selectAll();
    QTest::keyClick(edit, key, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), "-10") << key;
    EXPECT_EQ(QApplication::clipboard()->text(), "12345") << key;
  }
  EXPECT_EQ(fakeSeam().dialogs, 1);
  QTest::keyClick(edit, Qt::Key_End);  // other keys still reach the box
  QTest::keyClick(edit, Qt::Key_5);
  EXPECT_EQ(edit->text(), "-105");

  form->BitBtn2->setEnabled(false);  // as the run driver leaves it
  QTest::keyClick(edit, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(starts, 1);
}

// Each key goes to the box with the focus; the presses of Start and Stop after it.
TEST_F(ShortcutTest, EnterAndEscFollowTheButtonKinds) {
  QLineEdit* edit = form->Edit10;
  const auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(edit, key, modifiers);
    return std::pair(starts, stops);
  };
  edit->setFocus();  // not on the results page: Enter presses nothing
  EXPECT_EQ(press(Qt::Key_Return), std::pair(0, 0));
  form->PageControl1->setCurrentWidget(form->TabSheet4);
  edit = form->Edit16;
  edit->setFocus();
  EXPECT_EQ(press(Qt::Key_Return), std::pair(1, 0));
  EXPECT_EQ(press(Qt::Key_Escape), std::pair(1, 0));  // Stop is disabled
  // Running: Start disabled, Stop enabled with the No kind.
  form->BitBtn2->setEnabled(false);
  form->BitBtn1->setEnabled(true);
  EXPECT_EQ(press(Qt::Key_Enter, Qt::KeypadModifier), std::pair(1, 0));
  EXPECT_EQ(press(Qt::Key_Escape), std::pair(1, 1));
  // Stopped: Resume with the OK kind; Enter presses it, Esc does nothing.
  form->BitBtn1->SetKind(toolkit::ButtonKind::Ok);
  EXPECT_EQ(press(Qt::Key_Escape), std::pair(1, 1));
  EXPECT_EQ(press(Qt::Key_Return), std::pair(1, 2));
}

TEST(SecondaryWindowTest, ChartWindowsKeepTheirPointsAndAboutOkShowsTheMainWindow) {
  auto form = MakeShownForm();
  TForm5& fitness = *form->Form5();
  QTest::mouseDClick(form->Chart2->viewport(), Qt::LeftButton);
  EXPECT_TRUE(fitness.isVisible());
  fitness.Chart2->AddPoints(0, {{0, 2.5, "0"}, {1, 1.5, "1"}});
  fitness.BitBtn1->click();
  EXPECT_FALSE(fitness.isVisible());
  fitness.Chart2->AddPoint(1, 0, 3.0, "0");  // the run goes on while it is hidden
  form->Chart2DblClick();
  fitness.close();  // the title-bar box also only hides it
  QCoreApplication::processEvents();
  EXPECT_EQ(fitness.Chart2->Series(0)->count(), 2);
  EXPECT_EQ(fitness.Chart2->Series(1)->count(), 1);

  TAboutBox& about = *form->AboutBox();
  form->About1->trigger();
  EXPECT_TRUE(about.isVisible());
  form->hide();
  about.OKButton->click();
  EXPECT_FALSE(about.isVisible());
  EXPECT_TRUE(form->isVisible());
}

}  // namespace
}  // namespace vobrix::ui
