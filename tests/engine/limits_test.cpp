// What the engine knows about the limits of a run: the memory this process may still take and
// the odds that random growth closes.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "common/scratch.h"
#include "engine/batch_eval.h"
#include "engine/gp_opr.h"
#include "engine/gp_pop.h"
#include "engine/growth_odds.h"
#include "engine/init.h"
#include "engine/memory_room.h"
#include "engine/misc.h"
#include "fixture.h"

namespace vobrix {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kKib = 1024;

TEST(MemoryRoomTest, TheLeastOfAvailableMemoryGroupLimitsAndResourceLimits) {
  const fs::path dir = vobrix::testing::ScratchPath("vobrix_memory_room");
  const auto write = [&](const fs::path& name, const std::string& text) {
    fs::create_directories((dir / name).parent_path());
    std::ofstream(dir / name) << text;
  };
  const MemorySources files{dir / "meminfo", dir / "status", dir / "cgroup", dir / "fs", {}, {}};
  write("meminfo", "MemTotal:  8000000 kB\nMemAvailable:  6000000 kB\n");
  write("status", "Name:\tx\nVmSize:\t  100000 kB\nVmData:\t   40000 kB\n");
  EXPECT_EQ(MemoryRoom(files), 6000000 * kKib);

  MemorySources s = files;
  s.addressSpaceLimit = 300000 * kKib;  // less the 100000 kB already mapped
  s.dataLimit = 500000 * kKib;
  EXPECT_EQ(MemoryRoom(s), 200000 * kKib);
  s.dataLimit = 90000 * kKib;  // less the 40000 kB of data
  EXPECT_EQ(MemoryRoom(s), 50000 * kKib);
  s.addressSpaceLimit = 50000 * kKib;  // already beyond
  EXPECT_EQ(MemoryRoom(s), 0u);

  // v2: the tightest group on the way up counts, a group without a limit ("max") does not;
  // v1: the memory hierarchy, found by its controller name.
  write("cgroup", "0::/a/b\n4:cpu,memory:/x\n");
  write("fs/a/b/memory.max", "max\n");
  write("fs/a/b/memory.current", "100\n");
  write("fs/a/memory.max", "4000000000\n");
  write("fs/a/memory.current", "1000000000\n");
  EXPECT_EQ(MemoryRoom(files), 3000000000u);
  write("fs/memory/x/memory.limit_in_bytes", "2500000000\n");
  write("fs/memory/x/memory.usage_in_bytes", "1000000000\n");
  write("fs/memory/memory.limit_in_bytes", "9223372036854771712\n");
  write("fs/memory/memory.usage_in_bytes", "5000000000\n");
  EXPECT_EQ(MemoryRoom(files), 1500000000u);
  // Inactive file cache is given back before the group runs out.
  write("fs/memory/x/memory.stat",
        "cache 900000000\ninactive_file 1\ntotal_inactive_file 700000000\n");
  EXPECT_EQ(MemoryRoom(files), 2200000000u);
  write("fs/unified/a/b/memory.max", "1200000000\n");  // v2 beside v1
  write("fs/unified/a/b/memory.current", "1300000000\n");
  EXPECT_EQ(MemoryRoom(files), 0u);
  write("fs/unified/a/b/memory.stat", "anon 1000\ninactive_file 300000000\n");
  EXPECT_EQ(MemoryRoom(files), 200000000u);

  fs::remove_all(dir);
  EXPECT_EQ(MemoryRoom(files), std::nullopt);
  EXPECT_TRUE(FitsInRoom(~std::uint64_t{0}, std::nullopt));
  EXPECT_FALSE(FitsInRoom(11, 10));
}

// The run is weighed with BatchEvaluator::BytesFor; the evaluator must never take more row
// buffers than it counts, (maxLength + 1) / 3.
TEST(EvaluatorBoundTest, RowBuffersStayWithinWhatTheRunIsWeighedBy) {
  test::TestProblem problem({kAdd, kSin}, 1, {0.5}, {1, 2, 3, 4, 5, 6});
  const Node plus = problem.fn(0), sine = problem.fn(1), x = problem.var(0);
  for (std::int32_t k = 1; k <= 20; ++k) {
    // (((sin X + sin X) + sin X) ...): all k sines wait on the stack before the first sum.
    std::vector<Node> genes(static_cast<std::size_t>(k - 1), plus);
    for (std::int32_t i = 0; i < k; ++i) genes.insert(genes.end(), {sine, x});
    const auto length = static_cast<std::int32_t>(genes.size());
    BatchEvaluator batch(problem.get());
    batch.Fitness(genes.data(), length);
    EXPECT_EQ(batch.buffersHeld(), static_cast<std::size_t>(k));
    EXPECT_LE(static_cast<std::int32_t>(batch.buffersHeld()), (length + 1) / 3);
  }
  // Random programs of every shape up to 60 Nodes keep within the bound too, alone and side by
  // side, where the rows of the programs already run wait for the last one.
  const NodeDrawSetup setup{2, 1, 1, 0.55f, 0.3f};
  constexpr std::int32_t kGroup = BatchEvaluator::kSideBySide;
  SeedRandom(12);
  for (int i = 0; i < 800; ++i) {
    std::array<std::array<Node, 70>, kGroup> genes{};
    std::array<const Node*, kGroup> starts{};
    std::array<std::int32_t, kGroup> lengths{};
    for (std::int32_t k = 0; k < kGroup; ++k) {
      lengths[k] = GrowProgram(genes[k].data(), 0, 60, setup);
      starts[k] = genes[k].data();
      BatchEvaluator alone(problem.get());
      alone.Fitness(starts[k], lengths[k]);
      EXPECT_LE(static_cast<std::int32_t>(alone.buffersHeld()), (lengths[k] + 1) / 3);
    }
    BatchEvaluator grouped(problem.get());
    std::array<double, kGroup> out{};
    grouped.FitnessSideBySide(starts.data(), lengths.data(), kGroup, out.data());
    const std::int32_t longest = *std::max_element(lengths.begin(), lengths.end());
    EXPECT_LE(static_cast<std::int32_t>(grouped.buffersHeld()), (longest + 1) / 3 + kGroup - 1);
  }
}

TEST(GrowthOddsTest, DrawOddsComeFromTheExactUnitValuesAndTheModuloOfRand31) {
  const std::pair<float, double> shares[] = {
      {0.5f, 0.5},
      {0.9998f, 7.0 / 32768},  // only 32761/32767 .. 1 reach it
      {1.0f, 1.0 / 32768},     // 1.0 itself is drawn once in 32768
      {std::nextafter(1.0f, 2.0f), 0.0},
      {0.0f, 1.0}};
  for (const auto& [ratio, share] : shares) EXPECT_EQ(TerminalShare(ratio), share) << ratio;

  // + - sin: Rand31 mod 3 gives 0 and 1 once more than 2 in every 2^31 draws.
  const DrawOdds odds = NodeOdds(0.5f, {1, 1, 0});
  EXPECT_EQ(odds.rootUnary, 715827882.0 / 2147483648.0);
  EXPECT_EQ(odds.rootBinary, 2 * 715827883.0 / 2147483648.0);
  EXPECT_EQ(odds.binary, 0.5 * odds.rootBinary);
}

// The chance that an attempt closes, counted over many seeded attempts of the engine's own
// routines, agrees with the dynamic programme within five standard errors.
TEST(GrowthOddsTest, AttemptOddsAgreeWithCountedAttempts) {
  test::TestProblem problem({kAdd, kMultiply, kSin}, 2, {0.5});
  Population population({.functionRatio = 0.6f});
  test::ResetCurrentPopulation reset;
  currentPopulation = &population;
  const NodeDrawSetup setup{3, 2, 1, 0.6f, 0.2f};
  const DrawOdds odds = NodeOdds(0.6f, {1, 1, 0});
  constexpr int kAttempts = 20000;
  std::array<Node, 70> scratch{};
  const auto expectClose = [](auto attempt, double computed, const std::string& what) {
    int closed = 0;
    for (int a = 0; a < kAttempts; ++a) closed += attempt() ? 1 : 0;
    const double error = 5.0 * std::sqrt(computed * (1.0 - computed) / kAttempts) + 1e-12;
    EXPECT_NEAR(static_cast<double>(closed) / kAttempts, computed, error) << what;
  };
  SeedRandom(5);
  for (std::int32_t budget : {1, 3, 6, 30}) {
    expectClose([&] { return RegrowAttempt(scratch.data(), budget).has_value(); },
                MutationAttempt(odds, budget).closes, "mutation room " + std::to_string(budget));
  }
  for (const auto& s : {std::pair{0, 20}, {3, 12}, {6, 25}, {2, 5}}) {
    expectClose([&] { return GrowAttempt(scratch.data(), s.first, s.second, setup).has_value(); },
                GrowthAttempt(odds, s.first, s.second).closes,
                "growth depth " + std::to_string(s.first) + " at " + std::to_string(s.second));
  }
}

TEST(GrowthOddsTest, SettingsThatCannotCloseAreRefusedAndHardOnesStillBreed) {
  test::TestProblem problem({kAdd, kMultiply}, 2, {0.5, 1.5}, {1, 2, 3, 4, 5, 6, 7, 8});
  test::ResetCurrentPopulation reset;
  // A function ratio of 0.9998 leaves a terminal to 7 draws in 32768: a regrowth closes
  // after thousands of attempts, which a bound of 10,000 tries often cut short.
  const PopulationParams hard{.maxLength = 30,
                              .maxInitialDepth = 2,
                              .functionRatio = 0.9998f,
                              .variableRatio = 0.0001f,
                              .populationSize = 40,
                              .selectionMethod = kRandom,
                              .crossoverRate = 0.0f,
                              .mutationRate = 1.0f,
                              .eliteFraction = 0.0f};
  EXPECT_LT(ExpectedGrowthWork(0.9998f, 2, 30, {1, 1}).mutation, 1e6);
  Population population(hard);
  currentPopulation = &population;
  SeedRandom(3);
  FillInitialGeneration(population);
  for (int g = 0; g < 4; ++g) {
    Breed(population, g);
    SwapGenerations(population);
  }
  for (std::int32_t i = 0; i < hard.populationSize; ++i) {
    EXPECT_TRUE(test::IsSoundChild(*population.Current()[i], hard.maxLength)) << i;
  }

  // Two-argument functions only and no terminal share: depth 8 needs 511 Nodes, never 70.
  PopulationParams never = hard;
  never.functionRatio = 1.0f;
  never.variableRatio = 0.0f;
  never.maxInitialDepth = 8;
  never.maxLength = 100;
  EXPECT_GT(ExpectedGrowthWork(1.0f, 8, 100, {1, 1}).initial, kMaxExpectedWork);
  Population closed(never);
  currentPopulation = &closed;
  EXPECT_THROW(FillInitialGeneration(closed), GrowthError);
  // Above 1 no draw gives a terminal: no regrowth could ever close.
  never.functionRatio = std::nextafter(1.0f, 2.0f);
  never.maxInitialDepth = 1;
  EXPECT_EQ(ExpectedGrowthWork(never.functionRatio, 1, 100, {1, 1}).mutation, INFINITY);
  Population noTerminal(never);
  currentPopulation = &noTerminal;
  EXPECT_THROW(SubtreeMutation(*noTerminal.Next()[0], *population.Current()[0], 100, 30),
               GrowthError);
}

}  // namespace
}  // namespace vobrix
