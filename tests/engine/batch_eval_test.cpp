#include "engine/batch_eval.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/fitness.h"
#include "engine/init.h"
#include "engine/misc.h"
#include "fixture.h"

namespace vobrix {
namespace {

using test::SameValue;

// Zeros for the protected division, values near and beyond 2^53 for the trigonometric guard,
// huge values that overflow, negatives and fractions for the magnitude functions.
std::vector<double> NastySeries(int n, std::uint32_t seed) {
  const double specials[] = {
      0.0,          -0.0,   1e16, -9007199254740992.0, 9007199254740991.0, 1e300, -1e300, 0.5, -2.9,
      2147483648.5, 1e-310, 7.0};
  SeedRandom(seed);
  std::vector<double> y(n);
  for (int i = 0; i < n; ++i) {
    const int pick = RandomBelow(24);
    y[i] = pick < 12 ? specials[pick] : (RandomUnit() - 0.5) * std::pow(10.0, RandomBelow(7) - 3);
  }
  return y;
}

// Random programs in groups of one to seven (four side by side, the rest of a group in fewer
// lanes), on smooth data where most sums stay finite and on data that reaches every corner:
// each gets the interpreter's bits, or with linear scaling the bits it gets alone, and its
// rows are the interpreter's.
TEST(BatchEvaluatorTest, SameBitsAsTheInterpreterAloneAndSideBySide) {
  const std::initializer_list<int> sets[] = {
      {kAdd, kSubtract, kMultiply, kDivide},
      {kAdd, kMultiply, kSin, kCos, kTan},
      {kSubtract, kDivide, kLn, kLog10, kSqrt},
      {kAdd, kSubtract, kMultiply, kDivide, kSin, kCos, kTan, kLn, kLog10, kSqrt}};
  int compared = 0, nonFinite = 0;
  for (const auto& functions : sets) {
    for (int variant = 0; variant < 6; ++variant) {
      const int window = 1 + variant % 5;
      std::vector<double> series = NastySeries(40, 17 + variant);
      if (variant % 2 == 0) {
        for (int i = 0; i < 40; ++i) series[i] = std::sin(0.3 * i) * (1 + i % 4);
      }
      test::TestProblem p(functions, window, {0.0, -0.0, 3.0, 1e200, -2.5, 1e16, 0.7}, series);
      BatchEvaluator alone(p.get()), grouped(p.get());
      const NodeDrawSetup setup{p.get().functionCount, window, 7, 0.5f, 0.3f};
      const bool scaled = variant >= 4;
      SeedRandom(1000 + variant);
      for (int group = 0; group < 1200; ++group) {
        const int count = 1 + group % 7;
        std::vector<std::vector<Node>> genes(count, std::vector<Node>(70));
        std::vector<Individual> programs(count);
        std::vector<Individual*> slots;
        for (int k = 0; k < count; ++k) {
          programs[k].genes = genes[k].data();
          programs[k].length = GrowProgram(genes[k].data(), 1 + (group + k) % 6, 70, setup);
          slots.push_back(&programs[k]);
        }
        grouped.RawFitness(slots.data(), count, scaled);
        for (const Individual& one : programs) {
          const double expected =
              scaled ? alone.ScaledFitness(one.genes, one.length).mse : TrainingFitness(one.genes);
          ASSERT_TRUE(SameValue(expected, one.rawFitness))
              << "variant " << variant << " group " << group << ": " << expected << " vs "
              << one.rawFitness;
          ASSERT_TRUE(scaled || SameValue(expected, alone.Fitness(one.genes, one.length)));
          nonFinite += std::isinf(expected) ? 1 : 0;
          ++compared;
        }
        if (group % 50 != 0) continue;
        const double* rows = alone.Predict(genes[0].data(), programs[0].length);
        for (int i = 0; i < alone.rows(); ++i) {
          p.get().LoadWindow(i);
          std::int32_t position = 0;
          ASSERT_TRUE(SameValue(EvaluateNode(genes[0].data(), position), rows[i])) << i;
        }
      }
    }
  }
  EXPECT_GT(nonFinite, compared / 100);  // the corners were reached...
  EXPECT_LT(nonFinite, compared / 2);    // ...and so were finite sums
}

}  // namespace
}  // namespace vobrix
