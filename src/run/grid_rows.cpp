#include "run/grid_rows.h"

#include <string>

namespace vobrix {

void FillGrid(toolkit::Grid& grid, const std::vector<CellRow>& rows) {
  grid.SetRowCount(static_cast<int>(rows.size()));
  if (rows.empty()) {
    grid.SetCell(0, 0, "");
    grid.SetCell(1, 0, "");
    return;
  }
  std::vector<std::string> xs;
  std::vector<std::string> ys;
  xs.reserve(rows.size());
  ys.reserve(rows.size());
  for (const CellRow& row : rows) {
    xs.push_back(row.x);
    ys.push_back(row.y);
  }
  grid.SetColumn(0, 0, xs);
  grid.SetColumn(1, 0, ys);
}

std::vector<CellRow> GridRows(const toolkit::Grid& grid) {
  std::vector<CellRow> rows(static_cast<std::size_t>(grid.RowCount()));
  for (int r = 0; r < grid.RowCount(); ++r) {
    rows[static_cast<std::size_t>(r)] = {grid.Cell(0, r), grid.Cell(1, r)};
  }
  return rows;
}

}  // namespace vobrix
