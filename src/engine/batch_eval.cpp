#include "engine/batch_eval.h"

#include <algorithm>
#include <array>
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

[[gnu::always_inline]] inline void UnaryRows(std::int8_t op, double* out, const double* a,
                                             std::int32_t n) {
  // The square root is correctly rounded in every lane, so it runs vectorised (this file is
  // compiled without errno for the math functions, which a vector square root cannot set).
  if (op == kOpSqrt) {
    for (std::int32_t i = 0; i < n; ++i) out[i] = MagnitudeSqrt(a[i]);
    return;
  }
  double (*const f)(double) = kUnary[op - kOpSin];
  for (std::int32_t i = 0; i < n; ++i) out[i] = f(a[i]);
}

// The sums of squared errors of four rows of predictions against the targets: lane k adds
// the squares of p[k] in window order, with the same operations as SquaredError (a NaN square
// comes only from a NaN difference, and an infinite difference squares to +infinity), so each
// lane is that program's sum as Fitness forms it, bit for bit.
constexpr std::size_t kLanes = BatchEvaluator::kSideBySide;
static_assert(sizeof(Lanes) == kLanes * sizeof(double));

VOBRIX_ROW_LOOP void SumSquaredErrors(const double* targets,
                                      const std::array<const double*, kLanes>& p, std::int32_t n,
                                      std::array<double, kLanes>& sums) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const Lanes infinity = {kInf, kInf, kInf, kInf};
  const double *p0 = p[0], *p1 = p[1], *p2 = p[2], *p3 = p[3];
  Lanes sum = {};
  for (std::int32_t i = 0; i < n; ++i) {
    const double t = targets[i];
    const Lanes d = Lanes{t, t, t, t} - Lanes{p0[i], p1[i], p2[i], p3[i]};
    const Lanes square = d * d;
    sum += square != square ? infinity : square;
  }
  for (std::size_t k = 0; k < kLanes; ++k) sums[k] = sum[k];
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
  const auto waiting = (static_cast<std::uint64_t>(std::max(maxLength, 0)) + 1) / 3 + 1 +
                       static_cast<std::uint64_t>(kSideBySide - 1);
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
VOBRIX_ROW_LOOP BatchEvaluator::Operand BatchEvaluator::Run(const Node* genes,
                                                            std::int32_t length) {
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
  return stack_.back();
}

const double* BatchEvaluator::Predict(const Node* genes, std::int32_t length) {
  const Operand root = Run(genes, length);
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

void BatchEvaluator::FitnessSideBySide(const Node* const* genes, const std::int32_t* lengths,
                                       std::int32_t count, double* out) {
  if (rows_ <= 0) {
    std::fill_n(out, count, std::numeric_limits<double>::infinity());
    return;
  }
  // Lanes beyond count sum the first program's rows again and are dropped.
  std::array<const double*, kSideBySide> rows{};
  std::array<double*, kSideBySide> held{};
  for (std::int32_t k = 0; k < count; ++k) {
    const Operand root = Run(genes[k], lengths[k]);
    if (root.data) {
      rows[k] = root.data;
      held[k] = root.owned;
    } else {
      held[k] = TakeBuffer();
      std::fill_n(held[k], rows_, root.scalar);
      rows[k] = held[k];
    }
  }
  std::fill(rows.begin() + count, rows.end(), rows[0]);
  std::array<double, kSideBySide> sums{};
  SumSquaredErrors(problem_.trainingY.data() + problem_.windowSize, rows, rows_, sums);
  for (std::int32_t k = 0; k < count; ++k) {
    out[k] = sums[k] / static_cast<double>(rows_);
    Release(held[k]);
  }
}

void BatchEvaluator::RawFitness(Individual* const* programs, std::int32_t count,
                                bool linearScaling) {
  if (linearScaling) {
    for (std::int32_t i = 0; i < count; ++i) {
      programs[i]->rawFitness = ScaledFitness(programs[i]->genes, programs[i]->length).mse;
    }
    return;
  }
  for (std::int32_t i = 0; i < count; i += kSideBySide) {
    const std::int32_t group = std::min(kSideBySide, count - i);
    std::array<const Node*, kSideBySide> genes{};
    std::array<std::int32_t, kSideBySide> lengths{};
    std::array<double, kSideBySide> out{};
    for (std::int32_t k = 0; k < group; ++k) {
      genes[k] = programs[i + k]->genes;
      lengths[k] = programs[i + k]->length;
    }
    FitnessSideBySide(genes.data(), lengths.data(), group, out.data());
    for (std::int32_t k = 0; k < group; ++k) programs[i + k]->rawFitness = out[k];
  }
}

ScaledFit BatchEvaluator::FitRows(const double* predictions) const {
  return FitScaling(moments_, problem_.trainingY.data() + problem_.windowSize, predictions, rows_);
}

ScaledFit BatchEvaluator::ScaledFitness(const Node* genes, std::int32_t length) {
  if (rows_ <= 0) return FitRows(nullptr);
  return FitRows(Predict(genes, length));
}

}  // namespace vobrix
