// The reader converts plain numbers in the pass that finds their end. It may
// decline any token, but what it accepts must be exactly what the general
// conversion gives.
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "tests/test_support.h"
#include "text/plain_record.h"
#include "text/value_conversion.h"

namespace korvan::text {
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

// The eight-at-a-time parser must agree with the byte-wise one on every
// token, whatever digits happen to lie behind the end of the text.
TEST(PlainNumber, PaddedParsingAgreesWithByteWiseParsing) {
  std::mt19937_64 rng(23);
  const int cases = testing::kSanitized ? 100000 : 2000000;
  for (int n = 0; n < cases; ++n) {
    std::string token = random_token(rng);
    if (n % 2 == 0) token = token.substr(0, 1 + rng() % 12);
    // Now and then a byte that no number holds, high ones included.
    if (n % 7 == 0) token[rng() % token.size()] = "\xfa\xff\x80x"[rng() % 4];
    const std::string tail = n % 3 == 0 ? std::string(" 5") : std::string();
    std::string buffer = token + tail + std::string(kRecordPadding, static_cast<char>('0' + n % 10));
    const char* const end = buffer.data() + token.size() + tail.size();
    float bytewise = 0;
    float padded = 0;
    const char* const a = parse_plain_real(buffer.data(), end, bytewise);
    const char* const b = parse_padded_real(buffer.data(), end, padded);
    // The byte-wise way leaves exact midpoints to the general conversion.
    if (a == nullptr && b != nullptr) {
      float general = 0;
      ASSERT_TRUE(convert_real(token, general)) << token;
      ASSERT_EQ(std::bit_cast<std::uint32_t>(general), std::bit_cast<std::uint32_t>(padded)) << token;
      ASSERT_EQ(b, buffer.data() + token.size()) << token;
      continue;
    }
    ASSERT_EQ(a, b) << token;
    if (a != nullptr) {
      ASSERT_EQ(std::bit_cast<std::uint32_t>(bytewise), std::bit_cast<std::uint32_t>(padded)) << token;
    }
  }
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

// Plain decimals with a point are converted with a multiplication by a
// rounded power of ten, which can only go wrong close to a midpoint between
// two floats. Midpoints written out with 15 to 19 significant digits (many
// of them exactly, with trailing zeros) and a few units of their last digit
// off must still give the nearest float, which from_chars finds
// independently.
TEST(PlainNumber, FractionsCloseToFloatMidpointsGiveTheNearestFloat) {
  std::mt19937 rng(5);
  std::uniform_int_distribution<std::uint32_t> pattern(std::bit_cast<std::uint32_t>(1e-3f),
                                                      std::bit_cast<std::uint32_t>(1e15f));
  const int count = testing::kSanitized ? 20000 : 400000;
  for (int n = 0; n < count; ++n) {
    const float low = std::bit_cast<float>(pattern(rng));
    const double mid = (static_cast<double>(low) + static_cast<double>(std::nextafter(low, INFINITY))) / 2;
    char text[64];
    const int significant = 15 + n % 5;
    std::snprintf(text, sizeof text, "%.*f", significant - 1 - static_cast<int>(std::floor(std::log10(mid))), mid);
    std::string token(text);
    if (token.find('.') == std::string::npos) continue;
    token.back() = static_cast<char>('0' + (token.back() - '0' + static_cast<int>(n % 7) + 7) % 10);
    float nearest = 0;
    std::from_chars(token.data(), token.data() + token.size(), nearest);
    // The eight-at-a-time parser also takes exact midpoints.
    const std::string padded = token + std::string(kRecordPadding, ' ');
    float quick = 0;
    if (parse_padded_real(padded.data(), padded.data() + token.size(), quick) != nullptr) {
      ASSERT_EQ(std::bit_cast<std::uint32_t>(quick), std::bit_cast<std::uint32_t>(nearest)) << token;
    }
    float fused = 0;
    if (parse_plain_real(token.data(), token.data() + token.size(), fused) == nullptr) continue;
    ASSERT_EQ(std::bit_cast<std::uint32_t>(fused), std::bit_cast<std::uint32_t>(nearest)) << token;
  }
}

// Texts compared for a repeated start: every one of the first n characters
// counts, in either half of the 32, and none after them.
TEST(PlainNumber, SameCharsComparesExactlyTheFirstN) {
  const std::string base(32, 'a');
  for (std::size_t n = 1; n <= 32; ++n) {
    for (std::size_t at = 0; at < 32; ++at) {
      std::string other = base;
      other[at] = 'b';
      EXPECT_EQ(same_chars(base.data(), other.data(), n), at >= n) << "n=" << n << " at=" << at;
    }
    EXPECT_TRUE(same_chars(base.data(), base.data(), n));
  }
}

}  // namespace
}  // namespace korvan::text
