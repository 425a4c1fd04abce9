#include "problem/textconv.h"

#include "common/error_text.h"
#include "problem/textconv_detail.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace vobrix {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// What the conversion error of `convert` says, or "accepted".
template <class Convert>
std::string Refusal(Convert convert) {
  return vobrix::testing::ErrorText<ConversionError>(convert, "accepted");
}

// Rounding is half away from zero on the binary value, carrying into a new digit (999999.5);
// scientific from below 0.00001, judged after rounding.
TEST(FormatGeneral, ShortestFormRoundingCarryAndTheScientificSwitches) {
  const std::tuple<double, int, const char*> cases[] = {
      {0.1, 6, "0.1"},
      {1234.5678, 6, "1234.57"},
      {-2.0 / 3.0, 6, "-0.666667"},
      {120.0, 6, "120"},
      {123456789.0, 6, "1.23457E8"},
      {1e6, 6, "1E6"},
      {-1e20, 15, "-1E20"},
      {123456789012345.0, 15, "123456789012345"},
      {1234567890123456.0, 15, "1.23456789012346E15"},
      {999999.4, 6, "999999"},
      {999999.5, 6, "1E6"},
      {-999999.7, 6, "-1E6"},
      {9.9999996, 6, "10"},
      {999999999999999.6, 15, "1E15"},
      {1234.125, 6, "1234.13"},
      {0.35, 1, "0.3"},
      {0.00001, 6, "0.00001"},
      {0.0000099999, 6, "9.9999E-6"},
      {0.00000999999999, 6, "0.00001"},
      {0.000012345678, 6, "0.0000123457"},
      {-2.5e-7, 6, "-2.5E-7"},
      {5e-324, 6, "4.94066E-324"},
      {-0.0, 6, "0"},
      {kInf, 15, "INF"},
      {-kInf, 6, "-INF"},
      {kNaN, 15, "NAN"}};
  for (const auto& [value, digits, text] : cases) {
    EXPECT_EQ(FormatGeneral(value, digits), text) << value << " with " << digits << " digits";
  }
}

TEST(FormatGeneral, FifteenDigitTextsRoundTrip) {
  std::mt19937_64 random(20240607);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exponent(-30, 30);
  for (int i = 0; i < 20000; ++i) {
    const double value = mantissa(random) * std::pow(10.0, exponent(random));
    const std::string text = FormatGeneral(value, 15);
    const double back = TextToFloat(text);
    EXPECT_EQ(FormatGeneral(back, 15), text);
    EXPECT_LE(std::fabs(back - value), std::fabs(value) * 5e-15) << text;
  }
  EXPECT_EQ(FormatGeneral(TextToFloat("9.99999999999999E307"), 15), "9.99999999999999E307");
}

TEST(TextToFloat, AcceptsTheStatedSyntaxAndRefusesEverythingElse) {
  const std::pair<const char*, double> accepted[] = {
      {"-1", -1.0},  {"+1", 1.0},        {"1.", 1.0},           {"-.5", -0.5},
      {"1E+5", 1e5}, {"2.5e-3", 2.5e-3}, {"  -1.5E2 ", -150.0}, {"\t2\t", 2.0},
      {"007", 7.0},  {"0.1", 0.1},       {"1e-400", 0.0}};
  for (const auto& [text, value] : accepted) {
    EXPECT_TRUE(IsNumber(text)) << "'" << text << "'";
    EXPECT_EQ(TextToFloat(text), value) << "'" << text << "'";
  }
  EXPECT_TRUE(std::signbit(TextToFloat("-1e-400")));
  for (const char* text :
       {"",    " ",   "1,000", "1.2.3", "1e", "e5", ".",   "-",    "0x10",  "1 2",
        "nan", "INF", "--1",   "1e5.0", "1a", "١",  ". 5", "1e 5", "0x1p3", "1e400"}) {
    EXPECT_FALSE(IsNumber(text)) << "'" << text << "'";
    EXPECT_THROW(TextToFloat(text), ConversionError) << "'" << text << "'";
  }
}

// Non-finite words and magnitudes beyond the double range only when asked: the program reads
// back its own 15-digit texts, which near the largest double round past it.
TEST(TextToFloat, InfinitiesOnlyWhenAskedAndErrorsCarryTheText) {
  const double largest = std::numeric_limits<double>::max();
  for (const double value : {largest, -largest, std::nextafter(largest, 0.0)}) {
    const std::string text = FormatGeneral(value, 15);
    EXPECT_THROW(TextToFloat(text), ConversionError) << text;
    EXPECT_EQ(TextToFloat(text, true), std::copysign(kInf, value)) << text;
  }
  EXPECT_EQ(TextToFloat(" -1e400 ", true), -kInf);
  EXPECT_EQ(TextToFloat(" -INF ", true), -kInf);
  EXPECT_EQ(TextToFloat("inf", true), kInf);
  EXPECT_TRUE(std::isnan(TextToFloat("NAN", true)));
  for (const char* text : {"1e400x", "+INF", "infinity", "-NAN", "IN F"}) {
    EXPECT_THROW(TextToFloat(text, true), ConversionError) << text;
  }
  EXPECT_EQ(Refusal([] { TextToFloat("abc"); }), "'abc' is not a valid floating point value");
}

TEST(TextToInt, AcceptsDecimalIntegersThatFit) {
  EXPECT_EQ(TextToInt(" -7 "), -7);
  EXPECT_EQ(TextToInt("+0005"), 5);
  EXPECT_EQ(TextToInt("2147483647"), 2147483647);
  EXPECT_EQ(TextToInt("-2147483648"), -2147483647 - 1);
  for (const char* text : {"2147483648", "-2147483649", "1.0", "1e3", "", "+-1", "1 2", "١"}) {
    EXPECT_EQ(Refusal([&] { TextToInt(text); }),
              std::string("'") + text + "' is not a valid integer value");
  }
}

// Narrowing rounds to nearest as the hardware does; only what would round to an infinity is
// out of range: there the narrowing gives an infinity and the text reading refuses it.
TEST(NarrowToFloat, RoundsToNearestAndSaturatesBeyondTheSingleRange) {
  constexpr float kMax = std::numeric_limits<float>::max();
  constexpr float kInfF = std::numeric_limits<float>::infinity();
  // -3.4028235677e38 lies just below the rounding midpoint, 3.4028235678e38 just above it.
  const std::pair<const char*, float> cases[] = {
      {"0.1", 0.1f},
      {"-2.5", -2.5f},
      {"1e-50", 0.0f},
      {"3.4028234e38", kMax},
      {"-3.4028235677e38", -kMax},
      {"3.4028235678e38", kInfF},
      {"3.5e38", kInfF},
      {"1e39", kInfF},
      {"-1e39", -kInfF},
      {"1e300", kInfF},
  };
  for (const auto& [text, narrowed] : cases) {
    EXPECT_EQ(NarrowToFloat(TextToFloat(text)), narrowed) << text;
    const std::string refused = std::string("'") + text + "' is beyond the single-precision range";
    EXPECT_EQ(Refusal([&] { EXPECT_EQ(TextToSingle(text), narrowed) << text; }),
              std::isfinite(narrowed) ? "accepted" : refused);
  }
  EXPECT_EQ(NarrowToFloat(1e39L * 0.01L), 1e37f);
  EXPECT_THROW(TextToSingle("abc"), ConversionError);
}

TEST(FormatConstantSymbol, TwoSignificantDigitsWithThreeDecimals) {
  const std::pair<double, const char*> cases[] = {
      {3.14159, "3.100"}, {-9.98, "-10.000"}, {-9.94, "-9.900"},  {0.02, "0.020"},
      {-0.0, "0.000"},    {123.4, "1.2E2"},   {99.96, "1E2"},     {-150.0, "-1.5E2"},
      {0.00149, "0.001"}, {0.0015, "0.002"},  {-0.0004, "0.000"}, {-0.0006, "-0.001"},
      {55.5, "56.000"},   {-0.125, "-0.130"}, {kInf, "INF"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(FormatConstantSymbol(value), text) << value;
}

// The symbols are made without the exact decimal expansion where that is safe: they must be
// the same texts, ties and carries included, over every kind of value.
TEST(FormatConstantSymbol, AgreesWithTheExactExpansionEverywhere) {
  std::vector<double> values{0.0625, 0.125,  2.25,    0.0005,     0.00048828125, 0.0009765625,
                             9.95,   99.5,   99.49,   9.999999,   0.0999999,     0.1,
                             1e-300, 5e-324, -0.0,    0.0014999,  0.0015,        1.05,
                             -99.99, 100.0,  12345.6, 0.09500001, 0.0095,        0.00949999};
  std::mt19937_64 random(7);
  for (int i = 0; i < 50000; ++i) {
    values.push_back(std::uniform_real_distribution<double>(-120.0, 120.0)(random));
    values.push_back(std::ldexp(std::uniform_real_distribution<double>(-1.0, 1.0)(random),
                                std::uniform_int_distribution<int>(-30, 8)(random)));
    // Values on the grid of the rounding, where ties lie.
    values.push_back(std::uniform_int_distribution<int>(-200000, 200000)(random) / 2048.0);
  }
  for (int k = 0; k < 100000; ++k) values.push_back(-10.0 + k * 20.0 / 100000);
  for (double value : values) {
    ASSERT_EQ(FormatConstantSymbol(value), detail::FormatTwoDigitsExact(value, 3)) << value;
    ASSERT_EQ(FormatRemainder(value), detail::FormatTwoDigitsExact(value, 4)) << value;
  }
}

TEST(FormatRemainder, FixedWithFourDecimalsBelowOneHundred) {
  // 1 - 0.7f - 0.2f in double is 0.10000000149..., 1 - 0.7f - 0.3f - 0.1f just below -0.1.
  const double fromSingles = 1.0 - double{0.7f} - double{0.2f};
  const double negative = 1.0 - double{0.7f} - double{0.3f} - double{0.1f};
  const std::pair<double, const char*> cases[] = {
      {fromSingles, "0.1000"}, {negative, "-0.1000"}, {1.0 / 3.0, "0.3300"},    {12.34, "12.0000"},
      {-150.0, "-1.5E2"},      {99.96, "1E2"},        {99.4, "99.0000"},        {0.00123, "0.0012"},
      {0.125, "0.1300"},       {-0.125, "-0.1300"},   {0.1249999999, "0.1200"}, {-0.0, "0.0000"},
      {-0.00004, "0.0000"},    {-0.00006, "-0.0001"}, {2.0e9, "2E9"},           {kNaN, "NAN"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(FormatRemainder(value), text) << value;
}

}  // namespace
}  // namespace vobrix
