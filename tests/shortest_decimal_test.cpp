// The shortest decimal of a float against std::to_chars, the reference it
// must match byte for byte: whole binades where the quick way has the most
// to decide, and a stride through every float it takes on.
#include "driver/shortest_decimal.h"

#include <bit>
#include <charconv>
#include <cstdint>
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

}  // namespace
}  // namespace korvan::driver
