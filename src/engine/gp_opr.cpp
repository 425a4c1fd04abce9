#include "engine/gp_opr.h"

#include <algorithm>
#include <array>
#include <optional>
#include <stdexcept>
#include <string>

#include "engine/growth_odds.h"
#include "engine/init.h"
#include "engine/misc.h"
#include "engine/problem_record.h"

namespace vobrix {
namespace {

std::int32_t Arity(Node node) {
  return currentProblem->nodeTable[node].arityCode;
}

struct Cut {
  std::int32_t start;
  std::int32_t end;
};

// First draw Rand31 mod length, every redraw RandomBelow(length); only a malformed program has
// a start without an end.
Cut DrawSubtree(const Individual& p) {
  std::int32_t s = Rand31() % p.length;
  std::optional<std::int32_t> e = SubtreeEnd(p.genes, p.length, s);
  while (!e) {
    s = RandomBelow(p.length);
    e = SubtreeEnd(p.genes, p.length, s);
  }
  return {s, *e};
}

// Sum of arityCode over genes[0 .. last].
std::int32_t OpenCount(const Node* genes, std::int32_t last) {
  std::int32_t open = 0;
  for (std::int32_t k = 0; k <= last; ++k) open += Arity(genes[k]);
  return open;
}

}  // namespace

void SpliceCrossover(Individual& child, const Individual& receiver, std::int32_t s1,
                     std::int32_t e1, const Individual& donor, std::int32_t s2, std::int32_t e2,
                     std::int32_t /*maxLength*/) {
  Node* out = std::copy(receiver.genes, receiver.genes + s1, child.genes);
  out = std::copy(donor.genes + s2, donor.genes + e2 + 1, out);
  out = std::copy(receiver.genes + e1 + 1, receiver.genes + receiver.length, out);
  SetProgramLength(child, static_cast<std::int32_t>(out - child.genes));
}

void SpliceMutation(Individual& child, const Individual& parent, std::int32_t s, std::int32_t e,
                    const Node* replacement, std::int32_t count, std::int32_t /*maxLength*/) {
  Node* out = std::copy(parent.genes, parent.genes + s, child.genes);
  out = std::copy(replacement, replacement + count, out);
  out = std::copy(parent.genes + e + 1, parent.genes + parent.length, out);
  SetProgramLength(child, static_cast<std::int32_t>(out - child.genes));
}

void SpliceOnePoint(Individual& child, const Individual& first, std::int32_t i,
                    const Individual& second, std::int32_t j, std::int32_t /*maxLength*/) {
  Node* out = std::copy(first.genes, first.genes + i + 1, child.genes);
  out = std::copy(second.genes + j + 1, second.genes + second.length, out);
  SetProgramLength(child, static_cast<std::int32_t>(out - child.genes));
}

std::int32_t DrawCutPosition(std::int32_t length) {
  // Exactly one Rand15 draw per cut keeps every later draw of the run where it belongs. For
  // programs of up to 2^15 Nodes the draw mod length is used as it is; a longer program needs
  // two draws joined to 30 bits. No draw is ever rejected, so the count is fixed.
  if (length <= kOneDrawCutLength) return Rand15() % length;
  const std::int64_t high = Rand15();
  const std::int64_t wide = (high << 15) | Rand15();
  return static_cast<std::int32_t>(wide % length);
}

void SubtreeCrossover(Individual& child, const Individual& receiver, const Individual& donor,
                      std::int32_t maxLength) {
  // A terminal of the donor in place of any subtree never lengthens the receiver, so a fitting
  // pair exists and is drawn with a probability of at least one half per attempt.
  for (;;) {
    const Cut a = DrawSubtree(receiver);
    const Cut b = DrawSubtree(donor);
    const std::int64_t length =
        std::int64_t{receiver.length} - (a.end - a.start + 1) + (b.end - b.start + 1);
    if (length <= maxLength) {
      SpliceCrossover(child, receiver, a.start, a.end, donor, b.start, b.end, maxLength);
      return;
    }
  }
}

std::optional<std::int32_t> RegrowAttempt(Node* scratch, std::int32_t budget) {
  std::int32_t open = 0;
  for (std::int32_t m = 0; m < budget; ++m) {
    scratch[m] = DrawNode(NodeKindRequest::Any);
    open += Arity(scratch[m]);
    if (open == -1) return m + 1;
  }
  return std::nullopt;
}

void SubtreeMutation(Individual& child, const Individual& parent, std::int32_t maxLength,
                     std::int32_t limit) {
  if (limit < 1 || limit > kMaxMutationLimit) {
    throw std::invalid_argument("subtree limit " + std::to_string(limit) + " is outside 1 to " +
                                std::to_string(kMaxMutationLimit));
  }
  // With a terminal possible every regrowth has a chance of at least 1 in 32768 to close at
  // once; without one it never closes.
  if (TerminalShare(currentPopulation->params.functionRatio) == 0.0) {
    throw GrowthError(
        "Subtree mutation can never close a subtree: the \"Function\" share of the initial "
        "node ratios leaves no terminal.");
  }
  std::array<Node, kMaxMutationLimit> scratch;
  const Cut cut = DrawSubtree(parent);
  // The cut point stays fixed while the replacement is grown again until it closes within
  // both the subtree limit and the room the rest of the parent leaves.
  const std::int32_t rest = parent.length - (cut.end - cut.start + 1);
  const std::int32_t budget = std::min(limit, maxLength - rest);
  if (budget < 1) throw std::invalid_argument("the parent is longer than the maximum length");
  std::optional<std::int32_t> count = RegrowAttempt(scratch.data(), budget);
  while (!count) count = RegrowAttempt(scratch.data(), budget);
  SpliceMutation(child, parent, cut.start, cut.end, scratch.data(), *count, maxLength);
}

void OnePointMutation(Individual& child, const Individual& first, const Individual& second,
                      std::int32_t maxLength) {
  // Cuts at both last positions always match and fit, so the loop ends.
  for (;;) {
    const std::int32_t i = DrawCutPosition(first.length);
    const std::int32_t j = DrawCutPosition(second.length);
    if (OpenCount(first.genes, i) != OpenCount(second.genes, j)) continue;
    if (std::int64_t{second.length} + i - j > maxLength) continue;
    SpliceOnePoint(child, first, i, second, j, maxLength);
    return;
  }
}

void Reproduce(Individual& child, const Individual& parent, std::int32_t /*maxLength*/) {
  std::copy(parent.genes, parent.genes + parent.length, child.genes);
  SetProgramLength(child, parent.length);
  child.rawFitness = parent.rawFitness;
  child.adjustedFitness = parent.adjustedFitness;
  child.normalizedFitness = parent.normalizedFitness;
  child.fitnessKnown = true;  // the same genes on the same problem: the same fitness
}

}  // namespace vobrix
