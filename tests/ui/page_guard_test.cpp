// The page-leave checks run before the page changes: while their message is up, the page
// being left is still shown and its tab still selected, whichever way the user turns the page.

#include <QTabBar>
#include <QTest>

#include "fake_seam.h"

namespace vobrix::ui {
namespace {

using testing::fakeSeam;

// What the window shows: the page's index in the stack, the selected tab, and the fields that
// the check of the page left resets.
struct Shown {
  int page;
  int tab;
  QString fields;
  bool operator==(const Shown&) const = default;
  friend void PrintTo(const Shown& s, std::ostream* os) {
    *os << s.page << "/" << s.tab << " \"" << s.fields.toStdString() << '"';
  }
};

class PageGuardTest : public ::testing::Test {
 protected:
  void SetUp() override { form = testing::MakeShownForm(); }
  void TearDown() override { fakeSeam().duringMessage = nullptr; }
  // `fields` reads the fields of the page left.
  Shown Now(const std::function<QString(TForm1&)>& fields) const {
    return {form->PageControl1->indexOf(form->PageControl1->currentWidget()), Bar()->currentIndex(),
            fields(*form)};
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

// The range is reset after its message, the sums of a population panel before theirs.
TEST_F(PageGuardTest, AFailedCheckKeepsThePageLeftShownWhileItsMessageIsUp) {
  const auto range = [](TForm1& f) { return f.Edit10->text() + " " + f.Edit11->text(); };
  const auto ratios = [](TForm1& f) { return f.Edit13->text() + " " + f.ConstLabel->text(); };
  const auto sums = [&](TForm1& f) {
    return f.Edit4->text() + " " + f.Label6->text() + " " + ratios(f);
  };
  const QString rate = "The sum of operation rate must be 1.0";
  const QString ratio = "The sum of initial node ratio must be 1.0";
  using Edits = std::vector<std::pair<QLineEdit * TForm1::*, const char*>>;
  const Edits badRange{{&TForm1::Edit10, "10"}, {&TForm1::Edit11, "10"}};
  struct Case {
    int from;
    Edits spoil;
    std::function<QString(TForm1&)> fields;
    QStringList messages, during;  // the fields while each message is up
    QString after;
  };
  const Case cases[] = {
      {0, badRange, range, {"Please set the range of constants proparly"}, {"10 10"}, "-10 10"},
      {1, {{&TForm1::Edit13, "0.9"}}, ratios, {ratio}, {"0.50 0.30"}, "0.50 0.30"},
      // Both sums, in order; a bad range is no matter of this page.
      {1,
       {badRange[0], badRange[1], {&TForm1::Edit4, "0.9"}, {&TForm1::Edit13, "0.9"}},
       sums,
       {rate, ratio},
       {"0.70 0.10 0.9 -0.1000", "0.70 0.10 0.50 0.30"},
       "0.70 0.10 0.50 0.30"}};
  for (const Turn turn : {Turn::Click, Turn::Wheel, Turn::CtrlTab, Turn::ArrowOnBar}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << "turn " << static_cast<int>(turn) << " from " << c.from
                                        << " " << c.messages.join("|").toStdString());
      form->PageControl1->setCurrentIndex(c.from);
      fakeSeam().Clear();
      for (const auto& [edit, text] : c.spoil) ((*form).*edit)->setText(text);
      QList<Shown> during, expected;
      for (const QString& fields : c.during) expected << Shown{c.from, c.from, fields};
      fakeSeam().duringMessage = [&] { during << Now(c.fields); };
      TurnPage(Bar(), form->PageControl1, turn, c.from, c.from + 1);
      EXPECT_EQ(fakeSeam().messages, c.messages);
      EXPECT_EQ(during, expected);
      EXPECT_EQ(Now(c.fields), (Shown{c.from, c.from, c.after}));
      // The check mended the values: the same turn now goes through, without a message.
      fakeSeam().Clear();
      TurnPage(Bar(), form->PageControl1, turn, c.from, c.from + 1);
      EXPECT_TRUE(fakeSeam().messages.isEmpty());
      EXPECT_EQ(Now(c.fields), (Shown{c.from + 1, c.from + 1, c.after}));
    }
  }
}

TEST_F(PageGuardTest, ClicksThatTurnNoPageRunNoCheck) {
  // Leaving the results page checks nothing, even with a bad range on the problem page.
  form->PageControl1->setCurrentIndex(2);
  form->Edit10->setText("10");
  form->Edit11->setText("10");
  QTest::mouseClick(Bar(), Qt::LeftButton, {}, Bar()->tabRect(0).center());
  const auto none = [](TForm1&) { return QString(); };
  EXPECT_EQ(Now(none), (Shown{0, 0, ""}));
  // The tab of the page shown, and a key with no page before it, turn nothing.
  QTest::mouseClick(Bar(), Qt::LeftButton, {}, Bar()->tabRect(0).center());
  QTest::keyClick(Bar(), Qt::Key_Left);
  EXPECT_TRUE(fakeSeam().messages.isEmpty());
  EXPECT_EQ(Now(none), (Shown{0, 0, ""}));
}

}  // namespace
}  // namespace vobrix::ui
