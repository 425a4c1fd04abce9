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

std::optional<LinearScaling> ShowPredictions(RunSession& session, const RunDisplay& display,
                                             Population& population, std::int32_t i) {
  Problem& problem = *session.problem;
  const int nT = display.StringGrid1->RowCount();
  const int nV = session.hasValidation ? display.StringGrid3->RowCount() : 0;
  const int w = problem.windowSize;
  // The training part reads the problem's series: the grid must still be the one the run
  // started from, or the windows would run past it.
  if (nT != problem.trainingCount) {
    throw RunError("The Training Data changed during the run.");
  }
  const Individual& best = *population.Current()[0];
  const int trainingSeries = i + 1;
  const int validationSeries = i + 5;

  toolkit::Grid& output = *display.StringGrid5;
  output.SetRowCount(nT + nV - w);

  const std::size_t trainingRows = static_cast<std::size_t>(nT - w);
  std::vector<std::string> xs(trainingRows);
  std::vector<std::string> predictions(trainingRows);
  std::vector<toolkit::ChartPoint> trainingPoints(trainingRows);
  // The training windows in one pass of the fast evaluator: the same values, bit for bit, as
  // loading each window and evaluating the program on it.
  std::optional<GenerationEvaluator> ownEvaluator;
  if (!session.evaluator) ownEvaluator.emplace(problem, 1);
  BatchEvaluator& batch =
      session.evaluator ? session.evaluator->evaluator() : ownEvaluator->evaluator();
  const double* trainingPredictions = batch.Predict(best.genes, best.length);
  std::optional<LinearScaling> scaling;
  if (session.linearScaling) scaling = batch.FitRows(trainingPredictions).scaling;
  for (int k = 0; k < nT - w; ++k) {
    const double p = ScaledOutput(scaling, trainingPredictions[k]);
    const double x = w + k;
    const std::size_t row = static_cast<std::size_t>(k);
    xs[row] = FormatGeneral(x, 15);
    predictions[row] = FormatGeneral(p, 15);
    trainingPoints[row] = {x, p, xs[row]};
  }
  output.SetColumn(0, 0, xs);
  output.SetColumn(i + 1, 0, predictions);

  std::vector<toolkit::ChartPoint> validationPoints;
  if (session.hasValidation) {
    const toolkit::Grid& validation = *display.StringGrid3;
    const std::int32_t horizon =
        TextToInt(validation.Cell(0, nV - 1)) - TextToInt(display.StringGrid1->Cell(0, nT - 1));
    // Every validation row needs its prediction, and every window its actual values.
    if (horizon != nV) {
      throw RunError("The X of the Validation Data do not continue the Training Data one per row.");
    }
    toolkit::Grid& working = *display.StringGrid4;
    working.SetRowCount(nT + horizon);
    // The actual validation values that later windows read: the same texts for every step, so
    // they are in place before the first window that needs them.
    std::vector<std::string> workingX(static_cast<std::size_t>(horizon));
    std::vector<std::string> actual(static_cast<std::size_t>(horizon));
    std::vector<std::string> validationPredictions(static_cast<std::size_t>(horizon));
    validationPoints.resize(static_cast<std::size_t>(horizon));
    for (int j = 0; j < horizon; ++j) {
      workingX[static_cast<std::size_t>(j)] = FormatGeneral(nT + j, 15);
      actual[static_cast<std::size_t>(j)] = validation.Cell(1, j);
    }
    working.SetColumn(0, nT, workingX);
    working.SetColumn(i + 1, nT, actual);
    for (int j = 0; j < horizon; ++j) {
      ReadWindowFromHistory(display, problem, nT - w + j, i);
      const double p = ScaledOutput(scaling, EvaluateBest(best));
      const std::size_t row = static_cast<std::size_t>(j);
      validationPredictions[row] = FormatGeneral(p, 15);
      validationPoints[row] = {static_cast<double>(nT + j), p, workingX[row]};
    }
    output.SetColumn(0, nT - w, workingX);
    output.SetColumn(i + 1, nT - w, validationPredictions);
  }

  for (toolkit::Chart* chart : PredictionCharts(display)) {
    chart->UndoZoom();
    chart->ReplaceSeries(trainingSeries, trainingPoints);
    chart->ReplaceSeries(validationSeries, validationPoints);
  }
  return scaling;
}

}  // namespace vobrix
