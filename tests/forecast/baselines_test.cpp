#include "forecast/baselines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>
#include <random>

namespace vobrix::forecast {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// y[t] = 0.5 + 0.6 y[t-1] - 0.3 y[t-2] + e[t], e standard normal, seeded.
std::vector<double> Ar2Series(int n, unsigned seed) {
  std::mt19937 draw(seed);
  std::normal_distribution<double> noise(0.0, 1.0);
  std::vector<double> y = {0.0, 0.0};
  for (int t = 2; t < n + 200; ++t)
    y.push_back(0.5 + 0.6 * y[t - 1] - 0.3 * y[t - 2] + noise(draw));
  return std::vector<double>(y.end() - n, y.end());  // the start-up transient dropped
}

TEST(ArTest, RecoversTheCoefficientsAndTheOrderOfAnAr2Series) {
  for (unsigned seed : {1u, 2u, 3u}) {
    const std::vector<double> y = Ar2Series(3000, seed);
    const ArModel ar = FitAr(y);
    EXPECT_EQ(ar.order, 2) << "seed " << seed;
    ASSERT_EQ(ar.coefficients.size(), static_cast<std::size_t>(ar.order));
    EXPECT_NEAR(ar.coefficients[0], 0.6, 0.05);
    EXPECT_NEAR(ar.coefficients[1], -0.3, 0.05);
    EXPECT_NEAR(ar.intercept, 0.5, 0.1);
    // Scored on the programs' points (window 5 on), it beats persistence and its errors are
    // about the noise's variance.
    const BaselineScore score = ScoreAr(ar, y, 5);
    EXPECT_EQ(score.predictions.size(), y.size() - 5);
    EXPECT_NEAR(score.mse, 1.0, 0.1);
    EXPECT_LT(score.theilU, 1.0);
    EXPECT_LT(score.mse, ScorePersistence(y, 5).mse);
  }
}

TEST(ArTest, FirstWindowsTakeTheFirstValueForLagsBeforeTheSeries) {
  ArModel ar;
  ar.order = 3;
  ar.intercept = 1.0;
  ar.coefficients = {2.0, 10.0, 100.0};
  const std::vector<double> y = {1.0, 2.0, 3.0, 4.0};
  // t = 1: lags y[0], then y[0] twice for the lags before the start.
  EXPECT_EQ(PredictAr(ar, y, 1), 1.0 + 2.0 * 1 + 10.0 * 1 + 100.0 * 1);
  EXPECT_EQ(PredictAr(ar, y, 3), 1.0 + 2.0 * 3 + 10.0 * 2 + 100.0 * 1);
  EXPECT_EQ(ScoreAr(ar, y, 1).predictions,
            (std::vector<double>{113.0, 1.0 + 4 + 10 + 100, 1.0 + 6 + 20 + 100}));
}

TEST(ArTest, RefusesSeriesItCannotFit) {
  EXPECT_THROW(FitAr({1.0, 2.0, 3.0}), ForecastError);
  EXPECT_THROW(FitAr({1.0, 2.0, std::nan(""), 3.0, 4.0}), ForecastError);
  EXPECT_THROW(FitArOrder({1.0, 2.0, 3.0, 4.0}, 2, 2), ForecastError);
  // A perfectly linear series: every order fits exactly; the smallest is kept.
  std::vector<double> line;
  for (int t = 0; t < 40; ++t) line.push_back(3.0 + 0.5 * t);
  const ArModel ar = FitAr(line);
  EXPECT_EQ(ar.order, 1);
  EXPECT_NEAR(PredictAr(ar, line, 39), line[39], 1e-9);
}

TEST(PersistenceTest, ScoresTheLatestValueOnTheGivenTargets) {
  // Errors 2, -1 and 4.
  const std::vector<double> y = {1.0, 3.0, 2.0, 6.0}, squares = {4.0, 1.0, 16.0};
  for (std::size_t first = 1; first < y.size(); ++first) {
    const BaselineScore score = ScorePersistence(y, first);
    EXPECT_EQ(score.predictions, std::vector<double>(y.begin() + first - 1, y.end() - 1));
    EXPECT_EQ(score.mse, std::accumulate(squares.begin() + first - 1, squares.end(), 0.0) /
                             static_cast<double>(y.size() - first));
    EXPECT_EQ(score.theilU, 1.0);
  }
  EXPECT_THROW(ScorePersistence(y, 0), ForecastError);
  EXPECT_THROW(ScorePersistence(y, 4), ForecastError);
}

TEST(TheilUTest, ComparesWithPersistenceOnTheSameTargets) {
  const std::vector<double> y = {1.0, 3.0, 2.0, 6.0};
  EXPECT_EQ(TheilU(y, 1, {3.0, 2.0, 6.0}), 0.0);                           // perfect
  EXPECT_DOUBLE_EQ(TheilU(y, 1, {4.0, 2.0, 6.0}), std::sqrt(1.0 / 21.0));  // one error of 1
  EXPECT_EQ(TheilU(y, 1, {kInf, 2.0, 6.0}), kInf);
  const std::vector<double> flat = {2.0, 2.0, 2.0};
  EXPECT_EQ(TheilU(flat, 1, {2.0, 2.0}), 0.0);
  EXPECT_EQ(TheilU(flat, 1, {2.0, 2.5}), kInf);
}

}  // namespace
}  // namespace vobrix::forecast
