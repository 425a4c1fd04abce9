#include "engine/linear_scaling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

#include "engine/batch_eval.h"
#include "engine/init.h"
#include "engine/misc.h"
#include "fixture.h"

namespace vobrix {
namespace {

using test::TestProblem;

constexpr double kInf = std::numeric_limits<double>::infinity();

// Programs whose fit is known: window 1, functions +, * and -, constants 7 and 1e200. Where the
// fit is b = 0, a is the targets' mean and the error their variance.
TEST(LinearScalingTest, KnownFits) {
  // y[t + 1] = 3 + 2 y[t]: X0 scaled by a = 3, b = 2 is exact.
  const std::vector<double> doubling = {1, 5, 13, 29, 61, 125, 253};
  const std::vector<double> wavy = {0.5, -1.25, 2.0, 0.75, -3.5, 4.0, 1.0};
  const std::vector<double> ones = {1, -1, 1, -1, 1, -1, 1, -1};
  struct Case {
    const char* name;
    std::vector<double> series;
    std::vector<Node> program;  // 0 = +, 1 = *, 2 = -, 3 = X0, 4 = 7, 5 = 1e200
    double mse, a, b;           // NaN: the targets' variance and mean
  };
  const double kHere = std::nan("");
  const Case cases[] = {
      {"X0 on y = 3 + 2 x", doubling, {3}, 0.0, 3.0, 2.0},
      {"X0 + X0 on y = 3 + 2 x", doubling, {0, 3, 3}, 0.0, 3.0, 1.0},
      {"a constant has b = 0", wavy, {4}, kHere, kHere, 0.0},
      {"X0 - X0 is a constant too", wavy, {2, 3, 3}, kHere, kHere, 0.0},
      // 1e200 X0 is finite, but its spread overflows the sums: it is treated as a constant.
      {"a spread beyond the double range", ones, {1, 5, 3}, kHere, kHere, 0.0},
      {"an overflow to infinity", wavy, {1, 5, 1, 5, 3}, kInf, 0.0, 1.0},
      {"infinity minus itself", wavy, {2, 1, 5, 1, 5, 3, 1, 5, 1, 5, 3}, kInf, 0.0, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestProblem p({kAdd, kMultiply, kSubtract}, 1, {7.0, 1e200}, c.series);
    BatchEvaluator batch(p.get());
    const ScaledFit fit =
        batch.ScaledFitness(c.program.data(), static_cast<std::int32_t>(c.program.size()));
    const std::vector<double> y(c.series.begin() + 1, c.series.end());
    const double n = static_cast<double>(y.size()), mean = std::reduce(y.begin(), y.end()) / n;
    double spread = 0.0;
    for (double v : y) spread += (v - mean) * (v - mean) / n;
    const double mse = std::isnan(c.mse) ? spread : c.mse;
    const double a = std::isnan(c.a) ? mean : c.a;
    EXPECT_TRUE(fit.mse == mse || std::fabs(fit.mse - mse) <= 1e-12 * (1 + spread)) << fit.mse;
    EXPECT_DOUBLE_EQ(fit.scaling.a, a);
    EXPECT_EQ(fit.scaling.b, c.b);
  }
}

// Over many random programs: the one-pass error is the error of a + b P summed directly, and
// never above the unscaled error. (The thread-count tests run scaled generations too.)
TEST(LinearScalingTest, AgreesWithTheDirectSumAndNeverLosesToTheUnscaledProgram) {
  std::vector<double> series(300);
  for (int i = 0; i < 300; ++i) series[i] = 40.0 + 3.0 * std::sin(0.21 * i) + 0.01 * i;
  TestProblem p({kAdd, kSubtract, kMultiply, kDivide, kSin, kSqrt}, 4, {0.0, 2.5, -1.75, 1e200},
                series);
  BatchEvaluator batch(p.get());
  std::vector<Node> genes(70);
  const NodeDrawSetup setup{p.get().functionCount, 4, 4, 0.5f, 0.3f};
  SeedRandom(91);
  int finite = 0;
  for (int k = 0; k < 3000; ++k) {
    const std::int32_t length = GrowProgram(genes.data(), 1 + k % 6, 70, setup);
    const double plain = batch.Fitness(genes.data(), length);
    const ScaledFit fit = batch.ScaledFitness(genes.data(), length);
    const double* rows = batch.Predict(genes.data(), length);
    // Only a non-finite prediction scores +infinity: a finite 1e200 that the unscaled error
    // squares beyond the double range is fitted with b = 0.
    bool allFinite = true;
    for (int i = 0; i < batch.rows(); ++i) allFinite = allFinite && std::isfinite(rows[i]);
    ASSERT_EQ(std::isinf(fit.mse), !allFinite) << k;
    EXPECT_LE(fit.mse, plain * (1 + 1e-12) + 1e-12) << k;
    if (!allFinite) continue;
    ++finite;
    double direct = 0.0;  // the mean of (y - (a + b P))^2, summed directly
    for (int i = 0; i < batch.rows(); ++i) {
      const double d = series[i + 4] - ScaledOutput(fit.scaling, rows[i]);
      direct += d * d / batch.rows();
    }
    EXPECT_NEAR(fit.mse, direct, 1e-9 * (1.0 + direct)) << k;
  }
  EXPECT_GT(finite, 1000);
}

}  // namespace
}  // namespace vobrix
