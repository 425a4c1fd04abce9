// Linear scaling of a program's output: the run may score a + b * P instead of P, with a and b
// fitted by least squares for every program, so that evolution looks for the shape of the
// series and leaves its level and scale to the fit.
#pragma once

#include <cstdint>
#include <optional>

namespace vobrix {

struct LinearScaling {
  double a = 0.0;
  double b = 1.0;
  bool operator==(const LinearScaling&) const = default;
};

// The scaled prediction, the one formula that every user of a scaling applies.
inline double ScaledOutput(const LinearScaling& scaling, double p) {
  return scaling.a + scaling.b * p;
}
// Without a scaling the program's output is used as it is.
inline double ScaledOutput(const std::optional<LinearScaling>& scaling, double p) {
  return scaling ? ScaledOutput(*scaling, p) : p;
}

// The sums of the targets a fit needs, taken once per series. The values are shifted by the
// first target before they are summed, which keeps the centred sums accurate for a series far
// from zero.
struct TargetMoments {
  double shift = 0.0;    // the first target
  double sum = 0.0;      // of (y - shift)
  double centred = 0.0;  // sum of (y - mean)^2, from the shifted sums
  double mean = 0.0;
};
TargetMoments MomentsOf(const double* targets, std::int32_t n);

// A program's scaled fit: its mean squared error as a + b * P and the a, b that give it.
struct ScaledFit {
  double mse = 0.0;
  LinearScaling scaling;
};

// The least-squares a, b of predictions p against the targets and the mean squared error they
// leave, in one pass over the rows, summed in a fixed order (four interleaved lanes, then the
// lanes), so the same rows always give the same bits: b = cov(y, P) / var(P),
// a = mean(y) - b mean(P). A non-finite prediction gives +infinity with the identity scaling
// (the program is as unusable as unscaled); a constant program, one whose spread is no more
// than the rounding of its level (below 1e-10 of its mean) or one whose spread overflows the
// sums gets b = 0 and a = mean(y).
ScaledFit FitScaling(const TargetMoments& moments, const double* targets, const double* p,
                     std::int32_t n);

}  // namespace vobrix
