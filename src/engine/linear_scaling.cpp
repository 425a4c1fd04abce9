#include "engine/linear_scaling.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "engine/row_loops.h"

namespace vobrix {

namespace {

// The least standard deviation of P, relative to its mean, that a fit scales up: ten digits
// above the rounding of a double, so that a + b * P keeps at least five.
constexpr double kLeastRelativeSpread = 1e-10;

}  // namespace

TargetMoments MomentsOf(const double* targets, std::int32_t n) {
  TargetMoments m;
  if (n <= 0) return m;
  m.shift = targets[0];
  double sum = 0.0;
  double squares = 0.0;
  for (std::int32_t i = 0; i < n; ++i) {
    const double d = targets[i] - m.shift;
    sum += d;
    squares += d * d;
  }
  const auto count = static_cast<double>(n);
  m.sum = sum;
  m.centred = std::fmax(0.0, squares - sum * sum / count);
  m.mean = m.shift + sum / count;
  return m;
}

namespace {

// The sums of one program's rows: of dp = P - shift, of dp^2, of dy dp with dy the shifted
// target, and of p - p, which is 0 for every finite p and NaN otherwise, so that a non-finite
// row shows in the same pass.
struct RowSums {
  double p = 0.0, pp = 0.0, yp = 0.0, nonFinite = 0.0;
};

// Four lanes: row i goes into the sums of lane i % 4, and the lanes are added in one fixed
// order at the end, so the result depends only on the rows, while the loop runs four rows at a
// time.
VOBRIX_ROW_LOOP RowSums SumRows(double shift, double yShift, const double* targets, const double* p,
                                std::int32_t n) {
  Lanes sumP = {}, sumPP = {}, sumYP = {}, nonFinite = {};
  const Lanes s = {shift, shift, shift, shift};
  const Lanes ys = {yShift, yShift, yShift, yShift};
  std::int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    Lanes pv, tv;
    std::memcpy(&pv, p + i, sizeof pv);
    std::memcpy(&tv, targets + i, sizeof tv);
    const Lanes dp = pv - s;
    const Lanes dy = tv - ys;
    sumP += dp;
    sumPP += dp * dp;
    sumYP += dy * dp;
    nonFinite += pv - pv;
  }
  for (int l = 0; i < n; ++i, ++l) {
    const double dp = p[i] - shift;
    const double dy = targets[i] - yShift;
    sumP[l] += dp;
    sumPP[l] += dp * dp;
    sumYP[l] += dy * dp;
    nonFinite[l] += p[i] - p[i];
  }
  const auto total = [](const Lanes& v) { return (v[0] + v[1]) + (v[2] + v[3]); };
  return {total(sumP), total(sumPP), total(sumYP), total(nonFinite)};
}

}  // namespace

ScaledFit FitScaling(const TargetMoments& moments, const double* targets, const double* p,
                     std::int32_t n) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  if (n <= 0) return {kInfinity, {}};
  // Shifting P by its first value keeps var(P) accurate for programs far from zero.
  const double shift = p[0];
  const RowSums sums = SumRows(shift, moments.shift, targets, p, n);
  const double sumP = sums.p;
  const double sumPP = sums.pp;
  const double sumYP = sums.yp;
  const double nonFinite = sums.nonFinite;
  if (nonFinite != 0.0) return {kInfinity, {}};
  const auto count = static_cast<double>(n);
  const double variance = sumPP - sumP * sumP / count;  // both times n
  const double covariance = sumYP - moments.sum * sumP / count;
  const double meanP = shift + sumP / count;
  // A spread that is only the rounding of P's level (X0 / X0 of slightly different values, say)
  // is no signal: b would be huge and a + b * P all rounding noise, so such P counts as constant.
  const double floor = kLeastRelativeSpread * meanP;
  const bool spread = variance > count * (floor * floor) && std::isfinite(variance);
  double b = spread ? covariance / variance : 0.0;
  if (!std::isfinite(b)) b = 0.0;
  double a = b == 0.0 ? moments.mean : moments.mean - b * meanP;
  if (!std::isfinite(a)) {
    a = moments.mean;
    b = 0.0;
  }
  // What the fit leaves of the targets' spread: n var(y) - b n cov(y, P).
  const double left = b == 0.0 ? moments.centred : moments.centred - b * covariance;
  if (std::isnan(left)) return {kInfinity, {a, b}};
  return {std::fmax(0.0, left) / count, {a, b}};
}

}  // namespace vobrix
