// Baselines a program has to beat, scored on the same points as the programs: persistence (the
// latest value) and an autoregression AR(p) fitted by least squares.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <vector>

namespace vobrix::forecast {

// A series a baseline cannot be fitted to or scored on; the message says why.
class ForecastError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One-step predictions of series[firstTarget ..] and their scores.
struct BaselineScore {
  std::vector<double> predictions;  // predictions[i] predicts series[firstTarget + i]
  double mse = 0.0;                 // each squared error as the fitness counts it
  double theilU = 0.0;              // TheilU of the predictions
};

// Mean squared error of predictions[i] against series[firstTarget + i], each squared error as
// the training fitness counts it (+infinity for a non-finite error).
double MeanSquaredError(const std::vector<double>& series, std::size_t firstTarget,
                        const std::vector<double>& predictions);

// Theil's U: the root of the predictions' summed squared errors over the persistence
// predictions' (series[t - 1] for series[t]) on the same targets. Below 1 beats persistence;
// 0 when both sums are 0, +infinity when only the persistence sum is. firstTarget >= 1.
double TheilU(const std::vector<double>& series, std::size_t firstTarget,
              const std::vector<double>& predictions);

// series[t] predicted by series[t - 1], for t = firstTarget .. n - 1 (firstTarget >= 1). A
// program's windows of size w predict from firstTarget = w on.
BaselineScore ScorePersistence(const std::vector<double>& series, std::size_t firstTarget);

struct ArModel {
  int order = 0;
  double intercept = 0.0;
  std::vector<double> coefficients;  // coefficients[j] multiplies series[t - 1 - j]
  double aic = 0.0;                  // on the sample shared by every order tried
};

// AR(p) with an intercept, least squares by column-pivoting QR, p from 1 to min(maxOrder, n / 4)
// chosen by the lowest AIC = m ln(RSS / m) + 2 (p + 1), every order scored on the same m
// targets (those after the largest order); the lowest p among equals. The chosen order is
// then refitted on all its targets (t = p .. n - 1). Throws ForecastError for fewer than 4
// values or a value that is not finite.
inline constexpr int kMaxArOrder = 24;
ArModel FitAr(const std::vector<double>& series, int maxOrder = kMaxArOrder);
// AR(order) fitted on the targets t = firstTarget .. n - 1 (firstTarget >= order); aic unset.
ArModel FitArOrder(const std::vector<double>& series, int order, std::size_t firstTarget);

// The prediction of series[t] from series[t - 1] .. series[t - order]. The first windows
// reach before the series: a lag before series[0] takes the value series[0].
double PredictAr(const ArModel& model, const std::vector<double>& series, std::size_t t);
BaselineScore ScoreAr(const ArModel& model, const std::vector<double>& series,
                      std::size_t firstTarget);

}  // namespace vobrix::forecast
