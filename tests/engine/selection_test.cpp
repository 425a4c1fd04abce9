// Proportional and tournament selection, judged by what they choose: the tie and precision
// rules, and the order of the draws against an independent model of the generator.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "engine/gp_pop.h"
#include "engine/misc.h"
#include "reference_random.h"

namespace vobrix {
namespace {

using test::PlaceBeforeRand15;
using test::ReferenceRandom;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A population whose current buffer holds one-Node programs with these normalized fitness
// values, in slot order, and tournaments of 4.
std::unique_ptr<Population> WithFitness(const std::vector<double>& fitness,
                                        std::int32_t method = kProportional) {
  auto p = std::make_unique<Population>(
      PopulationParams{.maxLength = 10,
                       .generations = 1,
                       .populationSize = static_cast<std::int32_t>(fitness.size()),
                       .selectionMethod = method,
                       .tournamentSize = 4});
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

// The candidates are the generator's next index draws, one per entrant: the fittest wins, the
// first drawn of equals, and with NaN fitness (never above another) the last drawn.
TEST(TournamentSelectionTest, TheFittestDrawnWinsTheEarliestAmongEquals) {
  const std::vector<double> rules[] = {std::vector<double>(8, 0.125),
                                       std::vector<double>(8, kNaN),
                                       {0.05, 0.05, 0.1, 0.1, 0.15, 0.15, 0.2, 0.2}};
  for (const std::vector<double>& fitness : rules) {
    auto p = WithFitness(fitness, kTournament);
    SeedRandom(8);
    ReferenceRandom ref = ReferenceRandom::Seeded(8);
    for (int k = 0; k < 300; ++k) {
      std::vector<std::int32_t> drawn(4);
      for (std::int32_t& c : drawn) c = ref.Below(8);
      std::int32_t winner = std::isnan(fitness[0]) ? drawn.back() : drawn.front();
      for (std::int32_t c : drawn) winner = fitness[c] > fitness[winner] ? c : winner;
      ASSERT_EQ(SelectTournament(*p), winner) << fitness[1] << " " << k;
      ASSERT_EQ(RandomState(), ref.state()) << "one index draw per entrant";
    }
  }
}

}  // namespace
}  // namespace vobrix
