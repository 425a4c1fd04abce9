#include "run/run_plan.h"

#include <algorithm>
#include <string>

#include "engine/batch_eval.h"
#include "engine/memory_room.h"
#include "engine/parallel_eval.h"
#include "toolkit/toolkit.h"

namespace vobrix {
namespace {

constexpr auto Add = SaturatingAdd;
constexpr auto Multiply = SaturatingMultiply;

// Every population step adds the best and the validation error to both fitness charts and the
// average and best length to both length charts.
constexpr std::uint64_t kChartPointsPerStep = 8;
// A number text of up to 15 significant digits outgrows the short-string buffer.
constexpr std::uint64_t kTextBytes = sizeof(std::string) + 32;
// Per row and column of the prediction display: a cell of each prediction grid and a point
// of each prediction chart, and as much again for the vectors a step fills them from.
constexpr std::uint64_t kPredictionBytesPerCell =
    2 * (2 * kTextBytes + 2 * (sizeof(toolkit::ChartPoint) + 32));

}  // namespace

std::uint64_t RunMemoryBytes(const RunPlan& plan) {
  const ProblemShape& shape = plan.problem;
  std::uint64_t total = ProblemBytes(shape);
  std::int32_t longest = 0;
  std::int32_t largest = 0;
  for (const PopulationParams& params : plan.populations) {
    total = Add(total, PopulationBytes(params));
    const auto generations = static_cast<std::uint64_t>(std::max(params.generations, 0));
    total = Add(total, Multiply(generations, kChartPointsPerStep * sizeof(toolkit::ChartPoint)));
    longest = std::max(longest, params.maxLength);
    largest = std::max(largest, params.populationSize);
  }
  const auto rows = static_cast<std::uint64_t>(std::max(shape.trainingCount, 0)) +
                    static_cast<std::uint64_t>(std::max(plan.validationRows, 0));
  total =
      Add(total, Multiply(Multiply(rows, plan.populations.size() + 1), kPredictionBytesPerCell));
  const std::uint64_t tableSize = static_cast<std::uint64_t>(shape.functionCount) +
                                  static_cast<std::uint64_t>(shape.variableCount) +
                                  static_cast<std::uint64_t>(shape.constantCount);
  const std::uint64_t perThread =
      BatchEvaluator::BytesFor(tableSize, shape.trainingCount - shape.variableCount, longest);
  const int threads = GenerationEvaluator::ThreadCount(plan.threads, largest);
  return Add(total, Multiply(perThread, static_cast<std::uint64_t>(threads)));
}

bool RunFitsInMemory(const RunPlan& plan, std::optional<std::uint64_t> room) {
  return FitsInRoom(RunMemoryBytes(plan), room);
}

std::size_t LargestPopulation(const RunPlan& plan) {
  const auto largest = std::max_element(plan.populations.begin(), plan.populations.end(),
                                        [](const PopulationParams& a, const PopulationParams& b) {
                                          return PopulationBytes(a) < PopulationBytes(b);
                                        });
  return static_cast<std::size_t>(largest - plan.populations.begin());
}

}  // namespace vobrix
