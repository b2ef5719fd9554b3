// Blank movement and integer texts.
#include "text/text_helpers.h"

#include <cstring>

namespace korvan::text {

std::string integer_text(std::int64_t value, int width) {
  std::string text = std::to_string(value);
  if (static_cast<int>(text.size()) > width) text.assign(static_cast<std::size_t>(width), '*');
  return text;
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

}  // namespace korvan::text
