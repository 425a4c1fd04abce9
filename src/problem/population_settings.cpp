#include "problem/population_settings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "engine/growth_odds.h"
#include "engine/init.h"
#include "problem/textconv.h"

namespace vobrix {
namespace {

// Beyond the single-precision range a rate narrows to an infinity, which the validation
// refuses by name.
float ReadRate(const std::string& text) {
  return NarrowToFloat(TextToFloat(text));
}

[[noreturn]] void Refuse(const char* field, int populationNumber, const std::string& demand) {
  throw SettingsError("\"" + std::string(field) + "\" of population " +
                      std::to_string(populationNumber) + " must be " + demand + ".");
}

void RequireAtLeast(std::int32_t value, std::int32_t least, const char* field,
                    int populationNumber) {
  if (value < least) Refuse(field, populationNumber, "at least " + std::to_string(least));
}

void RequireShare(float value, const char* field, int populationNumber) {
  if (!std::isfinite(value) || value < 0.0f) {
    Refuse(field, populationNumber, "a finite number of at least 0");
  }
}

// A tournament draws its candidates with replacement, so t draws from n slots miss the best
// one with the chance (1 - 1/n)^t < e^(-t/n). From t = n x 32 ln 2 on that is below 2^-32:
// a larger tournament picks the same slot in all but fewer than one selection in 2^32 and
// only costs time (2^31 - 1 draws per selection would never end).
void RequireUsefulTournament(const PopulationParams& params, int populationNumber) {
  const double limit = std::ceil(static_cast<double>(params.populationSize) * 32.0 * std::log(2.0));
  if (static_cast<double>(params.tournamentSize) <= limit) return;
  const auto shown = static_cast<std::int64_t>(limit);
  Refuse("Tournament Size", populationNumber,
         "at most " + std::to_string(shown) + ": from " + std::to_string(params.populationSize) +
             " individuals, a tournament that large already picks the best one all but "
             "certainly (it misses it less than once in 2^32 selections)");
}

}  // namespace

PopulationParams ReadPopulationParams(const PanelTexts& texts) {
  PopulationParams params;
  params.populationSize = TextToInt(texts.populationSize);
  params.generations = TextToInt(texts.generations);
  params.selectionMethod = texts.selectionIndex;
  if (texts.selectionIndex == kTournament) params.tournamentSize = TextToInt(texts.tournamentSize);
  params.crossoverRate = ReadRate(texts.crossover);
  params.mutationRate = ReadRate(texts.mutation);
  params.onePointRate = ReadRate(texts.onePoint);
  params.eliteFraction =
      texts.eliteChecked ? NarrowToFloat(static_cast<long double>(TextToFloat(texts.elite)) * 0.01L)
                         : 0.0f;
  params.breakEvery = texts.breakChecked ? TextToInt(texts.breakEvery) : 0;
  params.maxLength = TextToInt(texts.maxLength);
  params.maxInitialDepth = TextToInt(texts.maxInitialDepth);
  params.functionRatio = ReadRate(texts.functionRatio);
  params.variableRatio = ReadRate(texts.variableRatio);
  return params;
}

void ValidatePopulationParams(const PopulationParams& params, int populationNumber) {
  RequireAtLeast(params.populationSize, 1, "Population Size", populationNumber);
  RequireAtLeast(params.generations, 0, "Generation", populationNumber);
  if (params.selectionMethod < kProportional || params.selectionMethod > kRandom) {
    Refuse("Selection Method", populationNumber, "\"Proportional\", \"Tournament\" or \"Random\"");
  }
  if (params.selectionMethod == kTournament) {
    RequireAtLeast(params.tournamentSize, 1, "Tournament Size", populationNumber);
    RequireUsefulTournament(params, populationNumber);
  }
  RequireShare(params.crossoverRate, "Crossover", populationNumber);
  RequireShare(params.mutationRate, "Mutation", populationNumber);
  RequireShare(params.onePointRate, "One-point Mutation", populationNumber);
  RequireShare(params.eliteFraction, "Elite Strategy", populationNumber);
  RequireAtLeast(params.breakEvery, 0, "Break Point", populationNumber);
  // The root is always a function, so the smallest program of two-argument functions needs 3.
  RequireAtLeast(params.maxLength, 3, "Maximum Length", populationNumber);
  RequireAtLeast(params.maxInitialDepth, 0, "Maximum Initial Depth", populationNumber);
  RequireShare(params.functionRatio, "Function", populationNumber);
  RequireShare(params.variableRatio, "Variable", populationNumber);
}

void ValidateGenerationTotal(const std::vector<PopulationParams>& populations) {
  constexpr std::int64_t kCountable = std::numeric_limits<std::int32_t>::max();
  std::int64_t total = 0;
  for (const PopulationParams& params : populations) total += std::max(params.generations, 0);
  if (total > kCountable) {
    throw SettingsError("The \"Generation\" counts of all populations must add up to at most " +
                        std::to_string(kCountable) + " steps.");
  }
}

void ValidateGrowth(const PopulationParams& params,
                    const std::array<bool, kFunctionTableSize>& ticked, int populationNumber) {
  static const FunctionTable table = BuildFunctionTable();
  std::vector<std::int32_t> arities;
  for (int i = 0; i < kFunctionTableSize; ++i) {
    if (ticked[static_cast<std::size_t>(i)]) arities.push_back(table[i].arityCode);
  }
  if (arities.empty()) arities.push_back(table[kAdd].arityCode);
  const GrowthWork work =
      ExpectedGrowthWork(params.functionRatio, params.maxInitialDepth, params.maxLength, arities);
  // Only a population that mutates regrows subtrees.
  if (params.mutationRate > 0.0f && !(work.mutation <= kMaxExpectedWork)) {
    Refuse("Function", populationNumber,
           "at most 1: above it no draw gives a terminal, so subtree mutation could never "
           "close a new subtree");
  }
  if (!(work.initial <= kMaxExpectedWork)) {
    const std::int32_t restartAt = std::min(kInitialRestartAt, params.maxLength);
    char odds[32];
    std::snprintf(odds, sizeof odds, "%.2g", 1.0 / work.initialCloses);
    const std::string chance = work.initialCloses > 0.0
                                   ? "only one attempt in " + std::string(odds) + " closes"
                                   : "no attempt can close";
    Refuse("Function", populationNumber,
           "lower for \"Maximum Initial Depth\" " + std::to_string(params.maxInitialDepth) +
               ": an initial program is thrown away when it reaches " + std::to_string(restartAt) +
               " Nodes still open, and " + chance + "; lower the function ratio or the depth");
  }
}

}  // namespace vobrix
