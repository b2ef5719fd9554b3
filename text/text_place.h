// Where a value stands for a person: its line and column, and its text as a
// message shows it. Both are taken while the value's line is at hand, so
// nothing is read again to make a message.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvan::text {

// The text of a value as a message shows it: from its first byte to a
// blank, tab, comma, slash or the line's end, at most 40 bytes, each byte
// that is no printable text shown as '?'.
class ValueText {
 public:
  ValueText() = default;
  ValueText(std::string_view line, std::size_t column);
  std::string str() const { return std::string(text_.data(), length_); }
  bool empty() const { return length_ == 0; }

 private:
  std::array<char, 40> text_{};
  std::uint8_t length_ = 0;
};

// Where a value stands: its line (from 1) and the byte of the line it starts
// at (from 0), with its text.
struct TextPosition {
  std::uint64_t line = 0;
  std::size_t column = 0;
  ValueText found;
};

}  // namespace korvan::text
