// The in-memory controls keep the effects the run relies on.
#include "toolkit/memory_toolkit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <stdexcept>
#include <string>

namespace vobrix::toolkit {
namespace {

TEST(MemoryGrid, KeepsOneRowAndReadsEmptyBeyondItsCells) {
  MemoryGrid grid(2, 3);
  grid.SetCell(1, 2, "x");
  grid.SetRowCount(0);
  EXPECT_EQ(grid.RowCount(), 1);
  EXPECT_EQ(grid.Cell(1, 2), "");
  grid.SetCell(5, 0, "dropped");
  grid.SetColumn(0, 0, {"a", "b", "c"});
  EXPECT_EQ(grid.Cell(0, 0), "a");
  EXPECT_EQ(grid.Cell(0, 1), "");
  grid.SetRowCount(2);
  EXPECT_EQ(grid.Cell(0, 1), "");  // dropped rows do not come back
}

// Cells keep short texts in place and long ones on the heap: every length reads back, through
// overwrites, growth of the grid and copies of it.
TEST(MemoryGrid, TextsOfEveryLengthSurviveOverwritesGrowthAndCopies) {
  // 15 characters are the longest kept in place, 16 the shortest on the heap.
  const std::string texts[] = {"",
                               "1",
                               "-1.23457E-5",
                               "123456789012345",
                               "1234567890123456",
                               "-0.0123456789012345",
                               std::string(300, 'x')};
  MemoryGrid grid(2, 1);
  for (std::size_t round = 0; round < 3; ++round) {
    grid.SetRowCount(static_cast<int>((round + 1) * std::size(texts)));  // moves every cell
    for (std::size_t i = 0; i < std::size(texts); ++i) {
      const auto row = static_cast<int>(round * std::size(texts) + i);
      grid.SetCell(0, row, texts[i]);
      grid.SetColumn(1, row, {texts[std::size(texts) - 1 - i]});
    }
  }
  const MemoryGrid copy = grid;
  grid.SetCell(0, 0, "short again");
  for (int row = 0; row < copy.RowCount(); ++row) {
    const std::size_t i = static_cast<std::size_t>(row) % std::size(texts);
    EXPECT_EQ(copy.Cell(0, row), texts[i]) << row;
    EXPECT_EQ(copy.Cell(1, row), texts[std::size(texts) - 1 - i]) << row;
    if (row > 0) {
      EXPECT_EQ(grid.Cell(0, row), texts[i]) << row;
    }
  }
  EXPECT_EQ(grid.Cell(0, 0), "short again");
}

// A chart nobody looks at (the command line's) counts its points without keeping them: a
// long series would otherwise cost it a copy of every point.
TEST(MemoryChart, AChartThatKeepsNoPointsStillCountsThem) {
  for (const bool keep : {true, false}) {
    MemoryChart chart(2);
    if (!keep) chart.KeepNoPoints();
    chart.AddPoints(0, {{0, 1, "a"}, {1, NAN, "b"}, {2, 3, "c"}});
    chart.AddPoints(0, {{3, 4, "d"}});
    chart.ReplaceSeries(1, {{0, 5, "e"}});
    chart.ReplaceSeries(1, {{0, 6, "f"}, {1, 7, "g"}});
    EXPECT_EQ(chart.PointCount(0), 3) << keep;
    EXPECT_EQ(chart.PointCount(1), 2) << keep;
    EXPECT_EQ(chart.UpdateCount(0), 2) << keep;
    EXPECT_EQ(chart.Points(0).size(), keep ? 3u : 0u);
    chart.ClearSeries(0);
    EXPECT_EQ(chart.PointCount(0), 0) << keep;
  }
}

TEST(MemoryApplication, WaitWithoutAnythingToEndItFailsInsteadOfHanging) {
  MemoryApplication app;
  EXPECT_THROW(app.WaitForMessages(), std::logic_error);
  int calls = 0;
  app.messageHook = [&] { ++calls; };
  app.WaitForMessages();
  app.ProcessMessages();
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace vobrix::toolkit
