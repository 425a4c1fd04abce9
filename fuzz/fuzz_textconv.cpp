// The number/text conventions on arbitrary input. The whole input as a text: the readers agree
// with each other and with an independent reading of the syntax. Its first bytes as a double
// and a digit count: the general format writes the documented shape, and the text reads back
// to within half a unit of its last digit.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "check.h"
#include "problem/textconv.h"

namespace {

using vobrix::ConversionError;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::size_t Digits(std::string_view text, std::size_t& i) {
  const std::size_t start = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  return i - start;
}

// Sign, digits with an optional point (at least one digit), optional exponent with digits.
bool FloatSyntax(std::string_view t) {
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t digits = Digits(t, i);
  if (i < t.size() && t[i] == '.') {
    ++i;
    digits += Digits(t, i);
  }
  if (digits == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    if (Digits(t, i) == 0) return false;
  }
  return i == t.size();
}

// Sign and decimal digits, as a 64-bit value when it has at most 18 digits.
bool IntSyntax(std::string_view t, long long& value) {
  std::size_t i = 0;
  const bool negative = !t.empty() && t[0] == '-';
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  const std::size_t start = i;
  if (Digits(t, i) == 0 || i != t.size()) return false;
  const std::string_view digits = t.substr(start);
  const std::size_t first = std::min(digits.find_first_not_of('0'), digits.size());
  if (digits.size() - first > 18) {
    value =
        negative ? std::numeric_limits<long long>::min() : std::numeric_limits<long long>::max();
    return true;
  }
  value = 0;
  for (char c : digits.substr(first)) value = value * 10 + (c - '0');
  if (negative) value = -value;
  return true;
}

void CheckTextToFloat(const std::string& text) {
  double tried = 12345.0;
  const bool accepted = vobrix::TryTextToFloat(text, tried);
  FUZZ_CHECK(accepted == vobrix::IsNumber(text));
  try {
    const double value = vobrix::TextToFloat(text);
    FUZZ_CHECK(accepted);
    FUZZ_CHECK(std::memcmp(&value, &tried, sizeof value) == 0);
    FUZZ_CHECK(std::isfinite(value));
  } catch (const ConversionError& e) {
    FUZZ_CHECK(!accepted);
    FUZZ_CHECK(e.text() == text);
    FUZZ_CHECK(e.kind() == ConversionError::Kind::kFloat);
    FUZZ_CHECK(tried == 12345.0);  // untouched on failure
  }
  // Every finite number that reads without the words reads the same with them.
  double lenient = 0.0;
  if (accepted) {
    FUZZ_CHECK(vobrix::TryTextToFloat(text, lenient, true) && lenient == tried);
  }

  // The syntax decides, then the range: the value is the correctly rounded one (strtod's).
  const std::string_view trimmed = Trimmed(text);
  if (!FloatSyntax(trimmed) || text.find('\0') != std::string::npos) {
    FUZZ_CHECK(!accepted);
    return;
  }
  const std::string number(trimmed);
  errno = 0;
  const double reference = std::strtod(number.c_str(), nullptr);
  if (std::isinf(reference)) {
    FUZZ_CHECK(!accepted);  // too large for a double
    return;
  }
  FUZZ_CHECK(accepted);
  if (std::fpclassify(reference) == FP_NORMAL) {
    FUZZ_CHECK(tried == reference);
  } else {
    // Too small: zero of the text's sign, or the subnormal itself.
    FUZZ_CHECK(tried == reference || tried == 0.0);
    FUZZ_CHECK(std::signbit(tried) == std::signbit(reference));
  }
}

void CheckTextToInt(const std::string& text) {
  long long expected = 0;
  const bool valid = text.find('\0') == std::string::npos && IntSyntax(Trimmed(text), expected) &&
                     expected >= std::numeric_limits<std::int32_t>::min() &&
                     expected <= std::numeric_limits<std::int32_t>::max();
  try {
    const std::int32_t value = vobrix::TextToInt(text);
    FUZZ_CHECK(valid);
    FUZZ_CHECK(value == expected);
  } catch (const ConversionError& e) {
    FUZZ_CHECK(!valid);
    FUZZ_CHECK(e.text() == text);
    FUZZ_CHECK(e.kind() == ConversionError::Kind::kInteger);
  }
}

// The significant digits of a mantissa text ("-1.2300" has 5, "0.0012" has 2).
int SignificantDigits(std::string_view mantissa) {
  int count = 0;
  bool started = false;
  for (char c : mantissa) {
    if (!IsDigit(c)) continue;
    if (c != '0') started = true;
    if (started) ++count;
  }
  return count;
}

// Whether a formatted text fails to read back only because rounding carried it past the largest
// double (1.79769313486232E308 for DBL_MAX with 15 digits). A known limit of the readers,
// tolerated here so that the target keeps looking for other faults.
bool RoundedPastLargest(const std::string& text) {
  return std::isinf(std::strtod(text.c_str(), nullptr));
}

void CheckFormatGeneral(double value, int digits) {
  const std::string text = vobrix::FormatGeneral(value, digits);
  if (std::isnan(value)) {
    FUZZ_CHECK(text == "NAN");
    return;
  }
  if (std::isinf(value)) {
    FUZZ_CHECK(text == (value < 0 ? "-INF" : "INF"));
    return;
  }
  if (value == 0.0) {
    FUZZ_CHECK(text == "0");
    return;
  }
  // The shape: [-]mantissa[E[-]exponent], no '+', no trailing zeros or point in a fraction.
  const std::size_t e = text.find('E');
  const std::string mantissa = text.substr(0, e);
  FUZZ_CHECK(text.find_first_not_of("0123456789.-E") == std::string::npos);
  FUZZ_CHECK((text[0] == '-') == (value < 0));
  if (mantissa.find('.') != std::string::npos) {
    FUZZ_CHECK(mantissa.back() != '0' && mantissa.back() != '.');
  }
  FUZZ_CHECK(SignificantDigits(mantissa) <= digits);
  if (e != std::string::npos) {
    FUZZ_CHECK(e + 1 < text.size() && text[e + 1] != '0' && text[e + 1] != '+');
  }

  // Read back: within half a unit of the last digit kept.
  double back = 0.0;
  if (!vobrix::TryTextToFloat(text, back)) {
    FUZZ_CHECK(RoundedPastLargest(text));
    return;
  }
  const long double v = value;
  const long double b = back;
  const long double unit = std::pow(10.0L, std::floor(std::log10(std::fabs(v))) - digits + 1);
  const long double slack = std::fabs(b) * 0x1p-52L + std::numeric_limits<double>::denorm_min();
  FUZZ_CHECK(std::fabs(b - v) <= 0.5L * unit * (1.0L + 1e-12L) + slack);
  if (digits >= 17) FUZZ_CHECK(back == value);
  if (digits <= 15 && std::fpclassify(back) == FP_NORMAL) {
    // A text of at most 15 digits survives a normal double: formatting it again changes
    // nothing. A subnormal keeps fewer digits: "1E-322" reads back as 9.88E-323.
    FUZZ_CHECK(vobrix::FormatGeneral(back, digits) == text);
    // Scientific exactly when the rounded integer part is too long or the magnitude tiny.
    const bool scientific = std::fabs(back) >= std::pow(10.0, digits) || std::fabs(back) < 1e-5;
    FUZZ_CHECK((e != std::string::npos) == scientific);
  }
}

// A short label reads back with the value's sign, or as zero: Start judges a remainder by its
// label, and a constant's symbol must not flip its sign.
void CheckSignKept(const std::string& text, double value) {
  double shown = 0.0;
  if (!vobrix::TryTextToFloat(text, shown)) {
    FUZZ_CHECK(RoundedPastLargest(text));
    return;
  }
  FUZZ_CHECK(!(shown < 0.0) || value < 0.0);
  FUZZ_CHECK(!(shown > 0.0) || value > 0.0);
}

void CheckShortFormats(double value) {
  if (!std::isfinite(value)) return;
  CheckSignKept(vobrix::FormatRemainder(value), value);
  CheckSignKept(vobrix::FormatConstantSymbol(value), value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CheckTextToFloat(text);
  CheckTextToInt(text);
  if (size >= sizeof(double) + 1) {
    double value = 0.0;
    std::memcpy(&value, data, sizeof value);
    const int digits = 1 + data[sizeof value] % 17;
    CheckFormatGeneral(value, digits);
    CheckShortFormats(value);
  }
  return 0;
}
