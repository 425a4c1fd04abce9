#include "problem/problem.h"

#include <cmath>
#include <string>

#include "problem/textconv.h"

namespace vobrix {

namespace {

// Far above any useful table, low enough that the table always fits in memory.
constexpr std::int32_t kMaxConstantCount = 10'000'000;

}  // namespace

void BuildNodeTable(Problem& problem, const std::array<bool, kFunctionTableSize>& ticked,
                    const FunctionTable& functions) {
  problem.nodeTable.reserve(static_cast<std::size_t>(problem.functionCount) +
                            problem.variableCount + problem.constantCount);
  for (int i = 0; i < kFunctionTableSize; ++i) {
    if (!ticked[i]) continue;
    NodeEntry entry;
    entry.arityCode = functions[i].arityCode;
    entry.symbol = functions[i].symbol;
    entry.evaluate = functions[i].evaluate;
    problem.nodeTable.push_back(entry);
  }
  for (std::int32_t k = 0; k < problem.variableCount; ++k) {
    problem.nodeTable.push_back(
        NodeEntry{-1, std::string("X").append(std::to_string(k)), EvalVariable, k});
  }
  for (std::int32_t k = 0; k < problem.constantCount; ++k) {
    problem.nodeTable.push_back(
        NodeEntry{-1, FormatConstantSymbol(problem.constants[k]), EvalConstant, k});
  }
}

ProblemBuild MakeProblem(const ProblemSettings& settings, const std::vector<CellRow>& training,
                         const FunctionTable& functions) {
  ProblemBuild build;
  build.problem = std::make_unique<Problem>();
  Problem& problem = *build.problem;

  ProblemSettings used = settings;
  for (bool ticked : used.ticked) problem.functionCount += ticked ? 1 : 0;
  if (problem.functionCount == 0) {
    // Nothing ticked: the run goes on with "+" alone, and the caller tells the user.
    used.ticked[kAdd] = true;
    problem.functionCount = 1;
    build.functionForced = true;
  }

  problem.constantCount = TextToInt(settings.constantCountText);
  problem.variableCount = TextToInt(settings.windowSizeText);
  if (problem.variableCount < 1) throw ProblemError("\"Window Size\" must be at least 1.");
  if (problem.constantCount < 1) throw ProblemError("\"Number of constant\" must be at least 1.");
  if (problem.constantCount > kMaxConstantCount) {
    throw ProblemError("\"Number of constant\" must be at most " +
                       std::to_string(kMaxConstantCount) + ".");
  }
  problem.windowSize = problem.variableCount;
  problem.window.assign(problem.variableCount, 0.0);

  problem.constantLower = NarrowToFloat(TextToFloat(settings.lowerText));
  problem.constantUpper = NarrowToFloat(TextToFloat(settings.upperText));
  if (!std::isfinite(problem.constantLower) || !std::isfinite(problem.constantUpper)) {
    throw ProblemError("The range of constants must lie within the single-precision range.");
  }

  // Evenly spaced from the single-precision ends, lower end included, upper end not; computed
  // in extended precision and stored as doubles.
  problem.constants.resize(problem.constantCount);
  const long double lower = problem.constantLower;
  const long double upper = problem.constantUpper;
  for (std::int32_t k = 0; k < problem.constantCount; ++k) {
    problem.constants[k] =
        static_cast<double>(lower + static_cast<long double>(k) * (upper - lower) /
                                        static_cast<long double>(problem.constantCount));
  }

  BuildNodeTable(problem, used.ticked, functions);

  problem.trainingCount = static_cast<std::int32_t>(training.size());
  problem.trainingX.reserve(training.size());
  problem.trainingY.reserve(training.size());
  for (const CellRow& row : training) {
    problem.trainingX.push_back(TextToFloat(row.x));
    problem.trainingY.push_back(TextToFloat(row.y));
  }
  if (problem.trainingCount <= problem.windowSize) {
    throw ProblemError("The training data need more rows than \"Window Size\" (" +
                       std::to_string(problem.windowSize) + ").");
  }
  problem.paused = false;
  return build;
}

}  // namespace vobrix
