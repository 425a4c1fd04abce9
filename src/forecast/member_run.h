// One run of a forecast: the window's run code (RunSession and RunEvolution on in-memory
// controls) on the inner training data, keeping the best program of
// every generation and choosing the one with the lowest error on the inner hold-out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <vector>

#include "model/model.h"
#include "problem/population_settings.h"
#include "problem/problem.h"

namespace vobrix::forecast {

// The training data cut in two: the runs learn on the first rows and are judged on the rest.
// The validation data are never part of it.
struct InnerSplit {
  std::vector<CellRow> innerTraining;  // the first rows, as read
  std::vector<double> training;        // every training Y, converted as the run converts it
  std::size_t innerRows = 0;           // the hold-out is training[innerRows ..]
};
// Throws ForecastError for fewer than kMinTrainingValues rows.
InnerSplit SplitTraining(const std::vector<CellRow>& training);

struct MemberRun {
  std::vector<model::ModelNode> program;
  std::optional<LinearScaling> scaling;  // the program's a + b * P, with linear scaling
  std::int32_t generation = 0;
  double holdoutMse = 0.0;
};

// Called after each generation of a run; returning false ends the run there.
using GenerationHook = std::function<bool()>;

// Thrown by RunMember when its hook ended the run.
class RunStopped : public std::exception {
 public:
  const char* what() const noexcept override { return "the run was stopped"; }
};

// The run at `window` with the panel's settings and the seed. The best program of each
// generation is scored on the hold-out targets (each predicted from the window before it, as
// a + b * P with the a and b fitted on the inner training rows when linearScaling, clipped);
// the lowest error wins, the earliest generation among equals. Throws ForecastError
// when the run fails, RunStopped when `afterGeneration` ended it.
MemberRun RunMember(const InnerSplit& split, std::int32_t window, const PanelTexts& panel,
                    std::uint32_t seed, const model::Clip& clip, bool linearScaling, int threads,
                    const GenerationHook& afterGeneration = {});

// A model of one program at the window: the functions of ProblemAt, the scaling, the clip.
model::Model ProgramModel(std::int32_t window, std::vector<model::ModelNode> program,
                          const model::Clip& clip,
                          const std::optional<LinearScaling>& scaling = std::nullopt);

// The program's a and b fitted again, by least squares, on every target of the series from
// series[window] on: a run fits them on its inner training rows, which leave out the latest
// values, where the level a forecast starts from is. Without linear scaling, or when the
// program's output is not finite on every window, the run's scaling is kept.
std::optional<LinearScaling> RefittedScaling(std::int32_t window,
                                             const std::vector<model::ModelNode>& program,
                                             const std::optional<LinearScaling>& runScaling,
                                             const std::vector<double>& series);

// Mean squared error of the clipped program's predictions of series[firstTarget ..].
double ProgramError(const model::Model& program, const std::vector<double>& series,
                    std::size_t firstTarget);

}  // namespace vobrix::forecast
