// vobrix-cli: the headless program. It loads the data files into in-memory grids exactly as
// the window's Load does and runs the window's run code on in-memory controls, printing one CSV
// row per population step.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "cli/exit.h"
#include "cli/options.h"
#include "cli/output.h"
#include "engine/functions.h"
#include "engine/gp_pop.h"
#include "engine/memory_room.h"
#include "problem/datafile.h"
#include "problem/normalize.h"
#include "problem/population_settings.h"
#include "problem/problem.h"
#include "problem/textconv.h"
#include "results/replacing_file.h"
#include "run/gp.h"
#include "run/grid_rows.h"
#include "run/memory_display.h"
#include "run/prediction.h"
#include "run/run_plan.h"

namespace vobrix::cli {
namespace {

std::string InPopulation(int populations, std::size_t p) {
  return populations > 1 ? "population " + std::to_string(p + 1) + ": " : "";
}

// The remainder that the panel's label shows, judged as Start judges it: by the shown text.
bool RemainderBelowZero(double remainder) {
  return TextToFloat(FormatRemainder(remainder)) < 0.0;
}

std::vector<PopulationParams> ReadAllParams(const CliOptions& options) {
  std::vector<PopulationParams> all;
  for (std::size_t p = 0; p < static_cast<std::size_t>(options.populations); ++p) {
    const PanelTexts& panel = options.panels[p];
    PopulationParams params;
    try {
      params = ReadPopulationParams(panel);
      ValidatePopulationParams(params, static_cast<int>(p) + 1);
    } catch (const ConversionError& e) {
      const auto option = OptionHoldingText(panel, e.text());
      Fail(InPopulation(options.populations, p) + (option ? *option + ": " : "") + "\"" + e.text() +
           "\" is not a valid number");
    } catch (const SettingsError& e) {
      Fail(e.what());
    }
    const double rates = 1.0 - static_cast<double>(params.crossoverRate) -
                         static_cast<double>(params.mutationRate) -
                         static_cast<double>(params.onePointRate);
    if (RemainderBelowZero(rates)) {
      Fail(InPopulation(options.populations, p) +
           "The sum of operation rate must be 1.0 (--crossover + --mutation + --one-point "
           "exceeds 1)");
    }
    const double ratios =
        1.0 - static_cast<double>(params.functionRatio) - static_cast<double>(params.variableRatio);
    if (RemainderBelowZero(ratios)) {
      Fail(InPopulation(options.populations, p) +
           "The sum of initial node ratio must be 1.0 (--function-ratio + --variable-ratio "
           "exceeds 1)");
    }
    try {
      ValidateGrowth(params, options.problem.ticked, static_cast<int>(p) + 1);
    } catch (const SettingsError& e) {
      Fail(e.what());
    }
    all.push_back(params);
  }
  try {
    ValidateGenerationTotal(all);
  } catch (const SettingsError& e) {
    Fail(e.what());
  }
  return all;
}

// The window's range check, before anything is read; a text that is no number is reported
// where the problem is built.
void CheckRange(const ProblemSettings& settings) {
  double lower = 0.0;
  double upper = 0.0;
  if (TryTextToFloat(settings.lowerText, lower) && TryTextToFloat(settings.upperText, upper) &&
      !IsProperConstantRange(lower, upper)) {
    Fail("--range: the lower end (" + settings.lowerText + ") must be below the upper end (" +
         settings.upperText + ")");
  }
}

// The dump replaces its file at the end: it must not be one of the inputs, however spelled.
void CheckDumpIsNoInput(const CliOptions& options) {
  if (!options.dumpInitial) return;
  const std::pair<const char*, const std::optional<std::string>> inputs[] = {
      {"training", options.trainPath}, {"validation", options.validationPath}};
  for (const auto& [name, input] : inputs) {
    std::error_code error;
    if (input && std::filesystem::equivalent(*options.dumpInitial, *input, error)) {
      Fail("--dump-initial: '" + *options.dumpInitial + "' is the " + name + " file '" + *input +
           "'");
    }
  }
}

std::vector<CellRow> ReadData(const std::string& path) {
  try {
    return ReadDataFile(path);
  } catch (const DataFileError& e) {
    Fail(e.what());
  }
}

void CheckValidation(const CliOptions& options, const toolkit::Grid& training,
                     const toolkit::Grid& validation) {
  const auto fault = CheckValidationData(training, validation);
  if (!fault) return;
  const std::string file = "'" + *options.validationPath + "'";
  const std::string line = std::to_string(fault->row + 1);
  using Kind = ValidationFault::Kind;
  switch (fault->kind) {
    case Kind::Empty:
      Fail("the validation file " + file + " holds no data");
    case Kind::NotNumber:
      Fail("line " + line + " of " + file + ": X \"" + validation.Cell(0, fault->row) +
           "\" is not an integer (the validation X must continue the training X one per row)");
    case Kind::TrainingXNotInteger:
      Fail("the last X of '" + options.trainPath + "' (line " + line + ", \"" +
           training.Cell(0, fault->row) +
           "\") is not an integer, so no validation data can continue it");
    case Kind::XDoesNotContinue:
      Fail("line " + line + " of " + file + ": X is " + validation.Cell(0, fault->row) +
           ", expected " + std::to_string(fault->expectedX) +
           " (the validation X must continue the training X one per row)");
  }
  Fail(fault->message);
}

// Runs a step of making the problem, naming the option behind a text that is not a number.
template <typename Step>
auto ProblemStep(const CliOptions& options, Step step) {
  try {
    return step();
  } catch (const ConversionError& e) {
    const ProblemSettings& s = options.problem;
    std::string option = e.text() == s.windowSizeText                           ? "--window: "
                         : e.text() == s.constantCountText                      ? "--constants: "
                         : (e.text() == s.lowerText || e.text() == s.upperText) ? "--range: "
                                                                                : "";
    Fail(option + "\"" + e.text() + "\" is not a valid number");
  } catch (const ProblemError& e) {
    Fail(e.what());
  }
}

// The run's problem and populations. Every size is checked, and the whole run weighed, before
// any of it is made.
void CreateRun(RunSession& session, const CliOptions& options,
               const std::vector<PopulationParams>& params, const std::vector<CellRow>& training,
               std::size_t validationRows) {
  const RunPlan plan{
      ProblemStep(options, [&] { return ReadProblemShape(options.problem, training.size()); }),
      params, options.threads, static_cast<std::int32_t>(validationRows)};
  if (!RunFitsInMemory(plan, MemoryRoom())) FailMemory();
  session.problem = ProblemStep(
      options, [&] { return MakeProblem(options.problem, training, *functionTable).problem; });
  for (std::size_t p = 0; p < params.size(); ++p) {
    try {
      session.populations[p] = std::make_unique<Population>(params[p]);
    } catch (const std::bad_alloc&) {
      FailMemory();
    } catch (const std::invalid_argument& e) {
      Fail(InPopulation(options.populations, p) + e.what());
    }
  }
}

// The training and validation rows as the window's Load (and Normalization) would leave them.
std::pair<std::vector<CellRow>, std::vector<CellRow>> LoadData(const CliOptions& options,
                                                               RunOutputs& outputs) {
  std::vector<CellRow> training = ReadData(options.trainPath);
  std::vector<CellRow> validation;
  if (options.validationPath) validation = ReadData(*options.validationPath);
  outputs.KeepData(training, validation);
  if (options.normalize) {
    try {
      NormalizedData normalized = Normalize(training, validation);
      outputs.KeepNormalization(normalized);
      training = std::move(normalized.training);
      validation = std::move(normalized.validation);
    } catch (const NormalizationError& e) {
      Fail(std::string("--normalize: ") + e.what());
    }
  }
  return {std::move(training), std::move(validation)};
}

// The generation-0 dump and the CSV rows (with the progress bar on a terminal).
void FollowRun(RunSession& session, const CliOptions& options, std::optional<ReplacingFile>& dump) {
  if (options.dumpInitial) {
    try {
      dump.emplace(*options.dumpInitial);
    } catch (const WriteError& e) {
      Fail(std::string("--dump-initial: ") + e.what());
    }
    session.observer.afterInitialEvaluation = [&dump](std::int32_t i, Population& population) {
      dump->Write(DumpGeneration(i, population));
    };
  }
  const bool progress = !options.quiet && isatty(fileno(stderr)) != 0;
  session.observer.afterStep = [progress](const StepReport& report) {
    std::fputs(CsvRow(report).c_str(), stdout);
    if (progress) {
      std::fputs(ProgressLine(report.progressCount, report.progressMaximum).c_str(), stderr);
    }
  };
}

// Puts every output in place once the run has succeeded.
void FinishRun(const RunResult& result, std::optional<ReplacingFile>& dump, RunOutputs& outputs) {
  if (result.outcome == RunOutcome::Failed) {
    throw Exit(result.outOfMemory ? kExitMemory : kExitBadInput, result.message);
  }
  if (dump) {
    try {
      dump->Commit();
    } catch (const WriteError& e) {
      Fail(std::string("--dump-initial: ") + e.what());
    }
  }
  outputs.Commit();
  if (std::fflush(stdout) != 0) Fail("cannot write the standard output");
}

int RunProgram(const std::vector<std::string>& args, RunOutputs& outputs) {
  const CliOptions options = ParseOptions(args);
  if (options.help) {
    std::fputs(HelpText().c_str(), stdout);
    return 0;
  }
  const std::vector<PopulationParams> params = ReadAllParams(options);
  CheckRange(options.problem);
  CheckDumpIsNoInput(options);
  outputs.Open(options);
  auto [training, validation] = LoadData(options, outputs);

  MemoryRunDisplay controls;
  controls.ShowNobody();
  FillGrid(controls.StringGrid1, training);
  FillGrid(controls.StringGrid3, validation);
  const std::size_t validationRows = validation.size();
  std::vector<CellRow>().swap(validation);
  if (options.validationPath) CheckValidation(options, controls.StringGrid1, controls.StringGrid3);

  static const FunctionTable table = BuildFunctionTable();
  functionTable = &table;

  RunSession session;
  CreateRun(session, options, params, training, validationRows);
  std::vector<CellRow>().swap(training);  // the grid and the problem hold the series now
  session.lastPopIndex = options.populations - 1;
  session.hasValidation = options.validationPath.has_value();
  session.threads = options.threads;
  session.linearScaling = outputs.linearScaling();
  if (options.seed) {
    const std::uint32_t seed = *options.seed;
    session.seedSource = [seed] { return seed; };
  }
  std::optional<ReplacingFile> dump;
  FollowRun(session, options, dump);
  outputs.Follow(session);

  std::fputs(CsvHeader().c_str(), stdout);
  const RunResult result = RunEvolution(session, controls.View());
  if (!options.quiet && isatty(fileno(stderr)) != 0) std::fputs("\n", stderr);
  FinishRun(result, dump, outputs);
  return 0;
}

}  // namespace
}  // namespace vobrix::cli

int main(int argc, char** argv) {
  using namespace vobrix::cli;
  try {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (IsSubcommand(args)) return RunSubcommand(args, RunProgram);
    RunOutputs none;
    return RunProgram(args, none);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "vobrix-cli: %s\n", e.what());
    return kExitBadInput;
  } catch (const Exit& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "vobrix-cli: %s\n", e.message().c_str());
    return e.status();
  } catch (const std::bad_alloc&) {
    std::fflush(stdout);
    std::fprintf(stderr, "vobrix-cli: Memory Allocation Error\n");
    return kExitMemory;
  }
}
