// A whole generation (evaluate, sort, breed) at population 1,000, 10,000 and 100,000 on 1, 2
// and all threads, the thread scaling of evaluation, what linear scaling adds to evaluation, and a
// whole default command-line run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/evaluation.h"
#include "engine/gp_pop.h"
#include "engine/misc.h"
#include "engine/parallel_eval.h"
#include "one_pass_breed.h"
#include "problem/problem.h"
#include "problem/textconv.h"

namespace vobrix {
namespace {

std::unique_ptr<Problem> SmoothProblem(int points) {
  static const FunctionTable table = BuildFunctionTable();
  std::vector<CellRow> rows;
  for (int i = 0; i < points; ++i) {
    rows.push_back({std::to_string(i), FormatGeneral(std::sin(0.07 * i) * 5 + 0.01 * i, 6)});
  }
  auto problem = MakeProblem(ProblemSettings{}, rows, table).problem;
  currentProblem = problem.get();
  return problem;
}

std::unique_ptr<Population> FilledPopulation(std::int32_t size) {
  PopulationParams params;
  params.populationSize = size;
  params.generations = 1000;
  auto population = std::make_unique<Population>(params);
  currentPopulation = population.get();
  SeedRandom(7);
  FillInitialGeneration(*population);
  return population;
}

// Default settings; state.range(0) individuals, state.range(1) training points,
// state.range(2) threads (0: all). Every thread count runs the same 20 generations from the
// same seeded start (a run's bits do not depend on the threads), so that their times compare:
// with iterations left to the library, each count would time a population at another stage.
void BM_Generation(benchmark::State& state) {
  auto problem = SmoothProblem(static_cast<int>(state.range(1)));
  auto population = FilledPopulation(static_cast<std::int32_t>(state.range(0)));
  GenerationEvaluator evaluator(*problem, static_cast<int>(state.range(2)));
  for (auto _ : state) {
    EvaluateGeneration(*population, &evaluator);
    SortGeneration(*population, &evaluator);
    Breed(*population, 0, &evaluator, true);  // as a run does: the children are evaluated
    SwapGenerations(*population);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Generation)
    ->ArgNames({"population", "points", "threads"})
    ->ArgsProduct({{1000}, {100}, {1, 2, 0}})
    ->ArgsProduct({{10000}, {1000}, {1, 2, 0}})
    ->ArgsProduct({{100000}, {100}, {1, 2, 0}})
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Evaluation alone on 10,000 individuals over 1,000 points: state.range(0) = 1 with linear
// scaling, state.range(1) threads. Side by side on the same generation, the ratio of the times
// with and without scaling is what scaling costs a generation; across threads, the scaling of
// evaluation with the cores.
void BM_EvaluateOnly(benchmark::State& state) {
  auto problem = SmoothProblem(1000);
  auto population = FilledPopulation(10000);
  GenerationEvaluator evaluator(*problem, static_cast<int>(state.range(1)), state.range(0) != 0);
  for (auto _ : state) EvaluateGeneration(*population, &evaluator);
  state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_EvaluateOnly)
    ->ArgNames({"scaling", "threads"})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({0, 2})
    ->Args({1, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The worst case for scaling: the shortest program (X4 alone), where the pass over the rows
// that sums the errors is all the work. state.range(0) = 1 for scaling.
void BM_ScalingOneNode(benchmark::State& state) {
  auto problem = SmoothProblem(1000);
  BatchEvaluator batch(*problem);
  const Node genes[] = {static_cast<Node>(problem->functionCount + problem->windowSize - 1)};
  for (auto _ : state) {
    benchmark::DoNotOptimize(state.range(0) ? batch.ScaledFitness(genes, 1).mse
                                            : batch.Fitness(genes, 1));
  }
  state.SetItemsProcessed(state.iterations() * batch.rows());
}
BENCHMARK(BM_ScalingOneNode)->ArgName("scaling")->Arg(0)->Arg(1);

// Breeding alone on one evaluated, sorted generation of state.range(0) individuals, bred in two
// passes (state.range(1) = 1) with state.range(2) threads building the tables and children, or
// in one pass with the walks and the binary search as before (0). The default operator mix
// with one-point cuts at 0.1 so that every table is used.
void BM_Breed(benchmark::State& state) {
  auto problem = SmoothProblem(100);
  const auto size = static_cast<std::int32_t>(state.range(0));
  auto population = FilledPopulation(size);
  population->params.crossoverRate = 0.6f;
  population->params.onePointRate = 0.1f;
  GenerationEvaluator evaluator(*problem, static_cast<int>(state.range(2)));
  EvaluateGeneration(*population, &evaluator);
  SortGeneration(*population);
  for (auto _ : state) {
    if (state.range(1) != 0) {
      Breed(*population, 0, &evaluator);
    } else {
      test::one_pass::Breed(*population);
    }
  }
  state.SetItemsProcessed(state.iterations() * size);
}
BENCHMARK(BM_Breed)
    ->ArgNames({"population", "two_pass", "threads"})
    ->Args({10000, 0, 1})
    ->Args({10000, 1, 1})
    ->Args({10000, 1, 2})
    ->Args({100000, 0, 1})
    ->Args({100000, 1, 1})
    ->Args({100000, 1, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Proportional selection alone at 100,000: the running sums and one draw per slot, as one
// generation's breeding makes them.
void BM_SelectOnly(benchmark::State& state) {
  auto problem = SmoothProblem(100);
  auto population = FilledPopulation(100000);
  GenerationEvaluator evaluator(*problem, 1);
  EvaluateGeneration(*population, &evaluator);
  SortGeneration(*population);
  for (auto _ : state) {
    PrepareProportionalSelection(*population);
    std::int64_t sum = 0;
    for (int i = 0; i < 100000; ++i) sum += SelectProportional(*population);
    benchmark::DoNotOptimize(sum);
  }
  population->cumulativeCount = -1;
}
BENCHMARK(BM_SelectOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole default run of the command-line program, start-up and output included, on a
// 100-point training series and 20 validation points.
void BM_DefaultCliRun(benchmark::State& state) {
  const std::string dir = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
  const std::string train = dir + "/vobrix_bench_train.txt";
  const std::string valid = dir + "/vobrix_bench_valid.txt";
  FILE* t = std::fopen(train.c_str(), "w");
  FILE* v = std::fopen(valid.c_str(), "w");
  for (int i = 0; i < 120; ++i) {
    std::fprintf(i < 100 ? t : v, "%d\t%g\n", i, std::sin(0.07 * i) * 5 + 0.01 * i);
  }
  std::fclose(t);
  std::fclose(v);
  const std::string command = std::string("'") + VOBRIX_CLI + "' --train " + train +
                              " --validation " + valid + " --seed 7 >/dev/null";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("vobrix-cli failed");
  }
}
BENCHMARK(BM_DefaultCliRun)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
}  // namespace vobrix

BENCHMARK_MAIN();
