// Format texts such as "(2(1X,A15),4(1X,A12))": edit descriptors with repeat
// counts and nested groups, compiled once and then applied to item lists to
// produce records for the console, the output file or a text variable.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace korvan::textio {

using FormatItem = std::variant<std::string_view, std::int32_t, float>;

struct EditDescriptor {
  enum class Kind : std::uint8_t { skip, text, integer, fixed, general };
  Kind kind;
  int width;     // 0 for a plain A: the item's own length
  int decimals;
};

class Format {
 public:
  // nullopt when the text is not a format of the descriptors nX, A, Aw, Iw,
  // Fw.d and Gw.d with repeat counts and groups.
  static std::optional<Format> compile(std::string_view text);

  // Produces one record. The record is complete when a data descriptor finds
  // no item left or the format ends; false when an item does not match its
  // descriptor or items are left over.
  bool write(std::span<const FormatItem> items, std::string& record) const;

  // For a format of text descriptors applied to items of the given lengths,
  // where each item fills its field exactly: where each field starts and
  // how long the record is. Lets a caller place fields straight into an
  // output buffer. nullopt when the format does not fit that shape.
  struct TextLayout {
    std::vector<std::size_t> starts;
    std::size_t record_length = 0;
  };
  std::optional<TextLayout> text_layout(std::span<const std::size_t> item_lengths) const;

  // Writes into a text variable: blanks first, then the record from its first
  // position. False when the record does not fit.
  bool write_internal(std::span<const FormatItem> items, std::span<char> variable) const;

 private:
  std::vector<EditDescriptor> descriptors_;  // groups expanded
};

}  // namespace korvan::textio
