#include "model/difference.h"

#include <numeric>
#include <string>

namespace vobrix::model {

std::int32_t DifferenceSpan(const std::vector<std::int32_t>& lags) {
  return std::accumulate(lags.begin(), lags.end(), std::int32_t{0});
}

std::vector<double> DifferenceCoefficients(const std::vector<std::int32_t>& lags) {
  std::vector<double> c{1.0};
  for (std::int32_t lag : lags) {
    std::vector<double> next(c.size() + static_cast<std::size_t>(lag), 0.0);
    for (std::size_t k = 0; k < c.size(); ++k) {
      next[k] += c[k];
      next[k + static_cast<std::size_t>(lag)] -= c[k];
    }
    c = std::move(next);
  }
  return c;
}

double DifferencedAt(const std::vector<double>& coefficients, const double* target) {
  double z = *target;
  for (std::size_t k = 1; k < coefficients.size(); ++k) {
    if (coefficients[k] != 0.0) z += coefficients[k] * target[-static_cast<std::ptrdiff_t>(k)];
  }
  return z;
}

std::vector<double> Differenced(const std::vector<double>& y,
                                const std::vector<double>& coefficients) {
  const std::size_t span = coefficients.size() - 1;
  std::vector<double> z;
  if (y.size() <= span) return z;
  z.reserve(y.size() - span);
  for (std::size_t t = span; t < y.size(); ++t) z.push_back(DifferencedAt(coefficients, &y[t]));
  return z;
}

double DifferenceBase(const std::vector<double>& coefficients, const double* target) {
  double base = 0.0;
  bool first = true;
  for (std::size_t k = 1; k < coefficients.size(); ++k) {
    if (coefficients[k] == 0.0) continue;
    const double term = coefficients[k] * target[-static_cast<std::ptrdiff_t>(k)];
    base = first ? -term : base - term;
    first = false;
  }
  return base;
}

std::string LagsText(const std::vector<std::int32_t>& lags) {
  std::string text = lags.size() == 1 ? "lag " : "lags ";
  for (std::size_t i = 0; i < lags.size(); ++i) {
    text.append(i == 0 ? "" : ", ").append(std::to_string(lags[i]));
  }
  return text;
}

}  // namespace vobrix::model
