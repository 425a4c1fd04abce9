#include "engine/gp_opr.h"

#include <algorithm>
#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/growth_odds.h"
#include "engine/init.h"
#include "engine/misc.h"
#include "engine/problem_record.h"

namespace vobrix {
namespace {

std::int32_t Arity(Node node) {
  return currentProblem->nodeTable[node].arityCode;
}

// First draw Rand31 mod length, every redraw RandomBelow(length); only a malformed program has
// a start without an end.
Cut DrawSubtree(const ProgramShape& p) {
  std::int32_t s = Rand31() % p.length;
  while (p.ends[s] < 0) s = RandomBelow(p.length);
  return {s, p.ends[s]};
}

// The tables of one program, for the operators that are given bare Individuals.
class OwnedShape {
 public:
  explicit OwnedShape(const Individual& ind)
      : ends_(static_cast<std::size_t>(ind.length)), opens_(static_cast<std::size_t>(ind.length)) {
    FillSubtreeEnds(ind.genes, ind.length, ends_.data());
    FillOpenCounts(ind.genes, ind.length, opens_.data());
  }
  ProgramShape view(const Individual& ind) const {
    return {ind.genes, ind.length, ends_.data(), opens_.data()};
  }

 private:
  std::vector<std::int32_t> ends_;
  std::vector<std::int32_t> opens_;
};

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

void FillSubtreeEnds(const Node* genes, std::int32_t length, std::int32_t* ends) {
  // From the back, with the ends of the subtrees that start after p on a stack, the one at
  // p + 1 on top: a Node of arityCode c ends where its last argument, c + 1 deep, ends, and
  // takes its arguments' place. When the program ends before its last argument, neither it nor
  // anything that holds it ends: -1 alone is left on the stack. No step waits on an end read
  // from memory, and the usual arities need no branch that random programs would mispredict.
  if (length < 1) return;
  thread_local std::vector<std::int32_t> stack;
  if (stack.size() <= static_cast<std::size_t>(length)) {
    stack.resize(static_cast<std::size_t>(length) + 1);
  }
  const NodeEntry* table = currentProblem->nodeTable.data();
  std::int32_t* const below = stack.data();
  std::int32_t depth = 0;
  for (std::int32_t p = length - 1; p >= 0; --p) {
    const std::int32_t code = table[genes[p]].arityCode;
    const std::int32_t last = depth - 1 - code;  // a terminal's "last" is the free place
    const std::int32_t end = last < 0 ? -1 : code < 0 ? p : below[last];
    depth = last < 0 ? 1 : depth - code;
    below[depth - 1] = end;
    ends[p] = end;
  }
}

void FillOpenCounts(const Node* genes, std::int32_t length, std::int32_t* opens) {
  const NodeEntry* table = currentProblem->nodeTable.data();
  std::int32_t open = 0;
  for (std::int32_t k = 0; k < length; ++k) opens[k] = open += table[genes[k]].arityCode;
}

CrossoverCuts DrawCrossoverCuts(const ProgramShape& receiver, const ProgramShape& donor,
                                std::int32_t maxLength) {
  // A terminal of the donor in place of any subtree never lengthens the receiver, so a fitting
  // pair exists and is drawn with a probability of at least one half per attempt.
  for (;;) {
    const Cut a = DrawSubtree(receiver);
    const Cut b = DrawSubtree(donor);
    const std::int64_t length =
        std::int64_t{receiver.length} - (a.end - a.start + 1) + (b.end - b.start + 1);
    if (length <= maxLength) return {a, b};
  }
}

void SubtreeCrossover(Individual& child, const Individual& receiver, const Individual& donor,
                      std::int32_t maxLength) {
  const OwnedShape r(receiver), d(donor);
  const CrossoverCuts cuts = DrawCrossoverCuts(r.view(receiver), d.view(donor), maxLength);
  SpliceCrossover(child, receiver, cuts.receiver.start, cuts.receiver.end, donor, cuts.donor.start,
                  cuts.donor.end, maxLength);
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

MutationCut DrawMutation(const ProgramShape& parent, std::int32_t maxLength, std::int32_t limit,
                         Node* scratch) {
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
  const Cut cut = DrawSubtree(parent);
  // The cut point stays fixed while the replacement is grown again until it closes within
  // both the subtree limit and the room the rest of the parent leaves.
  const std::int32_t rest = parent.length - (cut.end - cut.start + 1);
  const std::int32_t budget = std::min(limit, maxLength - rest);
  if (budget < 1) throw std::invalid_argument("the parent is longer than the maximum length");
  std::optional<std::int32_t> count = RegrowAttempt(scratch, budget);
  while (!count) count = RegrowAttempt(scratch, budget);
  return {cut, *count};
}

void SubtreeMutation(Individual& child, const Individual& parent, std::int32_t maxLength,
                     std::int32_t limit) {
  std::array<Node, kMaxMutationLimit> scratch;
  const OwnedShape shape(parent);
  const MutationCut m = DrawMutation(shape.view(parent), maxLength, limit, scratch.data());
  SpliceMutation(child, parent, m.cut.start, m.cut.end, scratch.data(), m.count, maxLength);
}

OnePointCuts DrawOnePointCuts(const ProgramShape& first, const ProgramShape& second,
                              std::int32_t maxLength) {
  // Cuts at both last positions always match and fit, so the loop ends.
  for (;;) {
    const std::int32_t i = DrawCutPosition(first.length);
    const std::int32_t j = DrawCutPosition(second.length);
    if (first.opens[i] != second.opens[j]) continue;
    if (std::int64_t{second.length} + i - j > maxLength) continue;
    return {i, j};
  }
}

void OnePointMutation(Individual& child, const Individual& first, const Individual& second,
                      std::int32_t maxLength) {
  const OwnedShape a(first), b(second);
  const OnePointCuts cuts = DrawOnePointCuts(a.view(first), b.view(second), maxLength);
  SpliceOnePoint(child, first, cuts.first, second, cuts.second, maxLength);
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
