// The reader converts plain numbers in the pass that finds their end. It may
// decline any token, but what it accepts must be what the token means.
// `make sweep` (tests/number_sweep.cpp) judges millions of reals by
// std::from_chars.
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "text/plain_record.h"

namespace korvan::text {
namespace {

// What each token means as an integer, nothing where it is none that fits:
// the quick way may decline any token, and must decline those.
TEST(PlainNumber, AcceptedIntegersMeanWhatTheyRead) {
  const std::pair<std::string, std::optional<std::int32_t>> tokens[] = {
      {"0", 0}, {"-0", 0}, {"+7", 7}, {"2147483647", 2147483647},
      {"-2147483648", std::numeric_limits<std::int32_t>::min()}, {"00000000012", 12}, {"2147483648", {}},
      {"12345678901", {}}, {"-", {}}, {"+", {}}, {"1.0", {}}, {"3e2", {}}, {"12x", {}}};
  for (const auto& [token, meaning] : tokens) {
    for (const char* tail : {"", " 5", "\t5", ",5", "/"}) {
      const std::string line = token + tail;
      std::int32_t value = -1;
      const char* after = parse_plain_integer(line.data(), line.data() + line.size(), value);
      if (after == nullptr) continue;
      EXPECT_TRUE(meaning.has_value()) << line;
      EXPECT_EQ(value, meaning.value_or(-1)) << line;
      EXPECT_EQ(after, line.data() + token.size()) << line;
    }
  }
}

TEST(PlainNumber, TokensThatAreNotPlainAreDeclined) {
  for (const std::string line : {"1e5", "1.5D3", "1.5+3", "--1", "1..2", ".", "-", "12*3", "1'", "9(", "1.5q"}) {
    float value = 0;
    EXPECT_EQ(parse_plain_real(line.data(), line.data() + line.size(), value), nullptr) << line;
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
