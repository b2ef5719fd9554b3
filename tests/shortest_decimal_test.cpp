// The shortest decimal of floats and doubles against std::to_chars, the
// reference it must match byte for byte: each layout at its edges, then a
// binade where neighbouring floats are closest, the turns between fixed
// point and the exponent form, a stride through the floats data hold, and
// doubles as coordinates and as any bit pattern.
#include "format/shortest_decimal.h"

#include <bit>
#include <cmath>
#include <charconv>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace korvan::format {
namespace {

template <typename Real>
struct LayoutCase {
  Real value;
  const char* text;  // as std::to_chars writes it
};

template <typename Real, std::size_t kRoom>
std::string shortest(Real value) {
  char text[kRoom];
  return std::string(text, put_shortest(text, value));
}

TEST(ShortestDecimal, LaysOutFloatsAsToChars) {
  const LayoutCase<float> cases[] = {
      {-30.19F, "-30.19"},
      {123.456F, "123.456"},
      {0.5F, "0.5"},
      {0.001F, "0.001"},                   // fixed on a tie with "1e-03"
      {0.00012F, "0.00012"},               // and with "1.2e-04"
      {0.0001F, "1e-04"},                  // the exponent form is shorter
      {1.2345679e-5F, "1.2345679e-05"},
      {10000.0F, "10000"},                 // fixed on a tie with "1e+04"
      {120000.0F, "120000"},
      {100000.0F, "1e+05"},
      {12345678.0F, "12345678"},
      {0x1p30F, "1073741824"},             // a whole number's own digits
      {10.0000105F, "10.0000105"},         // nine digits
      {1e-45F, "1e-45"},                   // the smallest, and the largest
      {3.4028235e38F, "3.4028235e+38"},
      {-0.0F, "-0"},
      {-std::numeric_limits<float>::infinity(), "-inf"},
  };
  for (const auto& c : cases) EXPECT_EQ((shortest<float, kShortestFloatRoom>(c.value)), c.text);
}

TEST(ShortestDecimal, LaysOutDoublesAsToChars) {
  const LayoutCase<double> cases[] = {
      {512390.1, "512390.1"},
      {-5999998.55, "-5999998.55"},
      {0.00012, "0.00012"},
      {30.0, "30"},
      {123456789012345.0, "123456789012345"},
      {1e15, "1e+15"},
      {1.2345678901234568e20, "123456789012345683968"},  // a whole number's own digits
      {1e21, "1e+21"},
      {0.1 + 0.2, "0.30000000000000004"},                 // seventeen digits
      {1e-7, "1e-07"},
      {1e100, "1e+100"},
      {1.5e-300, "1.5e-300"},
      {5e-324, "5e-324"},
      {1.7976931348623157e308, "1.7976931348623157e+308"},
  };
  for (const auto& c : cases) EXPECT_EQ((shortest<double, kShortestDoubleRoom>(c.value)), c.text);
}

struct SweepCase {
  const char* label;
  float from;
  float to;
  std::uint32_t stride;  // in the float's bits
};

TEST(ShortestDecimal, MatchesToCharsAcrossDataMagnitudes) {
  const std::uint32_t scale = korvan::testing::kSanitized ? 16 : 1;
  const SweepCase cases[] = {
      // Neighbours one unit of the seventh digit apart and closer, where a
      // shorter neighbour may read back.
      {"[8, 16)", 8.0F, 16.0F, 1 * scale},
      // Where fixed point turns to the exponent form.
      {"around 10^-4", 0.9e-4F, 1.1e-4F, 1 * scale},
      {"around 10^7", 0.9e7F, 1.1e7F, 1 * scale},
      {"every 127th float from 2^-15 to 2^25", 0x1p-15F, 0x1p25F, 127 * scale},
  };
  for (const SweepCase& c : cases) {
    int differences = 0;
    for (std::uint32_t bits = std::bit_cast<std::uint32_t>(c.from); bits < std::bit_cast<std::uint32_t>(c.to);
         bits += c.stride) {
      for (const float value : {std::bit_cast<float>(bits), -std::bit_cast<float>(bits)}) {
        char quick[kShortestFloatRoom];
        char reference[kMaxShortestFloat];
        const std::string_view got(quick, static_cast<std::size_t>(put_shortest(quick, value) - quick));
        const std::string_view expected(
            reference, static_cast<std::size_t>(std::to_chars(reference, reference + sizeof reference, value).ptr -
                                                 reference));
        if (got != expected && ++differences <= 5) {
          ADD_FAILURE() << c.label << ": " << expected << " written as " << got;
        }
      }
    }
    EXPECT_EQ(differences, 0) << c.label;
  }
}

// Doubles: coordinates as surveys write them (up to nine decimals, round
// numbers among them), then any bit pattern.
TEST(ShortestDecimal, DoublesMatchToChars) {
  std::mt19937_64 rng(41);
  const int cases = korvan::testing::kSanitized ? 200000 : 2000000;
  int differences = 0;
  for (int n = 0; n < cases; ++n) {
    double value = 0;
    if (n % 4 == 3) {
      value = std::bit_cast<double>(rng());
      if (!std::isfinite(value)) continue;
    } else {
      const auto decimals = static_cast<int>(rng() % 10);
      const double whole = static_cast<double>(rng() % 100000000000ULL) / std::pow(10.0, static_cast<double>(rng() % 8));
      value = std::round(whole * std::pow(10.0, decimals)) / std::pow(10.0, decimals) * (n % 2 == 0 ? 1 : -1);
    }
    char quick[kShortestDoubleRoom];
    char reference[kMaxShortestDouble];
    const std::string got(quick, put_shortest(quick, value));
    const std::string expected(reference, std::to_chars(reference, reference + sizeof reference, value).ptr);
    if (got != expected && ++differences <= 5) ADD_FAILURE() << expected << " written as " << got;
  }
  EXPECT_EQ(differences, 0);
}

}  // namespace
}  // namespace korvan::format
