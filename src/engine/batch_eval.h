// The fast evaluator: a program is evaluated once over all training windows, node by node over
// whole rows. Window i of the training series is y[i .. i+w-1], so variable Xk over all
// windows is the contiguous slice y[k .. k+n-w-1] and needs no copying. Every row goes through
// the same operations as the recursive interpreter and the squared errors are summed in window
// order, so the results are the same bits.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/functions.h"
#include "engine/gp_pop.h"
#include "engine/linear_scaling.h"
#include "engine/problem_record.h"

namespace vobrix {

class BatchEvaluator {
 public:
  // Reads the problem's node table, constants and training series; they must outlive it.
  explicit BatchEvaluator(const Problem& problem);

  // The program's prediction for every training window (rows() values), valid until the next
  // call.
  const double* Predict(const Node* genes, std::int32_t length);
  // The raw fitness, equal to TrainingFitness of the same program.
  double Fitness(const Node* genes, std::int32_t length);
  // The raw fitness of count programs (1 to kSideBySide), each the same bits as Fitness gives
  // it. The programs run one after another and their squared errors are then summed side by
  // side, each in its own window order: one chain of dependent additions per program, and the
  // chains overlap.
  void FitnessSideBySide(const Node* const* genes, const std::int32_t* lengths, std::int32_t count,
                         double* out);
  static constexpr std::int32_t kSideBySide = 4;
  // Writes rawFitness of count programs: Fitness, side by side, or with linearScaling
  // ScaledFitness(...).mse.
  void RawFitness(Individual* const* programs, std::int32_t count, bool linearScaling);
  // The raw fitness with linear scaling: the mean squared error of a + b * P, a and b fitted to
  // this program. Costs one pass over the rows, as Fitness does.
  ScaledFit ScaledFitness(const Node* genes, std::int32_t length);
  // The same fit for predictions of every row already at hand (Predict's result).
  ScaledFit FitRows(const double* predictions) const;

  std::int32_t rows() const { return rows_; }
  // Row buffers taken so far (they are kept for the next programs).
  std::size_t buffersHeld() const { return buffers_.size(); }

  // The most an evaluator takes for a node table of tableSize entries, rows training windows
  // and programs of at most maxLength Nodes: its tables, its result row and its row buffers.
  // A buffer is only taken while fewer are in use than results with rows wait on the stack;
  // each such result is a subtree of a function and a variable at least, and k of them need
  // k - 1 two-argument functions still to come, so at most (maxLength + 1) / 3 are in use,
  // besides the rows of up to kSideBySide - 1 programs that wait to be summed.
  static std::uint64_t BytesFor(std::uint64_t tableSize, std::int32_t rows, std::int32_t maxLength);

 private:
  struct Operand {
    const double* data = nullptr;  // a row of values, or nullptr for a scalar
    double scalar = 0.0;
    double* owned = nullptr;  // the buffer behind data when it is one of ours
  };

  // Evaluates a program; its root's buffer, if it has one, stays taken.
  Operand Run(const Node* genes, std::int32_t length);
  double* TakeBuffer();
  void Release(double* buffer);

  const Problem& problem_;
  std::int32_t rows_ = 0;
  std::vector<std::int8_t> opcodes_;  // per node-table entry
  std::vector<Operand> stack_;
  std::vector<std::vector<double>> buffers_;  // grows to the deepest program seen, then reused
  std::vector<double*> free_;
  std::vector<double> result_;
  TargetMoments moments_;  // of the training targets, for the scaled fitness
};

}  // namespace vobrix
