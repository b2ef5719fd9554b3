// The quick way, in steps. A float read from a decimal of at most eight
// significant digits is nearly always shortest as that decimal, and the
// decimal is the float rounded to seven or eight digits: a multiplication
// and a rounding, no search. Wherever a step meets a case it does not settle
// exactly (a tie, a decimal on an end of the float's interval, a shorter
// exponent form), std::to_chars writes the value instead. A sweep of every
// float of the quick range against std::to_chars finds no difference
// (tests/shortest_decimal_test.cpp sweeps a part of them).
#include "driver/shortest_decimal.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "textio/decimal_digits.h"

namespace korvan::driver {
namespace {

// 10^-4 to 10^7, index e + 4: the quick range and its decades, as the bits
// of the smallest float not below 10^e. A positive float is at least 10^e
// exactly when its bits, compared as an integer, are at least these.
constexpr std::uint32_t kDecadeBits[12] = {0x38d1b718, 0x3a83126f, 0x3c23d70b, 0x3dcccccd, 0x3f800000, 0x41200000,
                                           0x42c80000, 0x447a0000, 0x461c4000, 0x47c35000, 0x49742400, 0x4b189680};
constexpr std::uint64_t kZeroCharacters = 0x3030303030303030;

// Eight decimal digits of n (below 10^8) as characters in one word, the
// first in its lowest byte, so that storing the word puts them in order.
// The halves, then their hundreds, then their tens are split in every lane
// at once, by multiplications that divide exactly within a lane's range:
// x * 10486 >> 20 is x / 100 below 10^4, x * 103 >> 10 is x / 10 below 100.
static_assert(std::endian::native == std::endian::little, "digit words are stored lowest byte first");
[[gnu::always_inline]] inline std::uint64_t eight_digits(std::uint64_t n) {
  // n / 10^4 below 10^8 by 2^40 / 10^4, rounded up.
  const std::uint64_t high_half = (n * 109951163) >> 40;
  const std::uint64_t halves = high_half | ((n - high_half * 10000) << 32);
  const std::uint64_t hundreds = ((halves * 10486) >> 20) & 0x0000007F0000007F;
  const std::uint64_t pairs = hundreds | ((halves - hundreds * 100) << 16);
  const std::uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000F;
  return (tens | ((pairs - tens * 10) << 8)) + kZeroCharacters;
}

// The zeros that end the eight digits: zero bytes, counted from the top,
// once the characters are digit values again. Counted without a loop: the
// count varies from value to value, and a loop's exit would be mispredicted.
int trailing_zeros(std::uint64_t eight) { return std::countl_zero(eight ^ kZeroCharacters) / 8; }

// The value times 10^places, in integers: the float is m / 2^shift, so the
// scaled value is m * 10^places / 2^shift, below 2^61 over at most 2^37 in
// the quick range. Places are counted in quarter units of 2^-shift, where
// the gaps to the halfway points to the neighbouring floats, half a unit in
// the last place scaled, are 2 * 10^places (half that below a power of
// two). A decimal reads back to the value when it lies strictly within the
// gaps; on a gap's end it reads back by the even rule, which the general
// way settles.
struct Scaled {
  std::uint64_t nearest;  // the nearest integer to the scaled value
  std::int64_t place;     // where nearest lies, from the scaled value
  std::int64_t unit;      // one, in those quarters
  std::int64_t below;     // the gaps
  std::int64_t above;
  bool tie;  // the scaled value lies halfway between two integers

  // Whether nearest + k reads back.
  bool reads_back(std::int64_t k) const {
    const std::int64_t at = place + k * unit;
    return -below < at && at < above;
  }
  bool reads_back_or_on_end(std::int64_t k) const {
    const std::int64_t at = place + k * unit;
    return -below <= at && at <= above;
  }
};

Scaled scaled_to(std::uint64_t m, int shift, int places, bool power_of_two) {
  const std::uint64_t product = m * textio::kPow10[places];
  const std::uint64_t whole = product >> shift;
  const auto rest = static_cast<std::int64_t>(product - (whole << shift));
  const std::int64_t unit = std::int64_t{4} << shift;
  // Rounded up or not by arithmetic, not by a branch: it goes either way as
  // often as not.
  const bool up = 8 * rest > unit;
  const auto gap = static_cast<std::int64_t>(2 * textio::kPow10[places]);
  return {whole + static_cast<std::uint64_t>(up),
          -4 * rest + (unit & -static_cast<std::int64_t>(up)),
          unit,
          power_of_two ? gap / 2 : gap,
          gap,
          8 * rest == unit};
}

// A value of `significant` digits d1.d2... times 10^decade.
struct ShortDigits {
  std::uint64_t word;  // the digits as characters, d1 in the lowest byte
  int decade;
  int significant;
};

// Step 4: std::to_chars takes the fixed form unless the exponent form is
// shorter. With d significant digits and the first at 10^e, the fixed form
// takes e + 1 characters, or d + 1 when d > e + 1, or d + 1 - e for e < 0
// ("0.00ddd"); the exponent form d, a point when d > 1, and four for "e+dd".
bool fixed_is_shortest(int e, int d) {
  const int fixed = e >= 0 ? (d > e + 1 ? d + 1 : e + 1) : d + 1 - e;
  return fixed <= d + (d > 1 ? 1 : 0) + 4;
}

// Step 1: the decade. 78913 / 2^18 is log10(2) to within 3e-8, far closer
// than any of these binary exponents times log10(2) comes to an integer.
int decade_of(std::uint32_t bits) {
  const int binary_exponent = static_cast<int>(bits >> 23) - 127;
  const int decade = (binary_exponent * 78913) >> 18;
  return decade + (bits >= kDecadeBits[decade + 5] ? 1 : 0);
}

// Steps 1 to 4 where they are simplest, as they are for most data: the
// float's interval is at most one unit of the seventh digit wide and the
// seven-digit rounding lies strictly inside it. That decimal is then the
// only one of seven digits or fewer that reads back, so it is the shortest
// once its trailing zeros are dropped. False wherever a step has more to
// decide; short_digits decides those.
[[gnu::always_inline]] inline bool seven_or_fewer_digits(float magnitude, ShortDigits& out) {
  const auto bits = std::bit_cast<std::uint32_t>(magnitude);
  const int decade = decade_of(bits);
  // The float is m / 2^shift; scaled to seven digits, m * 10^places / 2^shift.
  const std::uint64_t m = (bits & 0x7FFFFFU) | 0x800000U;
  const int shift = 150 - static_cast<int>(bits >> 23);
  const std::uint64_t ten = textio::kPow10[6 - decade];
  const std::uint64_t product = m * ten;
  const std::uint64_t one = std::uint64_t{1} << shift;
  const std::uint64_t whole = product >> shift;
  const std::uint64_t rest = product & (one - 1);
  // The nearest seven-digit number and its distance from the value, both in
  // units of 2^-shift of the scaled value; half the float's interval is ten
  // / 2 of them, a quarter below a power of two. Rounded up or not by
  // arithmetic, not by a branch: it goes either way as often as not.
  const std::uint64_t up = (one / 2 - rest) >> 63;
  const std::uint64_t nearest = whole + up;
  const std::uint64_t distance = rest ^ ((rest ^ (one - rest)) & (0 - up));
  const std::uint64_t below_power_of_two = static_cast<std::uint64_t>(m == 0x800000U) & (up ^ 1);
  const std::uint64_t gaps = distance << (1 + below_power_of_two);
  if (ten > one || gaps >= ten || nearest >= 10'000'000) return false;
  const std::uint64_t eight = eight_digits(nearest);
  const int significant = 7 - trailing_zeros(eight);
  out = {eight >> 8, decade, significant};
  return fixed_is_shortest(decade, significant);
}

// Steps 1 to 4; false when the value needs the general way.
[[gnu::noinline]] bool short_digits(float magnitude, ShortDigits& out) {
  const auto bits = std::bit_cast<std::uint32_t>(magnitude);
  const int decade = decade_of(bits);

  // Step 2: the float as m / 2^shift.
  const std::uint64_t m = (bits & 0x7FFFFFU) | 0x800000U;
  const int shift = 150 - static_cast<int>(bits >> 23);
  const bool power_of_two = m == 0x800000U;

  // Step 3: the value rounded to seven significant digits. When that reads
  // back, only its neighbours can as well (the interval is at most 1.2
  // units of the seventh digit wide), and only where the interval is wider
  // than one unit; a neighbour with more trailing zeros would be shorter.
  const Scaled seven = scaled_to(m, shift, 6 - decade, power_of_two);
  if (seven.tie || !seven.reads_back(0)) {
    // Step 3b: no seven-digit decimal reads back, unless the one on the far
    // side does (the interval is lopsided at a power of two) or, at a tie,
    // the nearer of the two is on an end; those the general way writes.
    // Otherwise every eight-digit decimal that reads back has eight
    // significant digits, and the nearest is the one (5999998.5 is a tie at
    // seven digits).
    if (seven.reads_back_or_on_end(0) || seven.reads_back_or_on_end(seven.place > 0 ? -1 : 1)) return false;
    const Scaled eight = scaled_to(m, shift, 7 - decade, power_of_two);
    if (eight.tie || !eight.reads_back(0) || eight.nearest >= 100'000'000) return false;
    out = {eight_digits(eight.nearest), decade, 8};
  } else {
    if (seven.nearest >= 10'000'000) return false;  // rounded up to a power of ten: exponent form
    // Eight digits of a seven-digit number: a leading zero, then the seven.
    const std::uint64_t eight = eight_digits(seven.nearest);
    const int zeros = trailing_zeros(eight);
    if (seven.below + seven.above > seven.unit) {
      for (const std::int64_t k : {-1, 1}) {
        if (seven.reads_back_or_on_end(k) &&
            trailing_zeros(eight_digits(seven.nearest + static_cast<std::uint64_t>(k))) > zeros) {
          return false;
        }
      }
    }
    out = {eight >> 8, decade, 7 - zeros};
  }
  return fixed_is_shortest(decade, out.significant);
}

// Step 5: the digits with the point where the decade puts it, in whole
// eight-byte stores whose tails the next store or the caller overwrites.
[[gnu::always_inline]] inline char* put_fixed(char* at, const ShortDigits& digits) {
  if (digits.decade < 0) {
    // "0." and decade - 1 zeros, at most three of them, then the digits.
    const int zeros = -digits.decade - 1;
    at[0] = '0';
    at[1] = '.';
    at[2] = at[3] = at[4] = '0';
    std::memcpy(at + 2 + zeros, &digits.word, 8);
    return at + 2 + zeros + digits.significant;
  }
  // The point and the fraction are stored even for a whole number, past
  // its end: a choice of end is cheaper than a branch either way.
  const int whole = digits.decade + 1;
  std::memcpy(at, &digits.word, 8);
  at[whole] = '.';
  const std::uint64_t fraction = digits.word >> (8 * whole);
  std::memcpy(at + whole + 1, &fraction, 8);
  return at + (digits.significant > whole ? digits.significant + 1 : whole);
}

// The sign, then the digits in fixed point.
[[gnu::always_inline]] inline char* put_signed(char* at, float value, const ShortDigits& digits) {
  *at = '-';
  return put_fixed(at + (value < 0 ? 1 : 0), digits);
}

// What the common case leaves: the quick range's harder values, and the rest.
[[gnu::noinline]] char* put_shortest_generally(char* at, float value) {
  const float magnitude = std::fabs(value);
  ShortDigits digits{};
  if (magnitude >= 1e-4F && magnitude < 1e7F && short_digits(magnitude, digits)) return put_signed(at, value, digits);
  return std::to_chars(at, at + kMaxShortestFloat, value).ptr;
}

}  // namespace

// The common case apart, so that its digits stay in registers.
char* put_shortest(char* at, float value) {
  const float magnitude = std::fabs(value);
  ShortDigits digits;
  if (magnitude >= 1e-4F && magnitude < 1e7F && seven_or_fewer_digits(magnitude, digits)) {
    return put_signed(at, value, digits);
  }
  return put_shortest_generally(at, value);
}

namespace {

// Powers of ten that a double holds exactly.
constexpr double kExactTens[10] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};

// The integer nearest to x (0 <= x < 2^53), ties to even as the default
// rounding mode does: below 2^52, adding 2^52 leaves no bits for a fraction.
// No library call, which std::nearbyint is without SSE4.1.
double nearest_integer(double x) { return x < 0x1p52 ? (x + 0x1p52) - 0x1p52 : x; }

}  // namespace

// Step 1: the fewest decimals d whose rounding r of the value reads back: r
// and 10^d are exact doubles, so r / 10^d is the correctly rounded quotient,
// which is what reading the decimal gives. A decimal with fewer decimals
// would have been found first, so these are the shortest digits, and the
// last of them is not a zero unless d is 0; where a neighbour of r reads
// back too, which one the shortest form is depends on the exact value, and
// std::to_chars decides.
// Step 2: std::to_chars writes fixed point where it is not longer than the
// exponent form. With decimals it always is; a whole number may be shorter
// in the exponent form (500000 is "5e+05"), and std::to_chars writes that.
// Step 3: the digits of r as two digit words, the sign, the whole digits,
// a point and the decimals, stored a word at a time.
char* put_shortest(char* at, double value) {
  const double magnitude = std::fabs(value);
  if (magnitude >= 1 && magnitude < 1e15) {
    for (int d = 0; d <= 9; ++d) {
      const double scaled = magnitude * kExactTens[d];
      if (scaled >= 0x1p53) break;
      const double r = nearest_integer(scaled);
      // A decimal reads back only where the scaled value lies within a few
      // of its units in the last place of r: the division, slow, is left
      // for the one d where it does.
      if (std::fabs(scaled - r) > scaled * 0x1p-50) continue;
      if (r / kExactTens[d] != magnitude) continue;
      // Below 2^51 a neighbour of r lies more than half a unit of the
      // value's last place away, scaled: it cannot read back.
      if (scaled >= 0x1p51 && ((r - 1) / kExactTens[d] == magnitude || (r + 1) / kExactTens[d] == magnitude)) break;
      const auto n = static_cast<std::uint64_t>(r);
      // The digits in two words, the first digit in the lowest byte.
      std::uint64_t first = 0;
      std::uint64_t second = 0;
      int length = 0;
      int zeros = 0;  // at the end
      if (n >= 100'000'000) {
        const std::uint64_t high = eight_digits(n / 100'000'000);
        const std::uint64_t low = eight_digits(n % 100'000'000);
        const int leading = std::countr_zero(high ^ kZeroCharacters) / 8;
        length = 16 - leading;
        first = leading == 0 ? high : (high >> (8 * leading)) | (low << (64 - 8 * leading));
        second = leading == 0 ? low : low >> (8 * leading);
        zeros = low == kZeroCharacters ? 8 + trailing_zeros(high) : trailing_zeros(low);
      } else {
        const std::uint64_t low = eight_digits(n);
        const int leading = std::countr_zero(low ^ kZeroCharacters) / 8;
        length = 8 - leading;
        first = low >> (8 * leading);
        zeros = trailing_zeros(low);
      }
      if (d == 0) {
        const int significant = length - zeros;
        if (length > significant + (significant > 1 ? 1 : 0) + 4) break;
      }
      *at = '-';
      at += value < 0 ? 1 : 0;
      // Every digit, then, from the point on, the decimals again one place
      // further: whole words from registers, never read back from memory.
      std::memcpy(at, &first, 8);
      std::memcpy(at + 8, &second, 8);
      if (d == 0) return at + length;
      // At least one whole digit, as the value is at least 1.
      const int whole = std::max(length - d, 1);
      std::uint64_t fraction = 0;
      std::uint64_t fraction_rest = 0;
      if (whole >= 8) {
        fraction = second >> (8 * (whole - 8));
      } else {
        fraction = (first >> (8 * whole)) | (second << (64 - 8 * whole));
        fraction_rest = second >> (8 * whole);
      }
      at[whole] = '.';
      std::memcpy(at + whole + 1, &fraction, 8);
      std::memcpy(at + whole + 9, &fraction_rest, 8);
      return at + length + 1;
    }
  }
  return std::to_chars(at, at + kMaxShortestDouble, value).ptr;
}

}  // namespace korvan::driver
