// Breeding in two passes. The first makes every draw of the generation on the calling thread,
// in slot order, and writes what it decided into one plan per child; the second builds the
// children from the plans, which draws nothing and so can be shared out over threads without
// changing a bit. The draws read each parent's subtree ends and open counts from tables built
// beforehand, one pass per parent, instead of walking the program at every cut.
#include <algorithm>
#include <cstddef>
#include <memory>

#include "engine/gp_opr.h"
#include "engine/gp_pop.h"
#include "engine/misc.h"
#include "engine/parallel_eval.h"

namespace vobrix {

namespace {

// Runs body(begin, end) over ranges that together cover 0 .. count - 1, on the pool's threads
// when there is a pool. Every range touches only its own slots, so the ranges may run in any
// order and on any thread.
template <typename Body>
void ForEachRange(GenerationEvaluator* pool, std::int32_t count, const Body& body) {
  if (!pool) {
    body(std::int32_t{0}, count);
    return;
  }
  pool->ParallelFor(count, [&](std::int32_t begin, std::int32_t end, int) { body(begin, end); });
}

// Second parent for crossover and one-point mutation, different from p1, or -1 when the
// population has no other slot. A selection that can only return p1 (slot 0 for an unknown
// method, proportional over NaN fitness) would otherwise be drawn again for ever, so after a
// bounded number of draws the next slot is taken.
std::int32_t SelectSecondParent(const Population& p, std::int32_t p1) {
  if (p.params.populationSize < 2) return -1;
  for (int attempt = 0; attempt < kMaxSecondParentDraws; ++attempt) {
    const std::int32_t p2 = SelectParent(p);
    if (p2 != p1) return p2;
  }
  return (p1 + 1) % p.params.populationSize;
}

// One-point cuts are drawn only with a positive rate (ChooseOperation never gives them for 0 or
// NaN), and only they read the open counts.
bool NeedsOpenCounts(const PopulationParams& params) {
  return params.onePointRate > 0.0f;
}

// The tables of every parent, each at its record's place.
void BuildParentTables(Population& p, GenerationEvaluator* pool) {
  BreedingWorkspace& w = p.breeding;
  const std::int32_t size = p.params.populationSize;
  w.stride = static_cast<std::size_t>(p.GeneCapacity());
  const std::size_t entries = w.stride * static_cast<std::size_t>(size);
  const bool opens = NeedsOpenCounts(p.params);
  if (w.tableEntries < entries) {
    w.ends = std::make_unique_for_overwrite<std::int32_t[]>(entries);
    w.opens.reset();
    w.tableEntries = entries;
  }
  if (opens && !w.opens) w.opens = std::make_unique_for_overwrite<std::int32_t[]>(w.tableEntries);
  w.opensFilled = opens;
  ForEachRange(pool, size, [&](std::int32_t begin, std::int32_t end) {
    for (std::int32_t i = begin; i < end; ++i) {
      const Individual& parent = p.CurrentRecord(i);
      const std::size_t at = w.stride * static_cast<std::size_t>(i);
      FillSubtreeEnds(parent.genes, parent.length, w.ends.get() + at);
      if (opens) FillOpenCounts(parent.genes, parent.length, w.opens.get() + at);
    }
  });
}

ProgramShape ShapeOf(const Population& p, std::int32_t slot) {
  const BreedingWorkspace& w = p.breeding;
  const Individual& parent = *p.Current()[slot];
  const std::size_t at = w.stride * static_cast<std::size_t>(p.CurrentRecordIndex(parent));
  return {parent.genes, parent.length, w.ends.get() + at,
          w.opensFilled ? w.opens.get() + at : nullptr};
}

// The draws of one bred slot, in the order the operators make them; a mutation's replacement
// goes to the end of grown.
ChildPlan PlanChild(Population& p, std::vector<Node>& grown) {
  const PopulationParams& params = p.params;
  ChildPlan plan;
  const float r = static_cast<float>(RandomUnit());
  plan.first = SelectParent(p);
  plan.operation = ChooseOperation(r, params);
  const ProgramShape first = ShapeOf(p, plan.first);
  if (plan.operation == BreedOperation::Mutation) {
    plan.grownAt = grown.size();
    grown.resize(plan.grownAt + kMutationSubtreeLimit);
    const MutationCut m =
        DrawMutation(first, params.maxLength, kMutationSubtreeLimit, grown.data() + plan.grownAt);
    grown.resize(plan.grownAt + static_cast<std::size_t>(m.count));
    plan.aStart = m.cut.start;
    plan.aEnd = m.cut.end;
    plan.grownCount = m.count;
    return plan;
  }
  if (plan.operation == BreedOperation::Reproduction) return plan;
  plan.second = SelectSecondParent(p, plan.first);
  if (plan.second < 0) {
    plan.operation = BreedOperation::Reproduction;
  } else if (plan.operation == BreedOperation::Crossover) {
    const CrossoverCuts cuts = DrawCrossoverCuts(first, ShapeOf(p, plan.second), params.maxLength);
    plan.aStart = cuts.receiver.start;
    plan.aEnd = cuts.receiver.end;
    plan.bStart = cuts.donor.start;
    plan.bEnd = cuts.donor.end;
  } else {
    const OnePointCuts cuts = DrawOnePointCuts(first, ShapeOf(p, plan.second), params.maxLength);
    plan.aStart = cuts.first;
    plan.bStart = cuts.second;
  }
  return plan;
}

void BuildChild(Individual& child, const ChildPlan& plan, Individual* const* parents,
                const Node* grown, std::int32_t maxLength) {
  const Individual& first = *parents[plan.first];
  switch (plan.operation) {
    case BreedOperation::Crossover:
      SpliceCrossover(child, first, plan.aStart, plan.aEnd, *parents[plan.second], plan.bStart,
                      plan.bEnd, maxLength);
      return;
    case BreedOperation::Mutation:
      SpliceMutation(child, first, plan.aStart, plan.aEnd, grown + plan.grownAt, plan.grownCount,
                     maxLength);
      return;
    case BreedOperation::OnePoint:
      SpliceOnePoint(child, first, plan.aStart, *parents[plan.second], plan.bStart, maxLength);
      return;
    case BreedOperation::Reproduction:
      Reproduce(child, first, maxLength);
      return;
  }
}

// Slots planned together, then handed over to be built: two of the pool's chunks, so that
// handing a block over costs little next to its work, building starts early, and every thread
// gets blocks on a population of 1,000.
struct Blocks {
  Blocks(std::int32_t population, const GenerationEvaluator* pool)
      : slots(population),
        size(2 * GenerationEvaluator::ChunkSize(population, pool ? pool->threads() : 1)),
        count((population + size - 1) / size) {}
  std::int32_t Begin(std::int32_t block) const { return block * size; }
  std::int32_t End(std::int32_t block) const { return std::min(slots, (block + 1) * size); }
  std::int32_t slots, size, count;
};

void PlanBlock(Population& p, const Blocks& blocks, std::int32_t block) {
  BreedingWorkspace& w = p.breeding;
  const std::int32_t elite = EliteCount(p.params);
  std::vector<Node>& grown = w.grown[static_cast<std::size_t>(block)];
  grown.clear();
  for (std::int32_t i = blocks.Begin(block); i < blocks.End(block); ++i) {
    w.plans[i] = i < elite ? ChildPlan{.first = i} : PlanChild(p, grown);
  }
}

// Building draws nothing and reads only the parents, the plans and its own block's
// replacements, which planning no longer touches once the block is planned. With an evaluator
// the children's fitness is computed at once, while the genes are still in the cache.
void BuildBlock(const Population& p, const Blocks& blocks, std::int32_t block,
                GenerationEvaluator* evaluator) {
  const BreedingWorkspace& w = p.breeding;
  const Node* grown = w.grown[static_cast<std::size_t>(block)].data();
  const std::int32_t begin = blocks.Begin(block);
  const std::int32_t end = blocks.End(block);
  for (std::int32_t i = begin; i < end; ++i) {
    BuildChild(*p.Next()[i], w.plans[i], p.Current(), grown, p.params.maxLength);
  }
  if (evaluator) evaluator->EvaluateAhead(p.Next(), begin, end);
}

}  // namespace

void Breed(Population& p, std::int32_t /*g*/, GenerationEvaluator* pool, bool evaluateChildren) {
  if (p.params.selectionMethod == kProportional) PrepareProportionalSelection(p);
  BuildParentTables(p, pool);
  BreedingWorkspace& w = p.breeding;
  const Blocks blocks(p.params.populationSize, pool);
  w.plans.resize(static_cast<std::size_t>(p.params.populationSize));
  if (w.grown.size() < static_cast<std::size_t>(blocks.count)) {
    w.grown.resize(static_cast<std::size_t>(blocks.count));
  }
  // Each block is built (and evaluated) on the pool while the next one is planned.
  GenerationEvaluator* evaluator = evaluateChildren ? pool : nullptr;
  const auto planAndBuild = [&p, &blocks, evaluator](const SortFork* fork) {
    for (std::int32_t block = 0; block < blocks.count; ++block) {
      PlanBlock(p, blocks, block);
      if (fork) {
        (*fork)([&p, &blocks, block, evaluator] { BuildBlock(p, blocks, block, evaluator); });
      } else {
        BuildBlock(p, blocks, block, evaluator);
      }
    }
  };
  if (pool) {
    pool->RunForked(planAndBuild);
  } else {
    planAndBuild(nullptr);
  }
  p.cumulativeCount = -1;  // the sums belong to this generation only
}

}  // namespace vobrix
