// The integer and real conversions of free-format values over arbitrary
// texts, against references built on the C library: a text is accepted
// exactly when it has the documented shape, and a real is the float nearest
// to its decimal value (strtof rounds correctly), refused beyond the float
// range and a signed zero below it.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "text/value_conversion.h"

namespace {

bool digit(char c) { return c >= '0' && c <= '9'; }

[[noreturn]] void fail(const char* what, std::string_view text) {
  std::fprintf(stderr, "%s for \"%.*s\"\n", what, static_cast<int>(text.size()), text.data());
  std::abort();
}

// [sign] digits; a lone sign is zero.
bool reference_integer(std::string_view s, std::int32_t& value) {
  std::size_t i = s.empty() || (s[0] != '+' && s[0] != '-') ? 0 : 1;
  for (std::size_t j = i; j < s.size(); ++j) {
    if (!digit(s[j])) return false;
  }
  const std::string_view digits = s.substr(i);
  const std::size_t first = digits.find_first_not_of('0');
  const std::string_view significant = first == std::string_view::npos ? std::string_view() : digits.substr(first);
  if (significant.size() > 10) return false;
  const long long magnitude = significant.empty() ? 0 : std::stoll(std::string(significant));
  const long long v = !s.empty() && s[0] == '-' ? -magnitude : magnitude;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<std::int32_t>(v);
  return true;
}

// [sign] digits with at most one point (one digit at least), then E, D or Q
// (either case) and a signed whole number, or a sign and a whole number.
// Gives the text rewritten for strtof.
bool reference_shape(std::string_view s, std::string& normalized) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  bool point = false;
  for (; i < s.size(); ++i) {
    if (digit(s[i])) {
      ++digits;
    } else if (s[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  normalized.assign(s.substr(0, i));
  if (i == s.size()) return true;
  const char c = s[i];
  if (c != '\0' && std::strchr("EeDdQq", c) != nullptr) {
    ++i;
  } else if (c != '+' && c != '-') {
    return false;
  }
  normalized += 'e';
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) normalized += s[i++];
  const std::size_t exponent_start = i;
  for (; i < s.size(); ++i) {
    if (!digit(s[i])) return false;
  }
  if (i == exponent_start) return false;
  normalized.append(s.substr(exponent_start));
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  std::int32_t got_integer = 77;
  std::int32_t want_integer = 77;
  const bool integer_ok = korvan::text::convert_integer(text, got_integer);
  if (integer_ok != reference_integer(text, want_integer)) fail("integer acceptance differs", text);
  if (integer_ok && got_integer != want_integer) fail("integer value differs", text);

  std::string normalized;
  const bool shape_ok = reference_shape(text, normalized);
  float got = -7.0f;
  const bool real_ok = korvan::text::convert_real(text, got);
  if (!shape_ok) {
    if (real_ok) fail("real accepted though malformed", text);
    return 0;
  }
  errno = 0;
  const float want = std::strtof(normalized.c_str(), nullptr);
  if (std::isinf(want)) {
    if (real_ok) fail("real beyond the float range accepted", text);
    return 0;
  }
  if (!real_ok) fail("well-formed real refused", text);
  if (std::memcmp(&got, &want, sizeof got) != 0) {
    std::fprintf(stderr, "got %.9g, want %.9g\n", static_cast<double>(got), static_cast<double>(want));
    fail("real value differs", text);
  }
  return 0;
}
