// A slow, obviously exact reference for the F and G fields: the float's
// exact decimal expansion as a digit string, rounded half away from zero by
// looking at one digit, at most nine significant digits and zeros after.
#pragma once

#include <bit>
#include <cstdint>
#include <string>

namespace korvan::fuzzing {

// Decimal digits of a non-negative big integer, least significant first
// while it is built, so that a carry only appends.
class BigDecimal {
 public:
  explicit BigDecimal(std::uint64_t n) {
    do {
      reversed_.push_back(static_cast<char>('0' + n % 10));
      n /= 10;
    } while (n != 0);
  }
  // factor below 2^31, so that digit * factor + carry fits 64 bits.
  void multiply(std::uint64_t factor) {
    std::uint64_t carry = 0;
    for (char& d : reversed_) {
      const std::uint64_t v = static_cast<std::uint64_t>(d - '0') * factor + carry;
      d = static_cast<char>('0' + v % 10);
      carry = v / 10;
    }
    while (carry != 0) {
      reversed_.push_back(static_cast<char>('0' + carry % 10));
      carry /= 10;
    }
  }
  void multiply_power(std::uint64_t base, int exponent, int step) {
    std::uint64_t chunk = 1;
    for (int i = 0; i < step; ++i) chunk *= base;
    for (; exponent >= step; exponent -= step) multiply(chunk);
    for (; exponent > 0; --exponent) multiply(base);
  }
  std::string digits() const { return std::string(reversed_.rbegin(), reversed_.rend()); }

 private:
  std::string reversed_;
};

// |value| = 0.digits * 10^exponent with digits[0] != '0' (exact, no
// trailing-zero trimming needed); zero gives empty digits.
struct Exact {
  std::string digits;
  int exponent = 0;
  bool negative = false;
};

inline Exact exact_decimal(float value) {
  const auto bits = std::bit_cast<std::uint32_t>(value);
  Exact out;
  out.negative = (bits >> 31) != 0;
  const std::uint32_t biased = (bits >> 23) & 0xFF;
  std::uint32_t m = bits & 0x7FFFFF;
  int e = -149;
  if (biased != 0) {
    m |= 0x800000;
    e = static_cast<int>(biased) - 150;
  }
  if (m == 0) return out;
  // m * 2^e: for e < 0 it is m * 5^-e / 10^-e.
  BigDecimal n(m);
  int point_shift = 0;  // value = n * 10^point_shift
  if (e >= 0) {
    n.multiply_power(2, e, 30);
  } else {
    n.multiply_power(5, -e, 13);
    point_shift = e;
  }
  std::string d = n.digits();
  out.exponent = static_cast<int>(d.size()) + point_shift;
  const std::size_t first = d.find_first_not_of('0');
  d.erase(0, first);
  out.digits = d;
  return out;
}

// The exact value rounded to `count` significant digits (count >= 1), half
// away from zero: a digit string of exactly `count` digits and its exponent.
inline Exact round_significant(const Exact& x, int count) {
  Exact r = x;
  std::string d = x.digits;
  if (static_cast<int>(d.size()) <= count) {
    d.append(static_cast<std::size_t>(count) - d.size(), '0');
    r.digits = d;
    return r;
  }
  const bool up = d[static_cast<std::size_t>(count)] >= '5';
  d.resize(static_cast<std::size_t>(count));
  if (up) {
    int i = count - 1;
    while (i >= 0 && d[static_cast<std::size_t>(i)] == '9') d[static_cast<std::size_t>(i--)] = '0';
    if (i < 0) {
      d = "1" + std::string(static_cast<std::size_t>(count) - 1, '0');
      ++r.exponent;
    } else {
      ++d[static_cast<std::size_t>(i)];
    }
  }
  r.digits = d;
  return r;
}

inline std::string right_aligned(const std::string& text, int width) {
  if (static_cast<int>(text.size()) > width) return std::string(static_cast<std::size_t>(width), '*');
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

// Fw.d: d decimals; the field shows E + d significant digits, rounded there
// or, beyond nine, at the ninth with zeros after.
inline std::string reference_f(const Exact& x, int width, int decimals) {
  // The digits of round(|value| * 10^decimals), as a plain integer string.
  std::string scaled;
  if (x.digits.empty()) {
    scaled = "0";
  } else {
    const int shown = x.exponent + decimals;
    if (shown < 0) {
      scaled = "0";
    } else if (shown == 0) {
      // Below one unit in the last place: rounds to 1 when at least a half.
      scaled = x.digits[0] >= '5' ? "1" : "0";
    } else if (shown <= 9) {
      const Exact r = round_significant(x, shown);
      scaled = r.digits + std::string(static_cast<std::size_t>(r.exponent - x.exponent), '0');
    } else {
      const Exact r = round_significant(x, 9);
      scaled = r.digits + std::string(static_cast<std::size_t>(r.exponent + decimals - 9), '0');
    }
  }
  const bool all_zero = scaled.find_first_not_of('0') == std::string::npos;
  if (static_cast<int>(scaled.size()) < decimals + 1) {
    scaled.insert(0, static_cast<std::size_t>(decimals + 1) - scaled.size(), '0');
  }
  std::string whole = scaled.substr(0, scaled.size() - static_cast<std::size_t>(decimals));
  const std::string fraction = scaled.substr(scaled.size() - static_cast<std::size_t>(decimals));
  const std::string sign = x.negative && !all_zero ? "-" : "";
  std::string text = sign + whole + "." + fraction;
  if (static_cast<int>(text.size()) > width && whole == "0") text = sign + "." + fraction;
  return right_aligned(text, width);
}

// Gw.d with its fixed and exponent layouts (d <= 9, so no zero fill).
inline std::string reference_g(const Exact& x, int width, int digits) {
  if (x.digits.empty()) {
    return right_aligned("0." + std::string(static_cast<std::size_t>(digits) - 1, '0'), width - 4) + "    ";
  }
  const Exact r = round_significant(x, digits);
  const std::string sign = x.negative ? "-" : "";
  const int e = r.exponent;
  if (e >= 0 && e <= digits) {
    const std::string before = e == 0 ? "0" : r.digits.substr(0, static_cast<std::size_t>(e));
    std::string text = sign + before + "." + r.digits.substr(static_cast<std::size_t>(e));
    if (static_cast<int>(text.size()) > width - 4 && e == 0) text = sign + "." + r.digits;
    if (static_cast<int>(text.size()) > width - 4) return std::string(static_cast<std::size_t>(width), '*');
    return right_aligned(text, width - 4) + "    ";
  }
  const int magnitude = e < 0 ? -e : e;
  std::string exponent = std::to_string(magnitude);
  if (exponent.size() < 2) exponent.insert(0, "0");
  std::string text = sign + "0." + r.digits + "E" + (e < 0 ? "-" : "+") + exponent;
  if (static_cast<int>(text.size()) > width) text = sign + "." + r.digits + "E" + (e < 0 ? "-" : "+") + exponent;
  return right_aligned(text, width);
}

}  // namespace korvan::fuzzing
