// `vobrix-cli run`: the bare command's run, whose options it passes on unchanged, plus the
// model, predictions and summary files.
#include <CLI/CLI.hpp>
#include <memory>

#include "cli/commands.h"
#include "cli/exit.h"
#include "cli/output.h"
#include "cli/output_files.h"

namespace vobrix::cli {
namespace {

struct RunTexts {
  std::string model, predictions, summary, horizon;
};

}  // namespace

Action AddRunCommand(CLI::App& app, const RunProgramFn& runProgram) {
  CLI::App* command = app.add_subcommand(
      "run",
      "Evolves formulas as the bare command does (same options, same CSV on standard output) and "
      "can save what a user takes away.");
  command->allow_extras();
  command->footer(
      "Every option of `vobrix-cli --help` is accepted as well; --train FILE is required.");
  auto texts = std::make_shared<RunTexts>();
  command
      ->add_option("--model", texts->model,
                   "write the best program of every population at the end of the run as a "
                   "model file (JSON)")
      ->type_name("FILE");
  command
      ->add_option("--predictions", texts->predictions,
                   "write every population's predictions as CSV: "
                   "population,part,x,actual,predicted")
      ->type_name("FILE");
  command
      ->add_option("--horizon", texts->horizon,
                   "add a recursive forecast of H steps past the data to --predictions "
                   "(0 to " +
                       std::to_string(kMaxHorizon) + ")")
      ->type_name("H");
  command
      ->add_option("--summary", texts->summary,
                   "write the errors beside the persistence and AR(p) baselines (JSON)")
      ->type_name("FILE");
  auto linearScaling = std::make_shared<bool>(false);
  command->add_flag("--linear-scaling", *linearScaling,
                    "score every formula P as a + b * P with a and b fitted by least squares on "
                    "the training targets, and predict with it; the model keeps each "
                    "population's a and b");
  return [command, texts, linearScaling, runProgram] {
    RunOutputOptions options{Given(*command, "--model", texts->model),
                             Given(*command, "--predictions", texts->predictions),
                             Given(*command, "--summary", texts->summary)};
    options.linearScaling = *linearScaling;
    if (command->count("--horizon") > 0) {
      options.horizon = ParseWholeNumber("--horizon", texts->horizon, 0, kMaxHorizon);
      if (!options.predictionsPath) Fail("--horizon: the forecast goes to --predictions FILE");
    }
    RunOutputs outputs(std::move(options));
    return runProgram(command->remaining(), outputs);
  };
}

}  // namespace vobrix::cli
