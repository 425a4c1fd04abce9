// What a forecast does before it runs anything: its settings, the seeds of its runs, the clip
// range, the candidate windows and the work each run gets out of the budget. Everything here is
// a pure function of the settings and the training data, so that a forecast gives the same
// model for any thread count and on any machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/model.h"
#include "problem/population_settings.h"
#include "problem/problem.h"

namespace vobrix::forecast {

struct ForecastSettings {
  std::uint32_t seed = 0;
  std::int32_t runs = 10;       // members of the ensemble
  double budgetSeconds = 20.0;  // turned into a fixed amount of work (PlanWork), never a clock
  // Every run (window search and members) scores a + b * P with least-squares a and b, and each
  // member keeps its own a and b in the model. On by default: on eight public series it lowered
  // the forecast's error on six (bench/quality).
  bool linearScaling = true;
  // The clip is the training range widened by this share of it on each side. A whole range:
  // trending series leave their training range by up to 0.6 of it in their validation part,
  // while the poles of the protected division that the clip guards against are far beyond.
  double clipMargin = 1.0;
  // The lags to difference the series at (model/difference.h), ascending; empty for none.
  // Without it the forecast chooses among none, 1, a season s and 1 and s (ChooseDifference).
  std::optional<std::vector<std::int32_t>> difference;
  // A seasonal series, differenced as chosen, is forecast a second way too, with the season
  // treated the other way (OtherSeasonTreatment), and the model predicts the mean of the two
  // (a model of parts, model.h), each on half the budget. The inner hold-out cannot tell which
  // way is better; on the monthly series measured the mean was within 2.5 % of the better
  // way, and better than both on nottem (bench/quality). Not with given lags.
  bool combine = true;
};

// The inner hold-out is the last fifth of the training data (at least one value).
inline constexpr std::size_t kHoldoutDivisor = 5;
// The differencing is chosen with AR models of at most this order: about the number of lags a
// formula of the runs uses, so that the choice favours what takes structure out of the series
// that such a formula cannot model itself (a trend, a season).
inline constexpr int kDifferenceArOrder = 6;
// A season is looked for from lag 2 to this one.
inline constexpr std::int32_t kMaxSeason = 24;

// Windows tried: 1 to min(24, n / 5) for n training values.
inline constexpr std::int32_t kMaxWindow = 24;
// A forecast needs enough training values for an inner hold-out and a window of 1.
inline constexpr std::size_t kMinTrainingValues = 10;

// The seed of run `stream` of a forecast with seed `seed`: the low 32 bits of SplitMix64's
// output for the state seed * 2^32 + stream. Members are streams 1 to runs, the window
// search's run of window w is stream 2^31 + w. Those of the second part of a combined forecast
// are 2^30 further on.
std::uint32_t StreamSeed(std::uint32_t seed, std::uint32_t stream);
inline constexpr std::uint32_t kWindowStreams = 0x8000'0000u;
inline constexpr std::uint32_t kPartStreams = 0x4000'0000u;

// [min - m (max - min), max + m (max - min)] of the values.
model::Clip ClipOfTraining(const std::vector<double>& training, double margin);

// The windows worth a run: the AR order chosen by AIC on the inner training values, held to
// 1 .. min(24, n / 5) for n training values, the windows on either side of it and the small
// windows 1 to 3, each within the same limits; ascending. For a series differenced at a season
// s (the largest of the ascending differencing lags, when above 1) against one season before
// (differenceSeasons 1) they are s, s + 1 and those of the others that are not shorter than s
// (or than the limit, when s passes it); against the mean of several, those of no season.
// Seasonal differencing leaves what remains of the season at lag s of the differences (it
// copies one season's noise into the next, which lag s takes back out), and the short AR order
// chosen on them does not reach it. A shorter window cannot see it, and when the inner
// hold-out picked one it forecast worse and far less steadily (bench/quality).
std::vector<std::int32_t> CandidateWindows(std::int32_t arOrder, std::size_t trainingValues,
                                           const std::vector<std::int32_t>& differenceLags,
                                           std::int32_t differenceSeasons);

// "auto", "none" or the lags joined by commas ("1,12"): how a forecast's model records the
// setting.
std::string DifferenceText(const std::optional<std::vector<std::int32_t>>& difference);
// What DifferenceText writes, read back: nothing for "auto", no lags for "none", else one to
// model::kMaxDifferenceLags ascending lags joined by commas. Throws std::invalid_argument,
// whose message says what is accepted ("is not auto, none or ..."), for any other text.
std::optional<std::vector<std::int32_t>> ReadDifferenceText(const std::string& text);

struct WorkPlan {
  PanelTexts member;  // the settings of each member's run
  PanelTexts search;  // of each candidate window's run
};

// Population sizes and generations that fit the budget: a fixed rate of program evaluations
// per row and second on two cores, a quarter of it for the window search and the rest shared
// by the members.
WorkPlan PlanWork(const ForecastSettings& settings, std::size_t innerTargets,
                  std::size_t candidates);

// The function set and constants of every run: the window's defaults (+ - * /, 1000 constants
// from -10 to 10) at the given window.
ProblemSettings ProblemAt(std::int32_t window);

// Every setting of a forecast as option texts, for the model file: two forecasts with equal
// settings and data give the same model, and `merge` refuses parts whose settings differ.
std::map<std::string, std::string> SettingsTexts(const ForecastSettings& settings,
                                                 const WorkPlan& plan);

}  // namespace vobrix::forecast
