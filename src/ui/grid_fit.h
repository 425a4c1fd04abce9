// Columns of a string grid that widen to their longest text, so that no cell is cut short
// ("0.7542274..."). Never narrower than the width the code gave the column. A change is
// measured once the events of the moment are done, and only the rows it touched: a text's
// width is estimated from the font's advance of each character, and only the widest cell of a
// column is measured by its delegate, so a column of 200,000 rows costs a few milliseconds.
#pragma once

#include <QObject>
#include <array>
#include <vector>

class QModelIndex;

namespace vobrix::ui {

class QtGrid;

class ColumnFitter : public QObject {
  Q_OBJECT
 public:
  // The fitter is a child of `grid`. With `sizeGrid`, the grid's own width follows its columns
  // (a grid with a fixed width and no horizontal scroll bar).
  ColumnFitter(QtGrid* grid, bool sizeGrid);
  // Fits the columns that changed since the last fit; happens by itself.
  void FitNow();

 signals:
  void fitted();

 private:
  struct Pending {
    bool whole = false;  // every row, and the column may narrow
    int first = -1;      // else the rows first .. last
    int last = -1;
  };
  struct Widest {
    int estimate = 0;
    int row = -1;
  };
  void Mark(int firstCol, int lastCol, int firstRow, int lastRow);
  void MarkAll();
  void Queue();
  int Estimate(const std::string& text) const;
  void FitColumn(int col, const Pending& pending);

  QtGrid* grid_;
  bool sizeGrid_;
  bool queued_ = false;
  std::vector<Pending> pending_;
  std::vector<Widest> widest_;
  std::array<int, 128> advance_{};  // the font's advance of each ASCII character
  int wideAdvance_ = 0;             // the widest of them, for any other character
};

}  // namespace vobrix::ui
