// Drawing nodes and growing the initial programs.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "engine/functions.h"

namespace vobrix {

enum class NodeKindRequest { Any, Function, Terminal };

// Block sizes and ratios that a node draw uses. DrawNode takes them from the current problem
// and currentPopulation; the overload lets callers and tests pass them directly.
struct NodeDrawSetup {
  std::int32_t functionCount = 0;
  std::int32_t variableCount = 0;
  std::int32_t constantCount = 0;
  float functionRatio = 0.0f;
  float variableRatio = 0.0f;
};

Node DrawNode(NodeKindRequest request, const NodeDrawSetup& setup);
// Reads the block sizes from currentProblem and the ratios from currentPopulation.
Node DrawNode(NodeKindRequest request);

// Depth of the deepest node of the subtree at position, counting its root as depth; on return
// position indexes the subtree's last Node.
std::int32_t TreeDepth(std::int32_t depth, const Node* genes, std::int32_t& position);
// Depth that position target has, or would have once filled; reads only positions before it.
std::int32_t DepthAtPosition(std::int32_t depth, const Node* genes, std::int32_t& position,
                             std::int32_t target);

// Growth that cannot close under the population's settings (raised after a bounded number of
// restarts, so that no setting hangs the program).
class GrowthError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Restarts a single program is allowed before growth is declared impossible: settings under
// which one attempt in 50,000 closes would take minutes per generation anyway.
inline constexpr std::int64_t kMaxGrowthRestarts = 50000;

// Grows one initial program into scratch (capacity at least restartAt): root a function,
// terminals forced at maxInitialDepth, thrown away and restarted when it reaches restartAt
// Nodes (70, or the maximum length when that is smaller). Returns its length.
std::int32_t GrowProgram(Node* scratch, std::int32_t maxInitialDepth, std::int32_t restartAt,
                         const NodeDrawSetup& setup);

}  // namespace vobrix
