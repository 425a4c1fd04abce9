// The window operations that the run and data code use. The desktop program implements them
// with Qt widgets (ui/), the command line program and the tests with plain memory
// (toolkit/memory_toolkit.h), so the same run code drives both.
#pragma once

#include <string>
#include <vector>

namespace vobrix::toolkit {

// A string grid: the data store of the training, validation and output tables.
class Grid {
 public:
  virtual ~Grid() = default;
  virtual int RowCount() const = 0;
  virtual void SetRowCount(int rows) = 0;  // never below 1
  virtual int ColCount() const = 0;
  virtual void SetColCount(int cols) = 0;
  // A cell beyond the row or column count reads as empty.
  virtual std::string Cell(int col, int row) const = 0;
  virtual void SetCell(int col, int row, const std::string& text) = 0;
  // Writes texts into rows firstRow.. of one column at once (one repaint, not one per cell).
  virtual void SetColumn(int col, int firstRow, const std::vector<std::string>& texts) = 0;
  virtual void SetDefaultColWidth(int pixels) = 0;
};

class Label {
 public:
  virtual ~Label() = default;
  virtual std::string Caption() const = 0;
  virtual void SetCaption(const std::string& text) = 0;
  virtual bool Visible() const = 0;
  virtual void SetVisible(bool visible) = 0;
};

class Memo {
 public:
  virtual ~Memo() = default;
  virtual std::string Text() const = 0;
  virtual void SetText(const std::string& text) = 0;
};

class ProgressBar {
 public:
  virtual ~ProgressBar() = default;
  virtual void SetRange(int minimum, int maximum) = 0;
  virtual void SetPosition(int position) = 0;
  virtual int Maximum() const = 0;
  virtual int Position() const = 0;
};

// The standard button kinds: Ok shows a check mark and makes the button the window's default
// button (Enter); No shows a cross and makes it the cancel button (Esc).
enum class ButtonKind { Ok, No };

class Button {
 public:
  virtual ~Button() = default;
  virtual bool Enabled() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual std::string Caption() const = 0;
  virtual void SetCaption(const std::string& text) = 0;
  virtual ButtonKind Kind() const = 0;
  virtual void SetKind(ButtonKind kind) = 0;
};

struct ChartPoint {
  double x = 0.0;
  double y = 0.0;
  std::string label;
};

// A line chart whose series are addressed by index.
class Chart {
 public:
  virtual ~Chart() = default;
  virtual int SeriesCount() const = 0;
  virtual void ClearSeries(int series) = 0;
  // Adds points in the series' own colour; points that are not finite are left out.
  virtual void AddPoints(int series, const std::vector<ChartPoint>& points) = 0;
  void AddPoint(int series, double x, double y, const std::string& label) {
    AddPoints(series, {ChartPoint{x, y, label}});
  }
  // Replaces a series' points at once.
  virtual void ReplaceSeries(int series, const std::vector<ChartPoint>& points) = 0;
  virtual int PointCount(int series) const = 0;
  virtual std::vector<ChartPoint> Points(int series) const = 0;
  // Refused (ignored) below the axis minimum 0 and for values that are not finite.
  virtual void SetLeftAxisMaximum(double maximum) = 0;
  // Returns the vertical axis to its automatic range, so that a new run does not inherit the
  // maximum that an earlier run fixed. A chart that fixes a maximum must override this.
  virtual void SetLeftAxisAutomatic() {}
  virtual void UndoZoom() = 0;
};

// Application-wide operations.
class Application {
 public:
  virtual ~Application() = default;
  // A modal box with the application title, the text and one OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  // Dispatch all pending window messages.
  virtual void ProcessMessages() = 0;
  // Block until at least one message arrives, then dispatch (a paused run waits here).
  virtual void WaitForMessages() = 0;
  virtual void RepaintMainWindow() = 0;
  virtual void Beep() = 0;
};

}  // namespace vobrix::toolkit
