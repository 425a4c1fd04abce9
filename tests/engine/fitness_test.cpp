#include "engine/fitness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "fixture.h"

namespace vobrix {
namespace {

using test::TestProblem;

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(TrainingFitnessTest, StatedProgramsOnOneToSix) {
  const std::vector<double> series = {1, 2, 3, 4, 5, 6};
  {
    TestProblem p({kAdd, kSubtract}, 2, {}, series);
    // X1 + (X1 - X0) continues the line exactly.
    const std::vector<Node> exact = {p.fn(0), p.var(1), p.fn(1), p.var(1), p.var(0)};
    EXPECT_EQ(TrainingFitness(exact.data()), 0.0);
    const std::vector<Node> oldest = {p.var(0)};
    EXPECT_EQ(TrainingFitness(oldest.data()), 4.0);
    // The window is left holding the last training window.
    EXPECT_EQ(p.get().window, (std::vector<double>{4, 5}));
  }
  {
    TestProblem p({kAdd}, 5, {}, series);
    const std::vector<Node> latest = {p.var(4)};
    EXPECT_EQ(TrainingFitness(latest.data()), 1.0);  // one window: 1..5 predicts 6
  }
  {
    TestProblem p({kAdd}, 1, {}, series);
    const std::vector<Node> same = {p.var(0)};
    EXPECT_EQ(TrainingFitness(same.data()), 1.0);  // five windows, each off by one
  }
}

TEST(TrainingFitnessTest, ConstantProgramIsTheMeanSquaredDistance) {
  const std::vector<double> series = {0.5, -1.0, 2.0, 3.5, 0.25};
  TestProblem p({kAdd}, 2, {1.25}, series);
  const std::vector<Node> c = {p.constant(0)};
  double expected = 0.0;
  for (int i = 2; i < 5; ++i) expected += (series[i] - 1.25) * (series[i] - 1.25);
  EXPECT_DOUBLE_EQ(TrainingFitness(c.data()), expected / 3.0);
}

TEST(TrainingFitnessTest, AnyNonFiniteOrOverflowingErrorGivesInfinityNeverNaN) {
  const std::vector<double> series = {1, 0, 2, 3, 4, 5};
  TestProblem p({kMultiply, kDivide, kSin}, 2, {1e200, 1e16}, series);
  // 1e200 squared overflows.
  EXPECT_EQ(TrainingFitness(std::vector<Node>{p.constant(0)}.data()), kInf);
  // sin(1e16) is NaN on every window.
  EXPECT_EQ(TrainingFitness(std::vector<Node>{p.fn(2), p.constant(1)}.data()), kInf);
  // 1e200 * 1e200 is +inf, inf - inf never appears: the error itself is infinite.
  EXPECT_EQ(TrainingFitness(std::vector<Node>{p.fn(0), p.constant(0), p.constant(0)}.data()),
            kInf);
}

TEST(TrainingFitnessTest, OneBadWindowAmongGoodOnesIsEnough) {
  TestProblem p({kAdd}, 1, {}, {1, 2, 3, 4, 1e200});
  // Only the last window's error overflows.
  EXPECT_EQ(TrainingFitness(std::vector<Node>{p.var(0)}.data()), kInf);
  p.get().trainingCount = 4;  // without it the same program is finite
  EXPECT_EQ(TrainingFitness(std::vector<Node>{p.var(0)}.data()), 1.0);
}

TEST(SquaredErrorTest, FoldsEveryNonFiniteCase) {
  EXPECT_EQ(SquaredError(1.0, std::nan("")), kInf);
  EXPECT_EQ(SquaredError(1.0, -kInf), kInf);
  EXPECT_EQ(SquaredError(kInf, kInf), kInf);  // inf - inf is NaN
  EXPECT_EQ(SquaredError(0.0, 1e160), kInf);
  EXPECT_EQ(SquaredError(3.0, 1.0), 4.0);
}

}  // namespace
}  // namespace vobrix
