// Dragonbox finds the shortest digits; what is ours is the layout that
// std::to_chars gives them: fixed point unless the exponent form is
// shorter, fixed on a tie, and at least two exponent digits. The digits are
// laid out as words of characters, eight for a float and sixteen for a
// double. std::to_chars itself writes the few values the words do not take:
// nine digits of a float or seventeen of a double, and whole numbers too
// long for the words, whose fixed form shows the value's exact digits, as
// printf does, rather than the shortest.
#include "format/shortest_decimal.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include <dragonbox/dragonbox.h>

#include "format/decimal_digits.h"

namespace korvan::format {
namespace {

// The longest text of a float or a double.
template <typename Real>
constexpr std::size_t kMaxText = std::is_same_v<Real, float> ? kMaxShortestFloat : kMaxShortestDouble;

// Digits as words, the first character in the lowest byte, so that
// storing a word puts them in order.
static_assert(std::endian::native == std::endian::little, "digit words are stored lowest byte first");
constexpr std::uint64_t kZeroCharacters = 0x3030303030303030;

// Eight decimal digits of n < 10^8, leading zeros included: the four
// pairs of digits, each divided from n itself so that the divisions run
// side by side, in 16-bit lanes, then the tens and ones of every pair at
// once (x * 103 >> 10 is x / 10 below 100, and stays within a lane).
[[gnu::always_inline]] inline std::uint64_t digit_word(std::uint32_t n) {
  const std::uint32_t hundreds = n / 100;
  const std::uint32_t ten_thousands = n / 10'000;
  const std::uint32_t millions = n / 1'000'000;
  const std::uint64_t pairs = millions | std::uint64_t{ten_thousands - millions * 100} << 16 |
                              std::uint64_t{hundreds - ten_thousands * 100} << 32 |
                              std::uint64_t{n - hundreds * 100} << 48;
  const std::uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000F;
  return (tens | ((pairs - tens * 10) << 8)) + kZeroCharacters;
}

// Sixteen characters in two words.
struct Characters {
  std::uint64_t first;
  std::uint64_t second;
};

// Sixteen decimal digits of n < 10^16, leading zeros included.
[[gnu::always_inline]] inline Characters digit_word(std::uint64_t n) {
  return {digit_word(static_cast<std::uint32_t>(n / 100'000'000)),
          digit_word(static_cast<std::uint32_t>(n % 100'000'000))};
}

// The zeros before the first other digit, and after the last; counted
// without a branch, as how many there are varies from value to value.
int leading_zeros(std::uint64_t word) { return std::countr_zero(word ^ kZeroCharacters) / 8; }
int leading_zeros(Characters text) {
  const int first = std::countr_zero(text.first ^ kZeroCharacters);
  const int second = std::countr_zero(text.second ^ kZeroCharacters);
  return (first + (first == 64 ? second : 0)) / 8;
}
int trailing_zeros(std::uint64_t word) { return std::countl_zero(word ^ kZeroCharacters) / 8; }
int trailing_zeros(Characters text) {
  const int second = std::countl_zero(text.second ^ kZeroCharacters);
  const int first = std::countl_zero(text.first ^ kZeroCharacters);
  return (second + (second == 64 ? first : 0)) / 8;
}

// The characters from the nth on (n below the word's length).
std::uint64_t from(std::uint64_t word, int n) { return word >> (8 * n); }
Characters from(Characters text, int n) {
  if (n >= 8) return {text.second >> (8 * (n - 8)), 0};
  // Two shifts for the second word's part: a shift by 64 is undefined.
  return {(text.first >> (8 * n)) | (text.second << 1 << (63 - 8 * n)), text.second >> (8 * n)};
}

void store(char* at, std::uint64_t word) { std::memcpy(at, &word, 8); }
void store(char* at, Characters text) {
  std::memcpy(at, &text.first, 8);
  std::memcpy(at + 8, &text.second, 8);
}

// Steps 2 to 4 for a value of significand times 10^exponent: its text as
// std::to_chars(first, last, value) writes it (1.5e-05, 0.00015, 150.5,
// 150, 1.5e+20) at `at`. Whole words are stored, which may reach past the
// text, as the header's room says. Not inlined: twice in the double's
// put_shortest, it made that slower.
template <typename Real, typename UInt>
[[gnu::noinline]] char* put_laid_out(char* const at, Real value, UInt significand, int exponent) {
  using Digits = decltype(digit_word(significand));
  constexpr int kCapacity = sizeof(Digits);  // one digit a byte
  if (significand >= kPow10[kCapacity]) {
    // One digit more than the words hold, a zero unless the value needs
    // them all.
    if (significand % 10 != 0) return std::to_chars(at, at + kMaxText<Real>, value).ptr;
    significand /= 10;
    ++exponent;
  }

  // Step 2: the digits as characters, without the zeros at either end.
  const Digits padded = digit_word(significand);
  const int trailing = trailing_zeros(padded);
  const int leading = leading_zeros(padded);
  const int digits = kCapacity - leading - trailing;
  exponent += trailing;
  const Digits text = from(padded, leading);
  const int whole = digits + exponent;  // the digits before the point
  const int decade = whole - 1;         // that of the first digit

  // Step 3: fixed point unless the exponent form is shorter. Fixed point
  // takes the digits and the zeros after them ("150"), or the digits and a
  // point ("150.5"), or "0.", the zeros after the point and the digits
  // ("0.00015"); the exponent form the digits, a point after the first of
  // several, and "e+XX" or "e+XXX".
  const int fixed_length = exponent >= 0 ? whole : (whole > 0 ? digits + 1 : digits + 2 - whole);
  const int exponent_length = digits + (digits > 1 ? 1 : 0) + (std::abs(decade) >= 100 ? 5 : 4);

  // Step 4: the text, after the sign.
  char* next = at;
  *next = '-';
  next += std::signbit(value) ? 1 : 0;
  if (fixed_length > exponent_length) {
    store(next + 1, text);
    next[0] = next[1];
    next[1] = '.';
    next += digits > 1 ? digits + 1 : 1;
    next[0] = 'e';
    next[1] = decade < 0 ? '-' : '+';
    int magnitude = std::abs(decade);
    if (magnitude >= 100) {
      next[2] = static_cast<char>('0' + magnitude / 100);
      magnitude %= 100;
      ++next;
    }
    next[2] = static_cast<char>('0' + magnitude / 10);
    next[3] = static_cast<char>('0' + magnitude % 10);
    return next + 4;
  }
  if (exponent >= 0) {
    // A whole number shorter than the words: below 10^7 every whole number
    // is a float, below 10^15 a double, so the shortest digits are its own.
    // Past 2^24 (2^53) they need not be: 2^30 is 1073741824 in fixed point,
    // though 1.0737418e+09 reads back.
    if (whole >= kCapacity) return std::to_chars(at, at + kMaxText<Real>, value).ptr;
    store(next, text);
    std::memcpy(next + digits, &kZeroCharacters, 8);
    return next + whole;
  }
  if (whole > 0) {
    store(next, text);
    next[whole] = '.';
    store(next + whole + 1, from(text, whole));
    return next + digits + 1;
  }
  // "0." and up to three zeros, of which the digits cover the ones not
  // needed.
  constexpr char kZeroPoint[] = {'0', '.', '0', '0', '0'};
  std::memcpy(next, kZeroPoint, sizeof kZeroPoint);
  store(next + 2 - whole, text);
  return next + 2 - whole + digits;
}

template <typename Real>
char* put_shortest_of(char* at, Real value) {
  // Dragonbox takes finite values other than zero; std::to_chars writes the
  // rest ("0", "-0", "inf", "nan").
  if (!std::isfinite(value) || value == 0) [[unlikely]] {
    return std::to_chars(at, at + kMaxText<Real>, value).ptr;
  }
  // Step 1: the shortest digits that read back, nearest the value, ties to
  // even, as significand times 10^exponent. The sign is ours, and so are
  // the trailing zeros to drop: the digit words count them at no cost.
  namespace policy = jkj::dragonbox::policy;
  const auto decimal = jkj::dragonbox::to_decimal(value, policy::sign::ignore, policy::trailing_zero::ignore);
  if constexpr (std::is_same_v<Real, double>) {
    // Most coordinates have eight digits or fewer: a float's one word
    // holds them.
    if (decimal.significand % 100'000'000 == 0 && decimal.significand < 10'000'000'000'000'000) {
      return put_laid_out(at, value, static_cast<std::uint32_t>(decimal.significand / 100'000'000),
                          decimal.exponent + 8);
    }
  }
  return put_laid_out(at, value, decimal.significand, decimal.exponent);
}

}  // namespace

char* put_shortest(char* at, float value) { return put_shortest_of(at, value); }

char* put_shortest(char* at, double value) { return put_shortest_of(at, value); }

}  // namespace korvan::format
