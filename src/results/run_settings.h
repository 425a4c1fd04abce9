// The settings of a run as the window's controls hold them (texts, ticks and choices), the
// option texts a saved model records of them, and the settings file: the problem page and every
// population panel as JSON, which the window's "Save Settings…" writes and both "Open
// Settings…" and `vobrix-cli run --config FILE` read.
//
// {"format": "vobrix-settings", "version": 1,
//  "problem": {"functions": ["+", "-", "*", "/"], "constants": "1000",
//              "range": {"low": "-10", "high": "10"}, "window": "5"},
//  "populations": 1,
//  "panels": [{"populationSize": "1000", "generations": "50", "selection": "proportional",
//              "tournamentSize": "6", "crossover": "0.70", "mutation": "0.20",
//              "onePoint": "0.00", "elite": {"on": true, "percent": "10"},
//              "breakPoint": {"on": false, "every": "5"}, "maxLength": "100",
//              "maxInitialDepth": "5", "functionRatio": "0.50", "variableRatio": "0.20"}]}
//
// The values are the controls' texts, so that a file means what the window showed; each text
// must read as the number its control takes. "panels" holds one to four panels and at least
// "populations" of them.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/functions.h"
#include "problem/population_settings.h"
#include "problem/problem.h"

namespace vobrix::results {

inline constexpr int kMaxPopulations = 4;

// The function symbols in check-list order, as --functions and the settings file spell them.
inline constexpr std::array<std::string_view, kFunctionTableSize> kFunctionSymbols{
    "+", "-", "*", "/", "sin", "cos", "tan", "ln", "log10", "sqrt"};

// The part of a run the settings file describes: the problem page and the panels.
struct PanelSettings {
  ProblemSettings problem;
  int populations = 1;                             // 1 to 4
  std::array<PanelTexts, kMaxPopulations> panels;  // the first `populations` are used
};

struct RunSettings : PanelSettings {
  std::string trainPath;
  std::optional<std::string> validationPath;
  bool normalize = false;
  std::optional<std::uint32_t> seed;
};

// The per-population option whose text in the panel is `text`, for naming the option in a
// conversion error ("--pop-size"), or nothing.
std::optional<std::string> OptionHoldingText(const PanelTexts& panel, const std::string& text);

// Every setting of a run as option texts by option name ("--pop-size": "100,50" with one text
// per population, "--range": "-10 10", "--normalize": "" when given), defaults included: what
// a saved model records of the run it came from.
std::map<std::string, std::string> SettingsTexts(const RunSettings& settings);

// A settings file that cannot be read; what() names the field ("panels[1].crossover: ...").
class SettingsFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string SettingsToJson(const PanelSettings& settings);
// Parses and checks the whole text; throws SettingsFileError naming the field.
PanelSettings SettingsFromJson(std::string_view text);
// Reads a file of at most 1 MiB; throws SettingsFileError naming the path.
PanelSettings ReadSettingsFile(const std::string& path);

}  // namespace vobrix::results
