// The data side of the main window: loading the two data grids from files, clearing them, and
// the Normalization / Reset pair with its backup grids. The grids are the data store; every
// handler here either changes them completely or not at all.
#include <QAction>
#include <QHelpEvent>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <string>
#include <utility>
#include <vector>

#include "problem/datafile.h"
#include "problem/normalize.h"
#include "problem/textconv.h"
#include "run/grid_rows.h"
#include "ui/data_hint.h"
#include "ui/grid_fit.h"
#include "ui/unit1.h"

namespace vobrix::ui {

namespace {

// Training cells are typed by hand; a text the run will refuse at Start is shown on a pink
// ground at once, so that the user finds it without reading every row. The editor itself
// accepts any text. The tool tip shows the whole text.
class DataCellDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override {
    if (event->type() != QEvent::ToolTip) {
      return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty()) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(event->globalPos(),
                         Flagged(text) ? QStringLiteral("\"%1\" is not a number").arg(text) : text,
                         view);
    }
    return true;
  }

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    if (Flagged(index.data(Qt::DisplayRole).toString())) {
      option->backgroundBrush = QColor(255, 192, 192);
    }
  }

 private:
  static bool Flagged(const QString& text) {
    return !text.isEmpty() && !IsNumber(text.toStdString());
  }
};

void EmptyGrid(QtGrid* grid) {
  const std::vector<std::string> empty(static_cast<std::size_t>(grid->RowCount()));
  for (int col = 0; col < grid->ColCount(); ++col) grid->SetColumn(col, 0, empty);
}

}  // namespace

void TForm1::SetUpDataGrids() {
  StringGrid1->setItemDelegate(new DataCellDelegate(StringGrid1));
  StringGrid3->setItemDelegate(new DataCellDelegate(StringGrid3));
  // The grids widen with their texts; the captions above the training columns follow.
  auto* training = new ColumnFitter(StringGrid1, true);
  new ColumnFitter(StringGrid3, true);
  connect(training, &ColumnFitter::fitted, this, [this] {
    Label20->setFixedWidth(StringGrid1->columnWidth(0));
    Label26->setFixedWidth(StringGrid1->columnWidth(1));
  });
  DataHint->setWordWrap(true);
  DataHint->setText(DataHintText(SampleDataFolder()));
  DataHint->setTextInteractionFlags(Qt::TextSelectableByMouse);
  for (QtGrid* grid : {StringGrid1, StringGrid3}) {
    connect(&grid->Model(), &QAbstractItemModel::dataChanged, this, &TForm1::UpdateDataHint);
  }
  UpdateDataHint();
}

void TForm1::UpdateDataHint() {
  DataHint->setVisible(AllCellsEmpty(*StringGrid1) && AllCellsEmpty(*StringGrid3));
}

bool TForm1::AllCellsEmpty(const toolkit::Grid& grid) {
  for (int row = 0; row < grid.RowCount(); ++row) {
    for (int col = 0; col < grid.ColCount(); ++col) {
      if (!grid.Cell(col, row).empty()) return false;
    }
  }
  return true;
}

void TForm1::SetDataControlsEnabled(bool enabled) {
  dataControlsEnabled_ = enabled;
  ApplyDataControlStates();
}

void TForm1::ApplyDataControlStates() {
  const bool on = dataControlsEnabled_;
  for (QPushButton* button : {BitBtn3, Button1, Button4, Button5, Button2}) {
    button->setEnabled(on && !normalized_);
  }
  Button3->setEnabled(on && normalized_);
  // Normalization leaves the menu entry enabled; only the lock takes it away.
  LoadTrainingData2->setEnabled(on);
  StringGrid1->Model().SetEditable(on);
}

void TForm1::LoadDataFile(QtGrid* grid) {
  if (!dataControlsEnabled_) return;
  if (normalized_) {
    // Only Ctrl+T gets here. Loading would mix normalized and raw data: the new training Y
    // would be raw while the validation Y stay scaled by the old training range, and Reset
    // would then write the old backup over the new rows. So the load is refused.
    seam().MessageBox(this, QStringLiteral("Please press Reset before loading new data."));
    return;
  }
  const std::optional<QString> file = ExecuteOpenDialog();
  if (!file) return;
  std::vector<CellRow> rows;
  try {
    rows = ReadDataFile(file->toStdString());
  } catch (const DataFileError& error) {
    seam().MessageBox(this, LoadFailureMessage(error));
    return;
  }
  FillGrid(*grid, rows);
  grid->scrollToTop();
}

void TForm1::BitBtn3Click() {
  LoadDataFile(StringGrid1);
}

void TForm1::Button4Click() {
  LoadDataFile(StringGrid3);
}

void TForm1::BitBtn4Click() {
  // The menu entry for validation data is never enabled; should it fire, it does what the
  // validation Load button does.
  LoadDataFile(StringGrid3);
}

void TForm1::Button1Click() {
  if (!dataControlsEnabled_ || normalized_) return;
  EmptyGrid(StringGrid1);
}

void TForm1::Button5Click() {
  if (!dataControlsEnabled_ || normalized_) return;
  EmptyGrid(StringGrid3);
}

void TForm1::Button2Click() {
  if (!dataControlsEnabled_ || normalized_) return;
  const std::vector<CellRow> training = GridRows(*StringGrid1);
  const std::vector<CellRow> validation = GridRows(*StringGrid3);
  NormalizedData data;
  try {
    data = Normalize(training, validation);
  } catch (const NormalizationError& error) {
    seam().MessageBox(this, QString::fromStdString(error.what()));
    return;
  }
  FillGrid(*StringGrid2, training);
  FillGrid(*StringGrid6, validation);
  FillGrid(*StringGrid1, data.training);
  FillGrid(*StringGrid3, data.validation);
  normalized_ = true;
  ApplyDataControlStates();
}

void TForm1::Button3Click() {
  if (!dataControlsEnabled_ || !normalized_) return;
  // Rows 0 .. n-1 of each backup go back, n being the data grid's row count now.
  const std::pair<QtGrid*, QtGrid*> pairs[] = {{StringGrid1, StringGrid2},
                                               {StringGrid3, StringGrid6}};
  for (const auto& [grid, backup] : pairs) {
    for (int col = 0; col < 2; ++col) {
      std::vector<std::string> texts(static_cast<std::size_t>(grid->RowCount()));
      for (int row = 0; row < grid->RowCount(); ++row) {
        texts[static_cast<std::size_t>(row)] = backup->Cell(col, row);
      }
      grid->SetColumn(col, 0, texts);
      backup->SetColumn(col, 0, std::vector<std::string>(texts.size()));
    }
  }
  normalized_ = false;
  ApplyDataControlStates();
}

}  // namespace vobrix::ui
