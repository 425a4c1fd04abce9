#include "results/prediction_table.h"

#include <cmath>
#include <cstdio>

#include "problem/textconv.h"

namespace vobrix::results {
namespace {

void AppendRow(std::string& csv, std::size_t population, std::string_view part, double x,
               const double* actual, double predicted) {
  csv += std::to_string(population);
  csv += ',';
  csv += part;
  csv += ',';
  csv += FormatNumber(x);
  csv += ',';
  if (actual) csv += FormatNumber(*actual);
  csv += ',';
  csv += FormatNumber(predicted);
  csv += '\n';
}

}  // namespace

std::string FormatNumber(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

void AppendRows(Series& series, const std::vector<CellRow>& rows) {
  series.x.reserve(series.x.size() + rows.size());
  series.y.reserve(series.y.size() + rows.size());
  for (const CellRow& row : rows) {
    series.x.push_back(TextToFloat(row.x));
    series.y.push_back(TextToFloat(row.y));
  }
}

std::string PredictionsHeader() {
  return "population,part,x,actual,predicted\n";
}

void AppendPredictionRows(std::string& csv, std::size_t population, std::string_view part,
                          const Series& series, std::size_t first, std::size_t count,
                          const double* predictions) {
  for (std::size_t k = 0; k < count; ++k) {
    AppendRow(csv, population, part, series.x[first + k], &series.y[first + k], predictions[k]);
  }
}

void AppendForecastRows(std::string& csv, std::size_t population, const Series& series,
                        const std::vector<double>& forecast) {
  const std::size_t n = series.x.size();
  const double last = series.x[n - 1];
  const double step = last - series.x[n - 2];
  for (std::size_t k = 0; k < forecast.size(); ++k) {
    AppendRow(csv, population, "forecast", last + static_cast<double>(k + 1) * step, nullptr,
              forecast[k]);
  }
}

void AppendModelRows(std::string& csv, std::size_t population, const model::Predictor& predictor,
                     const Series& data, std::size_t trainingRows, long long horizon) {
  const auto w = static_cast<std::size_t>(predictor.windowSize());
  const std::size_t trainingTargets = trainingRows - w;
  const std::vector<double> predictions = predictor.Predict(data.y).predictions;
  AppendPredictionRows(csv, population, "training", data, w, trainingTargets, predictions.data());
  AppendPredictionRows(csv, population, "validation", data, trainingRows,
                       data.y.size() - trainingRows, predictions.data() + trainingTargets);
  if (horizon > 0) AppendForecastRows(csv, population, data, predictor.Forecast(data.y, horizon));
}

std::string DataPredictionsText(std::size_t population, const Series& data, std::size_t windowSize,
                                const std::vector<double>& predictions,
                                const std::vector<double>& forecast) {
  std::string csv = PredictionsHeader();
  AppendPredictionRows(csv, population, "data", data, windowSize, predictions.size(),
                       predictions.data());
  AppendForecastRows(csv, population, data, forecast);
  return csv;
}

}  // namespace vobrix::results
