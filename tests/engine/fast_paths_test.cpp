// The fast paths must choose and compute exactly what the plain ones do: proportional
// selection by binary search over running sums, and generation fitness on several threads.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/evaluation.h"
#include "engine/gp_pop.h"
#include "engine/misc.h"
#include "engine/parallel_eval.h"
#include "fixture.h"

namespace vobrix {
namespace {

using test::TestProblem;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

PopulationParams Params(std::int32_t size) {
  PopulationParams params;
  params.populationSize = size;
  params.generations = 1;
  params.maxLength = 40;
  return params;
}

// Draws many slots through the prepared sums and checks each against the scan of the same u.
void ExpectSameSlotsAsTheScan(Population& p, const char* what, bool spread = true) {
  PrepareProportionalSelection(p);
  SeedRandom(77);
  int nonZero = 0;
  for (int draw = 0; draw < 4000; ++draw) {
    const std::uint64_t state = RandomState();
    const std::int32_t fast = SelectProportional(p);
    SetRandomState(state);
    const float u = static_cast<float>(RandomUnit());
    ASSERT_EQ(fast, ProportionalSlotByScan(p, u)) << what << " u=" << u;
    nonZero += fast != 0 ? 1 : 0;
  }
  if (spread) {
    EXPECT_GT(nonZero, 0) << what;
  }
}

TEST(FastProportionalSelectionTest, ChoosesTheSlotTheScanChooses) {
  const std::int32_t n = 500;
  Population p(Params(n));
  Individual** slots = p.Current();
  auto fill = [&](auto share) {
    double sum = 0.0;
    for (std::int32_t i = 0; i < n; ++i) sum += (slots[i]->adjustedFitness = share(i));
    for (std::int32_t i = 0; i < n; ++i)
      slots[i]->normalizedFitness = slots[i]->adjustedFitness / sum;
  };
  SeedRandom(5);
  fill([](std::int32_t) { return RandomUnit() * RandomUnit(); });
  ExpectSameSlotsAsTheScan(p, "random");
  fill([](std::int32_t i) { return i < 10 ? 1.0 : 0.0; });
  ExpectSameSlotsAsTheScan(p, "ties and zeros");
  fill([](std::int32_t) { return 1.0; });
  ExpectSameSlotsAsTheScan(p, "all equal");
  for (std::int32_t i = 0; i < n; ++i) slots[i]->normalizedFitness = 0.0;
  ExpectSameSlotsAsTheScan(p, "all zero", false);
  for (std::int32_t i = 0; i < n; ++i) slots[i]->normalizedFitness = kNaN;
  ExpectSameSlotsAsTheScan(p, "all NaN", false);
  fill([](std::int32_t i) { return 1.0 / (1 + i); });
  slots[120]->normalizedFitness = kNaN;
  ExpectSameSlotsAsTheScan(p, "NaN part way");
}

// A problem over a wavy series and a population of random programs of every function.
struct Generation {
  TestProblem problem{{kAdd, kSubtract, kMultiply, kDivide, kSin, kCos, kTan, kLn, kLog10, kSqrt},
                      5,
                      {0.0, 1.5, -2.0, 1e200, 1e16},
                      Series()};
  Population population{Params(700)};

  static std::vector<double> Series() {
    std::vector<double> y(300);
    for (int i = 0; i < 300; ++i) y[i] = std::sin(0.1 * i) * 3.0 + (i % 7 == 0 ? 0.0 : 1.0);
    return y;
  }
  Generation() {
    population.params.maxInitialDepth = 6;
    population.params.maxLength = 40;
    SeedRandom(31);
    FillInitialGeneration(population);
  }
  std::vector<double> Raw() {
    std::vector<double> raw;
    for (std::int32_t i = 0; i < 700; ++i) raw.push_back(population.Current()[i]->rawFitness);
    return raw;
  }
};

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!(a[i] == b[i]) && !(std::isnan(a[i]) && std::isnan(b[i]))) return false;
  }
  return true;
}

TEST(GenerationEvaluatorTest, EveryThreadCountGivesTheInterpretersValues) {
  Generation g;
  ComputeRawFitness(g.population);
  const std::vector<double> reference = g.Raw();
  int infinite = 0;
  for (double r : reference) infinite += std::isinf(r) ? 1 : 0;
  ASSERT_GT(infinite, 0);
  ASSERT_LT(infinite, 700);
  for (int threads : {1, 2, 3, 8}) {
    GenerationEvaluator evaluator(g.problem.get(), threads);
    for (std::int32_t i = 0; i < 700; ++i) g.population.Current()[i]->rawFitness = -1.0;
    EvaluateGeneration(g.population, &evaluator);
    EXPECT_TRUE(SameBits(g.Raw(), reference)) << threads << " threads";
  }
}

}  // namespace
}  // namespace vobrix
