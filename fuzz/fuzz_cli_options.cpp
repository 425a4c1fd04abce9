// vobrix-cli's option parsing on arbitrary argument lists (the input split at line breaks):
// only UsageError escapes, its message is one line, and the options it accepts, written back
// as arguments, parse to the same options.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "check.h"
#include "cli/options.h"

namespace {

using vobrix::PanelTexts;
using vobrix::cli::CliOptions;

constexpr const char* kSymbols[] = {"+", "-", "*", "/", "sin", "cos", "tan", "ln", "log10", "sqrt"};
constexpr const char* kSelections[] = {"proportional", "tournament", "random"};

std::vector<std::string> SplitLines(const std::string& input) {
  std::vector<std::string> args;
  std::size_t start = 0;
  while (start <= input.size()) {
    const std::size_t end = std::min(input.find('\n', start), input.size());
    args.push_back(input.substr(start, end - start));
    start = end + 1;
  }
  return args;
}

// The per-population texts that options write, in the order of kPanelOptions.
constexpr const char* kPanelOptions[] = {
    "--pop-size",  "--generations", "--tournament-size", "--crossover",      "--mutation",
    "--one-point", "--max-length",  "--max-depth",       "--function-ratio", "--variable-ratio"};
std::vector<const std::string*> PanelFields(const PanelTexts& panel) {
  return {&panel.populationSize, &panel.generations,  &panel.tournamentSize, &panel.crossover,
          &panel.mutation,       &panel.onePoint,     &panel.maxLength,      &panel.maxInitialDepth,
          &panel.functionRatio,  &panel.variableRatio};
}

// Arguments that say everything `options` holds, one comma-separated value per population.
std::vector<std::string> WriteBack(const CliOptions& options) {
  std::vector<std::string> args{"--train", options.trainPath};
  if (options.validationPath) args.insert(args.end(), {"--validation", *options.validationPath});
  args.insert(args.end(), {"--window", options.problem.windowSizeText, "--constants",
                           options.problem.constantCountText, "--range", options.problem.lowerText,
                           options.problem.upperText});
  std::string functions;
  for (std::size_t f = 0; f < options.problem.ticked.size(); ++f) {
    if (!options.problem.ticked[f]) continue;
    if (!functions.empty()) functions += ',';
    functions += kSymbols[f];
  }
  args.insert(args.end(), {"--functions", functions});
  if (options.normalize) args.push_back("--normalize");
  if (options.quiet) args.push_back("-q");
  args.insert(args.end(), {"--populations", std::to_string(options.populations)});
  if (options.seed) args.insert(args.end(), {"--seed", std::to_string(*options.seed)});
  if (options.threads) args.insert(args.end(), {"--threads", std::to_string(options.threads)});
  if (options.dumpInitial) args.insert(args.end(), {"--dump-initial", *options.dumpInitial});

  const auto count = static_cast<std::size_t>(options.populations);
  auto joined = [&](auto text) {
    std::string value;
    for (std::size_t p = 0; p < count; ++p) {
      if (p) value += ',';
      value += text(options.panels[p]);
    }
    return value;
  };
  for (std::size_t f = 0; f < std::size(kPanelOptions); ++f) {
    args.insert(args.end(), {kPanelOptions[f], joined([f](const PanelTexts& panel) {
                               return *PanelFields(panel)[f];
                             })});
  }
  args.insert(args.end(), {"--selection", joined([](const PanelTexts& panel) {
                             return std::string(kSelections[panel.selectionIndex]);
                           })});
  args.insert(args.end(), {"--elite", joined([](const PanelTexts& panel) {
                             return panel.eliteChecked ? panel.elite : std::string("off");
                           })});
  return args;
}

bool SamePanels(const CliOptions& a, const CliOptions& b) {
  for (std::size_t p = 0; p < static_cast<std::size_t>(a.populations); ++p) {
    const PanelTexts& x = a.panels[p];
    const PanelTexts& y = b.panels[p];
    if (x.selectionIndex != y.selectionIndex || x.eliteChecked != y.eliteChecked) return false;
    if (x.eliteChecked && x.elite != y.elite) return false;
    const auto left = PanelFields(x);
    const auto right = PanelFields(y);
    for (std::size_t f = 0; f < left.size(); ++f) {
      if (*left[f] != *right[f]) return false;
    }
  }
  return true;
}

bool Same(const CliOptions& a, const CliOptions& b) {
  return a.help == b.help && a.trainPath == b.trainPath && a.validationPath == b.validationPath &&
         a.problem.ticked == b.problem.ticked &&
         a.problem.windowSizeText == b.problem.windowSizeText &&
         a.problem.constantCountText == b.problem.constantCountText &&
         a.problem.lowerText == b.problem.lowerText && a.problem.upperText == b.problem.upperText &&
         a.normalize == b.normalize && a.populations == b.populations && a.seed == b.seed &&
         a.dumpInitial == b.dumpInitial && a.quiet == b.quiet && a.threads == b.threads &&
         SamePanels(a, b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> args =
      SplitLines(std::string(reinterpret_cast<const char*>(data), size));
  CliOptions options;
  try {
    options = vobrix::cli::ParseOptions(args);
  } catch (const vobrix::cli::UsageError& e) {
    const std::string message = e.what();
    FUZZ_CHECK(!message.empty() && message.find('\n') == std::string::npos);
    return 0;
  }
  FUZZ_CHECK(options.populations >= 1 && options.populations <= 4);
  FUZZ_CHECK(options.threads >= 0 && options.threads <= 1024);
  if (options.help) return 0;
  FUZZ_CHECK(!options.trainPath.empty());
  for (std::size_t p = 0; p < static_cast<std::size_t>(options.populations); ++p) {
    FUZZ_CHECK(options.panels[p].selectionIndex >= 0 && options.panels[p].selectionIndex <= 2);
  }
  CliOptions again = vobrix::cli::ParseOptions(WriteBack(options));
  FUZZ_CHECK(Same(options, again));
  return 0;
}
