// Whether, and at which lags, a forecast differences the series before its runs: a trend or a
// season that a formula of a few lags cannot follow is taken out first (model/difference.h).
// Chosen on the inner hold-out like the window, never on the validation data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "problem/problem.h"

namespace vobrix::forecast {

struct DifferenceScore {
  std::vector<std::int32_t> lags;
  std::int32_t seasons = 1;  // the seasons the largest lag is averaged over (model/difference.h)
  double holdoutMse = 0.0;   // of the AR model on the differenced values, in the data's units
};

struct DifferenceChoice {
  std::int32_t season = 0;              // the season found (0: none)
  std::vector<DifferenceScore> scores;  // every candidate tried, in the order tried
  std::vector<std::int32_t> lags;       // the chosen lags; empty for none
  std::int32_t seasons = 1;             // the chosen lags' seasons
};

// The season of the values: the lag s from 2 to min(kMaxSeason, m / 3) at which the first
// differences (m of them, less their mean) correlate most with themselves, the smallest lag
// within a tenth of that highest correlation (a season of 12 also correlates at 24); 0 when
// the highest correlation is below 0.3.
std::int32_t SeasonOf(const std::vector<double>& values);

// Candidates: none, 1, and with a season s: s, then 1 and s. Each is scored by an AR model of
// order at most kDifferenceArOrder, chosen by AIC on the differenced values before innerRows,
// predicting every later training value one step ahead (the differenced prediction plus the
// base). The lowest error wins, the earlier candidate among equals, but a differenced one only
// when it is more than 5 % below the error without differencing. A candidate that leaves too
// few values for the AR fit is not tried. When s or 1 and s wins, both are tried again against
// the mean of K = 2, 3, .. up to 10 seasons, as long as the differencing reads back at most
// half the inner values, and the lowest error of all wins. Only a season that its plain difference
// has shown is averaged: among the many averaged candidates one scores better by chance on a series
// without one.
DifferenceChoice ChooseDifference(const std::vector<double>& training, std::size_t innerRows);

// The other way to forecast the season of a choice: when its lags take the season out, the same
// lags without it (the formulas then see the season in their window); when they leave it in,
// the lags with the season against the mean of the K seasons (from 1 to 10, reading back at
// most half the inner values) whose AR model scores lowest on the hold-out, as above, if that
// is more than 5 % below the chosen lags' score. Nothing without a season.
std::optional<DifferenceScore> OtherSeasonTreatment(const DifferenceChoice& choice,
                                                    const std::vector<double>& training,
                                                    std::size_t innerRows);

// The training rows differenced at the lags: row i holds the x of row i + span and the
// differenced value, written so that it reads back to the same double.
std::vector<CellRow> DifferencedRows(const std::vector<CellRow>& rows,
                                     const std::vector<double>& values,
                                     const std::vector<std::int32_t>& lags, std::int32_t seasons);

}  // namespace vobrix::forecast
