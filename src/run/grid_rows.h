// Data grids as rows of cell texts and back: how the loaders, normalization and the command
// line move data in and out of StringGrid1 and StringGrid3.
#pragma once

#include <vector>

#include "problem/problem.h"
#include "toolkit/toolkit.h"

namespace vobrix {

// Row count = the number of rows (the grid keeps at least one), X in column 0, Y in column 1.
void FillGrid(toolkit::Grid& grid, const std::vector<CellRow>& rows);

// The X and Y texts of every row.
std::vector<CellRow> GridRows(const toolkit::Grid& grid);

}  // namespace vobrix
