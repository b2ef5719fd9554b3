// The shortest decimal that reads back to the same float, byte for byte as
// std::to_chars writes it, with a quick way for the values that data files
// mostly hold: magnitudes from 10^-4 up to 10^7 whose shortest form has at
// most eight significant digits and is written in fixed point. Everything
// else goes to std::to_chars.
#pragma once

#include <cstddef>

namespace korvan::driver {

// The longest text: sign, nine digits, point and exponent ("-1.2345678e-38").
inline constexpr std::size_t kMaxShortestFloat = 15;
// The room that put_shortest needs after `at`: the quick way stores whole
// eight-byte words, which may reach two bytes past the longest text.
inline constexpr std::size_t kShortestFloatRoom = kMaxShortestFloat + 2;

// Writes the text at `at` and returns its end.
char* put_shortest(char* at, float value);

// The same for a double, as std::to_chars writes it (at most 24
// characters). The quick way takes what coordinates mostly are: magnitudes
// from 1 to 10^15 with at most nine decimals, written in fixed point. It
// stores whole words, which may reach kShortestDoubleRoom bytes from `at`
// whatever the text's length.
inline constexpr std::size_t kMaxShortestDouble = 24;
inline constexpr std::size_t kShortestDoubleRoom = 40;
char* put_shortest(char* at, double value);

}  // namespace korvan::driver
