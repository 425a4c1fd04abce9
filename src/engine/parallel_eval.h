// Raw fitness of a whole generation on several threads, and the run's pool of worker threads
// that other passes over a generation share. Each program's fitness is computed by one thread
// from start to end with the batch evaluator, so the values, and everything the run does with
// them, are the same for every thread count.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/batch_eval.h"
#include "engine/gp_pop.h"
#include "engine/problem_record.h"
#include "engine/record_sort.h"

namespace vobrix {

class GenerationEvaluator {
 public:
  // threads below 1 means one per processor core. With linearScaling the raw fitness is the
  // error of each program's least-squares a + b * P (BatchEvaluator::ScaledFitness). The
  // worker threads are made here, once, and kept until the evaluator goes.
  GenerationEvaluator(const Problem& problem, int threads, bool linearScaling = false);
  ~GenerationEvaluator();
  GenerationEvaluator(const GenerationEvaluator&) = delete;
  GenerationEvaluator& operator=(const GenerationEvaluator&) = delete;

  // Writes rawFitness of every Individual of p's current buffer, except those whose known
  // fitness came with a verbatim copy (TakeKnownFitness).
  void ComputeRawFitness(Population& p);
  // Writes rawFitness of slots begin .. end - 1 whose fitness is not known yet and marks every
  // one of them known, so that the next ComputeRawFitness skips them. Called from a task of
  // RunForked (or outside the pool), on the calling thread's own evaluator.
  void EvaluateAhead(Individual* const* slots, std::int32_t begin, std::int32_t end);

  // A parallel loop over individuals 0 .. count - 1: body(begin, end, slot) is called for
  // disjoint ranges that together cover them once, on the pool's threads, and ParallelFor
  // returns when all are done. slot (0 .. threads() - 1) names the calling thread's own
  // scratch for the duration of the call: two bodies running at once never share a slot.
  // Which thread takes which range varies from run to run, so a body must give each
  // individual a result that depends on nothing but its own range, and never combine
  // results across ranges in an order that matters. With one thread, or count within one
  // chunk, body runs once on the calling thread with slot 0.
  using RangeBody = std::function<void(std::int32_t begin, std::int32_t end, int slot)>;
  void ParallelFor(std::int32_t count, const RangeBody& body);

  // Calls work with a fork that runs its tasks on the pool's threads and returns when work and
  // every task it forked are done; without a pool, work gets no fork and runs alone.
  void RunForked(const std::function<void(const SortFork* fork)>& work);

  // The evaluator of the calling thread, for the best program's predictions.
  BatchEvaluator& evaluator() { return *evaluators_.front(); }
  // The evaluator of a ParallelFor slot.
  BatchEvaluator& evaluator(int slot) { return *evaluators_[static_cast<std::size_t>(slot)]; }
  int threads() const { return static_cast<int>(evaluators_.size()); }
  bool linearScaling() const { return linearScaling_; }

  // The slot of the calling thread inside ParallelFor or a RunForked task, 0 outside them.
  int CurrentSlot() const;

  static int DefaultThreads();
  // The evaluators built for a requested count (below 1: one per processor core).
  static int ThreadCount(int requested);
  // The threads worth building for a run whose largest population has largest individuals:
  // the work is bound by the processor and a chunk holds some kMinChunk individuals, so
  // threads beyond the processor's cores or beyond the chunks of a generation would only wait.
  static int ThreadCount(int requested, std::int32_t largest);

  // The most individuals one chunk of a ParallelFor over count individuals on threads threads
  // holds (ranges are halved down to it, so a chunk holds from half of it up to it): about
  // kChunksPerThread chunks per thread, so that programs of uneven length even out and every
  // core has work on a population of 1,000, and kMinChunk .. kMaxChunk, so that handing out a
  // chunk costs little next to its work.
  static std::int32_t ChunkSize(std::int32_t count, int threads);
  static constexpr std::int32_t kMinChunk = 4;
  static constexpr std::int32_t kMaxChunk = 64;
  static constexpr std::int32_t kChunksPerThread = 8;

 private:
  struct Pool;
  // Raw fitness of slots begin .. end - 1, four programs at a time, except verbatim copies.
  void EvaluateRange(Individual* const* slots, std::int32_t begin, std::int32_t end, int slot);
  std::vector<std::unique_ptr<BatchEvaluator>> evaluators_;  // one per slot, buffers kept
  std::unique_ptr<Pool> pool_;                               // null with one thread
  bool linearScaling_ = false;
};

}  // namespace vobrix
