// The Normalization transformation of the data cell texts: the Y column of the training and
// validation rows rescaled by the training range, X untouched. The window's Normalization
// button and the command line's --normalize both use it.
#pragma once

#include <stdexcept>
#include <vector>

#include "problem/problem.h"

namespace vobrix {

// Data that cannot be normalized; the message says which row of which data, or that the range
// is empty. Nothing has been changed when it is thrown.
class NormalizationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct NormalizedData {
  std::vector<CellRow> training;
  std::vector<CellRow> validation;
  double low = 0.0;   // the smaller of 50000 and the smallest training Y
  double high = 0.0;  // the larger of 0 and the largest training Y
};

// (y - low) / (high - low) as the normalization computes it: the difference is first rounded to
// 15 significant digits, as the grid held it between the two stages.
double ScaledValue(double y, double low, double high);

// The normalized Y that a run reads from the grid: ScaledValue rounded to 15 significant digits.
// A saved model applies it to new data so that its program sees exactly what the run's saw.
// Non-finite values pass through instead of being refused.
double NormalizedValue(double y, double low, double high);

// Rewrites every Y as (y - low) / (high - low) in two stages, each written in the general
// format with 15 significant digits (the second stage divides the number read back from the
// first text). Validation rows use the training range. Validation rows that are all empty
// (no validation data) are returned as they are. Every Y is checked before anything is
// computed: a Y that is not a number, a range whose high equals its low, or a result that is
// not finite throws NormalizationError.
NormalizedData Normalize(const std::vector<CellRow>& training,
                         const std::vector<CellRow>& validation);

}  // namespace vobrix
