// What a run leaves to take away: every population's best program at the end of the run, with
// the data it ran on, as a model file and a predictions file. vobrix-cli run and the window's
// Results menu both keep one, so that the same run saves the same files.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/model.h"
#include "problem/normalize.h"
#include "results/prediction_table.h"
#include "run/gp.h"

namespace vobrix::results {

class RunRecord {
 public:
  // The run's settings as option texts (SettingsTexts) and its seed, kept in the model.
  void Begin(std::map<std::string, std::string> settings, std::optional<std::uint32_t> seed,
             bool linearScaling);
  // The data as read, in the data's units, before any normalization.
  void KeepData(const std::vector<CellRow>& training, const std::vector<CellRow>& validation);
  // The run reads normalized data: its units are those of `normalized`.
  void KeepNormalization(const NormalizedData& normalized);
  // Follows the run's steps, wrapping session.observer.afterStep (which may be empty): the last
  // step of each population leaves its best program and errors in the model.
  void Follow(RunSession& session);

  // Whether every population of the run has left a program.
  bool Complete() const;
  const model::Model& Model() const { return model_; }
  const Series& Data() const { return data_; }
  std::size_t TrainingRows() const { return trainingRows_; }
  // The Y the run read (normalized or not).
  const std::vector<double>& RunY() const { return runY_; }

  // The model file's text. Throws model::ModelError when the model is not whole.
  std::string ModelText() const;
  // The predictions file: every population's training and validation rows, then `horizon`
  // forecast rows. Throws model::ModelError.
  std::string PredictionsText(long long horizon) const;

 private:
  void Capture(const RunSession& session, const StepReport& report);

  Series data_;  // training then validation, the data's units
  std::size_t trainingRows_ = 0;
  std::vector<double> runY_;
  model::Model model_;
  std::vector<bool> captured_;
};

}  // namespace vobrix::results
