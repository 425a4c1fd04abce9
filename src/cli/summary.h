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

}  // namespace vobrix::cli
