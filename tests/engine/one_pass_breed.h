// Breeding as it was made in one pass: each child built right after its draws, every cut found
// by walking the program, proportional selection by binary search over the running sums. The
// two-pass Breed must give the same children and leave the generator in the same state; the
// benchmark times both side by side.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/gp_opr.h"
#include "engine/gp_pop.h"
#include "engine/init.h"
#include "engine/misc.h"
#include "engine/problem_record.h"

namespace vobrix::test::one_pass {

inline Cut WalkedSubtree(const Individual& p) {
  std::int32_t s = Rand31() % p.length;
  std::optional<std::int32_t> e = SubtreeEnd(p.genes, p.length, s);
  while (!e) {
    s = RandomBelow(p.length);
    e = SubtreeEnd(p.genes, p.length, s);
  }
  return {s, *e};
}

inline std::int32_t WalkedOpenCount(const Node* genes, std::int32_t last) {
  std::int32_t open = 0;
  for (std::int32_t k = 0; k <= last; ++k) open += currentProblem->nodeTable[genes[k]].arityCode;
  return open;
}

// The slot of u by binary search over the running sums: the first above u, or slot 0.
inline std::int32_t SlotBySearch(const Population& p, double u) {
  const double* begin = p.cumulativeFitness.data();
  const double* end = begin + p.cumulativeCount;
  const double* found = std::upper_bound(begin, end, u);
  return found == end ? 0 : static_cast<std::int32_t>(found - begin);
}

inline std::int32_t Select(const Population& p) {
  if (p.params.selectionMethod != kProportional) return SelectParent(p);
  return SlotBySearch(p, static_cast<float>(RandomUnit()));
}

inline std::int32_t SelectSecond(const Population& p, std::int32_t p1) {
  if (p.params.populationSize < 2) return -1;
  for (int attempt = 0; attempt < kMaxSecondParentDraws; ++attempt) {
    const std::int32_t p2 = Select(p);
    if (p2 != p1) return p2;
  }
  return (p1 + 1) % p.params.populationSize;
}

inline void Crossover(Individual& child, const Individual& a, const Individual& b,
                      std::int32_t maxLength) {
  for (;;) {
    const Cut x = WalkedSubtree(a);
    const Cut y = WalkedSubtree(b);
    if (std::int64_t{a.length} - (x.end - x.start + 1) + (y.end - y.start + 1) <= maxLength) {
      SpliceCrossover(child, a, x.start, x.end, b, y.start, y.end, maxLength);
      return;
    }
  }
}

inline void Mutation(Individual& child, const Individual& parent, std::int32_t maxLength) {
  std::array<Node, kMaxMutationLimit> scratch;
  const Cut cut = WalkedSubtree(parent);
  const std::int32_t rest = parent.length - (cut.end - cut.start + 1);
  const std::int32_t budget = std::min(kMutationSubtreeLimit, maxLength - rest);
  std::optional<std::int32_t> count = RegrowAttempt(scratch.data(), budget);
  while (!count) count = RegrowAttempt(scratch.data(), budget);
  SpliceMutation(child, parent, cut.start, cut.end, scratch.data(), *count, maxLength);
}

inline void OnePoint(Individual& child, const Individual& a, const Individual& b,
                     std::int32_t maxLength) {
  for (;;) {
    const std::int32_t i = DrawCutPosition(a.length);
    const std::int32_t j = DrawCutPosition(b.length);
    if (WalkedOpenCount(a.genes, i) != WalkedOpenCount(b.genes, j)) continue;
    if (std::int64_t{b.length} + i - j > maxLength) continue;
    SpliceOnePoint(child, a, i, b, j, maxLength);
    return;
  }
}

inline void Breed(Population& p) {
  const PopulationParams& params = p.params;
  Individual* const* parents = p.Current();
  Individual** children = p.Next();
  const std::int32_t elite = EliteCount(params);
  if (params.selectionMethod == kProportional) PrepareProportionalSelection(p);
  for (std::int32_t i = 0; i < elite; ++i) Reproduce(*children[i], *parents[i], params.maxLength);
  for (std::int32_t i = elite; i < params.populationSize; ++i) {
    Individual& child = *children[i];
    const float r = static_cast<float>(RandomUnit());
    const std::int32_t p1 = Select(p);
    const Individual& first = *parents[p1];
    const BreedOperation operation = ChooseOperation(r, params);
    if (operation == BreedOperation::Mutation) {
      Mutation(child, first, params.maxLength);
      continue;
    }
    const std::int32_t p2 = operation == BreedOperation::Reproduction ? -1 : SelectSecond(p, p1);
    if (p2 < 0) {
      Reproduce(child, first, params.maxLength);
    } else if (operation == BreedOperation::Crossover) {
      Crossover(child, first, *parents[p2], params.maxLength);
    } else {
      OnePoint(child, first, *parents[p2], params.maxLength);
    }
  }
  p.cumulativeCount = -1;
}

}  // namespace vobrix::test::one_pass
