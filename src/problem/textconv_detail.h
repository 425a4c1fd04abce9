// Pieces of the number syntax that the data-file reader shares with textconv.cpp. Internal to
// the problem layer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vobrix::detail {

// Length of the longest prefix of `text` in the decimal syntax: optional sign, digits with an
// optional point (at least one digit), optional exponent "e"/"E" with optional sign and at
// least one digit (an "e" without digits is left out of the number). 0 when there is none.
std::size_t ScanDecimal(std::string_view text);

// Reads a text that ScanDecimal accepts in full. False on overflow of the type (and `value`
// untouched); a magnitude too small for the type gives zero of the text's sign.
bool ReadDecimal(std::string_view number, float& value);
bool ReadDecimal(std::string_view number, double& value);

// FormatConstantSymbol's rounding (two significant digits, at most `maxDecimals` decimals) by
// the exact decimal expansion of a finite value: the reference of the fast path.
std::string FormatTwoDigitsExact(double value, int maxDecimals);

}  // namespace vobrix::detail
