// Runs of a forecast side by side. The engine's generator, its current problem and its current
// population belong to the process, so two runs cannot share one: each run goes to a child
// process of its own, which reports its generations and sends its result back through a pipe.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "forecast/member_run.h"

namespace vobrix::forecast {

// One run: its index, the threads that evaluate its generations and the hook to call after
// each of them.
using RunTask =
    std::function<MemberRun(std::size_t index, int threads, const GenerationHook& afterGeneration)>;

// Whether runs go to child processes at all. AddressSanitizer's allocator (that of GCC 12) is
// not locked across fork: a child forked while another thread of this process allocates (the
// window's event loop, say) waits for that lock forever. Sanitized builds run every task here,
// one after another, which gives the same results.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kChildProcesses = false;
#else
inline constexpr bool kChildProcesses = true;
#endif

// The results of task(0) .. task(count - 1), in that order whatever the thread count. With
// threads > 1 (below 1: one per core) and more than one task, at most that many children run
// at a time, each task in one and evaluated on one thread; otherwise the tasks run here, one
// after another, each evaluated on all the threads. afterGeneration is called on this
// thread after every generation of every task; once it returns false the children are ended and
// RunStopped is thrown. A task's ForecastError (or any error) is rethrown here as ForecastError.
std::vector<MemberRun> RunSideBySide(std::size_t count, int threads, const RunTask& task,
                                     const GenerationHook& afterGeneration);

// The bytes a child sends for a result and their reading: exact, so that a result is the same
// whether its run was a child's or this process's.
std::string EncodeRun(const MemberRun& run);
MemberRun DecodeRun(const std::string& bytes);

}  // namespace vobrix::forecast
