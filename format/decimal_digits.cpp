// Exact scaling of a float by a power of ten, with one rounding.
//
// value * 10^t = m * 2^e * 5^t * 2^t. For t >= 0 this is an integer P = m*5^t
// shifted by e+t bits; a right shift rounds half up by adding the last bit
// shifted out. For t < 0 it is m*2^(e+t) divided by 5^-t, which needs a true
// division. The common cases fit 64 bits; the rest uses 128 or 192 bits.
#include "format/decimal_digits.h"

#include <array>
#include <bit>
#include <cstring>

namespace korvan::format {
namespace {

__extension__ typedef unsigned __int128 u128;

// Three 64-bit limbs, least significant first: m * 5^t needs up to about
// 24 + 53 * log2(5) = 148 bits for the smallest floats.
struct Wide {
  std::uint64_t limb[3] = {0, 0, 0};

  void multiply(std::uint64_t factor) {
    u128 carry = 0;
    for (auto& l : limb) {
      const u128 product = static_cast<u128>(l) * factor + carry;
      l = static_cast<std::uint64_t>(product);
      carry = product >> 64;
    }
  }
  bool bit(int index) const {
    if (index < 0 || index >= 192) return false;
    return ((limb[index / 64] >> (index % 64)) & 1U) != 0;
  }
  // The bits from `shift` up, as far as they fit 64 bits.
  std::uint64_t shifted(int shift) const {
    std::uint64_t out = 0;
    for (int i = 0; i < 64; ++i) {
      if (bit(shift + i)) out |= std::uint64_t{1} << i;
    }
    return out;
  }
};

constexpr std::uint64_t kPow5_27 = 7450580596923828125ULL;  // 5^27 < 2^63

constexpr std::array<std::uint64_t, 28> make_pow5() {
  std::array<std::uint64_t, 28> p{};
  p[0] = 1;
  for (std::size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 5;
  return p;
}
constexpr std::array<std::uint64_t, 28> kPow5 = make_pow5();

std::uint64_t pow5(int n) { return kPow5[static_cast<std::size_t>(n)]; }  // n <= 27

u128 pow5_wide(int n) {  // n <= 55
  return n <= 27 ? u128{pow5(n)} : u128{pow5(27)} * pow5(n - 27);
}

// 10^k as doubles for every decimal exponent a float's estimate can take.
constexpr int kPow10DoubleMin = -46;
constexpr int kPow10DoubleMax = 40;
constexpr std::size_t kPow10DoubleCount = kPow10DoubleMax - kPow10DoubleMin + 1;
constexpr std::array<double, kPow10DoubleCount> make_pow10_double() {
  std::array<double, kPow10DoubleCount> p{};
  constexpr auto one = static_cast<std::size_t>(-kPow10DoubleMin);  // where 10^0 stands
  p[one] = 1;
  for (std::size_t i = one + 1; i < p.size(); ++i) p[i] = p[i - 1] * 10;
  for (std::size_t i = one; i-- > 0;) p[i] = p[i + 1] / 10;
  return p;
}
constexpr auto kPow10Double = make_pow10_double();

std::uint64_t round_up_scale(const BinaryFloat& v, int t) {
  const int shift = v.exponent + t;
  // 2^24 * 5^17 < 2^64: one 64-bit product holds P.
  if (t <= 17) {
    const std::uint64_t p = static_cast<std::uint64_t>(v.significand) * pow5(t);
    if (shift >= 0) return p << shift;
    const int k = -shift;
    if (k > 64) return 0;
    if (k == 64) return p >> 63;
    return (p >> k) + ((p >> (k - 1)) & 1U);
  }
  Wide p;
  p.limb[0] = v.significand;
  int remaining = t;
  while (remaining > 27) {
    p.multiply(kPow5_27);
    remaining -= 27;
  }
  p.multiply(pow5(remaining));
  if (shift >= 0) return p.shifted(0) << shift;  // the caller keeps it small
  const int k = -shift;
  return p.shifted(k) + (p.bit(k - 1) ? 1U : 0U);
}

std::uint64_t round_down_scale(const BinaryFloat& v, int t) {
  const int u = -t;
  const int shift = v.exponent - u;
  u128 numerator = v.significand;
  u128 denominator = pow5_wide(u);
  if (shift >= 0) {
    numerator <<= shift;
  } else {
    denominator <<= -shift;
  }
  const u128 q = numerator / denominator;
  const u128 r = numerator % denominator;
  // Half up: 2r >= D, written so that it cannot overflow.
  return static_cast<std::uint64_t>(q + (r >= denominator - r ? 1U : 0U));
}

}  // namespace

std::uint64_t scaled_round(const BinaryFloat& value, int scale) {
  if (value.significand == 0) return 0;
  return scale >= 0 ? round_up_scale(value, scale) : round_down_scale(value, scale);
}

Rounded round_significant(const BinaryFloat& value, int digits) {
  // floor(log10(2^b)) from the position b of the leading bit; off by at
  // most one, which the loop below corrects.
  const int top_bit = value.exponent + static_cast<int>(std::bit_width(value.significand)) - 1;
  int exponent10 = ((top_bit * 78913) >> 18) + 1;  // 78913 / 2^18 ~ log10(2)
  // The value lies in [10^(e-1), 10^(e+1)): one comparison with a power of
  // ten in double settles it but for values within a rounding of that
  // power, which the loop still gets right.
  const double power_of_two = std::bit_cast<double>(static_cast<std::uint64_t>(value.exponent + 1023) << 52);
  const double magnitude = static_cast<double>(value.significand) * power_of_two;  // exact
  if (exponent10 >= kPow10DoubleMin && exponent10 <= kPow10DoubleMax &&
      magnitude >= kPow10Double[exponent10 - kPow10DoubleMin]) {
    ++exponent10;
  }
  const std::uint64_t low = kPow10[digits - 1];
  const std::uint64_t high = kPow10[digits];
  for (;;) {
    const std::uint64_t q = scaled_round(value, digits - exponent10);
    if (q == high) return {low, exponent10 + 1};  // 9.99..5 rounds up to 10.0
    if (q > high) {
      ++exponent10;
      continue;
    }
    if (q < low) {
      --exponent10;
      continue;
    }
    return {q, exponent10};
  }
}

}  // namespace korvan::format
