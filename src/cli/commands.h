// The subcommands of vobrix-cli on CLI11: run, predict, export, forecast and merge. Without a
// subcommand the program is the bare command, with its own parser, messages and help; `run` is the
// bare command plus the outputs a user can take away.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/run_outputs.h"

namespace CLI {
class App;
}

namespace vobrix::cli {

// The bare command's run: its arguments and the outputs it writes besides its CSV.
using RunProgramFn = std::function<int(const std::vector<std::string>&, RunOutputs&)>;

// True when the first argument names a subcommand.
bool IsSubcommand(const std::vector<std::string>& args);

// Parses the arguments (the first the subcommand's name) and runs the subcommand. Returns the
// exit status; errors end as Exit or UsageError exceptions, like the bare command's.
int RunSubcommand(const std::vector<std::string>& args, const RunProgramFn& runProgram);

// The option's text when it was given.
std::optional<std::string> Given(const CLI::App& command, const char* option,
                                 const std::string& text);

// What a subcommand does once its options are parsed.
using Action = std::function<int()>;
// Each adds its subcommand and options to the application.
Action AddRunCommand(CLI::App& app, const RunProgramFn& runProgram);
Action AddPredictCommand(CLI::App& app);
Action AddExportCommand(CLI::App& app);
Action AddForecastCommand(CLI::App& app);
Action AddMergeCommand(CLI::App& app);

}  // namespace vobrix::cli
