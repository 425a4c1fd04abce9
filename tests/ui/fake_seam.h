// The seam the window tests install: message boxes, waits, dialogs, the browser and exit are
// recorded instead of shown or done. Also the fixtures the window tests share.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QStringList>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "problem/problem.h"
#include "ui/qt_toolkit.h"
#include "ui/unit1.h"

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
  QStringList messages, errors;
  QList<int> waits;
  QList<QUrl> urls;
  std::optional<QString> fileToChoose;
  QString lastInitialDirectory;
  int dialogs = 0;  // open dialogs shown
  // Called while a message box or the splash wait would be up.
  std::function<void()> duringMessage, duringWait;

  void MessageBox(QWidget*, const QString& text) override {
    messages << text;
    if (duringMessage) duringMessage();
  }
  void ErrorBox(QWidget*, const QString& text) override { errors << text; }
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

  void Clear() { *this = FakeSeam(); }
};

// The seam of the whole test program, installed by main().
FakeSeam& fakeSeam();

// A fresh main window, built with a cleared seam, shown and active so that shortcuts fire.
std::unique_ptr<TForm1> MakeShownForm();

// Writes the file anew with these bytes.
void WriteFile(const QString& path, const QByteArray& contents);
// The file's bytes, or "<missing>".
QByteArray ReadAll(const QString& path);

// Runs vobrix-cli with the arguments; its standard output. A failed run fails the test.
QByteArray RunCli(const QStringList& arguments);

// The status `action` exits with, or -1 when it returns.
inline int ExitStatus(const std::function<void()>& action) {
  try {
    action();
  } catch (const ExitCalled& exit) {
    return exit.status;
  }
  return -1;
}

// A shown main window drawing the seed 20240 and holding 40 training rows of 10 + 3 sin(k / 2)
// from X = 0, then 10 validation rows continuing them. The rows are also written as data
// files: the training rows, the validation rows and both in one.
class SineWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  // Shows one panel per (population size, generations) pair and sets them.
  void SetPopulations(const std::vector<std::pair<int, int>>& sizeAndGenerations);
  // Sets the populations, presses Start and draws the charts; the run shows no message.
  void Run(const std::vector<std::pair<int, int>>& sizeAndGenerations);
  std::unique_ptr<TForm1> form;
  QTemporaryDir dir;
  QString train, valid, both;
};

// A fresh, hidden main window per test; the seam is cleared after its creation.
class FormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakeSeam().Clear();
    form = std::make_unique<TForm1>();
    fakeSeam().Clear();
  }
  std::unique_ptr<TForm1> form;
};

}  // namespace vobrix::ui::testing
