// Drawing nodes and growing the initial programs.
#pragma once

#include <cstdint>
#include <optional>
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

// Growth that cannot close under the population's settings.
class GrowthError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Nodes at which an initial program that is still open is thrown away and grown again,
// whatever the maximum length (unless that is smaller).
inline constexpr std::int32_t kInitialRestartAt = 70;

// One attempt at an initial program in scratch (capacity at least restartAt): root a function,
// terminals forced at maxInitialDepth. Its length when it closes within restartAt Nodes;
// nothing when it reaches restartAt Nodes still open, and is then thrown away whole.
std::optional<std::int32_t> GrowAttempt(Node* scratch, std::int32_t maxInitialDepth,
                                        std::int32_t restartAt, const NodeDrawSetup& setup);

// Grows one initial program by attempts until one closes (70 Nodes, or the maximum length
// when that is smaller, as restartAt). Returns its length. The settings must let an attempt
// close (ExpectedGrowthWork); FillInitialGeneration checks them once for the whole fill.
std::int32_t GrowProgram(Node* scratch, std::int32_t maxInitialDepth, std::int32_t restartAt,
                         const NodeDrawSetup& setup);

}  // namespace vobrix
