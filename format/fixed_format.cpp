// Field renderers. Real fields take their digits from decimal_digits: at
// most 9 significant digits of the exact value, rounded once, zeros after.
#include "format/fixed_format.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "format/decimal_digits.h"
#include "text/word_tricks.h"

namespace korvan::format {
namespace {

constexpr int kMaxSignificant = 9;

void fill_asterisks(std::span<char> field) { std::fill(field.begin(), field.end(), '*'); }

// Blanks over the whole field; fields of 8 to 16 characters, which are most,
// take two stores of eight that may overlap.
template <std::size_t Extent>
[[gnu::always_inline]] inline void fill_blanks(std::span<char, Extent> field) {
  constexpr char kEightBlanks[8] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  if (field.size() < sizeof kEightBlanks || field.size() > 2 * sizeof kEightBlanks) {
    std::fill(field.begin(), field.end(), ' ');
    return;
  }
  std::memcpy(field.data(), kEightBlanks, sizeof kEightBlanks);
  std::memcpy(field.data() + field.size() - sizeof kEightBlanks, kEightBlanks, sizeof kEightBlanks);
}

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

// "00" to "99", for writing digits two at a time.
constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (std::size_t i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// Writes the decimal digits of n right to left, at least `min_digits` of them.
char* put_digits(char* end, std::uint64_t n, int min_digits) {
  char* const last = end;
  while (n >= 100) {
    end -= 2;
    std::memcpy(end, &kDigitPairs[2 * (n % 100)], 2);
    n /= 100;
  }
  if (n >= 10) {
    end -= 2;
    std::memcpy(end, &kDigitPairs[2 * n], 2);
  } else {
    *--end = static_cast<char>('0' + n);
  }
  while (last - end < min_digits) *--end = '0';
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

namespace {

// Texts are built right to left into a buffer prefilled with blanks, so that
// the field is then one copy of its last w bytes.
constexpr std::ptrdiff_t kBuffer = 48;

void copy_field(std::span<char> field, const char* buffer_end) {
  const char* from = buffer_end - static_cast<std::ptrdiff_t>(field.size());
  for (char& c : field) c = *from++;
}

// The text of an F field, ending at `end`; nullptr when it cannot fit w.
char* compose_f(char* end, std::size_t width, int decimals, const BinaryFloat& magnitude) {
  // Step 1: the value times 10^decimals as an integer, rounded once, from
  // at most nine significant digits.
  std::uint64_t scaled = 0;
  if (magnitude.significand != 0) {
    const Rounded nine = round_significant(magnitude, kMaxSignificant);
    const int shown = nine.decimal_exponent + decimals;  // digits the field would show
    if (shown > static_cast<int>(width) || shown > 18) return nullptr;
    scaled = shown <= kMaxSignificant ? scaled_round(magnitude, decimals)
                                      : nine.digits_value * kPow10[shown - kMaxSignificant];
  }
  // Step 2: decimals, point, integer part (its lone zero only if there is
  // room), sign. A negative value that rounds to zero shows no sign.
  const std::uint64_t unit = kPow10[decimals];
  const std::uint64_t whole = scaled / unit;
  char* p = end;
  if (decimals > 0) p = put_digits(p, scaled - whole * unit, decimals);
  *--p = '.';
  const bool minus = magnitude.negative && scaled != 0;
  const auto used = static_cast<std::size_t>(end - p) + (minus ? 1 : 0);
  if (whole != 0 || used + 1 <= width) p = put_digits(p, whole, 1);
  if (minus) *--p = '-';
  return static_cast<std::size_t>(end - p) <= width ? p : nullptr;
}

// The text of a G field ending at `end`, and whether it takes the fixed
// layout (which leaves four blanks behind it); nullptr when it cannot fit.
char* compose_g(char* end, int width, int digits, const BinaryFloat& magnitude, bool& fixed) {
  const bool zero = magnitude.significand == 0;
  // Step 1: `digits` significant digits; zero shows as 0.000..., unsigned.
  std::uint64_t shown = 0;
  int exponent10 = 1;
  if (!zero) {
    const Rounded r = g_digits(magnitude, digits);
    shown = r.digits_value;
    exponent10 = r.decimal_exponent;
  }
  const bool minus = magnitude.negative && !zero;
  char* p = end;
  fixed = zero || (exponent10 >= 0 && exponent10 <= digits);
  if (fixed) {
    // Step 2: fixed layout in w-4 positions: e digits before the point.
    end -= 4;
    p = end;
    const int before = zero ? 1 : exponent10;
    const int after = digits - before;
    const std::uint64_t unit = kPow10[after];
    const std::uint64_t whole = shown / unit;
    if (after > 0) p = put_digits(p, shown - whole * unit, after);
    *--p = '.';
    if (before > 0) {
      p = put_digits(p, whole, before);
    } else if (static_cast<int>(end - p) + 1 + (minus ? 1 : 0) <= width - 4) {
      *--p = '0';
    }
    if (minus) *--p = '-';
    return end - p <= width - 4 ? p : nullptr;
  }
  // Step 3: exponent layout, 0.dddddE+xx, the "0" only if there is room.
  const int exponent_magnitude = exponent10 < 0 ? -exponent10 : exponent10;
  p = put_digits(p, static_cast<std::uint64_t>(exponent_magnitude), 2);
  *--p = exponent10 < 0 ? '-' : '+';
  *--p = 'E';
  p = put_digits(p, shown, digits);
  *--p = '.';
  if (static_cast<int>(end - p) + 1 + (minus ? 1 : 0) <= width) *--p = '0';
  if (minus) *--p = '-';
  return end - p <= width ? p : nullptr;
}

// The eight decimal digits of n < 10^8 as characters, the first in the
// lowest byte: n is split into halves of four digits, those into pairs and
// the pairs into digits, in lanes of one word. A lane's quotient by 100 or
// 10 is a multiplication and a shift (exact for lanes below 10^4 and 100).
[[gnu::always_inline]] inline std::uint64_t eight_digit_chars(std::uint32_t n) {
  std::uint64_t x = n / 10000 | std::uint64_t{n % 10000} << 32;
  std::uint64_t high = (x * 10486 >> 20) & 0x0000007F0000007F;
  x = high | (x - high * 100) << 16;
  high = (x * 103 >> 10) & 0x000F000F000F000F;
  x = high | (x - high * 10) << 8;
  return x | 0x3030303030303030;
}

// The fixed layout of `shown`, `digits` digits with `before` of them before
// the point, as one word that ends at `end` (the first character in the
// lowest byte, blanks in front); false when the text needs more than eight
// characters.
[[gnu::always_inline]] inline bool put_fixed_word(char* end, std::uint64_t shown, int digits, int before,
                                                  bool negative) {
  const int after = digits - before;
  const int length = (before == 0 ? 1 : before) + 1 + after + (negative ? 1 : 0);
  if (length > 8) return false;
  const std::uint64_t text = eight_digit_chars(static_cast<std::uint32_t>(shown));
  // The digits before the point move down one byte to make room for it; a
  // number below one takes a leading zero of the eight along.
  const std::uint64_t fraction = ~text::bytes_below(8 - after);
  std::uint64_t word = (text & fraction) | ((text & ~fraction) >> 8) | std::uint64_t{'.'} << (8 * (7 - after));
  const int start = 8 - length;
  word = (word & ~text::bytes_below(start)) | (0x2020202020202020 & text::bytes_below(start));
  if (negative) word = (word & ~(std::uint64_t{0xFF} << (8 * start))) | std::uint64_t{'-'} << (8 * start);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  std::memcpy(end - 8, &word, sizeof word);
  return true;
}

// Powers of ten from 10^0, as doubles, for telling a float's decimal size.
constexpr double kDecades[kMaxSignificant + 1] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};

// The fixed layout of Gw.d for the values most data hold, normal floats from
// 0.1 up to 10^d whose digits come from a product that fits 64 bits: the
// same digits as the general way, found with less work. False for any other
// value, which the general way then renders. It and its helpers are always
// inlined, so that a caller with constant extents gets them folded in.
template <std::size_t Extent>
[[gnu::always_inline]] inline bool render_fixed_g_quickly(std::span<char, Extent> field, int digits, float value,
                                                          bool right_adjusted) {
  if (digits < 1 || digits > kMaxSignificant) return false;
  const BinaryFloat v = decompose(value);
  const double magnitude = std::fabs(static_cast<double>(value));
  // No float lies between 0.1 and the double nearest to it.
  if (!(magnitude >= 0.1 && magnitude < kDecades[digits]) || v.exponent >= 0) return false;
  // 10^(e-1) <= magnitude < 10^e: e digits before the point.
  int e = 0;
  while (e < digits && magnitude >= kDecades[e]) ++e;
  // round(magnitude * 10^(d-e)), halves up: the product is below 2^54 and
  // the shift at most 149.
  const int shift = -v.exponent;
  if (shift > 63) return false;
  const std::uint64_t product = static_cast<std::uint64_t>(v.significand) * kPow10[digits - e];
  std::uint64_t shown = (product + (std::uint64_t{1} << (shift - 1))) >> shift;
  if (shown == kPow10[digits]) {
    shown = kPow10[digits - 1];
    if (++e > digits) return false;  // rounds up to 10^d: the exponent layout
  }
  const int width = static_cast<int>(field.size());
  const int length = (e == 0 ? 1 : e) + 1 + (digits - e) + (v.negative ? 1 : 0);
  if (length > width - 4) return false;
  fill_blanks(field);
  char* p = field.data() + (right_adjusted ? width : width - 4);
  if (p - field.data() >= 8 && put_fixed_word(p, shown, digits, e, v.negative)) return true;
  if (e < digits) p = put_digits(p, shown % kPow10[digits - e], digits - e);
  *--p = '.';
  p = put_digits(p, shown / kPow10[digits - e], e == 0 ? 1 : e);
  if (v.negative) *--p = '-';
  return true;
}

// Fw.d for the values most coordinates hold, normal floats from 1 up to
// 10^9: the same digits as the general way (at most nine significant ones,
// rounded once, zeros after), found with less work. False for any other
// value, which the general way then renders.
bool render_f_quickly(std::span<char> field, int decimals, float value) {
  if (decimals < 0 || decimals > kMaxSignificant) return false;
  const BinaryFloat v = decompose(value);
  const double magnitude = std::fabs(static_cast<double>(value));
  if (!(magnitude >= 1 && magnitude < kDecades[kMaxSignificant])) return false;
  // 10^(e-1) <= magnitude < 10^e: e digits before the point, of which
  // and of the decimals at most nine come from the value.
  int e = 1;
  while (magnitude >= kDecades[e]) ++e;
  const int kept = std::min(kMaxSignificant - e, decimals);
  // round(magnitude * 10^kept), halves up; the product is below 2^51.
  const std::uint64_t product = static_cast<std::uint64_t>(v.significand) * kPow10[kept];
  std::uint64_t shown = product << std::max(v.exponent, 0);
  if (v.exponent < 0) {
    const int shift = -v.exponent;
    if (shift > 63) return false;
    shown = (product + (std::uint64_t{1} << (shift - 1))) >> shift;
  }
  if (shown >= kPow10[e + kept]) return false;  // rounds up to 10^e
  const int length = (v.negative ? 1 : 0) + e + 1 + decimals;
  if (length > static_cast<int>(field.size())) return false;
  char* p = field.data() + field.size();
  for (int zero = kept; zero < decimals; ++zero) *--p = '0';
  const auto unit = static_cast<std::uint32_t>(kPow10[kept]);
  const std::uint32_t whole = static_cast<std::uint32_t>(shown) / unit;
  if (kept > 0) p = put_digits(p, static_cast<std::uint32_t>(shown) - whole * unit, kept);
  *--p = '.';
  p = put_digits(p, whole, 1);
  if (v.negative) *--p = '-';
  std::fill(field.data(), p, ' ');
  return true;
}

// Gw.d, with the fixed layout's four trailing blanks either behind the text
// or, right-adjusted, in front of it.
void render_g_field(std::span<char> field, int digits, float value, bool right_adjusted) {
  if (render_fixed_g_quickly(field, digits, value, right_adjusted)) return;
  if (write_special(field, value)) return;
  char buffer[kBuffer];
  std::memset(buffer, ' ', sizeof buffer);
  bool fixed = false;
  if (compose_g(buffer + kBuffer, static_cast<int>(field.size()), digits, decompose(value), fixed) == nullptr) {
    fill_asterisks(field);
    return;
  }
  copy_field(field, buffer + kBuffer - (fixed && right_adjusted ? 4 : 0));
}

}  // namespace

void render_f(std::span<char> field, int decimals, float value) {
  if (render_f_quickly(field, decimals, value)) return;
  if (write_special(field, value)) return;
  char buffer[kBuffer];
  std::memset(buffer, ' ', sizeof buffer);
  if (compose_f(buffer + kBuffer, field.size(), decimals, decompose(value)) == nullptr) {
    fill_asterisks(field);
    return;
  }
  copy_field(field, buffer + kBuffer);
}

void render_g(std::span<char> field, int digits, float value) { render_g_field(field, digits, value, false); }

void render_g_right(std::span<char> field, int digits, float value) {
  // The data fields of every row, G12.5: the quick way is compiled for
  // them, with the extents as constants.
  if (digits == 5 && field.size() == 12 &&
      render_fixed_g_quickly(std::span<char, 12>(field.data(), 12), 5, value, true)) {
    return;
  }
  render_g_field(field, digits, value, true);
}

void render_a(std::span<char> field, std::string_view text) {
  if (text.size() >= field.size()) {
    std::memcpy(field.data(), text.data(), field.size());
    return;
  }
  place_right(field, text.data(), text.data() + text.size());
}

}  // namespace korvan::format
