#include "engine/parallel_eval.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace vobrix {

int GenerationEvaluator::DefaultThreads() {
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

int GenerationEvaluator::ThreadCount(int requested) {
  return requested < 1 ? DefaultThreads() : requested;
}

int GenerationEvaluator::ThreadCount(int requested, std::int32_t largest) {
  const std::int32_t chunks = std::max<std::int32_t>(1, (largest - 1) / kChunk + 1);
  return std::max(1, std::min({ThreadCount(requested), DefaultThreads(), chunks}));
}

GenerationEvaluator::GenerationEvaluator(const Problem& problem, int threads, bool linearScaling)
    : linearScaling_(linearScaling) {
  const int count = ThreadCount(threads);
  for (int t = 0; t < count; ++t) evaluators_.push_back(std::make_unique<BatchEvaluator>(problem));
}

void GenerationEvaluator::ComputeRawFitness(Population& p) {
  Individual** slots = p.Current();
  const std::int32_t size = p.params.populationSize;
  std::atomic<std::int32_t> next{0};
  auto work = [&](BatchEvaluator& batch) {
    for (;;) {
      const std::int32_t begin = next.fetch_add(kChunk, std::memory_order_relaxed);
      if (begin >= size) return;
      const std::int32_t end = std::min(size, begin + kChunk);
      batch.RawFitness(slots + begin, end - begin, linearScaling_);
    }
  };
  const int helpers = std::min<int>(threads() - 1, (size - 1) / kChunk);
  std::vector<std::jthread> pool;
  pool.reserve(helpers);
  for (int t = 1; t <= helpers; ++t) pool.emplace_back(work, std::ref(*evaluators_[t]));
  work(*evaluators_.front());
}

}  // namespace vobrix
