// A value's text, cut where a free-format read ends it.
#include "text/text_place.h"

#include <algorithm>

namespace korvan::text {

ValueText::ValueText(std::string_view line, std::size_t column) {
  if (column >= line.size()) return;
  const std::string_view rest = line.substr(column);
  const std::size_t end = std::min({rest.find_first_of(" \t,/"), rest.size(), text_.size()});
  for (std::size_t i = 0; i < end; ++i) {
    const auto c = static_cast<unsigned char>(rest[i]);
    text_[i] = c < 0x20 || c >= 0x7F ? '?' : rest[i];
  }
  length_ = static_cast<std::uint8_t>(end);
}

}  // namespace korvan::text
