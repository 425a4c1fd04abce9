#include "problem/normalize.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "problem/textconv.h"

namespace vobrix {

namespace {

constexpr int kDigits = 15;

std::vector<double> ReadY(const std::vector<CellRow>& rows, const char* data) {
  std::vector<double> values;
  values.reserve(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (!IsNumber(rows[r].y)) {
      throw NormalizationError(std::string(data) + " contains Invalid Value at row " +
                               std::to_string(r + 1) + ": Y \"" + rows[r].y +
                               "\" is not a number. Nothing was normalized.");
    }
    values.push_back(TextToFloat(rows[r].y));
  }
  return values;
}

bool AllEmpty(const std::vector<CellRow>& rows) {
  return std::all_of(rows.begin(), rows.end(),
                     [](const CellRow& row) { return row.x.empty() && row.y.empty(); });
}

std::vector<CellRow> Rescale(const std::vector<CellRow>& rows, const std::vector<double>& ys,
                             double low, double high, const char* data) {
  std::vector<CellRow> result = rows;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const double scaled = ScaledValue(ys[r], low, high);
    if (!std::isfinite(scaled)) {
      throw NormalizationError(std::string(data) + " row " + std::to_string(r + 1) + ": Y \"" +
                               rows[r].y + "\" is too large to normalize. Nothing was normalized.");
    }
    result[r].y = FormatGeneral(scaled, kDigits);
  }
  return result;
}

}  // namespace

double ScaledValue(double y, double low, double high) {
  // The second stage works on the 15-digit text of the first.
  return RoundToDigits(y - low, kDigits) / (high - low);
}

double NormalizedValue(double y, double low, double high) {
  return RoundToDigits(ScaledValue(y, low, high), kDigits);
}

NormalizedData Normalize(const std::vector<CellRow>& training,
                         const std::vector<CellRow>& validation) {
  const std::vector<double> trainingY = ReadY(training, "Training Data");
  const bool noValidation = AllEmpty(validation);
  const std::vector<double> validationY =
      noValidation ? std::vector<double>{} : ReadY(validation, "Validation Data");

  NormalizedData data;
  data.low = 50000.0;
  data.high = 0.0;
  for (double y : trainingY) {
    if (y < data.low) data.low = y;
    if (y > data.high) data.high = y;
  }
  if (data.high == data.low) {
    throw NormalizationError("The Training Data cannot be normalized: high equals low (" +
                             FormatGeneral(data.low, kDigits) + "). Nothing was normalized.");
  }
  if (!std::isfinite(data.high - data.low)) {
    throw NormalizationError(
        "The Training Data cannot be normalized: their range is too wide. Nothing was "
        "normalized.");
  }
  data.training = Rescale(training, trainingY, data.low, data.high, "Training Data");
  data.validation = noValidation
                        ? validation
                        : Rescale(validation, validationY, data.low, data.high, "Validation Data");
  return data;
}

}  // namespace vobrix
