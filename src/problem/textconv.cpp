#include "problem/textconv.h"

#include "problem/textconv_detail.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

namespace vobrix {

namespace {

std::string ConversionMessage(const std::string& text, ConversionError::Kind kind) {
  if (kind == ConversionError::Kind::kSingleRange) {
    return "'" + text + "' is beyond the single-precision range";
  }
  return "'" + text + "' is not a valid " +
         (kind == ConversionError::Kind::kInteger ? "integer" : "floating point") + " value";
}

// ---------------------------------------------------------------------------------------
// Number to text. Every format here rounds the exact binary value of the double, written
// out as an exact decimal, half away from zero, once. No platform printf, no locale.

// value = 0.d1 d2 d3 ... x 10^point; digits has no leading and no trailing zeros; an empty
// digits string is zero.
struct Decimal {
  bool negative = false;
  std::string digits;
  int point = 0;
};

// The exact decimal expansion of a finite double. A double m * 2^k (m odd) has exactly -k
// decimals when k < 0, so std::to_chars in fixed notation with that precision is exact.
Decimal ExactDecimal(double value) {
  Decimal d;
  d.negative = std::signbit(value);
  double magnitude = std::fabs(value);
  if (magnitude == 0.0) {
    return d;
  }
  int exponent = 0;
  const double fraction = std::frexp(magnitude, &exponent);  // magnitude = fraction * 2^exponent
  const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
  const int lowestBit = exponent - 53 + std::countr_zero(mantissa);
  const int decimals = lowestBit < 0 ? -lowestBit : 0;
  // Up to 309 integer digits and 1074 decimals.
  std::array<char, 1500> buffer;
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                    std::chars_format::fixed, decimals);
  const std::string_view text(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
  const std::size_t dot = text.find('.');
  const std::string_view integerPart = text.substr(0, dot);
  const std::string_view fractionPart =
      dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  std::string all;
  all.reserve(integerPart.size() + fractionPart.size());
  all.append(integerPart);
  all.append(fractionPart);
  const std::size_t first = all.find_first_not_of('0');
  // 0.d1... x 10^point: point = number of integer digits, counted from the first non-zero.
  d.point = static_cast<int>(integerPart.size()) - static_cast<int>(first);
  const std::size_t last = all.find_last_not_of('0');
  d.digits = all.substr(first, last - first + 1);
  return d;
}

// Keeps `keep` leading digits, rounding half away from zero (keep may be 0 or negative: the
// rounding position then lies left of the first digit).
void RoundDigits(Decimal& d, int keep) {
  if (d.digits.empty() || keep >= static_cast<int>(d.digits.size())) {
    return;
  }
  if (keep < 0) {
    d.digits.clear();
    return;
  }
  const bool up = d.digits[static_cast<std::size_t>(keep)] >= '5';
  d.digits.resize(static_cast<std::size_t>(keep));
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.digits[static_cast<std::size_t>(i)] == '9') {
      d.digits[static_cast<std::size_t>(i)] = '0';
      --i;
    }
    if (i >= 0) {
      ++d.digits[static_cast<std::size_t>(i)];
    } else {
      d.digits.insert(d.digits.begin(), '1');
      ++d.point;
    }
  }
  const std::size_t last = d.digits.find_last_not_of('0');
  d.digits.resize(last == std::string::npos ? 0 : last + 1);
}

std::string NonFiniteText(double value) {
  if (std::isnan(value)) {
    return "NAN";
  }
  return value < 0 ? "-INF" : "INF";
}

// d1[.d2d3...]E<exponent>, the exponent with "-" only when negative, no leading zeros.
std::string Scientific(const Decimal& d) {
  std::string out;
  if (d.negative) {
    out += '-';
  }
  out += d.digits[0];
  if (d.digits.size() > 1) {
    out += '.';
    out.append(d.digits, 1);
  }
  out += 'E';
  out += std::to_string(d.point - 1);
  return out;
}

// Fixed notation with at least one digit before the point and exactly `decimals` decimals
// (-1: as many as the digits need, no point when there are none).
std::string Fixed(const Decimal& d, int decimals) {
  std::string out;
  if (d.negative && !d.digits.empty()) {
    out += '-';
  }
  const int count = static_cast<int>(d.digits.size());
  if (d.point <= 0) {
    out += '0';
  } else {
    for (int i = 0; i < d.point; ++i) {
      out += i < count ? d.digits[static_cast<std::size_t>(i)] : '0';
    }
  }
  std::string fraction;
  for (int i = std::min(d.point, 0); i < 0; ++i) {
    fraction += '0';
  }
  for (int i = std::max(d.point, 0); i < count; ++i) {
    fraction += d.digits[static_cast<std::size_t>(i)];
  }
  if (decimals >= 0) {
    fraction.resize(static_cast<std::size_t>(decimals), '0');
  }
  if (!fraction.empty()) {
    out += '.';
    out += fraction;
  }
  return out;
}

// FormatTwoDigits for magnitudes below 100 and at most four decimals, without the exact
// decimal expansion (a table of ten million constant symbols took seconds). The magnitude
// times 10^maxDecimals is exact in long double (53 + 14 bits of which 4 are a power of two),
// so the rounding is decided on the exact value, ties included, as RoundDigits decides it.
// Nothing when the value is outside that range.
std::optional<std::string> FormatTwoDigitsFast(double value, int maxDecimals) {
  static constexpr std::array<long double, 5> kScale{1.0L, 10.0L, 100.0L, 1000.0L, 10000.0L};
  const double magnitude = std::fabs(value);
  if (!(magnitude < 100.0) || maxDecimals < 0 || maxDecimals > 4) return std::nullopt;
  const long double scaled = static_cast<long double>(magnitude) * kScale[maxDecimals];
  // The rounding unit in scaled units: two significant digits, never below the last decimal.
  long double unit = 1.0L;
  while (scaled >= unit * 100.0L) unit *= 10.0L;
  auto count = static_cast<std::uint64_t>(scaled / unit);
  while (static_cast<long double>(count) * unit > scaled) --count;
  while (static_cast<long double>(count + 1) * unit <= scaled) ++count;
  const long double rest = scaled - static_cast<long double>(count) * unit;  // exact
  if (2.0L * rest >= unit) ++count;                                          // half away from zero
  const auto rounded = static_cast<std::uint64_t>(static_cast<long double>(count) * unit);
  const auto one = static_cast<std::uint64_t>(kScale[maxDecimals]);
  if (rounded >= 100 * one) return std::nullopt;  // rounds to 100: the scientific form
  // At most "-99.9999": written backwards into a small buffer.
  std::array<char, 12> buffer;
  std::size_t at = buffer.size();
  std::uint64_t digits = rounded;
  for (int i = 0; i < maxDecimals; ++i, digits /= 10) {
    buffer[--at] = static_cast<char>('0' + digits % 10);
  }
  if (maxDecimals > 0) buffer[--at] = '.';
  do {
    buffer[--at] = static_cast<char>('0' + digits % 10);
    digits /= 10;
  } while (digits != 0);
  if (rounded != 0 && std::signbit(value)) buffer[--at] = '-';
  return std::string(buffer.data() + at, buffer.size() - at);
}

// Two significant digits but no more than `maxDecimals` decimals; fixed with exactly
// `maxDecimals` decimals below 100, otherwise the short scientific form.
std::string FormatTwoDigits(double value, int maxDecimals) {
  if (!std::isfinite(value)) {
    return NonFiniteText(value);
  }
  if (auto text = FormatTwoDigitsFast(value, maxDecimals)) return *std::move(text);
  return detail::FormatTwoDigitsExact(value, maxDecimals);
}

}  // namespace

namespace detail {

std::string FormatTwoDigitsExact(double value, int maxDecimals) {
  Decimal d = ExactDecimal(value);
  RoundDigits(d, std::min(2, d.point + maxDecimals));
  if (d.digits.empty()) {
    return Fixed(Decimal{}, maxDecimals);  // zero, without a sign
  }
  if (d.point > 2) {
    return Scientific(d);  // 100 or more
  }
  return Fixed(d, maxDecimals);
}

}  // namespace detail

namespace {

// ---------------------------------------------------------------------------------------
// Text to number.

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
    if (c != b[i]) {
      return false;
    }
  }
  return true;
}

}  // namespace

ConversionError::ConversionError(std::string text)
    : ConversionError(std::move(text), Kind::kFloat) {}

ConversionError::ConversionError(std::string text, Kind kind)
    : std::runtime_error(ConversionMessage(text, kind)), text_(std::move(text)), kind_(kind) {}

std::string FormatGeneral(double value, int digits) {
  if (!std::isfinite(value)) {
    return NonFiniteText(value);
  }
  if (value == 0.0) {
    return "0";
  }
  if (digits < 1) {
    digits = 1;
  }
  Decimal d = ExactDecimal(value);
  RoundDigits(d, digits);
  // point > digits: more integer digits than significant digits; point < -4: below 0.00001.
  if (d.point > digits || d.point < -4) {
    return Scientific(d);
  }
  return Fixed(d, -1);
}

double RoundToDigits(double value, int digits) {
  if (!std::isfinite(value)) {
    return value;
  }
  double result = 0.0;
  if (TryTextToFloat(FormatGeneral(value, digits), result)) {
    return result;
  }
  return value < 0 ? -std::numeric_limits<double>::infinity()
                   : std::numeric_limits<double>::infinity();
}

std::string FormatConstantSymbol(double value) {
  return FormatTwoDigits(value, 3);
}

std::string FormatRemainder(double remainder) {
  return FormatTwoDigits(remainder, 4);
}

namespace detail {

std::size_t ScanDecimal(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    ++i;
  }
  std::size_t mantissaDigits = 0;
  while (i < text.size() && IsDigit(text[i])) {
    ++i, ++mantissaDigits;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) {
      ++i, ++mantissaDigits;
    }
  }
  if (mantissaDigits == 0) {
    return 0;
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
      ++j;
    }
    std::size_t exponentDigits = 0;
    while (j < text.size() && IsDigit(text[j])) {
      ++j, ++exponentDigits;
    }
    if (exponentDigits > 0) {
      i = j;  // else the marker is not part of the number
    }
  }
  return i;
}

namespace {

// Whether a decimal that ScanDecimal accepted in full, with a non-zero mantissa, is at least
// 1 in magnitude: tells an overflow from an underflow.
bool DecimalAtLeastOne(std::string_view number) {
  std::size_t i = 0;
  if (i < number.size() && (number[i] == '+' || number[i] == '-')) {
    ++i;
  }
  // Position of the first non-zero digit relative to the point: its decimal exponent + 1.
  long long position = 0;
  bool seenPoint = false;
  bool found = false;
  for (; i < number.size() && number[i] != 'e' && number[i] != 'E'; ++i) {
    const char c = number[i];
    if (c == '.') {
      seenPoint = true;
      continue;
    }
    if (!found) {
      if (c != '0') {
        found = true;
        if (!seenPoint) {
          position = 1;
        }
      } else if (seenPoint) {
        --position;
      }
    } else if (!seenPoint) {
      ++position;
    }
  }
  if (!found) {
    return false;
  }
  long long exponent = 0;
  if (i < number.size()) {
    ++i;
    bool negative = false;
    if (number[i] == '+' || number[i] == '-') {
      negative = number[i++] == '-';
    }
    for (; i < number.size(); ++i) {
      if (exponent < 1'000'000'000) {
        exponent = exponent * 10 + (number[i] - '0');
      }
    }
    if (negative) {
      exponent = -exponent;
    }
  }
  return position + exponent > 0;
}

template <typename T>
bool ReadDecimalAs(std::string_view number, T& value) {
  std::string_view digits = number;
  if (!digits.empty() && digits.front() == '+') {
    digits.remove_prefix(1);  // from_chars: no '+'
  }
  T result{};
  const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), result,
                                      std::chars_format::general);
  if (parsed.ec == std::errc::result_out_of_range) {
    if (DecimalAtLeastOne(number)) {
      return false;
    }
    value = digits.front() == '-' ? -T(0) : T(0);
    return true;
  }
  if (parsed.ec != std::errc() || parsed.ptr != digits.data() + digits.size() ||
      !std::isfinite(result)) {
    return false;
  }
  value = result;
  return true;
}

}  // namespace

bool ReadDecimal(std::string_view number, float& value) {
  return ReadDecimalAs(number, value);
}
bool ReadDecimal(std::string_view number, double& value) {
  return ReadDecimalAs(number, value);
}

}  // namespace detail

bool TryTextToFloat(std::string_view text, double& value, bool acceptNonFinite) {
  const std::string_view trimmed = TrimBlanks(text);
  if (acceptNonFinite) {
    if (EqualsIgnoreCase(trimmed, "INF")) {
      value = std::numeric_limits<double>::infinity();
      return true;
    }
    if (EqualsIgnoreCase(trimmed, "-INF")) {
      value = -std::numeric_limits<double>::infinity();
      return true;
    }
    if (EqualsIgnoreCase(trimmed, "NAN")) {
      value = std::numeric_limits<double>::quiet_NaN();
      return true;
    }
  }
  if (trimmed.empty() || detail::ScanDecimal(trimmed) != trimmed.size()) {
    return false;
  }
  if (detail::ReadDecimal(trimmed, value)) return true;
  if (!acceptNonFinite) return false;
  // Too large for a double. The program's own texts get here when a value within rounding of
  // the largest double is written with 15 digits ("1.79769313486232E308"): read it as the
  // infinity it lies beyond, as the words of the non-finite values are read.
  value = trimmed.front() == '-' ? -std::numeric_limits<double>::infinity()
                                 : std::numeric_limits<double>::infinity();
  return true;
}

double TextToFloat(std::string_view text, bool acceptNonFinite) {
  double value = 0.0;
  if (!TryTextToFloat(text, value, acceptNonFinite)) {
    throw ConversionError(std::string(text));
  }
  return value;
}

float NarrowToFloat(long double value) {
  constexpr long double kMax = std::numeric_limits<float>::max();
  // FLT_MAX plus half its last place: from here on, round to nearest (ties to even) gives an
  // infinity; below it, the largest float.
  constexpr long double kRoundsToInfinity = 0x1.ffffffp127L;
  if (std::fabs(value) >= kRoundsToInfinity) {
    return std::signbit(value) ? -std::numeric_limits<float>::infinity()
                               : std::numeric_limits<float>::infinity();
  }
  if (std::fabs(value) > kMax) {
    return std::signbit(value) ? -std::numeric_limits<float>::max()
                               : std::numeric_limits<float>::max();
  }
  return static_cast<float>(value);
}

float TextToSingle(std::string_view text) {
  const float value = NarrowToFloat(TextToFloat(text));
  if (std::isinf(value)) {
    throw ConversionError(std::string(text), ConversionError::Kind::kSingleRange);
  }
  return value;
}

bool IsNumber(std::string_view text) {
  double value = 0.0;
  return TryTextToFloat(text, value, false);
}

std::int32_t TextToInt(std::string_view text) {
  std::string_view digits = TrimBlanks(text);
  if (!digits.empty() && digits.front() == '+') {
    digits.remove_prefix(1);
    if (!digits.empty() && digits.front() == '-') {
      digits = {};  // "+-1"
    }
  }
  std::int32_t value = 0;
  const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), value, 10);
  if (digits.empty() || parsed.ec != std::errc() || parsed.ptr != digits.data() + digits.size()) {
    throw ConversionError(std::string(text), ConversionError::Kind::kInteger);
  }
  return value;
}

}  // namespace vobrix
