#include "engine/gp_pop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <set>
#include <vector>

#include "engine/evaluation.h"
#include "engine/gp_opr.h"
#include "engine/init.h"
#include "engine/misc.h"
#include "evolution_support.h"
#include "fixture.h"

namespace vobrix {
namespace {

using test::IsSoundChild;
using test::IsWellFormed;
using test::ProgramOf;
using test::TestProblem;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

PopulationParams SmallParams(std::int32_t size, std::int32_t maxLength = 20) {
  PopulationParams params;
  params.populationSize = size;
  params.maxLength = maxLength;
  params.generations = 3;
  return params;
}

// A population whose current buffer holds the given normalized fitness values.
std::unique_ptr<Population> WithFitness(const std::vector<double>& fitness,
                                        std::int32_t method = kProportional,
                                        std::int32_t tournamentSize = 6) {
  PopulationParams params = SmallParams(static_cast<std::int32_t>(fitness.size()));
  params.selectionMethod = method;
  params.tournamentSize = tournamentSize;
  auto p = std::make_unique<Population>(params);
  for (std::size_t i = 0; i < fitness.size(); ++i) p->Current()[i]->normalizedFitness = fitness[i];
  return p;
}

// Positions the generator so that the next Rand15 draw is value.
void PositionBeforeRand15(int value, std::uint32_t seed) {
  SeedRandom(seed);
  std::uint64_t state = RandomState();
  while (Rand15() != value) state = RandomState();
  SetRandomState(state);
}

TEST(PopulationTest, ConstructorAllocatesEveryRecordAndGeneArrayOnce) {
  const PopulationParams params = SmallParams(7, 13);
  Population p(params);
  EXPECT_EQ(p.current, 0);
  EXPECT_EQ(p.fitnessScaleHistory.size(), 3u);
  EXPECT_EQ(p.bestFitnessHistory.size(), 3u);
  EXPECT_EQ(p.averageLengthHistory.size(), 3u);

  std::vector<Individual*> records;
  for (int b = 0; b < 2; ++b) {
    ASSERT_EQ(p.buffers[b].size(), 7u);
    records.insert(records.end(), p.buffers[b].begin(), p.buffers[b].end());
  }
  EXPECT_EQ(std::set<Individual*>(records.begin(), records.end()).size(), 14u);

  std::vector<Node*> genes;
  for (Individual* ind : records) {
    EXPECT_EQ(ind->length, 0);
    EXPECT_TRUE(std::all_of(ind->genes, ind->genes + 13, [](Node n) { return n == 0; }));
    genes.push_back(ind->genes);
  }
  std::sort(genes.begin(), genes.end());
  for (std::size_t k = 1; k < genes.size(); ++k) EXPECT_EQ(genes[k] - genes[k - 1], 13);

  SwapGenerations(p);
  EXPECT_EQ(p.current, 1);
  EXPECT_EQ(p.Current()[0], p.buffers[1][0]);
  SwapGenerations(p);
  EXPECT_EQ(p.current, 0);
}

TEST(PopulationTest, StorageBeyondMemoryFailsBeforeAnythingIsAllocated) {
  const PopulationParams defaults;
  const std::size_t bytes = PopulationBytes(defaults);
  // Two records per slot with their genes and references, and one running sum per slot.
  const std::size_t records =
      2u * 1000 * (100 * sizeof(Node) + sizeof(Individual) + sizeof(void*)) + 1000 * sizeof(double);
  EXPECT_GE(bytes, records);
  EXPECT_LT(bytes, records + 4096);
  EXPECT_TRUE(FitsInMemory(defaults));

  PopulationParams huge = SmallParams(std::numeric_limits<std::int32_t>::max(),
                                      std::numeric_limits<std::int32_t>::max());
  EXPECT_FALSE(FitsInMemory(huge));  // 2^65 bytes, beyond any machine and any size_t
  EXPECT_THROW(Population{huge}, std::bad_alloc);
  huge.populationSize = 1'000'000'000;
  huge.maxLength = 1'000'000;
  EXPECT_THROW(Population{huge}, std::bad_alloc);

  EXPECT_THROW(Population{SmallParams(-1)}, std::invalid_argument);
}

TEST(FillInitialGenerationTest, ProgramsAreCompleteShallowAndFitTheirArrays) {
  const test::ResetCurrentPopulation reset;
  TestProblem problem({kAdd, kSubtract, kMultiply, kSin}, 3, {0.5, 1.5});
  for (std::int32_t maxLength : {100, 10}) {
    PopulationParams params = SmallParams(300, maxLength);
    params.maxInitialDepth = 3;
    Population p(params);
    currentPopulation = &p;
    SeedRandom(41);
    FillInitialGeneration(p);
    std::int32_t longest = 0;
    for (std::int32_t i = 0; i < 300; ++i) {
      const Individual& ind = *p.Current()[i];
      ASSERT_TRUE(IsSoundChild(ind, maxLength)) << "slot " << i;
      EXPECT_LT(ind.genes[0], 4);  // the root is a function
      std::int32_t position = 0;
      EXPECT_LE(TreeDepth(0, ind.genes, position), 3);
      longest = std::max(longest, ind.length);
      EXPECT_EQ(p.Next()[i]->length, 0);
    }
    EXPECT_LE(longest, std::min(70, maxLength));
    EXPECT_GT(longest, maxLength == 10 ? 7 : 12);  // a full tree of depth 3 has 15 Nodes
  }

  PopulationParams shallow = SmallParams(100);
  shallow.maxInitialDepth = 1;
  Population p(shallow);
  FillInitialGeneration(p);
  for (std::int32_t i = 0; i < 100; ++i) {
    EXPECT_TRUE(p.Current()[i]->length == 2 || p.Current()[i]->length == 3);
  }
}

TEST(FillInitialGenerationTest, GrowthThatCannotCloseRaisesGrowthError) {
  // Only "+" and no terminal share: with three Nodes of room a program closes only after two
  // draws of exactly 1.0 in a row.
  TestProblem problem({kAdd}, 2, {1.0});
  PopulationParams params = SmallParams(5, 3);
  params.functionRatio = 1.0f;
  params.variableRatio = 0.0f;
  Population p(params);
  SeedRandom(43);
  EXPECT_THROW(FillInitialGeneration(p), GrowthError);
}

TEST(EliteCountTest, SinglePrecisionFractionTimesSizeTruncated) {
  PopulationParams params;
  params.populationSize = 1000;
  params.eliteFraction = 0.1f;
  EXPECT_EQ(EliteCount(params), 100);
  params.eliteFraction = 0.01f;
  EXPECT_EQ(EliteCount(params), 9);
  params.populationSize = 100;
  params.eliteFraction = 0.29f;
  EXPECT_EQ(EliteCount(params), 28);
  params.eliteFraction = 1.5f;
  EXPECT_EQ(EliteCount(params), 100);  // above 100 percent copies everything, no more
  params.eliteFraction = 0.0f;
  EXPECT_EQ(EliteCount(params), 0);
  params.eliteFraction = -0.5f;
  EXPECT_EQ(EliteCount(params), 0);
  params.eliteFraction = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(EliteCount(params), 0);
}

TEST(ChooseOperationTest, BoundariesAreTheSinglePrecisionRatesSummedInDouble) {
  PopulationParams params;  // 0.70, 0.20, 0.00
  const float below = std::nextafter(0.7f, 0.0f);
  EXPECT_EQ(ChooseOperation(0.0f, params), BreedOperation::Crossover);
  EXPECT_EQ(ChooseOperation(below, params), BreedOperation::Crossover);
  EXPECT_EQ(ChooseOperation(0.7f, params), BreedOperation::Mutation);
  // 0.7f + 0.2f is 0.89999999105930... in double; the float 0.9f lies below it, while a float
  // sum would round to 0.9f itself and give reproduction here.
  EXPECT_EQ(ChooseOperation(0.9f, params), BreedOperation::Mutation);
  EXPECT_EQ(ChooseOperation(std::nextafter(0.9f, 1.0f), params), BreedOperation::Reproduction);
  EXPECT_EQ(ChooseOperation(1.0f, params), BreedOperation::Reproduction);

  params.onePointRate = 0.1f;  // the three add up to 0.99999999254941... in double
  EXPECT_EQ(ChooseOperation(0.95f, params), BreedOperation::OnePoint);
  EXPECT_EQ(ChooseOperation(1.0f, params), BreedOperation::Reproduction);
  params.onePointRate = 0.2f;
  EXPECT_EQ(ChooseOperation(1.0f, params), BreedOperation::OnePoint);  // rates above 1 in all
  params.crossoverRate = 1.0f;
  params.mutationRate = 0.0f;
  params.onePointRate = 0.0f;
  EXPECT_EQ(ChooseOperation(1.0f, params), BreedOperation::Reproduction);
}

TEST(SelectProportionalTest, EdgeCasesFallBackToSlotZero) {
  auto quarters = WithFitness({0.25, 0.25, 0.25, 0.25});
  PositionBeforeRand15(32767, 47);  // u = 1 exactly: the sum never exceeds it
  EXPECT_EQ(SelectProportional(*quarters), 0);
  PositionBeforeRand15(32766, 47);
  EXPECT_EQ(SelectProportional(*quarters), 3);
  PositionBeforeRand15(0, 47);  // u = 0: the first positive share wins
  EXPECT_EQ(SelectProportional(*WithFitness({0.0, 0.0, 1.0})), 2);

  auto nan = WithFitness({kNaN, kNaN, kNaN});
  auto zero = WithFitness({0.0, 0.0, 0.0});
  SeedRandom(53);
  for (int k = 0; k < 50; ++k) {
    EXPECT_EQ(SelectProportional(*nan), 0);
    EXPECT_EQ(SelectProportional(*zero), 0);
  }
}

TEST(SelectProportionalTest, FrequenciesFollowNormalizedFitness) {
  const std::vector<double> shares = {0.1, 0.2, 0.3, 0.4};
  auto p = WithFitness(shares);
  SeedRandom(59);
  std::vector<int> counts(4);
  constexpr int kDraws = 40000;
  for (int k = 0; k < kDraws; ++k) ++counts[SelectParent(*p)];
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(counts[i] / double(kDraws), shares[i], 0.02);
}

TEST(SelectTournamentTest, FavoursFitterSlotsAndSizeOneIsUniform) {
  std::vector<double> rising(100);
  for (int i = 0; i < 100; ++i) rising[i] = (i + 1) / 5050.0;
  auto p = WithFitness(rising, kTournament, 6);
  SeedRandom(61);
  int fitterQuarter = 0;
  constexpr int kDraws = 20000;
  for (int k = 0; k < kDraws; ++k) fitterQuarter += SelectParent(*p) >= 75;
  // The best of six uniform draws is in the top quarter with probability 1 - 0.75^6 = 0.822.
  EXPECT_NEAR(fitterQuarter / double(kDraws), 0.822, 0.02);

  auto single = WithFitness({0.01, 0.01, 0.01, 0.97}, kTournament, 1);
  std::vector<int> counts(4);
  for (int k = 0; k < kDraws; ++k) ++counts[SelectParent(*single)];
  for (int c : counts) EXPECT_NEAR(c / double(kDraws), 0.25, 0.02);
}

TEST(SelectTournamentTest, TiesKeepTheEarliestAndNaNYieldsToLaterCandidates) {
  auto equal = WithFitness({0.25, 0.25, 0.25, 0.25}, kTournament, 3);
  auto nan = WithFitness({kNaN, kNaN, kNaN, kNaN}, kTournament, 3);
  SeedRandom(67);
  for (int k = 0; k < 20; ++k) {
    const std::uint64_t state = RandomState();
    const std::int32_t first = RandomBelow(4);
    RandomBelow(4);
    const std::int32_t third = RandomBelow(4);
    SetRandomState(state);
    EXPECT_EQ(SelectTournament(*equal), first);
    SetRandomState(state);
    EXPECT_EQ(SelectTournament(*nan), third);
  }
  auto none = WithFitness({0.5, 0.5}, kTournament, 0);  // no candidates would mean no winner
  const std::int32_t slot = SelectTournament(*none);
  EXPECT_TRUE(slot == 0 || slot == 1);
}

TEST(SelectParentTest, RandomIsOneDrawAndUnknownMethodsGiveSlotZero) {
  auto random = WithFitness({0.1, 0.2, 0.3, 0.2, 0.2}, kRandom);
  SeedRandom(71);
  for (int k = 0; k < 20; ++k) {
    const std::uint64_t state = RandomState();
    const std::int32_t expected = RandomBelow(5);
    SetRandomState(state);
    EXPECT_EQ(SelectParent(*random), expected);
  }
  EXPECT_EQ(SelectParent(*WithFitness({0.1, 0.9}, 3)), 0);
}

// Programs [+, Xa, Xb] in every slot of the current buffer, all distinct.
void FillDistinct(Population& p) {
  const std::int32_t v = currentProblem->variableCount;
  for (std::int32_t i = 0; i < p.params.populationSize; ++i) {
    Individual& ind = *p.Current()[i];
    ind.genes[0] = 0;
    ind.genes[1] = 1 + i % v;
    ind.genes[2] = 1 + i / v;
    ind.length = 3;
    ind.normalizedFitness = 1.0 / p.params.populationSize;
  }
}

TEST(BreedTest, DrawsTheRateThenTheParentForEverySlotAfterTheElite) {
  const test::ResetCurrentPopulation reset;
  TestProblem problem({kAdd}, 6, {1.0});
  PopulationParams params = SmallParams(12);
  params.selectionMethod = kRandom;
  params.crossoverRate = params.mutationRate = params.onePointRate = 0.0f;
  params.eliteFraction = 0.25f;  // 3 copies
  Population p(params);
  currentPopulation = &p;
  FillDistinct(p);
  SeedRandom(73);
  const std::uint64_t state = RandomState();
  Breed(p, 0);
  const std::uint64_t after = RandomState();

  SetRandomState(state);
  for (std::int32_t i = 0; i < 12; ++i) {
    std::int32_t parent = i;
    if (i >= 3) {
      RandomUnit();
      parent = RandomBelow(12);
    }
    EXPECT_EQ(ProgramOf(*p.Next()[i]), ProgramOf(*p.Current()[parent])) << "slot " << i;
  }
  EXPECT_EQ(RandomState(), after);
}

TEST(BreedTest, SecondParentLoopsAreBounded) {
  const test::ResetCurrentPopulation reset;
  TestProblem problem({kAdd}, 6, {1.0});
  // A population of one can only reproduce.
  PopulationParams one = SmallParams(1);
  one.crossoverRate = 0.5f;
  one.mutationRate = 0.0f;
  one.onePointRate = 0.5f;
  one.eliteFraction = 0.0f;
  Population single(one);
  currentPopulation = &single;
  FillDistinct(single);
  SeedRandom(79);
  for (int g = 0; g < 20; ++g) {
    Breed(single, g);
    EXPECT_EQ(ProgramOf(*single.Next()[0]), ProgramOf(*single.Current()[0]));
  }

  // Selections that can only return slot 0: an unknown method, and proportional selection
  // over NaN shares (every raw fitness infinite). The second parent becomes slot 1.
  for (std::int32_t method : {5, static_cast<std::int32_t>(kProportional)}) {
    PopulationParams params = SmallParams(6);
    params.selectionMethod = method;
    params.crossoverRate = 1.0f;
    params.mutationRate = 0.0f;
    params.eliteFraction = 0.0f;
    Population p(params);
    currentPopulation = &p;
    FillDistinct(p);
    for (std::int32_t i = 0; i < 6; ++i) p.Current()[i]->normalizedFitness = kNaN;
    Breed(p, 0);
    for (std::int32_t i = 0; i < 6; ++i) {
      const std::vector<Node> child = ProgramOf(*p.Next()[i]);
      EXPECT_TRUE(IsSoundChild(*p.Next()[i], 20));
      // Made from slot 0 (+ X0 X0) and slot 1 (+ X1 X0) only.
      for (Node n : child) EXPECT_TRUE(n == 0 || n == 1 || n == 2) << "method " << method;
    }
  }
}

// Many generations of a real run: every bred program sound, elite copies equal to their
// parents, and the best training error never rises while the elite is on.
TEST(BreedTest, InvariantsHoldOverManySeededGenerations) {
  const test::ResetCurrentPopulation reset;
  std::vector<double> series;
  double x = 0.3;  // a logistic map: good predictors need products, so programs grow
  for (int i = 0; i < 30; ++i) series.push_back(x = 3.9 * x * (1 - x));
  TestProblem problem({kAdd, kSubtract, kMultiply, kDivide, kSin}, 3, {-1.0, 0.5, 2.0}, series);
  const std::int32_t methods[] = {kProportional, kTournament, kRandom};
  for (std::uint32_t seed = 1; seed <= 3; ++seed) {
    PopulationParams params = SmallParams(60, 40);
    params.selectionMethod = methods[seed - 1];
    params.tournamentSize = 4;
    params.crossoverRate = 0.6f;
    params.mutationRate = 0.2f;
    params.onePointRate = 0.1f;
    params.eliteFraction = 0.05f;
    params.maxInitialDepth = 3;
    params.generations = 25;
    Population p(params);
    currentPopulation = &p;
    SeedRandom(seed);
    FillInitialGeneration(p);
    const std::int32_t elite = EliteCount(params);
    ASSERT_EQ(elite, 3);
    double previousBest = std::numeric_limits<double>::infinity();
    std::int32_t longest = 0;
    for (std::int32_t g = 0; g < params.generations; ++g) {
      EvaluateGeneration(p);
      SortGeneration(p);
      const double best = p.Current()[0]->rawFitness;
      EXPECT_LE(best, previousBest) << "seed " << seed << " generation " << g;
      previousBest = best;
      Breed(p, g);
      for (std::int32_t i = 0; i < params.populationSize; ++i) {
        ASSERT_TRUE(IsSoundChild(*p.Next()[i], 40)) << "seed " << seed << " slot " << i;
        longest = std::max(longest, p.Next()[i]->length);
      }
      for (std::int32_t i = 0; i < elite; ++i) {
        EXPECT_EQ(ProgramOf(*p.Next()[i]), ProgramOf(*p.Current()[i]));
      }
      SwapGenerations(p);
    }
    EXPECT_TRUE(std::isfinite(previousBest));
    EXPECT_GT(longest, 30);  // the length bound was really pressed
  }
}

}  // namespace
}  // namespace vobrix
