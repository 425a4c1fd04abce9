// The remembered data directory: reading, writing on exit and on close, the open dialog.

#include <QDir>
#include <QSettings>

#include "fake_seam.h"
#include "ui/settings.h"

namespace vobrix::ui {
namespace {

using testing::fakeSeam;

QSettings Store() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Vobrix", "Regression");
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Store().clear();
    fakeSeam().Clear();
    previous_ = QDir::currentPath();
  }
  void TearDown() override {
    QDir::setCurrent(previous_);
    Store().clear();
  }
  QString previous_;
  QTemporaryDir work_;
};

TEST_F(SettingsTest, ValuesComeBackAsWrittenAndAMissingOneGivesTheDefault) {
  // Never the user's own store.
  EXPECT_TRUE(Store().fileName().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
  Store().setValue("OTHER/INIT", "/elsewhere");  // a section, but not ours
  EXPECT_EQ(ReadInitialDirectory(), "C:\\");
  EXPECT_EQ(TForm1().OpenDialog1.initialDir, "C:\\");
  for (const QString& path :
       {QStringLiteral("D:\\series"), QStringLiteral("/tmp/a,b; c=d"), QStringLiteral("@weird"),
        QStringLiteral("/données/série"), QStringLiteral("")}) {
    WriteInitialDirectory(path);
    EXPECT_EQ(ReadInitialDirectory(), path);
  }
  EXPECT_TRUE(TForm1().OpenDialog1.initialDir.isEmpty());  // where the platform puts it

  Store().setValue("DIRECTORY/INIT", QStringList{"a", "b"});  // not a text
  fakeSeam().Clear();
  TForm1 form;
  EXPECT_EQ(fakeSeam().errors.size(), 1);
  EXPECT_TRUE(fakeSeam().waits.isEmpty());  // creation stopped before the splash
}

TEST_F(SettingsTest, AChosenFilesDirectoryIsStoredOnExitAndOnClose) {
  TForm1 form;
  EXPECT_FALSE(form.ExecuteOpenDialog());  // cancelled: the working directory stays
  EXPECT_EQ(QDir::currentPath(), previous_);
  fakeSeam().fileToChoose = work_.path() + "/train.txt";
  EXPECT_EQ(form.ExecuteOpenDialog(), work_.path() + "/train.txt");
  fakeSeam().fileToChoose.reset();
  form.ExecuteOpenDialog();
  EXPECT_EQ(fakeSeam().lastInitialDirectory, work_.path());

  EXPECT_EQ(testing::ExitStatus([&] { form.Exit1->trigger(); }), 0);
  EXPECT_EQ(ReadInitialDirectory(), QDir::toNativeSeparators(QDir(work_.path()).canonicalPath()));
  EXPECT_EQ(TForm1().OpenDialog1.initialDir, ReadInitialDirectory());  // the next start's
  Store().clear();
  form.show();
  EXPECT_TRUE(form.close());
  EXPECT_EQ(ReadInitialDirectory(), CurrentDirectoryText());
}

}  // namespace
}  // namespace vobrix::ui
