#include "engine/functions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "fixture.h"

namespace vobrix {
namespace {

using test::Evaluate;
using test::TestProblem;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(FunctionTableTest, TenPrimitivesInCheckListOrder) {
  const FunctionTable table = BuildFunctionTable();
  ASSERT_EQ(table.size(), 10u);
  const char* symbols[] = {"+", "-", "*", "/", "sin", "cos", "tan", "ln", "log10", "sqrt"};
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(table[i].symbol, symbols[i]);
    EXPECT_EQ(table[i].arityCode, i < 4 ? 1 : 0) << symbols[i];
    EXPECT_NE(table[i].evaluate, nullptr);
  }
}

TEST(PrimitivesTest, ProtectedDivideGivesOneForZeroAndNaNDivisors) {
  EXPECT_EQ(ProtectedDivide(5.0, 0.0), 1.0);
  EXPECT_EQ(ProtectedDivide(0.0, 0.0), 1.0);
  EXPECT_EQ(ProtectedDivide(5.0, -0.0), 1.0);
  EXPECT_EQ(ProtectedDivide(kInf, kNaN), 1.0);
  EXPECT_EQ(ProtectedDivide(6.0, 4.0), 1.5);
  EXPECT_EQ(ProtectedDivide(1.0, 1e-320), kInf);  // no guard beyond zero
  EXPECT_TRUE(std::isnan(ProtectedDivide(kNaN, 2.0)));
}

TEST(PrimitivesTest, MagnitudeFunctionsDropTheFraction) {
  EXPECT_EQ(MagnitudeLn(0.7), 0.0);
  EXPECT_EQ(MagnitudeLn(0.999), 0.0);
  EXPECT_EQ(MagnitudeLn(-1.0), 0.0);
  EXPECT_EQ(MagnitudeLn(-2.9), std::log(2.0));
  EXPECT_EQ(MagnitudeLog10(-250.9), std::log10(250.0));
  EXPECT_EQ(MagnitudeLog10(1000.5), 3.0);
  EXPECT_EQ(MagnitudeSqrt(3.99), std::sqrt(3.0));
  EXPECT_EQ(MagnitudeSqrt(-0.5), 0.0);
}

TEST(PrimitivesTest, TruncatedMagnitudeSaturatesOutsideThe32BitRange) {
  const double max = 2147483647.0;
  EXPECT_EQ(TruncatedMagnitude(-7.9), 7.0);
  EXPECT_EQ(TruncatedMagnitude(2147483647.9), max);
  EXPECT_EQ(TruncatedMagnitude(-2147483648.0), max);
  EXPECT_EQ(TruncatedMagnitude(1e300), max);
  EXPECT_EQ(TruncatedMagnitude(-kInf), max);
  EXPECT_EQ(TruncatedMagnitude(kNaN), max);
  EXPECT_TRUE(std::isfinite(MagnitudeLn(kNaN)));
}

TEST(PrimitivesTest, TrigonometryIsNaNFromTwoToThe53) {
  EXPECT_TRUE(std::isnan(GuardedSin(1e16)));
  EXPECT_TRUE(std::isnan(GuardedCos(-9007199254740992.0)));
  EXPECT_TRUE(std::isnan(GuardedTan(kInf)));
  EXPECT_EQ(GuardedSin(1e15), std::sin(1e15));
  EXPECT_EQ(GuardedCos(9007199254740991.0), std::cos(9007199254740991.0));
  EXPECT_EQ(GuardedTan(1.0), std::tan(1.0));
}

TEST(EvaluateNodeTest, WalksThePrefixArrayWithOneCounter) {
  TestProblem p({kAdd, kSubtract, kMultiply, kDivide, kSin}, 3, {2.5});
  std::int32_t end = -1;

  EXPECT_EQ(Evaluate({p.constant(0)}, {0, 0, 0}, &end), 2.5);
  EXPECT_EQ(end, 1);

  // "-" and "/" take the first subtree as their left operand.
  EXPECT_EQ(Evaluate({p.fn(1), p.var(0), p.var(1)}, {7, 3, 0}, &end), 4.0);
  EXPECT_EQ(end, 3);
  EXPECT_EQ(Evaluate({p.fn(3), p.var(0), p.var(1)}, {6, 3, 0}), 2.0);
  EXPECT_EQ(Evaluate({p.fn(3), p.var(0), p.var(1)}, {6, 0, 0}), 1.0);
  EXPECT_EQ(Evaluate({p.fn(3), p.var(0), p.var(1)}, {0, 0, 0}), 1.0);
  EXPECT_EQ(Evaluate({p.fn(3), p.var(0), p.var(1)}, {6, -0.0, 0}), 1.0);

  // [*, +, X0, X1, sin, X2] = (X0 + X1) * sin(X2)
  const std::vector<Node> nested = {p.fn(2), p.fn(0), p.var(0), p.var(1), p.fn(4), p.var(2)};
  EXPECT_EQ(Evaluate(nested, {1.5, 2.0, 0.3}, &end), (1.5 + 2.0) * std::sin(0.3));
  EXPECT_EQ(end, 6);
}

TEST(EvaluateNodeTest, NonFiniteValuesFlowUpTheTree) {
  TestProblem p({kAdd, kMultiply, kSin}, 2, {});
  EXPECT_EQ(Evaluate({p.fn(1), p.var(0), p.var(1)}, {1e200, 1e200}), kInf);
  EXPECT_TRUE(std::isnan(Evaluate({p.fn(0), p.var(0), p.var(1)}, {kInf, -kInf})));
  EXPECT_TRUE(std::isnan(Evaluate({p.fn(2), p.var(0)}, {1e16, 0})));
}

}  // namespace
}  // namespace vobrix
