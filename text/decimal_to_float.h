// Decimal text to the nearest float: plain decimals (an optional sign,
// digits, optionally a point and more digits) are converted in the pass that
// finds their end, without a library call in the common case; the exact
// conversion decides only near a midpoint between two floats.
#pragma once

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstddef>
#include <cstdint>

#include "text/input_unit.h"
#include "text/word_tricks.h"

namespace korvan::text {

// The powers of ten that a 64-bit integer holds, for joining digit groups.
// The same table as the number renderer's: reading text does not depend on
// rendering numbers.
inline constexpr std::uint64_t kPow10[20] = {
    1ULL,
    10ULL,
    100ULL,
    1000ULL,
    10000ULL,
    100000ULL,
    1000000ULL,
    10000000ULL,
    100000000ULL,
    1000000000ULL,
    10000000000ULL,
    100000000000ULL,
    1000000000000ULL,
    10000000000000ULL,
    100000000000000ULL,
    1000000000000000ULL,
    10000000000000000ULL,
    100000000000000000ULL,
    1000000000000000000ULL,
    10000000000000000000ULL,
};

// Powers of ten that a double holds exactly.
inline constexpr double kExactPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                           1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                           1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The doubles nearest to 10^-k: a multiplication is much cheaper than the
// division by 10^k, and nearly always just as good (see decimal_to_float).
inline constexpr double kInversePow10[23] = {1e-0,  1e-1,  1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,
                                             1e-8,  1e-9,  1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15,
                                             1e-16, 1e-17, 1e-18, 1e-19, 1e-20, 1e-21, 1e-22};

// A double holds 29 more significand bits than a float; a midpoint between
// two floats has exactly the top one of them set.
inline constexpr std::uint64_t kBelowFloat = (std::uint64_t{1} << 29) - 1;
inline constexpr std::uint64_t kFloatMidpoint = std::uint64_t{1} << 28;

// The float nearest to w * 10^scale, when that can be had cheaply: with w
// below 2^53 and |scale| at most 22, w * 10^k or w / 10^k in double is the
// exact value rounded once (both operands are exact doubles); rounding that
// double to float again gives the float nearest to the exact value unless
// the double lands exactly on a midpoint between two floats. False then, and
// for anything outside those bounds: the caller takes the general way.
//
// For a negative scale, w times the double nearest to 10^scale comes first:
// it is within two units of the double's last place of the exact value, so
// unless it lies within a few units of a float midpoint, it rounds to the
// same float as the exact value does. Only near a midpoint does the exact
// quotient have to be formed.
inline bool decimal_to_float(std::uint64_t w, int scale, bool negative, float& value) {
  if (w == 0) {
    value = negative ? -0.0f : 0.0f;
    return true;
  }
  if (w > (std::uint64_t{1} << 53) || scale < -22 || scale > 22) return false;
  const auto operand = static_cast<double>(w);
  double d = 0;
  if (scale >= 0) {
    d = operand * kExactPow10[scale];
  } else {
    d = operand * kInversePow10[-scale];
    const std::uint64_t low = std::bit_cast<std::uint64_t>(d) & kBelowFloat;
    if (low - (kFloatMidpoint - 4) <= 8) d = operand / kExactPow10[-scale];
  }
  if ((std::bit_cast<std::uint64_t>(d) & kBelowFloat) == kFloatMidpoint) return false;
  const auto f = static_cast<float>(d);
  value = negative ? -f : f;
  return true;
}

[[gnu::always_inline]] inline bool plain_digit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// What may follow a value on its line: a blank, tab, comma, slash or the end.
[[gnu::always_inline]] inline bool plain_token_end(const char* p, const char* end) {
  return p == end || *p == ' ' || *p == '\t' || *p == ',' || *p == '/';
}

// The digits of a decimal number, as an integer and a power of ten.
struct Mantissa {
  std::uint64_t w = 0;
  int scale = 0;     // the number is w * 10^scale
  int digits = 0;    // leading zeros included; more than 19 may have wrapped w
  bool negative = false;
};

// An optional sign, digits, and optionally a point and more digits, from p;
// returns the position after them.
inline const char* parse_mantissa(const char* p, const char* end, Mantissa& m) {
  if (p != end && (*p == '-' || *p == '+')) {
    m.negative = *p == '-';
    ++p;
  }
  const char* const whole = p;
  while (p != end && plain_digit(*p)) m.w = m.w * 10 + static_cast<unsigned>(*p++ - '0');
  m.digits = static_cast<int>(p - whole);
  if (p != end && *p == '.') {
    const char* const fraction = ++p;
    while (p != end && plain_digit(*p)) m.w = m.w * 10 + static_cast<unsigned>(*p++ - '0');
    m.scale = -static_cast<int>(p - fraction);
    m.digits -= m.scale;
  }
  return p;
}

// A plain real at p: the position after it, or nullptr to go the general way.
inline const char* parse_plain_real(const char* p, const char* end, float& value) {
  Mantissa m;
  p = parse_mantissa(p, end, m);
  if (m.digits == 0 || m.digits > 19 || !plain_token_end(p, end)) return nullptr;
  return decimal_to_float(m.w, m.scale, m.negative, value) ? p : nullptr;
}

// A plain real [start, end) on a midpoint between two floats, or a hair off
// one, as a coordinate with two decimals often is: the exact value decides.
// Kept apart so that the common way needs no call.
[[gnu::noinline]] inline const char* exact_plain_real(const char* start, const char* end, float& value) {
  const bool negative = *start == '-';
  const char* const digits = start + (*start == '-' || *start == '+' ? 1 : 0);
  float magnitude = 0;
  const auto [after, error] = std::from_chars(digits, end, magnitude);
  if (error != std::errc() || after != end) return nullptr;
  value = negative ? -magnitude : magnitude;
  return end;
}

// The double nearest to the plain real [start, end), for a caller that keeps
// it as well.
inline double plain_real_double(const char* start, const char* end) {
  const bool negative = *start == '-';
  double magnitude = 0;
  std::from_chars(start + (negative || *start == '+' ? 1 : 0), end, magnitude);
  return negative ? -magnitude : magnitude;
}

// The same digits as a double: w below 2^53 and a power of ten that a
// double holds make one correctly rounded division.
inline double decimal_to_double(std::uint64_t w, int fraction, bool negative, const char* start, const char* end) {
  if (w >= (std::uint64_t{1} << 53) || fraction > 22) return plain_real_double(start, end);
  const double magnitude = static_cast<double>(w) / kExactPow10[fraction];
  return negative ? -magnitude : magnitude;
}

// A plain real of more digits than a word holds, the byte-wise way.
template <bool kExact>
[[gnu::noinline]] const char* long_real(const char* start, const char* end, float& value, double& exact) {
  const char* const after = parse_plain_real(start, end, value);
  if constexpr (kExact) {
    if (after != nullptr) exact = plain_real_double(start, after);
  }
  return after;
}

// parse_plain_real for a text followed by kRecordPadding readable bytes
// (the records of an input unit): the digits before and after the point are
// found and converted eight at a time, without a branch per digit. Longer
// runs go the byte-wise way. With kExact, the double nearest to the text
// too.
template <bool kExact>
inline const char* padded_real(const char* p, const char* end, float& value, double& exact) {
  static_assert(kRecordPadding >= 16, "eight bytes are loaded at the end and after a point");
  const char* const start = p;
  bool negative = false;
  if (p != end && (*p == '-' || *p == '+')) {
    negative = *p == '-';
    ++p;
  }
  const auto room = [end](const char* q) { return static_cast<int>(std::min<std::ptrdiff_t>(end - q, 8)); };
  const std::uint64_t whole_chars = load_eight(p);
  // Mostly the digits and the point fit in these eight bytes: the point is
  // taken out and one conversion serves the digits on both sides. (A byte
  // above 0xF9 may spoil the classes of those after it, but it ends the
  // number before them.)
  const std::uint64_t points = zero_bytes(whole_chars ^ 0x2E2E2E2E2E2E2E2E);
  const std::uint64_t stops = nonzero_bytes(non_digit_bits(whole_chars)) & ~points;
  if (stops != 0 || end - p <= 8) {
    const int length = std::min(stops != 0 ? std::countr_zero(stops) / 8 : 8, room(p));
    const std::uint64_t body_points = points & bytes_below(length);
    if ((body_points & (body_points - 1)) != 0) return nullptr;  // two points
    int fraction = 0;
    std::uint64_t digits = whole_chars;
    if (body_points != 0) {
      const int point = std::countr_zero(body_points) / 8;
      fraction = length - point - 1;
      digits = (whole_chars & bytes_below(point)) | ((whole_chars >> 8) & ~bytes_below(point));
    }
    const int count = length - (body_points != 0 ? 1 : 0);
    p += length;
    if (count == 0 || !plain_token_end(p, end)) return nullptr;
    const std::uint64_t w = digits_value(digits, count);
    if constexpr (kExact) exact = decimal_to_double(w, fraction, negative, start, p);
    if (!decimal_to_float(w, -fraction, negative, value)) return exact_plain_real(start, p, value);
    return p;
  }
  const int whole = std::min(digit_run(whole_chars), room(p));
  if (whole == 8) return long_real<kExact>(start, end, value, exact);
  std::uint64_t w = whole > 0 ? digits_value(whole_chars, whole) : 0;
  p += whole;
  int fraction = 0;
  if (p != end && *p == '.') {
    ++p;
    const std::uint64_t fraction_chars = load_eight(p);
    fraction = std::min(digit_run(fraction_chars), room(p));
    if (fraction == 8) return long_real<kExact>(start, end, value, exact);
    if (fraction > 0) w = w * kPow10[fraction] + digits_value(fraction_chars, fraction);
    p += fraction;
  }
  if (whole + fraction == 0 || !plain_token_end(p, end)) return nullptr;
  if constexpr (kExact) exact = decimal_to_double(w, fraction, negative, start, p);
  if (!decimal_to_float(w, -fraction, negative, value)) return exact_plain_real(start, p, value);
  return p;
}

inline const char* parse_padded_real(const char* p, const char* end, float& value) {
  double unused = 0;
  return padded_real<false>(p, end, value, unused);
}
inline const char* parse_padded_real(const char* p, const char* end, float& value, double& exact) {
  return padded_real<true>(p, end, value, exact);
}

}  // namespace korvan::text
