// Node evaluations per second of the recursive interpreter and of the batch evaluator, side by
// side, over programs of a given length and function set and series of a given length.
#include <benchmark/benchmark.h>

#include <cmath>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "engine/batch_eval.h"
#include "engine/fitness.h"
#include "engine/gp_pop.h"
#include "engine/init.h"
#include "engine/misc.h"
#include "engine/problem_record.h"

namespace vobrix {
namespace {

constexpr int kWindow = 5;

struct Workload {
  Problem problem;
  std::vector<std::vector<Node>> programs;
  std::int64_t nodes = 0;  // summed length of the programs
};

// A problem over a smooth series of `windows` + 5 points, and 64 programs whose lengths lie
// within 10% of `length`.
std::unique_ptr<Workload> MakeWorkload(bool trigonometric, int length, int windows) {
  auto work = std::make_unique<Workload>();
  Problem& p = work->problem;
  static const FunctionTable table = BuildFunctionTable();
  const std::vector<int> functions = trigonometric
                                         ? std::vector<int>{kAdd, kMultiply, kSin, kCos, kLn}
                                         : std::vector<int>{kAdd, kSubtract, kMultiply, kDivide};
  for (int f : functions) p.nodeTable.push_back(table[f]);
  p.functionCount = static_cast<int>(functions.size());
  p.variableCount = p.windowSize = kWindow;
  p.window.assign(kWindow, 0.0);
  for (int k = 0; k < kWindow; ++k) p.nodeTable.push_back({-1, "X", EvalVariable, k});
  p.constantCount = 100;
  for (int k = 0; k < 100; ++k) {
    p.constants.push_back(-10.0 + 0.2 * k);
    p.nodeTable.push_back({-1, "c", EvalConstant, k});
  }
  p.trainingCount = windows + kWindow;
  for (int i = 0; i < p.trainingCount; ++i) p.trainingY.push_back(std::sin(0.05 * i) + 0.01 * i);
  p.trainingX.assign(p.trainingCount, 0.0);
  currentProblem = &p;

  const int capacity = length + length / 10 + 1;
  // Long programs need a function share that keeps trees growing: about one new open argument
  // per function drawn (the trigonometric set has mostly one-argument functions).
  const float functionRatio = length < 50 ? 0.5f : (trigonometric ? 0.75f : 0.55f);
  const NodeDrawSetup setup{p.functionCount, kWindow, 100, functionRatio, 0.2f};
  std::vector<Node> scratch(capacity);
  SeedRandom(static_cast<std::uint32_t>(length));
  while (work->programs.size() < 64) {
    const int depth = 2 + RandomBelow(11);
    const std::int32_t n = GrowProgram(scratch.data(), depth, capacity, setup);
    if (n < length - length / 10 || n > capacity - 1) continue;
    work->programs.emplace_back(scratch.begin(), scratch.begin() + n);
    work->nodes += n;
  }
  return work;
}

void Report(benchmark::State& state, const Workload& work) {
  const double nodeRows = static_cast<double>(work.nodes) * (work.problem.trainingCount - kWindow);
  state.counters["node_rows_per_s"] = benchmark::Counter(
      nodeRows * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Reference(benchmark::State& state) {
  auto work = MakeWorkload(state.range(0) != 0, static_cast<int>(state.range(1)),
                           static_cast<int>(state.range(2)));
  currentProblem = &work->problem;
  for (auto _ : state) {
    for (const auto& program : work->programs) {
      benchmark::DoNotOptimize(TrainingFitness(program.data()));
    }
  }
  Report(state, *work);
}

void BM_Batch(benchmark::State& state) {
  auto work = MakeWorkload(state.range(0) != 0, static_cast<int>(state.range(1)),
                           static_cast<int>(state.range(2)));
  BatchEvaluator batch(work->problem);
  for (auto _ : state) {
    for (const auto& program : work->programs) {
      benchmark::DoNotOptimize(
          batch.Fitness(program.data(), static_cast<std::int32_t>(program.size())));
    }
  }
  Report(state, *work);
}

// The arguments the math library gets when the batch evaluator runs the programs: every sin,
// cos and ln argument that reaches the library (the guards keep the rest from it), once per
// window for an argument that reads the series and once per program for one that does not,
// gathered by running the interpreter with evaluators that record them.
struct LibmArguments {
  std::vector<double> sin, cos, ln;
};
LibmArguments* recording = nullptr;
std::int32_t recordingWindow = 0;

// The argument of the one-argument node at genes[position]; recorded in to when the library
// gets it for this window.
double RecordedArgument(const Node* genes, std::int32_t& position, std::vector<double>& to,
                        bool (*reaches)(double)) {
  const std::int32_t first = ++position;
  const double a = EvaluateNode(genes, position);
  bool readsSeries = false;
  for (std::int32_t k = first; k < position; ++k) {
    readsSeries = readsSeries || currentProblem->nodeTable[genes[k]].evaluate == EvalVariable;
  }
  if ((readsSeries || recordingWindow == 0) && reaches(a)) to.push_back(a);
  return a;
}

bool Trigonometric(double a) {
  return std::fabs(a) < 9007199254740992.0;
}
bool Logarithm(double a) {
  return TruncatedMagnitude(a) != 0.0;
}

double RecordSin(const Node* genes, std::int32_t& position) {
  return GuardedSin(RecordedArgument(genes, position, recording->sin, Trigonometric));
}
double RecordCos(const Node* genes, std::int32_t& position) {
  return GuardedCos(RecordedArgument(genes, position, recording->cos, Trigonometric));
}
double RecordLn(const Node* genes, std::int32_t& position) {
  return MagnitudeLn(RecordedArgument(genes, position, recording->ln, Logarithm));
}

LibmArguments GatherArguments(Workload& work) {
  Problem& p = work.problem;
  LibmArguments arguments;
  recording = &arguments;
  const FunctionTable saved = p.nodeTable;
  for (NodeEntry& entry : p.nodeTable) {
    if (entry.evaluate == EvalSin) entry.evaluate = RecordSin;
    if (entry.evaluate == EvalCos) entry.evaluate = RecordCos;
    if (entry.evaluate == EvalLn) entry.evaluate = RecordLn;
  }
  currentProblem = &p;
  for (const auto& program : work.programs) {
    for (std::int32_t i = 0; i < p.trainingCount - kWindow; ++i) {
      p.LoadWindow(i);
      recordingWindow = i;
      std::int32_t position = 0;
      EvaluateNode(program.data(), position);
    }
  }
  p.nodeTable = saved;
  recording = nullptr;
  return arguments;
}

// The math library's own time: one call per recorded argument and nothing else.
double LibmPass(const LibmArguments& arguments) {
  double sum = 0.0;
  for (double a : arguments.sin) sum += std::sin(a);
  for (double a : arguments.cos) sum += std::cos(a);
  for (double a : arguments.ln) sum += std::log(TruncatedMagnitude(a));
  return sum;
}

// The calling thread's CPU time: the ratios below compare two pieces of work on one thread,
// and other programs on a busy machine stretch their wall times unevenly.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// The batch evaluator against the math library's own time on programs with sin, cos and ln,
// side by side in every iteration: batch_over_libm is the evaluator's time over the time of
// the library calls that the same programs make, on the same arguments. The evaluator also
// guards the arguments and does the arithmetic, so it stays above 1.
void BM_BatchOverLibm(benchmark::State& state) {
  auto work =
      MakeWorkload(true, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const LibmArguments arguments = GatherArguments(*work);
  BatchEvaluator batch(work->problem);
  double batchSeconds = 0.0;
  double libmSeconds = 0.0;
  for (auto _ : state) {
    double start = ThreadSeconds();
    for (const auto& program : work->programs) {
      benchmark::DoNotOptimize(
          batch.Fitness(program.data(), static_cast<std::int32_t>(program.size())));
    }
    batchSeconds += ThreadSeconds() - start;
    start = ThreadSeconds();
    benchmark::DoNotOptimize(LibmPass(arguments));
    libmSeconds += ThreadSeconds() - start;
  }
  state.counters["batch_over_libm"] = batchSeconds / libmSeconds;
}
BENCHMARK(BM_BatchOverLibm)
    ->ArgNames({"length", "windows"})
    ->Args({50, 95})
    ->Args({50, 1000})
    ->Args({100, 1000})
    ->Unit(benchmark::kMicrosecond);

// The same programs one at a time (Fitness) and four side by side (RawFitness), alternating
// in every iteration: one_over_four is the first time over the second.
void BM_SideBySide(benchmark::State& state) {
  auto work = MakeWorkload(state.range(0) != 0, static_cast<int>(state.range(1)),
                           static_cast<int>(state.range(2)));
  BatchEvaluator batch(work->problem);
  std::vector<Individual> individuals(work->programs.size());
  std::vector<Individual*> slots;
  for (std::size_t k = 0; k < individuals.size(); ++k) {
    individuals[k].genes = work->programs[k].data();
    individuals[k].length = static_cast<std::int32_t>(work->programs[k].size());
    slots.push_back(&individuals[k]);
  }
  const auto count = static_cast<std::int32_t>(slots.size());
  double oneSeconds = 0.0;
  double fourSeconds = 0.0;
  for (auto _ : state) {
    double start = ThreadSeconds();
    for (const Individual* one : slots) {
      benchmark::DoNotOptimize(batch.Fitness(one->genes, one->length));
    }
    oneSeconds += ThreadSeconds() - start;
    start = ThreadSeconds();
    batch.RawFitness(slots.data(), count, false);
    benchmark::DoNotOptimize(individuals.data());
    fourSeconds += ThreadSeconds() - start;
  }
  state.counters["one_over_four"] = oneSeconds / fourSeconds;
}
BENCHMARK(BM_SideBySide)
    ->ArgNames({"trig", "length", "windows"})
    ->Args({0, 10, 95})
    ->Args({0, 10, 1000})
    ->Args({0, 50, 1000})
    ->Args({1, 10, 1000})
    ->Unit(benchmark::kMicrosecond);

// The scalar math library alone: one sin per element.
void BM_ScalarLibm(benchmark::State& state) {
  std::vector<double> in(1000), out(1000);
  for (int i = 0; i < 1000; ++i) in[i] = 0.01 * i - 3.0;
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) out[i] = std::sin(in[i]);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["values_per_s"] = benchmark::Counter(
      1000.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void EvalArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"trig", "length", "windows"});
  for (int trig : {0, 1}) {
    for (int length : {10, 50, 100}) {
      for (int windows : {95, 1000, 10000}) b->Args({trig, length, windows});
    }
  }
}

BENCHMARK(BM_Reference)->Apply(EvalArgs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Batch)->Apply(EvalArgs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScalarLibm);

}  // namespace
}  // namespace vobrix

BENCHMARK_MAIN();
