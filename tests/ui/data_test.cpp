// The data side of the main window: loading, clearing, Normalization / Reset, the run lock,
// and the sample series of data/.

#include "fake_seam.h"

namespace vobrix::ui {
namespace {

using testing::fakeSeam;
using Texts = std::vector<std::string>;

// Row count, then every cell: a grid before and after.
Texts Snapshot(const QtGrid* grid) {
  Texts cells{std::to_string(grid->RowCount())};
  for (int row = 0; row < grid->RowCount(); ++row) {
    for (int col = 0; col < grid->ColCount(); ++col) cells.push_back(grid->Cell(col, row));
  }
  return cells;
}

Texts Column(const QtGrid* grid, int col) {
  Texts texts;
  for (int row = 0; row < grid->RowCount(); ++row) texts.push_back(grid->Cell(col, row));
  return texts;
}

// Load and Clear of both grids, Normalization, Reset, the training menu entry.
std::vector<bool> States(const TForm1& f) {
  return {f.BitBtn3->isEnabled(),          f.Button1->isEnabled(), f.Button4->isEnabled(),
          f.Button5->isEnabled(),          f.Button2->isEnabled(), f.Button3->isEnabled(),
          f.LoadTrainingData2->isEnabled()};
}
const std::vector<bool> kPlain{true, true, true, true, true, false, true};
const std::vector<bool> kNormalized{false, false, false, false, false, true, true};

class DataTest : public testing::FormTest {
 protected:
  // Chooses a file holding `contents` (or `path` as it is) and presses `button`.
  void Load(QPushButton* button, const QByteArray& contents, QString path = {}) {
    if (path.isEmpty()) testing::WriteFile(path = dir_.filePath("data.txt"), contents);
    fakeSeam().messages.clear();
    fakeSeam().fileToChoose = path;
    button->click();
  }
  // Y texts with X 1, 2, ... as a hand-filled grid.
  static void Fill(QtGrid* grid, const Texts& ys) {
    grid->SetRowCount(static_cast<int>(ys.size()));
    for (std::size_t i = 0; i < ys.size(); ++i) {
      grid->SetCell(0, static_cast<int>(i), std::to_string(i + 1));
      grid->SetCell(1, static_cast<int>(i), ys[i]);
    }
  }
  std::vector<Texts> AllGrids() const {
    return {Snapshot(form->StringGrid1), Snapshot(form->StringGrid3), Snapshot(form->StringGrid2),
            Snapshot(form->StringGrid6)};
  }
  QTemporaryDir dir_;
};

TEST_F(DataTest, LoadIsAllOrNothingAndTouchesOnlyItsGrid) {
  TForm1& f = *form;
  // Tabs, spaces, a CR LF break and no final line break.
  Load(f.BitBtn3, "1\t0.1\n2 3.14159265\r\n3\t\t123456789");
  EXPECT_TRUE(fakeSeam().messages.isEmpty());
  EXPECT_EQ(Snapshot(f.StringGrid1), (Texts{"3", "1", "0.1", "2", "3.14159", "3", "1.23457E8"}));
  EXPECT_EQ(Snapshot(f.StringGrid3), Snapshot(f.StringGrid6));  // still the form's empty grid

  const std::vector<Texts> before = AllGrids();
  // The window's sentence, then the line to blame and what it holds.
  const std::pair<const char*, const char*> bad[] = {
      {"0\t1\n1\n2\t3\n", "Line 2 holds \"1\"; every line must hold two numbers, X and Y."},
      {"0\t1\n\n1\t2\n", "Line 2 is empty; every line must hold two numbers, X and Y."},
      {"", "The file is empty."},
      {"0\t1\n1\t-inf\n", "Line 2 holds \"1 -inf\"; every line must hold two numbers, X and Y."},
      {"0 1\n1 2\x01\n", "Line 2 holds \"1 2?\"; every line must hold two numbers, X and Y."}};
  for (const auto& [contents, line] : bad) {
    Load(f.BitBtn3, contents);
    EXPECT_EQ(fakeSeam().messages,
              QStringList{QString("Selected Data contains Invalid Value.\n") + line})
        << contents;
    EXPECT_EQ(AllGrids(), before) << contents;
  }
  // A chosen file that is gone by the time it is read, or that fails part-way through
  // reading, is named with its cause.
  const std::tuple<QPushButton*, QString, const char*> unreadable[] = {
      {f.BitBtn3, dir_.filePath("vanished.txt"), "Cannot open the file '"},
      {f.BitBtn3, "/proc/self/mem", "Cannot read the file '"},
      {f.Button4, "/proc/self/mem", "Cannot read the file '"}};
  for (const auto& [button, path, cause] : unreadable) {
    Load(button, {}, path);
    EXPECT_EQ(fakeSeam().messages.size(), 1);
    EXPECT_TRUE(fakeSeam().messages.join("").startsWith(cause + path)) << path.toStdString();
    EXPECT_EQ(AllGrids(), before);
  }
  Load(f.Button4, "7\t8\n9\t10\n");
  EXPECT_EQ(Column(f.StringGrid3, 1), (Texts{"8", "10"}));
  f.Button5->click();  // Clear empties every cell of its own grid and keeps the rows
  EXPECT_EQ(Snapshot(f.StringGrid3), (Texts{"2", "", "", "", ""}));
  EXPECT_EQ(Snapshot(f.StringGrid1), before[0]);
}

// (The arithmetic and the reasons to refuse are Normalize's, see tests/run.) Normalization
// keeps the data in the backup grids and Reset brings them back; a refusal changes nothing.
TEST_F(DataTest, NormalizationAndResetOrARefusalThatChangesNothing) {
  struct Case {
    Texts training, validation, trainingOut, validationOut;  // no output: refused
  };
  const std::vector<Case> cases{
      {{"10", "20", "30"}, {"40"}, {"0", "0.5", "1"}, {"1.5"}},
      {{"1", "abc", "3"}, {"4"}, {}, {}},  // typed by hand
      {{"1", "2"}, {"4", "1,5"}, {}, {}},
  };
  TForm1& f = *form;
  for (const Case& c : cases) {
    Fill(f.StringGrid1, c.training);
    Fill(f.StringGrid3, c.validation);
    const std::vector<Texts> before = AllGrids();
    fakeSeam().messages.clear();
    f.Button2->click();
    if (c.trainingOut.empty()) {
      EXPECT_EQ(fakeSeam().messages.size(), 1);
      EXPECT_EQ(AllGrids(), before);
      EXPECT_EQ(States(f), kPlain);
      continue;
    }
    EXPECT_TRUE(fakeSeam().messages.isEmpty());
    EXPECT_EQ(Column(f.StringGrid1, 1), c.trainingOut);
    EXPECT_EQ(Column(f.StringGrid3, 1), c.validationOut);
    EXPECT_EQ(Snapshot(f.StringGrid2), before[0]);
    EXPECT_EQ(Snapshot(f.StringGrid6), before[1]);
    EXPECT_EQ(States(f), kNormalized);
    f.Button3->click();
    EXPECT_EQ(Snapshot(f.StringGrid1), before[0]);
    EXPECT_EQ(Snapshot(f.StringGrid3), before[1]);
    EXPECT_EQ(States(f), kPlain);
  }
  // An empty validation grid (nothing loaded) is no reason to refuse.
  Fill(f.StringGrid1, {"1", "2", "4"});
  f.Button5->click();
  fakeSeam().messages.clear();
  f.Button2->click();
  EXPECT_TRUE(fakeSeam().messages.isEmpty());
  EXPECT_EQ(Column(f.StringGrid1, 1), (Texts{"0", "0.333333333333333", "1"}));
}

TEST_F(DataTest, RunLockRestoresTheStatesOfTheNormalizationMode) {
  TForm1& f = *form;
  const QModelIndex cell = f.StringGrid1->Model().index(0, 0);
  f.SetDataControlsEnabled(false);
  EXPECT_EQ(States(f), std::vector<bool>(7, false));
  EXPECT_FALSE(f.StringGrid1->Model().flags(cell) & Qt::ItemIsEditable);
  f.SetDataControlsEnabled(true);
  EXPECT_EQ(States(f), kPlain);
  EXPECT_TRUE(f.StringGrid1->Model().flags(cell) & Qt::ItemIsEditable);

  Fill(f.StringGrid1, {"1", "2"});
  f.Button2->click();
  const Texts normalized = Snapshot(f.StringGrid1);
  f.SetDataControlsEnabled(false);
  f.Button3Click();  // a locked handler does nothing, whoever calls it
  f.Button1Click();
  f.BitBtn3Click();
  EXPECT_EQ(Snapshot(f.StringGrid1), normalized);
  f.SetDataControlsEnabled(true);
  EXPECT_EQ(States(f), kNormalized);
  // The menu entry stays enabled but does not load over the normalized data.
  f.LoadTrainingData2->trigger();
  EXPECT_EQ(fakeSeam().dialogs, 0);
  EXPECT_EQ(fakeSeam().messages.size(), 1);
}

TEST_F(DataTest, SampleSeriesLoadAndTheirValidationContinuesTheTraining) {
  TForm1& f = *form;
  for (const char* name : {"mackey-glass", "seasonal"}) {
    Load(f.BitBtn3, {}, QStringLiteral(VOBRIX_DATA_DIR "/%1-train.txt").arg(name));
    Load(f.Button4, {}, QStringLiteral(VOBRIX_DATA_DIR "/%1-validation.txt").arg(name));
    ASSERT_TRUE(fakeSeam().messages.isEmpty()) << name;
    ASSERT_GE(f.StringGrid1->RowCount(), 100) << name;
    ASSERT_GE(f.StringGrid3->RowCount(), 20) << name;
    Texts xs = Column(f.StringGrid1, 0);
    const Texts more = Column(f.StringGrid3, 0);
    xs.insert(xs.end(), more.begin(), more.end());
    for (std::size_t i = 0; i < xs.size(); ++i) ASSERT_EQ(xs[i], std::to_string(i)) << name;
  }
}

}  // namespace
}  // namespace vobrix::ui
