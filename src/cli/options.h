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

namespace vobrix::cli {

// Bad usage: an unknown option, a missing or malformed value. The message is one line.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct CliOptions {
  bool help = false;
  std::string trainPath;
  std::optional<std::string> validationPath;
  ProblemSettings problem;  // --window, --functions, --constants, --range
  bool normalize = false;
  int populations = 1;
  std::array<PanelTexts, 4> panels;  // the first `populations` are used
  std::optional<std::uint32_t> seed;
  std::optional<std::string> dumpInitial;
  bool quiet = false;
  int threads = 0;  // 0: one per processor core
};

// Parses the arguments after the program name. Throws UsageError. With --help nothing else is
// required.
CliOptions ParseOptions(const std::vector<std::string>& args);

// The text of --help.
std::string HelpText();

// The option whose text in the panel of one population is `text`, for naming the option in a
// conversion error ("--pop-size"), or nothing.
std::optional<std::string> OptionHoldingText(const PanelTexts& panel, const std::string& text);

// Every setting of a run as option texts by option name ("--pop-size": "100,50" with one text
// per population, "--range": "-10 10", "--normalize": "" when given), defaults included: what
// a saved model records of the run it came from.
std::map<std::string, std::string> SettingsTexts(const CliOptions& options);

}  // namespace vobrix::cli
