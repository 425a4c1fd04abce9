#include "ui/qt_toolkit.h"

#include <QButtonGroup>
#include <QChart>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QRadioButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace vobrix::ui {

// ---- Seam ----------------------------------------------------------------------------------

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const QString& text, bool error) {
  return std::make_unique<QMessageBox>(error ? QMessageBox::Critical : QMessageBox::NoIcon,
                                       QString::fromUtf8(kApplicationTitle), text, QMessageBox::Ok,
                                       parent);
}

void Seam::MessageBox(QWidget* parent, const QString& text) {
  MakeMessageBox(parent, text, false)->exec();
}

void Seam::ErrorBox(QWidget* parent, const QString& text) {
  MakeMessageBox(parent, text, true)->exec();
}

void Seam::Wait(int milliseconds) {
  // A local event loop keeps painting and input going while the time runs.
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

std::optional<QString> Seam::OpenFileName(QWidget* parent, const QString& initialDirectory) {
  // A remembered folder that does not exist here (the first start's "C:\") would be taken
  // for a file name; the dialog then starts in the working directory.
  const QString start = QFileInfo(initialDirectory).isDir() ? initialDirectory : QString();
  const QString file = QFileDialog::getOpenFileName(parent, QString(), start);
  if (file.isEmpty()) return std::nullopt;
  return file;
}

void Seam::OpenUrl(const QUrl& url) {
  QDesktopServices::openUrl(url);
}

void Seam::Exit(int status) {
  std::fflush(nullptr);
  std::_Exit(status);
}

namespace {
Seam realSeam;
Seam* currentSeam = &realSeam;
}  // namespace

Seam& seam() {
  return *currentSeam;
}
void SetSeam(Seam* replacement) {
  currentSeam = replacement ? replacement : &realSeam;
}

QString ConversionMessage(const ConversionError& error) {
  return QString::fromStdString(error.what());
}

void Guarded(QWidget* parent, const std::function<void()>& body) {
  try {
    body();
  } catch (const std::exception& error) {
    seam().ErrorBox(parent, QString::fromUtf8(error.what()));
  } catch (...) {
    seam().ErrorBox(parent, QStringLiteral("Unknown error"));
  }
}

VobrixApplication::VobrixApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool VobrixApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    seam().ErrorBox(nullptr, QString::fromUtf8(error.what()));
  } catch (...) {
    seam().ErrorBox(nullptr, QStringLiteral("Unknown error"));
  }
  return false;
}

// ---- Grid ----------------------------------------------------------------------------------

namespace {
const std::string kEmpty;
}

CellTableModel::CellTableModel(int cols, int rows, QObject* parent)
    : QAbstractTableModel(parent),
      columns_(static_cast<std::size_t>(std::max(cols, 1)),
               std::vector<std::string>(static_cast<std::size_t>(std::max(rows, 1)))),
      rows_(std::max(rows, 1)) {}

int CellTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int CellTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Cols();
}

QVariant CellTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (role == Qt::ToolTipRole) {
    // The whole text, for a cell too narrow for it; an empty cell has no tool tip.
    const std::string& text = Text(index.column(), index.row());
    return text.empty() ? QVariant() : QVariant(QString::fromStdString(text));
  }
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  return QString::fromStdString(Text(index.column(), index.row()));
}

bool CellTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole || !editable_) return false;
  SetText(index.column(), index.row(), value.toString().toStdString());
  return true;
}

Qt::ItemFlags CellTableModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = QAbstractTableModel::flags(index);
  if (editable_) flags |= Qt::ItemIsEditable;
  return flags;
}

void CellTableModel::SetRows(int rows) {
  rows = std::max(rows, 1);
  if (rows == rows_) return;
  if (rows > rows_) {
    beginInsertRows(QModelIndex(), rows_, rows - 1);
  } else {
    beginRemoveRows(QModelIndex(), rows, rows_ - 1);
  }
  for (auto& column : columns_) column.resize(static_cast<std::size_t>(rows));
  const bool growing = rows > rows_;
  rows_ = rows;
  if (growing) {
    endInsertRows();
  } else {
    endRemoveRows();
  }
}

void CellTableModel::SetCols(int cols) {
  cols = std::max(cols, 1);
  const int old = Cols();
  if (cols == old) return;
  if (cols > old) {
    beginInsertColumns(QModelIndex(), old, cols - 1);
    columns_.resize(static_cast<std::size_t>(cols),
                    std::vector<std::string>(static_cast<std::size_t>(rows_)));
    endInsertColumns();
  } else {
    beginRemoveColumns(QModelIndex(), cols, old - 1);
    columns_.resize(static_cast<std::size_t>(cols));
    endRemoveColumns();
  }
}

const std::string& CellTableModel::Text(int col, int row) const {
  if (col < 0 || row < 0 || col >= Cols() || row >= rows_) return kEmpty;
  return columns_[static_cast<std::size_t>(col)][static_cast<std::size_t>(row)];
}

void CellTableModel::SetText(int col, int row, const std::string& text) {
  if (col < 0 || row < 0 || col >= Cols() || row >= rows_) return;
  columns_[static_cast<std::size_t>(col)][static_cast<std::size_t>(row)] = text;
  const QModelIndex cell = index(row, col);
  emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::EditRole});
}

void CellTableModel::SetTexts(int col, int firstRow, const std::vector<std::string>& texts) {
  if (col < 0 || col >= Cols() || firstRow < 0 || firstRow >= rows_ || texts.empty()) return;
  auto& column = columns_[static_cast<std::size_t>(col)];
  const int last = std::min(rows_ - 1, firstRow + static_cast<int>(texts.size()) - 1);
  for (int row = firstRow; row <= last; ++row) {
    column[static_cast<std::size_t>(row)] = texts[static_cast<std::size_t>(row - firstRow)];
  }
  emit dataChanged(index(firstRow, col), index(last, col), {Qt::DisplayRole, Qt::EditRole});
}

QtGrid::QtGrid(int cols, int rows, int rowHeight, bool editable, QWidget* parent)
    : QTableView(parent), model_(cols, rows) {
  model_.SetEditable(editable);
  setModel(&model_);
  horizontalHeader()->hide();
  verticalHeader()->hide();
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(rowHeight);
  horizontalHeader()->setMinimumSectionSize(1);
  SetDefaultColWidth(defaultColWidth_);
  setWordWrap(false);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(editable ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                 QAbstractItemView::AnyKeyPressed
                           : QAbstractItemView::NoEditTriggers);
  setTabKeyNavigation(editable);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void QtGrid::SetColCount(int cols) {
  const int old = model_.Cols();
  model_.SetCols(cols);
  for (int col = old; col < model_.Cols(); ++col) {
    horizontalHeader()->resizeSection(col, defaultColWidth_);
  }
}

void QtGrid::SetCell(int col, int row, const std::string& text) {
  model_.SetText(col, row, text);
}

void QtGrid::SetColumn(int col, int firstRow, const std::vector<std::string>& texts) {
  model_.SetTexts(col, firstRow, texts);
}

void QtGrid::SetDefaultColWidth(int pixels) {
  defaultColWidth_ = pixels;
  colWidths_.clear();
  horizontalHeader()->setDefaultSectionSize(pixels);
  for (int col = 0; col < model_.Cols(); ++col) horizontalHeader()->resizeSection(col, pixels);
  emit colWidthsSet();
}

void QtGrid::SetColWidth(int col, int pixels) {
  if (col < 0) return;
  if (static_cast<std::size_t>(col) >= colWidths_.size()) {
    colWidths_.resize(static_cast<std::size_t>(col) + 1, 0);
  }
  colWidths_[static_cast<std::size_t>(col)] = pixels;
  horizontalHeader()->resizeSection(col, pixels);
  emit colWidthsSet();
}

int QtGrid::BaseColWidth(int col) const {
  const auto at = static_cast<std::size_t>(col);
  return at < colWidths_.size() && colWidths_[at] > 0 ? colWidths_[at] : defaultColWidth_;
}

// ---- Label, memo, progress bar, button -----------------------------------------------------

QtLabel::QtLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}

QtMemo::QtMemo(QWidget* parent) : QPlainTextEdit(parent) {
  // Long expressions wrap at the memo's width, so the vertical scroll bar reaches all of them.
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
}

std::string QtMemo::Text() const {
  return toPlainText().replace(QLatin1Char('\n'), QLatin1String("\r\n")).toStdString();
}

void QtMemo::SetText(const std::string& text) {
  setPlainText(QString::fromStdString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
}

QtProgressBar::QtProgressBar(QWidget* parent) : QProgressBar(parent) {
  Show();
}

void QtProgressBar::SetRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
  Show();
}

void QtProgressBar::SetPosition(int position) {
  position_ = position;
  Show();
}

void QtProgressBar::Show() {
  // An empty range would turn Qt's bar into a busy indicator; show it as an empty bar instead.
  const int top = std::max(maximum_, minimum_ + 1);
  setRange(minimum_, top);
  setValue(std::clamp(position_, minimum_, top));
}

BitBtn::BitBtn(const QString& caption, toolkit::ButtonKind kind, QWidget* parent)
    : QPushButton(caption, parent), kind_(kind) {
  SetKind(kind);
}

void BitBtn::SetKind(toolkit::ButtonKind kind) {
  kind_ = kind;
  setIcon(style()->standardIcon(kind == toolkit::ButtonKind::Ok ? QStyle::SP_DialogApplyButton
                                                                : QStyle::SP_DialogCancelButton));
}

// ---- Application ---------------------------------------------------------------------------

void QtApplicationOps::ShowMessage(const std::string& text) {
  seam().MessageBox(mainWindow_, QString::fromStdString(text));
}

void QtApplicationOps::ProcessMessages() {
  QCoreApplication::processEvents();
}

void QtApplicationOps::WaitForMessages() {
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void QtApplicationOps::RepaintMainWindow() {
  if (!mainWindow_) return;
  // Paint now what changed, not the whole window: every control has already asked for its own
  // update (the charts take their new points once a frame, when events are processed).
  // Repainting every frame, tab and scroll bar of the window at each step would cost more than
  // the step's own report. Only paint requests are sent: no handler runs here.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
}

void QtApplicationOps::Beep() {
  QApplication::beep();
}

// ---- Radio group, up-down, colours ---------------------------------------------------------

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 2, 6, 2);
  layout->setSpacing(0);
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], this);
    group_->addButton(button, i);
    layout->addWidget(button);
    buttons_.push_back(button);
  }
  connect(group_, &QButtonGroup::idClicked, this, [this](int) { emit clicked(); });
}

int RadioGroup::ItemIndex() const {
  return group_->checkedId();
}

void RadioGroup::SetItemIndex(int index) {
  if (index >= 0 && index < static_cast<int>(buttons_.size())) {
    buttons_[static_cast<std::size_t>(index)]->setChecked(true);
  }
}

UpDown::UpDown(QLineEdit* associate, int minimum, int maximum, int position, QWidget* parent)
    : QWidget(parent),
      associate_(associate),
      minimum_(minimum),
      maximum_(maximum),
      position_(position),
      up_(new QToolButton(this)),
      down_(new QToolButton(this)) {
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  up_->setAutoRepeat(true);
  down_->setAutoRepeat(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (QToolButton* button : {up_, down_}) {
    button->setFixedSize(16, 11);
    button->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(button);
  }
  connect(up_, &QToolButton::clicked, this, [this] { Step(1); });
  connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
}

void UpDown::Step(int delta) {
  // The box may have been typed into: step from its number when it holds one in range.
  try {
    position_ = std::clamp(static_cast<int>(TextToInt(associate_->text().toStdString())), minimum_,
                           maximum_);
  } catch (const ConversionError&) {
  }
  position_ = std::clamp(position_ + delta, minimum_, maximum_);
  associate_->setText(QString::number(position_));
}

ChartWindow::ChartWindow(const QString& caption, QtChart* chart, QSize size, bool fixedBorder)
    : QWidget(nullptr, fixedBorder ? Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint : Qt::Window),
      closeButton_(new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton),
                                   QStringLiteral("Close"), this)) {
  setWindowTitle(caption);
  setAttribute(Qt::WA_QuitOnClose, false);
  chart->setParent(this);
  // Every series is in the legend here: beside the chart there is room for whole titles.
  chart->chart()->legend()->setAlignment(Qt::AlignRight);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 8, 8);
  layout->addWidget(chart, 1);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  buttons->addWidget(closeButton_);
  layout->addLayout(buttons);
  connect(closeButton_, &QPushButton::clicked, this, &QWidget::hide);
  if (fixedBorder) {
    setFixedSize(size);
  } else {
    resize(size);
  }
}

void ChartWindow::ShowInFront() {
  show();
  raise();
  activateWindow();
}

QColor PopulationColour(int population, bool lime) {
  switch (population) {
    case 0:
      return QColor(255, 0, 0);
    case 1:
      return QColor(0, 0, 255);
    case 2:
      return lime ? QColor(0, 255, 0) : QColor(0, 128, 0);
    default:
      return QColor(255, 255, 0);
  }
}

std::vector<SeriesStyle> PopulationPairs(const QString& first, const QString& second,
                                         bool firstDotted, bool inWindow) {
  std::vector<SeriesStyle> series;
  for (int i = 0; i < 4; ++i) {
    const QColor colour = PopulationColour(i, inWindow);
    series.push_back({first.arg(i + 1), colour, firstDotted, inWindow});
    series.push_back({second.arg(i + 1), colour, !firstDotted, inWindow});
  }
  return series;
}

std::vector<SeriesStyle> PredictionSeries(bool inWindow) {
  std::vector<SeriesStyle> series{{QStringLiteral("data"), kBlack, false, inWindow}};
  for (bool dotted : {false, true}) {
    for (int i = 0; i < 4; ++i) {
      series.push_back({dotted ? QStringLiteral("Prediction") : QStringLiteral("Training"),
                        PopulationColour(i, inWindow), dotted, inWindow});
    }
  }
  return series;
}

void SetEditEnabled(QLineEdit* edit, bool enabled) {
  edit->setEnabled(enabled);
  QPalette palette = edit->palette();
  const QPalette& standard = QApplication::palette();
  palette.setColor(QPalette::Base, enabled ? standard.color(QPalette::Active, QPalette::Base)
                                           : standard.color(QPalette::Active, QPalette::Button));
  edit->setPalette(palette);
}

}  // namespace vobrix::ui
