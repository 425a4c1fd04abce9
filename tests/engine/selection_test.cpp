// Selection and subtree mutation, judged by what they choose: the tie and boundary rules, the
// order of the draws against an independent model of the generator, and the bounds a
// replacement keeps. (The cut positions' draws are pinned exactly by the draw and breeding
// tests, so their distributions follow from the generator's.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "engine/gp_opr.h"
#include "engine/gp_pop.h"
#include "engine/misc.h"
#include "evolution_support.h"
#include "fixture.h"
#include "reference_random.h"

namespace vobrix {
namespace {

using test::IsSoundChild;
using test::OwnedIndividual;
using test::PlaceBeforeRand15;
using test::ReferenceRandom;
using test::TestProblem;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A population whose current buffer holds one-Node programs with these normalized fitness
// values, in slot order.
std::unique_ptr<Population> WithFitness(const std::vector<double>& fitness,
                                        std::int32_t method = kProportional,
                                        std::int32_t tournamentSize = 6) {
  auto p = std::make_unique<Population>(
      PopulationParams{.maxLength = 10,
                       .generations = 1,
                       .populationSize = static_cast<std::int32_t>(fitness.size()),
                       .selectionMethod = method,
                       .tournamentSize = tournamentSize});
  for (std::size_t i = 0; i < fitness.size(); ++i) {
    p->Current()[i]->normalizedFitness = fitness[i];
    p->Current()[i]->length = 1;
  }
  return p;
}

// The draw is narrowed to single precision and compared, strictly, with a running sum kept in
// double: a share one double above the draw wins it, one equal to it does not.
TEST(ProportionalSelectionTest, RunningSumInDoubleAgainstTheSinglePrecisionDraw) {
  int k = 1;  // a draw whose single-precision value lies below its double value
  while (static_cast<double>(static_cast<float>(k / 32767.0L)) >= k / 32767.0) ++k;
  const double u = static_cast<float>(k / 32767.0L);
  const double uDouble = k / 32767.0;
  const struct {
    double first;
    std::int32_t slot;
  } cases[] = {
      {std::nextafter(u, 1.0), 0},  // rounds to u in single precision
      {u, 1},                       // equal is not above
      {(u + uDouble) / 2, 0},       // above the narrowed draw, below the wide one
      {std::nextafter(u, 0.0), 1},
  };
  for (const auto& c : cases) {
    for (bool prepared : {false, true}) {
      auto p = WithFitness({c.first, 1.0 - c.first});
      if (prepared) PrepareProportionalSelection(*p);
      PlaceBeforeRand15(k);
      EXPECT_EQ(SelectProportional(*p), c.slot) << c.first << (prepared ? " prepared" : "");
    }
  }
  // Many small shares: a sum formed in single precision would drift from the double sum by
  // more than one draw step.
  std::vector<double> many(1000, 1.0 / 1000);
  for (bool prepared : {false, true}) {
    auto p = WithFitness(many);
    if (prepared) PrepareProportionalSelection(*p);
    for (int value = 1; value < 32767; value += 1) {
      PlaceBeforeRand15(value);
      const double draw = static_cast<float>(value / 32767.0L);
      double s = 0.0;
      std::int32_t expected = 0;
      while ((s += 1.0 / 1000) <= draw) ++expected;
      ASSERT_EQ(SelectProportional(*p), expected) << value << (prepared ? " prepared" : "");
    }
  }
}

TEST(ProportionalSelectionTest, FallsBackToSlotZero) {
  auto quarters = WithFitness({0.25, 0.25, 0.25, 0.25});
  PlaceBeforeRand15(32767);  // u = 1 exactly: the sum never exceeds it
  EXPECT_EQ(SelectProportional(*quarters), 0);
  PlaceBeforeRand15(32766);
  EXPECT_EQ(SelectProportional(*quarters), 3);
  auto nan = WithFitness({kNaN, kNaN, kNaN});
  auto zero = WithFitness({0.0, 0.0, 0.0});
  for (int k = 0; k < 50; ++k) {
    EXPECT_EQ(SelectProportional(*nan), 0);
    EXPECT_EQ(SelectProportional(*zero), 0);
  }
}

TEST(TournamentSelectionTest, FavoursTheFitterAndTheEarliestDrawnWinsAmongEquals) {
  std::vector<double> rising(100);
  for (int i = 0; i < 100; ++i) rising[i] = (i + 1) / 5050.0;
  // The best of t uniform draws lies in the top quarter with probability 1 - 0.75^t.
  for (std::int32_t size : {1, 2, 6}) {
    auto p = WithFitness(rising, kTournament, size);
    SeedRandom(31);
    int top = 0;
    for (int k = 0; k < 20000; ++k) top += SelectParent(*p) >= 75;
    EXPECT_NEAR(top / 20000.0, 1.0 - std::pow(0.75, size), 0.015) << size;
  }

  // Which candidate wins, for the candidates the generator will draw.
  const struct {
    const char* name;
    std::vector<double> fitness;
    std::int32_t (*winner)(const std::vector<std::int32_t>& drawn, const std::vector<double>& f);
  } rules[] = {
      {"equal", std::vector<double>(8, 0.125),
       [](const std::vector<std::int32_t>& d, const std::vector<double>&) { return d.front(); }},
      {"all NaN", std::vector<double>(8, kNaN),
       [](const std::vector<std::int32_t>& d, const std::vector<double>&) { return d.back(); }},
      {"pairs of equals",
       {0.05, 0.05, 0.1, 0.1, 0.15, 0.15, 0.2, 0.2},
       [](const std::vector<std::int32_t>& d, const std::vector<double>& f) {
         std::int32_t best = d.front();
         for (std::int32_t c : d) best = f[c] > f[best] ? c : best;
         return best;
       }},
  };
  for (const auto& rule : rules) {
    auto p = WithFitness(rule.fitness, kTournament, 4);
    SeedRandom(8);
    ReferenceRandom ref = ReferenceRandom::Seeded(8);
    for (int k = 0; k < 300; ++k) {
      std::vector<std::int32_t> drawn(4);
      for (std::int32_t& c : drawn) c = ref.Below(8);
      ASSERT_EQ(SelectTournament(*p), rule.winner(drawn, rule.fitness)) << rule.name << " " << k;
      ASSERT_EQ(RandomState(), ref.state()) << "one index draw per entrant";
    }
  }
}

// Mutation regrows its replacement from nothing whenever it would pass 30 Nodes or the
// child would pass maxLength; it never cuts a replacement short.
TEST(SubtreeMutationTest, ReplacementNeverOverTheLimitAndChildNeverOverMaxLength) {
  TestProblem problem({kAdd, kMultiply, kSin, kCos}, 3, {0.5, 2.0});
  // Long replacements are common.
  Population holder({.maxLength = 10,
                     .functionRatio = 0.6f,
                     .variableRatio = 0.3f,
                     .generations = 1,
                     .populationSize = 1});
  test::ResetCurrentPopulation reset;
  currentPopulation = &holder;
  const std::vector<Node> parent = {0, 1, 4, 5, 2, 3, 6};  // + (* X0 X1) (sin (cos X2))
  const std::int32_t n = static_cast<std::int32_t>(parent.size());
  for (std::int32_t maxLength : {200, 40, 12, n}) {
    OwnedIndividual p(parent, n), child({}, maxLength);
    SeedRandom(static_cast<std::uint32_t>(maxLength));
    std::int32_t longest = 0;
    for (int k = 0; k < 3000; ++k) {
      ReferenceRandom ref(RandomState());
      const std::int32_t s = ref.Rand31() % n;
      const std::int32_t e = *SubtreeEnd(parent.data(), n, s);
      SubtreeMutation(child.ind, p.ind, maxLength, kMutationSubtreeLimit);
      ASSERT_TRUE(IsSoundChild(child.ind, maxLength)) << maxLength;
      const std::int32_t replacement = child.ind.length - (n - (e - s + 1));
      ASSERT_LE(replacement, kMutationSubtreeLimit) << maxLength;
      const std::vector<Node> genes = child.Program();
      ASSERT_TRUE(std::equal(parent.begin(), parent.begin() + s, genes.begin()));
      ASSERT_TRUE(std::equal(parent.begin() + e + 1, parent.end(), genes.end() - (n - e - 1)));
      longest = std::max(longest, replacement);
    }
    // The bound that applies was really reached: 30 Nodes, or what maxLength leaves.
    EXPECT_GE(longest, std::min(kMutationSubtreeLimit, maxLength - 1) - 2) << maxLength;
  }
}

}  // namespace
}  // namespace vobrix
