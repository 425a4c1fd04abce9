// The training fitness: mean squared one-step prediction error over the training series.
#pragma once

#include <cmath>
#include <limits>

#include "engine/functions.h"

namespace vobrix {

// Raw fitness of the program in genes on currentProblem: finite and non-negative or
// +infinity, never NaN.
double TrainingFitness(const Node* genes);

// The squared error of one window as the fitness adds it: +infinity for a non-finite error or
// a square beyond the double range.
inline double SquaredError(double target, double prediction) {
  const double d = target - prediction;
  if (!std::isfinite(d)) return std::numeric_limits<double>::infinity();
  return d * d;  // a square beyond the double range is +infinity by itself
}

}  // namespace vobrix
