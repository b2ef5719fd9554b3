// Integer, real and text conversions of free-format values.
#include "text/value_conversion.h"

#include "text/decimal_to_float.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace korvan::text {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The shape of a real as written: where its parts stand in the text.
struct RealShape {
  bool negative = false;
  std::size_t mantissa_begin = 0;  // first digit or point, after the sign
  std::size_t mantissa_end = 0;
  std::size_t exponent_begin = 0;  // first character after E/D/Q, or the sign
  bool has_exponent = false;
  bool standard_exponent = true;   // written with E or e, which from_chars reads
};

bool scan_real(std::string_view s, RealShape& shape) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    shape.negative = s[i] == '-';
    ++i;
  }
  shape.mantissa_begin = i;
  std::size_t digits = 0;
  bool point = false;
  for (; i < s.size(); ++i) {
    if (is_digit(s[i])) {
      ++digits;
    } else if (s[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  shape.mantissa_end = i;
  if (i == s.size()) return true;

  const char marker = s[i];
  switch (marker) {
    case 'E': case 'e': case 'D': case 'd': case 'Q': case 'q':
      shape.standard_exponent = marker == 'E' || marker == 'e';
      ++i;
      shape.exponent_begin = i;
      if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
      break;
    case '+': case '-':
      // A sign right after the digits starts the exponent by itself.
      shape.standard_exponent = false;
      shape.exponent_begin = i;
      ++i;
      break;
    default:
      return false;
  }
  shape.has_exponent = true;
  const std::size_t exponent_digits = i;
  while (i < s.size() && is_digit(s[i])) ++i;
  return i == s.size() && i > exponent_digits;
}

// The out-of-range case: the value is either beyond the largest float
// (refused) or closer to zero than half the smallest (a signed zero).
bool resolve_out_of_range(const std::string& normalized, bool negative, float& value) {
  const double approx = std::strtod(normalized.c_str(), nullptr);
  if (std::fabs(approx) >= 1.0) return false;
  value = negative ? -0.0f : 0.0f;
  return true;
}

// The common case, decided without from_chars: up to 19 digits and a small
// exponent (see decimal_to_float). Returns false whenever the text is
// anything but such a number.
inline bool convert_real_fast(std::string_view s, float& value) {
  const char* const end = s.data() + s.size();
  Mantissa m;
  const char* p = parse_mantissa(s.data(), end, m);
  if (m.digits == 0 || m.digits > 19) return false;
  if (p != end) {
    if (*p != 'e' && *p != 'E' && *p != 'd' && *p != 'D') return false;
    ++p;
    bool exponent_negative = false;
    if (p != end && (*p == '-' || *p == '+')) {
      exponent_negative = *p == '-';
      ++p;
    }
    if (p == end || end - p > 4) return false;
    int exponent = 0;
    for (; p != end; ++p) {
      if (!is_digit(*p)) return false;
      exponent = exponent * 10 + (*p - '0');
    }
    m.scale += exponent_negative ? -exponent : exponent;
  }
  return decimal_to_float(m.w, m.scale, m.negative, value);
}

}  // namespace

bool convert_integer(std::string_view s, std::int32_t& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  // Accumulate as a negative number so that -2147483648 fits.
  std::int64_t magnitude = 0;
  for (; i < s.size(); ++i) {
    if (!is_digit(s[i])) return false;
    magnitude = magnitude * 10 + (s[i] - '0');
    if (magnitude > std::int64_t{2147483648}) return false;
  }
  if (!negative && magnitude > std::int64_t{2147483647}) return false;
  value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
  return true;
}

// Anything the fast path declined: other exponent letters, many digits,
// large exponents, midpoints, out-of-range values and malformed text.
[[gnu::noinline]] static bool convert_real_slow(std::string_view s, float& value) {
  RealShape shape;
  if (!scan_real(s, shape)) return false;

  float result = 0.0f;
  const char* const begin = s.data() + shape.mantissa_begin;
  const char* const end = s.data() + s.size();
  if (shape.standard_exponent) {
    const auto [ptr, ec] = std::from_chars(begin, end, result);
    if (ec == std::errc() && ptr == end) {
      value = shape.negative ? -result : result;
      return true;
    }
    if (ec != std::errc::result_out_of_range) return false;
  }

  // D, Q or a bare exponent sign: rewrite the exponent with an E.
  std::string normalized(s.substr(shape.mantissa_begin, shape.mantissa_end - shape.mantissa_begin));
  if (shape.has_exponent) {
    normalized += 'e';
    normalized.append(s.substr(shape.exponent_begin));
  }
  const auto [ptr, ec] = std::from_chars(normalized.data(), normalized.data() + normalized.size(), result);
  if (ec == std::errc::result_out_of_range) return resolve_out_of_range(normalized, shape.negative, value);
  if (ec != std::errc() || ptr != normalized.data() + normalized.size()) return false;
  value = shape.negative ? -result : result;
  return true;
}

bool convert_real(std::string_view s, float& value) {
  return convert_real_fast(s, value) || convert_real_slow(s, value);
}

bool convert_real_exact(std::string_view s, double& value) {
  RealShape shape;
  if (!scan_real(s, shape)) return false;
  // The mantissa, and the exponent after an 'e' whatever its marker.
  std::string text(s.substr(shape.mantissa_begin, shape.mantissa_end - shape.mantissa_begin));
  if (shape.has_exponent) {
    text += 'e';
    text.append(s.substr(shape.exponent_begin));
  }
  double result = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), result);
  if (ec == std::errc::result_out_of_range) {
    // Below the normal range strtod gives the subnormal or zero nearest the
    // value; above it, infinity, which no value may be.
    result = std::strtod(text.c_str(), nullptr);
    if (std::isinf(result)) return false;
  } else if (ec != std::errc() || ptr != text.data() + text.size()) {
    return false;
  }
  value = shape.negative ? -result : result;
  return true;
}

void convert_text(std::string_view text, std::span<char> field) {
  const std::size_t n = std::min(text.size(), field.size());
  std::copy_n(text.data(), n, field.data());
  std::fill(field.begin() + static_cast<std::ptrdiff_t>(n), field.end(), ' ');
}

}  // namespace korvan::text
