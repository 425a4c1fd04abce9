// The run driver and the generation report: advances one to four populations generation by
// generation, interleaved, and reports every step on the toolkit's controls. The window's Start
// handler and the command line program both build a RunSession and a RunDisplay and call
// RunEvolution, so they share one code path.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/gp_pop.h"
#include "engine/linear_scaling.h"
#include "engine/parallel_eval.h"
#include "engine/problem_record.h"
#include "toolkit/toolkit.h"

namespace vobrix {

// The controls a run writes, named as in the main window and the chart windows.
struct RunDisplay {
  toolkit::Grid* StringGrid1 = nullptr;   // training data
  toolkit::Grid* StringGrid3 = nullptr;   // validation data
  toolkit::Grid* StringGrid4 = nullptr;   // working series per population
  toolkit::Grid* StringGrid5 = nullptr;   // predictions per population
  toolkit::Chart* Chart2 = nullptr;       // fitness (main window)
  toolkit::Chart* Form5Chart2 = nullptr;  // fitness window
  toolkit::Chart* Chart3 = nullptr;       // gene length (main window)
  toolkit::Chart* Form6Chart3 = nullptr;  // gene-length window
  toolkit::Chart* Chart4 = nullptr;       // data and predictions (main window)
  toolkit::Chart* Form4Chart1 = nullptr;  // prediction window
  // Label31, Label48, Label82, Label83: the status of populations 1 to 4.
  std::array<toolkit::Label*, 4> statusLabels{};
  toolkit::Memo* Memo1 = nullptr;
  toolkit::ProgressBar* ProgressBar1 = nullptr;
  toolkit::Button* BitBtn1 = nullptr;  // Stop / Resume
  toolkit::Button* BitBtn2 = nullptr;  // Start
  toolkit::Application* application = nullptr;
  // Whether anyone sees the prediction grid and charts. Without a viewer (the command line
  // program) a step formats only the validation predictions, which the validation error reads
  // back, and leaves the rest of StringGrid4, StringGrid5 and the prediction charts alone.
  bool predictionsShown = true;
};

// The figures of one population step, as the reports show them.
struct StepReport {
  std::int32_t generation = 0;            // from 0
  std::int32_t population = 0;            // index, 0 to 3
  double bestFitness = 0.0;               // raw fitness of the best individual
  std::optional<double> validationError;  // nothing when the run has no validation data
  std::int32_t averageLength = 0;         // truncated, as recorded and plotted
  std::int32_t bestLength = 0;
  std::string bestProgram;  // FormatProgram of the best individual
  // The best individual's a, b in a run with linear scaling; its predictions are a + b * P.
  std::optional<LinearScaling> scaling;
  int progressCount = 0;    // population steps started so far, this one included
  int progressMaximum = 0;  // population steps of the whole run
};

// Hooks through which a caller follows the run without a window.
struct RunObserver {
  // Generation 0 of a population has been evaluated and is not sorted yet.
  std::function<void(std::int32_t populationIndex, Population& population)> afterInitialEvaluation;
  // A population step has ended (after its report, before the messages are dispatched).
  std::function<void(const StepReport& report)> afterStep;
};

// The seed a population's preparation gives the generator: the calendar time in whole seconds.
std::uint32_t CalendarSeed();

// One run: what the Start handler creates and the driver releases.
struct RunSession {
  std::unique_ptr<Problem> problem;
  std::array<std::unique_ptr<Population>, 4> populations;
  std::int32_t lastPopIndex = 0;
  // The run reports validation predictions and errors only with validation data (the command
  // line program may run without).
  bool hasValidation = true;
  std::function<std::uint32_t()> seedSource = CalendarSeed;
  // Threads that evaluate a generation; below 1, one per processor core. The results are the
  // same for every count.
  int threads = 0;
  // Scores every program as its least-squares a + b * P and predicts with it (off: the programs
  // are scored and shown as they are).
  bool linearScaling = false;
  // The fast evaluator of this run's problem, made when the run starts.
  std::unique_ptr<GenerationEvaluator> evaluator;
  RunObserver observer;
  // Set to end the run between two steps (the main window closing mid-run).
  bool cancelRequested = false;

  // Run counters; reset at the end of every run.
  std::array<std::int32_t, 4> populationGenerations{};
  std::int32_t maxGenerations = 0;
  std::int32_t maxGenPopIndex = 0;
  int progressCount = 0;
  // The best training error of generation 0 over the populations stepped so far; scales the
  // fitness axis.
  double generationZeroScale = 0.0;
  bool running = false;
};

// How a run ended.
enum class RunOutcome { Finished, Cancelled, Failed };

struct RunResult {
  RunOutcome outcome = RunOutcome::Finished;
  std::string message;       // what went wrong, for Failed
  bool outOfMemory = false;  // Failed because memory ran out
};

// The best-individual texts shown in Memo1. Process-wide and never cleared: a run with fewer
// populations leaves the higher slots as an earlier run wrote them.
extern std::array<std::string, 4> populationReports;

// The run from the Start handler to the end. Requires session.problem and populations 0 to
// lastPopIndex. Returns when the run has ended; the run's objects are then released, Start is
// enabled and Stop disabled, whether the run finished, was cancelled or failed in a step (the
// failure is also shown with Application::ShowMessage).
RunResult RunEvolution(RunSession& session, const RunDisplay& display);

// Run-start step of population i: seed, first generation, generation bound, repaint.
void PreparePopulation(RunSession& session, const RunDisplay& display, std::int32_t i);

// One generation of population i. Returns false when the run was cancelled while it waited in
// a pause, before the step did anything.
bool StepPopulation(RunSession& session, const RunDisplay& display, std::int32_t generation,
                    std::int32_t i);

// The Stop/Resume button: inverts the pause flag and shows "Resume" with the OK kind or "Stop"
// with the No kind. Does nothing without a run.
void BitBtn1Click(RunSession& session, const RunDisplay& display);

// Training fitness and gene-length points of one step; at generation 0 also the fitness axis.
void PlotGeneration(RunSession& session, const RunDisplay& display, Population& population,
                    std::int32_t generation, std::int32_t i);

// The status caption of population i at generation g: "No1:", the ideographic space, g + 1,
// " / ", the generation count.
std::string StatusCaption(std::int32_t i, std::int32_t generation, std::int32_t generations);

// Mean squared difference between the validation Y texts and population i's validation
// predictions in StringGrid5; +infinity when a prediction is not finite.
double ValidationError(const RunDisplay& display, std::int32_t windowSize, std::int32_t i);

// The best-individual text of one population: "[Population No1]", CR LF, the expression.
std::string PopulationReport(std::int32_t i, const std::string& expression);

// The four reports joined with two CR LF pairs between them, empty ones included.
std::string JoinedReports();

}  // namespace vobrix
