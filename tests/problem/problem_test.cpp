#include "problem/problem.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>

#include "problem/textconv.h"

namespace vobrix {
namespace {

std::vector<CellRow> Series(int rows) {
  std::vector<CellRow> cells;
  for (int r = 0; r < rows; ++r) cells.push_back({std::to_string(r), std::to_string(r * r)});
  return cells;
}

const FunctionTable& Functions() {
  static const FunctionTable table = BuildFunctionTable();
  return table;
}

TEST(MakeProblemTest, DefaultsGiveTheFullTableInThreeBlocks) {
  const ProblemBuild build = MakeProblem(ProblemSettings{}, Series(20), Functions());
  const Problem& p = *build.problem;
  EXPECT_FALSE(build.functionForced);
  EXPECT_EQ((std::array{p.functionCount, p.variableCount, p.windowSize, p.constantCount}),
            (std::array{4, 5, 5, 1000}));
  ASSERT_EQ(p.nodeTable.size(), 1009u);
  const std::pair<int, const char*> symbols[] = {
      {3, "/"}, {4, "X0"}, {8, "X4"}, {9, "-10.000"}, {1008, "10.000"}};  // 9.98, two digits
  for (const auto& [node, symbol] : symbols) EXPECT_EQ(p.nodeTable[node].symbol, symbol);
  EXPECT_EQ(p.nodeTable[8].slot, 4);
  EXPECT_EQ(p.nodeTable[9].slot, 0);
  EXPECT_EQ((std::array{p.constants[0], p.constants[1], p.constants[500], p.constants[999]}),
            (std::array{-10.0, -9.98, 0.0, 9.98}));
  EXPECT_EQ(p.trainingY[7], 49.0);
}

TEST(MakeProblemTest, TickedFunctionsInCheckListOrderAndConstantsFromSinglePrecisionEnds) {
  ProblemSettings settings{
      .windowSizeText = "3", .constantCountText = "2", .lowerText = "0.1", .upperText = "0.3"};
  settings.ticked.fill(false);
  settings.ticked[kSqrt] = settings.ticked[kSin] = true;
  const Problem p = std::move(*MakeProblem(settings, Series(10), Functions()).problem);
  ASSERT_EQ(p.nodeTable.size(), 7u);
  EXPECT_EQ(p.nodeTable[0].symbol, "sin");
  EXPECT_EQ(p.nodeTable[1].evaluate, &EvalSqrt);
  EXPECT_EQ(p.nodeTable[1].arityCode, 0);
  EXPECT_EQ(p.nodeTable[2].arityCode, -1);
  EXPECT_EQ(p.nodeTable[5].evaluate, &EvalConstant);
  const long double lo = 0.1f, hi = 0.3f;
  EXPECT_EQ(p.constants, (std::vector<double>{static_cast<double>(lo),
                                              static_cast<double>(lo + (hi - lo) / 2)}));

  settings.ticked.fill(false);  // nothing ticked runs with "+" alone
  const ProblemBuild forced = MakeProblem(settings, Series(10), Functions());
  EXPECT_TRUE(forced.functionForced);
  EXPECT_EQ(forced.problem->functionCount, 1);
  EXPECT_EQ(forced.problem->nodeTable[0].symbol, "+");
}

TEST(MakeProblemTest, RefusalsAndTextsThatAreNotNumbers) {
  const std::pair<std::string ProblemSettings::*, const char*> refused[] = {
      {&ProblemSettings::windowSizeText, "0"},
      {&ProblemSettings::windowSizeText, "10"},  // 10 rows need a window below 10
      // Refused before its tables are made: they would take 17 GB.
      {&ProblemSettings::windowSizeText, "2147483647"},
      {&ProblemSettings::constantCountText, "-3"},
      {&ProblemSettings::upperText, "1e39"},  // beyond single precision
      {&ProblemSettings::upperText, "3.5e38"},
      {&ProblemSettings::lowerText, "-1e39"}};
  for (const auto& [field, text] : refused) {
    ProblemSettings settings;
    settings.*field = text;
    EXPECT_THROW(MakeProblem(settings, Series(10), Functions()), ProblemError) << text;
  }
  ProblemSettings settings;
  settings.windowSizeText = "10";
  EXPECT_NO_THROW(MakeProblem(settings, Series(11), Functions()));
  settings.constantCountText = "1,000";
  EXPECT_THROW(MakeProblem(settings, Series(11), Functions()), ConversionError);
  std::vector<CellRow> cells = Series(10);
  cells[4].y = "";
  EXPECT_THROW(MakeProblem(ProblemSettings{}, cells, Functions()), ConversionError);
  cells[4].y = " -1.5E2 ";
  EXPECT_EQ(MakeProblem(ProblemSettings{}, cells, Functions()).problem->trainingY[4], -150.0);
}

}  // namespace
}  // namespace vobrix
