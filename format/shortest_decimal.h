// The shortest decimal that reads back to the same float or double, byte
// for byte as std::to_chars(first, last, value) writes it: the digits from
// Dragonbox, in fixed point unless the exponent form is shorter.
#pragma once

#include <cstddef>

namespace korvan::format {

// The longest text: sign, nine digits, point and exponent ("-1.2345678e-38").
inline constexpr std::size_t kMaxShortestFloat = 15;
// The room that put_shortest needs after `at`: a value with a point among
// at most eight digits is stored in whole eight-byte words, the digits and
// then the fraction one place on, which may reach past the text (sign,
// seven whole digits, point, a word).
inline constexpr std::size_t kShortestFloatRoom = 1 + 7 + 1 + 8;

// Writes the text at `at` and returns its end.
char* put_shortest(char* at, float value);

// The same for a double ("-1.2345678901234567e-308"), whose words hold
// sixteen digits (sign, fifteen whole digits, point, two words).
inline constexpr std::size_t kMaxShortestDouble = 24;
inline constexpr std::size_t kShortestDoubleRoom = 1 + 15 + 1 + 16;
char* put_shortest(char* at, double value);

}  // namespace korvan::format
