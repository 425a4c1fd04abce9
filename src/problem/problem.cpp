#include "problem/problem.h"

#include <algorithm>
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

ProblemShape ReadProblemShape(const ProblemSettings& settings, std::size_t trainingRows) {
  ProblemShape shape;
  shape.ticked = settings.ticked;
  for (bool ticked : shape.ticked) shape.functionCount += ticked ? 1 : 0;
  if (shape.functionCount == 0) {
    // Nothing ticked: the run goes on with "+" alone, and the caller tells the user.
    shape.ticked[kAdd] = true;
    shape.functionCount = 1;
    shape.functionForced = true;
  }

  shape.constantCount = TextToInt(settings.constantCountText);
  shape.variableCount = TextToInt(settings.windowSizeText);
  if (shape.variableCount < 1) throw ProblemError("\"Window Size\" must be at least 1.");
  // The window's tables grow with its size, so it is held against the rows first.
  if (trainingRows <= static_cast<std::size_t>(shape.variableCount)) {
    throw ProblemError("The training data need more rows than \"Window Size\" (" +
                       std::to_string(shape.variableCount) + ").");
  }
  if (shape.constantCount < 1) throw ProblemError("\"Number of constant\" must be at least 1.");
  if (shape.constantCount > kMaxConstantCount) {
    throw ProblemError("\"Number of constant\" must be at most " +
                       std::to_string(kMaxConstantCount) + ".");
  }
  shape.trainingCount = static_cast<std::int32_t>(trainingRows);

  shape.constantLower = NarrowToFloat(TextToFloat(settings.lowerText));
  shape.constantUpper = NarrowToFloat(TextToFloat(settings.upperText));
  if (!std::isfinite(shape.constantLower) || !std::isfinite(shape.constantUpper)) {
    throw ProblemError("The range of constants must lie within the single-precision range.");
  }
  return shape;
}

std::uint64_t ProblemBytes(const ProblemShape& shape) {
  // Symbols ("X12", "-9.980") stay within the short-string buffer of the entry itself.
  const auto count = [](std::int32_t n) { return static_cast<std::uint64_t>(std::max(n, 0)); };
  const std::uint64_t entries =
      count(shape.functionCount) + count(shape.variableCount) + count(shape.constantCount);
  return entries * sizeof(NodeEntry) + (count(shape.variableCount) + count(shape.constantCount) +
                                        2 * count(shape.trainingCount)) *
                                           sizeof(double);
}

ProblemBuild MakeProblem(const ProblemSettings& settings, const std::vector<CellRow>& training,
                         const FunctionTable& functions) {
  const ProblemShape shape = ReadProblemShape(settings, training.size());
  ProblemBuild build;
  build.problem = std::make_unique<Problem>();
  build.functionForced = shape.functionForced;
  Problem& problem = *build.problem;
  problem.functionCount = shape.functionCount;
  problem.variableCount = shape.variableCount;
  problem.constantCount = shape.constantCount;
  problem.constantLower = shape.constantLower;
  problem.constantUpper = shape.constantUpper;
  problem.windowSize = problem.variableCount;
  problem.window.assign(problem.variableCount, 0.0);

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

  BuildNodeTable(problem, shape.ticked, functions);

  problem.trainingCount = shape.trainingCount;
  problem.trainingX.reserve(training.size());
  problem.trainingY.reserve(training.size());
  for (const CellRow& row : training) {
    problem.trainingX.push_back(TextToFloat(row.x));
    problem.trainingY.push_back(TextToFloat(row.y));
  }
  problem.paused = false;
  return build;
}

}  // namespace vobrix
