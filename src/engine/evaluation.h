// Evaluating, ranking and summarising one generation of a population.
#pragma once

#include <cstdint>

#include "engine/gp_pop.h"

namespace vobrix {

class GenerationEvaluator;

// Raw, adjusted and normalized fitness of every Individual of the current buffer, in three
// passes over the slots in order. The raw fitness comes from the fast evaluator when one is
// given (the same bits, on all its threads), else from the interpreter.
void EvaluateGeneration(Population& p, GenerationEvaluator* evaluator = nullptr);
// The first pass: rawFitness = TrainingFitness of each program on currentProblem, except for
// the verbatim copies, whose raw fitness is known (TakeKnownFitness).
void ComputeRawFitness(Population& p);
// Whether individual's raw fitness came with its genes from a verbatim copy (they are the same
// program on the same problem, so evaluating it would give the same bits); clears the mark, so
// that each copy is spared one evaluation only.
bool TakeKnownFitness(Individual& individual);

// Orders the current buffer's references best first (highest normalizedFitness) with the
// quicksort of SortRecords (record_sort.h), comparing by CompareNormalizedFitness, so that two
// records compare equal when their values are equal or either is NaN; with an evaluator, large
// parts are sorted on its threads, to the same order.
void SortGeneration(Population& p, GenerationEvaluator* evaluator = nullptr);

// Mean length of the current buffer; the caller truncates it.
double AverageLength(const Population& p);

// Stores entry g of the three histories (the run passes the generation's best raw fitness as
// the scale too, which is what the fitness chart's axis is sized from); throws std::out_of_range
// for g outside them.
void RecordGeneration(Population& p, std::int32_t g, float scale, float best,
                      std::int32_t averageLength);

}  // namespace vobrix
