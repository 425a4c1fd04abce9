// Breeding in two passes against breeding in one: the same children and the same generator
// state for every selection method and operator mix (which also holds the parents' tables to the
// walks they replace), and the roulette's index against the binary search it stands in front of.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "engine/evaluation.h"
#include "engine/gp_opr.h"
#include "engine/gp_pop.h"
#include "engine/misc.h"
#include "engine/parallel_eval.h"
#include "fixture.h"
#include "one_pass_breed.h"

namespace vobrix {
namespace {

using test::TestProblem;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Random Node sequences, well formed or not: every start either ends where the walk ends or
// has no end in both, and the open counts are the walk's running sums.
TEST(ParentTablesTest, EndsAndOpenCountsAreTheWalks) {
  TestProblem problem({kAdd, kMultiply, kSin, kCos}, 2, {1.0});
  SeedRandom(11);
  std::vector<std::int32_t> ends, opens;
  int noEnd = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    const std::int32_t length = 1 + RandomBelow(trial % 3 == 0 ? 8 : 120);
    std::vector<Node> genes(static_cast<std::size_t>(length));
    for (Node& n : genes) n = RandomBelow(7);
    ends.assign(genes.size(), -7);
    opens.assign(genes.size(), -7);
    FillSubtreeEnds(genes.data(), length, ends.data());
    FillOpenCounts(genes.data(), length, opens.data());
    std::int32_t open = 0;
    for (std::int32_t s = 0; s < length; ++s) {
      const std::optional<std::int32_t> walked = SubtreeEnd(genes.data(), length, s);
      ASSERT_EQ(ends[s], walked.value_or(-1)) << "trial " << trial << " start " << s;
      noEnd += walked ? 0 : 1;
      open += problem.get().nodeTable[genes[s]].arityCode;
      ASSERT_EQ(opens[s], open) << "trial " << trial << " position " << s;
    }
  }
  EXPECT_GT(noEnd, 1000);  // malformed programs really were among them
}

// The slot the plain binary search gives for the u of Rand15 draw d.
std::int32_t Searched(const Population& p, int d) {
  return test::one_pass::SlotBySearch(p, static_cast<float>(UnitOfDraw(d)));
}

// Every possible draw through the index against the search, and seeded selections that each
// take exactly one draw; where the sums rise, the first of them also against the scan over the
// shares themselves, which checks the running sums the search reads.
void ExpectTheSearchesSlots(Population& p, const char* what, bool indexed = true) {
  PrepareProportionalSelection(p);
  const bool large = p.params.populationSize >= kRouletteIndexFrom;
  ASSERT_EQ(!p.rouletteSlots.empty(), indexed && large) << what;
  ASSERT_EQ(!p.rouletteBuckets.empty(), indexed && !large) << what;
  for (int d = 0; d < kRouletteDraws; ++d) {
    ASSERT_EQ(SlotOfDraw(p, d), Searched(p, d)) << what << " draw " << d;
  }
  const auto sums = p.cumulativeFitness.begin();
  const bool rising = std::is_sorted(sums, sums + std::max(p.cumulativeCount, std::int32_t{0}));
  SeedRandom(3);
  for (int k = 0; k < 2000; ++k) {
    const std::uint64_t state = RandomState();
    const std::int32_t slot = SelectProportional(p);
    const std::uint64_t after = RandomState();
    SetRandomState(state);
    const int d = Rand15();
    ASSERT_EQ(slot, Searched(p, d)) << what;
    ASSERT_EQ(RandomState(), after) << what;
    if (k < 200 && rising) {
      ASSERT_EQ(slot, ProportionalSlotByScan(p, static_cast<float>(UnitOfDraw(d)))) << what;
    }
  }
}

TEST(RouletteIndexTest, EveryDrawGivesTheSlotOfTheBinarySearch) {
  for (const std::int32_t n : {1, 7, 1000, kRouletteIndexFrom - 1, kRouletteIndexFrom, 250000}) {
    Population p({.maxLength = 1, .generations = 1, .populationSize = n});
    Individual** slots = p.Current();
    const auto fill = [&](auto share) {
      double sum = 0.0;
      for (std::int32_t i = 0; i < n; ++i) sum += (slots[i]->adjustedFitness = share(i));
      for (std::int32_t i = 0; i < n; ++i) {
        slots[i]->normalizedFitness = slots[i]->adjustedFitness / sum;
      }
    };
    SeedRandom(5);
    fill([](std::int32_t) { return RandomUnit() * RandomUnit(); });
    ExpectTheSearchesSlots(p, "random");
    fill([](std::int32_t i) { return 1.0 / (1.0 + i); });  // steep: many draws in few slots
    ExpectTheSearchesSlots(p, "steep");
    fill([](std::int32_t i) { return i % 97 < 3 ? 1.0 : 0.0; });
    ExpectTheSearchesSlots(p, "ties and zeros");
    fill([](std::int32_t) { return 1.0; });
    ExpectTheSearchesSlots(p, "all equal");
    for (std::int32_t i = 0; i < n; ++i) slots[i]->normalizedFitness = 0.0;
    ExpectTheSearchesSlots(p, "all zero");
    for (std::int32_t i = 0; i < n; ++i) slots[i]->normalizedFitness = kNaN;
    ExpectTheSearchesSlots(p, "all NaN");
    fill([](std::int32_t i) { return 1.0 / (1.0 + i); });
    slots[n / 3]->normalizedFitness = kNaN;
    ExpectTheSearchesSlots(p, "NaN part way");
    slots[n / 3]->normalizedFitness = kInf;
    ExpectTheSearchesSlots(p, "infinite share");
    slots[n / 3]->normalizedFitness = -0.5;  // sums that fall: the search stays
    ExpectTheSearchesSlots(p, "negative share", false);
  }
}

// Operator mixes, each bred by both breeders from equal populations over several evaluated
// generations, the children built on 1, 4 or 7 threads: every child, its copied fitness and
// the generator state afterwards agree.
struct BreedCase {
  std::int32_t method;
  std::int32_t size;
  std::int32_t maxLength;
  float crossover, mutation, onePoint, elite;
};

TEST(TwoPassBreedTest, SameChildrenAndDrawsAsBreedingInOnePass) {
  TestProblem problem({kAdd, kSubtract, kMultiply, kDivide, kSin}, 3, {-1.0, 0.5, 2.0},
                      test::LogisticSeries());
  test::ResetCurrentPopulation reset;
  const BreedCase cases[] = {
      {kProportional, 300, 40, 0.7f, 0.2f, 0.0f, 0.1f},
      {kProportional, 200, 25, 0.4f, 0.2f, 0.3f, 0.05f},
      {kProportional, kRouletteIndexFrom + 100, 60, 0.6f, 0.2f, 0.1f, 0.02f},
      {kTournament, 250, 30, 0.5f, 0.3f, 0.15f, 0.0f},
      {kRandom, 150, 20, 0.0f, 0.0f, 1.0f, 0.0f},
      {kRandom, 120, 50, 0.0f, 1.0f, 0.0f, 0.5f},
      {kTournament, 2, 15, 0.5f, 0.0f, 0.5f, 0.0f},
      {kRandom, 1, 20, 0.5f, 0.0f, 0.5f, 0.0f},  // no second parent: only reproduction
      {7, 40, 20, 0.5f, 0.2f, 0.3f, 0.0f},       // an unknown method: slot 0 and the next slot
  };
  for (const BreedCase& c : cases) {
    for (std::uint32_t seed = 1; seed <= 3; ++seed) {
      const PopulationParams params{.maxLength = c.maxLength,
                                    .maxInitialDepth = 4,
                                    .generations = 4,
                                    .populationSize = c.size,
                                    .selectionMethod = c.method,
                                    .tournamentSize = 3,
                                    .crossoverRate = c.crossover,
                                    .mutationRate = c.mutation,
                                    .onePointRate = c.onePoint,
                                    .eliteFraction = c.elite};
      Population two(params), one(params);
      GenerationEvaluator pool(problem.get(), static_cast<int>(seed * 3 - 2));  // 1, 4, 7
      for (Population* p : {&two, &one}) {
        currentPopulation = p;
        SeedRandom(seed);
        FillInitialGeneration(*p);
      }
      for (std::int32_t g = 0; g < params.generations; ++g) {
        for (Population* p : {&two, &one}) {
          EvaluateGeneration(*p);
          SortGeneration(*p);
        }
        const std::uint64_t state = RandomState();
        currentPopulation = &two;
        Breed(two, g, &pool);
        const std::uint64_t twoState = RandomState();
        SetRandomState(state);
        currentPopulation = &one;
        test::one_pass::Breed(one);
        ASSERT_EQ(twoState, RandomState()) << "method " << c.method << " size " << c.size;
        for (std::int32_t i = 0; i < c.size; ++i) {
          const Individual &a = *two.Next()[i], &b = *one.Next()[i];
          ASSERT_TRUE(a.length == b.length && a.fitnessKnown == b.fitnessKnown &&
                      std::equal(a.genes, a.genes + c.maxLength, b.genes) &&
                      test::SameValue(a.normalizedFitness, b.normalizedFitness))
              << "method " << c.method << " size " << c.size << " slot " << i;
        }
        for (Population* p : {&two, &one}) SwapGenerations(*p);
      }
    }
  }
}

}  // namespace
}  // namespace vobrix
