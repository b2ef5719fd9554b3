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
  // Step 2: the text, right to left: decimals, point, integer part, sign.
  char buffer[48];
  char* const end = buffer + sizeof buffer;
  char* p = end;
  const std::uint64_t unit = kPow10[decimals];
  p = put_digits(p, scaled % unit, decimals);
  if (decimals == 0) p = end;
  *--p = '.';
  const std::uint64_t whole = scaled / unit;
  // A negative value that rounds to zero shows no sign.
  const bool minus = magnitude.negative && scaled != 0;
  const bool room_for_zero = (end - p) + 1 + (minus ? 1 : 0) <= static_cast<std::ptrdiff_t>(field.size());
  if (whole != 0 || room_for_zero) p = put_digits(p, whole, 1);
  if (minus) *--p = '-';
  place_right(field, p, end);
}

void render_g(std::span<char> field, int digits, float value) {
  if (write_special(field, value)) return;
  const int width = static_cast<int>(field.size());
  const BinaryFloat magnitude = decompose(value);
  char buffer[48];
  char* const end = buffer + sizeof buffer;

  // Step 1: zero takes the fixed layout with digits-1 zero decimals, unsigned.
  // Step 2: otherwise the rounded value's decimal exponent picks the layout.
  std::uint64_t shown = 0;
  int exponent10 = 1;
  if (magnitude.significand != 0) {
    const Rounded r = g_digits(magnitude, digits);
    shown = r.digits_value;
    exponent10 = r.decimal_exponent;
  }
  const bool zero = magnitude.significand == 0;
  if (zero || (exponent10 >= 0 && exponent10 <= digits)) {
    // Step 3: fixed layout in w-4 positions, then four blanks.
    const int before = zero ? 1 : exponent10;
    const int after = zero ? digits - 1 : digits - exponent10;
    char* p = end;
    p = put_digits(p, zero ? 0 : shown % kPow10[after], after);
    if (after == 0) p = end;
    *--p = '.';
    const bool minus = magnitude.negative && !zero;
    const bool room_for_zero = (end - p) + 1 + (minus ? 1 : 0) <= width - 4;
    if (before > 0) {
      p = put_digits(p, zero ? 0 : shown / kPow10[after], 1);
    } else if (room_for_zero) {
      *--p = '0';
    }
    if (minus) *--p = '-';
    if (end - p > width - 4) {
      fill_asterisks(field);
      return;
    }
    place_right(field.first(field.size() - 4), p, end);
    std::fill_n(field.data() + field.size() - 4, 4, ' ');
    return;
  }
  // Step 4: exponent layout, 0.ddddE+xx.
  char* p = end;
  const int exponent_magnitude = exponent10 < 0 ? -exponent10 : exponent10;
  p = put_digits(p, static_cast<std::uint64_t>(exponent_magnitude), 2);
  *--p = exponent10 < 0 ? '-' : '+';
  *--p = 'E';
  p = put_digits(p, shown, digits);
  *--p = '.';
  const int sign = magnitude.negative ? 1 : 0;
  if (end - p + sign < width) *--p = '0';
  if (sign != 0) *--p = '-';
  place_right(field, p, end);
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
  const auto last = std::find_if(text.rbegin(), text.rend(), [](char c) { return c != ' '; });
  std::rotate(text.begin(), last.base(), text.end());
}

void left_adjust(std::span<char> text) {
  const auto first = std::find_if(text.begin(), text.end(), [](char c) { return c != ' '; });
  std::rotate(text.begin(), first, text.end());
}

std::string_view trim_right(std::string_view text) {
  const std::size_t last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

}  // namespace korvan::textio
