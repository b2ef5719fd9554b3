// Field renderers Iw, Fw.d, Gw.d and Aw, and the blank-moving helpers the
// callers apply to their results. The expected fields are the converter's
// documented output; the bit patterns pin the exact 32-bit values.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>

#include "format/fixed_format.h"
#include "text/text_helpers.h"

namespace {

using korvan::format::render_a;
using korvan::format::render_f;
using korvan::format::render_g;
using korvan::format::render_i;
using korvan::text::integer_text;
using korvan::text::left_adjust;
using korvan::text::right_adjust;
using korvan::text::trim_right;

// Fields start out as '?' so that a renderer that leaves a position
// unwritten shows up in the comparison.
std::string f_field(float value, int width, int decimals) {
  std::string field(static_cast<std::size_t>(width), '?');
  render_f(field, decimals, value);
  return field;
}

std::string g_field(float value, int width, int digits) {
  std::string field(static_cast<std::size_t>(width), '?');
  render_g(field, digits, value);
  return field;
}

std::string i_field(std::int64_t value, int width) {
  std::string field(static_cast<std::size_t>(width), '?');
  render_i(field, value);
  return field;
}

float from_bits(std::uint32_t bits) { return std::bit_cast<float>(bits); }

struct RealCase {
  float value;
  const char* expected;
};

struct SizedRealCase {
  float value;
  int width;
  int precision;
  const char* expected;
};

// ---------------------------------------------------------------- Fw.d

// F15.5 is the coordinates' field; the others show the rules at their edges.
TEST(FixedPointField, RoundedOnceFromTheExactValue) {
  const SizedRealCase cases[] = {
      {1234.5F, 15, 5, "     1234.50000"},
      {-0.25F, 15, 5, "       -0.25000"},
      {0.0F, 15, 5, "        0.00000"},
      {-0.0F, 15, 5, "        0.00000"},
      {-0.000004F, 15, 5, "        0.00000"},
      {512345.59375F, 15, 5, "   512345.59400"},
      {6543210.5F, 15, 5, "  6543210.50000"},
      {1.0e10F, 15, 5, "***************"},
      {-1.0e9F, 15, 5, "***************"},
      // The 4-byte value nearest to 1234.56 is 1234.56005859375.
      {1234.56F, 15, 5, "     1234.56006"},
      {123456.7890625F, 15, 5, "   123456.78900"},
      // Never more than nine significant digits, zeros after them.
      {99999.9921875F, 15, 5, "    99999.99220"},  // largest float below 1e5
      {9999.9990234375F, 15, 5, "     9999.99902"},
      {123456792.0F, 15, 5, "123456792.00000"},  // nearest to 123456789; fills the field
      {16777216.0F, 15, 5, " 16777216.00000"},
      {1234567936.0F, 15, 5, "***************"},
      {10000.0F, 15, 5, "    10000.00000"},  // ten digit places, the tenth a zero
      // Exact ties go away from zero.
      {0.015625F, 15, 5, "        0.01563"},  // 1/64: a tie at the 6th decimal
      {-0.015625F, 15, 5, "       -0.01563"},
      {2.5F, 5, 0, "   3."},
      {-2.5F, 5, 0, "  -3."},
      {0.5F, 5, 0, "   1."},
      {-0.4F, 5, 0, "   0."},  // rounds to zero: no sign
      // 2.675 is held as 2.67499995...; a detour through 9 digits would
      // give 2.67500000 and then 2.68.
      {2.675F, 8, 2, "    2.67"},
      // -5e-6 is held as -4.99999987e-6: below the tie, so zero and unsigned.
      {-5.0e-6F, 15, 5, "        0.00000"},
      {-1.0e-5F, 15, 5, "       -0.00001"},
      // The leading zero only where there is room.
      {0.25F, 7, 5, "0.25000"},
      {0.25F, 6, 5, ".25000"},
      {-0.25F, 7, 5, "-.25000"},
      {-0.25F, 6, 5, "******"},
      {0.0F, 6, 5, ".00000"},
      {0.0F, 5, 5, "*****"},
      {12.5F, 8, 5, "12.50000"},
      {12.5F, 7, 5, "*******"},
  };
  for (const SizedRealCase& c : cases) {
    EXPECT_EQ(f_field(c.value, c.width, c.precision), c.expected)
        << "F" << c.width << "." << c.precision << " of " << c.value;
  }
}

// ------------------------------------------------------------------ Gw.d

// G12.5 is the data's field and G13.6 the frequencies'; the others show the
// rules at their edges.
TEST(GeneralField, FixedOrExponentLayoutRoundedOnce) {
  const SizedRealCase cases[] = {
      {1.0F, 12, 5, "  1.0000    "},
      {-25.5F, 12, 5, " -25.500    "},
      {12345.0F, 12, 5, "  12345.    "},
      {0.5F, 12, 5, " 0.50000    "},
      {-0.5F, 12, 5, "-0.50000    "},  // fixed layout with its zero just fits
      {1234567.0F, 12, 5, " 0.12346E+07"},
      {-0.0123F, 12, 5, "-0.12300E-01"},
      {0.0F, 12, 5, "  0.0000    "},
      {-0.0F, 12, 5, "  0.0000    "},
      {99999.4F, 12, 5, "  99999.    "},
      {99999.6F, 12, 5, " 0.10000E+06"},  // rounds to 100000: exponent layout
      {99999.5F, 12, 5, " 0.10000E+06"},  // exact tie, away from zero
      {0.1F, 12, 5, " 0.10000    "},
      {0.099999F, 12, 5, " 0.99999E-01"},
      {0.0999996F, 12, 5, " 0.10000    "},  // rounds up to 0.1: fixed layout
      {-1.0e-30F, 12, 5, "-0.10000E-29"},
      {1.03125F, 12, 5, "  1.0313    "},  // exact tie, away from zero
      {-1.03125F, 12, 5, " -1.0313    "},
      {123456.0F, 12, 5, " 0.12346E+06"},
      // 1.00034999847...: one rounding gives 1.0003; a detour through
      // 9 digits would give 1.00035000 and then 1.0004.
      {from_bits(0x3f800b78), 12, 5, "  1.0003    "},
      {FLT_MAX, 12, 5, " 0.34028E+39"},
      {-FLT_MAX, 12, 5, "-0.34028E+39"},
      {FLT_MIN, 12, 5, " 0.11755E-37"},
      {std::numeric_limits<float>::denorm_min(), 12, 5, " 0.14013E-44"},
      {from_bits(0x007fffff), 12, 5, " 0.11755E-37"},  // largest subnormal
      {110.0F, 13, 6, "  110.000    "},
      {56000.0F, 13, 6, "  56000.0    "},
      {2000000.0F, 13, 6, " 0.200000E+07"},
      {0.05F, 13, 6, " 0.500000E-01"},
      {0.0F, 13, 6, "  0.00000    "},
      {123456.0F, 13, 6, "  123456.    "},
      {999999.5F, 13, 6, " 0.100000E+07"},
      // Narrow fields drop the leading zero, then overflow.
      {-0.5F, 11, 5, "-.50000    "},
      {0.5F, 10, 5, ".50000    "},
      {-0.5F, 10, 5, "**********"},
      {-1234567.0F, 11, 5, "-.12346E+07"},
      {-1234567.0F, 10, 5, "**********"},
      {1234567.0F, 11, 5, "0.12346E+07"},
      {1234567.0F, 10, 5, ".12346E+07"},
      {1234567.0F, 9, 5, "*********"},
      {12345.0F, 9, 5, "*********"},
      // Digits beyond the ninth are zeros.
      {1.0F / 3.0F, 18, 11, " 0.33333334300    "},
      {16777215.0F, 18, 11, "  16777215.000    "},
  };
  for (const SizedRealCase& c : cases) {
    EXPECT_EQ(g_field(c.value, c.width, c.precision), c.expected)
        << "G" << c.width << "." << c.precision << " of " << c.value;
  }
}

// A right-adjusted G field moves the four trailing blanks of the fixed
// layout to the front, as the row fields of the output file show.
TEST(GeneralField, RightAdjustedRowFields) {
  const RealCase cases[] = {
      {12345.0F, "      12345."},
      {123456.0F, " 0.12346E+06"},
      {0.0F, "      0.0000"},
      {-0.0F, "      0.0000"},
      {30.0F, "      30.000"},
      {-2.25F, "     -2.2500"},
  };
  for (const RealCase& c : cases) {
    std::string field = g_field(c.value, 12, 5);
    right_adjust(field);
    EXPECT_EQ(field, c.expected) << "value " << c.value;
  }
}

TEST(NonFiniteField, RightAlignedNamesShortenedWhenNarrow) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(g_field(nan, 12, 5), "         NaN");
  EXPECT_EQ(g_field(inf, 12, 5), "    Infinity");
  EXPECT_EQ(g_field(-inf, 13, 6), "    -Infinity");
  EXPECT_EQ(f_field(-inf, 15, 5), "      -Infinity");
  EXPECT_EQ(g_field(-inf, 8, 2), "    -Inf");
  EXPECT_EQ(f_field(inf, 6, 1), "   Inf");
}

// ------------------------------------------------------------------- Iw

TEST(IntegerField, RightAlignedOrAsterisks) {
  struct Case {
    std::int64_t value;
    int width;
    const char* expected;
  };
  const Case cases[] = {
      {12, 9, "       12"},
      {4, 3, "  4"},
      {0, 2, " 0"},
      {99, 2, "99"},
      {100, 2, "**"},
      {999, 3, "999"},
      {1000, 3, "***"},
      {-9999, 5, "-9999"},
      {-10000, 5, "*****"},
      {-1, 2, "-1"},
      {-1, 1, "*"},
      {7, 1, "7"},
      {std::numeric_limits<std::int32_t>::max(), 9, "*********"},
      {std::numeric_limits<std::int32_t>::min(), 9, "*********"},
      {std::numeric_limits<std::int32_t>::min(), 11, "-2147483648"},
      {std::numeric_limits<std::int32_t>::max(), 11, " 2147483647"},
      {std::numeric_limits<std::int64_t>::min(), 20, "-9223372036854775808"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(i_field(c.value, c.width), c.expected) << "I" << c.width << " of " << c.value;
  }
}

TEST(IntegerText, LeftAdjustedAndTrimmed) {
  EXPECT_EQ(integer_text(12, 9), "12");
  EXPECT_EQ(integer_text(0, 2), "0");
  EXPECT_EQ(integer_text(-40, 5), "-40");
  EXPECT_EQ(integer_text(12345, 5), "12345");
  EXPECT_EQ(integer_text(123456, 5), "*****");
  EXPECT_EQ(integer_text(100, 2), "**");
  EXPECT_EQ(integer_text(std::numeric_limits<std::int32_t>::min(), 11), "-2147483648");
}

// ------------------------------------------------------------------- Aw

TEST(TextField, PaddedOnTheLeftOrCutOnTheRight) {
  struct Case {
    std::string_view text;
    int width;
    const char* expected;
  };
  const Case cases[] = {
      {"abc", 5, "  abc"},
      {"abc", 3, "abc"},
      {"abcdef", 4, "abcd"},
      {"ab  ", 6, "  ab  "},  // trailing blanks are part of the item
      {"", 3, "   "},
      {"x", 0, ""},
  };
  for (const Case& c : cases) {
    std::string field(static_cast<std::size_t>(c.width), '?');
    render_a(field, c.text);
    EXPECT_EQ(field, c.expected) << "A" << c.width << " of \"" << c.text << "\"";
  }
}

// ------------------------------------------------------ blank movement

TEST(BlankMovement, AdjustAndTrimTouchOnlySpaces) {
  struct Case {
    const char* text;
    const char* right_adjusted;
    const char* left_adjusted;
    const char* trimmed;
  };
  const Case cases[] = {
      {"ab  ", "  ab", "ab  ", "ab"},
      {"  ab", "  ab", "ab  ", "  ab"},
      {" a b ", "  a b", "a b  ", " a b"},
      {"    ", "    ", "    ", ""},
      {"", "", "", ""},
      {"ab", "ab", "ab", "ab"},
      {"\tab\t ", " \tab\t", "\tab\t ", "\tab\t"},  // a tab is not a blank
  };
  for (const Case& c : cases) {
    std::string right = c.text;
    right_adjust(right);
    EXPECT_EQ(right, c.right_adjusted) << "right_adjust of \"" << c.text << "\"";
    std::string left = c.text;
    left_adjust(left);
    EXPECT_EQ(left, c.left_adjusted) << "left_adjust of \"" << c.text << "\"";
    EXPECT_EQ(trim_right(c.text), c.trimmed) << "trim_right of \"" << c.text << "\"";
  }
}

// The callers' usual chain: a number rendered into a wider text, the
// field's blanks moved to one end and dropped.
TEST(BlankMovement, FrequencyTextOfTwoBlanksAndG136) {
  const RealCase cases[] = {
      {110.0F, "110.000"},
      {3300.0F, "3300.00"},
      {56000.0F, "56000.0"},
      {2000000.0F, "0.200000E+07"},
      {0.05F, "0.500000E-01"},
  };
  for (const RealCase& c : cases) {
    std::string text(15, ' ');
    render_g(std::span<char>(text).subspan(2), 6, c.value);
    left_adjust(text);
    EXPECT_EQ(trim_right(text), c.expected) << "value " << c.value;
  }
}

}  // namespace
