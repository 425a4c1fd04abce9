#include "engine/batch_eval.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/fitness.h"
#include "engine/init.h"
#include "engine/misc.h"
#include "fixture.h"

namespace vobrix {
namespace {

using test::SameValue;
using test::TestProblem;

// A series that drives programs into every corner: zeros for the protected division, values
// near and beyond 2^53 for the trigonometric guard, huge values that overflow, negatives and
// fractions for the magnitude functions.
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

struct FunctionSet {
  std::initializer_list<int> functions;
  const char* name;
};

TEST(BatchEvaluatorTest, SameBitsAsTheInterpreterOverManyRandomPrograms) {
  const FunctionSet sets[] = {
      {{kAdd, kSubtract, kMultiply, kDivide}, "arithmetic"},
      {{kAdd, kMultiply, kSin, kCos, kTan}, "trigonometric"},
      {{kSubtract, kDivide, kLn, kLog10, kSqrt}, "magnitude"},
      {{kAdd, kSubtract, kMultiply, kDivide, kSin, kCos, kTan, kLn, kLog10, kSqrt}, "all"},
  };
  int programs = 0;
  int nonFinite = 0;
  for (const FunctionSet& set : sets) {
    for (int variant = 0; variant < 5; ++variant) {
      const int window = 1 + variant;
      const std::vector<double> series =
          variant % 2 ? NastySeries(40, 17 + variant) : std::vector<double>(40, 0.0);
      std::vector<double> constants = {0.0, -0.0, 3.0, 1e200, -2.5, 1e16, 0.7};
      TestProblem p(set.functions, window, constants, series);
      if (variant % 2 == 0) {
        // Smooth data: most programs stay finite, so the sums themselves get compared.
        for (int i = 0; i < 40; ++i) p.get().trainingY[i] = std::sin(0.3 * i) * (1 + i % 4);
      }
      BatchEvaluator batch(p.get());
      std::vector<Node> genes(70);
      const NodeDrawSetup setup{p.get().functionCount, window, 7, 0.5f, 0.3f};
      SeedRandom(1000 + variant);
      for (int k = 0; k < 5000; ++k) {
        const std::int32_t length = GrowProgram(genes.data(), 1 + k % 6, 70, setup);
        const double expected = TrainingFitness(genes.data());
        const double actual = batch.Fitness(genes.data(), length);
        ASSERT_TRUE(SameValue(expected, actual)) << set.name << " window " << window << " program "
                                                 << k << ": " << expected << " vs " << actual;
        nonFinite += std::isinf(expected) ? 1 : 0;
        ++programs;
        if (k % 50 == 0) {
          const double* rows = batch.Predict(genes.data(), length);
          for (int i = 0; i < batch.rows(); ++i) {
            p.get().LoadWindow(i);
            std::int32_t position = 0;
            ASSERT_TRUE(SameValue(EvaluateNode(genes.data(), position), rows[i]))
                << set.name << " program " << k << " row " << i;
          }
        }
      }
    }
  }
  EXPECT_EQ(programs, 100000);
  EXPECT_GT(nonFinite, 1000);   // the corners were reached...
  EXPECT_LT(nonFinite, 90000);  // ...and so were finite sums
}

// Programs evaluated in groups, four side by side and the rest of a group in fewer lanes, get
// the bits each gets alone: with terminal roots (a row of the series, a constant), non-finite
// rows and, with linear scaling, the scaled error.
TEST(BatchEvaluatorTest, SideBySideGivesEachProgramItsOwnBits) {
  const FunctionSet sets[] = {
      {{kAdd, kSubtract, kMultiply, kDivide}, "arithmetic"},
      {{kAdd, kSubtract, kMultiply, kDivide, kSin, kCos, kTan, kLn, kLog10, kSqrt}, "all"},
  };
  int compared = 0;
  int nonFinite = 0;
  for (const FunctionSet& set : sets) {
    for (int variant = 0; variant < 4; ++variant) {
      const std::vector<double> series =
          variant % 2 ? NastySeries(60, 40 + variant) : std::vector<double>(60, 0.0);
      TestProblem p(set.functions, 3, {0.0, 3.0, 1e200, -2.5}, series);
      if (variant % 2 == 0) {
        for (int i = 0; i < 60; ++i) p.get().trainingY[i] = std::cos(0.2 * i) * (2 + i % 3);
      }
      BatchEvaluator alone(p.get());
      BatchEvaluator grouped(p.get());
      const NodeDrawSetup setup{p.get().functionCount, 3, 4, 0.5f, 0.3f};
      SeedRandom(300 + variant);
      const bool scaled = variant >= 2;
      for (int group = 0; group < 400; ++group) {
        const int count = 1 + group % 7;  // whole fours and the remainders
        std::vector<std::vector<Node>> genes(count, std::vector<Node>(50));
        std::vector<Individual> individuals(count);
        std::vector<Individual*> slots;
        for (int k = 0; k < count; ++k) {
          // Depth 0 now and then: a terminal, whose root is a series row or a constant.
          const int depth = (group + k) % 9 == 0 ? 0 : 1 + (group + k) % 5;
          individuals[k].genes = genes[k].data();
          individuals[k].length = GrowProgram(genes[k].data(), depth, 50, setup);
          slots.push_back(&individuals[k]);
        }
        grouped.RawFitness(slots.data(), count, scaled);
        for (int k = 0; k < count; ++k) {
          const Individual& one = individuals[k];
          const double expected = scaled ? alone.ScaledFitness(one.genes, one.length).mse
                                         : alone.Fitness(one.genes, one.length);
          ASSERT_TRUE(SameValue(expected, one.rawFitness))
              << set.name << " variant " << variant << " group " << group << " program " << k
              << ": " << expected << " vs " << one.rawFitness;
          nonFinite += std::isinf(expected) ? 1 : 0;
          ++compared;
        }
      }
    }
  }
  EXPECT_GT(nonFinite, 100);
  EXPECT_LT(nonFinite, compared / 2);
}

}  // namespace
}  // namespace vobrix
