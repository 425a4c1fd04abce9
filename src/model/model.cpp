#include "model/model.h"

#include "model/difference.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace vobrix::model {

namespace {

std::string At(const std::string& path, std::size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

// Neither NaN nor an infinity: constants, ranges and coefficients.
void RequireFinite(double value, const std::string& path) {
  if (!std::isfinite(value)) throw ModelError(path + ": must be a finite number");
}

// Errors are mean squares: from 0 up, +infinity included (a program that failed somewhere).
void RequireError(double value, const std::string& path) {
  if (!(value >= 0.0)) throw ModelError(path + ": must be a number from 0 up, or \"inf\"");
}

void ValidateScaling(const std::optional<LinearScaling>& scaling, const std::string& path) {
  if (!scaling) return;
  RequireFinite(scaling->a, path + ".a");
  RequireFinite(scaling->b, path + ".b");
}

void ValidateNode(const Model& model, const ModelNode& node, const std::string& path) {
  switch (node.kind) {
    case ModelNode::Kind::Function:
      if (node.index < 0 || node.index >= kFunctionTableSize) {
        throw ModelError(path + ": unknown function");
      }
      if (!std::binary_search(model.functions.begin(), model.functions.end(), node.index)) {
        throw ModelError(path + ": \"" + Primitives()[node.index].symbol +
                         "\" is not in the model's functions");
      }
      return;
    case ModelNode::Kind::Variable:
      if (node.index < 0 || node.index >= model.windowSize) {
        throw ModelError(path + ": X" + std::to_string(node.index) +
                         " is beyond the window (X0 to X" + std::to_string(model.windowSize - 1) +
                         ")");
      }
      return;
    case ModelNode::Kind::Constant:
      RequireFinite(node.value, path);
      return;
  }
  throw ModelError(path + ": unknown kind of node");
}

// One complete prefix expression: the count of open arguments reaches zero exactly at the end.
void ValidateProgram(const Model& model, const std::vector<ModelNode>& program,
                     const std::string& path) {
  if (program.empty()) throw ModelError(path + ": must hold at least one node");
  if (program.size() > kMaxProgramLength) {
    throw ModelError(path + ": longer than " + std::to_string(kMaxProgramLength) + " nodes");
  }
  std::int64_t open = 1;
  for (std::size_t p = 0; p < program.size(); ++p) {
    if (open == 0) {
      throw ModelError(At(path, p) + ": the expression already ended at [" + std::to_string(p - 1) +
                       "]");
    }
    ValidateNode(model, program[p], At(path, p));
    --open;
    if (program[p].kind == ModelNode::Kind::Function) {
      open += Primitives()[program[p].index].arityCode + 1;
    }
  }
  if (open > 0) {
    throw ModelError(path + ": the expression is incomplete: " + std::to_string(open) +
                     " more argument(s) needed");
  }
}

void ValidateFunctions(const std::vector<int>& functions) {
  if (functions.empty()) throw ModelError("functions: must name at least one function");
  for (std::size_t i = 0; i < functions.size(); ++i) {
    if (functions[i] < 0 || functions[i] >= kFunctionTableSize) {
      throw ModelError(At("functions", i) + ": unknown function");
    }
    if (i > 0 && functions[i] <= functions[i - 1]) {
      throw ModelError(At("functions", i) + ": listed twice or out of check-list order");
    }
  }
}

void ValidatePopulations(const Model& model) {
  if (model.populations.empty() || model.populations.size() > kMaxPopulations) {
    throw ModelError("populations: must hold 1 to " + std::to_string(kMaxPopulations) +
                     " populations");
  }
  const bool validated = model.populations[0].validationMse.has_value();
  for (std::size_t i = 0; i < model.populations.size(); ++i) {
    const PopulationModel& population = model.populations[i];
    const std::string path = At("populations", i);
    ValidateProgram(model, population.program, path + ".program");
    RequireError(population.trainingMse, path + ".trainingMse");
    if (population.validationMse.has_value() != validated) {
      throw ModelError(path + ".validationMse: every population or none must have one");
    }
    if (population.validationMse) RequireError(*population.validationMse, path + ".validationMse");
    ValidateScaling(population.scaling, path + ".scaling");
  }
}

// The members a whole ensemble or one shard of it holds: every number of the shard's residue
// class from 1 to runs, ascending.
void ValidateEnsemble(const Model& model) {
  const Ensemble& ensemble = *model.ensemble;
  if (!model.populations.empty()) {
    throw ModelError("populations: must be empty in an ensemble (its programs are its members)");
  }
  if (model.normalization) throw ModelError("normalization: an ensemble is never normalized");
  const auto limit = static_cast<std::int32_t>(kMaxPopulations);
  if (ensemble.runs < 1 || ensemble.runs > limit) {
    throw ModelError("ensemble.runs: must be an integer from 1 to " + std::to_string(limit));
  }
  std::int32_t first = 1, step = 1;
  if (ensemble.shard) {
    const Shard& shard = *ensemble.shard;
    if (shard.count < 1 || shard.count > ensemble.runs) {
      throw ModelError("ensemble.shard.count: must be from 1 to ensemble.runs");
    }
    if (shard.index < 1 || shard.index > shard.count) {
      throw ModelError("ensemble.shard.index: must be from 1 to ensemble.shard.count");
    }
    first = shard.index;
    step = shard.count;
  }
  const std::size_t expected = static_cast<std::size_t>((ensemble.runs - first) / step + 1);
  if (ensemble.members.size() != expected) {
    throw ModelError("ensemble.members: must hold " + std::to_string(expected) + " member(s)");
  }
  for (std::size_t k = 0; k < expected; ++k) {
    const MemberModel& member = ensemble.members[k];
    const std::string path = At("ensemble.members", k);
    const std::int32_t number = first + static_cast<std::int32_t>(k) * step;
    if (member.number != number) {
      throw ModelError(path + ".member: must be " + std::to_string(number));
    }
    if (member.generation < 0) throw ModelError(path + ".generation: must be from 0 up");
    ValidateProgram(model, member.program, path + ".program");
    RequireError(member.trainingMse, path + ".trainingMse");
    RequireError(member.holdoutMse, path + ".holdoutMse");
    ValidateScaling(member.scaling, path + ".scaling");
  }
}

// At most kMaxDifferenceLags lags, ascending, each from 1 to kMaxDifferenceLag.
void ValidateDifference(const Model& model) {
  const std::vector<std::int32_t>& lags = model.difference;
  const std::int32_t seasons = model.differenceSeasons;
  if (seasons != 1 &&
      (lags.empty() || lags.back() < 2 || seasons < 1 || seasons > kMaxDifferenceSeasons)) {
    throw ModelError("differenceSeasons: must be an integer from 1 to " +
                     std::to_string(kMaxDifferenceSeasons) +
                     ", above 1 only with a largest difference lag above 1");
  }
  if (lags.empty()) return;
  if (model.normalization) throw ModelError("difference: a differenced model is never normalized");
  if (lags.size() > kMaxDifferenceLags) {
    throw ModelError("difference: at most " + std::to_string(kMaxDifferenceLags) + " lags");
  }
  for (std::size_t i = 0; i < lags.size(); ++i) {
    if (lags[i] < 1 || lags[i] > kMaxDifferenceLag || (i > 0 && lags[i] <= lags[i - 1])) {
      throw ModelError(At("difference", i) + ": must be an integer from " +
                       std::to_string(i > 0 ? lags[i - 1] + 1 : 1) + " to " +
                       std::to_string(kMaxDifferenceLag) + ", the lags ascending");
    }
  }
}

// A model of parts: nothing of its own but its settings and the functions and seed its parts
// share, and 2 to kMaxParts parts, each a whole ensemble (with settings of its own: the work a
// part's members get depends on its values).
void ValidateParts(const Model& model) {
  const bool bare = model.windowSize == 0 && model.populations.empty() && !model.ensemble &&
                    !model.clip && !model.scaling && !model.normalization &&
                    model.difference.empty() && model.differenceSeasons == 1;
  if (!bare) {
    throw ModelError(
        "parts: a model of parts has no window, populations, ensemble, clip, scaling, "
        "normalization or differencing of its own");
  }
  if (model.parts.size() < 2 || model.parts.size() > kMaxParts) {
    throw ModelError("parts: must hold 2 to " + std::to_string(kMaxParts) + " parts");
  }
  for (std::size_t i = 0; i < model.parts.size(); ++i) {
    const Model& part = model.parts[i];
    const std::string path = At("parts", i);
    if (!part.parts.empty()) throw ModelError(path + ".parts: a part has no parts of its own");
    if (!part.ensemble) throw ModelError(path + ": must be an ensemble");
    if (part.functions != model.functions || part.seed != model.seed) {
      throw ModelError(path + ": must have the model's functions and seed");
    }
    try {
      ValidateModel(part);
    } catch (const ModelError& e) {
      throw ModelError(path + "." + e.what());
    }
  }
}

}  // namespace

const FunctionTable& Primitives() {
  static const FunctionTable table = BuildFunctionTable();
  return table;
}

std::optional<int> FunctionIndexOf(std::string_view symbol) {
  const FunctionTable& table = Primitives();
  for (int i = 0; i < kFunctionTableSize; ++i) {
    if (table[i].symbol == symbol) return i;
  }
  return std::nullopt;
}

const std::optional<LinearScaling>& ScalingOf(const Model& model, std::size_t population) {
  const std::optional<LinearScaling>& own = model.populations.at(population).scaling;
  return own ? own : model.scaling;
}

void ValidateModel(const Model& model) {
  if (!model.parts.empty()) {
    ValidateFunctions(model.functions);
    ValidateParts(model);
    return;
  }
  if (model.windowSize < 1 || model.windowSize > kMaxWindowSize) {
    throw ModelError("windowSize: must be an integer from 1 to " + std::to_string(kMaxWindowSize));
  }
  ValidateFunctions(model.functions);
  if (model.normalization) {
    RequireFinite(model.normalization->low, "normalization.low");
    RequireFinite(model.normalization->high, "normalization.high");
    const double range = model.normalization->high - model.normalization->low;
    if (range == 0.0) throw ModelError("normalization.high: must differ from low");
    RequireFinite(range, "normalization.high - normalization.low");
  }
  ValidateScaling(model.scaling, "scaling");
  if (model.clip) {
    if (model.normalization) throw ModelError("clip: a clipped model is never normalized");
    RequireFinite(model.clip->low, "clip.low");
    RequireFinite(model.clip->high, "clip.high");
    if (!(model.clip->low <= model.clip->high)) throw ModelError("clip.high: must be from low up");
  }
  ValidateDifference(model);
  if (model.ensemble) {
    ValidateEnsemble(model);
  } else {
    ValidatePopulations(model);
  }
}

Model ModelOfProblem(const Problem& problem) {
  Model model;
  model.windowSize = problem.windowSize;
  for (std::int32_t i = 0; i < problem.functionCount; ++i) {
    model.functions.push_back(FunctionIndexOf(problem.nodeTable[i].symbol).value());
  }
  std::sort(model.functions.begin(), model.functions.end());
  return model;
}

std::vector<ModelNode> ProgramOfGenes(const Problem& problem, const Node* genes,
                                      std::int32_t length) {
  std::vector<ModelNode> program;
  program.reserve(static_cast<std::size_t>(length));
  for (std::int32_t p = 0; p < length; ++p) {
    const Node node = genes[p];
    const NodeEntry& entry = problem.nodeTable[node];
    if (node < problem.functionCount) {
      program.push_back({ModelNode::Kind::Function, FunctionIndexOf(entry.symbol).value(), 0.0});
    } else if (node < problem.functionCount + problem.variableCount) {
      program.push_back({ModelNode::Kind::Variable, entry.slot, 0.0});
    } else {
      program.push_back({ModelNode::Kind::Constant, 0, problem.constants[entry.slot]});
    }
  }
  return program;
}

std::size_t ChoosePopulation(const Model& model, std::optional<std::size_t> requested) {
  if (!model.parts.empty()) {
    if (requested) {
      throw ModelError("the model is the mean of " + std::to_string(model.parts.size()) +
                       " forecasts, used as one");
    }
    return 0;
  }
  if (model.ensemble) {
    if (requested) {
      throw ModelError("the model is an ensemble of " + std::to_string(model.ensemble->runs) +
                       " members, used as one (the median of the members)");
    }
    return 0;
  }
  const std::size_t count = model.populations.size();
  if (requested) {
    if (*requested >= count) {
      throw ModelError("population " + std::to_string(*requested + 1) + ": the model holds " +
                       std::to_string(count) + " population(s)");
    }
    return *requested;
  }
  const auto error = [](const PopulationModel& p) {
    return p.validationMse ? *p.validationMse : p.trainingMse;
  };
  std::size_t best = 0;
  for (std::size_t i = 1; i < count; ++i) {
    if (error(model.populations[i]) < error(model.populations[best])) best = i;
  }
  return best;
}

Model MemberAsModel(const Model& model, std::size_t k) {
  const MemberModel& member = model.ensemble->members.at(k);
  Model single = model;
  single.ensemble.reset();
  single.clip.reset();
  single.difference.clear();
  single.differenceSeasons = 1;
  single.populations = {{member.program, member.trainingMse, std::nullopt, member.scaling}};
  return single;
}

int FormatVersion(const Model& model) {
  int needed = model.differenceSeasons > 1 ? 2 : 1;
  if (!model.parts.empty()) needed = 3;
  for (const Model& part : model.parts) needed = std::max(needed, FormatVersion(part));
  return std::max(model.formatVersion, needed);
}

std::vector<double> DifferenceCoefficientsOf(const Model& model) {
  return DifferenceCoefficients(model.difference, model.differenceSeasons);
}

std::int32_t DifferenceSpanOf(const Model& model) {
  return DifferenceSpan(model.difference, model.differenceSeasons);
}

std::int32_t InputCount(const Model& model) {
  std::int32_t count = model.windowSize + DifferenceSpanOf(model);
  for (const Model& part : model.parts) count = std::max(count, InputCount(part));
  return count;
}

double Median(std::vector<double>& values) {
  const auto below = [](double a, double b) { return a < b || (!std::isnan(a) && std::isnan(b)); };
  std::stable_sort(values.begin(), values.end(), below);  // stable: as the exports sort
  const std::size_t n = values.size();
  if (n % 2 == 1) return values[n / 2];
  return (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

double Clipped(const std::optional<Clip>& clip, double value) {
  if (!clip) return value;
  if (value < clip->low) return clip->low;
  if (value > clip->high) return clip->high;
  return value;
}

std::string VariableSymbol(int k) {
  return std::string("X").append(std::to_string(k));
}

std::string ExactText(double value) {
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 17);
  return std::string(buffer, result.ptr);
}

}  // namespace vobrix::model
