// The odds that random growth closes: from the node ratios, the arities of the enabled
// functions and the exact values a node draw's unit number takes, the chance that one attempt
// of subtree mutation or of initial growth closes within its Node budget and the work the
// attempts are expected to take. Settings whose growth cannot close, or would take far more
// than a second per program, are refused before a run; every other setting grows exactly as
// the loops below describe, without a bound on the attempts.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/problem_record.h"

namespace vobrix {

// The kinds one draw gives, as shares of all draws.
struct DrawOdds {
  double terminal = 0.0;    // a request for any kind gives a terminal
  double unary = 0.0;       // ... a one-argument function
  double binary = 0.0;      // ... a two-argument function
  double rootUnary = 0.0;   // a request for a function gives a one-argument one
  double rootBinary = 0.0;  // ... a two-argument one
};

// Share of the 32768 unit draws (RandomUnit narrowed to single precision) that are not below
// functionRatio: the draws that give a terminal when any kind is requested. 0 only for a
// ratio above 1.
double TerminalShare(float functionRatio);

// The odds for the function block with these arity codes in table order (RandomBelow over
// the block draws Rand31 mod its size).
DrawOdds NodeOdds(float functionRatio, const std::vector<std::int32_t>& functionArities);

// One attempt at growing: the chance that it closes, and the work it takes on average,
// counted as in the routine's loop.
struct AttemptOdds {
  double closes = 0.0;
  double work = 0.0;
};

// A regrowth of subtree mutation with room for budget Nodes; work counts node draws.
AttemptOdds MutationAttempt(const DrawOdds& odds, std::int32_t budget);
// The growth of one initial program: root a function, terminals forced at maxInitialDepth
// (none when it is 0 or less), thrown away at restartAt Nodes; work counts a node's draw and
// the depth walk over the Nodes before it, n (n + 1) / 2 for n Nodes.
AttemptOdds GrowthAttempt(const DrawOdds& odds, std::int32_t maxInitialDepth,
                          std::int32_t restartAt);

// Work one call is expected to take until an attempt closes: work / closes, infinite when
// no attempt can close.
double ExpectedWork(const AttemptOdds& attempt);

// Work beyond which a single program or mutation is refused: about ten seconds of node draws
// and depth walks (measured at about 5 ns per unit on a 2-core development machine), far
// beyond the well under a second that every useful setting takes. A mutation that can draw a
// terminal at all expects at most 30 x 32768 draws, so only a function ratio above 1 reaches
// it there.
inline constexpr double kMaxExpectedWork = 2e9;

// The largest ExpectedWork of a subtree mutation over every room it can meet: 1 to
// min(limit, maxLength) Nodes.
double WorstMutationWork(const DrawOdds& odds, std::int32_t limit, std::int32_t maxLength);

// The arity codes of a problem's function block, in table order.
std::vector<std::int32_t> FunctionArities(const Problem& problem);

// The expected work of one initial program and of the hardest subtree mutation under a
// population's settings, for a function block of these arity codes.
struct GrowthWork {
  double initial = 0.0;
  double initialCloses = 0.0;  // the chance that one initial attempt closes
  double mutation = 0.0;
};
GrowthWork ExpectedGrowthWork(float functionRatio, std::int32_t maxInitialDepth,
                              std::int32_t maxLength,
                              const std::vector<std::int32_t>& functionArities);

}  // namespace vobrix
