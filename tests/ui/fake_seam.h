// The seam the window tests install: message boxes, waits, dialogs, the browser and exit are
// recorded instead of shown or done.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>
#include <stdexcept>

#include <memory>

#include "ui/qt_toolkit.h"
#include "ui/unit1.h"

#include <ostream>

// Readable QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

namespace vobrix::ui::testing {

// Thrown instead of leaving the process, so that a test sees the exit and goes on.
struct ExitCalled {
  int status;
};

class FakeSeam : public Seam {
 public:
  QStringList messages;
  QStringList errors;
  QList<int> waits;
  QList<QUrl> urls;
  std::optional<QString> fileToChoose;
  QString lastInitialDirectory;
  int dialogs = 0;  // open dialogs shown
  // Called while a message box would be up (to look at the window state at that moment).
  std::function<void()> duringMessage;

  void MessageBox(QWidget*, const QString& text) override {
    messages << text;
    if (duringMessage) duringMessage();
  }
  void ErrorBox(QWidget*, const QString& text) override { errors << text; }
  std::function<void()> duringWait;

  void Wait(int milliseconds) override {
    waits << milliseconds;
    if (duringWait) duringWait();
  }
  std::optional<QString> OpenFileName(QWidget*, const QString& initialDirectory) override {
    lastInitialDirectory = initialDirectory;
    ++dialogs;
    return fileToChoose;
  }
  void OpenUrl(const QUrl& url) override { urls << url; }
  [[noreturn]] void Exit(int status) override { throw ExitCalled{status}; }

  void Clear() {
    duringMessage = nullptr;
    duringWait = nullptr;
    fileToChoose.reset();
    dialogs = 0;
    messages.clear();
    errors.clear();
    waits.clear();
    urls.clear();
  }
};

// The seam of the whole test program, installed by main().
FakeSeam& fakeSeam();

// A fresh main window, built with a cleared seam, shown and active so that shortcuts fire.
std::unique_ptr<TForm1> MakeShownForm();

}  // namespace vobrix::ui::testing
