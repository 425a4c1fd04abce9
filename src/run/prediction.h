// The prediction output: the best program's one-step predictions over the training rows and
// the validation rows, written to StringGrid5 as 15-digit texts and drawn in Chart4 and the
// prediction window. The validation error reads those texts back.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "engine/gp_pop.h"
#include "engine/problem_record.h"
#include "run/gp.h"
#include "toolkit/toolkit.h"

namespace vobrix {

// A state in which a step cannot go on (the data grids no longer match the run); ends the run.
class RunError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Why validation data cannot take part in a run.
struct ValidationFault {
  enum class Kind {
    Empty,                // nothing to validate with
    NotNumber,            // an X or Y cell that is not a number (X: not an integer)
    TrainingXNotInteger,  // the last training X, which the horizon is counted from
    XDoesNotContinue,     // X is not the last training X + 1 + row
  };
  Kind kind = Kind::Empty;
  int row = 0;  // 0-based row of the grid concerned
  std::string message;
  std::int64_t expectedX = 0;  // XDoesNotContinue: the X that row should hold
};

// Checks that every validation cell holds a number and that the validation X continue the
// training X one per row (the last training X + 1, + 2, ...), which the validation part of the
// predictions and the validation error rely on.
std::optional<ValidationFault> CheckValidationData(const toolkit::Grid& training,
                                                   const toolkit::Grid& validation);

// Run start: ResetPredictionDisplay, one prediction column per population, the default column
// width of StringGrid4 and StringGrid5 (90, 60, 45 or 36 pixels for 1 to 4 populations).
void PrepareOutputGrids(const RunSession& session, const RunDisplay& display);

// Empties StringGrid4 (nT rows), clears series 0 to 8 of both prediction charts and draws the
// training and validation data in series 0 (a cell that is not a number draws as (0, 0)).
void ResetPredictionDisplay(const RunSession& session, const RunDisplay& display);

// Copies the training X and Y texts into StringGrid4's column 0 and population i's column.
void PreparePredictionColumns(const RunDisplay& display, std::int32_t i);

// Writes population i's best predictions to StringGrid5 and its two prediction series. In a run
// with linear scaling they are a + b * P with the best program's fit, which it returns.
std::optional<LinearScaling> ShowPredictions(RunSession& session, const RunDisplay& display,
                                             Population& population, std::int32_t i);

// problem.window[s] = the number in StringGrid4 (column i + 1, row t + s).
void ReadWindowFromHistory(const RunDisplay& display, Problem& problem, std::int32_t t,
                           std::int32_t i);

}  // namespace vobrix
