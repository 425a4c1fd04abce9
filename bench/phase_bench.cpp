// Where a run's time goes and how much of it the threads share. One population of --population
// individuals on a smooth series of --points training points (and 20 validation points) is run
// for --generations generations on 1, 2 and all threads, twice over:
//
// - phase by phase: the run step's own routines in the order a step calls them, each timed on
//   the main thread (allocation of the population, initial growth, evaluate, sort, breed, and
//   output: the summary of the step, the predictions as the command line program formats them,
//   the validation error and the program's text);
// - whole: RunEvolution on in-memory controls nobody sees, as `vobrix-cli` runs it.
//
// Every figure is the median over --repetitions, and all of them come from the same process, so
// their ratios hold even on a busy machine. The serial fraction is the Karp-Flatt metric of the
// measured speed-up S on p threads, e = (1/S - 1/p) / (1 - 1/p): the share of one thread's time
// that the extra threads did not take over, whatever the reason (serial code, waiting, memory
// bandwidth). Amdahl's law with that share projects the speed-up on 8 and 64 cores.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/evaluation.h"
#include "engine/gp_pop.h"
#include "engine/misc.h"
#include "engine/parallel_eval.h"
#include "problem/problem.h"
#include "problem/textconv.h"
#include "run/gp.h"
#include "run/grid_rows.h"
#include "run/memory_display.h"
#include "run/prediction.h"

namespace vobrix {
namespace {

constexpr int kValidationPoints = 20;

enum Phase { kAllocation, kGrowth, kEvaluate, kSort, kBreed, kOutput, kPhases };
constexpr std::array<const char*, kPhases> kPhaseNames = {
    "allocation", "initial growth", "evaluate", "sort", "breed", "output"};

struct Options {
  std::int32_t population = 1000;
  int points = 100;
  std::int32_t generations = 50;
  int repetitions = 3;
  bool phasesOnly = false;
};

// Seconds of one phase: wall time, the main thread's CPU time and the whole process's CPU
// time (all threads).
struct Sample {
  double wall = 0.0;
  double main = 0.0;
  double process = 0.0;
};

// One measurement: every phase, and the whole run's wall time.
struct Timing {
  std::array<Sample, kPhases> phase{};
  double whole = 0.0;
};

using Clock = std::chrono::steady_clock;

double CpuSeconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Started at construction; Add puts the time since then into a phase's sums.
class Stopwatch {
 public:
  Stopwatch()
      : wall_(Clock::now()),
        main_(CpuSeconds(CLOCK_THREAD_CPUTIME_ID)),
        process_(CpuSeconds(CLOCK_PROCESS_CPUTIME_ID)) {}
  void Add(Sample& sample) const {
    sample.wall += std::chrono::duration<double>(Clock::now() - wall_).count();
    sample.main += CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - main_;
    sample.process += CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process_;
  }

 private:
  Clock::time_point wall_;
  double main_;
  double process_;
};

std::vector<CellRow> SeriesRows(int first, int count) {
  std::vector<CellRow> rows;
  for (int i = first; i < first + count; ++i) {
    rows.push_back({std::to_string(i), FormatGeneral(std::sin(0.07 * i) * 5 + 0.01 * i, 6)});
  }
  return rows;
}

// Controls and a session as the command line program builds them, without the population.
struct Bench {
  MemoryRunDisplay controls;
  RunDisplay view;
  RunSession session;

  Bench(const Options& options, int threads) {
    static const FunctionTable table = BuildFunctionTable();
    functionTable = &table;
    const std::vector<CellRow> training = SeriesRows(0, options.points);
    FillGrid(controls.StringGrid1, training);
    FillGrid(controls.StringGrid3, SeriesRows(options.points, kValidationPoints));
    controls.ShowNobody();
    view = controls.View();
    session.problem = MakeProblem(ProblemSettings{}, training, table).problem;
    currentProblem = session.problem.get();
    session.hasValidation = true;
    session.threads = threads;
    session.seedSource = [] { return 7u; };
  }
};

PopulationParams ParamsOf(const Options& options) {
  PopulationParams params;
  params.populationSize = options.population;
  params.generations = options.generations;
  return params;
}

// The per-step reports: what StepPopulation does besides evaluating, sorting and breeding.
void Output(Bench& b, Population& population, std::int32_t g) {
  const auto averageLength = static_cast<std::int32_t>(AverageLength(population));
  const Individual& best = *population.Current()[0];
  const float bestFitness = static_cast<float>(best.rawFitness);
  RecordGeneration(population, g, bestFitness, bestFitness, averageLength);
  ShowPredictions(b.session, b.view, population, 0);
  ValidationError(b.view, b.session.problem->windowSize, 0);
  std::int32_t position = 0;
  b.controls.Memo1.SetText(FormatProgram(best.genes, position));
}

void TimePhases(const Options& options, int threads, Timing& timing) {
  Bench b(options, threads);
  auto& t = timing.phase;
  std::optional<Stopwatch> watch(std::in_place);
  auto& slot = b.session.populations[0];
  slot = std::make_unique<Population>(ParamsOf(options));
  Population& population = *slot;
  b.session.evaluator = std::make_unique<GenerationEvaluator>(
      *b.session.problem, GenerationEvaluator::ThreadCount(threads, options.population));
  watch->Add(t[kAllocation]);
  PrepareOutputGrids(b.session, b.view);
  currentPopulation = &population;
  SeedRandom(7);
  watch.emplace();
  FillInitialGeneration(population);
  watch->Add(t[kGrowth]);
  for (std::int32_t g = 0; g < options.generations; ++g) {
    watch.emplace();
    EvaluateGeneration(population, b.session.evaluator.get());
    watch->Add(t[kEvaluate]);
    watch.emplace();
    SortGeneration(population, b.session.evaluator.get());
    watch->Add(t[kSort]);
    watch.emplace();
    Output(b, population, g);
    watch->Add(t[kOutput]);
    watch.emplace();
    // As a run does, breeding evaluates the children when another generation follows, so the
    // evaluate phase only finishes the shares.
    Breed(population, g, b.session.evaluator.get(), g + 1 < options.generations);
    watch->Add(t[kBreed]);
    SwapGenerations(population);
  }
  b.session.evaluator.reset();
}

void TimeWholeRun(const Options& options, int threads, Timing& timing) {
  Bench b(options, threads);
  b.session.populations[0] = std::make_unique<Population>(ParamsOf(options));
  const auto start = Clock::now();
  const RunResult result = RunEvolution(b.session, b.view);
  timing.whole = std::chrono::duration<double>(Clock::now() - start).count();
  if (result.outcome != RunOutcome::Finished) {
    std::fprintf(stderr, "phase_bench: the run failed: %s\n", result.message.c_str());
    std::exit(1);
  }
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

// The medians of every figure over the repetitions.
Timing Medians(const std::vector<Timing>& runs) {
  Timing m;
  std::vector<double> values(runs.size());
  const auto median = [&](auto figure) {
    for (std::size_t r = 0; r < runs.size(); ++r) values[r] = figure(runs[r]);
    return Median(values);
  };
  for (int p = 0; p < kPhases; ++p) {
    m.phase[p].wall = median([p](const Timing& t) { return t.phase[p].wall; });
    m.phase[p].main = median([p](const Timing& t) { return t.phase[p].main; });
    m.phase[p].process = median([p](const Timing& t) { return t.phase[p].process; });
  }
  m.whole = median([](const Timing& t) { return t.whole; });
  return m;
}

Sample Total(const Timing& t) {
  Sample sum;
  for (const Sample& s : t.phase) {
    sum.wall += s.wall;
    sum.main += s.main;
    sum.process += s.process;
  }
  return sum;
}

// The main thread's time alone on p threads: its CPU time beyond the share of each other
// thread, which is what it spends while the others wait (or are not used). From CPU times, so
// other programs on the machine do not inflate it; threads that spin while they wait for work
// count as working and make it an underestimate.
double AloneSeconds(const Sample& s, int threads) {
  if (threads <= 1) return s.main;
  return std::max(0.0, s.main - (s.process - s.main) / (threads - 1));
}

double KarpFlatt(double speedup, int threads) {
  const double p = threads;
  return (1.0 / speedup - 1.0 / p) / (1.0 - 1.0 / p);
}

double Amdahl(double serial, int threads) {
  return 1.0 / (serial + (1.0 - serial) / threads);
}

const char* Plural(int threads) {
  return threads == 1 ? "" : "s";
}

// Per phase: its share of one thread's work (CPU time), its wall time on every thread count,
// and on the most threads the main thread's time alone.
void PrintPhases(const std::vector<int>& threads, const std::vector<Timing>& timings) {
  const int most = threads.back();
  std::printf("\n| phase | share of the work | 1 thread, CPU ms |");
  for (int t : threads) std::printf(" %d thread%s, wall ms |", t, Plural(t));
  std::printf(" main thread alone on %d, CPU ms |\n|---|---|---|", most);
  for (std::size_t k = 0; k <= threads.size(); ++k) std::printf("---|");
  std::printf("\n");
  const auto row = [&](const char* name, auto sample) {
    const double work = sample(timings.front()).main;
    std::printf("| %s | %.1f%% | %.2f |", name, 100.0 * work / Total(timings.front()).main,
                1e3 * work);
    for (const Timing& t : timings) std::printf(" %.2f |", 1e3 * sample(t).wall);
    std::printf(" %.2f |\n", 1e3 * AloneSeconds(sample(timings.back()), most));
  };
  for (int p = 0; p < kPhases; ++p) {
    row(kPhaseNames[p], [p](const Timing& t) { return t.phase[p]; });
  }
  row("all phases", [](const Timing& t) { return Total(t); });
}

// A speed-up below 0 is not measured.
void PrintScalingRow(const char* what, int threads, double speedup, double serial) {
  std::printf("| %s | %d |", what, threads);
  if (speedup < 0.0) {
    std::printf(" - |");
  } else {
    std::printf(" %.2fx |", speedup);
  }
  std::printf(" %.1f%% | %.2fx | %.2fx |\n", 100.0 * serial, Amdahl(serial, 8), Amdahl(serial, 64));
}

// For each thread count above 1: the speed-up over 1 thread of the phases and of the whole
// run, the serial fraction each implies (Karp-Flatt), the main thread's time alone as a share
// of one thread's CPU time, and what each serial fraction projects for 8 and 64 cores.
void PrintScaling(const std::vector<int>& threads, const std::vector<Timing>& timings,
                  bool phasesOnly) {
  std::printf("\n| what | threads | speed-up | serial fraction | projected on 8 | on 64 |\n");
  std::printf("|---|---|---|---|---|---|\n");
  const Sample one = Total(timings.front());
  for (std::size_t k = 1; k < threads.size(); ++k) {
    const int p = threads[k];
    const Sample many = Total(timings[k]);
    const double phases = one.wall / many.wall;
    PrintScalingRow("phases, wall (Karp-Flatt)", p, phases, KarpFlatt(phases, p));
    double alone = 0.0;
    for (const Sample& s : timings[k].phase) alone += AloneSeconds(s, p);
    PrintScalingRow("phases, main thread alone (CPU)", p, -1.0, alone / one.main);
    if (phasesOnly) continue;
    const double whole = timings.front().whole / timings[k].whole;
    PrintScalingRow("whole run, wall (Karp-Flatt)", p, whole, KarpFlatt(whole, p));
  }
  if (phasesOnly) return;
  std::printf("\nwhole run, ms:");
  for (std::size_t k = 0; k < threads.size(); ++k) {
    std::printf(" %d thread%s %.2f;", threads[k], Plural(threads[k]), 1e3 * timings[k].whole);
  }
  std::printf("\n");
}

int Main(int argc, char** argv) {
  Options options;
  CLI::App app{"Times a run phase by phase on 1, 2 and all threads"};
  app.add_option("--population", options.population, "individuals")->check(CLI::PositiveNumber);
  app.add_option("--points", options.points, "training points")->check(CLI::Range(10, 1000000));
  app.add_option("--generations", options.generations, "generations")->check(CLI::PositiveNumber);
  app.add_option("--repetitions", options.repetitions, "median over")->check(CLI::Range(1, 99));
  app.add_flag("--phases-only", options.phasesOnly, "skip the whole runs");
  CLI11_PARSE(app, argc, argv);

  std::vector<int> threads = {1, 2, GenerationEvaluator::DefaultThreads()};
  threads.erase(std::unique(threads.begin(), threads.end()), threads.end());
  std::vector<std::vector<Timing>> runs(threads.size());
  // Thread counts take turns, so that a change in the machine's load touches all of them.
  for (int r = 0; r < options.repetitions; ++r) {
    for (std::size_t k = 0; k < threads.size(); ++k) {
      Timing timing;
      TimePhases(options, threads[k], timing);
      if (!options.phasesOnly) TimeWholeRun(options, threads[k], timing);
      runs[k].push_back(timing);
    }
  }
  std::vector<Timing> medians;
  for (const auto& perCount : runs) medians.push_back(Medians(perCount));
  std::printf("population %d, %d training points, %d generations, median of %d\n",
              options.population, options.points, options.generations, options.repetitions);
  PrintPhases(threads, medians);
  PrintScaling(threads, medians, options.phasesOnly);
  return 0;
}

}  // namespace
}  // namespace vobrix

int main(int argc, char** argv) {
  return vobrix::Main(argc, argv);
}
