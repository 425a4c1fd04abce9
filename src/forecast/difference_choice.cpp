#include "forecast/difference_choice.h"

#include <algorithm>
#include <cmath>

#include "forecast/baselines.h"
#include "forecast/plan.h"
#include "model/difference.h"
#include "model/model.h"

namespace vobrix::forecast {

namespace {

constexpr double kMinSeasonCorrelation = 0.3;
constexpr double kSeasonTolerance = 0.9;
// Differencing changes what the runs see; on a hold-out of a few dozen values an AR model
// scores a few percent better or worse by chance, so a differenced candidate must beat no
// differencing by more than that (lynx's ten-year cycle scored 1 % better at lag 19 and
// forecast four times worse on the validation data).
constexpr double kDifferenceGain = 0.95;
// An AR fit on the differenced inner values needs at least this many of them.
constexpr std::size_t kMinFitValues = 8;
// A mean of seasons leaves out K seasons of values. On the seasonal series measured the
// hold-out error mostly falls as K grows, so K is held where half the inner values stay to learn
// from, and at 10 (bench/quality: UKDriverDeaths then averages 5 seasons and co2 10).
constexpr std::int32_t kMaxChosenSeasons = 10;

// The one-step error over training[innerRows ..] of an AR model fitted on the inner values
// differenced at the lags; nothing when too few values are left for the fit.
std::optional<double> HoldoutError(const std::vector<double>& training, std::size_t innerRows,
                                   const std::vector<std::int32_t>& lags, std::int32_t seasons) {
  const std::vector<double> c = model::DifferenceCoefficients(lags, seasons);
  const std::size_t span = c.size() - 1;
  if (innerRows < span + kMinFitValues) return std::nullopt;
  const std::vector<double> inner(training.begin(),
                                  training.begin() + static_cast<std::ptrdiff_t>(innerRows));
  const ArModel ar = FitAr(model::Differenced(inner, c), kDifferenceArOrder);
  const std::vector<double> z = model::Differenced(training, c);
  std::vector<double> predictions;
  for (std::size_t t = innerRows; t < training.size(); ++t) {
    predictions.push_back(model::DifferenceBase(c, &training[t]) + PredictAr(ar, z, t - span));
  }
  return MeanSquaredError(training, innerRows, predictions);
}

// Adds the lags' hold-out error to the scores when they leave enough values for the fit.
void Score(const std::vector<double>& training, std::size_t innerRows,
           const std::vector<std::int32_t>& lags, std::int32_t seasons,
           std::vector<DifferenceScore>& scores) {
  if (const auto error = HoldoutError(training, innerRows, lags, seasons)) {
    scores.push_back({lags, seasons, *error});
  }
}

// The lowest hold-out error of the scores, the earlier among equals.
DifferenceScore Lowest(const std::vector<DifferenceScore>& scores) {
  return *std::min_element(scores.begin(), scores.end(),
                           [](const DifferenceScore& a, const DifferenceScore& b) {
                             return a.holdoutMse < b.holdoutMse;
                           });
}

}  // namespace

std::int32_t SeasonOf(const std::vector<double>& values) {
  if (values.size() < 2) return 0;
  std::vector<double> d(values.size() - 1);
  for (std::size_t t = 1; t < values.size(); ++t) d[t - 1] = values[t] - values[t - 1];
  double mean = 0.0;
  for (double v : d) mean += v;
  mean /= static_cast<double>(d.size());
  double variance = 0.0;
  for (double& v : d) {
    v -= mean;
    variance += v * v;
  }
  const std::size_t last =
      std::min<std::size_t>(static_cast<std::size_t>(kMaxSeason), d.size() / 3);
  if (variance == 0.0 || last < 2) return 0;
  std::vector<double> correlation(last + 1, 0.0);
  for (std::size_t s = 2; s <= last; ++s) {
    for (std::size_t t = s; t < d.size(); ++t) correlation[s] += d[t] * d[t - s];
    correlation[s] /= variance;
  }
  const double highest = *std::max_element(correlation.begin() + 2, correlation.end());
  if (!(highest >= kMinSeasonCorrelation)) return 0;
  for (std::size_t s = 2; s <= last; ++s) {
    if (correlation[s] >= kSeasonTolerance * highest) return static_cast<std::int32_t>(s);
  }
  return 0;
}

DifferenceChoice ChooseDifference(const std::vector<double>& training, std::size_t innerRows) {
  DifferenceChoice choice;
  choice.season = SeasonOf(std::vector<double>(
      training.begin(), training.begin() + static_cast<std::ptrdiff_t>(innerRows)));
  const std::vector<std::int32_t> season{choice.season}, both{1, choice.season};
  std::vector<std::vector<std::int32_t>> plain{{}, {1}};
  if (choice.season > 1) plain.insert(plain.end(), {season, both});
  for (const auto& lags : plain) Score(training, innerRows, lags, 1, choice.scores);
  if (choice.scores.empty()) return choice;
  const DifferenceScore best = Lowest(choice.scores);
  const DifferenceScore& none = choice.scores.front();
  if (none.lags.empty() && !(best.holdoutMse < kDifferenceGain * none.holdoutMse)) return choice;
  choice.lags = best.lags;
  if (choice.lags.back() < 2) return choice;
  // The plain difference has shown the season; now against the mean of more seasons.
  for (std::int32_t k = 2; k <= kMaxChosenSeasons; ++k) {
    for (const std::vector<std::int32_t>* lags : {&season, &both}) {
      const auto span = static_cast<std::size_t>(model::DifferenceSpan(*lags, k));
      if (2 * span <= innerRows) {
        Score(training, innerRows, *lags, k, choice.scores);
      }
    }
  }
  const DifferenceScore seasonal = Lowest(choice.scores);
  choice.lags = seasonal.lags;
  choice.seasons = seasonal.seasons;
  return choice;
}

std::optional<DifferenceScore> OtherSeasonTreatment(const DifferenceChoice& choice,
                                                    const std::vector<double>& training,
                                                    std::size_t innerRows) {
  const std::int32_t s = choice.season;
  if (s < 2) return std::nullopt;
  std::vector<std::int32_t> lags = choice.lags;
  std::vector<DifferenceScore> scores;
  const auto seasonal = std::find(lags.begin(), lags.end(), s);
  if (seasonal != lags.end()) {
    lags.erase(seasonal);
    Score(training, innerRows, lags, 1, scores);
  } else {
    lags.push_back(s);  // after 1, the only lag below a season of 2 and up
    for (std::int32_t k = 1; k <= kMaxChosenSeasons; ++k) {
      const auto span = static_cast<std::size_t>(model::DifferenceSpan(lags, k));
      if (2 * span <= innerRows) Score(training, innerRows, lags, k, scores);
    }
    // A season the chosen lags leave in must show on the hold-out, as differencing must: lynx's
    // ten-year cycle, taken out against the mean of earlier cycles, forecast worse than
    // persistence.
    const auto chosen = std::find_if(
        choice.scores.begin(), choice.scores.end(),
        [&](const DifferenceScore& c) { return c.lags == choice.lags && c.seasons == 1; });
    if (scores.empty() || chosen == choice.scores.end() ||
        !(Lowest(scores).holdoutMse < kDifferenceGain * chosen->holdoutMse)) {
      return std::nullopt;
    }
  }
  if (scores.empty()) return std::nullopt;
  return Lowest(scores);
}

std::vector<CellRow> DifferencedRows(const std::vector<CellRow>& rows,
                                     const std::vector<double>& values,
                                     const std::vector<std::int32_t>& lags, std::int32_t seasons) {
  const std::vector<double> z =
      model::Differenced(values, model::DifferenceCoefficients(lags, seasons));
  const std::size_t span = rows.size() - z.size();
  std::vector<CellRow> differenced;
  differenced.reserve(z.size());
  for (std::size_t i = 0; i < z.size(); ++i) {
    differenced.push_back({rows[i + span].x, model::ExactText(z[i])});
  }
  return differenced;
}

}  // namespace vobrix::forecast
