#include "engine/growth_odds.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/gp_pop.h"
#include "engine/init.h"

namespace vobrix {
namespace {

constexpr std::int32_t kUnitValues = 32768;  // Rand15 gives 0 .. 32767
constexpr double kRand31Values = 2147483648.0;

// The unit draw of value k exactly as DrawNode sees it.
float UnitValue(std::int32_t k) {
  return static_cast<float>(static_cast<double>(static_cast<long double>(k) * (1.0L / 32767.0L)));
}

// A polynomial in x whose coefficient j is the chance of a subtree of j Nodes, cut at a
// degree.
using Sizes = std::vector<double>;

Sizes Times(const Sizes& a, const Sizes& b) {
  Sizes out(a.size(), 0.0);
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] == 0.0) continue;
    for (std::size_t j = 0; i + j < out.size(); ++j) out[i + j] += a[i] * b[j];
  }
  return out;
}

// x (terminal + unary S + binary S^2): a node of these odds above children of sizes S.
Sizes NodeAbove(double terminal, double unary, double binary, const Sizes& child) {
  const Sizes square = Times(child, child);
  Sizes out(child.size(), 0.0);
  out[1] += terminal;
  for (std::size_t j = 1; j < out.size(); ++j) {
    out[j] += unary * child[j - 1] + binary * square[j - 1];
  }
  return out;
}

double Triangle(double n) {
  return n * (n + 1.0) / 2.0;
}

}  // namespace

double TerminalShare(float functionRatio) {
  // The unit values rise with k, so the draws below the ratio are a prefix of them.
  std::int32_t low = 0, high = kUnitValues;
  while (low < high) {
    const std::int32_t mid = (low + high) / 2;
    if (UnitValue(mid) < functionRatio) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return static_cast<double>(kUnitValues - low) / kUnitValues;
}

DrawOdds NodeOdds(float functionRatio, const std::vector<std::int32_t>& functionArities) {
  DrawOdds odds;
  const auto count = static_cast<std::int64_t>(functionArities.size());
  if (count == 0) return odds;
  const auto all = static_cast<std::int64_t>(kRand31Values);
  for (std::int64_t i = 0; i < count; ++i) {
    const double share =
        static_cast<double>(all / count + (i < all % count ? 1 : 0)) / kRand31Values;
    (functionArities[static_cast<std::size_t>(i)] == 0 ? odds.rootUnary : odds.rootBinary) += share;
  }
  odds.terminal = TerminalShare(functionRatio);
  odds.unary = (1.0 - odds.terminal) * odds.rootUnary;
  odds.binary = (1.0 - odds.terminal) * odds.rootBinary;
  return odds;
}

AttemptOdds MutationAttempt(const DrawOdds& odds, std::int32_t budget) {
  // open[s]: the chance of being still open with s more subtrees owed before draw m.
  AttemptOdds attempt;
  std::vector<double> open(static_cast<std::size_t>(std::max(budget, 0)) + 2, 0.0);
  open[0] = 1.0;
  for (std::int32_t m = 0; m < budget; ++m) {
    std::vector<double> next(open.size(), 0.0);
    for (std::size_t s = 0; s + 1 < open.size(); ++s) {
      if (open[s] == 0.0) continue;
      attempt.work += open[s];
      if (s == 0) {
        attempt.closes += open[s] * odds.terminal;
      } else {
        next[s - 1] += open[s] * odds.terminal;
      }
      next[s] += open[s] * odds.unary;
      next[s + 1] += open[s] * odds.binary;
    }
    open = std::move(next);
  }
  return attempt;
}

AttemptOdds GrowthAttempt(const DrawOdds& odds, std::int32_t maxInitialDepth,
                          std::int32_t restartAt) {
  AttemptOdds attempt;
  if (restartAt < 1) return attempt;
  const auto degree = static_cast<std::size_t>(restartAt) + 1;
  // A node at depth restartAt has more than restartAt Nodes above and beside it, so no
  // program that closes in time reaches it; a depth limit below that makes its nodes
  // terminals.
  const bool limited = maxInitialDepth >= 1 && maxInitialDepth < restartAt;
  Sizes below(degree, 0.0);
  if (limited) below[1] = 1.0;
  for (std::int32_t d = (limited ? maxInitialDepth : restartAt) - 1; d >= 1; --d) {
    below = NodeAbove(odds.terminal, odds.unary, odds.binary, below);
  }
  const Sizes program = NodeAbove(0.0, odds.rootUnary, odds.rootBinary, below);
  for (std::size_t j = 1; j < degree; ++j) {
    attempt.closes += program[j];
    attempt.work += program[j] * Triangle(static_cast<double>(j));
  }
  // An attempt that does not close is thrown away when its restartAt-th Node is placed.
  attempt.work += std::max(0.0, 1.0 - attempt.closes) * Triangle(restartAt);
  return attempt;
}

double ExpectedWork(const AttemptOdds& attempt) {
  if (!(attempt.closes > 0.0)) return std::numeric_limits<double>::infinity();
  return attempt.work / attempt.closes;
}

double WorstMutationWork(const DrawOdds& odds, std::int32_t limit, std::int32_t maxLength) {
  double worst = 0.0;
  for (std::int32_t budget = 1; budget <= std::min(limit, maxLength); ++budget) {
    worst = std::max(worst, ExpectedWork(MutationAttempt(odds, budget)));
  }
  return worst;
}

std::vector<std::int32_t> FunctionArities(const Problem& problem) {
  std::vector<std::int32_t> arities;
  for (std::int32_t i = 0; i < problem.functionCount; ++i) {
    arities.push_back(problem.nodeTable[static_cast<std::size_t>(i)].arityCode);
  }
  return arities;
}

GrowthWork ExpectedGrowthWork(float functionRatio, std::int32_t maxInitialDepth,
                              std::int32_t maxLength,
                              const std::vector<std::int32_t>& functionArities) {
  const DrawOdds odds = NodeOdds(functionRatio, functionArities);
  GrowthWork work;
  const AttemptOdds initial =
      GrowthAttempt(odds, maxInitialDepth, std::min(kInitialRestartAt, maxLength));
  work.initial = ExpectedWork(initial);
  work.initialCloses = initial.closes;
  work.mutation = WorstMutationWork(odds, kMutationSubtreeLimit, maxLength);
  return work;
}

}  // namespace vobrix
