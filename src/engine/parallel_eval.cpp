#include "engine/parallel_eval.h"

#include <algorithm>
#include <array>
#include <thread>
#include <utility>

#ifdef VOBRIX_PLAIN_THREADS
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#else
#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/partitioner.h>
#include <tbb/task_arena.h>
#include <tbb/task_group.h>
#endif

#include "engine/evaluation.h"
#include "engine/misc.h"

namespace vobrix {

#ifndef VOBRIX_PLAIN_THREADS
// An arena of the run's thread count: the calling thread takes slot 0 when it enters, the
// workers the others, and they stay for the whole run.
struct GenerationEvaluator::Pool {
  explicit Pool(int threads) : arena(threads) { arena.initialize(); }
  tbb::task_arena arena;
};
#else
// The slot of the task this thread runs (Pool::Work), for CurrentSlot.
thread_local int currentSlot = 0;

// The ThreadSanitizer build (VOBRIX_PLAIN_THREADS) runs the same loops on plain std::threads.
// Debian's oneTBB is not built with TSan, so TSan sees neither the locks nor the atomics with
// which TBB hands a task to a worker: it reported every hand-over as a race in TBB's range
// splitting and in our bodies, and ran out of time. With std::thread, std::mutex and
// std::condition_variable every hand-over is visible, so TSan checks the bodies themselves.
// The chunks are the ones TBB's simple_partitioner makes; the results never depend on them.
// The threads are made for each call and joined at its end: simple, and this build is not
// for speed.
struct GenerationEvaluator::Pool {
  using Task = std::function<void(int slot)>;

  explicit Pool(int count) : threads(count) {}

  // Runs first, and every task it or those tasks Add, on threads threads (the caller's slot
  // 0), and returns when all are done; the first exception thrown is thrown again here.
  void Run(Task first) {
    Add(std::move(first));
    std::vector<std::thread> workers;
    for (int slot = 1; slot < threads; ++slot) workers.emplace_back([this, slot] { Work(slot); });
    Work(0);
    for (std::thread& worker : workers) worker.join();
    if (failure) std::rethrow_exception(std::exchange(failure, nullptr));
  }

  void Add(Task task) {
    const std::lock_guard lock(mutex);
    tasks.push_back(std::move(task));
    ++unfinished;
    changed.notify_one();
  }

  void Work(int slot) {
    std::unique_lock lock(mutex);
    while (true) {
      changed.wait(lock, [this] { return !tasks.empty() || unfinished == 0; });
      if (tasks.empty()) return;
      Task task = std::move(tasks.front());
      tasks.pop_front();
      lock.unlock();
      std::exception_ptr thrown;
      currentSlot = slot;
      try {
        task(slot);
      } catch (...) {
        thrown = std::current_exception();
      }
      lock.lock();
      if (thrown && !failure) failure = thrown;
      if (--unfinished == 0) changed.notify_all();
    }
  }

  // TBB's blocked_range halving: [begin, end) is split in the middle until a side holds at
  // most chunk individuals.
  void Split(std::int32_t begin, std::int32_t end, std::int32_t chunk, const RangeBody& body) {
    while (end - begin > chunk) {
      const std::int32_t middle = begin + (end - begin) / 2;
      Add([=, this, &body](int) { Split(middle, end, chunk, body); });
      end = middle;
    }
    Add([=, &body](int slot) { body(begin, end, slot); });
  }

  const int threads;
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Task> tasks;
  std::int64_t unfinished = 0;  // queued or running
  std::exception_ptr failure;
};
#endif

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
#ifdef VOBRIX_PLAIN_THREADS
  pool_->Run([&](int) { pool_->Split(0, count, chunk, body); });
#else
  pool_->arena.execute([&] {
    tbb::parallel_for(
        tbb::blocked_range<std::int32_t>(0, count, chunk),
        [&](const tbb::blocked_range<std::int32_t>& range) {
          body(range.begin(), range.end(), tbb::this_task_arena::current_thread_index());
        },
        tbb::simple_partitioner());
  });
#endif
}

void GenerationEvaluator::RunForked(const std::function<void(const SortFork* fork)>& work) {
  if (!pool_) {
    work(nullptr);
    return;
  }
#ifdef VOBRIX_PLAIN_THREADS
  const SortFork fork = [this](std::function<void()> task) {
    pool_->Add([task = std::move(task)](int) { task(); });
  };
  pool_->Run([&](int) { work(&fork); });
#else
  pool_->arena.execute([&] {
    tbb::task_group group;
    const SortFork fork = [&group](std::function<void()> task) { group.run(std::move(task)); };
    work(&fork);
    group.wait();
  });
#endif
}

int GenerationEvaluator::CurrentSlot() const {
  if (!pool_) return 0;
#ifdef VOBRIX_PLAIN_THREADS
  return currentSlot;
#else
  const int slot = tbb::this_task_arena::current_thread_index();
  return slot >= 0 && slot < threads() ? slot : 0;
#endif
}

void GenerationEvaluator::EvaluateRange(Individual* const* slots, std::int32_t begin,
                                        std::int32_t end, int slot) {
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
}

void GenerationEvaluator::ComputeRawFitness(Population& p) {
  Individual* const* slots = p.Current();
  ParallelFor(p.params.populationSize, [&](std::int32_t begin, std::int32_t end, int slot) {
    EvaluateRange(slots, begin, end, slot);
  });
}

void GenerationEvaluator::EvaluateAhead(Individual* const* slots, std::int32_t begin,
                                        std::int32_t end) {
  EvaluateRange(slots, begin, end, CurrentSlot());
  for (std::int32_t i = begin; i < end; ++i) slots[i]->fitnessKnown = true;
}

}  // namespace vobrix
