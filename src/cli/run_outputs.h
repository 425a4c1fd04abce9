// What `vobrix-cli run` writes besides its CSV: the model file (--model), the predictions
// (--predictions, with a forecast of --horizon steps) and the summary (--summary). The run
// itself stays the bare command's; RunProgram calls the hooks below at five points, each a
// no-op when no output is asked for.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/output_files.h"
#include "results/run_record.h"
#include "run/gp.h"

namespace vobrix::cli {

struct RunOutputOptions {
  std::optional<std::string> modelPath;
  std::optional<std::string> predictionsPath;
  std::optional<std::string> summaryPath;
  long long horizon = 0;       // forecast steps in the predictions file
  bool linearScaling = false;  // score and predict with each program's least-squares a + b * P
};

class RunOutputs {
 public:
  RunOutputs() = default;  // the bare command: nothing to write
  explicit RunOutputs(RunOutputOptions options);
  ~RunOutputs();
  RunOutputs(const RunOutputs&) = delete;
  RunOutputs& operator=(const RunOutputs&) = delete;

  bool linearScaling() const { return options_.linearScaling; }

  // Before any data is read: refuses an output that names an input or another output and
  // opens every output's temporary, so that a bad path costs no run. Exits with status 2.
  void Open(const CliOptions& options);
  // The data as read, in the data's units, before any normalization.
  void KeepData(const std::vector<CellRow>& training, const std::vector<CellRow>& validation);
  // The run reads normalized data: its units are those of `normalized`.
  void KeepNormalization(const NormalizedData& normalized);
  // Follows the run's steps (wrapping session.observer.afterStep, which must be set): the
  // last step of each population leaves its best program and errors in the model.
  void Follow(RunSession& session);
  // After a finished run: writes every output and puts it in place. Exits with status 2.
  void Commit();

 private:
  bool Wanted() const;
  std::string SummaryText() const;

  RunOutputOptions options_;
  std::unique_ptr<OutputFile> modelFile_, predictionsFile_, summaryFile_;
  results::RunRecord record_;
  std::chrono::steady_clock::time_point start_;
  double wallSeconds_ = 0.0;
};

}  // namespace vobrix::cli
