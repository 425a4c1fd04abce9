#include "cli/options.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <string_view>

#include "engine/functions.h"
#include "problem/datafile.h"

namespace vobrix::cli {

namespace {

using results::kFunctionSymbols;

std::vector<std::string> SplitCommas(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    parts.push_back(text.substr(start, comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return parts;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// How one per-population option writes its value into a panel.
using PanelSetter = std::function<void(PanelTexts&, const std::string&)>;

void SetSelection(PanelTexts& panel, const std::string& value) {
  const std::string name = Lower(value);
  if (name == "proportional") {
    panel.selectionIndex = 0;
  } else if (name == "tournament") {
    panel.selectionIndex = 1;
  } else if (name == "random") {
    panel.selectionIndex = 2;
  } else {
    throw UsageError("--selection: \"" + value +
                     "\" is not one of proportional, tournament, random");
  }
}

void SetElite(PanelTexts& panel, const std::string& value) {
  if (Lower(value) == "off") {
    panel.eliteChecked = false;
  } else {
    panel.eliteChecked = true;
    panel.elite = value;
  }
}

const std::map<std::string, PanelSetter, std::less<>>& PanelOptions() {
  static const std::map<std::string, PanelSetter, std::less<>> options{
      {"--pop-size", [](PanelTexts& p, const std::string& v) { p.populationSize = v; }},
      {"--generations", [](PanelTexts& p, const std::string& v) { p.generations = v; }},
      {"--selection", SetSelection},
      {"--tournament-size", [](PanelTexts& p, const std::string& v) { p.tournamentSize = v; }},
      {"--crossover", [](PanelTexts& p, const std::string& v) { p.crossover = v; }},
      {"--mutation", [](PanelTexts& p, const std::string& v) { p.mutation = v; }},
      {"--one-point", [](PanelTexts& p, const std::string& v) { p.onePoint = v; }},
      {"--elite", SetElite},
      {"--max-length", [](PanelTexts& p, const std::string& v) { p.maxLength = v; }},
      {"--max-depth", [](PanelTexts& p, const std::string& v) { p.maxInitialDepth = v; }},
      {"--function-ratio", [](PanelTexts& p, const std::string& v) { p.functionRatio = v; }},
      {"--variable-ratio", [](PanelTexts& p, const std::string& v) { p.variableRatio = v; }},
  };
  return options;
}

std::array<bool, kFunctionTableSize> ParseFunctions(const std::string& list) {
  std::array<bool, kFunctionTableSize> ticked{};
  for (const std::string& symbol : SplitCommas(list)) {
    const auto found = std::find(kFunctionSymbols.begin(), kFunctionSymbols.end(), symbol);
    if (found == kFunctionSymbols.end()) {
      throw UsageError("--functions: \"" + symbol +
                       "\" is not one of + - * / sin cos tan ln log10 sqrt");
    }
    ticked[static_cast<std::size_t>(found - kFunctionSymbols.begin())] = true;
  }
  return ticked;
}

std::uint32_t ParseSeed(const std::string& text) {
  const bool digits =
      !text.empty() && text.size() <= 10 &&
      std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
  const unsigned long long value = digits ? std::stoull(text) : 0;
  if (!digits || value > 0xFFFFFFFFull) {
    throw UsageError("--seed: \"" + text + "\" is not a whole number from 0 to 4294967295");
  }
  return static_cast<std::uint32_t>(value);
}

int ParseThreads(const std::string& text) {
  const bool digits =
      !text.empty() && text.size() <= 4 &&
      std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
  const int value = digits ? std::stoi(text) : 0;
  if (value < 1 || value > 1024) {
    throw UsageError("--threads: \"" + text + "\" is not a whole number from 1 to 1024");
  }
  return value;
}

int ParsePopulationCount(const std::string& text) {
  if (text.size() != 1 || text[0] < '1' || text[0] > '4') {
    throw UsageError("--populations: \"" + text + "\" is not a number from 1 to 4");
  }
  return text[0] - '0';
}

}  // namespace

namespace {

// The path of --config FILE where it stands as an option, not as another option's value: the
// settings file is read before the other options, which override it.
std::optional<std::string> ConfigPath(const std::vector<std::string>& args) {
  for (std::size_t k = 0; k < args.size(); ++k) {
    const std::string& arg = args[k];
    if (arg.rfind("--config=", 0) == 0) return arg.substr(9);
    if (arg == "--config") return k + 1 < args.size() ? std::optional(args[k + 1]) : std::nullopt;
    const bool flag =
        arg == "--help" || arg == "-h" || arg == "--normalize" || arg == "--quiet" || arg == "-q";
    if (arg.rfind("-", 0) != 0 || flag || arg.find('=') != std::string::npos) continue;
    k += arg == "--range" ? 2 : 1;  // its value(s)
  }
  return std::nullopt;
}

void ApplyConfig(const std::vector<std::string>& args, CliOptions& options) {
  const std::optional<std::string> path = ConfigPath(args);
  if (!path) return;
  try {
    static_cast<results::PanelSettings&>(options) = results::ReadSettingsFile(*path);
  } catch (const results::SettingsFileError& e) {
    throw UsageError(std::string("--config: ") + e.what());
  }
}

// The option at args[k] as it is read: its name, a value given inline (--name=value), and the
// position, which moves on over the values it takes from the arguments after it.
struct OptionArg {
  OptionArg(const std::vector<std::string>& arguments, std::size_t& position)
      : args(arguments), k(position), name(arguments[position]) {
    if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
      inlineValue = name.substr(eq + 1);
      name.resize(eq);
    }
  }
  // The value: the inline one, or the next argument.
  std::string Value() {
    if (inlineValue) return *inlineValue;
    if (k + 1 >= args.size()) throw UsageError(name + ": a value is missing");
    return args[++k];
  }
  void NoValue() const {
    if (inlineValue) throw UsageError(name + " takes no value");
  }

  const std::vector<std::string>& args;
  std::size_t& k;
  std::string name;
  std::optional<std::string> inlineValue;
};

// The per-population options, kept until the number of populations is known.
using PanelValues = std::vector<std::pair<std::string, std::string>>;

// The data files and the settings file; false when `arg` is none of their options.
bool ParseDataOption(OptionArg& arg, CliOptions& options, bool& sawTrain) {
  if (arg.name == "--train") {
    options.trainPath = arg.Value();
    sawTrain = true;
  } else if (arg.name == "--validation") {
    options.validationPath = arg.Value();
  } else if (arg.name == "--config") {
    arg.Value();  // read first, by ApplyConfig
  } else if (arg.name == "--normalize") {
    arg.NoValue();
    options.normalize = true;
  } else {
    return false;
  }
  return true;
}

bool ParseProblemOption(OptionArg& arg, CliOptions& options) {
  if (arg.name == "--window") {
    options.problem.windowSizeText = arg.Value();
  } else if (arg.name == "--functions") {
    options.problem.ticked = ParseFunctions(arg.Value());
  } else if (arg.name == "--constants") {
    options.problem.constantCountText = arg.Value();
  } else if (arg.name == "--range") {
    if (arg.inlineValue) throw UsageError("--range takes two values: --range LO HI");
    if (arg.k + 2 >= arg.args.size()) {
      throw UsageError("--range: two values are needed: --range LO HI");
    }
    options.problem.lowerText = arg.args[++arg.k];
    options.problem.upperText = arg.args[++arg.k];
  } else {
    return false;
  }
  return true;
}

bool ParsePopulationOption(OptionArg& arg, CliOptions& options, PanelValues& panelValues) {
  if (arg.name == "--populations") {
    options.populations = ParsePopulationCount(arg.Value());
  } else if (PanelOptions().contains(arg.name)) {
    panelValues.emplace_back(arg.name, arg.Value());
  } else {
    return false;
  }
  return true;
}

// How the run goes and what it shows besides its rows, and --help.
bool ParseRunOption(OptionArg& arg, CliOptions& options) {
  if (arg.name == "--help" || arg.name == "-h") {
    arg.NoValue();
    options.help = true;
  } else if (arg.name == "--seed") {
    options.seed = ParseSeed(arg.Value());
  } else if (arg.name == "--threads") {
    options.threads = ParseThreads(arg.Value());
  } else if (arg.name == "--dump-initial") {
    options.dumpInitial = arg.Value();
  } else if (arg.name == "--quiet" || arg.name == "-q") {
    arg.NoValue();
    options.quiet = true;
  } else {
    return false;
  }
  return true;
}

// Gives every population its value of each per-population option: one value for all, or one
// for each.
void ApplyPanelValues(const PanelValues& panelValues, CliOptions& options) {
  const auto count = static_cast<std::size_t>(options.populations);
  for (const auto& [name, text] : panelValues) {
    const std::vector<std::string> parts = SplitCommas(text);
    if (parts.size() != 1 && parts.size() != count) {
      throw UsageError(name + ": give one value, or " + std::to_string(count) +
                       " comma-separated values (one per population)");
    }
    const PanelSetter& set = PanelOptions().find(name)->second;
    for (std::size_t p = 0; p < count; ++p)
      set(options.panels[p], parts[parts.size() == 1 ? 0 : p]);
  }
}

}  // namespace

CliOptions ParseOptions(const std::vector<std::string>& args) {
  CliOptions options;
  ApplyConfig(args, options);
  PanelValues panelValues;  // applied once K is known
  bool sawTrain = false;
  for (std::size_t k = 0; k < args.size(); ++k) {
    OptionArg arg(args, k);
    if (!ParseDataOption(arg, options, sawTrain) && !ParseProblemOption(arg, options) &&
        !ParsePopulationOption(arg, options, panelValues) && !ParseRunOption(arg, options)) {
      throw UsageError("unknown option \"" + args[k] + "\" (see --help)");
    }
  }
  if (options.help) return options;
  if (!sawTrain || options.trainPath.empty()) throw UsageError("--train FILE is required");
  ApplyPanelValues(panelValues, options);
  return options;
}

std::string HelpText() {
  return R"(Usage: vobrix-cli --train FILE [--validation FILE] [options]
       vobrix-cli run|predict|export ...   (save, apply, export a model: SUBCOMMAND --help)

Evolves formulas by genetic programming to predict a time series one step ahead, with the
same engine and the same run code as the desktop program, and writes one CSV row per
population step to standard output.

Data:
  --train FILE            training data: lines of "X<tab>Y" (required)
  --validation FILE       validation data; their X must continue the training X one per row
  --normalize             rescale Y by the training range, as the Normalization button does
  A data file may hold at most )" +
         std::to_string(kMaxDataFileLines) + " lines and " + std::to_string(kMaxDataFileBytes) +
         R"( bytes.

Settings file:
  --config FILE           the problem and population settings of a settings file (as the
                          window's "Save Settings…" writes it); the options below override it

Problem:
  --window N              window size: variables X0 .. X(N-1)           (default 5)
  --functions LIST        comma-separated from + - * / sin cos tan ln log10 sqrt
                                                                         (default +,-,*,/)
  --constants N           number of constants                            (default 1000)
  --range LO HI           range of the constants                         (default -10 10)

Populations:
  --populations K         number of populations, 1 to 4                  (default 1)
  Each option below takes one value for every population or K comma-separated values:
  --pop-size N            population size                                (default 1000)
  --generations N         generations                                    (default 50)
  --selection NAME        proportional, tournament or random             (default proportional)
  --tournament-size N     tournament size, at most the population size x 32 ln 2
                          (about 22.2 x; more draws pick the best anyway) (default 6)
  --crossover R           crossover rate                                 (default 0.70)
  --mutation R            mutation rate                                  (default 0.20)
  --one-point R           one-point mutation rate                        (default 0.00)
  --elite P               elite strategy, a percent, or "off"            (default 10)
  --max-length N          maximum length                                 (default 100)
  --max-depth N           maximum initial depth                          (default 5)
  --function-ratio R      initial ratio of function nodes                (default 0.50)
  --variable-ratio R      initial ratio of variable nodes                (default 0.20)
  Settings under which random growth cannot close are refused with the reason: a function
  ratio above 1 (with mutation), or one initial program expected to take ten seconds or
  more (e.g. function ratio 1 with only + and * from --max-depth 7 on).

Run:
  --seed S                seed every population with S instead of the calendar time
  --dump-initial FILE     write generation 0 of every population, evaluated and unsorted:
                          "population slot length rawFitness genes..." per individual
  --threads N             threads that evaluate a generation (default: one per core);
                          at most one per core and one per 4 individuals of the
                          largest population are started; the output is the same for
                          every count
  --quiet, -q             no progress bar on standard error
  --help, -h              this text

Output: CSV with the header
  generation,population,best_fitness,validation_error,average_length,best_length,best_program
numbers as %.17g ("inf" for an infinite error), validation_error empty without
--validation, average_length truncated as the charts show it, best_program quoted.

Exit status: 0 success, 2 bad usage or bad input, 1 memory allocation failure. Before
anything is made, the whole run (the problem's tables, every population, the histories and
chart points of every generation, the buffers of every evaluation thread) is weighed against
the available memory, the control group's memory limit and ulimit -v / -d; a run that does
not fit ends with "Memory Allocation Error".
)";
}

}  // namespace vobrix::cli
