// The window operations kept in plain memory: the command line program runs on them, and the
// tests drive whole runs with them and look at every text, point and state afterwards.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/toolkit.h"

namespace vobrix::toolkit {

// One cell's text in 16 bytes, half of a std::string: up to 15 characters in place (every
// loaded value and most computed ones), longer texts on the heap. A long series fills
// millions of cells.
class CellText {
 public:
  CellText() = default;
  CellText(const CellText& other) { Assign(other.View()); }
  CellText& operator=(const CellText& other) {
    if (this != &other) Assign(other.View());
    return *this;
  }
  CellText(CellText&& other) noexcept { Take(other); }
  CellText& operator=(CellText&& other) noexcept {
    if (this != &other) {
      Release();
      Take(other);
    }
    return *this;
  }
  ~CellText() { Release(); }
  void Assign(std::string_view text);
  std::string_view View() const;

 private:
  static constexpr unsigned char kOnHeap = 0xFF;
  void Release();
  void Take(CellText& other) noexcept;
  // In place: bytes 0..14 the text, byte 15 its length. On the heap: bytes 0..7 the pointer,
  // 8..11 the length, byte 15 kOnHeap.
  unsigned char bytes_[16] = {};
};

class MemoryGrid : public Grid {
 public:
  explicit MemoryGrid(int cols = 2, int rows = 1);
  int RowCount() const override { return rows_; }
  void SetRowCount(int rows) override;
  int ColCount() const override { return static_cast<int>(cells_.size()); }
  void SetColCount(int cols) override;
  std::string Cell(int col, int row) const override;
  // Writes outside the row or column count are dropped, as a grid drops them.
  void SetCell(int col, int row, const std::string& text) override;
  void SetColumn(int col, int firstRow, const std::vector<std::string>& texts) override;
  void SetDefaultColWidth(int pixels) override { defaultColWidth_ = pixels; }
  int DefaultColWidth() const { return defaultColWidth_; }

 private:
  int rows_ = 1;
  std::vector<std::vector<CellText>> cells_;  // by column
  int defaultColWidth_ = 64;
};

class MemoryLabel : public Label {
 public:
  std::string Caption() const override { return caption_; }
  void SetCaption(const std::string& text) override { caption_ = text; }
  bool Visible() const override { return visible_; }
  void SetVisible(bool visible) override { visible_ = visible; }

 private:
  std::string caption_;
  bool visible_ = true;
};

class MemoryMemo : public Memo {
 public:
  std::string Text() const override { return text_; }
  void SetText(const std::string& text) override { text_ = text; }

 private:
  std::string text_;
};

class MemoryProgressBar : public ProgressBar {
 public:
  void SetRange(int minimum, int maximum) override;
  void SetPosition(int position) override { position_ = position; }
  int Minimum() const { return minimum_; }
  int Maximum() const override { return maximum_; }
  int Position() const override { return position_; }

 private:
  int minimum_ = 0;
  int maximum_ = 100;
  int position_ = 0;
};

class MemoryButton : public Button {
 public:
  explicit MemoryButton(std::string caption = {}, ButtonKind kind = ButtonKind::Ok,
                        bool enabled = true)
      : caption_(std::move(caption)), kind_(kind), enabled_(enabled) {}
  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  std::string Caption() const override { return caption_; }
  void SetCaption(const std::string& text) override { caption_ = text; }
  ButtonKind Kind() const override { return kind_; }
  void SetKind(ButtonKind kind) override { kind_ = kind; }

 private:
  std::string caption_;
  ButtonKind kind_;
  bool enabled_;
};

class MemoryChart : public Chart {
 public:
  explicit MemoryChart(int seriesCount);
  int SeriesCount() const override { return static_cast<int>(series_.size()); }
  void ClearSeries(int series) override;
  void AddPoints(int series, const std::vector<ChartPoint>& points) override;
  void ReplaceSeries(int series, const std::vector<ChartPoint>& points) override;
  int PointCount(int series) const override;
  std::vector<ChartPoint> Points(int series) const override;
  void SetLeftAxisMaximum(double maximum) override;
  void SetLeftAxisAutomatic() override { leftAxisMaximum_.reset(); }
  void UndoZoom() override { ++undoZoomCount_; }

  // The fixed maximum of the vertical axis, nothing while it is automatic.
  std::optional<double> LeftAxisMaximum() const { return leftAxisMaximum_; }
  int UndoZoomCount() const { return undoZoomCount_; }
  // Calls of AddPoints and ReplaceSeries on one series (each one repaint in a real chart).
  int UpdateCount(int series) const;
  // From now on the chart only counts the points it would show (Points gives none), for a
  // chart that nobody looks at: a long series costs it no memory.
  void KeepNoPoints();

 private:
  std::vector<ChartPoint>& At(int series);
  const std::vector<ChartPoint>& At(int series) const;

  std::vector<std::vector<ChartPoint>> series_;
  std::vector<int> counts_;  // points shown per series
  std::vector<int> updates_;
  bool keepPoints_ = true;
  std::optional<double> leftAxisMaximum_;
  int undoZoomCount_ = 0;
};

class MemoryApplication : public Application {
 public:
  // Records the text instead of showing a box.
  void ShowMessage(const std::string& text) override { messages_.push_back(text); }
  // Runs the hook, if any, as the events that arrive while messages are dispatched.
  void ProcessMessages() override;
  // Runs the hook as the event that ends the wait. Without a hook nothing could ever end it,
  // so the wait fails with std::logic_error instead of hanging.
  void WaitForMessages() override;
  void RepaintMainWindow() override { ++repaints_; }
  void Beep() override { ++beeps_; }

  // Called from ProcessMessages and WaitForMessages; a test presses buttons from here.
  std::function<void()> messageHook;

  const std::vector<std::string>& Messages() const { return messages_; }
  int ProcessCount() const { return processCount_; }
  int WaitCount() const { return waitCount_; }
  int Repaints() const { return repaints_; }
  int Beeps() const { return beeps_; }

 private:
  std::vector<std::string> messages_;
  int processCount_ = 0;
  int waitCount_ = 0;
  int repaints_ = 0;
  int beeps_ = 0;
};

}  // namespace vobrix::toolkit
