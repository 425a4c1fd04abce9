// The check a page runs when it is left, made before the tab control changes page: a click on
// a tab, the mouse wheel over the tab bar or a key that turns the page (Ctrl+Tab, the arrows on
// the tab bar) is first tried with the page change held back, and goes through only when the
// page being left lets it. So while the check's message is up, that page stays shown and its
// tab selected.
#pragma once

#include <QObject>
#include <functional>

class QTabBar;
class QTabWidget;

namespace vobrix::ui {

class PageLeaveGuard : public QObject {
  Q_OBJECT
 public:
  // `mustStay(from)` runs the check of page `from`; true keeps that page. The guard is a child
  // of `tabs`.
  PageLeaveGuard(QTabWidget* tabs, std::function<bool(int from)> mustStay);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Runs the event on `watched` with the page change held back; the page it would show.
  int Probe(QObject* watched, QEvent* event);
  // A change made by code (setCurrentIndex) is checked after it happened: the page left is
  // shown again at once when it must stay.
  void Changed(int index);

  QTabWidget* tabs_;
  // Kept from the start: while the tab widget is being destroyed its events still pass the
  // filter, and by then it may no longer be asked for its bar.
  QTabBar* bar_;
  std::function<bool(int)> mustStay_;
  int shown_;
  bool approved_ = false;  // the change under way has passed its check already
};

}  // namespace vobrix::ui
