// A forecast: the window chosen on the inner hold-out, then an ensemble of runs at that window
// whose model predicts the median of its members, clipped to the widened training range. The
// validation data play no part in any of it. Sharding runs some of the members; merging puts
// the parts together into the model the whole forecast writes.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "forecast/baselines.h"
#include "forecast/member_run.h"
#include "forecast/plan.h"
#include "model/model.h"

namespace vobrix::forecast {

struct WindowScore {
  std::int32_t window = 0;
  double holdoutMse = 0.0;  // of the run's program chosen on the hold-out
};

struct WindowChoice {
  std::int32_t arOrder = 0;         // AIC's AR order on the inner training values
  std::vector<WindowScore> scores;  // every candidate, ascending windows
  std::int32_t window = 0;          // the lowest hold-out error, the smaller window among equals
};

struct Forecast {
  model::Model model;
  WindowChoice windows;
};

// Chooses the window and runs the members (all, or the shard's) on up to `threads` threads.
// Throws ForecastError.
Forecast RunForecast(const std::vector<CellRow>& training, const ForecastSettings& settings,
                     int threads, const std::optional<model::Shard>& shard = std::nullopt);

// The whole ensemble from the parts that shards 1 .. n of one forecast wrote, in any order.
// Throws ForecastError naming what does not fit: parts of different forecasts (settings, seed,
// window, functions, clip), a shard given twice, missing shards.
model::Model MergeParts(const std::vector<model::Model>& parts);

}  // namespace vobrix::forecast
