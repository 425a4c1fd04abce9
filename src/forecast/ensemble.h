// A forecast: the window chosen on the inner hold-out, then an ensemble of runs at that window
// whose model predicts the median of its members, clipped to the widened training range. The
// validation data play no part in any of it. Sharding runs some of the members; merging puts
// the parts together into the model the whole forecast writes.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "forecast/baselines.h"
#include "forecast/difference_choice.h"
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
  model::Model model;           // one ensemble, or a model of parts (ForecastSettings::combine)
  DifferenceChoice difference;  // the (first part's) lags, and how they were chosen
  WindowChoice windows;         // the first part's, on its differenced values
  std::vector<WindowChoice> partWindows;  // every part's, in the model's order
};

// How a caller follows and stops a forecast (a window's dialog, say). Both are optional.
struct ForecastControl {
  // Called on the thread that called RunForecast after every generation of every run: `done`
  // of `total` generations of the whole forecast, and the stage ("window search" or
  // "members"). `total` is fixed when the forecast starts.
  std::function<void(std::size_t done, std::size_t total, const std::string& stage)> progress;
  // Read after every generation; once true, the forecast ends within a generation of each
  // running member and throws ForecastCancelled.
  const std::atomic<bool>* cancel = nullptr;
};

// A forecast stopped through ForecastControl::cancel. Derives from ForecastError so that a
// caller without a cancel flag need not know it; one with a flag catches it first.
class ForecastCancelled : public ForecastError {
 public:
  ForecastCancelled() : ForecastError("the forecast was cancelled") {}
};

// Chooses the window and runs the members (all, or the shard's) on up to `threads` threads.
// Throws ForecastError, or ForecastCancelled when control.cancel was set.
Forecast RunForecast(const std::vector<CellRow>& training, const ForecastSettings& settings,
                     int threads, const std::optional<model::Shard>& shard = std::nullopt,
                     const ForecastControl& control = {});

// The whole ensemble from the parts that shards 1 .. n of one forecast wrote, in any order.
// Throws ForecastError naming what does not fit: parts of different forecasts (settings, seed,
// window, functions, clip), a shard given twice, missing shards.
model::Model MergeParts(const std::vector<model::Model>& parts);

}  // namespace vobrix::forecast
