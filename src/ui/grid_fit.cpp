#include "ui/grid_fit.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QScrollBar>
#include <algorithm>
#include <string>

#include "ui/qt_toolkit.h"

namespace vobrix::ui {

namespace {

// Room for kerning, which the estimate leaves out.
constexpr int kSlack = 2;

}  // namespace

ColumnFitter::ColumnFitter(QtGrid* grid, bool sizeGrid)
    : QObject(grid), grid_(grid), sizeGrid_(sizeGrid) {
  const CellTableModel* model = &grid->Model();
  connect(model, &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
            Mark(topLeft.column(), bottomRight.column(), topLeft.row(), bottomRight.row());
          });
  connect(model, &QAbstractItemModel::rowsInserted, this, &ColumnFitter::MarkAll);
  connect(model, &QAbstractItemModel::rowsRemoved, this, &ColumnFitter::MarkAll);
  connect(model, &QAbstractItemModel::columnsInserted, this, &ColumnFitter::MarkAll);
  connect(model, &QAbstractItemModel::columnsRemoved, this, &ColumnFitter::MarkAll);
  connect(model, &QAbstractItemModel::modelReset, this, &ColumnFitter::MarkAll);
  connect(grid, &QtGrid::colWidthsSet, this, &ColumnFitter::MarkAll);
  MarkAll();
}

void ColumnFitter::Mark(int firstCol, int lastCol, int firstRow, int lastRow) {
  const int rows = grid_->RowCount();
  pending_.resize(static_cast<std::size_t>(grid_->ColCount()));
  for (int col = std::max(firstCol, 0); col <= lastCol && col < grid_->ColCount(); ++col) {
    Pending& p = pending_[static_cast<std::size_t>(col)];
    if (firstRow <= 0 && lastRow >= rows - 1) {
      p.whole = true;  // a column written anew may narrow again
    } else if (p.first < 0) {
      p.first = firstRow;
      p.last = lastRow;
    } else {
      p.first = std::min(p.first, firstRow);
      p.last = std::max(p.last, lastRow);
    }
  }
  Queue();
}

void ColumnFitter::MarkAll() {
  pending_.assign(static_cast<std::size_t>(grid_->ColCount()), Pending{true, -1, -1});
  Queue();
}

void ColumnFitter::Queue() {
  if (queued_) return;
  queued_ = true;
  QMetaObject::invokeMethod(this, &ColumnFitter::FitNow, Qt::QueuedConnection);
}

int ColumnFitter::Estimate(const std::string& text) const {
  int width = 0;
  for (const char c : text) {
    const auto code = static_cast<unsigned char>(c);
    width += code < advance_.size() ? advance_[code] : wideAdvance_;
  }
  return width;
}

void ColumnFitter::FitColumn(int col, const Pending& pending) {
  const auto at = static_cast<std::size_t>(col);
  Widest& widest = widest_[at];
  const int rows = grid_->RowCount();
  int first = pending.first;
  int last = std::min(pending.last, rows - 1);
  if (pending.whole || widest.row >= rows) {
    widest = Widest{};
    first = 0;
    last = rows - 1;
  }
  for (int row = std::max(first, 0); row <= last; ++row) {
    const int estimate = Estimate(grid_->Model().Text(col, row));
    // A rewritten widest cell may have become narrower: the next whole fit finds the new one.
    if (estimate > widest.estimate || row == widest.row) {
      widest = {std::max(estimate, widest.estimate), row};
    }
  }
  int width = grid_->BaseColWidth(col);
  if (widest.row >= 0 && widest.estimate > 0) {
    const QModelIndex cell = grid_->Model().index(widest.row, col);
    const int measured = grid_->sizeHintForIndex(cell).width() + (grid_->showGrid() ? 1 : 0);
    width = std::max(width, std::max(measured, widest.estimate) + kSlack);
  }
  if (grid_->columnWidth(col) != width) grid_->horizontalHeader()->resizeSection(col, width);
}

void ColumnFitter::FitNow() {
  queued_ = false;
  const QFontMetrics metrics(grid_->font());
  for (std::size_t c = 0; c < advance_.size(); ++c) {
    advance_[c] = metrics.horizontalAdvance(QChar(static_cast<char16_t>(c)));
  }
  wideAdvance_ = metrics.horizontalAdvance(QChar(u'W'));
  const int cols = grid_->ColCount();
  pending_.resize(static_cast<std::size_t>(cols));
  widest_.resize(static_cast<std::size_t>(cols));
  for (int col = 0; col < cols; ++col) {
    Pending& p = pending_[static_cast<std::size_t>(col)];
    if (p.whole || p.first >= 0) FitColumn(col, p);
    p = Pending{};
  }
  if (sizeGrid_) {
    int width = 2 * grid_->frameWidth() + grid_->verticalScrollBar()->sizeHint().width();
    for (int col = 0; col < cols; ++col) width += grid_->columnWidth(col);
    grid_->setFixedWidth(width);
  }
  emit fitted();
}

}  // namespace vobrix::ui
