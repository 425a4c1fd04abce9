#include "engine/gp_pop.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>

#include "engine/gp_opr.h"
#include "engine/growth_odds.h"
#include "engine/init.h"
#include "engine/memory_room.h"
#include "engine/misc.h"
#include "engine/problem_record.h"

namespace vobrix {

namespace {

// a x b, or nothing when it overflows a size_t.
bool MultiplySize(std::size_t a, std::size_t b, std::size_t& out) {
  if (a != 0 && b > std::numeric_limits<std::size_t>::max() / a) return false;
  out = a * b;
  return true;
}

bool AddSize(std::size_t a, std::size_t b, std::size_t& out) {
  if (b > std::numeric_limits<std::size_t>::max() - a) return false;
  out = a + b;
  return true;
}

}  // namespace

std::size_t PopulationBytes(const PopulationParams& params) {
  constexpr std::size_t kOverflow = std::numeric_limits<std::size_t>::max();
  const auto count = [](std::int32_t v) { return static_cast<std::size_t>(std::max(v, 0)); };
  const std::size_t records = 2 * count(params.populationSize);
  std::size_t histories = 0, buffers = 0, individuals = 0, genes = 0, sums = 0, total = 0;
  if (!MultiplySize(count(params.generations), 2 * sizeof(float) + sizeof(std::int32_t),
                    histories) ||
      !MultiplySize(records, sizeof(Individual*), buffers) ||
      !MultiplySize(count(params.populationSize), sizeof(double), sums) ||
      !MultiplySize(records, sizeof(Individual), individuals) ||
      !MultiplySize(records, count(params.maxLength), genes) ||
      !MultiplySize(genes, sizeof(Node), genes) || !AddSize(histories, buffers, total) ||
      !AddSize(total, individuals, total) || !AddSize(total, genes, total) ||
      !AddSize(total, sums, total)) {
    return kOverflow;
  }
  return total;
}

bool FitsInMemory(const PopulationParams& params) {
  return FitsInRoom(PopulationBytes(params), MemoryRoom());
}

Population::Population(const PopulationParams& parameters) : params(parameters) {
  if (params.populationSize < 0 || params.maxLength < 0 || params.generations < 0) {
    throw std::invalid_argument(
        "population size, maximum length and generations must not be "
        "negative");
  }
  // The storage below is taken at once and filled as breeding reaches it, so storage beyond the
  // available memory would get the process killed half way instead of failing here.
  if (PopulationBytes(params) == std::numeric_limits<std::size_t>::max() || !FitsInMemory(params)) {
    throw std::bad_alloc();
  }
  const auto generations = static_cast<std::size_t>(params.generations);
  const auto size = static_cast<std::size_t>(params.populationSize);
  const auto length = static_cast<std::size_t>(params.maxLength);
  fitnessScaleHistory.assign(generations, 0.0f);
  bestFitnessHistory.assign(generations, 0.0f);
  averageLengthHistory.assign(generations, 0);
  buffers[0].assign(size, nullptr);
  buffers[1].assign(size, nullptr);
  records_.assign(2 * size, Individual{});
  cumulativeFitness.assign(size, 0.0);
  // The genes come zeroed from calloc: fresh pages of the system are zero already, so a large
  // store costs no pass of zero-filling before breeding writes it.
  const std::size_t genes = 2 * size * length;
  geneStore_.reset(static_cast<Node*>(std::calloc(std::max<std::size_t>(genes, 1), sizeof(Node))));
  if (!geneStore_) throw std::bad_alloc();
  for (std::size_t r = 0; r < records_.size(); ++r) {
    records_[r].genes = geneStore_.get() + r * length;
    buffers[r / size][r % size] = &records_[r];
  }
  geneCapacity_ = params.maxLength;
  current = 0;
}

void Population::FreeGenes::operator()(Node* genes) const {
  std::free(genes);
}

std::int32_t Population::GeneCapacity() const {
  return geneCapacity_;
}

const Individual& Population::CurrentRecord(std::int32_t k) const {
  return records_[static_cast<std::size_t>(current) * buffers[0].size() +
                  static_cast<std::size_t>(k)];
}

std::int32_t Population::CurrentRecordIndex(const Individual& ind) const {
  return static_cast<std::int32_t>(&ind - &CurrentRecord(0));
}

void FillInitialGeneration(Population& p) {
  const PopulationParams& params = p.params;
  NodeDrawSetup setup;
  setup.functionCount = currentProblem->functionCount;
  setup.variableCount = currentProblem->variableCount;
  setup.constantCount = currentProblem->constantCount;
  setup.functionRatio = params.functionRatio;
  setup.variableRatio = params.variableRatio;
  // Restarting below the array's capacity keeps every initial program inside its gene array.
  const std::int32_t restartAt = std::min(kInitialRestartAt, params.maxLength);
  std::array<Node, kInitialRestartAt> scratch{};
  // Growth has no bound on its attempts, so settings under which it cannot close in
  // reasonable time are refused here, once, rather than looping.
  const double work = ExpectedGrowthWork(params.functionRatio, params.maxInitialDepth,
                                         params.maxLength, FunctionArities(*currentProblem))
                          .initial;
  if (!(work <= kMaxExpectedWork)) {
    throw GrowthError("No initial program can be grown within " + std::to_string(restartAt) +
                      " Nodes in reasonable time: lower the function ratio or the \"Maximum "
                      "Initial Depth\", or raise the \"Maximum Length\".");
  }
  Individual** slots = p.Current();
  for (std::int32_t i = 0; i < params.populationSize; ++i) {
    const std::int32_t n = GrowProgram(scratch.data(), params.maxInitialDepth, restartAt, setup);
    Individual& ind = *slots[i];
    std::copy(scratch.begin(), scratch.begin() + n, ind.genes);
    SetProgramLength(ind, n);
  }
}

void SetProgramLength(Individual& ind, std::int32_t length) {
  if (ind.length > length) std::fill(ind.genes + length, ind.genes + ind.length, Node{0});
  ind.length = length;
  ind.fitnessKnown = false;
}

void SwapGenerations(Population& p) {
  p.current = p.current == 0 ? 1 : 0;
}

std::int32_t EliteCount(const PopulationParams& params) {
  const double k =
      static_cast<double>(params.populationSize) * static_cast<double>(params.eliteFraction);
  if (!(k >= 1.0)) return 0;  // also NaN and negative fractions
  if (k >= static_cast<double>(params.populationSize)) return params.populationSize;
  return static_cast<std::int32_t>(k);
}

std::int32_t ProportionalSlotByScan(const Population& p, float u) {
  Individual* const* slots = p.Current();
  double s = 0.0;
  for (std::int32_t i = 0; i < p.params.populationSize; ++i) {
    s += slots[i]->normalizedFitness;
    if (s > u) return i;
  }
  return 0;
}

namespace {

// The selection's u for the Rand15 draw d.
double RouletteUnit(int d) {
  return static_cast<double>(static_cast<float>(UnitOfDraw(d)));
}

// The first slot in [from, to) whose running sum exceeds u, or `to` when none does, as a slot
// (0 when that is past every sum). The shares are never negative, so the sums never decrease:
// over all the sums, the first above u is where the scan would have stopped.
std::int32_t SearchCumulative(const Population& p, double u, std::int32_t from, std::int32_t to) {
  const double* sums = p.cumulativeFitness.data();
  const double* found = std::upper_bound(sums + from, sums + to, u);
  return found == sums + p.cumulativeCount ? 0 : static_cast<std::int32_t>(found - sums);
}

// Draws per bucket of the smaller populations' index: about one slot per bucket at 1,000.
constexpr int kRouletteBucketDraws = 32;

// out[k] = where the search for draw k * step stops (cumulativeCount when no sum exceeds its
// u), for every k below out.size(), by one merge of the rising draws with the rising sums.
void MergeDraws(const Population& p, int step, std::vector<std::int32_t>& out) {
  const double* sums = p.cumulativeFitness.data();
  std::int32_t j = 0;
  for (std::size_t k = 0; k < out.size(); ++k) {
    const double u = RouletteUnit(static_cast<int>(k) * step);
    while (j < p.cumulativeCount && !(sums[j] > u)) ++j;
    out[k] = j;
  }
}

// Large populations: rouletteSlots[d] = the search's slot for every draw d.
// Smaller ones: where the search stops for the first draw of every bucket, and then
// cumulativeCount; a draw's slot lies between its bucket's bound and the next one's.
void FillRouletteIndex(Population& p) {
  if (p.params.populationSize >= kRouletteIndexFrom) {
    p.rouletteSlots.resize(kRouletteDraws);
    MergeDraws(p, 1, p.rouletteSlots);
    for (std::int32_t& slot : p.rouletteSlots) slot = slot == p.cumulativeCount ? 0 : slot;
    return;
  }
  p.rouletteBuckets.resize(kRouletteDraws / kRouletteBucketDraws);
  MergeDraws(p, kRouletteBucketDraws, p.rouletteBuckets);
  p.rouletteBuckets.push_back(p.cumulativeCount);
}

}  // namespace

void PrepareProportionalSelection(Population& p) {
  Individual* const* slots = p.Current();
  double s = 0.0;
  std::int32_t count = 0;
  bool rising = true;
  for (std::int32_t i = 0; i < p.params.populationSize; ++i) {
    const double before = s;
    s += slots[i]->normalizedFitness;
    p.cumulativeFitness[i] = s;
    // From a NaN on the scan never returns, and the sums are no longer ordered.
    if (std::isnan(s)) break;
    rising = rising && s >= before;
    count = i + 1;
  }
  p.cumulativeCount = count;
  // The merge finds what the binary search finds only over sums that never fall (a negative
  // share, which evaluation never gives, would break that): otherwise the search stays.
  p.rouletteSlots.clear();
  p.rouletteBuckets.clear();
  if (rising) FillRouletteIndex(p);
}

std::int32_t SlotOfDraw(const Population& p, int d) {
  if (p.cumulativeCount < 0) return ProportionalSlotByScan(p, static_cast<float>(UnitOfDraw(d)));
  if (!p.rouletteSlots.empty()) return p.rouletteSlots[static_cast<std::size_t>(d)];
  if (p.rouletteBuckets.empty()) return SearchCumulative(p, RouletteUnit(d), 0, p.cumulativeCount);
  // The sums at or after the bucket's upper bound all exceed u: the search is over the bucket.
  const auto bucket = static_cast<std::size_t>(d / kRouletteBucketDraws);
  return SearchCumulative(p, RouletteUnit(d), p.rouletteBuckets[bucket],
                          p.rouletteBuckets[bucket + 1]);
}

std::int32_t SelectProportional(const Population& p) {
  return SlotOfDraw(p, Rand15());
}

std::int32_t SelectTournament(const Population& p) {
  // Candidates are compared in the order they are drawn, so no candidate array is needed;
  // a size below 1 holds one candidate rather than none.
  Individual* const* slots = p.Current();
  const std::int32_t size = std::max(p.params.tournamentSize, 1);
  std::int32_t best = RandomBelow(p.params.populationSize);
  for (std::int32_t j = 1; j < size; ++j) {
    const std::int32_t candidate = RandomBelow(p.params.populationSize);
    if (!(slots[best]->normalizedFitness >= slots[candidate]->normalizedFitness)) {
      best = candidate;
    }
  }
  return best;
}

std::int32_t SelectRandom(const Population& p) {
  return RandomBelow(p.params.populationSize);
}

std::int32_t SelectParent(const Population& p) {
  switch (p.params.selectionMethod) {
    case kProportional:
      return SelectProportional(p);
    case kTournament:
      return SelectTournament(p);
    case kRandom:
      return SelectRandom(p);
    default:
      return 0;
  }
}

BreedOperation ChooseOperation(float r, const PopulationParams& params) {
  const double crossover = params.crossoverRate;
  const double mutation = crossover + static_cast<double>(params.mutationRate);
  const double onePoint = mutation + static_cast<double>(params.onePointRate);
  if (r < crossover) return BreedOperation::Crossover;
  if (r < mutation) return BreedOperation::Mutation;
  if (r < onePoint) return BreedOperation::OnePoint;
  return BreedOperation::Reproduction;
}

}  // namespace vobrix
