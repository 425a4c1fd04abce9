// The genetic operators, populations, breeding and the evaluation of a generation.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <tuple>
#include <vector>

#include "engine/evaluation.h"
#include "engine/gp_opr.h"
#include "engine/gp_pop.h"
#include "engine/init.h"
#include "engine/misc.h"
#include "fixture.h"

namespace vobrix {
namespace {

using test::IsSoundChild;
using test::OwnedIndividual;
using test::ProgramOf;
using test::TestProblem;

constexpr double kInf = std::numeric_limits<double>::infinity();

PopulationParams SmallParams(std::int32_t size, std::int32_t maxLength = 20) {
  return {.maxLength = maxLength, .generations = 3, .populationSize = size};
}

TEST(OperatorTest, SplicesAndReproductionByExample) {
  TestProblem problem({kAdd, kSubtract, kMultiply, kSin}, 4, {0.5, 1.5});
  const Node kPlus = 0, kTimes = 2, kSine = 3, kX0 = 4, kX1 = 5, kX2 = 6, kX3 = 7;
  OwnedIndividual a({kPlus, kX0, kX1}, 10), b({kSine, kX2}, 10), times({kTimes, kX2, kX3}, 10);
  // A record that held a longer program, zero after it, as every record of a Population is.
  OwnedIndividual child({kPlus, kTimes, kX0, kX1, kSine, kX2, kX3}, 10);
  const Node x3[] = {kX3};
  const auto expect = [&](const std::vector<Node>& program) {
    EXPECT_EQ(child.Program(), program);
    EXPECT_TRUE(IsSoundChild(child.ind, 10));  // the old Nodes are gone
  };
  a.ind.rawFitness = 2.5;
  a.ind.adjustedFitness = 0.25;
  a.ind.normalizedFitness = 0.125;
  Reproduce(child.ind, a.ind, 10);
  expect(a.Program());
  EXPECT_EQ(
      (std::array{child.ind.rawFitness, child.ind.adjustedFitness, child.ind.normalizedFitness}),
      (std::array{2.5, 0.25, 0.125}));
  SpliceCrossover(child.ind, a.ind, 1, 1, b.ind, 0, 1, 10);
  expect({kPlus, kSine, kX2, kX1});
  SpliceCrossover(child.ind, a.ind, 0, 2, b.ind, 1, 1, 10);
  expect({kX2});
  SpliceOnePoint(child.ind, a.ind, 0, times.ind, 0, 10);
  expect({kPlus, kX2, kX3});
  SpliceOnePoint(child.ind, a.ind, 1, times.ind, 1, 10);
  expect({kPlus, kX0, kX3});
  SpliceOnePoint(child.ind, a.ind, 2, times.ind, 2, 10);  // both last positions: a copy of A
  expect(a.Program());
  SpliceMutation(child.ind, a.ind, 2, 2, x3, 1, 10);
  expect({kPlus, kX0, kX3});
}

TEST(PopulationTest, StorageBeyondMemoryIsRefusedBeforeAnythingIsAllocated) {
  EXPECT_TRUE(FitsInMemory(PopulationParams{}));
  const std::int32_t max = std::numeric_limits<std::int32_t>::max();
  PopulationParams huge = SmallParams(max, max);
  EXPECT_FALSE(FitsInMemory(huge));  // 2^65 bytes, beyond any machine and any size_t
  EXPECT_THROW(Population{huge}, std::bad_alloc);
  huge.populationSize = 1'000'000'000;
  huge.maxLength = 1'000'000;
  EXPECT_THROW(Population{huge}, std::bad_alloc);
}

TEST(BreedingRulesTest, EliteCountsAndRateBoundariesInSinglePrecision) {
  const std::tuple<std::int32_t, float, std::int32_t> elites[] = {
      {1000, 0.1f, 100}, {100, 0.29f, 28}, {1000, 0.01f, 9},
      {100, 1.5f, 100},  {100, -0.5f, 0},  {100, std::numeric_limits<float>::quiet_NaN(), 0}};
  for (const auto& [size, fraction, count] : elites) {
    EXPECT_EQ(EliteCount({.populationSize = size, .eliteFraction = fraction}), count)
        << size << " x " << fraction;
  }

  using enum BreedOperation;
  PopulationParams params;  // 0.70, 0.20, 0.00
  EXPECT_EQ(ChooseOperation(std::nextafter(0.7f, 0.0f), params), Crossover);
  EXPECT_EQ(ChooseOperation(0.7f, params), Mutation);
  // 0.7f + 0.2f is 0.89999999105930... in double; the float 0.9f lies below it, while a float
  // sum would round to 0.9f itself and give reproduction here.
  EXPECT_EQ(ChooseOperation(0.9f, params), Mutation);
  EXPECT_EQ(ChooseOperation(std::nextafter(0.9f, 1.0f), params), Reproduction);
  params.onePointRate = 0.1f;  // the three add up to 0.99999999254941... in double
  EXPECT_EQ(ChooseOperation(0.95f, params), OnePoint);
  EXPECT_EQ(ChooseOperation(1.0f, params), Reproduction);
  params.onePointRate = 0.2f;
  EXPECT_EQ(ChooseOperation(1.0f, params), OnePoint);  // rates above 1 in all

  // Rates whose sums are exact: a draw equal to a cumulative rate belongs to the next branch.
  params.crossoverRate = 0.5f;
  params.mutationRate = 0.25f;
  params.onePointRate = 0.125f;
  const std::pair<float, BreedOperation> edges[] = {
      {std::nextafter(0.5f, 0.0f), Crossover},  {0.5f, Mutation},
      {std::nextafter(0.75f, 0.0f), Mutation},  {0.75f, OnePoint},
      {std::nextafter(0.875f, 0.0f), OnePoint}, {0.875f, Reproduction}};
  for (const auto& [r, operation] : edges) EXPECT_EQ(ChooseOperation(r, params), operation) << r;
}

// Grown parents with plenty of room, a little or none, and children written over older
// children: every operator's child is well formed, within maxLength and zero after its end. The
// first draw is the start of the receiver's or the mutated subtree: crossover splices there
// whenever the donor's first subtree fits, and mutation keeps the rest of the parent around a
// replacement regrown until it closes within 30 Nodes and the room maxLength leaves.
TEST(BreedTest, OperatorChildrenNeverExceedMaxLengthAndEndInZeros) {
  TestProblem problem({kAdd, kSubtract, kMultiply, kDivide, kSin}, 3, {-1.0, 0.5, 2.0},
                      test::LogisticSeries());  // rewards products, so programs grow
  Population parents({.maxLength = 200,
                      .maxInitialDepth = 4,
                      .functionRatio = 0.6f,
                      .variableRatio = 0.3f,
                      .generations = 3,
                      .populationSize = 300});
  test::ResetCurrentPopulation reset;
  currentPopulation = &parents;
  SeedRandom(11);
  FillInitialGeneration(parents);
  Individual &crossed = *parents.Next()[0], &mutated = *parents.Next()[1],
             &joined = *parents.Next()[2];
  int exact = 0, filled = 0;
  std::int32_t longest = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    const Individual &a = *parents.Current()[trial % 299], &b = *parents.Current()[trial % 299 + 1];
    const std::int32_t maxLength = a.length + (trial % 3 == 0 ? 200 - a.length : trial % 3 * 4 - 4);
    const std::uint64_t state = RandomState();
    const std::int32_t s1 = Rand31() % a.length, s2 = Rand31() % b.length;
    const std::int32_t e1 = *SubtreeEnd(a.genes, a.length, s1),
                       e2 = *SubtreeEnd(b.genes, b.length, s2);
    SetRandomState(state);
    SubtreeCrossover(crossed, a, b, maxLength);
    SetRandomState(state);
    SubtreeMutation(mutated, a, maxLength, kMutationSubtreeLimit);
    OnePointMutation(joined, a, b, maxLength);
    for (const Individual* child : {&crossed, &mutated, &joined}) {
      ASSERT_TRUE(IsSoundChild(*child, maxLength)) << "trial " << trial;
    }
    if (a.length - (e1 - s1) + (e2 - s2) <= maxLength) {
      SpliceCrossover(*parents.Next()[3], a, s1, e1, b, s2, e2, maxLength);
      EXPECT_EQ(ProgramOf(crossed), ProgramOf(*parents.Next()[3]));
      ++exact;
    }
    const std::int32_t kept = a.length - (e1 - s1 + 1), replacement = mutated.length - kept;
    ASSERT_LE(replacement, kMutationSubtreeLimit) << "trial " << trial;
    ASSERT_TRUE(std::equal(a.genes, a.genes + s1, mutated.genes));
    ASSERT_TRUE(std::equal(a.genes + e1 + 1, a.genes + a.length, mutated.genes + s1 + replacement));
    if (trial % 3 == 0) longest = std::max(longest, replacement);
    filled += trial % 3 == 2 && mutated.length == maxLength;
  }
  EXPECT_GT(exact, 1500);
  EXPECT_LT(exact, 3000);  // some trials really had to draw again
  // The bound that applies was really reached: 30 Nodes, or what maxLength leaves.
  EXPECT_GE(longest, kMutationSubtreeLimit - 2);
  EXPECT_GT(filled, 10);
}

// Series 1..6 with a window of 2: "+" and "-" at 0 and 1, X0 = 2, X1 = 3, the constants 1e200
// at 4 and 7 at 5.
TEST(EvaluationTest, ThreePassesThenBestFirstAndTheAverageLength) {
  TestProblem problem({kAdd, kSubtract}, 2, {1e200, 7.0}, {1, 2, 3, 4, 5, 6});
  const Node kPlus = 0, kMinus = 1, kX0 = 2, kX1 = 3, kHuge = 4, kSeven = 5;
  const auto evaluated = [](const std::vector<std::vector<Node>>& programs) {
    auto p = std::make_unique<Population>(SmallParams(static_cast<std::int32_t>(programs.size())));
    for (std::size_t i = 0; i < programs.size(); ++i) {
      std::copy(programs[i].begin(), programs[i].end(), p->Current()[i]->genes);
      p->Current()[i]->length = static_cast<std::int32_t>(programs[i].size());
    }
    EvaluateGeneration(*p);
    return p;
  };
  // X0 is off by 2 everywhere, X1 + (X1 - X0) predicts exactly, 1e200 overflows the square.
  auto p = evaluated({{kX0}, {kPlus, kX1, kMinus, kX1, kX0}, {kHuge}});
  Individual* const* slots = p->Current();
  const double sum = 0.2 + 1.0;
  const double expected[3][3] = {{4.0, 0.2, 0.2 / sum}, {0.0, 1.0, 1.0 / sum}, {kInf, 0.0, 0.0}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(
        (std::array{slots[i]->rawFitness, slots[i]->adjustedFitness, slots[i]->normalizedFitness}),
        (std::array{expected[i][0], expected[i][1], expected[i][2]}))
        << i;
  }
  SortGeneration(*p);
  EXPECT_EQ((std::array{slots[0]->rawFitness, slots[1]->rawFitness, slots[2]->rawFitness}),
            (std::array{0.0, 4.0, kInf}));

  auto infinite = evaluated({{kHuge}, {kPlus, kHuge, kX0}});
  for (int i = 0; i < 2; ++i) EXPECT_TRUE(std::isnan(infinite->Current()[i]->normalizedFitness));
  auto same = evaluated({{kSeven}, {kSeven}, {kSeven}, {kSeven}});
  for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(same->Current()[i]->normalizedFitness, 0.25);

  slots[0]->length = 3;  // the average length sums beyond 32 bits
  slots[1]->length = slots[2]->length = 4;
  EXPECT_DOUBLE_EQ(AverageLength(*p), 11.0 / 3.0);
  for (int i = 0; i < 3; ++i) slots[i]->length = 1 << 30;
  EXPECT_EQ(AverageLength(*p), double(1 << 30));
}

}  // namespace
}  // namespace vobrix
