#include "run/prediction.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/functions.h"
#include "engine/parallel_eval.h"
#include "problem/textconv.h"

namespace vobrix {

namespace {

constexpr int kDataSeries = 0;
constexpr int kLastPredictionSeries = 8;
// The rows formatted between two dispatches of the window's messages: a long series' report
// would otherwise hold a press of Stop for the whole of it.
constexpr std::size_t kRowsBetweenMessages = 16384;

std::string RowText(int row) {
  return std::to_string(row + 1);
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

std::optional<std::int32_t> IntegerOf(const std::string& text) {
  try {
    return TextToInt(text);
  } catch (const ConversionError&) {
    return std::nullopt;
  }
}

// Both prediction charts, in the order every update visits them.
std::array<toolkit::Chart*, 2> PredictionCharts(const RunDisplay& display) {
  return {display.Chart4, display.Form4Chart1};
}

double EvaluateBest(const Individual& best) {
  std::int32_t position = 0;
  return EvaluateNode(best.genes, position);
}

// Appends the data points of one grid; a row that is not a pair of numbers draws as (0, 0).
void AddDataPoints(const toolkit::Grid& grid, std::vector<toolkit::ChartPoint>& points) {
  for (int r = 0; r < grid.RowCount(); ++r) {
    const std::string xText = grid.Cell(0, r);
    const std::string yText = grid.Cell(1, r);
    double x = 0.0;
    double y = 0.0;
    if (IsNumber(xText) && IsNumber(yText)) {
      x = TextToFloat(xText);
      y = TextToFloat(yText);
    }
    points.push_back({x, y, FormatGeneral(x, 15)});
  }
}

}  // namespace

std::optional<ValidationFault> CheckValidationData(const toolkit::Grid& training,
                                                   const toolkit::Grid& validation) {
  using Kind = ValidationFault::Kind;
  const int nV = validation.RowCount();
  bool anyText = false;
  for (int r = 0; r < nV && !anyText; ++r) {
    anyText = !validation.Cell(0, r).empty() || !validation.Cell(1, r).empty();
  }
  if (!anyText) return ValidationFault{Kind::Empty, 0, "There are no Validation Data."};

  const int nT = training.RowCount();
  const std::string lastText = training.Cell(0, nT - 1);
  const auto last = IntegerOf(lastText);
  if (!last) {
    return ValidationFault{Kind::TrainingXNotInteger, nT - 1,
                           "The last X of the Training Data must be an integer (row " +
                               RowText(nT - 1) + ": " + Quoted(lastText) + ")."};
  }
  for (int r = 0; r < nV; ++r) {
    const std::string xText = validation.Cell(0, r);
    const std::string yText = validation.Cell(1, r);
    if (!IsNumber(yText)) {
      return ValidationFault{Kind::NotNumber, r,
                             "Validation Data contains Invalid Value (row " + RowText(r) +
                                 ", Y: " + Quoted(yText) + ")."};
    }
    const auto x = IntegerOf(xText);
    if (!x) {
      return ValidationFault{Kind::NotNumber, r,
                             "Validation Data contains Invalid Value (row " + RowText(r) +
                                 ", X: " + Quoted(xText) + " is not an integer)."};
    }
    const std::int64_t expected = std::int64_t{*last} + 1 + r;
    if (*x != expected) {
      return ValidationFault{Kind::XDoesNotContinue, r,
                             "The X of the Validation Data must continue the Training Data one "
                             "per row: row " +
                                 RowText(r) + " has " + std::to_string(*x) + ", expected " +
                                 std::to_string(expected) + ".",
                             expected};
    }
  }
  return std::nullopt;
}

void PrepareOutputGrids(const RunSession& session, const RunDisplay& display) {
  ResetPredictionDisplay(session, display);
  for (std::int32_t i = 0; i <= session.lastPopIndex; ++i) PreparePredictionColumns(display, i);
  static constexpr std::array<int, 4> kWidths{90, 60, 45, 36};
  const int width = kWidths[static_cast<std::size_t>(std::clamp(session.lastPopIndex, 0, 3))];
  display.StringGrid4->SetDefaultColWidth(width);
  display.StringGrid5->SetDefaultColWidth(width);
}

void ResetPredictionDisplay(const RunSession& session, const RunDisplay& display) {
  toolkit::Grid& working = *display.StringGrid4;
  const int nT = display.StringGrid1->RowCount();
  working.SetRowCount(nT);
  const std::vector<std::string> empty(static_cast<std::size_t>(nT));
  for (int c = 0; c < working.ColCount(); ++c) working.SetColumn(c, 0, empty);

  std::vector<toolkit::ChartPoint> data;
  AddDataPoints(*display.StringGrid1, data);
  if (session.hasValidation) AddDataPoints(*display.StringGrid3, data);
  for (toolkit::Chart* chart : PredictionCharts(display)) {
    for (int s = 0; s <= kLastPredictionSeries; ++s) chart->ClearSeries(s);
    chart->AddPoints(kDataSeries, data);
  }
}

void PreparePredictionColumns(const RunDisplay& display, std::int32_t i) {
  toolkit::Grid& working = *display.StringGrid4;
  const toolkit::Grid& training = *display.StringGrid1;
  const int nT = training.RowCount();
  working.SetRowCount(nT);
  working.SetColCount(i + 2);
  display.StringGrid5->SetColCount(i + 2);
  std::vector<std::string> xs(static_cast<std::size_t>(nT));
  std::vector<std::string> ys(static_cast<std::size_t>(nT));
  for (int r = 0; r < nT; ++r) {
    xs[static_cast<std::size_t>(r)] = training.Cell(0, r);
    ys[static_cast<std::size_t>(r)] = training.Cell(1, r);
  }
  working.SetColumn(0, 0, xs);
  working.SetColumn(i + 1, 0, ys);
}

void ReadWindowFromHistory(const RunDisplay& display, Problem& problem, std::int32_t t,
                           std::int32_t i) {
  for (std::int32_t s = 0; s < problem.windowSize; ++s) {
    problem.window[static_cast<std::size_t>(s)] =
        TextToFloat(display.StringGrid4->Cell(i + 1, t + s));
  }
}

namespace {

// Population i's training part: the best program's prediction for every training window, in
// one pass of the fast evaluator (the same values, bit for bit, as loading each window and
// evaluating the program on it). Returns the best program's fit in a run with linear scaling.
std::optional<LinearScaling> ShowTrainingPredictions(RunSession& session, const RunDisplay& display,
                                                     const Individual& best, std::int32_t i,
                                                     std::vector<toolkit::ChartPoint>& points) {
  if (!display.predictionsShown && !session.linearScaling) return std::nullopt;
  const Problem& problem = *session.problem;
  std::optional<GenerationEvaluator> ownEvaluator;
  if (!session.evaluator) ownEvaluator.emplace(problem, 1);
  BatchEvaluator& batch =
      session.evaluator ? session.evaluator->evaluator() : ownEvaluator->evaluator();
  const double* trainingPredictions = batch.Predict(best.genes, best.length);
  std::optional<LinearScaling> scaling;
  if (session.linearScaling) scaling = batch.FitRows(trainingPredictions).scaling;
  if (!display.predictionsShown) return scaling;

  const int w = problem.windowSize;
  const std::size_t rows = static_cast<std::size_t>(problem.trainingCount - w);
  std::vector<std::string> xs(rows);
  std::vector<std::string> predictions(rows);
  points.resize(rows);
  for (std::size_t row = 0; row < rows; ++row) {
    const double p = ScaledOutput(scaling, trainingPredictions[row]);
    const double x = w + static_cast<double>(row);
    xs[row] = FormatGeneral(x, 15);
    predictions[row] = FormatGeneral(p, 15);
    points[row] = {x, p, xs[row]};
    if ((row + 1) % kRowsBetweenMessages == 0) display.application->ProcessMessages();
  }
  display.StringGrid5->SetColumn(0, 0, xs);
  display.StringGrid5->SetColumn(i + 1, 0, predictions);
  return scaling;
}

// Population i's validation part: window by window over the training Y and then the actual
// validation Y in StringGrid4, each prediction written to StringGrid5 as the 15-digit text that
// the validation error reads back.
std::vector<toolkit::ChartPoint> ShowValidationPredictions(
    RunSession& session, const RunDisplay& display, const Individual& best,
    const std::optional<LinearScaling>& scaling, std::int32_t i) {
  Problem& problem = *session.problem;
  const toolkit::Grid& validation = *display.StringGrid3;
  const int nT = display.StringGrid1->RowCount();
  const int nV = validation.RowCount();
  const int w = problem.windowSize;
  const bool shown = display.predictionsShown;
  const std::int32_t horizon =
      TextToInt(validation.Cell(0, nV - 1)) - TextToInt(display.StringGrid1->Cell(0, nT - 1));
  // Every validation row needs its prediction, and every window its actual values.
  if (horizon != nV) {
    throw RunError("The X of the Validation Data do not continue the Training Data one per row.");
  }
  const auto rows = static_cast<std::size_t>(horizon);
  toolkit::Grid& working = *display.StringGrid4;
  working.SetRowCount(nT + horizon);
  // The actual validation values that later windows read: the same texts for every step, so
  // they are in place before the first window that needs them.
  std::vector<std::string> workingX(shown ? rows : 0);
  std::vector<std::string> actual(rows);
  for (std::size_t j = 0; j < rows; ++j) {
    if (shown) workingX[j] = FormatGeneral(nT + static_cast<double>(j), 15);
    actual[j] = validation.Cell(1, static_cast<int>(j));
  }
  if (shown) working.SetColumn(0, nT, workingX);
  working.SetColumn(i + 1, nT, actual);

  std::vector<std::string> predictions(rows);
  std::vector<toolkit::ChartPoint> points(shown ? rows : 0);
  for (std::size_t j = 0; j < rows; ++j) {
    ReadWindowFromHistory(display, problem, nT - w + static_cast<std::int32_t>(j), i);
    const double p = ScaledOutput(scaling, EvaluateBest(best));
    predictions[j] = FormatGeneral(p, 15);
    if (shown) points[j] = {nT + static_cast<double>(j), p, workingX[j]};
  }
  if (shown) display.StringGrid5->SetColumn(0, nT - w, workingX);
  display.StringGrid5->SetColumn(i + 1, nT - w, predictions);
  return points;
}

}  // namespace

std::optional<LinearScaling> ShowPredictions(RunSession& session, const RunDisplay& display,
                                             Population& population, std::int32_t i) {
  const Problem& problem = *session.problem;
  const int nT = display.StringGrid1->RowCount();
  const int nV = session.hasValidation ? display.StringGrid3->RowCount() : 0;
  // The training part reads the problem's series: the grid must still be the one the run
  // started from, or the windows would run past it.
  if (nT != problem.trainingCount) {
    throw RunError("The Training Data changed during the run.");
  }
  const Individual& best = *population.Current()[0];
  display.StringGrid5->SetRowCount(nT + nV - problem.windowSize);

  std::vector<toolkit::ChartPoint> trainingPoints;
  const std::optional<LinearScaling> scaling =
      ShowTrainingPredictions(session, display, best, i, trainingPoints);
  std::vector<toolkit::ChartPoint> validationPoints;
  if (session.hasValidation) {
    validationPoints = ShowValidationPredictions(session, display, best, scaling, i);
  }
  if (!display.predictionsShown) return scaling;
  const int trainingSeries = i + 1;
  const int validationSeries = i + 5;
  for (toolkit::Chart* chart : PredictionCharts(display)) {
    chart->UndoZoom();
    chart->ReplaceSeries(trainingSeries, trainingPoints);
    chart->ReplaceSeries(validationSeries, validationPoints);
  }
  return scaling;
}

}  // namespace vobrix
