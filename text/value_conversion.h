// Turns one value found by the free-format reader into an integer, a real or
// a fixed-length text. Finding the value is the reader's job; these only
// convert it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace korvan::text {

// An optional sign and decimal digits; a lone sign is zero. False when the
// text holds anything else or the number does not fit 32 bits.
bool convert_integer(std::string_view s, std::int32_t& value);

// An optional sign, digits with at most one point, then optionally an
// exponent: E, D or Q (either case) and a signed whole number, or a sign
// right after the digits. The result is the float nearest to the exact
// decimal value; a value beyond the float range is refused, one too small
// for it becomes a zero of the same sign.
bool convert_real(std::string_view s, float& value);

// The same form, to the nearest double: for values that are kept with all
// the digits they were written with.
bool convert_real_exact(std::string_view s, double& value);

// Left-aligned, blank-padded or cut on the right to the field's length.
void convert_text(std::string_view text, std::span<char> field);

}  // namespace korvan::text
