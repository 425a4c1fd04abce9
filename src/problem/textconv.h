// The one place where numbers become texts and texts become numbers. Locale never matters.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vobrix {

// A text that is not a number (or not an integer) where one was needed; carries the text.
// what() reads "'abc' is not a valid floating point value" (or "... integer value"), ready
// for a message box.
class ConversionError : public std::runtime_error {
 public:
  enum class Kind { kFloat, kInteger, kSingleRange };
  explicit ConversionError(std::string text);  // a floating-point conversion
  ConversionError(std::string text, Kind kind);
  const std::string& text() const { return text_; }
  Kind kind() const { return kind_; }

 private:
  std::string text_;
  Kind kind_ = Kind::kFloat;
};

// The general number format with `digits` significant digits: shortest form, "-" for negative
// values, scientific (1.23457E8, 1E-6) when the integer part has more than `digits` digits or
// the magnitude is below 0.00001. Non-finite values give "INF", "-INF" and "NAN".
// Rounding is half away from zero on the exact binary value; both switches to scientific
// look at the rounded value (999999.5 gives 1E6 with 6 digits). Zero of either sign is "0".
// `digits` below 1 counts as 1.
std::string FormatGeneral(double value, int digits);

// The number that the text FormatGeneral(value, digits) reads back as: the value rounded half
// away from zero to `digits` significant digits. Zero of either sign gives +0; infinities and
// NaN pass through; a rounding beyond the double range gives an infinity of the value's sign.
double RoundToDigits(double value, int digits);

// Optional blanks, optional sign, digits with an optional point (at least one digit), an
// optional exponent, optional trailing blanks. Anything else throws ConversionError. The
// words "INF", "-INF" and "NAN" that FormatGeneral writes are read back only when
// acceptNonFinite is set (any letter case). Blanks are spaces and tabs. A number whose
// magnitude is too large for a double throws ConversionError, or with acceptNonFinite reads
// as the infinity of its sign (the 15-digit text of a value near the largest double rounds
// past it); one too small for a double reads as zero of its sign.
double TextToFloat(std::string_view text, bool acceptNonFinite = false);
// Optional blanks, optional sign, decimal digits, optional trailing blanks; must fit 32 bits.
std::int32_t TextToInt(std::string_view text);
// Narrows to single precision, rounding to nearest as the hardware does; a value that would
// round to an infinity gives the infinity of its sign (a plain cast would be undefined there),
// which callers refuse. Every user value stored as a float is narrowed here.
float NarrowToFloat(long double value);
// TextToFloat narrowed by NarrowToFloat; a value beyond the single-precision range throws
// ConversionError of kind kSingleRange ("'1e39' is beyond the single-precision range").
float TextToSingle(std::string_view text);
// True when TextToFloat would accept the text.
bool IsNumber(std::string_view text);
// TextToFloat without the exception: false (and `value` untouched) where it would throw.
bool TryTextToFloat(std::string_view text, double& value, bool acceptNonFinite = false);

// The symbol of a constant: two significant digits with three decimals (3.100, -10.000,
// 0.020), or 1.2E2 / 1E2 from a magnitude of 100 on. Rounded once, half away from zero, to
// two significant digits but no more than three decimals (0.00149 gives 0.001, 0.0015
// gives 0.002); a value that rounds to zero is 0.000 without a sign.
std::string FormatConstantSymbol(double value);

// The text of a remainder label: two significant digits, at most four decimals, fixed with
// four decimals below 100 (0.1000, -0.0500, 0.0000), else -1.5E2 / 1E2. Rounding is half
// away from zero on the exact binary value (0.125 gives 0.1300). Non-finite remainders give
// "INF", "-INF", "NAN" as FormatGeneral does.
std::string FormatRemainder(double remainder);

}  // namespace vobrix
