// The predictions file of run and predict: CSV with the header
// population,part,x,actual,predicted; one row per one-step prediction ("training",
// "validation" or "data") and per forecast step ("forecast", no actual value), numbers as
// %.17g.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "model/predictor.h"
#include "problem/problem.h"

namespace vobrix::results {

// The longest forecast written (--horizon). The predictions are built in
// memory at up to 70 bytes a forecast row (X and prediction of up to 24 characters each), so
// the bound keeps a population's forecast under 70 MB; a recursive forecast fed only its own
// output for a million steps has long stopped saying anything about the data.
// A number as C's "%.17g" writes it, with the non-finite values spelled "inf", "-inf" and
// "nan" on every platform (never "-nan"): read back, it gives the same bits.
std::string FormatNumber(double value);

inline constexpr long long kMaxHorizon = 1'000'000;

// A series as the run reads its data cells: X and Y as numbers, the data's units.
struct Series {
  std::vector<double> x;
  std::vector<double> y;
};

// Appends the rows' X and Y, each cell converted as the run converts it.
void AppendRows(Series& series, const std::vector<CellRow>& rows);

std::string PredictionsHeader();

// Rows for predictions[k] of series.y[first + k], k from 0 to count - 1; population counts
// from 1.
void AppendPredictionRows(std::string& csv, std::size_t population, std::string_view part,
                          const Series& series, std::size_t first, std::size_t count,
                          const double* predictions);

// Rows for a forecast past the series' end: step k (from 1) at X = last X + k * (last X -
// the X before it). The series has at least two values.
void AppendForecastRows(std::string& csv, std::size_t population, const Series& series,
                        const std::vector<double>& forecast);

// Rows of one model (population counts from 1; 0 for an ensemble) over a series whose first
// trainingRows values are the training data: "training" rows from the window on, "validation"
// rows for the rest, then `horizon` forecast rows. Throws model::ModelError.
void AppendModelRows(std::string& csv, std::size_t population, const model::Predictor& predictor,
                     const Series& data, std::size_t trainingRows, long long horizon);

// The predictions file of `vobrix-cli predict` (and of a model opened in the window): the header,
// population's "data" rows for predictions[k] of data.y[windowSize + k], then the forecast.
std::string DataPredictionsText(std::size_t population, const Series& data, std::size_t windowSize,
                                const std::vector<double>& predictions,
                                const std::vector<double>& forecast);

}  // namespace vobrix::results
