#include "engine/init.h"

#include <string>
#include <vector>

#include "engine/gp_pop.h"
#include "engine/misc.h"
#include "engine/problem_record.h"

namespace vobrix {

Population* currentPopulation = nullptr;

Node DrawNode(NodeKindRequest request, const NodeDrawSetup& setup) {
  // The unit draw is made for every request, also when the request does not use it.
  const float u = static_cast<float>(RandomUnit());
  const std::int32_t f = setup.functionCount;
  const std::int32_t v = setup.variableCount;
  const double functionRatio = setup.functionRatio;
  const double variableRatio = setup.variableRatio;
  switch (request) {
    case NodeKindRequest::Function:
      return RandomBelow(f);
    case NodeKindRequest::Terminal: {
      // Variable share among terminals; with a function share of 1 it is 0/0, which never
      // exceeds u, so a constant is drawn.
      const double q = variableRatio / (1.0 - functionRatio);
      if (q > u) return f + RandomBelow(v);
      return f + v + RandomBelow(setup.constantCount);
    }
    case NodeKindRequest::Any:
      break;
  }
  if (u < functionRatio) return RandomBelow(f);
  if (functionRatio + variableRatio > u) return f + RandomBelow(v);
  return f + v + RandomBelow(setup.constantCount);
}

Node DrawNode(NodeKindRequest request) {
  NodeDrawSetup setup;
  setup.functionCount = currentProblem->functionCount;
  setup.variableCount = currentProblem->variableCount;
  setup.constantCount = currentProblem->constantCount;
  setup.functionRatio = currentPopulation->params.functionRatio;
  setup.variableRatio = currentPopulation->params.variableRatio;
  return DrawNode(request, setup);
}

std::int32_t TreeDepth(std::int32_t depth, const Node* genes, std::int32_t& position) {
  std::int32_t result = depth;
  const std::int32_t arguments = currentProblem->nodeTable[genes[position]].arityCode + 1;
  for (std::int32_t k = 0; k < arguments; ++k) {
    ++position;
    const std::int32_t r = TreeDepth(depth + 1, genes, position);
    if (r >= result) result = r;
  }
  return result;
}

std::int32_t DepthAtPosition(std::int32_t depth, const Node* genes, std::int32_t& position,
                             std::int32_t target) {
  if (target <= position) return target == position ? depth : 0;
  std::int32_t best = 0;
  const std::int32_t arguments = currentProblem->nodeTable[genes[position]].arityCode + 1;
  for (std::int32_t k = 0; k < arguments && target >= position; ++k) {
    ++position;
    const std::int32_t r = DepthAtPosition(depth + 1, genes, position, target);
    if (r >= best) best = r;
  }
  return best;
}

std::optional<std::int32_t> GrowAttempt(Node* scratch, std::int32_t maxInitialDepth,
                                        std::int32_t restartAt, const NodeDrawSetup& setup) {
  const std::vector<NodeEntry>& table = currentProblem->nodeTable;
  std::int32_t n = 0;
  std::int32_t open = 0;
  for (;;) {
    if (open == -1) {
      std::int32_t position = 0;
      if (TreeDepth(0, scratch, position) > 0 && n > 0) return n;
      return std::nullopt;
    }
    if (n >= restartAt) return std::nullopt;  // thrown away whole, not repaired
    Node node;
    if (n == 0) {
      node = DrawNode(NodeKindRequest::Function, setup);
    } else {
      std::int32_t position = 0;
      const bool atDepthLimit = DepthAtPosition(0, scratch, position, n) == maxInitialDepth;
      node = DrawNode(atDepthLimit ? NodeKindRequest::Terminal : NodeKindRequest::Any, setup);
    }
    scratch[n] = node;
    open += table[node].arityCode;
    ++n;
  }
}

std::int32_t GrowProgram(Node* scratch, std::int32_t maxInitialDepth, std::int32_t restartAt,
                         const NodeDrawSetup& setup) {
  for (;;) {
    if (const auto n = GrowAttempt(scratch, maxInitialDepth, restartAt, setup)) return *n;
  }
}

}  // namespace vobrix
