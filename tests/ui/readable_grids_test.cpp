// The grids show their texts whole: columns widen to the longest text, the data grids widen
// with them, every cell has its text as tool tip, and the problem page says where to find data
// while there is none.

#include <QDir>
#include <QScrollBar>
#include <cmath>

#include "fake_seam.h"
#include "problem/textconv.h"
#include "run/grid_rows.h"

namespace vobrix::ui {
namespace {

using testing::fakeSeam;

// Every non-empty cell of `grid` whose text does not fit its column, as "col,row: text".
QStringList CutShort(QtGrid* grid) {
  QStringList cut;
  for (int col = 0; col < grid->ColCount(); ++col) {
    for (int row = 0; row < grid->RowCount(); ++row) {
      const QModelIndex cell = grid->Model().index(row, col);
      const QString text = cell.data(Qt::DisplayRole).toString();
      if (text.isEmpty()) continue;
      if (grid->sizeHintForIndex(cell).width() > grid->columnWidth(col)) {
        cut << QString("%1,%2: %3").arg(col).arg(row).arg(text);
      }
      if (cell.data(Qt::ToolTipRole).toString() != text) cut << "tool tip of " + text;
    }
  }
  return cut;
}

std::vector<CellRow> Series(int first, int count) {
  std::vector<CellRow> rows;
  for (int k = first; k < first + count; ++k) {
    rows.push_back({std::to_string(k), FormatGeneral(0.5 + 0.25 * std::sin(0.3 * k), 15)});
  }
  return rows;
}

using ReadableGridsRun = testing::SineWindowTest;

TEST_F(ReadableGridsRun, AFourPopulationRunShowsEveryPredictionWhole) {
  Run({{30, 2}, {30, 2}, {30, 2}, {30, 2}});
  QApplication::processEvents();
  ASSERT_EQ(form->StringGrid5->ColCount(), 5);
  ASSERT_GT(form->StringGrid5->Cell(4, 0).size(), 6u);  // long texts, in a 36-pixel column
  EXPECT_EQ(CutShort(form->StringGrid5), QStringList{});
}

TEST(ReadableGrids, ColumnsFollowTheirTextsAndTheDataGridsTheirColumns) {
  auto form = testing::MakeShownForm();
  QtGrid* grid = form->StringGrid1;
  const int xBase = grid->BaseColWidth(0);
  const int yBase = grid->BaseColWidth(1);
  struct Case {
    std::vector<CellRow> rows;
    bool wider;  // than the base widths
  };
  const Case cases[] = {{{{"1", "2"}, {"3", "4"}}, false},
                        {{{"1", "2"}, {"123456789012", "-1.23456789012345E-15"}}, true},
                        {Series(199990, 20), true},
                        {{{"7", "8"}}, false}};  // a new load narrows again
  for (const Case& c : cases) {
    FillGrid(*grid, c.rows);
    QApplication::processEvents();
    EXPECT_EQ(CutShort(grid), QStringList{}) << c.rows.back().y;
    EXPECT_EQ(grid->columnWidth(0) + grid->columnWidth(1) > xBase + yBase, c.wider)
        << c.rows.back().y;
    EXPECT_GE(grid->columnWidth(0), xBase);
    EXPECT_GE(grid->columnWidth(1), yBase);
    EXPECT_EQ(grid->horizontalScrollBar()->maximum(), 0) << c.rows.back().y;  // all in view
    EXPECT_EQ(form->Label26->width(), grid->columnWidth(1));
  }
  // One cell typed longer widens its column at once.
  grid->Model().setData(grid->Model().index(0, 1), "0.000123456789012345", Qt::EditRole);
  QApplication::processEvents();
  EXPECT_EQ(CutShort(grid), QStringList{});
}

TEST(ReadableGrids, TheProblemPageSaysWhereTheSamplesAreWhileNoDataIsLoaded) {
  auto form = testing::MakeShownForm();
  EXPECT_TRUE(form->DataHint->isVisible());
  const QString hint = form->DataHint->text();
  EXPECT_TRUE(hint.contains("mackey-glass-train.txt") && hint.contains("seasonal-train.txt"));
  EXPECT_TRUE(hint.contains(QDir::toNativeSeparators(QDir::cleanPath(VOBRIX_DATA_DIR))))
      << hint.toStdString();
  FillGrid(*form->StringGrid3, Series(0, 3));  // either grid with data hides it
  EXPECT_FALSE(form->DataHint->isVisible());
  form->Button5->click();
  EXPECT_TRUE(form->DataHint->isVisible());
  FillGrid(*form->StringGrid1, Series(0, 3));
  EXPECT_FALSE(form->DataHint->isVisible());
}

}  // namespace
}  // namespace vobrix::ui
