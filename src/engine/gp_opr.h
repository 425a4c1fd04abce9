// The genetic operators: each writes one well-formed child of at most maxLength Nodes into a
// record of the other buffer, which stays zero from the child's length on (SetProgramLength).
#pragma once

#include <cstdint>
#include <optional>

#include "engine/functions.h"
#include "engine/gp_pop.h"

namespace vobrix {

// Largest subtree limit SubtreeMutation accepts (its scratch array lives on the stack).
inline constexpr std::int32_t kMaxMutationLimit = 64;

// A program with its tables: ends[s] is the last position of the subtree rooted at s (-1 when
// the program ends first, as SubtreeEnd finds it), opens[i] the sum of arityCode over
// genes[0 .. i] (may be null where no one-point cut is drawn).
struct ProgramShape {
  const Node* genes = nullptr;
  std::int32_t length = 0;
  const std::int32_t* ends = nullptr;
  const std::int32_t* opens = nullptr;
};
// Fill the tables of genes[0, length): one pass each, instead of a walk per cut.
void FillSubtreeEnds(const Node* genes, std::int32_t length, std::int32_t* ends);
void FillOpenCounts(const Node* genes, std::int32_t length, std::int32_t* opens);

// The draws of each operator, made from the tables and in the order the operator makes them;
// the splice below then builds the child without another draw.
struct Cut {
  std::int32_t start;
  std::int32_t end;
};
struct CrossoverCuts {
  Cut receiver;
  Cut donor;
};
CrossoverCuts DrawCrossoverCuts(const ProgramShape& receiver, const ProgramShape& donor,
                                std::int32_t maxLength);
// The grown replacement is left in scratch (room for limit Nodes), count Nodes long. Throws as
// SubtreeMutation does.
struct MutationCut {
  Cut cut;
  std::int32_t count;
};
MutationCut DrawMutation(const ProgramShape& parent, std::int32_t maxLength, std::int32_t limit,
                         Node* scratch);
struct OnePointCuts {
  std::int32_t first;
  std::int32_t second;
};
OnePointCuts DrawOnePointCuts(const ProgramShape& first, const ProgramShape& second,
                              std::int32_t maxLength);

// Replaces a random subtree of receiver by a random subtree of donor, drawing both again until
// the child fits in maxLength.
void SubtreeCrossover(Individual& child, const Individual& receiver, const Individual& donor,
                      std::int32_t maxLength);
// Replaces a random subtree of parent by a newly grown one of at most limit Nodes (1 to
// kMaxMutationLimit), regrowing until one closes. Throws GrowthError when no draw can give a
// terminal (a function ratio above 1), so that no regrowth could ever close.
void SubtreeMutation(Individual& child, const Individual& parent, std::int32_t maxLength,
                     std::int32_t limit);
// One regrowth of subtree mutation into scratch with room for budget Nodes: the count of
// Nodes when it closes in time, nothing when it runs out of room.
std::optional<std::int32_t> RegrowAttempt(Node* scratch, std::int32_t budget);
// Joins the front of first up to a random cut with the back of second after a random cut of
// the same open count. first and second must be different records.
void OnePointMutation(Individual& child, const Individual& first, const Individual& second,
                      std::int32_t maxLength);
// Copies genes, length and the three fitness values, and marks the raw fitness as known, so
// that evaluation does not compute it again.
void Reproduce(Individual& child, const Individual& parent, std::int32_t maxLength);

// The splices with the cut points given, as the operators above make them after their draws.
// Crossover: receiver[0, s1) + donor[s2, e2] + receiver(e1, end).
void SpliceCrossover(Individual& child, const Individual& receiver, std::int32_t s1,
                     std::int32_t e1, const Individual& donor, std::int32_t s2, std::int32_t e2,
                     std::int32_t maxLength);
// Mutation: parent[0, s) + replacement[0, count) + parent(e, end).
void SpliceMutation(Individual& child, const Individual& parent, std::int32_t s, std::int32_t e,
                    const Node* replacement, std::int32_t count, std::int32_t maxLength);
// One-point: first[0, i] + second(j, end).
void SpliceOnePoint(Individual& child, const Individual& first, std::int32_t i,
                    const Individual& second, std::int32_t j, std::int32_t maxLength);

// Programs up to this length get their one-point cut positions from one Rand15 draw each.
inline constexpr std::int32_t kOneDrawCutLength = 32768;
// A one-point cut position in 0 .. length - 1: Rand15() % length, one draw, for programs of up
// to kOneDrawCutLength Nodes (the draw covers exactly 2^15 values, so lengths that divide 2^15
// are exactly uniform and the others within length / 2^15); longer programs take two draws
// joined to 30 bits, mod length. The number of draws depends on length alone.
std::int32_t DrawCutPosition(std::int32_t length);

}  // namespace vobrix
