// Raw fitness of a whole generation on several threads. Each program's fitness is computed by
// one thread from start to end with the batch evaluator, so the values, and everything the
// run does with them, are the same for every thread count.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/batch_eval.h"
#include "engine/gp_pop.h"
#include "engine/problem_record.h"

namespace vobrix {

class GenerationEvaluator {
 public:
  // threads below 1 means one per processor core. With linearScaling the raw fitness is the
  // error of each program's least-squares a + b * P (BatchEvaluator::ScaledFitness).
  GenerationEvaluator(const Problem& problem, int threads, bool linearScaling = false);

  // Writes rawFitness of every Individual of p's current buffer.
  void ComputeRawFitness(Population& p);

  // The evaluator of the calling thread, for the best program's predictions.
  BatchEvaluator& evaluator() { return *evaluators_.front(); }
  int threads() const { return static_cast<int>(evaluators_.size()); }
  bool linearScaling() const { return linearScaling_; }

  static int DefaultThreads();
  // The evaluators built for a requested count (below 1: one per processor core).
  static int ThreadCount(int requested);
  // The threads worth building for a run whose largest population has largest individuals:
  // the work is shared out in chunks of kChunk individuals and is bound by the processor, so
  // threads beyond the chunks of a generation or beyond the processor's cores would only wait.
  static int ThreadCount(int requested, std::int32_t largest);

  // Individuals a thread takes at a time: small enough to balance programs of uneven length,
  // large enough that the shared counter is touched rarely.
  static constexpr std::int32_t kChunk = 32;

 private:
  std::vector<std::unique_ptr<BatchEvaluator>> evaluators_;  // one per thread, buffers kept
  bool linearScaling_ = false;
};

}  // namespace vobrix
