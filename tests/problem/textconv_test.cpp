#include "problem/textconv.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace vobrix {
namespace {

using Case = std::pair<double, const char*>;

void ExpectGeneral(const std::vector<Case>& cases, int digits) {
  for (const auto& [value, text] : cases) {
    EXPECT_EQ(FormatGeneral(value, digits), text)
        << "value " << value << ", " << digits << " digits";
  }
}

TEST(FormatGeneral, ShortestFormWithSixDigits) {
  ExpectGeneral({{0.1, "0.1"},
                 {3.14159265, "3.14159"},
                 {1234.5678, "1234.57"},
                 {-0.5, "-0.5"},
                 {100.0, "100"},
                 {120.0, "120"},
                 {123456.0, "123456"},
                 {2.50, "2.5"},
                 {-42.0, "-42"},
                 {0.0001234, "0.0001234"},
                 {1.0 / 3.0, "0.333333"},
                 {-2.0 / 3.0, "-0.666667"}},
                6);
}

TEST(FormatGeneral, ZeroAndNonFinite) {
  for (int digits : {6, 15}) {
    EXPECT_EQ(FormatGeneral(0.0, digits), "0");
    EXPECT_EQ(FormatGeneral(-0.0, digits), "0");
    EXPECT_EQ(FormatGeneral(std::numeric_limits<double>::infinity(), digits), "INF");
    EXPECT_EQ(FormatGeneral(-std::numeric_limits<double>::infinity(), digits), "-INF");
    EXPECT_EQ(FormatGeneral(std::numeric_limits<double>::quiet_NaN(), digits), "NAN");
  }
}

TEST(FormatGeneral, ScientificWhenTheIntegerPartIsTooLong) {
  ExpectGeneral({{123456789.0, "1.23457E8"},
                 {1234567.0, "1.23457E6"},
                 {-1234567.0, "-1.23457E6"},
                 {1e6, "1E6"},
                 {2.5e10, "2.5E10"},
                 {1e300, "1E300"},
                 {16777216.0, "1.67772E7"}},
                6);
  ExpectGeneral({{123456789012345.0, "123456789012345"},
                 {1e15, "1E15"},
                 {1234567890123456.0, "1.23456789012346E15"},
                 {-1e20, "-1E20"}},
                15);
}

TEST(FormatGeneral, RoundingCarriesIntoANewDigit) {
  ExpectGeneral({{999999.4, "999999"},
                 {999999.5, "1E6"},  // rounds to 1000000: seven integer digits
                 {999999.7, "1E6"},
                 {-999999.7, "-1E6"},
                 {99999.96, "100000"},
                 {9.9999996, "10"},
                 {0.99999996, "1"},
                 {0.000099999996, "0.0001"}},
                6);
  ExpectGeneral({{999999999999999.6, "1E15"}, {0.9999999999999999, "1"}}, 15);
}

TEST(FormatGeneral, ExactTiesRoundHalfAwayFromZero) {
  // 1234.125 and 0.125 are exact in binary: true ties.
  EXPECT_EQ(FormatGeneral(1234.125, 6), "1234.13");
  EXPECT_EQ(FormatGeneral(-1234.125, 6), "-1234.13");
  EXPECT_EQ(FormatGeneral(0.125, 2), "0.13");
  EXPECT_EQ(FormatGeneral(2.5, 1), "3");
  // 0.35 is 0.34999999999999997779... in binary: below the tie.
  EXPECT_EQ(FormatGeneral(0.35, 1), "0.3");
}

TEST(FormatGeneral, ScientificBelowOneHundredThousandth) {
  ExpectGeneral({{0.00001, "0.00001"},
                 {-0.00001, "-0.00001"},
                 {0.0000099999, "9.9999E-6"},
                 {0.00000999999999, "0.00001"},  // rounds up to 0.00001 itself
                 {0.000012345678, "0.0000123457"},
                 {1e-6, "1E-6"},
                 {-2.5e-7, "-2.5E-7"},
                 {1.23456789e-20, "1.23457E-20"},
                 {5e-324, "4.94066E-324"}},
                6);
}

TEST(FormatGeneral, FifteenDigitTextsRoundTrip) {
  const std::vector<std::string> texts = {
      "0.1",     "3.14159265358979",     "-98765.4321", "123456789012345", "1.23456789012345E-7",
      "0.00001", "9.99999999999999E307", "0.5",         "-1E-300"};
  for (const auto& text : texts) {
    EXPECT_EQ(FormatGeneral(TextToFloat(text), 15), text);
  }

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
}

TEST(FormatGeneral, SixDigitTextsOfSinglesReadBackToTheSameText) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> values(-1e6f, 1e6f);
  for (int i = 0; i < 20000; ++i) {
    const std::string text = FormatGeneral(values(random), 6);
    EXPECT_EQ(FormatGeneral(TextToFloat(text), 6), text);
  }
}

TEST(FormatGeneral, IgnoresTheCLocale) {
  const char* previous = std::setlocale(LC_ALL, nullptr);
  const std::string saved = previous ? previous : "C";
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "fr_FR.UTF-8")) {
    GTEST_SKIP() << "no locale with a decimal comma installed";
  }
  EXPECT_EQ(FormatGeneral(3.25, 6), "3.25");
  EXPECT_EQ(TextToFloat("3.25"), 3.25);
  EXPECT_FALSE(IsNumber("3,25"));
  EXPECT_EQ(FormatRemainder(0.1), "0.1000");
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(TextToFloat, AcceptsTheStatedSyntax) {
  const std::vector<std::pair<const char*, double>> cases = {{"1", 1.0},
                                                             {"-1", -1.0},
                                                             {"+1", 1.0},
                                                             {"1.", 1.0},
                                                             {".5", 0.5},
                                                             {"-.5", -0.5},
                                                             {"+3.", 3.0},
                                                             {"1e5", 1e5},
                                                             {"1E+5", 1e5},
                                                             {"2.5e-3", 2.5e-3},
                                                             {"  -1.5E2 ", -150.0},
                                                             {"1.5  ", 1.5},
                                                             {"  7", 7.0},
                                                             {"\t2\t", 2.0},
                                                             {"007", 7.0},
                                                             {"0.000", 0.0},
                                                             {"1.23457E8", 123457000.0},
                                                             {"1e-400", 0.0}};
  for (const auto& [text, value] : cases) {
    EXPECT_EQ(TextToFloat(text), value) << "'" << text << "'";
    EXPECT_TRUE(IsNumber(text)) << "'" << text << "'";
  }
  EXPECT_TRUE(std::signbit(TextToFloat("-1e-400")));
  EXPECT_EQ(TextToFloat("0.1"), 0.1);  // correctly rounded
}

TEST(TextToFloat, RefusesEverythingElse) {
  const std::vector<const char*> refused = {
      "",    " ",   "1,000", "1.2.3", "1e",       "e5",  ".",   "+",    "-",     "0x10",
      "1 2", "nan", "inf",   "INF",   "-INF",     "NAN", "1e+", "--1",  "+-1",   "1e5.0",
      "abc", "1a",  "١",     "1_000", "infinity", ". 5", "- 1", "1e 5", "0x1p3", "1d5"};
  for (const char* text : refused) {
    EXPECT_FALSE(IsNumber(text)) << "'" << text << "'";
    EXPECT_THROW(TextToFloat(text), ConversionError) << "'" << text << "'";
  }
}

TEST(TextToFloat, OverflowIsAConversionError) {
  EXPECT_THROW(TextToFloat("1e400"), ConversionError);
  EXPECT_THROW(TextToFloat("-1e309"), ConversionError);
  EXPECT_THROW(TextToFloat("1e400", true), ConversionError);
  EXPECT_FALSE(IsNumber("1e400"));
  EXPECT_EQ(TextToFloat("1.7976931348623157e308"), std::numeric_limits<double>::max());
  EXPECT_EQ(TextToFloat("0.000001e-320"), 0.0);
  EXPECT_EQ(TextToFloat("100000e-400"), 0.0);
}

TEST(TextToFloat, NonFiniteWordsOnlyWhenAsked) {
  EXPECT_EQ(TextToFloat("INF", true), std::numeric_limits<double>::infinity());
  EXPECT_EQ(TextToFloat(" -INF ", true), -std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(TextToFloat("NAN", true)));
  EXPECT_TRUE(std::isnan(TextToFloat("nan", true)));
  EXPECT_EQ(TextToFloat("inf", true), std::numeric_limits<double>::infinity());
  for (const char* text : {"+INF", "infinity", "-NAN", "IN F"}) {
    EXPECT_THROW(TextToFloat(text, true), ConversionError) << text;
  }
  // What FormatGeneral writes reads back.
  for (double value :
       {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(TextToFloat(FormatGeneral(value, 15), true), value);
  }
}

TEST(ConversionError, CarriesTheTextAndAReadableMessage) {
  try {
    TextToFloat("abc");
    FAIL();
  } catch (const ConversionError& error) {
    EXPECT_EQ(error.text(), "abc");
    EXPECT_EQ(error.kind(), ConversionError::Kind::kFloat);
    EXPECT_STREQ(error.what(), "'abc' is not a valid floating point value");
  }
  try {
    TextToInt(" 1.5");
    FAIL();
  } catch (const ConversionError& error) {
    EXPECT_EQ(error.text(), " 1.5");
    EXPECT_EQ(error.kind(), ConversionError::Kind::kInteger);
    EXPECT_STREQ(error.what(), "' 1.5' is not a valid integer value");
  }
  EXPECT_STREQ(ConversionError("x").what(), "'x' is not a valid floating point value");
}

TEST(TextToInt, AcceptsDecimalIntegersThatFit) {
  EXPECT_EQ(TextToInt("42"), 42);
  EXPECT_EQ(TextToInt(" -7 "), -7);
  EXPECT_EQ(TextToInt("+3"), 3);
  EXPECT_EQ(TextToInt("0005"), 5);
  EXPECT_EQ(TextToInt("2147483647"), 2147483647);
  EXPECT_EQ(TextToInt("-2147483648"), -2147483647 - 1);
  for (const char* text : {"2147483648", "-2147483649", "99999999999999999999", "1.0", "1e3", "",
                           " ", "+", "-", "+-1", "0x10", "1 2", "1,000", "abc", "١"}) {
    EXPECT_THROW(TextToInt(text), ConversionError) << "'" << text << "'";
  }
}

TEST(FormatConstantSymbol, TwoSignificantDigitsWithThreeDecimals) {
  const std::vector<Case> cases = {
      {3.14159, "3.100"}, {-9.98, "-10.000"},  {-10.0, "-10.000"}, {-9.94, "-9.900"},
      {0.02, "0.020"},    {0.0, "0.000"},      {-0.0, "0.000"},    {0.25, "0.250"},
      {0.75, "0.750"},    {9.98, "10.000"},    {123.4, "1.2E2"},   {100.0, "1E2"},
      {99.96, "1E2"},     {-150.0, "-1.5E2"},  {1234.0, "1.2E3"},  {1e30, "1E30"},
      {0.00123, "0.001"}, {0.00149, "0.001"},  {0.0015, "0.002"},  {0.0004, "0.000"},
      {-0.0004, "0.000"}, {-0.0006, "-0.001"}, {55.5, "56.000"},   {-0.125, "-0.130"}};
  for (const auto& [value, text] : cases) {
    EXPECT_EQ(FormatConstantSymbol(value), text) << value;
  }
  EXPECT_EQ(FormatConstantSymbol(std::numeric_limits<double>::infinity()), "INF");
}

TEST(FormatConstantSymbol, DefaultConstantTable) {
  // -10 + k * 20 / 1000 from single-precision ends, as the problem builds its constants.
  const float lower = -10.0f;
  const float upper = 10.0f;
  auto constant = [&](int k) {
    return static_cast<double>(lower + k * (static_cast<long double>(upper) - lower) / 1000);
  };
  EXPECT_EQ(FormatConstantSymbol(constant(0)), "-10.000");
  EXPECT_EQ(FormatConstantSymbol(constant(1)), "-10.000");
  EXPECT_EQ(FormatConstantSymbol(constant(3)), "-9.900");
  EXPECT_EQ(FormatConstantSymbol(constant(500)), "0.000");
  EXPECT_EQ(FormatConstantSymbol(constant(501)), "0.020");
  EXPECT_EQ(FormatConstantSymbol(constant(999)), "10.000");
}

TEST(FormatRemainder, FixedWithFourDecimalsBelowOneHundred) {
  const std::vector<Case> cases = {
      {0.1, "0.1000"},          {1.0 / 3.0, "0.3300"}, {-0.05, "-0.0500"},
      {12.34, "12.0000"},       {-150.0, "-1.5E2"},    {-100.0, "-1E2"},
      {150.0, "1.5E2"},         {99.96, "1E2"},        {99.4, "99.0000"},
      {0.000123, "0.0001"},     {0.00123, "0.0012"},   {0.123, "0.1200"},
      {0.125, "0.1300"},        {-0.125, "-0.1300"},   {0.1250000001, "0.1300"},
      {0.1249999999, "0.1200"}, {0.0, "0.0000"},       {-0.0, "0.0000"},
      {-0.00004, "0.0000"},     {0.00005, "0.0001"},   {-0.00006, "-0.0001"},
      {1.0, "1.0000"},          {-1.0, "-1.0000"},     {2.0e9, "2E9"}};
  for (const auto& [value, text] : cases) {
    EXPECT_EQ(FormatRemainder(value), text) << value;
  }
}

TEST(FormatRemainder, SinglePrecisionSharesWidenedToDouble) {
  // The remainder labels: single-precision shares subtracted in double.
  auto remainder = [](float a, float b, float c) {
    return 1.0 - static_cast<double>(a) - static_cast<double>(b) - static_cast<double>(c);
  };
  EXPECT_EQ(FormatRemainder(remainder(0.7f, 0.2f, 0.0f)), "0.1000");  // 0.10000000149...
  EXPECT_EQ(FormatRemainder(remainder(0.5f, 0.2f, 0.0f)), "0.3000");
  EXPECT_EQ(FormatRemainder(remainder(0.7f, 0.3f, 0.0f)), "0.0000");
  EXPECT_EQ(FormatRemainder(remainder(0.7f, 0.3f, 0.1f)), "-0.1000");
  EXPECT_EQ(FormatRemainder(remainder(0.3f, 0.575f, 0.0f)), "0.1300");
  // Start reads the label back: a negative label text stays negative.
  EXPECT_LT(TextToFloat(FormatRemainder(remainder(0.7f, 0.3f, 0.1f))), 0.0);
  EXPECT_EQ(TextToFloat(FormatRemainder(-0.00004)), 0.0);
}

TEST(FormatRemainder, NonFinite) {
  EXPECT_EQ(FormatRemainder(-std::numeric_limits<double>::infinity()), "-INF");
  EXPECT_EQ(FormatRemainder(std::numeric_limits<double>::quiet_NaN()), "NAN");
}

}  // namespace
}  // namespace vobrix
