// format/: rendering numbers - fixed-width fields (here), exact decimal
// rounding (decimal_digits.h) and shortest decimals (shortest_decimal.h). It
// uses text/ alone, for its word tricks.
//
// Fixed-width fields: Iw, Fw.d, Gw.d and Aw. Each fills exactly its field
// (w = the span's size); a value too wide for it gives w asterisks.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace korvan::format {

void render_i(std::span<char> field, std::int64_t value);
void render_f(std::span<char> field, int decimals, float value);
void render_g(std::span<char> field, int digits, float value);
void render_a(std::span<char> field, std::string_view text);

// Gw.d followed by right-adjusting the field (the four blanks that the fixed
// layout leaves behind the number move to the front), in one step.
void render_g_right(std::span<char> field, int digits, float value);

}  // namespace korvan::format
