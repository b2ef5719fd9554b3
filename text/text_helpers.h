// The text helpers of messages and names: blanks moved and trimmed as
// fixed-length texts need, and integers as a message shows them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace korvan::text {

// An integer as Iw renders it, moved to the left and stripped of trailing
// blanks: "12" for 12 in I9, w asterisks when it does not fit.
std::string integer_text(std::int64_t value, int width);

// Moves trailing blanks to the front / leading blanks to the end; only the
// space counts as a blank.
void right_adjust(std::span<char> text);
void left_adjust(std::span<char> text);
std::string_view trim_right(std::string_view text);

}  // namespace korvan::text
