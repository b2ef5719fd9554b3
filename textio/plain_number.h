// Plain decimal numbers, as they stand in almost every data line: an
// optional sign, digits, optionally a point and more digits, and then the
// end of the token. The reader converts them in the same pass that finds
// the token's end; anything else goes the general way.
#pragma once

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <cstdint>
#include <string_view>

#include "textio/decimal_digits.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvan::textio {

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

inline bool plain_digit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// What may follow a value on its line: a blank, tab, comma, slash or the end.
inline bool plain_token_end(const char* p, const char* end) {
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

// Bytes that may be read past the end of a record given to the padded
// parsers below; the input unit keeps that many readable bytes behind its
// buffer, all of them zeros (so no run of blanks goes past them). What they
// hold never changes a result.
inline constexpr std::size_t kReadablePadding = 32;

// Eight characters at p, the first in the lowest byte.
inline std::uint64_t load_eight(const char* p) {
  std::uint64_t v = 0;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}

// How many of the eight characters in v, from the first, are digits. A byte
// above 0xF9 carries into the next one when nudged, but it is no digit
// itself, so the count is still right.
inline std::uint64_t non_digit_bits(std::uint64_t v) {
  constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0;
  constexpr std::uint64_t kThrees = 0x3030303030303030;
  return ((v & kHigh) ^ kThrees) | (((v + 0x0606060606060606) & kHigh) ^ kThrees);
}

inline int digit_run(std::uint64_t v) {
  const std::uint64_t other = non_digit_bits(v);
  return other == 0 ? 8 : std::countr_zero(other) / 8;
}

// The top bit of every byte of v that is not zero, or that is zero.
inline constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;
inline std::uint64_t nonzero_bytes(std::uint64_t v) { return (((v & kLow7) + kLow7) | v) & ~kLow7; }
inline std::uint64_t zero_bytes(std::uint64_t v) { return ~((((v & kLow7) + kLow7) | v) | kLow7); }

// The bytes of an eight-byte word below byte n (0 to 8).
inline std::uint64_t bytes_below(int n) { return n >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * n)) - 1; }

// Whether the first n (at most 32) characters at a and b are the same, for
// texts with 32 readable bytes at both: two comparisons of sixteen bytes,
// without a call.
inline bool same_chars(const char* a, const char* b, std::size_t n) {
#if defined(__SSE2__)
  const auto equal = [a, b](int at) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + at));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + at));
    return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, y))));
  };
  const std::uint64_t wanted = (std::uint64_t{1} << n) - 1;
  return ((equal(0) | equal(16) << 16) & wanted) == wanted;
#else
  return std::memcmp(a, b, n) == 0;
#endif
}

// The value of the first n (1 to 8) characters of v, all digits: the digits
// are moved to the top, the bytes below them count as leading zeros, and
// three multiplications combine pairs, fours and the eight.
inline std::uint32_t digits_value(std::uint64_t v, int n) {
  v <<= 8 * (8 - n);
  v = (v & 0x0F0F0F0F0F0F0F0F) * 2561 >> 8;
  v = (v & 0x00FF00FF00FF00FF) * 6553601 >> 16;
  return static_cast<std::uint32_t>((v & 0x0000FFFF0000FFFF) * 42949672960001 >> 32);
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

// parse_plain_real for a text followed by kReadablePadding readable bytes:
// the digits before and after the point are found and converted eight at a
// time, without a branch per digit. Longer runs go the byte-wise way. With
// kConvert false, only the form is checked, for a value that is not kept: a
// plain decimal of so few digits always converts.
template <bool kConvert>
inline const char* padded_real(const char* p, const char* end, float& value) {
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
    if constexpr (kConvert) {
      const std::uint64_t w = digits_value(digits, count);
      if (!decimal_to_float(w, -fraction, negative, value)) return exact_plain_real(start, p, value);
    }
    return p;
  }
  const int whole = std::min(digit_run(whole_chars), room(p));
  if (whole == 8) return parse_plain_real(start, end, value);
  std::uint64_t w = 0;
  if constexpr (kConvert) w = whole > 0 ? digits_value(whole_chars, whole) : 0;
  p += whole;
  int fraction = 0;
  if (p != end && *p == '.') {
    ++p;
    const std::uint64_t fraction_chars = load_eight(p);
    fraction = std::min(digit_run(fraction_chars), room(p));
    if (fraction == 8) return parse_plain_real(start, end, value);
    if constexpr (kConvert) {
      if (fraction > 0) w = w * kPow10[fraction] + digits_value(fraction_chars, fraction);
    }
    p += fraction;
  }
  if (whole + fraction == 0 || !plain_token_end(p, end)) return nullptr;
  if constexpr (kConvert) {
    if (!decimal_to_float(w, -fraction, negative, value)) return exact_plain_real(start, p, value);
  }
  return p;
}

inline const char* parse_padded_real(const char* p, const char* end, float& value) {
  return padded_real<true>(p, end, value);
}

// A real that is not kept: the position after it, or nullptr.
inline const char* skip_padded_real(const char* p, const char* end) {
  float unused = 0;
  return padded_real<false>(p, end, unused);
}

// A plain integer at p: the position after it, or nullptr to go the general way.
inline const char* parse_plain_integer(const char* p, const char* end, std::int32_t& value) {
  bool negative = false;
  if (p != end && (*p == '-' || *p == '+')) {
    negative = *p == '-';
    ++p;
  }
  std::int64_t magnitude = 0;
  const char* const first = p;
  while (p != end && plain_digit(*p) && p - first < 10) magnitude = magnitude * 10 + (*p++ - '0');
  if (p == first || !plain_token_end(p, end)) return nullptr;
  if (magnitude > (negative ? std::int64_t{2147483648} : std::int64_t{2147483647})) return nullptr;
  value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
  return p;
}

// A record read the quick way: values separated by blanks only, each a
// plain number or a single letter. The record must lie in an input unit's
// buffer, which keeps readable bytes (kReadablePadding) behind it. Each call
// takes the next value; a false means the record is not of this simple kind
// here (or has no value left), and the caller then reads it the general way,
// which gives the same values for every record this reads to the end.
class PlainRecord {
 public:
  explicit PlainRecord(std::string_view record, std::size_t offset = 0)
      : p_(record.data() + offset), end_(record.data() + record.size()) {}

  // Where the next value is looked for (nullptr after a failure).
  const char* position() const { return p_; }

  bool real(float& value) { return at_value() && (p_ = parse_padded_real(p_, end_, value)) != nullptr; }
  // real(), also giving the value's text.
  bool real(float& value, std::string_view& text) {
    if (!at_value()) return false;
    const char* const start = p_;
    if ((p_ = parse_padded_real(p_, end_, value)) == nullptr) return false;
    text = std::string_view(start, static_cast<std::size_t>(p_ - start));
    return true;
  }
  // Passes the next value when its text is `text` exactly, for a caller
  // that has its value already; false, without moving, when it is not.
  // `text` has at most 32 characters and 32 readable bytes.
  bool same_value(std::string_view text) {
    if (!at_value()) return false;
    const char* const after = p_ + text.size();
    if (after > end_ || !same_chars(p_, text.data(), text.size())) return false;
    if (after != end_ && *after != ' ' && *after != '\t') return false;
    p_ = after;
    return true;
  }
  // A real that is read and not kept.
  bool skip_real() { return at_value() && (p_ = skip_padded_real(p_, end_)) != nullptr; }
  bool integer(std::int32_t& value) { return at_value() && (p_ = parse_plain_integer(p_, end_, value)) != nullptr; }

  // A value of one character that is not a mark with a meaning of its own;
  // as text it fills a one-character field whole.
  bool letter(char& value) {
    if (!at_value()) return false;
    const char c = *p_;
    if (c == '"' || c == '\'' || c == '(' || c == '*' || !plain_token_end(p_ + 1, end_)) return false;
    value = c;
    ++p_;
    return true;
  }

 private:
  // Past the blanks to the next value: false at the end of the record and at
  // a comma or slash, which the general reading handles.
  bool at_value() {
    if (p_ == nullptr) return false;
    // The bytes behind the record may be read: blanks are passed without
    // looking for its end each time, and the end is minded afterwards.
    while (*p_ == ' ' || *p_ == '\t') ++p_;
    if (p_ >= end_) {
      p_ = end_;
      return false;
    }
    return *p_ != ',' && *p_ != '/';
  }

  const char* p_;
  const char* end_;
};

}  // namespace korvan::textio
