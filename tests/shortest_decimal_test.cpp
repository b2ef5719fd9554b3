// The shortest decimal of a float against std::to_chars, the reference it
// must match byte for byte: whole binades where the quick way has the most
// to decide, and a stride through every float it takes on.
#include "driver/shortest_decimal.h"

#include <bit>
#include <cmath>
#include <charconv>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace korvan::driver {
namespace {

struct SweepCase {
  const char* label;
  float from;
  float to;
  std::uint32_t stride;  // in the float's bits
};

TEST(ShortestDecimal, MatchesToCharsAcrossTheQuickRange) {
  const std::uint32_t scale = korvan::testing::kSanitized ? 16 : 1;
  const SweepCase cases[] = {
      // Neighbours one unit of the seventh digit apart and closer, where a
      // shorter neighbour may read back.
      {"[8, 16)", 8.0F, 16.0F, 1 * scale},
      // Both ends of the quick range.
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
}  // namespace korvan::driver
