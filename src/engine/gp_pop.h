// A population: its parameters, two generation buffers of Individuals and its histories.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/functions.h"

namespace vobrix {

enum SelectionMethod : std::int32_t { kProportional = 0, kTournament = 1, kRandom = 2 };

struct PopulationParams {
  std::int32_t maxLength = 100;
  std::int32_t maxInitialDepth = 5;
  float functionRatio = 0.5f;
  float variableRatio = 0.2f;
  std::int32_t breakEvery = 0;
  std::int32_t generations = 50;
  std::int32_t populationSize = 1000;
  std::int32_t selectionMethod = kProportional;
  std::int32_t tournamentSize = 6;
  float crossoverRate = 0.7f;
  float mutationRate = 0.2f;
  float onePointRate = 0.0f;
  float eliteFraction = 0.1f;
};

struct Individual {
  Node* genes = nullptr;  // maxLength Nodes, owned by the Population; zero from length on
  std::int32_t length = 0;
  // Set by a verbatim copy (Reproduce), whose rawFitness came with its genes: evaluation keeps
  // that value instead of computing it again, and clears the mark (TakeKnownFitness).
  bool fitnessKnown = false;
  double rawFitness = 0.0;
  double adjustedFitness = 0.0;
  double normalizedFitness = 0.0;
};

// The operator a bred slot gets (ChooseOperation); elite copies are reproductions.
enum class BreedOperation { Crossover, Mutation, OnePoint, Reproduction };

// Everything the draws decided for one child, so that it can be built later on any thread:
// the parent slots and the cuts (crossover: receiver and donor; mutation: the cut of first and
// grownCount Nodes at grownAt in its block's BreedingWorkspace::grown; one-point: first's and
// second's positions in aStart and bStart).
struct ChildPlan {
  BreedOperation operation = BreedOperation::Reproduction;
  std::int32_t first = 0;
  std::int32_t second = -1;
  std::int32_t aStart = 0, aEnd = 0, bStart = 0, bEnd = 0;
  std::int32_t grownCount = 0;
  std::size_t grownAt = 0;
};

// Kept from one generation's breeding to the next so that its storage is reused.
struct BreedingWorkspace {
  // One table of stride entries per record of the current buffer (Population::RecordIndex),
  // stride the gene capacity so that every table starts where its record says without a pass
  // over the lengths. Made once and never cleared: only a parent's first length entries are
  // written and read. Filled in memory order, so that genes and tables stream.
  std::size_t stride = 0;
  std::size_t tableEntries = 0;
  std::unique_ptr<std::int32_t[]> ends;   // FillSubtreeEnds of every parent
  std::unique_ptr<std::int32_t[]> opens;  // FillOpenCounts, only when one-point cuts can be drawn
  bool opensFilled = false;
  std::vector<ChildPlan> plans;  // one per slot of the next buffer
  // The replacements mutation grew, one vector per block of planned children (breeding.cpp).
  std::vector<std::vector<Node>> grown;
};

struct Population {
  std::int32_t current = 0;  // buffer holding the current generation
  PopulationParams params;
  std::vector<float> fitnessScaleHistory;
  std::vector<float> bestFitnessHistory;
  std::vector<std::int32_t> averageLengthHistory;
  std::array<std::vector<Individual*>, 2> buffers;
  // Running sums of normalizedFitness over the sorted current buffer, formed in slot order as
  // the roulette wheel forms them, so that a draw is a binary search instead of a scan. Valid
  // for the first cumulativeCount slots (the sums turn NaN after a NaN share); -1 while no
  // breeding has prepared them.
  std::vector<double> cumulativeFitness;
  std::int32_t cumulativeCount = -1;
  // For a large population, the slot the binary search gives for every possible Rand15 draw of
  // a selection (kRouletteDraws entries); for a smaller one, the bounds of that search for
  // buckets of draws. Both empty when the plain search is used.
  std::vector<std::int32_t> rouletteSlots;
  std::vector<std::int32_t> rouletteBuckets;
  BreedingWorkspace breeding;

  // Allocates everything the population will ever use, genes zeroed; throws std::bad_alloc
  // when it cannot or when the storage would not fit in the machine's available memory, and
  // std::invalid_argument for a negative size or count.
  explicit Population(const PopulationParams& params);
  Population(const Population&) = delete;
  Population& operator=(const Population&) = delete;

  // Nodes each gene array holds: no program of the population is longer.
  std::int32_t GeneCapacity() const;
  // A buffer's records in the order they lie in memory (their genes too), whatever order the
  // sort left its slots in: record k of the current buffer, and the k of one of its records.
  const Individual& CurrentRecord(std::int32_t k) const;
  std::int32_t CurrentRecordIndex(const Individual& ind) const;

  Individual** Current() { return buffers[current].data(); }
  Individual** Next() { return buffers[1 - current].data(); }
  Individual* const* Current() const { return buffers[current].data(); }
  Individual* const* Next() const { return buffers[1 - current].data(); }

 private:
  struct FreeGenes {
    void operator()(Node* genes) const;
  };
  std::vector<Individual> records_;               // 2 x populationSize, never moved
  std::unique_ptr<Node[], FreeGenes> geneStore_;  // 2 x populationSize x maxLength
  std::int32_t geneCapacity_ = 0;                 // maxLength when the store was made
};

class GenerationEvaluator;

// The population being filled, evaluated or bred; DrawNode reads its ratios.
extern Population* currentPopulation;

// Bytes the Population constructor allocates for these parameters; SIZE_MAX when the count
// does not fit a size_t.
std::size_t PopulationBytes(const PopulationParams& params);
// Whether PopulationBytes fits in the memory this process may still take (MemoryRoom); true
// when no figure can be read.
bool FitsInMemory(const PopulationParams& params);

// Gives every Individual of the current buffer a random initial program (GrowProgram with the
// ratios of p.params and the block sizes of currentProblem); throws GrowthError when growth
// cannot close under these settings.
void FillInitialGeneration(Population& p);
// Gives ind the length of the program just written to its first length genes, zeroing the
// Nodes it held beyond that: a record that was zero from its old length on (every record of a
// Population starts all zero) is zero from its new one on, and the rest of its maxLength
// Nodes is never touched. Its raw fitness is no longer known.
void SetProgramLength(Individual& ind, std::int32_t length);
// Makes the bred buffer the current one.
void SwapGenerations(Population& p);

// Elite copies for these parameters: populationSize x eliteFraction, truncated, within
// 0 .. populationSize.
std::int32_t EliteCount(const PopulationParams& params);

// The operator a bred slot gets for the draw r: the rates are widened and summed in double and
// every test is strict, so reproduction takes r from crossover + mutation + onePoint up.
BreedOperation ChooseOperation(float r, const PopulationParams& params);

// Second-parent draws before breeding gives up on the selection and takes the next slot.
inline constexpr int kMaxSecondParentDraws = 1000;
// Nodes of the random subtree that mutation grows during breeding.
inline constexpr std::int32_t kMutationSubtreeLimit = 30;

// Writes the next generation into the other buffer: elite copies, then one operator per slot.
// The current buffer must be evaluated and sorted best first, and currentPopulation must be p
// (mutation draws its Nodes with p's ratios). g is not used. All draws are made on the calling
// thread in slot order into a plan; the children are then built from it (breeding.cpp), on
// pool's threads when there is one, to the same bits for every thread count. With
// evaluateChildren (and a pool) the children's raw fitness is computed as they are built and
// marked known, so the next generation's evaluation has nothing left to do; a run asks for it
// when another generation follows.
void Breed(Population& p, std::int32_t g, GenerationEvaluator* pool = nullptr,
           bool evaluateChildren = false);

// A slot of the current buffer chosen by p.params.selectionMethod (slot 0 for an unknown one).
std::int32_t SelectParent(const Population& p);
// Roulette wheel over normalizedFitness; slot 0 when the running sum never exceeds the draw.
// Uses the running sums when breeding has prepared them, else scans the slots.
std::int32_t SelectProportional(const Population& p);
// The first slot whose running sum exceeds u, by scanning (0 when none does).
std::int32_t ProportionalSlotByScan(const Population& p, float u);
// Possible Rand15 draws, and the population from which selection looks them up in
// rouletteSlots: below it, the few draws of a generation search faster than the table fills.
inline constexpr std::int32_t kRouletteDraws = 32768;
inline constexpr std::int32_t kRouletteIndexFrom = 4096;
// Forms p.cumulativeFitness over the current buffer (and rouletteSlots from
// kRouletteIndexFrom slots on, rouletteBuckets below); Breed calls it for proportional
// selection.
void PrepareProportionalSelection(Population& p);
// The slot that proportional selection gives for the Rand15 draw d.
std::int32_t SlotOfDraw(const Population& p, int d);
// Best of tournamentSize uniform draws (at least one), the earliest drawn among equals.
std::int32_t SelectTournament(const Population& p);
// One uniform draw.
std::int32_t SelectRandom(const Population& p);

}  // namespace vobrix
