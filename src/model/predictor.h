// Evaluating a saved model's program on a series, through the engine's batch evaluator so that
// its predictions are the bits the run computed on the same inputs.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "engine/problem_record.h"
#include "model/model.h"

namespace vobrix::model {

struct SeriesPrediction {
  // predictions[i] predicts series[i + windowSize] from series[i .. i + windowSize - 1], in the
  // series' units: one per full window that has a value after it.
  std::vector<double> predictions;
  // Mean squared error of the predictions, each squared error as the fitness counts it
  // (+infinity for a non-finite error).
  double mse = 0.0;
  // The same in the units the run scored programs in: on the normalized series for a normalized
  // model (comparable with the model's trainingMse), otherwise equal to mse.
  double scoredMse = 0.0;
};

// One population's program, or an ensemble's members, made ready to evaluate. Inputs are in
// the data's original units; a normalized model normalizes them exactly as the run's
// normalization did and maps its outputs back by low + (high - low) * p. An ensemble predicts
// the median of its members' predictions; a model with a clip holds every prediction to its
// range (model.h), and a forecast feeds back the clipped median. A differenced model does all
// of that on the differenced series and adds each target's base (difference.h). A model of
// parts predicts the mean of its parts' predictions, each part reading its own latest values.
class Predictor {
 public:
  // Validates the model; throws ModelError, also for one shard's part of an ensemble.
  Predictor(const Model& model, std::size_t population);
  ~Predictor();
  Predictor(Predictor&&) noexcept;

  // One-step predictions for every window of the series that has a value after it. Throws
  // ModelError when the series has no more values than the window.
  SeriesPrediction Predict(const std::vector<double>& series) const;
  // The prediction from one window: window[0] the oldest value, window[windowSize - 1] the
  // latest.
  double PredictNext(const double* window) const;
  // `horizon` steps past the end of the series, each from the latest windowSize values with
  // the earlier forecasts taking the place of the values they stand for. A forecast goes back
  // in the data's units and is normalized again like any input, so the exported functions
  // applied step by step give the same forecasts. Throws ModelError when the series is shorter
  // than the window or the horizon is negative or above 10,000,000.
  std::vector<double> Forecast(const std::vector<double>& series, long long horizon) const;

  // How many of the latest values one prediction reads (InputCount of the model): the
  // program's window, plus the span of a differenced model's differencing.
  std::int32_t windowSize() const { return inputs_; }

 private:
  class Stepper;
  using Steppers = std::vector<std::unique_ptr<Stepper>>;
  // The steppers of this predictor's program or of its members (not of its parts).
  Steppers MakeSteppers() const;
  // The mean of the parts' predictions of the values after `series`, each part predicting
  // from its own InputCount latest values.
  SeriesPrediction PredictParts(const std::vector<double>& series) const;
  // One prediction from the latest windowSize values of `window`, by every stepper.
  double Next(const Steppers& steppers, const std::vector<double>& window) const;
  // The clipped prediction from the windowSize values the programs see, ending at latest[w - 1].
  double NextValue(const Steppers& steppers, const double* latest) const;
  // The program's outputs in the run's units (scaling applied) for windows 0 .. rows - 1 of z.
  std::vector<double> Outputs(std::vector<double> z, std::int32_t rows) const;
  // The predictions of `horizon` steps after the window's last values, each fed back.
  std::vector<double> Recursive(std::vector<double> window, long long horizon) const;
  // Predict on the values the programs see: the series itself, or its differences.
  SeriesPrediction PredictValues(const std::vector<double>& values) const;
  double Scaled(double p) const;  // a + b * p with a scaling, else p
  double ToRunUnits(double y) const;
  double FromRunUnits(double p) const;

  std::int32_t windowSize_ = 0;
  std::int32_t inputs_ = 0;
  std::vector<double> difference_;  // DifferenceCoefficients of the model's lags; empty for none
  std::optional<Normalization> normalization_;
  std::optional<LinearScaling> scaling_;
  std::unique_ptr<Problem> problem_;  // node table and constants of the program
  std::vector<Node> genes_;
  std::optional<Clip> clip_;
  std::vector<Predictor> members_;  // an ensemble's members; empty for one program
  std::vector<Predictor> parts_;    // a model of parts' parts; empty for every other model
};

}  // namespace vobrix::model
