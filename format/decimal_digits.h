// Exact decimal rounding of 32-bit floats: the digits that a fixed-format
// field shows, taken from the exact binary value and rounded once, halves
// away from zero.
#pragma once

#include <bit>
#include <cstdint>

namespace korvan::format {

// A finite float's magnitude as significand times a power of two.
struct BinaryFloat {
  std::uint32_t significand;  // below 2^24; 0 only for a zero
  int exponent;               // the power of two
  bool negative;
};

// Inline: returning the small struct through a call stalls on the store
// and reload of its pieces, a measurable part of rendering a field.
inline BinaryFloat decompose(float value) {
  const auto bits = std::bit_cast<std::uint32_t>(value);
  const std::uint32_t biased = (bits >> 23) & 0xFFU;
  const std::uint32_t fraction = bits & 0x7FFFFFU;
  BinaryFloat out{};
  out.negative = (bits >> 31) != 0;
  if (biased == 0) {
    out.significand = fraction;
    out.exponent = -149;
  } else {
    out.significand = fraction | 0x800000U;
    out.exponent = static_cast<int>(biased) - 150;
  }
  return out;
}

// round(significand * 2^exponent * 10^scale), halves up. The caller keeps
// the result below 2^63.
std::uint64_t scaled_round(const BinaryFloat& value, int scale);

// The magnitude rounded to `digits` significant digits (1 to 18):
// digits_value has exactly that many digits and the magnitude is about
// 0.d1d2... times 10^decimal_exponent. The value must not be zero.
struct Rounded {
  std::uint64_t digits_value;
  int decimal_exponent;
};
Rounded round_significant(const BinaryFloat& value, int digits);

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

}  // namespace korvan::format
