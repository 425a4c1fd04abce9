#include "forecast/member_run.h"

#include <cmath>
#include <memory>

#include "engine/linear_scaling.h"
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

// A session of one population on the inner training rows, evaluated on `threads` threads.
void PrepareSession(RunSession& session, const InnerSplit& split, std::int32_t window,
                    const PanelTexts& panel, std::uint32_t seed, int threads) {
  try {
    session.problem = MakeProblem(ProblemAt(window), split.innerTraining, Table()).problem;
    session.populations[0] = std::make_unique<Population>(ReadPopulationParams(panel));
  } catch (const std::exception& e) {
    throw ForecastError(std::string("window ") + std::to_string(window) + ": " + e.what());
  }
  session.lastPopIndex = 0;
  session.hasValidation = false;
  session.threads = threads;
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
                          const model::Clip& clip, const std::optional<LinearScaling>& scaling) {
  const ProblemSettings problem = ProblemAt(window);
  model::Model m;
  m.windowSize = window;
  for (int f = 0; f < kFunctionTableSize; ++f) {
    if (problem.ticked[static_cast<std::size_t>(f)]) m.functions.push_back(f);
  }
  m.populations = {{std::move(program), 0.0, std::nullopt, scaling}};
  m.clip = clip;
  return m;
}

std::optional<LinearScaling> RefittedScaling(std::int32_t window,
                                             const std::vector<model::ModelNode>& program,
                                             const std::optional<LinearScaling>& runScaling,
                                             const std::vector<double>& series) {
  if (!runScaling) return runScaling;
  model::Model raw = ProgramModel(window, program, {});
  raw.clip.reset();
  const std::vector<double> p = model::Predictor(raw, 0).Predict(series).predictions;
  const double* targets = series.data() + window;
  const auto n = static_cast<std::int32_t>(p.size());
  const ScaledFit fit = FitScaling(MomentsOf(targets, n), targets, p.data(), n);
  return std::isfinite(fit.mse) ? std::optional(fit.scaling) : runScaling;
}

double ProgramError(const model::Model& program, const std::vector<double>& series,
                    std::size_t firstTarget) {
  const auto w = static_cast<std::size_t>(program.windowSize);
  const std::vector<double> tail(series.begin() + static_cast<std::ptrdiff_t>(firstTarget - w),
                                 series.end());
  return model::Predictor(program, 0).Predict(tail).mse;
}

MemberRun RunMember(const InnerSplit& split, std::int32_t window, const PanelTexts& panel,
                    std::uint32_t seed, const model::Clip& clip, bool linearScaling, int threads,
                    const GenerationHook& afterGeneration) {
  MemoryRunDisplay controls;
  controls.ShowNobody();
  FillGrid(controls.StringGrid1, split.innerTraining);
  RunSession session;
  PrepareSession(session, split, window, panel, seed, threads);
  session.linearScaling = linearScaling;

  std::optional<MemberRun> chosen;
  session.observer.afterStep = [&](const StepReport& report) {
    const Individual& best = *session.populations[0]->Current()[0];
    model::Model program =
        ProgramModel(window, model::ProgramOfGenes(*session.problem, best.genes, best.length), clip,
                     report.scaling);
    const double error = ProgramError(program, split.training, split.innerRows);
    if (!chosen || error < chosen->holdoutMse) {
      chosen = MemberRun{std::move(program.populations[0].program), report.scaling,
                         report.generation, error};
    }
    if (afterGeneration && !afterGeneration()) session.cancelRequested = true;
  };
  const RunResult result = RunEvolution(session, controls.View());
  if (result.outcome == RunOutcome::Cancelled) throw RunStopped();
  if (result.outcome != RunOutcome::Finished || !chosen) {
    throw ForecastError("the run at window " + std::to_string(window) +
                        " failed: " + result.message);
  }
  return *chosen;
}

}  // namespace vobrix::forecast
