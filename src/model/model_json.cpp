#include "model/model_json.h"

#include "model/difference.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>

namespace vobrix::model {

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kFormat = "vobrix-model";
// The deepest a model file goes is 4 (root, populations, a population, its program); anything
// much deeper is not a model and is refused while it is parsed.
constexpr int kMaxDepth = 16;

// A text from the file, shortened for a message.
std::string Quoted(std::string_view text) {
  constexpr std::size_t kShown = 40;
  return "\"" + std::string(text.substr(0, kShown)) + (text.size() > kShown ? "...\"" : "\"");
}

std::string Member(const std::string& path, const char* key) {
  return path.empty() ? std::string(key) : path + "." + key;
}

std::string At(const std::string& path, std::size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

const Json* OptionalField(const Json& object, const char* key) {
  const auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

const Json& Field(const Json& object, const char* key, const std::string& path) {
  const Json* field = OptionalField(object, key);
  if (!field) throw ModelError(Member(path, key) + ": missing");
  return *field;
}

const Json& Object(const Json& value, const std::string& path) {
  if (!value.is_object())
    throw ModelError((path.empty() ? "the file" : path) + ": must be an object");
  return value;
}

const Json& Array(const Json& value, const std::string& path) {
  if (!value.is_array()) throw ModelError(path + ": must be an array");
  return value;
}

const std::string& String(const Json& value, const std::string& path) {
  if (!value.is_string()) throw ModelError(path + ": must be a text");
  return value.get_ref<const std::string&>();
}

std::int64_t Integer(const Json& value, const std::string& path, std::int64_t low,
                     std::int64_t high) {
  const std::string rule =
      path + ": must be an integer from " + std::to_string(low) + " to " + std::to_string(high);
  if (!value.is_number_integer()) throw ModelError(rule);
  if (value.is_number_unsigned()) {
    const std::uint64_t u = value.get<std::uint64_t>();
    if (u > static_cast<std::uint64_t>(high)) throw ModelError(rule);
    return static_cast<std::int64_t>(u);
  }
  const std::int64_t s = value.get<std::int64_t>();
  if (s < low || s > high) throw ModelError(rule);
  return s;
}

// A whole text in the "%.17g" syntax (or "inf"), read to the nearest double; nothing on failure.
std::optional<double> ParseNumber(std::string_view text) {
  if (text == "inf") return std::numeric_limits<double>::infinity();
  if (text == "-inf") return -std::numeric_limits<double>::infinity();
  double value = 0.0;
  const auto result =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size() || std::isnan(value)) {
    return std::nullopt;
  }
  return value;
}

// A JSON number or a number text; whether it may be infinite is checked by ValidateModel.
double Number(const Json& value, const std::string& path) {
  if (value.is_number()) return value.get<double>();
  if (value.is_string()) {
    const std::string& text = value.get_ref<const std::string&>();
    if (const auto number = ParseNumber(text)) return *number;
    throw ModelError(path + ": " + Quoted(text) + " is not a number within the double range");
  }
  throw ModelError(path + ": must be a number or a number text");
}

std::optional<int> VariableIndex(std::string_view symbol) {
  if (symbol.size() < 2 || symbol[0] != 'X') return std::nullopt;
  const std::string_view digits = symbol.substr(1);
  if (digits.size() > 1 && digits[0] == '0') return std::nullopt;  // X0 but not X01
  if (digits.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  // Too many digits for any window: kept inside int and reported as beyond the window.
  if (digits.size() > 9) return std::numeric_limits<int>::max();
  return std::stoi(std::string(digits));
}

ModelNode ReadNode(const Json& value, const std::string& path) {
  if (value.is_number()) return {ModelNode::Kind::Constant, 0, Number(value, path)};
  const std::string& symbol = String(value, path);
  if (const auto function = FunctionIndexOf(symbol)) {
    return {ModelNode::Kind::Function, *function, 0.0};
  }
  if (const auto variable = VariableIndex(symbol)) {
    return {ModelNode::Kind::Variable, *variable, 0.0};
  }
  const auto constant = ParseNumber(symbol);
  if (!constant || std::isinf(*constant)) {
    throw ModelError(path + ": unknown symbol " + Quoted(symbol));
  }
  return {ModelNode::Kind::Constant, 0, *constant};
}

// A scaling object {"a": ..., "b": ...} at path ("scaling", "populations[1].scaling").
LinearScaling ReadScaling(const Json& value, const std::string& path) {
  Object(value, path);
  return LinearScaling{Number(Field(value, "a", path), Member(path, "a")),
                       Number(Field(value, "b", path), Member(path, "b"))};
}

Json ScalingJson(const LinearScaling& scaling) {
  return {{"a", ExactText(scaling.a)}, {"b", ExactText(scaling.b)}};
}

std::vector<ModelNode> ReadProgram(const Json& value, const std::string& path) {
  const std::string programPath = Member(path, "program");
  const Json& program = Array(Field(value, "program", path), programPath);
  if (program.size() > kMaxProgramLength) {
    throw ModelError(programPath + ": longer than " + std::to_string(kMaxProgramLength) + " nodes");
  }
  std::vector<ModelNode> nodes;
  nodes.reserve(program.size());
  for (std::size_t p = 0; p < program.size(); ++p) {
    nodes.push_back(ReadNode(program[p], At(programPath, p)));
  }
  return nodes;
}

PopulationModel ReadPopulation(const Json& value, const std::string& path) {
  Object(value, path);
  PopulationModel population;
  population.program = ReadProgram(value, path);
  population.trainingMse = Number(Field(value, "trainingMse", path), Member(path, "trainingMse"));
  if (const Json* validation = OptionalField(value, "validationMse")) {
    population.validationMse = Number(*validation, Member(path, "validationMse"));
  }
  if (const Json* scaling = OptionalField(value, "scaling")) {
    population.scaling = ReadScaling(*scaling, Member(path, "scaling"));
  }
  return population;
}

std::int32_t Count(const Json& object, const char* key, const std::string& path) {
  return static_cast<std::int32_t>(Integer(Field(object, key, path), Member(path, key), 0,
                                           std::numeric_limits<std::int32_t>::max()));
}

MemberModel ReadMember(const Json& value, const std::string& path) {
  Object(value, path);
  MemberModel member;
  member.number = Count(value, "member", path);
  member.seed = static_cast<std::uint32_t>(Integer(Field(value, "seed", path), Member(path, "seed"),
                                                   0, std::numeric_limits<std::uint32_t>::max()));
  member.generation = Count(value, "generation", path);
  member.program = ReadProgram(value, path);
  member.trainingMse = Number(Field(value, "trainingMse", path), Member(path, "trainingMse"));
  member.holdoutMse = Number(Field(value, "holdoutMse", path), Member(path, "holdoutMse"));
  if (const Json* scaling = OptionalField(value, "scaling")) {
    member.scaling = ReadScaling(*scaling, Member(path, "scaling"));
  }
  return member;
}

Ensemble ReadEnsemble(const Json& value) {
  Object(value, "ensemble");
  Ensemble ensemble;
  ensemble.runs = Count(value, "runs", "ensemble");
  if (const Json* shard = OptionalField(value, "shard")) {
    Object(*shard, "ensemble.shard");
    ensemble.shard =
        Shard{Count(*shard, "index", "ensemble.shard"), Count(*shard, "count", "ensemble.shard")};
  }
  const Json& members = Array(Field(value, "members", "ensemble"), "ensemble.members");
  if (members.size() > kMaxPopulations) {
    throw ModelError("ensemble.members: more than " + std::to_string(kMaxPopulations));
  }
  for (std::size_t k = 0; k < members.size(); ++k) {
    ensemble.members.push_back(ReadMember(members[k], At("ensemble.members", k)));
  }
  return ensemble;
}

std::vector<int> ReadFunctions(const Json& value) {
  Array(value, "functions");
  std::vector<int> functions;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const std::string path = At("functions", i);
    const std::string& symbol = String(value[i], path);
    const auto index = FunctionIndexOf(symbol);
    if (!index) throw ModelError(path + ": unknown function " + Quoted(symbol));
    if (std::find(functions.begin(), functions.end(), *index) != functions.end()) {
      throw ModelError(path + ": " + Quoted(symbol) + " is listed twice");
    }
    functions.push_back(*index);
  }
  std::sort(functions.begin(), functions.end());
  return functions;
}

void ReadOptionalParts(const Json& root, Model& model) {
  if (const Json* n = OptionalField(root, "normalization")) {
    Object(*n, "normalization");
    model.normalization =
        Normalization{Number(Field(*n, "low", "normalization"), "normalization.low"),
                      Number(Field(*n, "high", "normalization"), "normalization.high")};
  }
  if (const Json* s = OptionalField(root, "scaling")) model.scaling = ReadScaling(*s, "scaling");
  if (const Json* c = OptionalField(root, "clip")) {
    Object(*c, "clip");
    model.clip = Clip{Number(Field(*c, "low", "clip"), "clip.low"),
                      Number(Field(*c, "high", "clip"), "clip.high")};
  }
  if (const Json* ensemble = OptionalField(root, "ensemble"))
    model.ensemble = ReadEnsemble(*ensemble);
  if (const Json* lags = OptionalField(root, "difference")) {
    Array(*lags, "difference");
    for (std::size_t i = 0; i < lags->size() && i <= kMaxDifferenceLags; ++i) {
      model.difference.push_back(static_cast<std::int32_t>(
          Integer((*lags)[i], At("difference", i), 1, kMaxDifferenceLag)));
    }
  }
  if (const Json* seasons = OptionalField(root, "differenceSeasons")) {
    model.differenceSeasons =
        static_cast<std::int32_t>(Integer(*seasons, "differenceSeasons", 1, kMaxDifferenceSeasons));
  }
  if (const Json* seed = OptionalField(root, "seed")) {
    model.seed = static_cast<std::uint32_t>(
        Integer(*seed, "seed", 0, std::numeric_limits<std::uint32_t>::max()));
  }
  if (const Json* settings = OptionalField(root, "settings")) {
    Object(*settings, "settings");
    for (const auto& [key, text] : settings->items()) {
      model.settings[key] = String(text, "settings." + key);
    }
  }
  if (const Json* version = OptionalField(root, "programVersion")) {
    model.programVersion = String(*version, "programVersion");
  }
}

// The parts of a model of parts: each an object of its window, settings and forecast fields
// (clip, ensemble, differencing), with the whole's functions and seed.
void ReadParts(const Json& parts, Model& model) {
  Array(parts, "parts");
  if (parts.size() < 2 || parts.size() > kMaxParts) {
    throw ModelError("parts: must hold 2 to " + std::to_string(kMaxParts) + " parts");
  }
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string path = At("parts", i);
    const Json& object = Object(parts[i], path);
    Model part;
    try {
      part.windowSize = static_cast<std::int32_t>(
          Integer(Field(object, "windowSize", ""), "windowSize", 1, kMaxWindowSize));
      ReadOptionalParts(object, part);
    } catch (const ModelError& e) {
      throw ModelError(path + "." + e.what());
    }
    part.functions = model.functions;
    part.seed = model.seed;
    part.programVersion = model.programVersion;
    model.parts.push_back(std::move(part));
  }
}

Model ReadModel(const Json& root) {
  Object(root, "");
  if (String(Field(root, "format", ""), "format") != kFormat) {
    throw ModelError(std::string("format: must be \"") + kFormat + "\"");
  }
  const std::int64_t version =
      Integer(Field(root, "version", ""), "version", 1, std::numeric_limits<std::int32_t>::max());
  if (version > kNewestModelFormatVersion) {
    throw ModelError("version: " + std::to_string(version) + " is newer than this program reads (" +
                     std::to_string(kNewestModelFormatVersion) + ")");
  }
  Model model;
  model.functions = ReadFunctions(Field(root, "functions", ""));
  if (const Json* parts = OptionalField(root, "parts")) {
    ReadOptionalParts(root, model);
    ReadParts(*parts, model);
    ValidateModel(model);
    return model;
  }
  model.windowSize = static_cast<std::int32_t>(
      Integer(Field(root, "windowSize", ""), "windowSize", 1, kMaxWindowSize));
  ReadOptionalParts(root, model);
  const Json& populations = Array(Field(root, "populations", ""), "populations");
  if (populations.size() > kMaxPopulations) {
    throw ModelError("populations: must hold 1 to " + std::to_string(kMaxPopulations) +
                     " populations");
  }
  for (std::size_t i = 0; i < populations.size(); ++i) {
    model.populations.push_back(ReadPopulation(populations[i], At("populations", i)));
  }
  ValidateModel(model);
  return model;
}

Json ProgramJson(const std::vector<ModelNode>& program) {
  Json nodes = Json::array();
  for (const ModelNode& node : program) {
    switch (node.kind) {
      case ModelNode::Kind::Function:
        nodes.push_back(Primitives()[node.index].symbol);
        break;
      case ModelNode::Kind::Variable:
        nodes.push_back(VariableSymbol(node.index));
        break;
      case ModelNode::Kind::Constant:
        nodes.push_back(ExactText(node.value));
        break;
    }
  }
  return nodes;
}

Json EnsembleJson(const Ensemble& ensemble) {
  Json root = {{"runs", ensemble.runs}};
  if (ensemble.shard) {
    root["shard"] = {{"index", ensemble.shard->index}, {"count", ensemble.shard->count}};
  }
  Json members = Json::array();
  for (const MemberModel& member : ensemble.members) {
    Json entry = {{"member", member.number},
                  {"seed", member.seed},
                  {"generation", member.generation},
                  {"program", ProgramJson(member.program)},
                  {"trainingMse", ExactText(member.trainingMse)},
                  {"holdoutMse", ExactText(member.holdoutMse)}};
    if (member.scaling) entry["scaling"] = ScalingJson(*member.scaling);
    members.push_back(entry);
  }
  root["members"] = members;
  return root;
}

// A forecast's own fields, after the populations: its clip, ensemble and differencing.
void AddForecastFields(const Model& model, Json& root) {
  if (model.clip) {
    root["clip"] = {{"low", ExactText(model.clip->low)}, {"high", ExactText(model.clip->high)}};
  }
  if (model.ensemble) root["ensemble"] = EnsembleJson(*model.ensemble);
  if (!model.difference.empty()) root["difference"] = model.difference;
  if (model.differenceSeasons != 1) root["differenceSeasons"] = model.differenceSeasons;
}

// A part of a model of parts: its window, settings and forecast fields; the whole holds the
// rest.
Json PartJson(const Model& part) {
  Json root = {{"windowSize", part.windowSize}, {"settings", Json::object()}};
  for (const auto& [key, text] : part.settings) root["settings"][key] = text;
  AddForecastFields(part, root);
  return root;
}

}  // namespace

std::string ModelToJson(const Model& model) {
  ValidateModel(model);
  Json root = Json::object();
  root["format"] = kFormat;
  root["version"] = FormatVersion(model);
  root["programVersion"] = model.programVersion;
  if (model.parts.empty()) root["windowSize"] = model.windowSize;
  Json functions = Json::array();
  for (int f : model.functions) functions.push_back(Primitives()[f].symbol);
  root["functions"] = functions;
  if (model.normalization) {
    root["normalization"] = {{"low", ExactText(model.normalization->low)},
                             {"high", ExactText(model.normalization->high)}};
  }
  if (model.scaling) root["scaling"] = ScalingJson(*model.scaling);
  if (model.seed) root["seed"] = *model.seed;
  root["settings"] = Json::object();
  for (const auto& [key, text] : model.settings) root["settings"][key] = text;
  if (!model.parts.empty()) {
    root["parts"] = Json::array();
    for (const Model& part : model.parts) root["parts"].push_back(PartJson(part));
    return root.dump(2) + "\n";
  }
  Json populations = Json::array();
  for (const PopulationModel& population : model.populations) {
    Json entry = {{"program", ProgramJson(population.program)},
                  {"trainingMse", ExactText(population.trainingMse)}};
    if (population.validationMse) entry["validationMse"] = ExactText(*population.validationMse);
    if (population.scaling) entry["scaling"] = ScalingJson(*population.scaling);
    populations.push_back(entry);
  }
  root["populations"] = populations;
  AddForecastFields(model, root);
  return root.dump(2) + "\n";
}

Model ModelFromJson(std::string_view text) {
  const Json::parser_callback_t limitDepth = [](int depth, Json::parse_event_t, Json&) {
    if (depth > kMaxDepth) {
      throw ModelError("the file is nested deeper than " + std::to_string(kMaxDepth) +
                       " levels; it is not a model");
    }
    return true;
  };
  Json root;
  try {
    root = Json::parse(text.begin(), text.end(), limitDepth);
  } catch (const Json::exception& e) {
    throw ModelError(std::string("not valid JSON: ") + e.what());
  }
  return ReadModel(root);
}

void WriteModelFile(const Model& model, const std::string& path) {
  const std::string text = ModelToJson(model);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (!file) throw ModelError(path + ": cannot be written");
}

Model ReadModelFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw ModelError(path + ": cannot be opened");
  std::string text;
  char buffer[65536];
  while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(file.gcount()));
    if (text.size() > kMaxModelFileBytes) {
      throw ModelError(path + ": larger than " + std::to_string(kMaxModelFileBytes >> 20) +
                       " MiB; it is not a model");
    }
  }
  if (file.bad()) throw ModelError(path + ": cannot be read");
  try {
    return ModelFromJson(text);
  } catch (const ModelError& e) {
    throw ModelError(path + ": " + e.what());
  }
}

}  // namespace vobrix::model
