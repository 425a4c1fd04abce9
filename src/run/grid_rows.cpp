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
  // One column at a time, so that a long series is copied once more by a column, not by two.
  for (std::string CellRow::*cell : {&CellRow::x, &CellRow::y}) {
    std::vector<std::string> texts;
    texts.reserve(rows.size());
    for (const CellRow& row : rows) texts.push_back(row.*cell);
    grid.SetColumn(cell == &CellRow::x ? 0 : 1, 0, texts);
  }
}

std::vector<CellRow> GridRows(const toolkit::Grid& grid) {
  std::vector<CellRow> rows(static_cast<std::size_t>(grid.RowCount()));
  for (int r = 0; r < grid.RowCount(); ++r) {
    rows[static_cast<std::size_t>(r)] = {grid.Cell(0, r), grid.Cell(1, r)};
  }
  return rows;
}

}  // namespace vobrix
