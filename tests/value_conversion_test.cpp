// Conversions of single free-format values into integers, reals and texts.
// The reals are checked bit for bit, since the data load stores them as read.
#include "text/value_conversion.h"

#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace korvan::text {
namespace {

std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }

struct IntegerCase {
  std::string_view text;
  bool accepted;
  std::int32_t value;
};

TEST(ConvertInteger, SignsDigitsAndRangeLimits) {
  const IntegerCase cases[] = {
      {"0", true, 0},
      {"12", true, 12},
      {"+7", true, 7},
      {"-7", true, -7},
      {"0007", true, 7},
      {"-0", true, 0},
      {"+", true, 0},  // a lone sign is zero
      {"-", true, 0},
      {"2147483647", true, 2147483647},
      {"-2147483648", true, -2147483647 - 1},
      {"000000000000000000000000012", true, 12},
      {"2147483648", false, 0},
      {"-2147483649", false, 0},
      {"99999999999999999999", false, 0},
      {"3.0", false, 0},
      {"3.", false, 0},
      {"3e0", false, 0},
      {"1e3", false, 0},
      {"1d3", false, 0},
      {"three", false, 0},
      {"12a", false, 0},
      {"1-2", false, 0},  // a second sign after digits
      {"5+", false, 0},
      {"+-5", false, 0},
      {"--5", false, 0},
      {"0x10", false, 0},
  };
  for (const IntegerCase& c : cases) {
    std::int32_t value = -99;
    EXPECT_EQ(convert_integer(c.text, value), c.accepted) << c.text;
    if (c.accepted) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

struct RealCase {
  std::string_view text;
  float value;
};

TEST(ConvertReal, MantissaAndExponentSpellings) {
  const RealCase cases[] = {
      {"7", 7.0f},
      {"12", 12.0f},
      {"5.", 5.0f},
      {".5", 0.5f},
      {"-.5", -0.5f},
      {"+.5", 0.5f},
      {"-0.25", -0.25f},
      {"1.5D3", 1500.0f},
      {"1.5d3", 1500.0f},
      {"1.5E+03", 1500.0f},
      {"1.5e3", 1500.0f},
      {"1.5+3", 1500.0f},  // a bare sign starts the exponent
      {"1.5q3", 1500.0f},
      {"1.5Q3", 1500.0f},
      {"1.5D+3", 1500.0f},
      {"15000d-1", 1500.0f},
      {"1.5-3", 1.5e-3f},
      {"-1.5-3", -1.5e-3f},
      {"3.5e2", 350.0f},
      {".5e1", 5.0f},
      {"5.e2", 500.0f},
      {"5.E-1", 0.5f},
      {"0012.500", 12.5f},
      {"120.5", 120.5f},
      {"-40.25", -40.25f},
      {"0.1", 0.1f},
      {"1e-40", 1e-40f},  // subnormal, still a float
      {"0e400", 0.0f},    // zero with a huge exponent is still zero
  };
  for (const RealCase& c : cases) {
    float value = -99.0f;
    ASSERT_TRUE(convert_real(c.text, value)) << c.text;
    EXPECT_EQ(bits(value), bits(c.value)) << c.text << " gave " << value;
  }
}

TEST(ConvertReal, RefusesWhatIsNotANumber) {
  const std::string_view cases[] = {
      "",    "+",     "-",     ".",      "-.",    "e5",    ".e5",   "1.5e",  "1.5e+", "1.5E-",
      "1.5d", "1.5q", "1.5+",  "1.5-",   "1..5",  "1.5.",  "1.5e3.0", "1.5e3e2", "1,5",
      "1.5x", "x1.5", "1.5f3", "1.5 ",   "inf",   "-inf",  "infinity", "nan",  "NaN", "0x1p3",
      "--1",  "+-1",  "1.5e++3", "1.5+-3", "1.5-+3", "(1.5)",
  };
  for (const std::string_view text : cases) {
    float value = -99.0f;
    EXPECT_FALSE(convert_real(text, value)) << '"' << text << '"';
  }
}

TEST(ConvertReal, BeyondFloatRangeIsMalformedAndBelowItIsSignedZero) {
  const float next_after_max_half = std::nextafter(FLT_MAX, 0.0f);
  const RealCase accepted[] = {
      {"3.4028235e38", FLT_MAX},
      {"3.40282356e38", FLT_MAX},  // just under half way to 2^128
      {"-3.40282356E38", -FLT_MAX},
      {"3.4028234e38", FLT_MAX},
      {"3.4028233e38", next_after_max_half},
      {"1.17549435e-38", FLT_MIN},
      {"1.4e-45", std::numeric_limits<float>::denorm_min()},
      {"1e-50", 0.0f},
      {"-1e-50", -0.0f},
      {"1d-50", 0.0f},
      {"-1.0-50", -0.0f},
      {"1e-99999999999999999999", 0.0f},
      {"-1q-400", -0.0f},
      {"-0", -0.0f},
      {"-0.0d0", -0.0f},
  };
  for (const RealCase& c : accepted) {
    float value = -99.0f;
    ASSERT_TRUE(convert_real(c.text, value)) << c.text;
    EXPECT_EQ(bits(value), bits(c.value)) << c.text << " gave " << value;
  }
  const std::string_view refused[] = {
      "3.4028236e38", "3.40282357e38", "1e39", "-1e39", "1d39", "1+39", "-1q39",
      "1e99999999999999999999", "340282356779733661637539395458142568448",
  };
  for (const std::string_view text : refused) {
    float value = -99.0f;
    EXPECT_FALSE(convert_real(text, value)) << text;
  }
}

// Decimal values chosen so that rounding first to double and then to float
// lands on the wrong float: the double nearest to each is an exact tie.
TEST(ConvertReal, NearestFloatWithoutDoubleRounding) {
  const float one_up = std::nextafter(1.0f, 2.0f);
  const float two_up = std::nextafter(one_up, 2.0f);
  const RealCase cases[] = {
      {"1.00000005960464477539062499", 1.0f},
      {"1.000000059604644775390625000001", one_up},
      {"1.000000059604644775390625", 1.0f},  // exact tie: to even
      {"1.00000005960464477539062499D0", 1.0f},
      {"1.000000059604644775390625000001d0", one_up},
      {"100000005960464477539062500001-29", one_up},
      {"1.00000017881393432617187499", one_up},
      {"1.000000178813934326171875", two_up},  // exact tie: to even
      {"1.000000178813934326171875000001q0", two_up},
      {"-1.000000059604644775390625000001", -one_up},
  };
  for (const RealCase& c : cases) {
    float value = -99.0f;
    ASSERT_TRUE(convert_real(c.text, value)) << c.text;
    EXPECT_EQ(bits(value), bits(c.value)) << c.text << " gave " << value;
  }
}

// The exact decimal midpoint between a float and the next one up, written
// with all its digits (a double holds it exactly and printf prints it
// exactly). `tweak` moves it a hair below or above, or leaves the tie.
std::string midpoint_text(float low, std::string_view tweak, std::string_view exponent_letter) {
  const double mid = (static_cast<double>(low) + static_cast<double>(std::nextafter(low, INFINITY))) / 2;
  std::array<char, 400> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%.250e", mid);
  std::string text(buffer.data());
  const std::size_t e = text.find('e');
  std::string mantissa = text.substr(0, e);
  const std::string exponent = text.substr(e + 1);  // signed, e.g. "-05"
  while (mantissa.back() == '0') mantissa.pop_back();
  if (tweak == "below") {
    // The last digit left is not a zero: lower it and fill with nines.
    const bool whole = mantissa.back() == '.';
    if (whole) mantissa.pop_back();
    --mantissa.back();
    mantissa += whole ? ".9999" : "9999";
  } else if (tweak == "above") {
    mantissa += "0001";
  }
  return mantissa + std::string(exponent_letter) + exponent;
}

// Sweeps the ends of the float range and random floats of every magnitude:
// just below, at and just above the midpoint to the next float must give the
// lower float, the even one of the two and the upper float, whichever way the
// exponent is spelt. (Above the largest float the tie goes to infinity and is
// refused; see the range test.)
TEST(ConvertReal, MidpointSweepAgainstExactDecimalExpansions) {
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<std::uint32_t> pattern(0, bits(FLT_MAX) - 1);
  const std::string_view letters[] = {"e", "E", "d", "D", "q", "Q", ""};
  const float ends[] = {0.0f, std::numeric_limits<float>::denorm_min(), std::nextafter(FLT_MIN, 0.0f),
                        FLT_MIN, std::nextafter(FLT_MAX, 0.0f)};
  const int count = testing::kSanitized ? 1500 : 20000;
  for (int n = 0; n < count; ++n) {
    const std::size_t at = static_cast<std::size_t>(n);
    const float low = at < std::size(ends) ? ends[at] : std::bit_cast<float>(pattern(rng));
    const float high = std::nextafter(low, INFINITY);
    const float even = (bits(low) & 1) == 0 ? low : high;
    const std::string_view letter = letters[at % std::size(letters)];
    const bool negative = n % 2 == 1;
    const auto check = [&](std::string_view tweak, float expected) {
      const std::string text = (negative ? "-" : "") + midpoint_text(low, tweak, letter);
      float value = -99.0f;
      ASSERT_TRUE(convert_real(text, value)) << text;
      EXPECT_EQ(bits(value), bits(negative ? -expected : expected)) << text;
    };
    check("below", low);
    check("tie", even);
    check("above", high);
    if (HasFailure()) return;
  }
}

TEST(ConvertText, PadsOrCutsOnTheRightAndKeepsCase) {
  struct Case {
    std::string_view text;
    std::size_t length;
    std::string_view field;
  };
  const Case cases[] = {
      {"xyz", 1, "x"},   {"X", 1, "X"},     {"ab", 4, "ab  "},  {"", 3, "   "},
      {"AbC", 3, "AbC"}, {"a b", 5, "a b  "}, {"abc", 0, ""},
  };
  for (const Case& c : cases) {
    std::string field(c.length, '#');
    convert_text(c.text, field);
    EXPECT_EQ(field, c.field) << c.text;
  }
}

}  // namespace
}  // namespace korvan::text
