// A series differenced before a model's programs see it: z[t] = (1 - B^l1)(1 - B^l2) ... y[t]
// for the lags l1, l2, ... (B shifts back one step), so that a trend (lag 1) or a season (lag
// 12 for monthly data) is taken out and the programs learn what is left. A prediction of z[t]
// goes back to the data's units by adding the part of y[t] that the earlier values fix:
// y[t] = z[t] + base[t], base[t] = y[t] - z[t].
//
// The largest lag s, when above 1, may instead be taken against the mean of the K values s,
// 2s, .. Ks before: its factor is then 1 - (B^s + B^2s + .. + B^Ks) / K. A plain seasonal
// difference copies one season's noise, or a level break, into the next season; the mean of K
// of them passes on a K-th of it.
//
// Expanded, the product is z[t] = sum over k of c[k] y[t - k] (c[0] = 1). Every sum here, and
// in the exported code, is taken in that one order, k from 0 up, skipping zero coefficients,
// so that the predictor and the exports give the same bits. With at most three distinct lags
// and K = 1 every coefficient is -1, 0 or 1: two sets of lags with the same sum and sizes of
// the same parity would be needed for any other.
//
// Data written in decimals are not exact in binary, so a difference that is 0 in the data's own
// digits ((45.3 - 44.1) - (40.3 - 39.1)) can come out a few units in the last place away from
// 0, and a program that divides by it then predicts a pole where the data say 0. A sum of n
// terms whose size is at most n * 2^-52 times the sum of its terms' sizes is within that
// rounding, and counts as 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vobrix::model {

// A model differences with at most this many lags, each from 1 to kMaxDifferenceLag.
inline constexpr std::size_t kMaxDifferenceLags = 3;
inline constexpr std::int32_t kMaxDifferenceLag = 1000;
// The seasons K the largest lag may be averaged over.
inline constexpr std::int32_t kMaxDifferenceSeasons = 100;

// The values before a target that differencing reads: the sum of the lags, the largest one
// counted K times.
std::int32_t DifferenceSpan(const std::vector<std::int32_t>& lags, std::int32_t seasons);

// c[0] .. c[span] of the expanded product (every lag at least 1; seasons K from 1 up, above 1
// only with a largest lag above 1).
std::vector<double> DifferenceCoefficients(const std::vector<std::int32_t>& lags,
                                           std::int32_t seasons);

// z[j] = sum over k of c[k] y[j + span - k]: one value for each y from y[span] on.
std::vector<double> Differenced(const std::vector<double>& y,
                                const std::vector<double>& coefficients);

// The differenced value at `target`, which points at y[t] with y[t - span] .. y[t] readable;
// 0 within the rounding of its terms (above).
double DifferencedAt(const std::vector<double>& coefficients, const double* target);

// z, or 0 when z, a sum of `terms` terms whose sizes add up to `size`, is within their rounding.
// A sum with a non-finite term stays as it is.
double WithinRoundingIsZero(double z, double size, int terms);

// base[t] = -(sum over k >= 1 of c[k] y[t - k]), reading y[t - span] .. y[t - 1] before
// `target` (y[t] itself is not read). A prediction p of z[t] stands for y[t] = base[t] + p.
double DifferenceBase(const std::vector<double>& coefficients, const double* target);

// "lag 1", "lags 1, 12" or "lags 1, 12 (the mean of 7 seasons)": how texts for people name the
// differencing.
std::string LagsText(const std::vector<std::int32_t>& lags, std::int32_t seasons);

}  // namespace vobrix::model
