#include "problem/problem.h"

#include <gtest/gtest.h>

#include "problem/textconv.h"

namespace vobrix {
namespace {

std::vector<CellRow> Series(int rows) {
  std::vector<CellRow> cells;
  for (int r = 0; r < rows; ++r) cells.push_back({std::to_string(r), std::to_string(r * r)});
  return cells;
}

ProblemSettings Ticked(std::initializer_list<int> functions) {
  ProblemSettings settings;
  settings.ticked.fill(false);
  for (int f : functions) settings.ticked[f] = true;
  return settings;
}

const FunctionTable& Functions() {
  static const FunctionTable table = BuildFunctionTable();
  return table;
}

TEST(MakeProblemTest, DefaultsGiveTheFullTableInThreeBlocks) {
  const ProblemBuild build = MakeProblem(ProblemSettings{}, Series(20), Functions());
  const Problem& p = *build.problem;
  EXPECT_FALSE(build.functionForced);
  EXPECT_EQ(p.functionCount, 4);
  EXPECT_EQ(p.variableCount, 5);
  EXPECT_EQ(p.windowSize, 5);
  EXPECT_EQ(p.constantCount, 1000);
  ASSERT_EQ(p.nodeTable.size(), 1009u);
  EXPECT_EQ(p.nodeTable[3].symbol, "/");
  EXPECT_EQ(p.nodeTable[4].symbol, "X0");
  EXPECT_EQ(p.nodeTable[8].symbol, "X4");
  EXPECT_EQ(p.nodeTable[8].slot, 4);
  EXPECT_EQ(p.nodeTable[9].slot, 0);
  EXPECT_EQ(p.nodeTable[9].symbol, "-10.000");
  EXPECT_EQ(p.nodeTable[1008].symbol, "10.000");  // 9.98 to two significant digits
  EXPECT_EQ(p.constants.front(), -10.0);
  EXPECT_EQ(p.constants[1], -9.98);
  EXPECT_EQ(p.constants[500], 0.0);
  EXPECT_EQ(p.constants.back(), 9.98);
  EXPECT_EQ(p.trainingY[7], 49.0);
  EXPECT_EQ(p.window.size(), 5u);
  EXPECT_FALSE(p.paused);
}

TEST(MakeProblemTest, TickedFunctionsKeepCheckListOrder) {
  ProblemSettings settings = Ticked({kSqrt, kSin});
  settings.windowSizeText = "3";
  settings.constantCountText = "2";
  const ProblemBuild build = MakeProblem(settings, Series(10), Functions());
  const Problem& p = *build.problem;
  ASSERT_EQ(p.nodeTable.size(), 7u);
  EXPECT_EQ(p.nodeTable[0].symbol, "sin");
  EXPECT_EQ(p.nodeTable[1].symbol, "sqrt");
  EXPECT_EQ(p.nodeTable[0].evaluate, &EvalSin);
  const int arity[] = {0, 0, -1, -1, -1, -1, -1};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(p.nodeTable[i].arityCode, arity[i]) << i;
  EXPECT_EQ(p.nodeTable[5].evaluate, &EvalConstant);
}

TEST(MakeProblemTest, ConstantsAreEvenlySpacedFromSinglePrecisionEnds) {
  ProblemSettings settings;
  settings.lowerText = "0";
  settings.upperText = "1";
  settings.constantCountText = "4";
  const Problem p = std::move(*MakeProblem(settings, Series(10), Functions()).problem);
  EXPECT_EQ(p.constants, (std::vector<double>{0, 0.25, 0.5, 0.75}));
  EXPECT_EQ(p.nodeTable[9].symbol, "0.000");
  EXPECT_EQ(p.nodeTable[10].symbol, "0.250");
  EXPECT_EQ(p.nodeTable[12].symbol, "0.750");

  settings.lowerText = "0.1";
  settings.upperText = "0.3";
  settings.constantCountText = "2";
  const Problem q = std::move(*MakeProblem(settings, Series(10), Functions()).problem);
  const long double lo = 0.1f;
  const long double hi = 0.3f;
  EXPECT_EQ(q.constants[0], static_cast<double>(lo));
  EXPECT_EQ(q.constants[1], static_cast<double>(lo + (hi - lo) / 2));
  EXPECT_NE(q.constants[0], 0.1);  // the single-precision end, not the decimal one
}

TEST(MakeProblemTest, NothingTickedRunsWithPlusAlone) {
  const ProblemBuild build = MakeProblem(Ticked({}), Series(10), Functions());
  EXPECT_TRUE(build.functionForced);
  EXPECT_EQ(build.problem->functionCount, 1);
  EXPECT_EQ(build.problem->nodeTable[0].symbol, "+");
}

TEST(MakeProblemTest, RefusesSettingsUnderWhichNoRunCanExist) {
  ProblemSettings settings;
  settings.windowSizeText = "0";
  EXPECT_THROW(MakeProblem(settings, Series(10), Functions()), ProblemError);
  settings = {};
  settings.constantCountText = "-3";
  EXPECT_THROW(MakeProblem(settings, Series(10), Functions()), ProblemError);
  settings = {};
  settings.windowSizeText = "10";
  EXPECT_THROW(MakeProblem(settings, Series(10), Functions()), ProblemError);  // n <= w
  EXPECT_NO_THROW(MakeProblem(settings, Series(11), Functions()));
  settings = {};
  settings.upperText = "1e39";  // beyond single precision
  EXPECT_THROW(MakeProblem(settings, Series(10), Functions()), ProblemError);
}

TEST(MakeProblemTest, TextsThatAreNotNumbersRaiseConversionErrors) {
  ProblemSettings settings;
  settings.constantCountText = "1,000";
  EXPECT_THROW(MakeProblem(settings, Series(10), Functions()), ConversionError);
  std::vector<CellRow> cells = Series(10);
  cells[4].y = "";
  EXPECT_THROW(MakeProblem(ProblemSettings{}, cells, Functions()), ConversionError);
  cells[4].y = " -1.5E2 ";
  EXPECT_EQ(MakeProblem(ProblemSettings{}, cells, Functions()).problem->trainingY[4], -150.0);
}

}  // namespace
}  // namespace vobrix
