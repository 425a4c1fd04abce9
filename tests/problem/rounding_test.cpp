#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

#include "problem/normalize.h"
#include "problem/textconv.h"

namespace vobrix {
namespace {

TEST(RoundToDigitsTest, IsTheNumberTheGeneralFormatReadsBackAs) {
  const double max = std::numeric_limits<double>::max();
  const double inf = std::numeric_limits<double>::infinity();
  // A tie goes away from zero, not to even; 999999999999999.5 carries into a new digit;
  // 1.79769313486232E308 lies beyond the double range.
  const std::tuple<double, int, double> cases[] = {{123456789012344.5, 15, 123456789012345.0},
                                                   {-123456789012344.5, 15, -123456789012345.0},
                                                   {999999999999999.5, 15, 1e15},
                                                   {0.30000000000000004, 15, 0.3},
                                                   {-0.0, 15, 0.0},
                                                   {5e-324, 15, 5e-324},
                                                   {max, 15, inf},
                                                   {-max, 15, -inf},
                                                   {-inf, 15, -inf},
                                                   {1234.5678, 6, 1234.57}};
  for (const auto& [value, digits, expected] : cases) {
    const double r = RoundToDigits(value, digits);
    EXPECT_EQ(r, expected) << value;
    EXPECT_EQ(std::signbit(r), std::signbit(expected)) << value;
    if (std::isfinite(r)) {
      EXPECT_EQ(r, TextToFloat(FormatGeneral(value, digits)));
    }
  }
  EXPECT_TRUE(std::isnan(RoundToDigits(std::nan(""), 15)));
}

TEST(NormalizedValueTest, IsWhatTheNormalizedGridHolds) {
  std::vector<CellRow> training;
  std::vector<CellRow> validation;
  for (int r = 0; r < 40; ++r) {
    training.push_back({std::to_string(r), FormatGeneral(1000.0 / 3.0 + 17.17 * std::sin(r), 6)});
    validation.push_back({std::to_string(40 + r), FormatGeneral(-777.7 + 3.1 * r * r, 6)});
  }
  const NormalizedData data = Normalize(training, validation);
  for (std::size_t r = 0; r < training.size(); ++r) {
    EXPECT_EQ(NormalizedValue(TextToFloat(training[r].y), data.low, data.high),
              TextToFloat(data.training[r].y));
    EXPECT_EQ(NormalizedValue(TextToFloat(validation[r].y), data.low, data.high),
              TextToFloat(data.validation[r].y));
  }
}

}  // namespace
}  // namespace vobrix
