#include "ui/page_guard.h"

#include <QEvent>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <utility>

namespace vobrix::ui {

namespace {

// The tab bar turns pages on clicks, the wheel and the arrow keys; the tab widget itself only
// on keys (Ctrl+Tab, Ctrl+PgDown, ...), which reach it from the focused control of its page.
bool MayTurnPage(const QEvent* event, bool onBar) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
      return onBar;
    case QEvent::KeyPress:
      return true;
    default:
      return false;
  }
}

}  // namespace

PageLeaveGuard::PageLeaveGuard(QTabWidget* tabs, std::function<bool(int from)> mustStay)
    : QObject(tabs),
      tabs_(tabs),
      bar_(tabs->tabBar()),
      mustStay_(std::move(mustStay)),
      shown_(tabs->currentIndex()) {
  tabs_->installEventFilter(this);
  bar_->installEventFilter(this);
  connect(tabs_, &QTabWidget::currentChanged, this, &PageLeaveGuard::Changed);
}

int PageLeaveGuard::Probe(QObject* watched, QEvent* event) {
  QTabBar* bar = bar_;
  const int before = bar->currentIndex();
  // With the bar's signals blocked the tab widget does not follow the bar; nothing is painted
  // until the bar is back on its page.
  const QSignalBlocker blocker(bar);
  bar->setUpdatesEnabled(false);
  watched->event(event);  // the control's own handling, without the filters or propagation
  const int after = bar->currentIndex();
  if (after != before) bar->setCurrentIndex(before);
  bar->setUpdatesEnabled(true);
  return after;
}

bool PageLeaveGuard::eventFilter(QObject* watched, QEvent* event) {
  const bool onBar = watched == bar_;
  if ((watched != tabs_ && !onBar) || !MayTurnPage(event, onBar)) {
    return QObject::eventFilter(watched, event);
  }
  const int from = tabs_->currentIndex();
  const int to = Probe(watched, event);
  if (to != from && !mustStay_(from)) {
    approved_ = true;
    tabs_->setCurrentIndex(to);
    approved_ = false;
  }
  // The event has been handled; an unaccepted key or click still goes on to the parents.
  return true;
}

void PageLeaveGuard::Changed(int index) {
  const int from = shown_;
  shown_ = index;
  if (approved_ || from == index || !mustStay_(from)) return;
  const QSignalBlocker blocker(tabs_);
  tabs_->setCurrentIndex(from);
  shown_ = from;
}

}  // namespace vobrix::ui
