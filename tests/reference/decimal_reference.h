// A slow, plainly exact reference for the fixed-width fields Fw.d and Gw.d
// that shares nothing with format/: the float's exact decimal expansion
// written out digit by digit in big-integer arithmetic, rounded half away
// from zero by looking at the one digit after the last kept (at most nine
// significant digits, zeros after them), then laid out by the field rules.
// The tests, the sweeps and the fuzz targets all judge by this one.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace korvan::reference {

// |x| = 0.d1d2d3... * 10^point exactly, d1 not zero; no digits for zero.
struct Exact {
  std::string digits;
  int point = 0;
  bool negative = false;
};

// n (decimal digits, least significant first) *= factor.
inline void multiply(std::vector<std::uint8_t>& n, std::uint32_t factor) {
  std::uint64_t carry = 0;
  for (std::uint8_t& digit : n) {
    const std::uint64_t product = std::uint64_t{digit} * factor + carry;
    digit = static_cast<std::uint8_t>(product % 10);
    carry = product / 10;
  }
  for (; carry != 0; carry /= 10) n.push_back(static_cast<std::uint8_t>(carry % 10));
}

// A finite float is m * 2^e with an integer m; for e < 0 that is
// m * 5^-e / 10^-e, so its decimal expansion is finite.
inline Exact exact_decimal(float x) {
  const auto bits = std::bit_cast<std::uint32_t>(x);
  const std::uint32_t biased = (bits >> 23) & 0xFFU;
  std::uint32_t m = bits & 0x7FFFFFU;
  int e = -149;
  if (biased != 0) {
    m |= 0x800000U;
    e = static_cast<int>(biased) - 150;
  }
  Exact out;
  out.negative = (bits >> 31) != 0;
  if (m == 0) return out;
  std::vector<std::uint8_t> n;
  for (std::uint32_t rest = m; rest != 0; rest /= 10) n.push_back(static_cast<std::uint8_t>(rest % 10));
  for (int k = e; k > 0; k -= 16) multiply(n, 1U << std::min(k, 16));
  for (int k = -e; k > 0; k -= 8) {
    std::uint32_t power = 1;
    for (int i = 0; i < std::min(k, 8); ++i) power *= 5;
    multiply(n, power);
  }
  for (auto it = n.rbegin(); it != n.rend(); ++it) out.digits += static_cast<char>('0' + *it);
  out.point = static_cast<int>(n.size()) + std::min(e, 0);
  return out;
}

// x (not zero) rounded to `count` >= 1 significant digits, halves away from
// zero: the rest is at least half a unit exactly when its first digit is
// 5 or more.
inline Exact round_significant(const Exact& x, int count) {
  const auto n = static_cast<std::size_t>(count);
  Exact r{x.digits.substr(0, n), x.point, x.negative};
  r.digits.resize(n, '0');
  if (x.digits.size() > n && x.digits[n] >= '5') {
    std::size_t i = n;
    while (i > 0 && r.digits[i - 1] == '9') r.digits[--i] = '0';
    if (i > 0) {
      ++r.digits[i - 1];
    } else {
      r.digits.insert(r.digits.begin(), '1');
      r.digits.pop_back();
      ++r.point;
    }
  }
  return r;
}

inline constexpr int kMaxSignificant = 9;

inline std::string fitted(const std::string& text, int width) {
  const auto w = static_cast<std::size_t>(width);
  if (text.size() > w) return std::string(w, '*');
  return std::string(w - text.size(), ' ') + text;
}

// Fw.d: |x| * 10^d rounded to an integer, at most 9 significant digits,
// zeros after them; "" when it rounds to zero.
inline std::string fixed_scaled_digits(const Exact& x, int decimals) {
  if (x.digits.empty()) return "";
  const int shown = x.point + decimals;  // digit places up to the last decimal
  if (shown < 0) return "";
  if (shown == 0) return x.digits[0] >= '5' ? "1" : "";
  const Exact r = round_significant(x, std::min(shown, kMaxSignificant));
  return r.digits + std::string(static_cast<std::size_t>(r.point + decimals) - r.digits.size(), '0');
}

inline std::string reference_f(const Exact& x, int width, int decimals) {
  const std::string scaled = fixed_scaled_digits(x, decimals);
  const auto d = static_cast<std::size_t>(decimals);
  std::string whole;
  std::string fraction;
  if (scaled.size() > d) {
    whole = scaled.substr(0, scaled.size() - d);
    fraction = scaled.substr(scaled.size() - d);
  } else {
    fraction = std::string(d - scaled.size(), '0') + scaled;
  }
  const std::string sign = x.negative && !scaled.empty() ? "-" : "";
  std::string text = whole + "." + fraction;
  if (whole.empty() && sign.size() + text.size() < static_cast<std::size_t>(width)) text = "0" + text;
  return fitted(sign + text, width);
}

// Gw.d: fixed point in w - 4 places and four blanks where the exponent
// would stand, when the rounded value's exponent lies in [0, d]; the
// exponent form otherwise.
inline std::string reference_g(const Exact& x, int width, int digits) {
  const int fixed_width = width - 4;
  const std::string blanks(4, ' ');
  if (x.digits.empty()) {
    return fitted("0." + std::string(static_cast<std::size_t>(digits - 1), '0'), fixed_width) + blanks;
  }
  Exact r = round_significant(x, std::min(digits, kMaxSignificant));
  r.digits.resize(static_cast<std::size_t>(digits), '0');
  const std::string sign = x.negative ? "-" : "";
  const int e = r.point;
  if (e >= 0 && e <= digits) {
    const auto before = static_cast<std::size_t>(e);
    std::string text = r.digits.substr(0, before) + "." + r.digits.substr(before);
    if (e == 0 && sign.size() + text.size() < static_cast<std::size_t>(fixed_width)) text = "0" + text;
    text = sign + text;
    if (text.size() > static_cast<std::size_t>(fixed_width)) return std::string(static_cast<std::size_t>(width), '*');
    return fitted(text, fixed_width) + blanks;
  }
  char exponent[16];
  std::snprintf(exponent, sizeof exponent, "E%c%02d", e < 0 ? '-' : '+', std::abs(e));
  std::string text = "." + r.digits + exponent;
  if (sign.size() + text.size() < static_cast<std::size_t>(width)) text = "0" + text;
  return fitted(sign + text, width);
}

// The rows' G fields are moved to the right: their trailing blanks go in front.
inline std::string right_adjusted(const std::string& text) {
  const std::size_t used = text.find_last_not_of(' ') + 1;
  return std::string(text.size() - used, ' ') + text.substr(0, used);
}

}  // namespace korvan::reference
