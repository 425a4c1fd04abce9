// The generator, the primitives, the printer, program shape and growth, the training fitness
// and the record sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

#include "engine/fitness.h"
#include "engine/init.h"
#include "engine/misc.h"
#include "fixture.h"

namespace vobrix {
namespace {

using test::Evaluate;
using test::TestProblem;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(RandomTest, KnownSequencesAfterSeedingWithOneAndRandomBelowZero) {
  SeedRandom(1);
  EXPECT_EQ((std::array{Rand15(), Rand15(), Rand15()}), (std::array{130, 10982, 1090}));
  SeedRandom(1);
  EXPECT_EQ((std::array{Rand31(), Rand31(), Rand31()}),
            (std::array<std::int32_t, 3>{1410184549, 672584604, 1915668986}));
  const std::uint64_t before = RandomState();
  EXPECT_EQ(RandomBelow(0), 0);
  EXPECT_EQ(RandomState(), before);  // no draw at all
  EXPECT_EQ(RandomBelow(1), 0);
  EXPECT_NE(RandomState(), before);
}

TEST(PrimitivesTest, ProtectedAndGuardedValuesAtTheirEdges) {
  TestProblem p({kSubtract, kDivide}, 2, {});
  // The last two evaluate "-" and "/": the first subtree is the left operand.
  const std::pair<double, double> cases[] = {
      {ProtectedDivide(5.0, -0.0), 1.0},
      {ProtectedDivide(kInf, kNaN), 1.0},
      {ProtectedDivide(1.0, 1e-320), kInf},  // no guard beyond zero
      {MagnitudeLn(0.999), 0.0},
      {MagnitudeLn(-2.9), std::log(2.0)},
      {MagnitudeLog10(-250.9), std::log10(250.0)},
      {MagnitudeSqrt(-0.5), 0.0},
      {TruncatedMagnitude(-2147483648.0), 2147483647.0},
      {TruncatedMagnitude(kNaN), 2147483647.0},
      {TruncatedMagnitude(-kInf), 2147483647.0},
      {TruncatedMagnitude(2147483647.5), 2147483647.0},
      {TruncatedMagnitude(-2147483646.5), 2147483646.0},
      {TruncatedMagnitude(-0.7), 0.0},
      {MagnitudeSqrt(kInf), std::sqrt(2147483647.0)},
      {GuardedCos(-9007199254740992.0), kNaN},
      {GuardedSin(9007199254740991.0), std::sin(9007199254740991.0)},
      {GuardedTan(kInf), kNaN},
      {Evaluate({p.fn(0), p.var(0), p.var(1)}, {7, 3}), 4.0},
      {Evaluate({p.fn(1), p.var(0), p.var(1)}, {6, 3}), 2.0}};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto [actual, expected] = cases[i];
    EXPECT_TRUE(test::SameValue(actual, expected)) << "case " << i << ": " << actual;
  }
}

TEST(ProgramShapeTest, TextsFinalCountersAndDepths) {
  TestProblem p({kAdd, kMultiply, kSin}, 3, {2.5});
  const struct {
    std::vector<Node> genes;
    const char* text;
    std::int32_t last, depth;
  } programs[] = {
      {{p.fn(0), p.var(0), p.var(1)}, " (X0+X1) ", 2, 1},
      {{p.fn(2), p.var(0)}, "sin (X0) ", 1, 1},
      {{p.fn(1), p.fn(0), p.var(0), p.var(1), p.fn(2), p.var(2)}, " ( (X0+X1) *sin (X2) ) ", 5, 2},
      {{p.constant(0)}, "2.500", 0, 0}};
  for (const auto& c : programs) {
    std::int32_t position = 0;
    EXPECT_EQ(FormatProgram(c.genes.data(), position), c.text);
    EXPECT_EQ(position, c.last) << c.text;
    position = 0;
    EXPECT_EQ(TreeDepth(0, c.genes.data(), position), c.depth) << c.text;
  }
}

TEST(TrainingFitnessTest, StatedProgramsOnOneToSixAndTheInfinityRules) {
  TestProblem p({kAdd, kSubtract, kSin}, 2, {1e200, 1e16}, {1, 2, 3, 4, 5, 6});
  const Node x0 = p.var(0), x1 = p.var(1);
  const std::pair<std::vector<Node>, double> cases[] = {
      {{p.fn(0), x1, p.fn(1), x1, x0}, 0.0},  // X1 + (X1 - X0) continues the line
      {{x0}, 4.0},
      {{x1}, 1.0},
      {{p.constant(0)}, kInf},           // the square overflows
      {{p.fn(2), p.constant(1)}, kInf},  // NaN on every window, never a NaN fitness
      {{p.fn(0), p.constant(0), p.constant(0)}, kInf},
  };
  for (const auto& [genes, fitness] : cases) EXPECT_EQ(TrainingFitness(genes.data()), fitness);
  EXPECT_EQ(p.get().window, (std::vector<double>{4, 5}));  // the last training window
  p.get().trainingY[5] = 1e200;  // one bad window among good ones is enough
  EXPECT_EQ(TrainingFitness(std::vector<Node>{x1}.data()), kInf);
}

int CompareInts(const void* a, const void* b) {
  const int x = *static_cast<const int*>(a), y = *static_cast<const int*>(b);
  return (x > y) - (x < y);
}

TEST(SortRecordsTest, SortsLikeStdSortAndFinishesWhenAllRecordsAreEqual) {
  SeedRandom(11);
  for (int n : {0, 1, 2, 3, 12, 13, 1000, 5000}) {
    for (int range : {0, 2, 1 << 30}) {  // 0: descending
      std::vector<int> values(n);
      for (int i = 0; i < n; ++i) values[i] = range ? RandomBelow(range) : n - i;
      std::vector<int> expected = values;
      std::sort(expected.begin(), expected.end());
      SortRecords(values.data(), values.size(), sizeof(int), CompareInts);
      ASSERT_EQ(values, expected) << "n=" << n << " range=" << range;
    }
  }
  // Every comparison 0, as for a generation whose fitness values are all NaN.
  std::vector<int> values(200000);
  std::iota(values.begin(), values.end(), 0);
  const std::vector<int> expected = values;
  SortRecords(values.data(), values.size(), sizeof(int),
              [](const void*, const void*) { return 0; });
  std::sort(values.begin(), values.end());
  EXPECT_EQ(values, expected);
}

}  // namespace
}  // namespace vobrix
