// The page-leave checks run before the page changes: while their message is up, the page
// being left is still shown and its tab still selected, whichever way the user turns the page.

#include <QTabBar>
#include <QTest>

#include "fake_seam.h"

namespace vobrix::ui {
namespace {

using testing::fakeSeam;

// What the window shows: the page's index in the stack and the selected tab.
struct Shown {
  int page;
  int tab;
  bool operator==(const Shown&) const = default;
};

class PageGuardTest : public ::testing::Test {
 protected:
  void SetUp() override { form = testing::MakeShownForm(); }
  void TearDown() override { fakeSeam().duringMessage = nullptr; }
  Shown Now() const {
    return {form->PageControl1->indexOf(form->PageControl1->currentWidget()),
            form->PageControl1->tabBar()->currentIndex()};
  }
  QTabBar* Bar() const { return form->PageControl1->tabBar(); }
  std::unique_ptr<TForm1> form;
};

// Ways to ask for page `to` from page `from` as a user would.
enum class Turn { Click, Wheel, CtrlTab, ArrowOnBar };

void TurnPage(QTabBar* bar, QTabWidget* tabs, Turn turn, int from, int to) {
  switch (turn) {
    case Turn::Click:
      QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(to).center());
      break;
    case Turn::Wheel: {
      // One notch down turns to the next tab.
      const QPoint at = bar->tabRect(from).center();
      QWheelEvent wheel(at, bar->mapToGlobal(at), {}, {0, to > from ? -120 : 120}, Qt::NoButton, {},
                        Qt::NoScrollPhase, false);
      QApplication::sendEvent(bar, &wheel);
      break;
    }
    case Turn::CtrlTab:
      QTest::keyClick(tabs, to > from ? Qt::Key_Tab : Qt::Key_Backtab,
                      to > from ? Qt::ControlModifier : Qt::ControlModifier | Qt::ShiftModifier);
      break;
    case Turn::ArrowOnBar:
      QTest::keyClick(bar, to > from ? Qt::Key_Right : Qt::Key_Left);
      break;
  }
}

TEST_F(PageGuardTest, AFailedCheckKeepsThePageLeftShownWhileItsMessageIsUp) {
  struct Case {
    int from;
    std::function<void(TForm1&)> spoil;
    const char* message;
  };
  const Case cases[] = {
      {0,
       [](TForm1& f) {
         f.Edit10->setText("10");
         f.Edit11->setText("10");
       },
       "Please set the range of constants proparly"},
      {1, [](TForm1& f) { f.Edit4->setText("0.95"); }, "The sum of operation rate must be 1.0"},
      {1, [](TForm1& f) { f.Edit13->setText("0.9"); },
       "The sum of initial node ratio must be 1.0"}};
  for (const Turn turn : {Turn::Click, Turn::Wheel, Turn::CtrlTab, Turn::ArrowOnBar}) {
    for (const Case& c : cases) {
      const auto label = ::testing::Message()
                         << "turn " << static_cast<int>(turn) << " from " << c.from;
      form->PageControl1->setCurrentIndex(c.from);
      fakeSeam().Clear();
      c.spoil(*form);
      QList<Shown> during;
      fakeSeam().duringMessage = [&] { during << Now(); };
      TurnPage(Bar(), form->PageControl1, turn, c.from, c.from + 1);
      EXPECT_EQ(fakeSeam().messages, QStringList{c.message}) << label;
      EXPECT_EQ(during, (QList<Shown>{{c.from, c.from}})) << label;
      EXPECT_EQ(Now(), (Shown{c.from, c.from})) << label;
      // The check mended the values: the same turn now goes through, without a message.
      fakeSeam().Clear();
      TurnPage(Bar(), form->PageControl1, turn, c.from, c.from + 1);
      EXPECT_TRUE(fakeSeam().messages.isEmpty()) << label;
      EXPECT_EQ(Now(), (Shown{c.from + 1, c.from + 1})) << label;
    }
  }
}

TEST_F(PageGuardTest, ClicksThatTurnNoPageRunNoCheck) {
  // Leaving the results page checks nothing, even with a bad range on the problem page.
  form->PageControl1->setCurrentIndex(2);
  form->Edit10->setText("10");
  form->Edit11->setText("10");
  QTest::mouseClick(Bar(), Qt::LeftButton, {}, Bar()->tabRect(0).center());
  EXPECT_EQ(Now(), (Shown{0, 0}));
  // The tab of the page shown, and a key with no page before it, turn nothing.
  QTest::mouseClick(Bar(), Qt::LeftButton, {}, Bar()->tabRect(0).center());
  QTest::keyClick(Bar(), Qt::Key_Left);
  EXPECT_TRUE(fakeSeam().messages.isEmpty());
  EXPECT_EQ(Now(), (Shown{0, 0}));
}

}  // namespace
}  // namespace vobrix::ui
