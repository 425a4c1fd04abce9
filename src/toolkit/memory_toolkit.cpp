#include "toolkit/memory_toolkit.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace vobrix::toolkit {

void CellText::Assign(std::string_view text) {
  Release();
  if (text.size() < sizeof bytes_) {
    std::memcpy(bytes_, text.data(), text.size());
    bytes_[15] = static_cast<unsigned char>(text.size());
    return;
  }
  char* heap = new char[text.size()];
  std::memcpy(heap, text.data(), text.size());
  const auto size = static_cast<std::uint32_t>(text.size());
  std::memcpy(bytes_, &heap, sizeof heap);
  std::memcpy(bytes_ + 8, &size, sizeof size);
  bytes_[15] = kOnHeap;
}

std::string_view CellText::View() const {
  if (bytes_[15] != kOnHeap) return {reinterpret_cast<const char*>(bytes_), bytes_[15]};
  const char* heap = nullptr;
  std::uint32_t size = 0;
  std::memcpy(&heap, bytes_, sizeof heap);
  std::memcpy(&size, bytes_ + 8, sizeof size);
  return {heap, size};
}

void CellText::Take(CellText& other) noexcept {
  std::memcpy(bytes_, other.bytes_, sizeof bytes_);
  other.bytes_[15] = 0;  // the heap text, if any, is ours now
}

void CellText::Release() {
  if (bytes_[15] == kOnHeap) {
    char* heap = nullptr;
    std::memcpy(&heap, bytes_, sizeof heap);
    delete[] heap;
  }
  bytes_[15] = 0;
}

MemoryGrid::MemoryGrid(int cols, int rows) {
  SetColCount(cols);
  SetRowCount(rows);
}

void MemoryGrid::SetRowCount(int rows) {
  rows_ = std::max(rows, 1);
  for (auto& column : cells_) column.resize(static_cast<std::size_t>(rows_));
}

void MemoryGrid::SetColCount(int cols) {
  cells_.resize(static_cast<std::size_t>(std::max(cols, 1)));
  for (auto& column : cells_) column.resize(static_cast<std::size_t>(rows_));
}

std::string MemoryGrid::Cell(int col, int row) const {
  if (col < 0 || row < 0 || col >= ColCount() || row >= rows_) return {};
  return std::string(cells_[static_cast<std::size_t>(col)][static_cast<std::size_t>(row)].View());
}

void MemoryGrid::SetCell(int col, int row, const std::string& text) {
  if (col < 0 || row < 0 || col >= ColCount() || row >= rows_) return;
  cells_[static_cast<std::size_t>(col)][static_cast<std::size_t>(row)].Assign(text);
}

void MemoryGrid::SetColumn(int col, int firstRow, const std::vector<std::string>& texts) {
  if (col < 0 || col >= ColCount() || firstRow < 0) return;
  auto& column = cells_[static_cast<std::size_t>(col)];
  const std::size_t first = static_cast<std::size_t>(firstRow);
  for (std::size_t k = 0; k < texts.size() && first + k < column.size(); ++k) {
    column[first + k].Assign(texts[k]);
  }
}

void MemoryProgressBar::SetRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
}

MemoryChart::MemoryChart(int seriesCount)
    : series_(static_cast<std::size_t>(seriesCount)),
      counts_(static_cast<std::size_t>(seriesCount), 0),
      updates_(static_cast<std::size_t>(seriesCount), 0) {}

std::vector<ChartPoint>& MemoryChart::At(int series) {
  if (series < 0 || series >= SeriesCount()) throw std::out_of_range("no such chart series");
  return series_[static_cast<std::size_t>(series)];
}

const std::vector<ChartPoint>& MemoryChart::At(int series) const {
  if (series < 0 || series >= SeriesCount()) throw std::out_of_range("no such chart series");
  return series_[static_cast<std::size_t>(series)];
}

void MemoryChart::ClearSeries(int series) {
  At(series).clear();
  counts_[static_cast<std::size_t>(series)] = 0;
}

void MemoryChart::AddPoints(int series, const std::vector<ChartPoint>& points) {
  auto& target = At(series);
  const auto shown = [](const ChartPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y); };
  if (keepPoints_) std::copy_if(points.begin(), points.end(), std::back_inserter(target), shown);
  counts_[static_cast<std::size_t>(series)] +=
      static_cast<int>(std::count_if(points.begin(), points.end(), shown));
  ++updates_[static_cast<std::size_t>(series)];
}

void MemoryChart::ReplaceSeries(int series, const std::vector<ChartPoint>& points) {
  ClearSeries(series);
  AddPoints(series, points);
}

int MemoryChart::PointCount(int series) const {
  At(series);
  return counts_[static_cast<std::size_t>(series)];
}

void MemoryChart::KeepNoPoints() {
  keepPoints_ = false;
  for (auto& points : series_) std::vector<ChartPoint>().swap(points);
}

std::vector<ChartPoint> MemoryChart::Points(int series) const {
  return At(series);
}

void MemoryChart::SetLeftAxisMaximum(double maximum) {
  if (!std::isfinite(maximum) || maximum < 0.0) return;
  leftAxisMaximum_ = maximum;
}

int MemoryChart::UpdateCount(int series) const {
  At(series);
  return updates_[static_cast<std::size_t>(series)];
}

void MemoryApplication::ProcessMessages() {
  ++processCount_;
  if (messageHook) messageHook();
}

void MemoryApplication::WaitForMessages() {
  ++waitCount_;
  if (!messageHook) throw std::logic_error("waiting for a message that can never come");
  messageHook();
}

}  // namespace vobrix::toolkit
