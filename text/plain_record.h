// A record read the quick way: values separated by blanks only, each a plain
// number or a single letter, found and converted in one pass. Anything else
// is left to the general free-format reading (see value_cursor.h), which
// gives the same values for everything this takes.
#pragma once

#include <cstdint>
#include <string_view>

#include "text/decimal_to_float.h"
#include "text/input_unit.h"
#include "text/word_tricks.h"

namespace korvan::text {

// A plain integer at p: the position after it, or nullptr to go the general way.
[[gnu::always_inline]] inline const char* parse_plain_integer(const char* p, const char* end, std::int32_t& value) {
  bool negative = false;
  if (p != end && (*p == '-' || *p == '+')) {
    negative = *p == '-';
    ++p;
  }
  std::int64_t magnitude = 0;
  const char* const first = p;
  while (p != end && plain_digit(*p) && p - first < 10) magnitude = magnitude * 10 + (*p++ - '0');
  if (p == first || !plain_token_end(p, end)) return nullptr;
  if (magnitude > (negative ? std::int64_t{2147483648} : std::int64_t{2147483647})) return nullptr;
  value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
  return p;
}

// The record must be one that an input unit delivered: the padding behind it
// may be read. Each call takes the next value; false means the record is not
// of the simple kind at this value (or has no value left), and nothing was
// stored.
class PlainRecord {
 public:
  static_assert(kRecordPadding >= kSameCharsMax, "same_value compares kSameCharsMax bytes");

  PlainRecord() = default;
  explicit PlainRecord(std::string_view record, std::size_t offset = 0)
      : p_(record.data() + offset), end_(record.data() + record.size()) {}
  PlainRecord(const char* p, const char* end) : p_(p), end_(end) {}

  // Where the next value is looked for (nullptr after a failure).
  const char* position() const { return p_; }

  [[gnu::always_inline]] bool real(float& value) { return at_value() && (p_ = parse_padded_real(p_, end_, value)) != nullptr; }
  // real(), also giving the double nearest to the text.
  [[gnu::always_inline]] bool real(float& value, double& exact) {
    return at_value() && (p_ = parse_padded_real(p_, end_, value, exact)) != nullptr;
  }
  // real(), also giving the value's text.
  [[gnu::always_inline]] bool real(float& value, std::string_view& text) {
    if (!at_value()) return false;
    const char* const start = p_;
    if ((p_ = parse_padded_real(p_, end_, value)) == nullptr) return false;
    text = std::string_view(start, static_cast<std::size_t>(p_ - start));
    return true;
  }
  // Passes the next value when its text is `text` exactly, for a caller
  // that has its value already; false, without moving, when it is not.
  // `text` has at most kSameCharsMax characters, all readable.
  [[gnu::always_inline]] bool same_value(std::string_view text) {
    if (!at_value()) return false;
    const char* const after = p_ + text.size();
    if (after > end_ || !same_chars(p_, text.data(), text.size())) return false;
    if (after != end_ && *after != ' ' && *after != '\t') return false;
    p_ = after;
    return true;
  }
  [[gnu::always_inline]] bool integer(std::int32_t& value) { return at_value() && (p_ = parse_plain_integer(p_, end_, value)) != nullptr; }

  // A value of one character that is not a mark with a meaning of its own;
  // as text it fills a one-character field whole.
  [[gnu::always_inline]] bool letter(char& value) {
    if (!at_value()) return false;
    const char c = *p_;
    if (c == '"' || c == '\'' || c == '(' || c == '*' || !plain_token_end(p_ + 1, end_)) return false;
    value = c;
    ++p_;
    return true;
  }

 private:
  // Past the blanks to the next value: false at the end of the record and at
  // a comma or slash, which the general reading handles.
  [[gnu::always_inline]] bool at_value() {
    if (p_ == nullptr) return false;
    // The padding behind the record is zeros: blanks are passed without
    // looking for the record's end each time, and the end is minded after.
    while (*p_ == ' ' || *p_ == '\t') ++p_;
    if (p_ >= end_) {
      p_ = end_;
      return false;
    }
    return *p_ != ',' && *p_ != '/';
  }

  const char* p_ = nullptr;
  const char* end_ = nullptr;
};

}  // namespace korvan::text
