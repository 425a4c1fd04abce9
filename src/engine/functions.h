// Programs as prefix-ordered gene arrays, the ten primitives and the recursive interpreter.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace vobrix {

// An index into the run's NodeTable.
using Node = std::int32_t;

// Computes the value of the node at genes[position]; on return position indexes the first
// position after that node's whole subtree.
using Evaluator = double (*)(const Node* genes, std::int32_t& position);

struct NodeEntry {
  std::int32_t arityCode = -1;  // -1 terminal, 0 one argument, 1 two arguments
  std::string symbol;
  Evaluator evaluate = nullptr;
  std::int32_t slot = 0;  // window index for variables, constants index for constants
};

using FunctionTable = std::vector<NodeEntry>;

// Index of each primitive in the FunctionTable, which is also the order of the check list.
enum FunctionIndex : int {
  kAdd = 0,
  kSubtract,
  kMultiply,
  kDivide,
  kSin,
  kCos,
  kTan,
  kLn,
  kLog10,
  kSqrt,
  kFunctionTableSize
};

// The ten primitives in check-list order.
FunctionTable BuildFunctionTable();

// The process's FunctionTable, built once by the main window (or the command line program).
extern const FunctionTable* functionTable;

// Evaluates the subtree rooted at genes[position] through the current problem's NodeTable.
double EvaluateNode(const Node* genes, std::int32_t& position);

double EvalVariable(const Node* genes, std::int32_t& position);
double EvalConstant(const Node* genes, std::int32_t& position);
double EvalAdd(const Node* genes, std::int32_t& position);
double EvalSubtract(const Node* genes, std::int32_t& position);
double EvalMultiply(const Node* genes, std::int32_t& position);
double EvalDivide(const Node* genes, std::int32_t& position);
double EvalSin(const Node* genes, std::int32_t& position);
double EvalCos(const Node* genes, std::int32_t& position);
double EvalTan(const Node* genes, std::int32_t& position);
double EvalLn(const Node* genes, std::int32_t& position);
double EvalLog10(const Node* genes, std::int32_t& position);
double EvalSqrt(const Node* genes, std::int32_t& position);

// The primitives on plain values; the evaluators above and any faster evaluator share them so
// that every path computes the same bits.
double ProtectedDivide(double a, double b);
// |trunc(a)| as a double; magnitudes beyond the 32-bit range and non-finite values saturate
// to 2^31 - 1. Clamped first and truncated by the conversion to a 32-bit integer, which gives
// the same value as truncating first and is a plain element-wise operation that row loops
// vectorise.
inline double TruncatedMagnitude(double a) {
  constexpr double kInt32Max = 2147483647.0;
  const double magnitude = std::fabs(a);
  // NaN fails the comparison and saturates with the infinities.
  const double clamped = magnitude < kInt32Max ? magnitude : kInt32Max;
  return static_cast<double>(static_cast<std::int32_t>(clamped));
}
double GuardedSin(double a);  // NaN for |a| >= 2^53 or non-finite a
double GuardedCos(double a);
double GuardedTan(double a);
double MagnitudeLn(double a);
double MagnitudeLog10(double a);
inline double MagnitudeSqrt(double a) {
  return std::sqrt(TruncatedMagnitude(a));
}

}  // namespace vobrix
