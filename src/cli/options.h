// The command line of vobrix-cli: parsing into the texts that the window's controls would
// hold, so that every value is converted exactly as the window converts it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "problem/population_settings.h"
#include "problem/problem.h"
#include "results/run_settings.h"

namespace vobrix::cli {

// Bad usage: an unknown option, a missing or malformed value. The message is one line.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The run's settings: --window, --functions, --constants, --range, --populations and the panel
// options (or --config FILE, which the other options then override), the data, --normalize and
// --seed.
struct CliOptions : results::RunSettings {
  bool help = false;
  std::optional<std::string> dumpInitial;
  bool quiet = false;
  int threads = 0;  // 0: one per processor core
};

// Parses the arguments after the program name. Throws UsageError. With --help nothing else is
// required.
CliOptions ParseOptions(const std::vector<std::string>& args);

// The text of --help.
std::string HelpText();

using results::OptionHoldingText;
using results::SettingsTexts;

}  // namespace vobrix::cli
