// The window tests run without a display and without the user's settings: the native store
// is pointed at a temporary folder before anything reads it, and every modal box goes through
// the recording seam.

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <cmath>
#include <string>

#include "fake_seam.h"
#include "problem/textconv.h"
#include "ui/qt_toolkit.h"

namespace vobrix::ui::testing {
FakeSeam& fakeSeam() {
  static FakeSeam seam;
  return seam;
}

std::unique_ptr<TForm1> MakeShownForm() {
  fakeSeam().Clear();
  auto form = std::make_unique<TForm1>();
  fakeSeam().Clear();
  form->show();
  QApplication::setActiveWindow(form.get());
  if (!QTest::qWaitForWindowActive(form.get())) ADD_FAILURE() << "main window not active";
  return form;
}

SineRows MakeSineRows() {
  SineRows rows;
  for (int k = 0; k < 50; ++k) {
    CellRow row{std::to_string(k), FormatGeneral(10 + 3 * std::sin(0.5 * k), 6)};
    (k < 40 ? rows.training : rows.validation).push_back(row);
  }
  return rows;
}

void WriteDataFile(const QString& path, const std::vector<CellRow>& rows) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
  for (const CellRow& row : rows) file.write((row.x + "\t" + row.y + "\n").c_str());
}

QByteArray RunCli(const QStringList& arguments) {
  QProcess cli;
  cli.start(VOBRIX_CLI, arguments);
  EXPECT_TRUE(cli.waitForFinished(60000));
  EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
  return cli.readAllStandardOutput();
}
}  // namespace vobrix::ui::testing

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir store;
  if (!store.isValid()) return 2;
  qputenv("XDG_CONFIG_HOME", store.path().toLocal8Bit());
  QStandardPaths::setTestModeEnabled(true);
  vobrix::ui::VobrixApplication application(argc, argv);
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store.path());
  vobrix::ui::SetSeam(&vobrix::ui::testing::fakeSeam());
  const int result = RUN_ALL_TESTS();
  vobrix::ui::SetSeam(nullptr);
  return result;
}
