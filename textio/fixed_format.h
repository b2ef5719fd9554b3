// Fixed-width fields: Iw, Fw.d, Gw.d and Aw. Each fills exactly its field
// (w = the span's size); a value too wide for it gives w asterisks.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace korvan::textio {

void render_i(std::span<char> field, std::int64_t value);
void render_f(std::span<char> field, int decimals, float value);
void render_g(std::span<char> field, int digits, float value);
void render_a(std::span<char> field, std::string_view text);

// Gw.d followed by right-adjusting the field (the four blanks that the fixed
// layout leaves behind the number move to the front), in one step.
void render_g_right(std::span<char> field, int digits, float value);

// Text helpers of the callers: an integer rendered with Iw, then moved to
// the left and stripped of trailing blanks ("12" from I9, "***" if too wide).
std::string integer_text(std::int64_t value, int width);

// Moves trailing blanks to the front / leading blanks to the end.
void right_adjust(std::span<char> text);
void left_adjust(std::span<char> text);
std::string_view trim_right(std::string_view text);

}  // namespace korvan::textio
