#include "run/gp.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <exception>
#include <limits>
#include <new>
#include <optional>
#include <vector>

#include "engine/evaluation.h"
#include "engine/misc.h"
#include "problem/textconv.h"
#include "run/prediction.h"

namespace vobrix {

std::array<std::string, 4> populationReports;

namespace {

// U+3000 in UTF-8, between the head and the counter of a status label.
constexpr const char* kIdeographicSpace = "\u3000";
constexpr const char* kReportSeparator = "\r\n\r\n";

// Both fitness charts and both length charts, in the order every update visits them.
std::array<toolkit::Chart*, 2> FitnessCharts(const RunDisplay& d) {
  return {d.Chart2, d.Form5Chart2};
}
std::array<toolkit::Chart*, 2> LengthCharts(const RunDisplay& d) {
  return {d.Chart3, d.Form6Chart3};
}

void ShowPaused(const RunDisplay& display, bool paused) {
  display.BitBtn1->SetCaption(paused ? "Resume" : "Stop");
  display.BitBtn1->SetKind(paused ? toolkit::ButtonKind::Ok : toolkit::ButtonKind::No);
}

// Data the whole run relies on, checked once before anything is prepared.
void CheckRunInputs(const RunSession& session, const RunDisplay& display) {
  const Problem& problem = *session.problem;
  if (problem.windowSize < 1 || problem.windowSize > problem.variableCount ||
      problem.trainingCount <= problem.windowSize) {
    throw RunError("The \"Window Size\" does not fit the Training Data.");
  }
  if (display.StringGrid1->RowCount() != problem.trainingCount) {
    throw RunError("The Training Data changed before the run.");
  }
  if (session.hasValidation) {
    if (auto fault = CheckValidationData(*display.StringGrid1, *display.StringGrid3)) {
      throw RunError(fault->message);
    }
  }
  for (std::int32_t i = 0; i <= session.lastPopIndex; ++i) {
    if (!session.populations[static_cast<std::size_t>(i)]) {
      throw RunError("Population " + std::to_string(i + 1) + " was not created.");
    }
  }
}

void ClearRunCharts(const RunDisplay& display) {
  for (toolkit::Chart* chart :
       {display.Chart2, display.Form5Chart2, display.Chart3, display.Form6Chart3}) {
    for (int s = 0; s < chart->SeriesCount(); ++s) chart->ClearSeries(s);
    chart->UndoZoom();
  }
  for (toolkit::Chart* chart : FitnessCharts(display)) chart->SetLeftAxisAutomatic();
}

void ShowStatusLabels(const RunDisplay& display, std::int32_t lastPopIndex) {
  display.statusLabels[0]->SetVisible(true);
  for (std::int32_t i = 1; i < 4; ++i) {
    display.statusLabels[static_cast<std::size_t>(i)]->SetVisible(i <= lastPopIndex);
  }
}

void ReportValidation(const RunDisplay& display, std::int32_t generation, std::int32_t i,
                      double error) {
  const std::string label = std::to_string(generation);
  for (toolkit::Chart* chart : FitnessCharts(display)) {
    chart->AddPoints(2 * i + 1, {{static_cast<double>(generation), error, label}});
  }
}

// Ends a run whatever its outcome: the objects released, the buttons restored, the counters
// reset.
void EndRun(RunSession& session, const RunDisplay& display) {
  session.evaluator.reset();  // it reads the problem, so it goes first
  for (auto& population : session.populations) population.reset();
  currentPopulation = nullptr;
  if (currentProblem == session.problem.get()) currentProblem = nullptr;
  session.problem.reset();
  display.BitBtn2->SetEnabled(true);
  display.BitBtn1->SetEnabled(false);
  ShowPaused(display, false);
  session.populationGenerations.fill(0);
  session.progressCount = 0;
  session.running = false;
}

// The run's counters back at the start and its buttons set for a run under way.
void BeginRun(RunSession& session, const RunDisplay& display) {
  session.running = true;
  display.BitBtn1->SetEnabled(true);
  display.BitBtn2->SetEnabled(false);
  ShowPaused(display, false);
  session.maxGenerations = 0;
  session.maxGenPopIndex = 0;
  session.progressCount = 0;
  session.generationZeroScale = 0.0;
  session.populationGenerations.fill(0);
}

// The evaluator, with as many threads as the largest population gives work to.
std::unique_ptr<GenerationEvaluator> MakeEvaluator(const RunSession& session) {
  std::int32_t largest = 0;
  for (std::int32_t i = 0; i <= session.lastPopIndex; ++i) {
    largest =
        std::max(largest, session.populations[static_cast<std::size_t>(i)]->params.populationSize);
  }
  return std::make_unique<GenerationEvaluator>(
      *session.problem, GenerationEvaluator::ThreadCount(session.threads, largest),
      session.linearScaling);
}

// Everything before the first step: the inputs checked, the evaluator, the output grids, every
// population's generation 0, the charts, the status labels and the progress bar.
void PrepareRun(RunSession& session, const RunDisplay& display) {
  if (!session.problem) throw RunError("There is no problem to run.");
  session.problem->paused = false;
  currentProblem = session.problem.get();
  CheckRunInputs(session, display);
  session.evaluator = MakeEvaluator(session);
  PrepareOutputGrids(session, display);
  for (std::int32_t i = 0; i <= session.lastPopIndex; ++i) {
    PreparePopulation(session, display, i);
  }
  ClearRunCharts(display);
  ShowStatusLabels(display, session.lastPopIndex);
  int total = 0;
  for (std::int32_t generations : session.populationGenerations) total += generations;
  display.ProgressBar1->SetRange(0, total);
}

// Steps the populations in turn, a generation at a time, each until its last generation, until
// all are done or the run is cancelled.
void StepAllGenerations(RunSession& session, const RunDisplay& display) {
  std::array<bool, 4> finished{};
  std::int32_t generation = 0;
  do {
    for (std::int32_t i = 0; i <= session.lastPopIndex && !session.cancelRequested; ++i) {
      Population& population = *session.populations[static_cast<std::size_t>(i)];
      currentPopulation = &population;
      auto& done = finished[static_cast<std::size_t>(i)];
      if (population.params.generations <= generation) done = true;
      if (done) continue;
      ++session.progressCount;
      if (!StepPopulation(session, display, generation, i)) break;
    }
    if (session.cancelRequested) break;
  } while (++generation < session.maxGenerations);
}

}  // namespace

std::uint32_t CalendarSeed() {
  return static_cast<std::uint32_t>(std::time(nullptr));
}

std::string StatusCaption(std::int32_t i, std::int32_t generation, std::int32_t generations) {
  return "No" + std::to_string(i + 1) + ":" + kIdeographicSpace + std::to_string(generation + 1) +
         " / " + std::to_string(generations);
}

std::string PopulationReport(std::int32_t i, const std::string& expression) {
  return "[Population No" + std::to_string(i + 1) + "]\r\n" + expression;
}

std::string JoinedReports() {
  std::string text = populationReports[0];
  for (std::size_t k = 1; k < populationReports.size(); ++k) {
    text += kReportSeparator;
    text += populationReports[k];
  }
  return text;
}

double ValidationError(const RunDisplay& display, std::int32_t windowSize, std::int32_t i) {
  const int nV = display.StringGrid3->RowCount();
  const int nT = display.StringGrid1->RowCount();
  double sum = 0.0;
  for (int k = 0; k < nV; ++k) {
    const double actual = TextToFloat(display.StringGrid3->Cell(1, k));
    const double predicted =
        TextToFloat(display.StringGrid5->Cell(i + 1, nT + k - windowSize), true);
    const double d = actual - predicted;
    sum += d * d;
  }
  const double error = sum / nV;
  // A prediction that is not finite makes the error infinite, never NaN.
  return std::isnan(error) ? std::numeric_limits<double>::infinity() : error;
}

void BitBtn1Click(RunSession& session, const RunDisplay& display) {
  if (!session.running || !session.problem) return;
  session.problem->paused = !session.problem->paused;
  ShowPaused(display, session.problem->paused);
}

void PreparePopulation(RunSession& session, const RunDisplay& display, std::int32_t i) {
  Population& population = *session.populations[static_cast<std::size_t>(i)];
  SeedRandom(session.seedSource());
  currentPopulation = &population;
  FillInitialGeneration(population);
  session.populationGenerations[static_cast<std::size_t>(i)] = population.params.generations;
  if (i == 0 || population.params.generations > session.maxGenerations) {
    session.maxGenerations = population.params.generations;
    session.maxGenPopIndex = i;
  }
  display.application->RepaintMainWindow();
}

void PlotGeneration(RunSession& session, const RunDisplay& display, Population& population,
                    std::int32_t generation, std::int32_t i) {
  const std::string label = i == session.maxGenPopIndex ? std::to_string(generation) : "";
  const double x = generation;
  const Individual& best = *population.Current()[0];

  if (generation == 0 && std::isfinite(best.rawFitness) && best.rawFitness > 0.0) {
    // The axis is sized from generation 0 of every population that has begun, so a later
    // population never cuts off an earlier one's curve.
    session.generationZeroScale = std::max(session.generationZeroScale, best.rawFitness);
    const double maximum = 1.1 * session.generationZeroScale;
    if (std::isfinite(maximum)) {
      for (toolkit::Chart* chart : FitnessCharts(display)) chart->SetLeftAxisMaximum(maximum);
    }
  }
  for (toolkit::Chart* chart : FitnessCharts(display)) {
    chart->AddPoints(2 * i, {{x, best.rawFitness, label}});
  }
  const double average = population.averageLengthHistory[static_cast<std::size_t>(generation)];
  for (toolkit::Chart* chart : LengthCharts(display)) {
    chart->AddPoints(2 * i, {{x, average, label}});
    chart->AddPoints(2 * i + 1, {{x, static_cast<double>(best.length), label}});
  }
}

// After breeding: the validation error on its chart, the best program in the memo, and the
// step's report to the observer.
void ReportStep(RunSession& session, const RunDisplay& display, std::int32_t generation,
                std::int32_t i, const Individual& best, std::int32_t averageLength,
                const std::optional<LinearScaling>& scaling) {
  std::optional<double> validationError;
  if (session.hasValidation) {
    validationError = ValidationError(display, session.problem->windowSize, i);
    ReportValidation(display, generation, i, *validationError);
  }

  std::int32_t position = 0;
  std::string expression = FormatProgram(best.genes, position);
  populationReports[static_cast<std::size_t>(i)] = PopulationReport(i, expression);
  display.Memo1->SetText(JoinedReports());

  if (session.observer.afterStep) {
    StepReport report;
    report.generation = generation;
    report.population = i;
    report.bestFitness = best.rawFitness;
    report.validationError = validationError;
    report.averageLength = averageLength;
    report.bestLength = best.length;
    report.bestProgram = std::move(expression);
    report.scaling = scaling;
    report.progressCount = session.progressCount;
    report.progressMaximum = display.ProgressBar1->Maximum();
    session.observer.afterStep(report);
  }
}

bool StepPopulation(RunSession& session, const RunDisplay& display, std::int32_t generation,
                    std::int32_t i) {
  Population& population = *session.populations[static_cast<std::size_t>(i)];
  Problem& problem = *session.problem;

  // A stopped run waits here, dispatching messages, until Resume (or a cancel).
  while (problem.paused && !session.cancelRequested) display.application->WaitForMessages();
  if (session.cancelRequested) return false;

  display.ProgressBar1->SetPosition(session.progressCount);
  display.statusLabels[static_cast<std::size_t>(i)]->SetCaption(
      StatusCaption(i, generation, population.params.generations));

  EvaluateGeneration(population, session.evaluator.get());
  // Stop and the pages answer between the long parts of a step too; a press takes effect at the
  // next step, as one at its end does.
  display.application->ProcessMessages();
  if (generation == 0 && session.observer.afterInitialEvaluation) {
    session.observer.afterInitialEvaluation(i, population);
  }
  SortGeneration(population, session.evaluator.get());
  const auto averageLength = static_cast<std::int32_t>(AverageLength(population));
  const Individual& best = *population.Current()[0];
  const float bestFitness = NarrowToFloat(best.rawFitness);
  RecordGeneration(population, generation, bestFitness, bestFitness, averageLength);

  PlotGeneration(session, display, population, generation, i);
  const std::optional<LinearScaling> scaling = ShowPredictions(session, display, population, i);
  display.application->RepaintMainWindow();
  display.application->ProcessMessages();

  const std::int32_t breakEvery = population.params.breakEvery;
  if (breakEvery != 0 && (generation + 1) % breakEvery == 0) {
    problem.paused = true;
    ShowPaused(display, true);
  }

  Breed(population, generation, session.evaluator.get(),
        generation + 1 < population.params.generations);
  display.application->ProcessMessages();

  ReportStep(session, display, generation, i, best, averageLength, scaling);
  SwapGenerations(population);
  display.application->ProcessMessages();
  return true;
}

RunResult RunEvolution(RunSession& session, const RunDisplay& display) {
  RunResult result;
  BeginRun(session, display);
  try {
    PrepareRun(session, display);
    StepAllGenerations(session, display);
    if (session.cancelRequested) {
      result.outcome = RunOutcome::Cancelled;
    } else {
      display.application->Beep();
    }
  } catch (const std::bad_alloc&) {
    result = {RunOutcome::Failed, "Memory Allocation Error", true};
  } catch (const ConversionError& e) {
    result = {RunOutcome::Failed, "The run stopped: \"" + e.text() + "\" is not a number.", false};
  } catch (const std::exception& e) {
    result = {RunOutcome::Failed, std::string("The run stopped: ") + e.what(), false};
  }
  EndRun(session, display);
  if (result.outcome == RunOutcome::Failed) display.application->ShowMessage(result.message);
  return result;
}

}  // namespace vobrix
