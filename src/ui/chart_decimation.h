// What a chart draws of a long series: per pixel column the first, lowest, highest and last
// point, in the series' order, so that the drawn line covers exactly the pixels the whole
// series would cover while drawing a few thousand points instead of hundreds of thousands.
// The data themselves (the grids, the chart's stored points) stay whole.
#pragma once

#include <cstddef>
#include <vector>

#include "toolkit/toolkit.h"

namespace vobrix::ui {

// The indexes of the points to draw, ascending. Consecutive points that fall into the same of
// `columns` equal columns over [minX, maxX] form one run, of which the first, the lowest, the
// highest and the last point are kept; points left or right of the range gather in one column
// on either side. A series of at most 4 * columns points, or columns < 1, is kept whole.
std::vector<std::size_t> DecimatedIndexes(const std::vector<toolkit::ChartPoint>& points,
                                          double minX, double maxX, int columns);

}  // namespace vobrix::ui
