#include "ui/chart_axes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace vobrix::ui {

AxisRange VerticalRange(std::optional<AxisRange> points, std::optional<double> maximum) {
  AxisRange range = points.value_or(AxisRange{0.0, maximum ? 0.0 : 1.0});
  if (maximum) {
    range.low = std::min(range.low, 0.0);
    range.high = std::max(range.high, *maximum);
  }
  if (range.high <= range.low) range.high = range.low + 1.0;
  return range;
}

TickPlan NiceTicks(AxisRange range, int maxTicks) {
  const double span = range.high - range.low;
  maxTicks = std::max(maxTicks, 2);
  TickPlan plan;
  if (!(span > 0.0) || !std::isfinite(span)) {
    plan.first = range.low;
    return plan;
  }
  // The rough step rounded down to a power of ten, then raised through 1, 2, 5, 10 until the
  // ticks fit; the count of ticks is (span / step) + 1 at most.
  int exponent = static_cast<int>(std::floor(std::log10(span / maxTicks)));
  static constexpr std::array<double, 4> kMantissas{1.0, 2.0, 5.0, 10.0};
  double step = 0.0;
  for (;; ++exponent) {
    const double power = std::pow(10.0, exponent);
    for (double mantissa : kMantissas) {
      step = mantissa * power;
      if (std::floor(span / step) + 1.0 <= maxTicks) break;
    }
    if (std::floor(span / step) + 1.0 <= maxTicks) break;
  }
  plan.step = step;
  plan.first = std::ceil(range.low / step - 1e-9) * step;
  // 5 x 10^-3 needs three decimals: the exponent of the step's leading digit.
  plan.decimals = std::clamp(-static_cast<int>(std::floor(std::log10(step) + 1e-9)), 0, 15);
  return plan;
}

int TicksForLength(double pixels, double spacing) {
  if (!(pixels > 0.0) || !(spacing > 0.0)) return 5;
  return std::clamp(static_cast<int>(pixels / spacing), 3, 10);
}

std::string TickFormat(const TickPlan& plan, AxisRange range) {
  const double largest = std::max(std::fabs(range.low), std::fabs(range.high));
  if (largest >= 1e12) return "%.3g";
  return "%." + std::to_string(plan.decimals) + "f";
}

AxisRange LogRange(std::optional<double> smallestPositive, std::optional<double> largest) {
  if (!smallestPositive) return {1.0, 10.0};
  const double low = std::pow(10.0, std::floor(std::log10(*smallestPositive)));
  double high = std::pow(10.0, std::ceil(std::log10(std::max(largest.value_or(0.0), low))));
  if (high <= low) high = low * 10.0;
  return {low, high};
}

}  // namespace vobrix::ui

namespace vobrix::ui {

std::string PlainNumber(double value, int significant) {
  if (!std::isfinite(value)) return value != value ? "NaN" : (value > 0 ? "INF" : "-INF");
  const double magnitude = std::fabs(value);
  char text[64];
  if (value != 0.0 && (magnitude < 1e-4 || magnitude >= 1e9)) {
    std::snprintf(text, sizeof text, "%.*g", significant, value);
    return text;
  }
  const int leading = value == 0.0 ? 0 : static_cast<int>(std::floor(std::log10(magnitude)));
  const int decimals = std::max(significant - 1 - leading, 0);
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

}  // namespace vobrix::ui
