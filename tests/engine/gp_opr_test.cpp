#include "engine/gp_opr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "engine/init.h"
#include "engine/misc.h"
#include "evolution_support.h"
#include "fixture.h"

namespace vobrix {
namespace {

using test::IsSoundChild;
using test::OwnedIndividual;
using test::ProgramOf;
using test::TestProblem;

// Node indices of the problem below.
constexpr Node kPlus = 0, kMinus = 1, kTimes = 2, kSine = 3;
constexpr Node kX0 = 4, kX1 = 5, kX2 = 6, kX3 = 7;

TestProblem MakeTestProblem() {
  return TestProblem({kAdd, kSubtract, kMultiply, kSin}, 4, {0.5, 1.5});
}

// A one-record population that holds the ratios DrawNode reads; the caller points
// currentPopulation at it.
Population Ratios(float functionRatio, float variableRatio) {
  PopulationParams params;
  params.populationSize = 1;
  params.maxLength = 1;
  params.functionRatio = functionRatio;
  params.variableRatio = variableRatio;
  return Population(params);
}

NodeDrawSetup CurrentSetup() {
  return {currentProblem->functionCount, currentProblem->variableCount,
          currentProblem->constantCount, currentPopulation->params.functionRatio,
          currentPopulation->params.variableRatio};
}

std::vector<Node> GrowRandom(std::int32_t depth) {
  std::array<Node, 70> scratch{};
  const std::int32_t n = GrowProgram(scratch.data(), depth, 70, CurrentSetup());
  return {scratch.begin(), scratch.begin() + n};
}
std::int32_t EndOf(const Individual& p, std::int32_t start) {
  return *SubtreeEnd(p.genes, p.length, start);
}

TEST(SpliceTest, ExamplesOfTheThreeSplices) {
  TestProblem problem = MakeTestProblem();
  OwnedIndividual a({kPlus, kX0, kX1}, 10);
  OwnedIndividual b({kSine, kX2}, 10);
  OwnedIndividual child({}, 10, 7);

  SpliceCrossover(child.ind, a.ind, 1, 1, b.ind, 0, 1, 10);
  EXPECT_EQ(child.Program(), (std::vector<Node>{kPlus, kSine, kX2, kX1}));

  SpliceCrossover(child.ind, a.ind, 0, 2, b.ind, 1, 1, 10);
  EXPECT_EQ(child.Program(), (std::vector<Node>{kX2}));
  EXPECT_TRUE(IsSoundChild(child.ind, 10));  // the old Nodes and the 7s are gone

  OwnedIndividual times({kTimes, kX2, kX3}, 10);
  SpliceOnePoint(child.ind, a.ind, 0, times.ind, 0, 10);
  EXPECT_EQ(child.Program(), (std::vector<Node>{kPlus, kX2, kX3}));
  SpliceOnePoint(child.ind, a.ind, 1, times.ind, 1, 10);
  EXPECT_EQ(child.Program(), (std::vector<Node>{kPlus, kX0, kX3}));
  SpliceOnePoint(child.ind, a.ind, 2, times.ind, 2, 10);  // both last positions: a copy of A
  EXPECT_EQ(child.Program(), a.Program());

  const Node replacement[] = {kX3};
  SpliceMutation(child.ind, a.ind, 2, 2, replacement, 1, 10);
  EXPECT_EQ(child.Program(), (std::vector<Node>{kPlus, kX0, kX3}));
  EXPECT_TRUE(IsSoundChild(child.ind, 10));
}

TEST(ReproduceTest, CopiesProgramAndFitnessAndClearsTheOldTail) {
  TestProblem problem = MakeTestProblem();
  OwnedIndividual parent({kPlus, kTimes, kX0, kX1, kX2}, 50);
  parent.ind.rawFitness = 2.5;
  parent.ind.adjustedFitness = 1 / 3.5;
  parent.ind.normalizedFitness = 0.125;
  std::vector<Node> old(40, kX3);
  old[0] = kSine;  // not well formed, only long
  OwnedIndividual child(old, 50, 7);

  Reproduce(child.ind, parent.ind, 50);
  EXPECT_EQ(child.Program(), parent.Program());
  EXPECT_TRUE(IsSoundChild(child.ind, 50));
  EXPECT_EQ(child.ind.rawFitness, 2.5);
  EXPECT_EQ(child.ind.adjustedFitness, 1 / 3.5);
  EXPECT_EQ(child.ind.normalizedFitness, 0.125);
}

// The first subtree draw of each parent is Rand31 mod length; when the pair fits, the child is
// exactly that splice, and otherwise a later draw that fits.
TEST(SubtreeCrossoverTest, FirstDrawsDecideAndEveryChildIsASpliceThatFits) {
  TestProblem problem = MakeTestProblem();
  Population ratios = Ratios(0.6f, 0.3f);
  currentPopulation = &ratios;
  const test::ResetCurrentPopulation reset;
  SeedRandom(11);
  int exact = 0;
  for (int trial = 0; trial < 300; ++trial) {
    OwnedIndividual a(GrowRandom(4), 70);
    OwnedIndividual b(GrowRandom(4), 70);
    // Every other trial the child may be no longer than the receiver.
    const std::int32_t maxLength = trial % 2 ? a.ind.length : 70;
    OwnedIndividual child({}, maxLength, 5);
    const std::vector<Node> donor = b.Program();

    const std::uint64_t state = RandomState();
    const std::int32_t s1 = Rand31() % a.ind.length;
    const std::int32_t s2 = Rand31() % b.ind.length;
    const std::int32_t e1 = EndOf(a.ind, s1), e2 = EndOf(b.ind, s2);
    SetRandomState(state);
    SubtreeCrossover(child.ind, a.ind, b.ind, maxLength);

    ASSERT_TRUE(IsSoundChild(child.ind, maxLength));
    if (a.ind.length - (e1 - s1 + 1) + (e2 - s2 + 1) <= maxLength) {
      OwnedIndividual expected({}, maxLength);
      SpliceCrossover(expected.ind, a.ind, s1, e1, b.ind, s2, e2, maxLength);
      EXPECT_EQ(child.Program(), expected.Program());
      ++exact;
    }
    EXPECT_EQ(b.Program(), donor);
  }
  EXPECT_GT(exact, 150);
  EXPECT_LT(exact, 300);  // some trials really had to draw again
}

TEST(SubtreeMutationTest, ReplacesTheDrawnSubtreeWithTheDrawnNodes) {
  TestProblem problem = MakeTestProblem();
  Population ratios = Ratios(0.0f, 1.0f);
  currentPopulation = &ratios;  // every replacement is one variable
  const test::ResetCurrentPopulation reset;
  OwnedIndividual parent({kPlus, kX0, kX1}, 8);
  bool sawStart[3] = {};
  SeedRandom(3);
  for (int trial = 0; trial < 30; ++trial) {
    const std::uint64_t state = RandomState();
    const std::int32_t s = Rand31() % 3;
    const Node node = DrawNode(NodeKindRequest::Any, CurrentSetup());
    SetRandomState(state);
    OwnedIndividual child({}, 8, 4);
    SubtreeMutation(child.ind, parent.ind, 8, 30);

    std::vector<Node> expected = parent.Program();
    if (s == 0) {
      expected = {node};
    } else {
      expected[s] = node;
    }
    EXPECT_EQ(child.Program(), expected);
    EXPECT_TRUE(IsSoundChild(child.ind, 8));
    sawStart[s] = true;
  }
  EXPECT_TRUE(sawStart[0] && sawStart[1] && sawStart[2]);
}

TEST(SubtreeMutationTest, ReplacementStaysWithinLimitAndChildWithinMaxLength) {
  TestProblem problem = MakeTestProblem();
  Population ratios = Ratios(0.6f, 0.2f);
  currentPopulation = &ratios;  // large subtrees would be common without the limit
  const test::ResetCurrentPopulation reset;
  SeedRandom(5);
  OwnedIndividual terminal({kX0}, 1000);
  std::int32_t longest = 0;
  for (int trial = 0; trial < 300; ++trial) {
    OwnedIndividual child({}, 1000);
    SubtreeMutation(child.ind, terminal.ind, 1000, 30);  // the whole child is the replacement
    ASSERT_TRUE(IsSoundChild(child.ind, 1000));
    longest = std::max(longest, child.ind.length);
  }
  EXPECT_LE(longest, 30);
  EXPECT_GE(longest, 15);

  for (int trial = 0; trial < 300; ++trial) {
    OwnedIndividual parent(GrowRandom(4), 70);
    const std::int32_t maxLength = parent.ind.length;  // no room to grow at all
    OwnedIndividual child({}, maxLength, 3);
    SubtreeMutation(child.ind, parent.ind, maxLength, 30);
    ASSERT_TRUE(IsSoundChild(child.ind, maxLength));
  }
}

TEST(SubtreeMutationTest, RegrowthThatCannotCloseStopsWithGrowthError) {
  TestProblem problem({kAdd}, 2, {1.0});
  Population ratios = Ratios(1.0f, 0.0f);
  currentPopulation = &ratios;  // a terminal only on the draw of exactly 1.0
  const test::ResetCurrentPopulation reset;
  OwnedIndividual parent({0, 1, 2}, 100);
  SeedRandom(17);
  int raised = 0;
  for (int call = 0; call < 20; ++call) {
    OwnedIndividual child({}, 100);
    try {
      SubtreeMutation(child.ind, parent.ind, 100, 30);
      EXPECT_TRUE(IsSoundChild(child.ind, 100));
    } catch (const GrowthError& error) {
      EXPECT_NE(std::string(error.what()).find("\"Function\""), std::string::npos);
      ++raised;
    }
  }
  EXPECT_GT(raised, 0);

  OwnedIndividual child({}, 100);
  EXPECT_THROW(SubtreeMutation(child.ind, parent.ind, 100, 0), std::invalid_argument);
}

TEST(CutPositionTest, EveryPositionEquallyLikelyByRejection) {
  SeedRandom(23);
  std::array<int, 3> counts{};
  for (int k = 0; k < 30000; ++k) ++counts[DrawCutPosition(3)];
  for (int c : counts) EXPECT_NEAR(c, 10000, 600);

  // 32768 = 3 x 10922 + 2: the draws 32766 and 32767 would favour positions 0 and 1.
  SeedRandom(29);
  std::uint64_t state = RandomState();
  while (Rand15() < 32766) state = RandomState();
  SetRandomState(state);
  Rand15();
  const int second = Rand15();
  const std::uint64_t afterTwo = RandomState();
  SetRandomState(state);
  const std::int32_t position = DrawCutPosition(3);
  EXPECT_EQ(RandomState(), afterTwo);
  if (second < 32766) {
    EXPECT_EQ(position, second % 3);
  }

  bool beyond15Bits = false;
  for (int k = 0; k < 200; ++k) {
    const std::int32_t p = DrawCutPosition(40000);
    ASSERT_GE(p, 0);
    ASSERT_LT(p, 40000);
    beyond15Bits = beyond15Bits || p >= 32768;
  }
  EXPECT_TRUE(beyond15Bits);
}

std::int32_t OpenAt(const Individual& p, std::int32_t last) {
  std::int32_t open = 0;
  for (std::int32_t k = 0; k <= last; ++k) open += currentProblem->nodeTable[p.genes[k]].arityCode;
  return open;
}

TEST(OnePointMutationTest, FirstCutsDecideAndEveryChildJoinsMatchingCuts) {
  TestProblem problem = MakeTestProblem();
  Population ratios = Ratios(0.6f, 0.3f);
  currentPopulation = &ratios;
  const test::ResetCurrentPopulation reset;
  SeedRandom(31);
  int exact = 0;
  for (int trial = 0; trial < 300; ++trial) {
    OwnedIndividual a(GrowRandom(4), 70);
    OwnedIndividual b(GrowRandom(4), 70);
    const std::int32_t maxLength = trial % 2 ? std::max(a.ind.length, b.ind.length) : 70;
    OwnedIndividual child({}, maxLength, 6);

    const std::uint64_t state = RandomState();
    const std::int32_t i = DrawCutPosition(a.ind.length);
    const std::int32_t j = DrawCutPosition(b.ind.length);
    SetRandomState(state);
    OnePointMutation(child.ind, a.ind, b.ind, maxLength);

    ASSERT_TRUE(IsSoundChild(child.ind, maxLength));
    if (OpenAt(a.ind, i) == OpenAt(b.ind, j) && b.ind.length + i - j <= maxLength) {
      OwnedIndividual expected({}, maxLength);
      SpliceOnePoint(expected.ind, a.ind, i, b.ind, j, maxLength);
      EXPECT_EQ(child.Program(), expected.Program());
      ++exact;
    }
  }
  EXPECT_GT(exact, 10);
  EXPECT_LT(exact, 300);
}

}  // namespace
}  // namespace vobrix
