// Whatever the thread count, a run is the same bits: this holds the pool's loops and the sort with
// its sides forked to the serial ones. And the fitness that verbatim copies keep instead of being
// evaluated again.
#include <gtest/gtest.h>
#include <tbb/global_control.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/batch_eval.h"
#include "engine/evaluation.h"
#include "engine/gp_pop.h"
#include "engine/misc.h"
#include "engine/parallel_eval.h"
#include "fixture.h"

namespace vobrix {
namespace {

using test::SameValue;
using test::TestProblem;

TestProblem WavyProblem() {
  std::vector<double> y(200);
  for (int i = 0; i < 200; ++i) y[i] = std::sin(0.1 * i) * 3.0 + (i % 7 == 0 ? 0.0 : 1.0);
  return TestProblem({kAdd, kSubtract, kMultiply, kDivide, kSin, kCos, kLn, kSqrt}, 4,
                     {0.0, 1.5, -2.0, 1e200}, y);
}

// oneTBB runs no more threads than the processor has cores unless told otherwise: seven
// threads really run side by side, even on a smaller machine.
tbb::global_control SevenThreadsOnAnyMachine() {
  return tbb::global_control(tbb::global_control::max_allowed_parallelism, 7);
}

// A slot is its thread's own scratch: no two bodies hold one at once. A body that throws ends
// the loop with its exception, and the pool serves the next loop as before.
TEST(ParallelForTest, KeepsSlotsApartAndPassesOnAThrow) {
  TestProblem problem = WavyProblem();
  const tbb::global_control room = SevenThreadsOnAnyMachine();
  for (int threads : {1, 2, 7}) {
    GenerationEvaluator pool(problem.get(), threads);
    std::array<std::atomic<bool>, 7> busy{};
    std::atomic<int> shared{0};
    pool.ParallelFor(20000, [&](std::int32_t, std::int32_t, int slot) {
      if (busy[static_cast<std::size_t>(slot)].exchange(true)) shared.fetch_add(1);
      std::this_thread::yield();
      busy[static_cast<std::size_t>(slot)].store(false);
    });
    EXPECT_EQ(shared.load(), 0) << threads;
    const auto throwing = [](std::int32_t begin, std::int32_t end, int) {
      if (begin <= 9999 && 9999 < end) throw std::runtime_error("body failed");
    };
    EXPECT_THROW(pool.ParallelFor(20000, throwing), std::runtime_error) << threads;
    std::atomic<std::int32_t> covered{0};
    pool.ParallelFor(
        20000, [&](std::int32_t begin, std::int32_t end, int) { covered.fetch_add(end - begin); });
    EXPECT_EQ(covered.load(), 20000) << threads;
  }
}

// The rates leave 0.1 for reproduction.
PopulationParams RunParams(std::uint32_t seed, std::int32_t size) {
  return {.maxLength = 40,
          .maxInitialDepth = 4,
          .generations = 8,
          .populationSize = size,
          .selectionMethod = seed % 2 ? kProportional : kTournament,
          .crossoverRate = 0.6f,
          .mutationRate = 0.2f,
          .onePointRate = 0.1f,
          .eliteFraction = 0.1f};
}

// Every record of every generation, slot by slot: length, genes and the raw fitness's bits.
std::string RunText(std::uint32_t seed, std::int32_t size, std::int32_t generations,
                    GenerationEvaluator* evaluator) {
  Population p(RunParams(seed, size));
  test::ResetCurrentPopulation reset;
  currentPopulation = &p;
  SeedRandom(seed);
  FillInitialGeneration(p);
  std::string text;
  for (std::int32_t g = 0; g < generations; ++g) {
    EvaluateGeneration(p, evaluator);
    SortGeneration(p, evaluator);
    for (std::int32_t i = 0; i < size; ++i) {
      const Individual& individual = *p.Current()[i];
      text += std::to_string(individual.length) + ':' +
              std::to_string(std::bit_cast<std::uint64_t>(individual.rawFitness));
      for (std::int32_t k = 0; k < individual.length; ++k) {
        text += ' ' + std::to_string(individual.genes[k]);
      }
      text += '\n';
    }
    Breed(p, g, evaluator, g + 1 < generations);
    SwapGenerations(p);
  }
  return text;
}

TEST(ThreadCountTest, SeededRunsAreTheSameOnOneTwoAndSevenThreads) {
  TestProblem problem = WavyProblem();
  const tbb::global_control room = SevenThreadsOnAnyMachine();
  struct Case {
    std::uint32_t seed;
    std::int32_t size;
    std::int32_t generations;
    bool scaling;
  };
  const Case cases[] = {{1, 1000, 8, false}, {2, 1000, 8, false}, {3, 333, 8, true},
                        {4, 1000, 6, true},  {5, 60, 8, false},   {6, 9000, 2, false}};
  for (const Case& c : cases) {
    // The interpreter, one program after another, is the reference where it applies.
    GenerationEvaluator one(problem.get(), 1, c.scaling);
    const std::string reference =
        RunText(c.seed, c.size, c.generations, c.scaling ? &one : nullptr);
    for (int threads : {1, 2, 7}) {
      GenerationEvaluator pool(problem.get(), threads, c.scaling);
      EXPECT_TRUE(RunText(c.seed, c.size, c.generations, &pool) == reference)
          << "seed " << c.seed << ", " << threads << " threads";
    }
  }
}

double FreshFitness(BatchEvaluator& batch, const Individual& individual, bool scaling) {
  return scaling ? batch.ScaledFitness(individual.genes, individual.length).mse
                 : batch.Fitness(individual.genes, individual.length);
}

// Elite copies and reproductions are marked and carry the fitness their genes really have;
// evaluation, on either path, keeps what a marked record holds, clears the mark and evaluates
// every other record, unless breeding evaluated it ahead.
TEST(KnownFitnessTest, VerbatimCopiesKeepTheirParentsFitnessAndAreNotEvaluatedAgain) {
  TestProblem problem = WavyProblem();
  test::ResetCurrentPopulation reset;
  constexpr double kStandIn = -7.0;
  for (bool scaling : {false, true}) {
    Population p(RunParams(7, 500));
    currentPopulation = &p;
    SeedRandom(7);
    FillInitialGeneration(p);
    GenerationEvaluator pool(problem.get(), 2, scaling);
    BatchEvaluator batch(problem.get());
    for (std::int32_t g = 0; g < 5; ++g) {
      std::vector<bool> marked;
      for (std::int32_t i = 0; i < 500; ++i) {
        Individual& child = *p.Current()[i];
        marked.push_back(child.fitnessKnown);
        if (!child.fitnessKnown) continue;
        ASSERT_TRUE(SameValue(child.rawFitness, FreshFitness(batch, child, scaling))) << i;
        child.rawFitness = kStandIn;
      }
      // 50 elite copies and about a tenth of the other 450 slots reproduced.
      const auto known = std::count(marked.begin(), marked.end(), true);
      EXPECT_TRUE(g == 0 ? known == 0 : known >= 60 && known <= 140) << g << ": " << known;
      scaling || g % 2 ? pool.ComputeRawFitness(p) : ComputeRawFitness(p);
      for (std::int32_t i = 0; i < 500; ++i) {
        const Individual& child = *p.Current()[i];
        ASSERT_FALSE(child.fitnessKnown) << i;
        const double expected = marked[i] ? kStandIn : FreshFitness(batch, child, scaling);
        ASSERT_TRUE(SameValue(child.rawFitness, expected)) << i;
      }
      EvaluateGeneration(p, &pool);  // everything again, now that no record is marked
      SortGeneration(p, &pool);
      Breed(p, g);
      SwapGenerations(p);
    }
    // Breeding that evaluates ahead leaves every child marked, with its own genes' fitness.
    EvaluateGeneration(p, &pool);
    SortGeneration(p, &pool);
    Breed(p, 5, &pool, true);
    SwapGenerations(p);
    for (std::int32_t i = 0; i < 500; ++i) {
      const Individual& child = *p.Current()[i];
      EXPECT_TRUE(child.fitnessKnown) << i;
      EXPECT_TRUE(SameValue(child.rawFitness, FreshFitness(batch, child, scaling))) << i;
    }
  }
}

}  // namespace
}  // namespace vobrix
