// The summary file of run and predict (JSON): the programs' errors beside two baselines fitted
// on the training data, persistence and AR(p), scored on the same targets as the programs.
// Numbers are JSON numbers; a value that is not finite is written as the text "inf", "-inf" or
// "nan".
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "forecast/baselines.h"

namespace vobrix::cli {

using Json = nlohmann::ordered_json;

// A number, or its text when it is not finite.
Json JsonNumber(double value);

// The baselines fitted once on the training series. AR(p) may be impossible (fewer than four
// values): arError then says why.
struct Baselines {
  std::optional<forecast::ArModel> ar;
  std::string arError;
};
Baselines FitBaselines(const std::vector<double>& training);

// The baselines' predictions of series[firstTarget ..].
struct BaselineScores {
  forecast::BaselineScore persistence;
  std::optional<forecast::BaselineScore> ar;
};
BaselineScores ScoreBaselines(const Baselines& baselines, const std::vector<double>& series,
                              std::size_t firstTarget);

// {"targets", "persistence": {"mse", "theilU"}, "ar": {"mse", "theilU"}}.
Json BaselineScoresJson(const BaselineScores& scores);
// {"p", "intercept", "coefficients"} of the fitted AR model, or {"error"}.
Json ArModelJson(const Baselines& baselines);

// A program's score on the same targets: {"mse", "theilU", "msePerPersistence", "msePerAr"}.
// `mse` is the error the caller reports (the run's own figure); Theil's U comes from the
// predictions of series[firstTarget ..], which run to the series' end.
Json ProgramScoreJson(double mse, const std::vector<double>& series, std::size_t firstTarget,
                      const std::vector<double>& predictions, const BaselineScores& baselines);

// The baselines of a run's or a forecast's summary, fitted on the training part of a series
// (its first trainingRows values) and scored on the programs' targets: the training part from
// the window on, and, when the series goes on, the validation part predicted from the whole
// series.
struct SummaryBaselines {
  std::vector<double> training;  // the training part
  Baselines fitted;
  BaselineScores onTraining;
  std::optional<BaselineScores> onValidation;
};
SummaryBaselines ScoreSummaryBaselines(const std::vector<double>& series, std::size_t trainingRows,
                                       std::size_t windowSize);

// {"population": label, "training": ProgramScoreJson, "validation": ...} of one program whose
// predictions of series[windowSize ..] are given; the errors are the ones the caller reports
// (no validation part without a validation error).
Json PopulationSummaryJson(std::size_t label, double trainingMse,
                           const std::optional<double>& validationMse,
                           const std::vector<double>& predictions,
                           const std::vector<double>& series, std::size_t windowSize,
                           const SummaryBaselines& baselines);

// {"command", "units", "windowSize", "wallSeconds", "ar", "baselines"}: the head of a summary,
// to which the caller adds its programs.
Json SummaryHeadJson(const char* command, const char* units, std::int32_t windowSize,
                     double wallSeconds, const SummaryBaselines& baselines);

}  // namespace vobrix::cli
