#include "forecast/member_run.h"

#include <atomic>
#include <exception>
#include <memory>
#include <thread>

#include "forecast/baselines.h"
#include "forecast/plan.h"
#include "model/predictor.h"
#include "problem/textconv.h"
#include "run/gp.h"
#include "run/grid_rows.h"
#include "run/memory_display.h"

namespace vobrix::forecast {

namespace {

// The engine's function table, shared read-only by every run of the process.
const FunctionTable& Table() {
  static const FunctionTable table = BuildFunctionTable();
  return table;
}

// A session of one population on the inner training rows, evaluated on the calling thread.
void PrepareSession(RunSession& session, const InnerSplit& split, std::int32_t window,
                    const PanelTexts& panel, std::uint32_t seed) {
  try {
    session.problem = MakeProblem(ProblemAt(window), split.innerTraining, Table()).problem;
    session.populations[0] = std::make_unique<Population>(ReadPopulationParams(panel));
  } catch (const std::exception& e) {
    throw ForecastError(std::string("window ") + std::to_string(window) + ": " + e.what());
  }
  session.lastPopIndex = 0;
  session.hasValidation = false;
  session.threads = 1;
  session.seedSource = [seed] { return seed; };
}

}  // namespace

InnerSplit SplitTraining(const std::vector<CellRow>& training) {
  if (training.size() < kMinTrainingValues) {
    throw ForecastError("the training data need at least " + std::to_string(kMinTrainingValues) +
                        " values for an inner hold-out (they hold " +
                        std::to_string(training.size()) + ")");
  }
  InnerSplit split;
  split.innerRows = training.size() - training.size() / kHoldoutDivisor;
  split.innerTraining.assign(training.begin(),
                             training.begin() + static_cast<std::ptrdiff_t>(split.innerRows));
  for (const CellRow& row : training) split.training.push_back(TextToFloat(row.y));
  return split;
}

model::Model ProgramModel(std::int32_t window, std::vector<model::ModelNode> program,
                          const model::Clip& clip) {
  const ProblemSettings problem = ProblemAt(window);
  model::Model m;
  m.windowSize = window;
  for (int f = 0; f < kFunctionTableSize; ++f) {
    if (problem.ticked[static_cast<std::size_t>(f)]) m.functions.push_back(f);
  }
  m.populations = {{std::move(program), 0.0, std::nullopt}};
  m.clip = clip;
  return m;
}

double ProgramError(const model::Model& program, const std::vector<double>& series,
                    std::size_t firstTarget) {
  const auto w = static_cast<std::size_t>(program.windowSize);
  const std::vector<double> tail(series.begin() + static_cast<std::ptrdiff_t>(firstTarget - w),
                                 series.end());
  return model::Predictor(program, 0).Predict(tail).mse;
}

MemberRun RunMember(const InnerSplit& split, std::int32_t window, const PanelTexts& panel,
                    std::uint32_t seed, const model::Clip& clip) {
  MemoryRunDisplay controls;
  for (toolkit::MemoryChart* chart :
       {&controls.Chart2, &controls.Form5Chart2, &controls.Chart3, &controls.Form6Chart3,
        &controls.Chart4, &controls.Form4Chart1}) {
    chart->KeepNoPoints();
  }
  FillGrid(controls.StringGrid1, split.innerTraining);
  RunSession session;
  PrepareSession(session, split, window, panel, seed);

  std::optional<MemberRun> chosen;
  session.observer.afterStep = [&](const StepReport& report) {
    const Individual& best = *session.populations[0]->Current()[0];
    model::Model program = ProgramModel(
        window, model::ProgramOfGenes(*session.problem, best.genes, best.length), clip);
    const double error = ProgramError(program, split.training, split.innerRows);
    if (!chosen || error < chosen->holdoutMse) {
      chosen = MemberRun{std::move(program.populations[0].program), report.generation, error};
    }
  };
  const RunResult result = RunEvolution(session, controls.View());
  if (result.outcome != RunOutcome::Finished || !chosen) {
    throw ForecastError("the run at window " + std::to_string(window) +
                        " failed: " + result.message);
  }
  return *chosen;
}

void ParallelFor(std::size_t count, int threads, const std::function<void(std::size_t)>& task) {
  if (threads < 1) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  std::vector<std::exception_ptr> failures(count);
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < count; i = next++) {
      try {
        task(i);
      } catch (...) {
        failures[i] = std::current_exception();
      }
    }
  };
  std::vector<std::thread> pool;
  const std::size_t extra = std::min<std::size_t>(static_cast<std::size_t>(threads), count);
  for (std::size_t t = 1; t < extra; ++t) pool.emplace_back(work);
  work();
  for (std::thread& thread : pool) thread.join();
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
}

}  // namespace vobrix::forecast
