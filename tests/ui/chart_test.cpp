// The charts' numbers: axes that hold every point, round ticks written plainly, decimated
// drawing of long series; and, from the real window, the baselines and the forecast compared
// with what vobrix-cli computes on the same data.

#include <QCheckBox>
#include <QJsonDocument>
#include <QJsonValue>
#include <QSpinBox>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>
#include <random>

#include "fake_seam.h"
#include "problem/textconv.h"
#include "run/grid_rows.h"
#include "ui/chart_axes.h"
#include "ui/chart_decimation.h"
#include "ui/fitness_baselines.h"
#include "ui/forecast_view.h"
#include "ui/unit4.h"
#include "ui/unit5.h"

namespace vobrix::ui {
namespace {

using testing::fakeSeam;
using testing::RunCli;

std::string Label(const TickPlan& plan, AxisRange range, double value) {
  char text[64];
  std::snprintf(text, sizeof text, TickFormat(plan, range).c_str(), value);
  return text;
}

TEST(ChartAxesTest, TicksAreRoundAndWrittenPlainly) {
  struct Case {
    AxisRange range;
    int maxTicks;
    double step, first;
    std::vector<std::string> labels;  // the first ticks' labels
  };
  const Case cases[] = {
      {{12.3, 36.8}, 5, 5, 15, {"15", "20", "25"}},
      {{0.00453, 0.0123}, 4, 0.002, 0.006, {"0.006", "0.008", "0.010"}},
      {{0, 1050}, 5, 500, 0, {"0", "500", "1000"}},
      {{0, 1050}, 12, 100, 0, {"0", "100", "200"}},
      {{-1, 4}, 6, 1, -1, {"-1", "0", "1"}},
      {{0, 1}, 6, 0.2, 0, {"0.0", "0.2", "0.4"}},
      {{0, 1}, 5, 0.5, 0, {"0.0", "0.5", "1.0"}},
      {{0, 11}, 5, 5, 0, {"0", "5", "10"}},
      {{199990, 200010}, 3, 10, 199990, {"199990", "200000", "200010"}},
      {{-0.35, -0.05}, 4, 0.1, -0.3, {"-0.3", "-0.2", "-0.1"}},
  };
  for (const Case& c : cases) {
    const TickPlan plan = NiceTicks(c.range, c.maxTicks);
    SCOPED_TRACE(std::to_string(c.range.low) + ".." + std::to_string(c.range.high));
    EXPECT_NEAR(plan.step, c.step, 1e-12 * c.step);
    EXPECT_NEAR(plan.first, c.first, 1e-9 * c.step);
    for (std::size_t k = 0; k < c.labels.size(); ++k) {
      EXPECT_EQ(Label(plan, c.range, plan.first + static_cast<double>(k) * plan.step), c.labels[k]);
    }
  }
}

TEST(ChartAxesTest, EveryRangeGetsFewRoundTicksInsideIt) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> exponent(-6, 8), unit(-1, 1);
  for (int i = 0; i < 2000; ++i) {
    const double scale = std::pow(10.0, exponent(random));
    const double a = unit(random) * scale, b = unit(random) * scale;
    const AxisRange range{std::min(a, b), std::max(a, b)};
    if (!(range.high > range.low)) continue;
    const int maxTicks = 2 + i % 9;
    const TickPlan plan = NiceTicks(range, maxTicks);
    const double mantissa = plan.step / std::pow(10.0, std::floor(std::log10(plan.step) + 1e-9));
    EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-9 || std::fabs(mantissa - 2) < 1e-9 ||
                std::fabs(mantissa - 5) < 1e-9)
        << plan.step;
    EXPECT_GE(plan.first, range.low - 1e-9 * plan.step);
    EXPECT_LT(plan.first - plan.step, range.low);
    int count = 0;
    for (double t = plan.first; t <= range.high + 1e-9 * plan.step; t += plan.step) ++count;
    EXPECT_LE(count, maxTicks) << range.low << ".." << range.high;
    // Neighbouring ticks read differently and never in the exponent form.
    const std::string first = Label(plan, range, plan.first);
    EXPECT_NE(first, Label(plan, range, plan.first + plan.step));
    EXPECT_EQ(first.find('e'), std::string::npos) << first;
  }
}

TEST(ChartAxesTest, TheVerticalRangeHoldsThePointsAndTheMaximumAskedFor) {
  struct Case {
    std::optional<AxisRange> points;
    std::optional<double> maximum;
    double low, high;
  };
  const Case cases[] = {
      {AxisRange{0.5, 3.0}, 1.1, 0.0, 3.0},  // a validation error above the set maximum
      {AxisRange{0.5, 0.9}, 1.1, 0.0, 1.1},
      {AxisRange{-2, 0.5}, 1.1, -2.0, 1.1},
      {std::nullopt, 2.0, 0.0, 2.0},
      {std::nullopt, std::nullopt, 0.0, 1.0},
      {AxisRange{2, 2}, std::nullopt, 2.0, 3.0},
      {AxisRange{-1, 4}, std::nullopt, -1.0, 4.0},
  };
  for (const Case& c : cases) {
    const AxisRange range = VerticalRange(c.points, c.maximum);
    EXPECT_EQ(range.low, c.low);
    EXPECT_EQ(range.high, c.high);
  }
  EXPECT_EQ(LogRange(0.0042, 310.0).low, 0.001);
  EXPECT_EQ(LogRange(0.0042, 310.0).high, 1000.0);
  EXPECT_EQ(LogRange(std::nullopt, std::nullopt).high, 10.0);
}

TEST(ChartAxesTest, CaptionNumbersArePlain) {
  const std::pair<double, const char*> cases[] = {
      {1050.0, "1050"}, {0.012345, "0.01235"}, {3.0, "3.000"}, {2.5e-6, "2.5e-06"},
      {0.0, "0.000"},   {-12.5, "-12.50"},     {2e9, "2e+09"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(PlainNumber(value, 4), text) << value;
  EXPECT_EQ(TimesBetter(4.0, 0.5), "8.00 times better than persistence");
  EXPECT_EQ(TimesBetter(1.0, 4.0), "4.00 times worse than persistence");
  EXPECT_EQ(TimesBetter(1.0, 0.0), "");
  EXPECT_EQ(TimesBetter(1.0, std::numeric_limits<double>::infinity()), "");
}

// ---- Decimation ---------------------------------------------------------------------------

std::vector<toolkit::ChartPoint> Noise(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::normal_distribution<double> normal;
  std::vector<toolkit::ChartPoint> points(n);
  for (std::size_t i = 0; i < n; ++i) points[i] = {static_cast<double>(i), normal(random), ""};
  return points;
}

TEST(ChartDecimationTest, KeepsEachColumnsExtremesAndBothEnds) {
  for (const auto& [n, columns] :
       {std::pair<std::size_t, int>{200'000, 800}, {10'000, 97}, {4'001, 1000}, {3'333, 7}}) {
    const auto points = Noise(n, static_cast<unsigned>(n));
    const double maxX = static_cast<double>(n - 1);
    const auto kept = DecimatedIndexes(points, 0, maxX, columns);
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(kept.front(), 0u);
    EXPECT_EQ(kept.back(), n - 1);
    EXPECT_TRUE(std::is_sorted(kept.begin(), kept.end()));
    EXPECT_LE(kept.size(), 4u * static_cast<std::size_t>(columns) + 2);
    // Per column the lowest and highest Y of the whole series are drawn.
    const auto extremes = [&](const std::vector<std::size_t>& indexes) {
      std::vector<std::pair<double, double>> lowHigh(columns, {INFINITY, -INFINITY});
      for (std::size_t i : indexes) {
        auto& [low, high] =
            lowHigh[std::min(static_cast<int>(points[i].x * columns / maxX), columns - 1)];
        low = std::min(low, points[i].y);
        high = std::max(high, points[i].y);
      }
      return lowHigh;
    };
    std::vector<std::size_t> all(n);
    std::iota(all.begin(), all.end(), 0u);
    EXPECT_EQ(extremes(kept), extremes(all)) << n;
  }
}

TEST(ChartDecimationTest, ShortSeriesStayWholeAndPointsOutsideGatherAtTheEdges) {
  const auto few = Noise(400, 1);
  EXPECT_EQ(DecimatedIndexes(few, 0, 399, 100).size(), 400u);  // 4 a column: whole
  EXPECT_EQ(DecimatedIndexes(few, 0, 399, 0).size(), 400u);

  // Zoomed into X 1000..1999 of 10,000 points: the points either side become one run each.
  const auto many = Noise(10'000, 2);
  const auto kept = DecimatedIndexes(many, 1000, 1999, 100);
  const auto left = std::count_if(kept.begin(), kept.end(), [](auto i) { return i < 1000; });
  const auto right = std::count_if(kept.begin(), kept.end(), [](auto i) { return i > 1999; });
  EXPECT_LE(left, 4);
  EXPECT_LE(right, 4);
  EXPECT_EQ(kept.front(), 0u);
  EXPECT_EQ(kept.back(), 9'999u);
}

// ---- The chart ----------------------------------------------------------------------------

// Whether the vertical axis holds every point and reference line of the chart.
bool AxisHoldsAll(const QtChart& chart) {
  const auto in = [&](double y) {
    return y >= chart.LeftAxis()->min() && y <= chart.LeftAxis()->max();
  };
  for (int s = 0; s < chart.SeriesCount(); ++s) {
    for (const auto& p : chart.Points(s))
      if (!in(p.y)) return false;
  }
  for (int r = 0; r < chart.ReferenceLineCount(); ++r) {
    if (!in(chart.ReferenceSeries(r)->at(0).y())) return false;
  }
  return true;
}

TEST(QtChartAxesTest, TheVerticalAxisHoldsEveryPointLinearOrLogarithmic) {
  QtChart chart({{"validation", Qt::red, false, false}, {"training", Qt::red, true, false}}, "",
                "");
  chart.resize(400, 300);
  chart.show();
  // The run fixes the axis at 1.1 times generation 0's best training error; the validation
  // error lies far above it.
  chart.SetLeftAxisMaximum(1.1 * 0.8);
  chart.AddPoints(0, {{0, 5.0, ""}, {1, 3.5, ""}, {2, 2.9, ""}});
  chart.AddPoints(1, {{0, 0.8, ""}, {1, 0.002, ""}, {2, 0.0, ""}});
  chart.SetReferenceLines({{{"Persistence", Qt::gray, false, true, true}, 7.5}});
  chart.Flush();
  EXPECT_EQ(chart.LeftAxis()->min(), 0.0);
  EXPECT_EQ(chart.LeftAxis()->max(), 7.5);  // the reference line is the highest
  EXPECT_TRUE(AxisHoldsAll(chart));
  // Round ticks, few enough for the plot's height, labelled without an exponent.
  const QValueAxis* axis = chart.LeftAxis();
  EXPECT_EQ(axis->tickType(), QValueAxis::TicksDynamic);
  EXPECT_TRUE(QList<double>({1, 2, 5}).contains(axis->tickInterval())) << axis->tickInterval();
  EXPECT_TRUE(axis->labelFormat().endsWith('f')) << axis->labelFormat().toStdString();

  chart.SetLogScale(true);
  ASSERT_TRUE(chart.chart()->axes(Qt::Vertical).contains(chart.LogAxis()));
  EXPECT_FALSE(chart.chart()->axes(Qt::Vertical).contains(chart.LeftAxis()));
  EXPECT_EQ(chart.LogAxis()->min(), 0.001);
  EXPECT_EQ(chart.LogAxis()->max(), 10.0);
  // 0 has no logarithm: it is drawn on the axis' bottom, the points themselves stay.
  EXPECT_EQ(chart.Series(1)->at(2).y(), 0.001);
  EXPECT_EQ(chart.Points(1)[2].y, 0.0);
  chart.SetLogScale(false);
  EXPECT_TRUE(chart.chart()->axes(Qt::Vertical).contains(chart.LeftAxis()));
  EXPECT_EQ(chart.Series(1)->at(2).y(), 0.0);
}

TEST(QtChartAxesTest, ALongSeriesIsDrawnDecimatedAndKeptWhole) {
  QtChart chart({{"data", Qt::black, false, false}}, "", "");
  chart.resize(600, 300);
  chart.show();
  const auto points = Noise(200'000, 3);
  chart.AddPoints(0, points);
  chart.Flush();
  EXPECT_EQ(chart.PointCount(0), 200'000);
  EXPECT_LE(chart.Series(0)->count(), 4 * 600 + 2);
  EXPECT_EQ(chart.Series(0)->at(chart.Series(0)->count() - 1).x(), 199'999.0);
  const auto [low, high] = std::minmax_element(
      points.begin(), points.end(), [](const auto& a, const auto& b) { return a.y < b.y; });
  EXPECT_EQ(chart.LeftAxis()->min(), low->y);
  EXPECT_EQ(chart.LeftAxis()->max(), high->y);
}

// ---- The window ---------------------------------------------------------------------------

using ChartWindowTest = testing::SineWindowTest;

TEST_F(ChartWindowTest, APopulationOfOneStaysOnTheFitnessChart) {
  Run({{1, 12}});
  for (QtChart* chart : {form->Chart2, form->Form5()->Chart2}) {
    ASSERT_GT(chart->PointCount(0), 0);
    EXPECT_TRUE(AxisHoldsAll(*chart));
  }
  // The box switches both fitness charts.
  form->FitnessStrip->LogScaleBox()->setChecked(true);
  EXPECT_TRUE(form->Chart2->LogScale() && form->Form5()->Chart2->LogScale());
  form->Form5()->Chart2->SetLogScale(false);
  EXPECT_FALSE(form->FitnessStrip->LogScaleBox()->isChecked() || form->Chart2->LogScale());
}

TEST_F(ChartWindowTest, BaselinesAreTheCommandLinesAndTheBestIsComparedWithPersistence) {
  const QString summary = dir.filePath("summary.json");
  Run({{20, 3}});
  RunCli({"run", "--train", train, "--validation", valid, "--pop-size", "5", "--generations", "1",
          "--seed", "1", "--quiet", "--summary", summary});
  const QJsonValue baselines =
      QJsonDocument::fromJson(testing::ReadAll(summary))["baselines"]["validation"];
  const double persistence = baselines["persistence"]["mse"].toDouble();
  const double ar = baselines["ar"]["mse"].toDouble();

  ASSERT_EQ(form->Chart2->ReferenceLineCount(), 2);
  EXPECT_DOUBLE_EQ(form->Chart2->ReferenceSeries(0)->at(0).y(), persistence);
  EXPECT_DOUBLE_EQ(form->Chart2->ReferenceSeries(1)->at(0).y(), ar);
  EXPECT_EQ(form->Form5()->Chart2->ReferenceLineCount(), 2);
  EXPECT_TRUE(form->FitnessStrip->BaselineLabel()->text().contains(
      QString::fromStdString("persistence " + PlainNumber(persistence, 4))));
  const double best = form->Chart2->Points(1).back().y;  // population 1's validation error
  EXPECT_EQ(form->FitnessStrip->BestLabel(0)->text().toStdString(),
            "No1: " + TimesBetter(persistence, best));
  EXPECT_TRUE(form->FitnessStrip->BestLabel(0)->isVisible());
}

// The forecast's rows go on after the data by one X a step and are drawn dashed after them, on
// both charts; a run without a horizon takes them away again. (That the values are `predict`'s
// is checked through the files the Results menu saves.)
TEST_F(ChartWindowTest, TheForecastIsDrawnAfterTheDataAndLeavesWithTheHorizon) {
  const int rows = 50 - 5;                             // the one-step predictions, from X = 5
  const int series = form->Chart4->SeriesCount() - 1;  // the forecast's
  form->Forecast->HorizonBox()->setValue(7);
  Run({{30, 4}});
  ASSERT_EQ(form->StringGrid5->RowCount(), rows + 7);
  ASSERT_EQ(form->Chart4->PointCount(series), 7);
  ASSERT_EQ(form->Form4()->Chart1->PointCount(form->Form4()->Chart1->SeriesCount() - 1), 7);
  EXPECT_EQ(form->StringGrid5->Cell(0, rows - 1), "49");
  for (int k = 0; k < 7; ++k) {
    const toolkit::ChartPoint point = form->Chart4->Points(series)[static_cast<std::size_t>(k)];
    EXPECT_EQ(form->StringGrid5->Cell(0, rows + k), std::to_string(50 + k));
    EXPECT_EQ(point.x, 50.0 + k);
    EXPECT_EQ(form->StringGrid5->Cell(1, rows + k), FormatGeneral(point.y, 15)) << k;
  }
  EXPECT_EQ(form->Chart4->Series(series)->pen().style(), Qt::DashLine);

  form->Forecast->HorizonBox()->setValue(0);
  Run({{30, 2}});
  EXPECT_EQ(form->StringGrid5->RowCount(), rows);
  EXPECT_EQ(form->Chart4->PointCount(series), 0);
}

}  // namespace
}  // namespace vobrix::ui
