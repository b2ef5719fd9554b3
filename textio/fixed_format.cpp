// Field renderers. Real fields take their digits from decimal_digits: at
// most 9 significant digits of the exact value, rounded once, zeros after.
#include "textio/fixed_format.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "textio/decimal_digits.h"

namespace korvan::textio {
namespace {

constexpr int kMaxSignificant = 9;

void fill_asterisks(std::span<char> field) { std::fill(field.begin(), field.end(), '*'); }

// Right-aligns `text` (built right to left, ending at `end`) in the field.
void place_right(std::span<char> field, const char* begin, const char* end) {
  const auto length = static_cast<std::size_t>(end - begin);
  if (length > field.size()) {
    fill_asterisks(field);
    return;
  }
  const std::size_t pad = field.size() - length;
  std::fill_n(field.data(), pad, ' ');
  std::memcpy(field.data() + pad, begin, length);
}

// Writes the decimal digits of n right to left, at least `min_digits` of them.
char* put_digits(char* end, std::uint64_t n, int min_digits) {
  int written = 0;
  do {
    *--end = static_cast<char>('0' + n % 10);
    n /= 10;
    ++written;
  } while (n != 0 || written < min_digits);
  return end;
}

bool write_special(std::span<char> field, float value) {
  if (std::isfinite(value)) return false;
  const char* text = std::isnan(value) ? "NaN" : (std::signbit(value) ? "-Infinity" : "Infinity");
  if (std::isinf(value) && std::strlen(text) > field.size()) text = std::signbit(value) ? "-Inf" : "Inf";
  place_right(field, text, text + std::strlen(text));
  return true;
}

// The digits of a G field: `digits` significant ones, those past the ninth
// being zeros.
Rounded g_digits(const BinaryFloat& magnitude, int digits) {
  const int significant = std::min(digits, kMaxSignificant);
  Rounded r = round_significant(magnitude, significant);
  r.digits_value *= kPow10[digits - significant];
  return r;
}

}  // namespace

void render_i(std::span<char> field, std::int64_t value) {
  char buffer[24];
  char* const end = buffer + sizeof buffer;
  const bool negative = value < 0;
  const std::uint64_t magnitude =
      negative ? std::uint64_t{0} - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  char* begin = put_digits(end, magnitude, 1);
  if (negative) *--begin = '-';
  place_right(field, begin, end);
}

void render_f(std::span<char> field, int decimals, float value) {
  if (write_special(field, value)) return;
  const BinaryFloat magnitude = decompose(value);
  // Step 1: the value times 10^decimals as an integer, rounded once.
  std::uint64_t scaled = 0;
  if (magnitude.significand != 0) {
    const Rounded nine = round_significant(magnitude, kMaxSignificant);
    const int shown = nine.decimal_exponent + decimals;  // digits the field would show
    if (shown > static_cast<int>(field.size()) || shown > 18) {
      fill_asterisks(field);
      return;
    }
    scaled = shown <= kMaxSignificant ? scaled_round(magnitude, decimals)
                                      : nine.digits_value * kPow10[shown - kMaxSignificant];
  }
  // Step 2: the digits, with at least one before the point.
  char digits[24];
  char* const digits_end = digits + sizeof digits;
  const char* first = put_digits(digits_end, scaled, decimals + 1);
  const char* const point = digits_end - decimals;
  // Step 3: sign, integer part (its lone zero only if there is room), point,
  // decimals. A negative value that rounds to zero shows no sign.
  const bool minus = magnitude.negative && scaled != 0;
  const bool lone_zero = point - first == 1 && *first == '0';
  const auto needed = static_cast<std::size_t>(digits_end - first) + 1 + (minus ? 1 : 0);
  if (lone_zero && needed > field.size()) {
    ++first;
  }
  char text[32];
  char* p = text;
  if (minus) *p++ = '-';
  const auto whole = static_cast<std::size_t>(point - first);
  std::memcpy(p, first, whole);
  p += whole;
  *p++ = '.';
  std::memcpy(p, point, static_cast<std::size_t>(decimals));
  p += decimals;
  place_right(field, text, p);
}

void render_g(std::span<char> field, int digits, float value) {
  if (write_special(field, value)) return;
  const int width = static_cast<int>(field.size());
  const BinaryFloat magnitude = decompose(value);
  const bool zero = magnitude.significand == 0;

  // Step 1: the digits rounded to `digits` significant ones; zero shows as
  // 0.000..., unsigned, in the fixed layout.
  std::uint64_t shown = 0;
  int exponent10 = 1;
  if (!zero) {
    const Rounded r = g_digits(magnitude, digits);
    shown = r.digits_value;
    exponent10 = r.decimal_exponent;
  }
  char digit_text[24];
  const char* const digit_end = digit_text + sizeof digit_text;
  const char* const d = put_digits(digit_text + sizeof digit_text, shown, digits);
  const bool minus = magnitude.negative && !zero;

  char text[40];
  char* p = text;
  if (zero || (exponent10 >= 0 && exponent10 <= digits)) {
    // Step 2: fixed layout, d significant digits around the point, in w-4
    // positions followed by four blanks.
    const int before = zero ? 1 : exponent10;
    const int after = digits - before;
    const int length = (minus ? 1 : 0) + before + 1 + after;
    if (minus) *p++ = '-';
    if (before == 0 && length + 1 <= width - 4) *p++ = '0';
    if (zero) {
      *p++ = '0';
      *p++ = '.';
      std::memcpy(p, d, static_cast<std::size_t>(after));
    } else {
      std::memcpy(p, d, static_cast<std::size_t>(before));
      p += before;
      *p++ = '.';
      std::memcpy(p, d + before, static_cast<std::size_t>(after));
    }
    p += after;
    if (p - text > width - 4) {
      fill_asterisks(field);
      return;
    }
    place_right(field.first(field.size() - 4), text, p);
    std::memset(field.data() + field.size() - 4, ' ', 4);
    return;
  }
  // Step 3: exponent layout, 0.dddddE+xx, the "0" only if there is room.
  const int exponent_magnitude = exponent10 < 0 ? -exponent10 : exponent10;
  const int length = (minus ? 1 : 0) + 1 + digits + 4;
  if (minus) *p++ = '-';
  if (length + 1 <= width) *p++ = '0';
  *p++ = '.';
  std::memcpy(p, d, static_cast<std::size_t>(digit_end - d));
  p += digit_end - d;
  *p++ = 'E';
  *p++ = exponent10 < 0 ? '-' : '+';
  char exponent_text[8];
  const char* e = put_digits(exponent_text + sizeof exponent_text, static_cast<std::uint64_t>(exponent_magnitude), 2);
  const auto exponent_length = static_cast<std::size_t>(exponent_text + sizeof exponent_text - e);
  std::memcpy(p, e, exponent_length);
  p += exponent_length;
  place_right(field, text, p);
}

void render_a(std::span<char> field, std::string_view text) {
  if (text.size() >= field.size()) {
    std::memcpy(field.data(), text.data(), field.size());
    return;
  }
  place_right(field, text.data(), text.data() + text.size());
}

std::string integer_text(std::int64_t value, int width) {
  std::string text(static_cast<std::size_t>(width), ' ');
  render_i(text, value);
  left_adjust(text);
  return std::string(trim_right(text));
}

void right_adjust(std::span<char> text) {
  std::size_t used = text.size();
  while (used > 0 && text[used - 1] == ' ') --used;
  const std::size_t shift = text.size() - used;
  if (shift == 0 || used == 0) return;
  std::memmove(text.data() + shift, text.data(), used);
  std::memset(text.data(), ' ', shift);
}

void left_adjust(std::span<char> text) {
  std::size_t lead = 0;
  while (lead < text.size() && text[lead] == ' ') ++lead;
  if (lead == 0 || lead == text.size()) return;
  std::memmove(text.data(), text.data() + lead, text.size() - lead);
  std::memset(text.data() + text.size() - lead, ' ', lead);
}

std::string_view trim_right(std::string_view text) {
  const std::size_t last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

}  // namespace korvan::textio
