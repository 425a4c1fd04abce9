// What a whole run will take, judged before any of it is allocated: the window's Start and
// vobrix-cli both ask here, so they refuse the same runs.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/gp_pop.h"
#include "problem/problem.h"

namespace vobrix {

struct RunPlan {
  ProblemShape problem;
  std::vector<PopulationParams> populations;  // the configured ones, in order
  int threads = 0;                            // as RunSession::threads
  std::int32_t validationRows = 0;            // 0 without validation data
};

// Bytes the run takes beyond what is already in memory: the problem's tables, every
// population's buffers, gene arrays and histories, the chart points of every generation, the
// prediction grids and charts, and the row buffers of every evaluation thread. Saturates
// instead of overflowing.
std::uint64_t RunMemoryBytes(const RunPlan& plan);

// Whether the run fits in room (MemoryRoom, or a figure a test gives).
bool RunFitsInMemory(const RunPlan& plan, std::optional<std::uint64_t> room);

// The population whose storage is the largest, as an index: the panel to show when the run
// does not fit.
std::size_t LargestPopulation(const RunPlan& plan);

}  // namespace vobrix
