#include "results/run_settings.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <utility>
#include <vector>

#include "problem/textconv.h"

namespace vobrix::results {
namespace {

using Json = nlohmann::json;

constexpr const char* kFormat = "vobrix-settings";
constexpr int kVersion = 1;
constexpr std::size_t kMaxFileBytes = 1u << 20;
constexpr std::array<const char*, 3> kSelections{"proportional", "tournament", "random"};

// The per-population options that hold a text of the panel, with that text.
std::vector<std::pair<const char*, const std::string*>> PanelTextOptions(const PanelTexts& panel) {
  return {{"--pop-size", &panel.populationSize},
          {"--generations", &panel.generations},
          {"--tournament-size", &panel.tournamentSize},
          {"--crossover", &panel.crossover},
          {"--mutation", &panel.mutation},
          {"--one-point", &panel.onePoint},
          {"--elite", &panel.elite},
          {"--max-length", &panel.maxLength},
          {"--max-depth", &panel.maxInitialDepth},
          {"--function-ratio", &panel.functionRatio},
          {"--variable-ratio", &panel.variableRatio}};
}

std::string PanelSetting(const PanelTexts& panel, const std::string& option) {
  if (option == "--selection") {
    return kSelections[static_cast<std::size_t>(std::clamp(panel.selectionIndex, 0, 2))];
  }
  if (option == "--elite" && !panel.eliteChecked) return "off";
  for (const auto& [name, text] : PanelTextOptions(panel)) {
    if (name == option) return *text;
  }
  return "";
}

// A panel's texts in the file, with whether each must read as a whole number.
struct TextField {
  const char* key;
  std::string PanelTexts::*text;
  bool integer;
};
constexpr TextField kPanelTexts[] = {{"populationSize", &PanelTexts::populationSize, true},
                                     {"generations", &PanelTexts::generations, true},
                                     {"tournamentSize", &PanelTexts::tournamentSize, true},
                                     {"crossover", &PanelTexts::crossover, false},
                                     {"mutation", &PanelTexts::mutation, false},
                                     {"onePoint", &PanelTexts::onePoint, false},
                                     {"maxLength", &PanelTexts::maxLength, true},
                                     {"maxInitialDepth", &PanelTexts::maxInitialDepth, true},
                                     {"functionRatio", &PanelTexts::functionRatio, false},
                                     {"variableRatio", &PanelTexts::variableRatio, false}};

Json PanelJson(const PanelTexts& panel) {
  Json json = Json::object();
  for (const TextField& field : kPanelTexts) json[field.key] = panel.*field.text;
  json["selection"] = kSelections[static_cast<std::size_t>(std::clamp(panel.selectionIndex, 0, 2))];
  json["elite"] = {{"on", panel.eliteChecked}, {"percent", panel.elite}};
  json["breakPoint"] = {{"on", panel.breakChecked}, {"every", panel.breakEvery}};
  return json;
}

// Reads the fields of one JSON object, naming the path of any that is missing or wrong.
class Reader {
 public:
  Reader(const Json& json, std::string path) : json_(json), path_(std::move(path)) {
    if (!json_.is_object()) Fail("", "must be an object");
  }
  [[noreturn]] void Fail(const std::string& key, const std::string& what) const {
    const std::string at = path_.empty() ? key : key.empty() ? path_ : path_ + "." + key;
    throw SettingsFileError((at.empty() ? "" : at + ": ") + what);
  }
  const Json& Field(const std::string& key) const {
    const auto found = json_.find(key);
    if (found == json_.end()) Fail(key, "is missing");
    return *found;
  }
  std::string Path(const std::string& key) const { return path_.empty() ? key : path_ + "." + key; }
  std::string Text(const std::string& key) const {
    const Json& value = Field(key);
    if (!value.is_string()) Fail(key, "must be a text");
    return value.get<std::string>();
  }
  // A text that must read as the window reads its control.
  std::string Number(const std::string& key, bool integer) const {
    std::string text = Text(key);
    bool converts = true;
    try {
      if (integer) TextToInt(text);
    } catch (const ConversionError&) {
      converts = false;
    }
    if (!integer) converts = IsNumber(text);
    if (!converts) {
      Fail(key, "\"" + text + "\" is not " + (integer ? "a whole number" : "a number"));
    }
    return text;
  }
  bool Flag(const std::string& key) const {
    const Json& value = Field(key);
    if (!value.is_boolean()) Fail(key, "must be true or false");
    return value.get<bool>();
  }

 private:
  const Json& json_;
  std::string path_;
};

PanelTexts ReadPanel(const Json& json, const std::string& path) {
  const Reader reader(json, path);
  PanelTexts panel;
  for (const TextField& field : kPanelTexts) {
    panel.*field.text = reader.Number(field.key, field.integer);
  }
  const std::string selection = reader.Text("selection");
  const auto found = std::find(kSelections.begin(), kSelections.end(), selection);
  if (found == kSelections.end()) {
    reader.Fail("selection",
                "\"" + selection + "\" is not one of proportional, tournament, random");
  }
  panel.selectionIndex = static_cast<int>(found - kSelections.begin());
  const Reader elite(reader.Field("elite"), reader.Path("elite"));
  panel.eliteChecked = elite.Flag("on");
  panel.elite = elite.Number("percent", false);
  const Reader breakPoint(reader.Field("breakPoint"), reader.Path("breakPoint"));
  panel.breakChecked = breakPoint.Flag("on");
  panel.breakEvery = breakPoint.Number("every", true);
  return panel;
}

ProblemSettings ReadProblem(const Reader& root) {
  const Reader reader(root.Field("problem"), "problem");
  ProblemSettings problem;
  const Json& functions = reader.Field("functions");
  if (!functions.is_array()) reader.Fail("functions", "must be a list of function symbols");
  problem.ticked.fill(false);
  for (std::size_t i = 0; i < functions.size(); ++i) {
    const auto at = "functions[" + std::to_string(i) + "]";
    const std::string symbol = functions[i].is_string() ? functions[i].get<std::string>() : "";
    const auto found = std::find(kFunctionSymbols.begin(), kFunctionSymbols.end(), symbol);
    if (found == kFunctionSymbols.end()) {
      reader.Fail(at, "is not one of + - * / sin cos tan ln log10 sqrt");
    }
    problem.ticked[static_cast<std::size_t>(found - kFunctionSymbols.begin())] = true;
  }
  problem.constantCountText = reader.Number("constants", true);
  problem.windowSizeText = reader.Number("window", true);
  const Reader range(reader.Field("range"), "problem.range");
  problem.lowerText = range.Number("low", false);
  problem.upperText = range.Number("high", false);
  return problem;
}

}  // namespace

std::optional<std::string> OptionHoldingText(const PanelTexts& panel, const std::string& text) {
  for (const auto& [option, field] : PanelTextOptions(panel)) {
    if (*field == text) return option;
  }
  return std::nullopt;
}

std::map<std::string, std::string> SettingsTexts(const RunSettings& settings) {
  std::map<std::string, std::string> texts{
      {"--train", settings.trainPath},
      {"--window", settings.problem.windowSizeText},
      {"--constants", settings.problem.constantCountText},
      {"--range", settings.problem.lowerText + " " + settings.problem.upperText},
      {"--populations", std::to_string(settings.populations)}};
  if (settings.validationPath) texts["--validation"] = *settings.validationPath;
  if (settings.normalize) texts["--normalize"] = "";
  if (settings.seed) texts["--seed"] = std::to_string(*settings.seed);
  std::string functions;
  for (std::size_t f = 0; f < kFunctionSymbols.size(); ++f) {
    if (!settings.problem.ticked[f]) continue;
    if (!functions.empty()) functions += ',';
    functions += kFunctionSymbols[f];
  }
  texts["--functions"] = functions;
  std::vector<std::string> options{"--selection"};
  for (const auto& [option, text] : PanelTextOptions(PanelTexts{})) options.emplace_back(option);
  for (const std::string& option : options) {
    std::string values;
    for (int p = 0; p < settings.populations; ++p) {
      if (p > 0) values += ',';
      values += PanelSetting(settings.panels[static_cast<std::size_t>(p)], option);
    }
    texts[option] = values;
  }
  return texts;
}

std::string SettingsToJson(const PanelSettings& settings) {
  Json functions = Json::array();
  for (std::size_t f = 0; f < kFunctionSymbols.size(); ++f) {
    if (settings.problem.ticked[f]) functions.push_back(std::string(kFunctionSymbols[f]));
  }
  Json panels = Json::array();
  for (const PanelTexts& panel : settings.panels) panels.push_back(PanelJson(panel));
  const Json root = {
      {"format", kFormat},
      {"version", kVersion},
      {"problem",
       {{"functions", functions},
        {"constants", settings.problem.constantCountText},
        {"range", {{"low", settings.problem.lowerText}, {"high", settings.problem.upperText}}},
        {"window", settings.problem.windowSizeText}}},
      {"populations", settings.populations},
      {"panels", panels}};
  return root.dump(2) + "\n";
}

PanelSettings SettingsFromJson(std::string_view text) {
  const Json root = Json::parse(text, nullptr, false);
  if (root.is_discarded()) throw SettingsFileError("not a JSON text");
  const Reader reader(root, "");
  if (reader.Text("format") != kFormat) {
    reader.Fail("format", std::string("must be \"") + kFormat + "\"");
  }
  if (!reader.Field("version").is_number_integer() ||
      reader.Field("version").get<long long>() != kVersion) {
    reader.Fail("version", "must be " + std::to_string(kVersion));
  }
  PanelSettings settings;
  settings.problem = ReadProblem(reader);
  const Json& count = reader.Field("populations");
  if (!count.is_number_integer() || count.get<long long>() < 1 ||
      count.get<long long>() > kMaxPopulations) {
    reader.Fail("populations", "must be a whole number from 1 to 4");
  }
  settings.populations = count.get<int>();
  const Json& panels = reader.Field("panels");
  if (!panels.is_array() || panels.size() < static_cast<std::size_t>(settings.populations) ||
      panels.size() > kMaxPopulations) {
    reader.Fail("panels", "must be a list of " + std::to_string(settings.populations) +
                              " to 4 population panels");
  }
  for (std::size_t p = 0; p < panels.size(); ++p) {
    settings.panels[p] = ReadPanel(panels[p], "panels[" + std::to_string(p) + "]");
  }
  return settings;
}

PanelSettings ReadSettingsFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw SettingsFileError("cannot open '" + path + "'");
  std::string text;
  char buffer[65536];
  while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(file.gcount()));
    if (text.size() > kMaxFileBytes) {
      throw SettingsFileError("'" + path + "' is larger than 1 MiB: not a settings file");
    }
  }
  if (file.bad()) throw SettingsFileError("cannot read '" + path + "'");
  try {
    return SettingsFromJson(text);
  } catch (const SettingsFileError& e) {
    throw SettingsFileError("'" + path + "': " + e.what());
  }
}

}  // namespace vobrix::results
