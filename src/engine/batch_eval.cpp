#include "engine/batch_eval.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/fitness.h"
#include "engine/memory_room.h"
#include "engine/row_loops.h"

namespace vobrix {

namespace {

enum Opcode : std::int8_t {
  kOpVariable = -2,
  kOpConstant = -1,
  kOpAdd = kAdd,
  kOpSubtract = kSubtract,
  kOpMultiply = kMultiply,
  kOpDivide = kDivide,
  kOpSin = kSin,
  kOpCos = kCos,
  kOpTan = kTan,
  kOpLn = kLn,
  kOpLog10 = kLog10,
  kOpSqrt = kSqrt,
};

std::int8_t OpcodeOf(const NodeEntry& entry) {
  static const Evaluator evaluators[kFunctionTableSize] = {
      EvalAdd, EvalSubtract, EvalMultiply, EvalDivide, EvalSin,
      EvalCos, EvalTan,      EvalLn,       EvalLog10,  EvalSqrt};
  if (entry.evaluate == EvalVariable) return kOpVariable;
  if (entry.evaluate == EvalConstant) return kOpConstant;
  for (int i = 0; i < kFunctionTableSize; ++i) {
    if (entry.evaluate == evaluators[i]) return static_cast<std::int8_t>(i);
  }
  return kOpConstant;  // not reached for tables built from the FunctionTable
}

// The one-argument primitives in opcode order, from kOpSin on; the interpreter's evaluators
// call the same functions, so both give the same bits.
constexpr double (*kUnary[])(double) = {GuardedSin,  GuardedCos,     GuardedTan,
                                        MagnitudeLn, MagnitudeLog10, MagnitudeSqrt};

double Unary(std::int8_t op, double a) {
  return kUnary[op - kOpSin](a);
}

double Binary(std::int8_t op, double a, double b) {
  switch (op) {
    case kOpAdd:
      return a + b;
    case kOpSubtract:
      return a - b;
    case kOpMultiply:
      return a * b;
    default:
      return ProtectedDivide(a, b);
  }
}

// The row loops. Each is a plain element-wise loop that the compiler vectorises; the protected
// division is written as a select so that it vectorises too (its discarded lanes may divide
// by zero, which never traps here).
template <typename A, typename B, typename F>
[[gnu::always_inline]] inline void Rows(double* out, A a, B b, std::int32_t n, F f) {
  for (std::int32_t i = 0; i < n; ++i) out[i] = f(a(i), b(i));
}

struct RowOf {
  const double* p;
  [[gnu::always_inline]] double operator()(std::int32_t i) const { return p[i]; }
};
struct ScalarOf {
  double v;
  [[gnu::always_inline]] double operator()(std::int32_t) const { return v; }
};

template <typename A, typename B>
[[gnu::always_inline]] inline void BinaryRows(std::int8_t op, double* out, A a, B b,
                                              std::int32_t n) {
  switch (op) {
    case kOpAdd:
      Rows(out, a, b, n, [](double x, double y) { return x + y; });
      break;
    case kOpSubtract:
      Rows(out, a, b, n, [](double x, double y) { return x - y; });
      break;
    case kOpMultiply:
      Rows(out, a, b, n, [](double x, double y) { return x * y; });
      break;
    default:
      Rows(out, a, b, n, [](double x, double y) {
        const double q = x / y;
        return (y == 0.0 || y != y) ? 1.0 : q;
      });
      break;
  }
}

void UnaryRows(std::int8_t op, double* out, const double* a, std::int32_t n) {
  double (*const f)(double) = kUnary[op - kOpSin];
  for (std::int32_t i = 0; i < n; ++i) out[i] = f(a[i]);
}

}  // namespace

BatchEvaluator::BatchEvaluator(const Problem& problem)
    : problem_(problem), rows_(std::max(0, problem.trainingCount - problem.windowSize)) {
  opcodes_.reserve(problem.nodeTable.size());
  for (const NodeEntry& entry : problem.nodeTable) opcodes_.push_back(OpcodeOf(entry));
  result_.resize(rows_);
  if (rows_ > 0) moments_ = MomentsOf(problem.trainingY.data() + problem.windowSize, rows_);
}

std::uint64_t BatchEvaluator::BytesFor(std::uint64_t tableSize, std::int32_t rows,
                                       std::int32_t maxLength) {
  const auto row = static_cast<std::uint64_t>(std::max(rows, 0)) * sizeof(double);
  const auto waiting = (static_cast<std::uint64_t>(std::max(maxLength, 0)) + 1) / 3 + 1;
  const std::uint64_t perOperand =
      SaturatingAdd(row, sizeof(std::vector<double>) + sizeof(Operand) + sizeof(double*));
  return SaturatingAdd(SaturatingAdd(tableSize, row), SaturatingMultiply(waiting, perOperand));
}

double* BatchEvaluator::TakeBuffer() {
  if (free_.empty()) {
    buffers_.emplace_back(static_cast<std::size_t>(rows_));
    return buffers_.back().data();
  }
  double* buffer = free_.back();
  free_.pop_back();
  return buffer;
}

void BatchEvaluator::Release(double* buffer) {
  if (buffer) free_.push_back(buffer);
}

// The row loops run four doubles at a time where the processor allows it.
VOBRIX_ROW_LOOP const double* BatchEvaluator::Predict(const Node* genes, std::int32_t length) {
  const std::int32_t n = rows_;
  const double* series = problem_.trainingY.data();
  const NodeEntry* table = problem_.nodeTable.data();
  stack_.clear();
  // Postfix walk over the prefix array: from the last position back to the root, every
  // function finds its arguments on top of the stack, the first argument uppermost.
  for (std::int32_t p = length - 1; p >= 0; --p) {
    const Node node = genes[p];
    const std::int8_t op = opcodes_[node];
    if (op == kOpVariable) {
      stack_.push_back(Operand{series + table[node].slot, 0.0, nullptr});
      continue;
    }
    if (op == kOpConstant) {
      stack_.push_back(Operand{nullptr, problem_.constants[table[node].slot], nullptr});
      continue;
    }
    if (op >= kOpSin) {
      Operand a = stack_.back();
      stack_.pop_back();
      if (!a.data) {
        stack_.push_back(Operand{nullptr, Unary(op, a.scalar), nullptr});
        continue;
      }
      double* out = a.owned ? a.owned : TakeBuffer();
      UnaryRows(op, out, a.data, n);
      stack_.push_back(Operand{out, 0.0, out});
      continue;
    }
    Operand a = stack_.back();
    stack_.pop_back();
    Operand b = stack_.back();
    stack_.pop_back();
    if (!a.data && !b.data) {
      stack_.push_back(Operand{nullptr, Binary(op, a.scalar, b.scalar), nullptr});
      continue;
    }
    double* out = a.owned ? a.owned : (b.owned ? b.owned : TakeBuffer());
    if (a.owned && b.owned) Release(b.owned);
    if (!a.data) {
      BinaryRows(op, out, ScalarOf{a.scalar}, RowOf{b.data}, n);
    } else if (!b.data) {
      BinaryRows(op, out, RowOf{a.data}, ScalarOf{b.scalar}, n);
    } else {
      BinaryRows(op, out, RowOf{a.data}, RowOf{b.data}, n);
    }
    stack_.push_back(Operand{out, 0.0, out});
  }
  const Operand root = stack_.back();
  if (!root.data) {
    std::fill(result_.begin(), result_.end(), root.scalar);
    return result_.data();
  }
  // The buffer goes back to the pool but keeps its values until the next call.
  Release(root.owned);
  return root.data;
}

double BatchEvaluator::Fitness(const Node* genes, std::int32_t length) {
  const std::int32_t w = problem_.windowSize;
  if (rows_ <= 0) return std::numeric_limits<double>::infinity();
  const double* predictions = Predict(genes, length);
  const double* targets = problem_.trainingY.data() + w;
  double sum = 0.0;
  for (std::int32_t i = 0; i < rows_; ++i) sum += SquaredError(targets[i], predictions[i]);
  return sum / static_cast<double>(rows_);
}

ScaledFit BatchEvaluator::FitRows(const double* predictions) const {
  return FitScaling(moments_, problem_.trainingY.data() + problem_.windowSize, predictions, rows_);
}

ScaledFit BatchEvaluator::ScaledFitness(const Node* genes, std::int32_t length) {
  if (rows_ <= 0) return FitRows(nullptr);
  return FitRows(Predict(genes, length));
}

}  // namespace vobrix
