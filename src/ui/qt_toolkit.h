// The window operations of toolkit/toolkit.h made of Qt widgets, and the one seam through which
// every modal box, the splash wait, the file dialog, the browser and process exit pass, so that
// tests can replace them.
#pragma once

#include <QAbstractTableModel>
#include <QApplication>
#include <QChartView>
#include <QColor>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QString>
#include <QTableView>
#include <QToolButton>
#include <QUrl>
#include <QValueAxis>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "problem/textconv.h"
#include "toolkit/toolkit.h"
#include "ui/chart_axes.h"

class QButtonGroup;
class QMessageBox;
class QLineEdit;
class QRadioButton;

namespace vobrix::ui {

// The caption of every message box and the application's name on the task bar.
inline constexpr const char* kApplicationTitle = "Vobrix for REGRESSION ver1.0";

// Everything that blocks, leaves the process or reaches outside it. Tests install their own.
class Seam {
 public:
  virtual ~Seam() = default;
  // A modal box with the application title, the text and one OK button.
  virtual void MessageBox(QWidget* parent, const QString& text);
  // The standard error box for an error that a handler did not expect to recover from.
  virtual void ErrorBox(QWidget* parent, const QString& text);
  // Waits while window events keep being processed (the splash).
  virtual void Wait(int milliseconds);
  // The file-open dialog; nothing when the user cancels.
  virtual std::optional<QString> OpenFileName(QWidget* parent, const QString& initialDirectory);
  // Opens a web page in the default browser; the result is not examined.
  virtual void OpenUrl(const QUrl& url);
  // Ends the process at once, without closing windows.
  [[noreturn]] virtual void Exit(int status);
};

// The modal box the real seam shows: application title, the text, one OK button.
std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const QString& text, bool error);

// The seam in use; SetSeam(nullptr) restores the real one.
Seam& seam();
void SetSeam(Seam* replacement);

// The error box's text for a text that did not convert; it names the text.
QString ConversionMessage(const ConversionError& error);

// Runs a handler body; an exception that escapes it is shown in the error box and the event
// ends there. No exception ever leaves a Qt slot.
void Guarded(QWidget* parent, const std::function<void()>& body);

// An application that reports any error escaping an event handler in the error box and goes on.
class VobrixApplication : public QApplication {
 public:
  VobrixApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// Cell texts of a string grid, one vector per column so that long series stay cheap.
class CellTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  CellTableModel(int cols, int rows, QObject* parent = nullptr);
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  void SetEditable(bool editable) { editable_ = editable; }
  int Rows() const { return rows_; }
  int Cols() const { return static_cast<int>(columns_.size()); }
  void SetRows(int rows);
  void SetCols(int cols);
  const std::string& Text(int col, int row) const;
  void SetText(int col, int row, const std::string& text);
  void SetTexts(int col, int firstRow, const std::vector<std::string>& texts);

 private:
  std::vector<std::vector<std::string>> columns_;
  int rows_ = 1;
  bool editable_ = false;
};

// A string grid: a table view over cell texts, without fixed rows or columns.
class QtGrid : public QTableView, public toolkit::Grid {
  Q_OBJECT
 public:
  QtGrid(int cols, int rows, int rowHeight, bool editable, QWidget* parent = nullptr);
  CellTableModel& Model() { return model_; }

  int RowCount() const override { return model_.Rows(); }
  void SetRowCount(int rows) override { model_.SetRows(rows); }
  int ColCount() const override { return model_.Cols(); }
  void SetColCount(int cols) override;
  std::string Cell(int col, int row) const override { return model_.Text(col, row); }
  void SetCell(int col, int row, const std::string& text) override;
  void SetColumn(int col, int firstRow, const std::vector<std::string>& texts) override;
  void SetDefaultColWidth(int pixels) override;
  void SetColWidth(int col, int pixels);
  // The width the code gave column `col` (SetColWidth, else the default width). A ColumnFitter
  // may widen the column past it.
  int BaseColWidth(int col) const;

 signals:
  // SetDefaultColWidth or SetColWidth has put columns back to their base widths.
  void colWidthsSet();

 private:
  CellTableModel model_;
  int defaultColWidth_ = 64;
  std::vector<int> colWidths_;  // per column: the width SetColWidth gave, or 0
};

class QtLabel : public QLabel, public toolkit::Label {
  Q_OBJECT
 public:
  explicit QtLabel(const QString& text, QWidget* parent = nullptr);
  std::string Caption() const override { return text().toStdString(); }
  void SetCaption(const std::string& text) override { setText(QString::fromStdString(text)); }
  // The label's own flag: a label on a page that is not shown is still "visible".
  bool Visible() const override { return !isHidden(); }
  void SetVisible(bool visible) override { setVisible(visible); }
};

class QtMemo : public QPlainTextEdit, public toolkit::Memo {
  Q_OBJECT
 public:
  explicit QtMemo(QWidget* parent = nullptr);
  // Lines are kept with "\r\n" breaks, as the reports write them.
  std::string Text() const override;
  void SetText(const std::string& text) override;
};

class QtProgressBar : public QProgressBar, public toolkit::ProgressBar {
  Q_OBJECT
 public:
  explicit QtProgressBar(QWidget* parent = nullptr);
  void SetRange(int minimum, int maximum) override;
  void SetPosition(int position) override;
  int Maximum() const override { return maximum_; }
  int Position() const override { return position_; }

 private:
  void Show();
  int minimum_ = 0;
  int maximum_ = 100;
  int position_ = 0;
};

// A button of a standard kind: Ok shows a check mark and is the window's default button (Enter);
// No shows a cross and is the cancel button (Esc). The window does the key handling.
class BitBtn : public QPushButton, public toolkit::Button {
  Q_OBJECT
 public:
  BitBtn(const QString& caption, toolkit::ButtonKind kind, QWidget* parent = nullptr);
  bool Enabled() const override { return isEnabled(); }
  void SetEnabled(bool enabled) override { setEnabled(enabled); }
  std::string Caption() const override { return text().toStdString(); }
  void SetCaption(const std::string& text) override { setText(QString::fromStdString(text)); }
  toolkit::ButtonKind Kind() const override { return kind_; }
  void SetKind(toolkit::ButtonKind kind) override;

 private:
  toolkit::ButtonKind kind_;
};

// The look of one series of a chart.
struct SeriesStyle {
  QString title;
  QColor colour;
  bool dotted = false;
  bool inLegend = true;
  bool dashed = false;  // a forecast: drawn in dashes
};

// A horizontal line across a chart at a fixed value (a baseline's error).
struct ReferenceLine {
  SeriesStyle style;
  double value = 0.0;
};

// A flat line chart with a white back wall, series addressed by index, drag zoom. The vertical
// axis always holds every point drawn (a maximum the run sets only ever widens it), ticks fall
// on round numbers, and a long series is drawn decimated (chart_decimation.h) while Points
// keeps it whole.
class QtChart : public QChartView, public toolkit::Chart {
  Q_OBJECT
 public:
  QtChart(const std::vector<SeriesStyle>& series, const QString& bottomTitle,
          const QString& leftTitle, QWidget* parent = nullptr);

  int SeriesCount() const override { return static_cast<int>(series_.size()); }
  void ClearSeries(int series) override;
  void AddPoints(int series, const std::vector<toolkit::ChartPoint>& points) override;
  void ReplaceSeries(int series, const std::vector<toolkit::ChartPoint>& points) override;
  int PointCount(int series) const override;
  std::vector<toolkit::ChartPoint> Points(int series) const override;
  void SetLeftAxisMaximum(double maximum) override;
  void SetLeftAxisAutomatic() override;
  void UndoZoom() override;

  QLineSeries* Series(int index) const { return series_.at(static_cast<std::size_t>(index)); }
  bool SeriesInLegend(int index) const;
  QValueAxis* BottomAxis() const { return axisX_; }
  // The linear vertical axis; LogAxis() takes its place while LogScale() is on.
  QValueAxis* LeftAxis() const { return axisY_; }
  QLogValueAxis* LogAxis() const { return logAxis_; }
  // Appends a series of its own style after the run's series; returns its index.
  int AppendSeries(const SeriesStyle& style);
  // A logarithmic vertical axis (base 10). Points at or below 0 are drawn on the axis' bottom.
  void SetLogScale(bool on);
  bool LogScale() const { return logScale_; }
  // Offers the log scale in the chart's context menu.
  void OfferLogScale() { logScaleOffered_ = true; }
  // Horizontal lines across the points' X range; the vertical axis holds them too.
  void SetReferenceLines(const std::vector<ReferenceLine>& lines);
  int ReferenceLineCount() const { return static_cast<int>(references_.size()); }
  QLineSeries* ReferenceSeries(int index) const {
    return referenceSeries_.at(static_cast<std::size_t>(index));
  }
  // Hands the points added since the last call to the Qt series and fits the axes. Happens
  // by itself when events are processed, at most once a frame (kFrameMs), so that adding points
  // one at a time or step after step stays cheap; a chart that is not shown waits until it is.
  // Painting long series is the costliest part of a report step: five frames a second keep the
  // charts live while a fast run spends its time evolving (with the chart windows open, a run of
  // four populations over 1,000 points took 62 ms a generation at 25 frames, 34 ms at five).
  void Flush();
  void FlushIfShown();
  static constexpr int kFrameMs = 200;

 signals:
  void doubleClicked();
  void logScaleChanged(bool on);

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  struct Bounds {
    bool any = false;
    double minX = 0.0, maxX = 0.0, minY = 0.0, maxY = 0.0;
    std::optional<double> minPositiveY;
    void Extend(double x, double y);
  };
  bool ValidIndex(int series) const;
  QLineSeries* NewLine(const SeriesStyle& style);
  void MarkAllDirty();
  // The pixel columns a series is decimated to, and the X range they span.
  int DrawColumns() const;
  void Draw(std::size_t series, double minX, double maxX);
  double DrawnY(double y) const;
  // Sets the range with round ticks for the plot's size.
  void SetAxisRange(QValueAxis* axis, AxisRange range, Qt::Orientation orientation);
  void FitTicks();
  void PlaceReferenceLines(double minX, double maxX);
  Bounds VerticalBounds() const;  // the points' and the reference lines'
  AxisRange LinearRange() const;
  AxisRange LogarithmicRange() const;
  void Store(int series, const std::vector<toolkit::ChartPoint>& points);
  void Changed(int series);
  void RecomputeBounds();
  void Rescale();

  std::vector<QLineSeries*> series_;
  std::vector<std::vector<toolkit::ChartPoint>> points_;  // with their label texts
  std::vector<bool> dirty_;
  bool flushQueued_ = false;
  QElapsedTimer lastFlush_;
  Bounds bounds_;
  QValueAxis* axisX_ = nullptr;
  QValueAxis* axisY_ = nullptr;
  QLogValueAxis* logAxis_ = nullptr;
  bool logScale_ = false;
  bool logScaleOffered_ = false;
  int drawnColumns_ = 0;
  std::vector<ReferenceLine> references_;
  std::vector<QLineSeries*> referenceSeries_;
  std::optional<double> leftMaximum_;
};

// Application-wide operations for the run code: message box, dispatch, repaint, beep.
class QtApplicationOps : public toolkit::Application {
 public:
  explicit QtApplicationOps(QWidget* mainWindow) : mainWindow_(mainWindow) {}
  void ShowMessage(const std::string& text) override;
  void ProcessMessages() override;
  void WaitForMessages() override;
  void RepaintMainWindow() override;
  void Beep() override;

 private:
  QWidget* mainWindow_;
};

// A group of radio buttons with one item index, like a radio group box.
class RadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  RadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);
  int ItemIndex() const;
  void SetItemIndex(int index);
  QRadioButton* Item(int index) const { return buttons_.at(static_cast<std::size_t>(index)); }

 signals:
  void clicked();

 private:
  QButtonGroup* group_;
  std::vector<QRadioButton*> buttons_;
};

// An up-down control tied to an edit box: its arrows step the number in the box.
class UpDown : public QWidget {
  Q_OBJECT
 public:
  UpDown(QLineEdit* associate, int minimum, int maximum, int position, QWidget* parent = nullptr);
  int Position() const { return position_; }
  int Minimum() const { return minimum_; }
  int Maximum() const { return maximum_; }
  void Step(int delta);
  QToolButton* UpButton() const { return up_; }
  QToolButton* DownButton() const { return down_; }

 private:
  QLineEdit* associate_;
  int minimum_;
  int maximum_;
  int position_;
  QToolButton* up_;
  QToolButton* down_;
};

// A secondary window holding one large chart and a Close button; closing only hides it, so
// the chart keeps its points.
class ChartWindow : public QWidget {
  Q_OBJECT
 public:
  ChartWindow(const QString& caption, QtChart* chart, QSize size, bool fixedBorder);
  // Shows the window non-modally and brings it to the front.
  void ShowInFront();
  QPushButton* CloseButton() const { return closeButton_; }

 private:
  QPushButton* closeButton_;
};

// The colours of the populations and of the keys.
QColor PopulationColour(int population, bool lime);
inline const QColor kBlack{0, 0, 0};

// Two series per population in its colour, titled `first` and `second` with the population's
// number in place of %1; the second is dotted, or the first when firstDotted. The large chart
// windows (inWindow) use lime for population 3 and show every series in the legend; the main
// window's charts keep them out of it.
std::vector<SeriesStyle> PopulationPairs(const QString& first, const QString& second,
                                         bool firstDotted, bool inWindow);
// The data series, then the four populations' training and prediction series.
std::vector<SeriesStyle> PredictionSeries(bool inWindow);

// Enables an edit box with the window colour, or disables it with the button-face colour.
void SetEditEnabled(QLineEdit* edit, bool enabled);

}  // namespace vobrix::ui
