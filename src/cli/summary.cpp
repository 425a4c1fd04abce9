#include "cli/summary.h"

#include <cmath>

#include "cli/output.h"

namespace vobrix::cli {

Json JsonNumber(double value) {
  if (std::isfinite(value)) return value;
  return FormatNumber(value);
}

Baselines FitBaselines(const std::vector<double>& training) {
  Baselines baselines;
  try {
    baselines.ar = forecast::FitAr(training);
  } catch (const forecast::ForecastError& e) {
    baselines.arError = e.what();
  }
  return baselines;
}

BaselineScores ScoreBaselines(const Baselines& baselines, const std::vector<double>& series,
                              std::size_t firstTarget) {
  BaselineScores scores{forecast::ScorePersistence(series, firstTarget), std::nullopt};
  if (baselines.ar) scores.ar = forecast::ScoreAr(*baselines.ar, series, firstTarget);
  return scores;
}

Json BaselineScoresJson(const BaselineScores& scores) {
  const auto score = [](const forecast::BaselineScore& s) {
    return Json{{"mse", JsonNumber(s.mse)}, {"theilU", JsonNumber(s.theilU)}};
  };
  Json json = {{"targets", scores.persistence.predictions.size()},
               {"persistence", score(scores.persistence)}};
  json["ar"] = scores.ar ? score(*scores.ar) : Json();
  return json;
}

Json ArModelJson(const Baselines& baselines) {
  if (!baselines.ar) return {{"error", baselines.arError}};
  Json coefficients = Json::array();
  for (double c : baselines.ar->coefficients) coefficients.push_back(JsonNumber(c));
  return {{"p", baselines.ar->order},
          {"intercept", JsonNumber(baselines.ar->intercept)},
          {"coefficients", coefficients}};
}

Json ProgramScoreJson(double mse, const std::vector<double>& series, std::size_t firstTarget,
                      const std::vector<double>& predictions, const BaselineScores& baselines) {
  Json json = {{"mse", JsonNumber(mse)},
               {"theilU", JsonNumber(forecast::TheilU(series, firstTarget, predictions))},
               {"msePerPersistence", JsonNumber(mse / baselines.persistence.mse)}};
  json["msePerAr"] = baselines.ar ? JsonNumber(mse / baselines.ar->mse) : Json();
  return json;
}

}  // namespace vobrix::cli
