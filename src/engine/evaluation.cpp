#include "engine/evaluation.h"

#include <stdexcept>
#include <string>

#include "engine/fitness.h"
#include "engine/misc.h"
#include "engine/parallel_eval.h"

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

int CompareNormalizedFitness(const void* a, const void* b) {
  const double x = (*static_cast<Individual* const*>(a))->normalizedFitness;
  const double y = (*static_cast<Individual* const*>(b))->normalizedFitness;
  if (x > y) return -1;
  if (x < y) return 1;
  return 0;
}

void SortGeneration(Population& p, GenerationEvaluator* evaluator) {
  const auto count = static_cast<std::size_t>(p.params.populationSize);
  if (evaluator) {
    evaluator->SortRecords(p.Current(), count, sizeof(Individual*), CompareNormalizedFitness);
  } else {
    SortRecords(p.Current(), count, sizeof(Individual*), CompareNormalizedFitness);
  }
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
