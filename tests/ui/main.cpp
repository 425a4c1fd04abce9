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
#include "run/gp.h"
#include "run/grid_rows.h"
#include "ui/qt_toolkit.h"
#include "ui/unit5.h"

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

void WriteFile(const QString& path, const QByteArray& contents) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  file.write(contents);
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

static void WriteDataFile(const QString& path, const std::vector<CellRow>& rows) {
  QByteArray contents;
  for (const CellRow& row : rows) contents += (row.x + "\t" + row.y + "\n").c_str();
  WriteFile(path, contents);
}

void SineWindowTest::SetUp() {
  form = MakeShownForm();
  form->seedSource = [] { return 20240u; };
  populationReports.fill("");
  std::vector<CellRow> training, validation;
  for (int k = 0; k < 50; ++k) {
    CellRow row{std::to_string(k), FormatGeneral(10 + 3 * std::sin(0.5 * k), 6)};
    (k < 40 ? training : validation).push_back(row);
  }
  FillGrid(*form->StringGrid1, training);
  FillGrid(*form->StringGrid3, validation);
  WriteDataFile(train = dir.filePath("train.txt"), training);
  WriteDataFile(valid = dir.filePath("valid.txt"), validation);
  training.insert(training.end(), validation.begin(), validation.end());
  WriteDataFile(both = dir.filePath("both.txt"), training);
}

void SineWindowTest::SetPopulations(const std::vector<std::pair<int, int>>& sizeAndGenerations) {
  form->ComboBox1->setCurrentText(QString::number(sizeAndGenerations.size()));
  for (std::size_t i = 0; i < sizeAndGenerations.size(); ++i) {
    form->Panel(int(i)).populationSize->setText(QString::number(sizeAndGenerations[i].first));
    form->Panel(int(i)).generation->setText(QString::number(sizeAndGenerations[i].second));
  }
}

void SineWindowTest::Run(const std::vector<std::pair<int, int>>& sizeAndGenerations) {
  SetPopulations(sizeAndGenerations);
  form->BitBtn2Click();
  ASSERT_TRUE(fakeSeam().messages.isEmpty()) << fakeSeam().messages.join("|").toStdString();
  for (QtChart* chart : {form->Chart2, form->Form5()->Chart2, form->Chart4}) chart->Flush();
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
