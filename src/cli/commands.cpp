#include "cli/commands.h"

#include <CLI/CLI.hpp>
#include <array>
#include <cstdio>

#include "cli/options.h"

namespace vobrix::cli {
namespace {

constexpr std::array<const char*, 5> kSubcommands{"run", "predict", "export", "forecast", "merge"};

}  // namespace

bool IsSubcommand(const std::vector<std::string>& args) {
  if (args.empty()) return false;
  for (const char* name : kSubcommands) {
    if (args[0] == name) return true;
  }
  return false;
}

std::optional<std::string> Given(const CLI::App& command, const char* option,
                                 const std::string& text) {
  return command.count(option) > 0 ? std::optional(text) : std::nullopt;
}

int RunSubcommand(const std::vector<std::string>& args, const RunProgramFn& runProgram) {
  CLI::App app("Evolves formulas that predict a time series, and applies and exports them.",
               "vobrix-cli");
  app.require_subcommand(1);
  // In the order of kSubcommands.
  const std::array<Action, 5> actions{AddRunCommand(app, runProgram), AddPredictCommand(app),
                                      AddExportCommand(app), AddForecastCommand(app),
                                      AddMergeCommand(app)};
  try {
    app.parse(std::vector<std::string>(args.rbegin(), args.rend()));
  } catch (const CLI::CallForHelp&) {
    std::fputs(app.help().c_str(), stdout);  // the chosen subcommand's help
    return 0;
  } catch (const CLI::ParseError& e) {
    throw UsageError(std::string(args[0]) + ": " + e.what());
  }
  for (std::size_t c = 0; c < kSubcommands.size(); ++c) {
    if (app.got_subcommand(kSubcommands[c])) return actions[c]();
  }
  throw UsageError("a subcommand is required");
}

}  // namespace vobrix::cli
