#include "model/difference.h"

#include <cmath>
#include <limits>
#include <numeric>
#include <string>

namespace vobrix::model {

std::int32_t DifferenceSpan(const std::vector<std::int32_t>& lags, std::int32_t seasons) {
  const std::int32_t sum = std::accumulate(lags.begin(), lags.end(), std::int32_t{0});
  return lags.empty() ? 0 : sum + (seasons - 1) * lags.back();
}

std::vector<double> DifferenceCoefficients(const std::vector<std::int32_t>& lags,
                                           std::int32_t seasons) {
  std::vector<double> c{1.0};
  for (std::size_t i = 0; i < lags.size(); ++i) {
    const auto lag = static_cast<std::size_t>(lags[i]);
    const std::int32_t repeats = i + 1 == lags.size() ? seasons : 1;
    const double weight = 1.0 / repeats;
    std::vector<double> next(c.size() + lag * static_cast<std::size_t>(repeats), 0.0);
    for (std::size_t k = 0; k < c.size(); ++k) {
      next[k] += c[k];
      for (std::int32_t j = 1; j <= repeats; ++j) {
        next[k + lag * static_cast<std::size_t>(j)] -= weight * c[k];
      }
    }
    c = std::move(next);
  }
  return c;
}

double WithinRoundingIsZero(double z, double size, int terms) {
  const double rounding = terms * std::numeric_limits<double>::epsilon() * size;
  return std::isfinite(size) && std::fabs(z) <= rounding ? 0.0 : z;
}

double DifferencedAt(const std::vector<double>& coefficients, const double* target) {
  double z = *target;
  double size = std::fabs(*target);
  int terms = 1;
  for (std::size_t k = 1; k < coefficients.size(); ++k) {
    if (coefficients[k] == 0.0) continue;
    const double term = coefficients[k] * target[-static_cast<std::ptrdiff_t>(k)];
    z += term;
    size += std::fabs(term);
    ++terms;
  }
  return WithinRoundingIsZero(z, size, terms);
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

std::string LagsText(const std::vector<std::int32_t>& lags, std::int32_t seasons) {
  std::string text = lags.size() == 1 ? "lag " : "lags ";
  for (std::size_t i = 0; i < lags.size(); ++i) {
    text.append(i == 0 ? "" : ", ").append(std::to_string(lags[i]));
  }
  if (seasons > 1) text += " (the mean of " + std::to_string(seasons) + " seasons)";
  return text;
}

}  // namespace vobrix::model
