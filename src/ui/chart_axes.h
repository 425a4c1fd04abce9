// The numbers of a chart's axes: a range that holds every point drawn, tick intervals of 1, 2 or
// 5 times a power of ten, and tick labels written as plain numbers. Pure functions, so that
// tables of cases pin them without a window.
#pragma once

#include <optional>
#include <string>

namespace vobrix::ui {

struct AxisRange {
  double low = 0.0;
  double high = 1.0;
};

// The vertical range of a chart: the points' own range (low to high), raised to a maximum the
// run asked for (the fitness charts start at 1.1 times the best error of generation 0), with 0
// included whenever such a maximum is set. A maximum below the points never cuts them off.
// Without points the range is 0 to 1 (or 0 to the maximum); an empty range widens by 1.
AxisRange VerticalRange(std::optional<AxisRange> points, std::optional<double> maximum);

// Ticks at first, first + step, ... up to the range's end; step is 1, 2 or 5 times 10^k, the
// smallest such step that keeps the tick count at most maxTicks; `first` is the first multiple
// of step in the range. decimals: how many digits after the point tell the ticks apart.
struct TickPlan {
  double step = 1.0;
  double first = 0.0;
  int decimals = 0;
};
TickPlan NiceTicks(AxisRange range, int maxTicks);

// How many ticks fit a length in pixels, one per `spacing` pixels, at least 3 (a first and
// a last tick besides the zero a range often starts at) and at most 10.
int TicksForLength(double pixels, double spacing);

// A printf format that writes the plan's ticks as plain numbers ("%.2f"); beyond what a small
// chart can show in full (a trillion or more) the short "%.3g".
std::string TickFormat(const TickPlan& plan, AxisRange range);

// The logarithmic axis' range: from the power of ten at or below the smallest positive value to
// the one at or above the largest; 1 to 10 without a positive value.
AxisRange LogRange(std::optional<double> smallestPositive, std::optional<double> largest);

}  // namespace vobrix::ui

namespace vobrix::ui {

// A figure for a caption: `significant` digits as a plain number ("0.0123", "1050"), the
// exponent form only beyond what reads as plain (below 0.0001 or from a billion on).
std::string PlainNumber(double value, int significant);

}  // namespace vobrix::ui
