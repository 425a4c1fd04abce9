// The remembered data directory: where it lives, reading, writing on exit and on close.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QDir>
#include <QListWidget>
#include <QSettings>
#include <QTemporaryDir>

#include "fake_seam.h"
#include "ui/settings.h"
#include "ui/unit1.h"

namespace vobrix::ui {
namespace {

using testing::ExitCalled;
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
};

TEST_F(SettingsTest, TheStoreIsTheTestsOwn) {
  const QString home = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
  ASSERT_FALSE(home.isEmpty());
  EXPECT_TRUE(Store().fileName().startsWith(home)) << Store().fileName().toStdString();
  EXPECT_TRUE(Store().fileName().contains("Vobrix"));
}

TEST_F(SettingsTest, MissingValuesGiveTheDefault) {
  EXPECT_EQ(ReadInitialDirectory(), "C:\\");
  {
    QSettings store = Store();
    store.setValue("OTHER/INIT", "/elsewhere");  // a section, but not ours
  }
  EXPECT_EQ(ReadInitialDirectory(), "C:\\");
  fakeSeam().Clear();
  TForm1 form;
  EXPECT_EQ(form.OpenDialog1.initialDir, "C:\\");
}

TEST_F(SettingsTest, WrittenValuesComeBackAsTheyWere) {
  for (const QString& path : {QStringLiteral("/home/user/data"), QStringLiteral("D:\\series"),
                              QStringLiteral("/tmp/a,b; c=d"), QStringLiteral("@weird"),
                              QStringLiteral("/données/série")}) {
    WriteInitialDirectory(path);
    EXPECT_EQ(ReadInitialDirectory(), path);
  }
  EXPECT_EQ(Store().value("DIRECTORY/INIT").toString(), "/données/série");
}

TEST_F(SettingsTest, AStoredEmptyTextLeavesTheDialogWhereThePlatformPutsIt) {
  WriteInitialDirectory("");
  EXPECT_EQ(ReadInitialDirectory(), "");
  TForm1 form;
  EXPECT_TRUE(form.OpenDialog1.initialDir.isEmpty());
  EXPECT_TRUE(form.FunctionTicked(0));  // the rest of creation went on
}

TEST_F(SettingsTest, AValueThatIsNotATextStopsCreationWithAnError) {
  {
    QSettings store = Store();
    store.setValue("DIRECTORY/INIT", QStringList{"a", "b"});
  }
  EXPECT_THROW(ReadInitialDirectory(), SettingsError);
  TForm1 form;
  EXPECT_EQ(fakeSeam().errors.size(), 1);
  EXPECT_TRUE(fakeSeam().waits.isEmpty());  // no splash
  for (int i = 0; i < 10; ++i) EXPECT_FALSE(form.FunctionTicked(i));
}

TEST_F(SettingsTest, ExitStoresTheWorkingDirectoryAndEndsWithZero) {
  QTemporaryDir work;
  TForm1 form;
  QDir::setCurrent(work.path());
  try {
    form.Exit1->trigger();
    ADD_FAILURE() << "Exit did not end the program";
  } catch (const ExitCalled& exit) {
    EXPECT_EQ(exit.status, 0);
  }
  EXPECT_EQ(ReadInitialDirectory(), QDir::toNativeSeparators(QDir(work.path()).canonicalPath()));

  // The next start's dialog begins there.
  TForm1 next;
  EXPECT_EQ(next.OpenDialog1.initialDir, ReadInitialDirectory());
}

TEST_F(SettingsTest, ClosingTheWindowStoresItToo) {
  QTemporaryDir work;
  TForm1 form;
  bool closeHook = false;
  form.hooks.close = [&] { closeHook = true; };
  form.show();
  QDir::setCurrent(work.path());
  EXPECT_TRUE(form.close());
  EXPECT_TRUE(closeHook);
  EXPECT_EQ(ReadInitialDirectory(), CurrentDirectoryText());
}

TEST_F(SettingsTest, ChoosingAFileMovesTheWorkingDirectory) {
  QTemporaryDir data;
  TForm1 form;
  form.OpenDialog1.initialDir = "C:\\";
  fakeSeam().fileToChoose.reset();
  const QString before = QDir::currentPath();
  EXPECT_FALSE(form.ExecuteOpenDialog());
  EXPECT_EQ(QDir::currentPath(), before);
  EXPECT_EQ(fakeSeam().lastInitialDirectory, "C:\\");

  fakeSeam().fileToChoose = data.path() + "/train.txt";
  EXPECT_EQ(form.ExecuteOpenDialog(), data.path() + "/train.txt");
  EXPECT_EQ(QDir(QDir::currentPath()).canonicalPath(), QDir(data.path()).canonicalPath());
  fakeSeam().fileToChoose.reset();
  form.ExecuteOpenDialog();
  EXPECT_EQ(fakeSeam().lastInitialDirectory, data.path());
}

}  // namespace
}  // namespace vobrix::ui
