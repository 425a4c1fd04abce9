#include "ui/chart_decimation.h"

#include <algorithm>
#include <cmath>

namespace vobrix::ui {
namespace {

// The column of x: -1 left of the range, `columns` right of it.
long long ColumnOf(double x, double minX, double scale, int columns) {
  const double column = std::floor((x - minX) * scale);
  if (column < 0.0) return -1;
  if (column >= columns) return x > minX + columns / scale ? columns : columns - 1;
  return static_cast<long long>(column);
}

// Appends the run [first, last]'s first, lowest, highest and last point, in order, once each.
void KeepRun(const std::vector<toolkit::ChartPoint>& points, std::size_t first, std::size_t last,
             std::vector<std::size_t>& kept) {
  std::size_t lowest = first, highest = first;
  for (std::size_t i = first + 1; i <= last; ++i) {
    if (points[i].y < points[lowest].y) lowest = i;
    if (points[i].y > points[highest].y) highest = i;
  }
  std::size_t run[4] = {first, std::min(lowest, highest), std::max(lowest, highest), last};
  for (std::size_t index : run) {
    if (kept.empty() || kept.back() != index) kept.push_back(index);
  }
}

}  // namespace

std::vector<std::size_t> DecimatedIndexes(const std::vector<toolkit::ChartPoint>& points,
                                          double minX, double maxX, int columns) {
  std::vector<std::size_t> kept;
  const std::size_t n = points.size();
  if (columns < 1 || n <= 4 * static_cast<std::size_t>(columns) || !(maxX > minX)) {
    kept.resize(n);
    for (std::size_t i = 0; i < n; ++i) kept[i] = i;
    return kept;
  }
  kept.reserve(4 * static_cast<std::size_t>(columns) + 8);
  const double scale = columns / (maxX - minX);
  std::size_t runStart = 0;
  long long runColumn = ColumnOf(points[0].x, minX, scale, columns);
  for (std::size_t i = 1; i < n; ++i) {
    const long long column = ColumnOf(points[i].x, minX, scale, columns);
    if (column == runColumn) continue;
    KeepRun(points, runStart, i - 1, kept);
    runStart = i;
    runColumn = column;
  }
  KeepRun(points, runStart, n - 1, kept);
  return kept;
}

}  // namespace vobrix::ui
