#include "engine/evaluation.h"

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/fitness.h"
#include "engine/misc.h"
#include "engine/parallel_eval.h"
#include "engine/record_sort.h"

namespace vobrix {

bool TakeKnownFitness(Individual& individual) {
  const bool known = individual.fitnessKnown;
  individual.fitnessKnown = false;
  return known;
}

void ComputeRawFitness(Population& p) {
  Individual** slots = p.Current();
  for (std::int32_t i = 0; i < p.params.populationSize; ++i) {
    if (!TakeKnownFitness(*slots[i])) slots[i]->rawFitness = TrainingFitness(slots[i]->genes);
  }
}

void EvaluateGeneration(Population& p, GenerationEvaluator* evaluator) {
  if (evaluator) {
    evaluator->ComputeRawFitness(p);
  } else {
    ComputeRawFitness(p);
  }
  Individual** slots = p.Current();
  const std::int32_t size = p.params.populationSize;
  double sum = 0.0;
  for (std::int32_t i = 0; i < size; ++i) {
    slots[i]->adjustedFitness = 1.0 / (1.0 + slots[i]->rawFitness);
    sum += slots[i]->adjustedFitness;
  }
  // Every raw fitness infinite makes the sum 0 and every share NaN; selection copes with that.
  for (std::int32_t i = 0; i < size; ++i) {
    slots[i]->normalizedFitness = slots[i]->adjustedFitness / sum;
  }
}

namespace {

// A slot's record with its normalizedFitness beside it, so that the sort compares without
// reaching into the records.
struct RankedSlot {
  double fitness;
  Individual* individual;
};

// The generation's order, best first: -1 when normalizedFitness x is greater than y, +1 when it
// is smaller, 0 when they are equal or either is not a number.
int CompareNormalizedFitness(double x, double y) {
  return x > y ? -1 : x < y ? 1 : 0;
}

struct RankedSlots {
  RankedSlot* base;

  using Pivot = double;  // only the fitness is compared
  Pivot MakePivot() const { return 0.0; }
  void Load(Pivot& pivot, std::ptrdiff_t i) const { pivot = base[i].fitness; }
  int Compare(std::ptrdiff_t i, Pivot pivot) const {
    return CompareNormalizedFitness(base[i].fitness, pivot);
  }
  int Compare(std::ptrdiff_t i, std::ptrdiff_t j) const {
    return CompareNormalizedFitness(base[i].fitness, base[j].fitness);
  }
  void Swap(std::ptrdiff_t i, std::ptrdiff_t j) const { std::swap(base[i], base[j]); }
};

}  // namespace

void SortGeneration(Population& p, GenerationEvaluator* evaluator) {
  Individual** slots = p.Current();
  const std::int32_t size = p.params.populationSize;
  if (size < 2) return;
  std::vector<RankedSlot> ranked(static_cast<std::size_t>(size));
  for (std::int32_t i = 0; i < size; ++i) ranked[i] = {slots[i]->normalizedFitness, slots[i]};
  const auto sort = [&](const SortFork* fork) {
    QuickSortRecords(RankedSlots{ranked.data()}, 0, size - 1, fork);
  };
  // Only a partition with two sides of kForkedSortSide records forks: a smaller generation
  // does not enter the pool.
  if (evaluator && size >= 2 * kForkedSortSide) {
    evaluator->RunForked(sort);
  } else {
    sort(nullptr);
  }
  for (std::int32_t i = 0; i < size; ++i) slots[i] = ranked[i].individual;
}

double AverageLength(const Population& p) {
  // A 64-bit sum: a large population of long programs overflows 32 bits.
  Individual* const* slots = p.Current();
  std::int64_t sum = 0;
  for (std::int32_t i = 0; i < p.params.populationSize; ++i) sum += slots[i]->length;
  return static_cast<double>(sum) / static_cast<double>(p.params.populationSize);
}

void RecordGeneration(Population& p, std::int32_t g, float scale, float best,
                      std::int32_t averageLength) {
  if (g < 0 || static_cast<std::size_t>(g) >= p.bestFitnessHistory.size()) {
    throw std::out_of_range("generation " + std::to_string(g) + " is outside the history of " +
                            std::to_string(p.bestFitnessHistory.size()) + " generations");
  }
  p.fitnessScaleHistory[g] = scale;
  p.bestFitnessHistory[g] = best;
  p.averageLengthHistory[g] = averageLength;
}

}  // namespace vobrix
