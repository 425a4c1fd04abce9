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

SummaryBaselines ScoreSummaryBaselines(const std::vector<double>& series, std::size_t trainingRows,
                                       std::size_t windowSize) {
  SummaryBaselines b;
  b.training.assign(series.begin(), series.begin() + static_cast<std::ptrdiff_t>(trainingRows));
  b.fitted = FitBaselines(b.training);
  b.onTraining = ScoreBaselines(b.fitted, b.training, windowSize);
  if (series.size() > trainingRows) b.onValidation = ScoreBaselines(b.fitted, series, trainingRows);
  return b;
}

Json PopulationSummaryJson(std::size_t label, double trainingMse,
                           const std::optional<double>& validationMse,
                           const std::vector<double>& predictions,
                           const std::vector<double>& series, std::size_t windowSize,
                           const SummaryBaselines& baselines) {
  const std::size_t nT = baselines.training.size();
  const auto split = predictions.begin() + static_cast<std::ptrdiff_t>(nT - windowSize);
  Json entry = {{"population", label},
                {"training", ProgramScoreJson(trainingMse, baselines.training, windowSize,
                                              std::vector<double>(predictions.begin(), split),
                                              baselines.onTraining)}};
  if (baselines.onValidation && validationMse) {
    entry["validation"] =
        ProgramScoreJson(*validationMse, series, nT, std::vector<double>(split, predictions.end()),
                         *baselines.onValidation);
  }
  return entry;
}

Json SummaryHeadJson(const char* command, const char* units, std::int32_t windowSize,
                     double wallSeconds, const SummaryBaselines& baselines) {
  Json root = {{"command", command},
               {"units", units},
               {"windowSize", windowSize},
               {"wallSeconds", wallSeconds},
               {"ar", ArModelJson(baselines.fitted)},
               {"baselines", {{"training", BaselineScoresJson(baselines.onTraining)}}}};
  if (baselines.onValidation) {
    root["baselines"]["validation"] = BaselineScoresJson(*baselines.onValidation);
  }
  return root;
}

}  // namespace vobrix::cli
