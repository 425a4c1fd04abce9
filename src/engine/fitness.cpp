#include "engine/fitness.h"

#include <cmath>
#include <limits>

#include "engine/problem_record.h"

namespace vobrix {

double TrainingFitness(const Node* genes) {
  Problem& problem = *currentProblem;
  const std::int32_t n = problem.trainingCount;
  const std::int32_t w = problem.windowSize;
  // Building the problem refuses n <= w; an empty mean is still no error here.
  if (n <= w) return std::numeric_limits<double>::infinity();
  double sum = 0.0;
  for (std::int32_t i = 0; i < n - w; ++i) {
    problem.LoadWindow(i);
    std::int32_t position = 0;
    const double prediction = EvaluateNode(genes, position);
    sum += SquaredError(problem.trainingY[i + w], prediction);
  }
  return sum / static_cast<double>(n - w);
}

}  // namespace vobrix
