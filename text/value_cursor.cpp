// The value cursor's general way, and where values stand, worked out only
// when the quick way stops or a fault is asked about.
#include "text/value_cursor.h"

namespace korvan::text {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// The starts of the blank-separated values in [begin, end), at most `room`.
std::size_t value_starts(const char* begin, const char* end, TextPosition* out, std::size_t room,
                         std::uint64_t record_line, std::string_view record) {
  std::size_t n = 0;
  for (const char* p = begin; p < end && n < room;) {
    while (p < end && is_blank(*p)) ++p;
    if (p >= end) break;
    const auto column = static_cast<std::size_t>(p - record.data());
    out[n++] = {record_line, column, ValueText(record, column)};
    while (p < end && !is_blank(*p)) ++p;
  }
  return n;
}

}  // namespace

bool ValueCursor::general(const char* before, std::size_t taken, const Items& items) {
  if (quick_) {
    // The values taken the quick way stand before `before`, separated by
    // blanks only: their places are found now, while the record is at hand.
    quick_ = false;
    const char* const record = record_.data();
    values_ = value_starts(record, before, positions_.data(), kMaxValues, record_line(), record_);
    // An entry's only texts are letters.
    reader_.resume(record_, record_line(), static_cast<std::size_t>(before - record), values_ > 0, confined_, 1);
  }
  for (std::size_t i = taken; i < items.count && status_ == IoStatus::ok; ++i) {
    status_ = reader_.next(items.items[i]);
    if (values_ < kMaxValues) positions_[values_] = reader_.value_position();
    if (status_ == IoStatus::ok && reader_.left_unchanged() && values_ < 32) nulls_ |= std::uint32_t{1} << values_;
    ++values_;
  }
  return status_ == IoStatus::ok;
}

TextPosition ValueCursor::value_position(std::size_t ordinal) const {
  if (!have_record_) return {unit_.line(), 0, {}};
  ordinal = std::min(ordinal, kMaxValues - 1);
  if (!quick_) return positions_[std::min(ordinal, values_ == 0 ? 0 : std::min(values_, kMaxValues) - 1)];
  // Every value so far came the quick way, from this record.
  std::array<TextPosition, kMaxValues> starts{};
  const std::size_t n = value_starts(record_.data(), record_.data() + record_.size(), starts.data(), ordinal + 1,
                                     record_line(), record_);
  return n == 0 ? TextPosition{record_line(), 0, {}} : starts[std::min(ordinal, n - 1)];
}

std::optional<TextPosition> ValueCursor::further_value() const {
  if (!quick_) return reader_.further_value();
  const char* p = next_;
  const char* const end = record_.data() + record_.size();
  // Mostly the record ends right after the last value.
  while (p != end && (is_blank(*p) || *p == ',')) ++p;
  if (p == end || *p == '/') return std::nullopt;
  const auto column = static_cast<std::size_t>(p - record_.data());
  return TextPosition{record_line(), column, ValueText(record_, column)};
}

std::string ValueCursor::comma_joined(const TextPosition& at) const {
  const std::size_t c = at.column;
  if (c < 2 || c >= record_.size() || record_[c - 1] != ',') return {};
  const auto digit = [](char ch) { return ch >= '0' && ch <= '9'; };
  if (!digit(record_[c - 2]) || !digit(record_[c])) return {};
  std::size_t start = c - 1;
  while (start > 0 && !is_blank(record_[start - 1]) && record_[start - 1] != ',') --start;
  std::size_t end = c;
  while (end < record_.size() && !is_blank(record_[end]) && record_[end] != ',' && record_[end] != '/') ++end;
  return std::string(record_.substr(start, end - start));
}

TextPosition ValueCursor::failure_position() const {
  if (!have_record_) return {unit_.line(), 0, {}};
  return quick_ ? TextPosition{record_line(), record_.size(), {}} : reader_.value_position();
}

}  // namespace korvan::text
