#include "engine/parallel_eval.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/partitioner.h>
#include <tbb/task_arena.h>
#include <tbb/task_group.h>
#include <array>

#include <algorithm>
#include <thread>

#include "engine/evaluation.h"
#include "engine/misc.h"

namespace vobrix {

// An arena of the run's thread count: the calling thread takes slot 0 when it enters, the
// workers the others, and they stay for the whole run.
struct GenerationEvaluator::Pool {
  explicit Pool(int threads) : arena(threads) { arena.initialize(); }
  tbb::task_arena arena;
};

int GenerationEvaluator::DefaultThreads() {
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

int GenerationEvaluator::ThreadCount(int requested) {
  return requested < 1 ? DefaultThreads() : requested;
}

int GenerationEvaluator::ThreadCount(int requested, std::int32_t largest) {
  const std::int32_t chunks = std::max<std::int32_t>(1, (largest - 1) / kMinChunk + 1);
  return std::max(1, std::min({ThreadCount(requested), DefaultThreads(), chunks}));
}

std::int32_t GenerationEvaluator::ChunkSize(std::int32_t count, int threads) {
  const std::int64_t share = count / (std::int64_t{std::max(threads, 1)} * kChunksPerThread);
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(share, kMinChunk, kMaxChunk));
}

GenerationEvaluator::GenerationEvaluator(const Problem& problem, int threads, bool linearScaling)
    : linearScaling_(linearScaling) {
  const int count = ThreadCount(threads);
  for (int t = 0; t < count; ++t) evaluators_.push_back(std::make_unique<BatchEvaluator>(problem));
  if (count > 1) pool_ = std::make_unique<Pool>(count);
}

GenerationEvaluator::~GenerationEvaluator() = default;

void GenerationEvaluator::ParallelFor(std::int32_t count, const RangeBody& body) {
  if (count <= 0) return;
  const std::int32_t chunk = ChunkSize(count, threads());
  if (!pool_ || count <= chunk) {
    body(0, count, 0);
    return;
  }
  pool_->arena.execute([&] {
    tbb::parallel_for(
        tbb::blocked_range<std::int32_t>(0, count, chunk),
        [&](const tbb::blocked_range<std::int32_t>& range) {
          body(range.begin(), range.end(), tbb::this_task_arena::current_thread_index());
        },
        tbb::simple_partitioner());
  });
}

void GenerationEvaluator::SortRecords(void* base, std::size_t count, std::size_t size,
                                      int (*compare)(const void*, const void*)) {
  if (!pool_) {
    vobrix::SortRecords(base, count, size, compare);
    return;
  }
  pool_->arena.execute([&] {
    tbb::task_group group;
    const SortFork fork = [&group](std::function<void()> task) { group.run(std::move(task)); };
    vobrix::SortRecords(base, count, size, compare, &fork);
    group.wait();
  });
}

void GenerationEvaluator::ComputeRawFitness(Population& p) {
  Individual** slots = p.Current();
  ParallelFor(p.params.populationSize, [&](std::int32_t begin, std::int32_t end, int slot) {
    // Verbatim copies keep their fitness; the rest go to the evaluator four at a time.
    std::array<Individual*, 4> pending{};
    std::int32_t count = 0;
    for (std::int32_t i = begin; i < end; ++i) {
      if (TakeKnownFitness(*slots[i])) continue;
      pending[static_cast<std::size_t>(count++)] = slots[i];
      if (count == 4) {
        evaluator(slot).RawFitness(pending.data(), count, linearScaling_);
        count = 0;
      }
    }
    if (count > 0) evaluator(slot).RawFitness(pending.data(), count, linearScaling_);
  });
}

}  // namespace vobrix
