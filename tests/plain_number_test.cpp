// The reader converts plain numbers in the pass that finds their end. It may
// decline any token, but what it accepts must be exactly what the general
// conversion gives.
#include <bit>
#include <cstring>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "tests/test_support.h"
#include "textio/plain_number.h"
#include "textio/value_conversion.h"

namespace korvan::textio {
namespace {

std::string random_token(std::mt19937_64& rng) {
  static const char kAlphabet[] = "0123456789000000.-+eEdD";
  std::string token;
  const int length = 1 + static_cast<int>(rng() % 24);
  for (int i = 0; i < length; ++i) token += kAlphabet[rng() % (sizeof kAlphabet - 1)];
  return token;
}

TEST(PlainNumber, AcceptedRealsAreBitForBitTheGeneralConversion) {
  std::mt19937_64 rng(17);
  const int cases = testing::kSanitized ? 100000 : 2000000;
  int accepted = 0;
  for (int n = 0; n < cases; ++n) {
    const std::string token = random_token(rng);
    const std::string line = token + " 1";
    float fused = 0;
    const char* after = parse_plain_real(line.data(), line.data() + line.size(), fused);
    if (after == nullptr) continue;
    ++accepted;
    float general = 0;
    ASSERT_TRUE(convert_real(token, general)) << token;
    ASSERT_EQ(std::bit_cast<std::uint32_t>(fused), std::bit_cast<std::uint32_t>(general)) << token;
    ASSERT_EQ(after, line.data() + token.size()) << token;
  }
  EXPECT_GT(accepted, cases / 20);
}

TEST(PlainNumber, AcceptedIntegersAreTheGeneralConversion) {
  const std::string tokens[] = {"0", "-0", "+7", "2147483647", "-2147483648", "2147483648", "00000000012",
                                "12345678901", "-", "+", "1.0", "3e2", "12x"};
  for (const std::string& token : tokens) {
    for (const char* tail : {"", " 5", "\t5", ",5", "/"}) {
      const std::string line = token + tail;
      std::int32_t fused = -1;
      const char* after = parse_plain_integer(line.data(), line.data() + line.size(), fused);
      std::int32_t general = -1;
      const bool ok = convert_integer(token, general);
      if (after != nullptr) {
        EXPECT_TRUE(ok) << token;
        EXPECT_EQ(fused, general) << token;
        EXPECT_EQ(after, line.data() + token.size()) << token;
      }
    }
  }
}

TEST(PlainNumber, TokensThatAreNotPlainAreDeclined) {
  for (const std::string line : {"1e5", "1.5D3", "1.5+3", "--1", "1..2", ".", "-", "12*3", "1'", "9(", "1.5q"}) {
    float value = 0;
    EXPECT_EQ(parse_plain_real(line.data(), line.data() + line.size(), value), nullptr) << line;
  }
}

}  // namespace
}  // namespace korvan::textio
