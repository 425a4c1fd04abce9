#include "engine/functions.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/problem_record.h"

namespace vobrix {

Problem* currentProblem = nullptr;
const FunctionTable* functionTable = nullptr;

void Problem::LoadWindow(std::int32_t start) {
  std::copy_n(trainingY.begin() + start, windowSize, window.begin());
}

namespace {

constexpr double kTwoPow53 = 9007199254740992.0;

NodeEntry Function(std::int32_t arityCode, const char* symbol, Evaluator evaluate) {
  NodeEntry entry;
  entry.arityCode = arityCode;
  entry.symbol = symbol;
  entry.evaluate = evaluate;
  return entry;
}

}  // namespace

FunctionTable BuildFunctionTable() {
  FunctionTable table;
  table.reserve(kFunctionTableSize);
  table.push_back(Function(1, "+", EvalAdd));
  table.push_back(Function(1, "-", EvalSubtract));
  table.push_back(Function(1, "*", EvalMultiply));
  table.push_back(Function(1, "/", EvalDivide));
  table.push_back(Function(0, "sin", EvalSin));
  table.push_back(Function(0, "cos", EvalCos));
  table.push_back(Function(0, "tan", EvalTan));
  table.push_back(Function(0, "ln", EvalLn));
  table.push_back(Function(0, "log10", EvalLog10));
  table.push_back(Function(0, "sqrt", EvalSqrt));
  return table;
}

double ProtectedDivide(double a, double b) {
  // Equal to zero (either sign) or unordered: the quotient is defined as 1.
  if (b == 0.0 || std::isnan(b)) return 1.0;
  return a / b;
}

double GuardedSin(double a) {
  return std::fabs(a) < kTwoPow53 ? std::sin(a) : std::numeric_limits<double>::quiet_NaN();
}

double GuardedCos(double a) {
  return std::fabs(a) < kTwoPow53 ? std::cos(a) : std::numeric_limits<double>::quiet_NaN();
}

double GuardedTan(double a) {
  return std::fabs(a) < kTwoPow53 ? std::tan(a) : std::numeric_limits<double>::quiet_NaN();
}

double MagnitudeLn(double a) {
  const double m = TruncatedMagnitude(a);
  return m == 0.0 ? 0.0 : std::log(m);
}

double MagnitudeLog10(double a) {
  const double m = TruncatedMagnitude(a);
  return m == 0.0 ? 0.0 : std::log10(m);
}

double EvaluateNode(const Node* genes, std::int32_t& position) {
  return currentProblem->nodeTable[genes[position]].evaluate(genes, position);
}

double EvalVariable(const Node* genes, std::int32_t& position) {
  const std::int32_t slot = currentProblem->nodeTable[genes[position]].slot;
  ++position;
  return currentProblem->window[slot];
}

double EvalConstant(const Node* genes, std::int32_t& position) {
  const std::int32_t slot = currentProblem->nodeTable[genes[position]].slot;
  ++position;
  return currentProblem->constants[slot];
}

// The first argument is always evaluated before the second: both share the counter, so the
// order is part of the encoding.
#define VOBRIX_BINARY(name, expression)                    \
  double name(const Node* genes, std::int32_t& position) { \
    ++position;                                            \
    const double a = EvaluateNode(genes, position);        \
    const double b = EvaluateNode(genes, position);        \
    return expression;                                     \
  }
#define VOBRIX_UNARY(name, function)                       \
  double name(const Node* genes, std::int32_t& position) { \
    ++position;                                            \
    return function(EvaluateNode(genes, position));        \
  }

VOBRIX_BINARY(EvalAdd, a + b)
VOBRIX_BINARY(EvalSubtract, a - b)
VOBRIX_BINARY(EvalMultiply, a* b)
VOBRIX_BINARY(EvalDivide, ProtectedDivide(a, b))
VOBRIX_UNARY(EvalSin, GuardedSin)
VOBRIX_UNARY(EvalCos, GuardedCos)
VOBRIX_UNARY(EvalTan, GuardedTan)
VOBRIX_UNARY(EvalLn, MagnitudeLn)
VOBRIX_UNARY(EvalLog10, MagnitudeLog10)
VOBRIX_UNARY(EvalSqrt, MagnitudeSqrt)

#undef VOBRIX_BINARY
#undef VOBRIX_UNARY

}  // namespace vobrix
