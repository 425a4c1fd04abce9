// The in-memory controls keep the effects the run relies on.
#include "toolkit/memory_toolkit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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

TEST(MemoryChart, LeavesOutNonFinitePointsAndRefusesBadMaxima) {
  MemoryChart chart(2);
  const double inf = std::numeric_limits<double>::infinity();
  chart.AddPoints(0, {{0, 1, "0"}, {1, inf, "1"}, {2, std::nan(""), "2"}, {3, 4, "3"}});
  EXPECT_EQ(chart.PointCount(0), 2);
  chart.ReplaceSeries(0, {{5, 6, "5"}});
  EXPECT_EQ(chart.Points(0)[0].x, 5.0);
  EXPECT_EQ(chart.UpdateCount(0), 2);
  chart.SetLeftAxisMaximum(2.0);
  chart.SetLeftAxisMaximum(-1.0);
  chart.SetLeftAxisMaximum(inf);
  EXPECT_EQ(chart.LeftAxisMaximum(), 2.0);
  chart.SetLeftAxisAutomatic();
  EXPECT_FALSE(chart.LeftAxisMaximum().has_value());
  EXPECT_THROW(chart.AddPoints(2, {}), std::out_of_range);
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
