// Helpers for the operator, breeding and evaluation tests: owned programs and shape checks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/functions.h"
#include "engine/gp_pop.h"
#include "engine/problem_record.h"

namespace vobrix::test {

// Clears currentPopulation when the test that pointed it at a local population ends.
struct ResetCurrentPopulation {
  ~ResetCurrentPopulation() { currentPopulation = nullptr; }
};

// An Individual with its own gene array of capacity Nodes.
struct OwnedIndividual {
  std::vector<Node> store;
  Individual ind;

  OwnedIndividual(std::vector<Node> genes, std::int32_t capacity, Node filler = 0)
      : store(static_cast<std::size_t>(capacity), filler) {
    std::copy(genes.begin(), genes.end(), store.begin());
    ind.genes = store.data();
    ind.length = static_cast<std::int32_t>(genes.size());
  }
  OwnedIndividual(const OwnedIndividual&) = delete;
  OwnedIndividual& operator=(const OwnedIndividual&) = delete;

  std::vector<Node> Program() const { return {store.begin(), store.begin() + ind.length}; }
};

inline std::vector<Node> ProgramOf(const Individual& ind) {
  return {ind.genes, ind.genes + ind.length};
}

// The openCount stays at 0 or above before the last Node and is -1 exactly at it.
inline bool IsWellFormed(const Node* genes, std::int32_t length) {
  if (length < 1) return false;
  std::int32_t open = 0;
  for (std::int32_t k = 0; k < length; ++k) {
    const Node node = genes[k];
    if (node < 0 || node >= static_cast<Node>(currentProblem->nodeTable.size())) return false;
    open += currentProblem->nodeTable[node].arityCode;
    if (k < length - 1 && open < 0) return false;
  }
  return open == -1;
}

// Well formed, within capacity, and zero from length up to capacity.
inline bool IsSoundChild(const Individual& ind, std::int32_t capacity) {
  if (ind.length > capacity || !IsWellFormed(ind.genes, ind.length)) return false;
  return std::all_of(ind.genes + ind.length, ind.genes + capacity, [](Node n) { return n == 0; });
}

}  // namespace vobrix::test
