// The in-memory controls keep the effects the run relies on.
#include "toolkit/memory_toolkit.h"

#include <gtest/gtest.h>

#include <stdexcept>

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
