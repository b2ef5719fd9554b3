// The free-format reader: finds values (tokens, quoted texts, nulls,
// repeats) in records and hands them to the item conversions.
#include "text/free_format_reader.h"

#include <algorithm>
#include <array>
#include <limits>

#include "text/plain_record.h"
#include "text/value_conversion.h"

namespace korvan::text {
namespace {

// Character classes, looked up once per character on the hot path.
enum CharClass : std::uint8_t { kBlank = 1, kEndsToken = 2, kSpecial = 4, kStar = 8 };

constexpr std::array<std::uint8_t, 256> make_classes() {
  std::array<std::uint8_t, 256> classes{};
  classes[' '] = kBlank | kEndsToken;
  classes['\t'] = kBlank | kEndsToken;
  classes[','] = kEndsToken | kSpecial;
  classes['/'] = kEndsToken | kSpecial;
  classes['"'] = kSpecial;
  classes['\''] = kSpecial;
  classes['('] = kSpecial;
  classes['*'] = kStar;
  return classes;
}
constexpr std::array<std::uint8_t, 256> kClasses = make_classes();

bool is_blank(char c) { return (kClasses[static_cast<unsigned char>(c)] & kBlank) != 0; }
bool ends_token(char c) { return (kClasses[static_cast<unsigned char>(c)] & kEndsToken) != 0; }
bool is_quote(char c) { return c == '"' || c == '\''; }

// A repeat count: one or more digits. Counts too large to matter saturate,
// since a repeat is cut off at the end of the item list anyway.
bool parse_count(std::string_view digits, std::uint64_t& count) {
  if (digits.empty()) return false;
  std::uint64_t n = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return false;
    n = std::min<std::uint64_t>(n * 10 + static_cast<std::uint64_t>(c - '0'),
                                std::numeric_limits<std::uint32_t>::max());
  }
  count = n;
  return true;
}

}  // namespace

IoStatus FreeFormatReader::next_record() {
  record_line_ = unit_.line();
  const IoStatus status = unit_.next_record(record_);
  pos_ = 0;
  value_start_ = 0;
  return status;
}

IoStatus FreeFormatReader::read(std::span<const Item> items) {
  confined_ = false;
  null_comma_ = true;
  slash_seen_ = false;
  repeat_left_ = 0;
  text_length_ = 0;
  for (const Item& item : items) {
    if (item.kind == ItemKind::text) text_length_ = std::max(text_length_, item.length);
  }
  const IoStatus status = next_record();
  if (status != IoStatus::ok) return status;
  for (const Item& item : items) {
    if (slash_seen_) break;
    const IoStatus filled = fill(item);
    if (filled != IoStatus::ok) return filled;
  }
  return IoStatus::ok;
}

void FreeFormatReader::resume(std::string_view record, std::uint64_t record_line, std::size_t offset,
                              bool after_value, bool confined, std::size_t text_length) {
  record_ = record;
  record_line_ = record_line;
  pos_ = offset;
  value_start_ = offset;
  null_comma_ = !after_value;
  confined_ = confined;
  slash_seen_ = false;
  repeat_left_ = 0;
  text_length_ = text_length;
}

IoStatus FreeFormatReader::next(const Item& item) {
  left_unchanged_ = true;
  return slash_seen_ ? IoStatus::ok : fill(item);
}

std::optional<TextPosition> FreeFormatReader::further_value() const {
  if (slash_seen_) return std::nullopt;
  if (repeat_left_ > 0 && !repeat_null_) return value_position();
  std::size_t at = pos_;
  while (at < record_.size() && (is_blank(record_[at]) || record_[at] == ',')) ++at;
  if (at == record_.size() || record_[at] == '/') return std::nullopt;
  return TextPosition{record_line_, at, ValueText(record_, at)};
}

IoStatus FreeFormatReader::fill(const Item& item) {
  // The common case first: no repeat pending, and after any blanks a plain
  // token (no comma, slash, quote, parenthesis or asterisk) on this record.
  if (repeat_left_ == 0) {
    const char* const base = record_.data();
    const char* const end = base + record_.size();
    const char* p = base + pos_;
    while (p != end && is_blank(*p)) ++p;
    pos_ = static_cast<std::size_t>(p - base);
    value_start_ = pos_;
    if (p != end && (kClasses[static_cast<unsigned char>(*p)] & kSpecial) == 0) {
      // Numbers are converted in the pass that finds their end.
      const char* after = nullptr;
      if (item.kind == ItemKind::real) {
        after = parse_padded_real(p, end, *static_cast<float*>(item.target));
      } else if (item.kind == ItemKind::exact_real) {
        after = parse_padded_real(p, end, *static_cast<float*>(item.target), *item.exact);
      } else if (item.kind == ItemKind::integer) {
        after = parse_plain_integer(p, end, *static_cast<std::int32_t*>(item.target));
      }
      if (after != nullptr) {
        pos_ = static_cast<std::size_t>(after - base);
        null_comma_ = false;
        left_unchanged_ = false;
        return IoStatus::ok;
      }
      const char* const start = p;
      std::uint8_t seen = 0;
      while (p != end) {
        const std::uint8_t c = kClasses[static_cast<unsigned char>(*p)];
        if ((c & kEndsToken) != 0) break;
        seen |= c;
        ++p;
      }
      if ((seen & kStar) == 0) {
        pos_ = static_cast<std::size_t>(p - base);
        null_comma_ = false;
        left_unchanged_ = false;
        if (item.kind == ItemKind::text && item.value_length == nullptr) {
          // A letter, mostly: copied here rather than through store().
          auto* field = static_cast<char*>(item.target);
          const auto length = static_cast<std::size_t>(p - start);
          const std::size_t kept = std::min(length, item.length);
          for (std::size_t i = 0; i < kept; ++i) field[i] = start[i];
          for (std::size_t i = kept; i < item.length; ++i) field[i] = ' ';
          return IoStatus::ok;
        }
        return store(item, std::string_view(start, static_cast<std::size_t>(p - start)), false);
      }
    }
  }
  Found found = Found::null;
  std::string_view value;
  bool quoted = false;
  const IoStatus status = next_value(item, found, value, quoted);
  if (status != IoStatus::ok) return status;
  if (found == Found::slash) {
    slash_seen_ = true;
    return IoStatus::ok;
  }
  if (found != Found::value) return IoStatus::ok;
  left_unchanged_ = false;
  return store(item, value, quoted);
}

IoStatus FreeFormatReader::next_value(const Item& item, Found& found, std::string_view& value,
                                      bool& quoted) {
  if (repeat_left_ > 0) {
    --repeat_left_;
    found = repeat_null_ ? Found::null : Found::value;
    value = repeat_value_;
    quoted = repeat_quoted_;
    return IoStatus::ok;
  }
  const bool numeric = item.kind != ItemKind::text;
  for (;;) {
    while (pos_ < record_.size() && is_blank(record_[pos_])) ++pos_;
    value_start_ = pos_;
    if (pos_ == record_.size()) {
      if (confined_) return IoStatus::short_record;
      const IoStatus status = next_record();
      if (status != IoStatus::ok) return status;
      continue;
    }
    const char c = record_[pos_];
    if (c == ',') {
      ++pos_;
      if (null_comma_) {
        found = Found::null;
        return IoStatus::ok;
      }
      null_comma_ = true;  // the separator after the previous value
      continue;
    }
    if (c == '/') {
      ++pos_;
      found = Found::slash;
      return IoStatus::ok;
    }
    if (is_quote(c)) {
      if (numeric) return IoStatus::malformed;
      null_comma_ = false;
      const IoStatus status = read_quoted(c);
      if (status != IoStatus::ok) return status;
      found = Found::value;
      value = quoted_;
      quoted = true;
      return IoStatus::ok;
    }
    if (c == '(' && numeric) return IoStatus::malformed;
    break;
  }

  const std::size_t start = pos_;
  bool has_star = false;
  while (pos_ < record_.size() && !ends_token(record_[pos_])) {
    has_star |= record_[pos_] == '*';
    ++pos_;
  }
  const std::string_view token = record_.substr(start, pos_ - start);
  null_comma_ = false;
  found = Found::value;
  value = token;
  quoted = false;
  if (!has_star) return IoStatus::ok;

  const std::size_t star = token.find('*');
  std::uint64_t count = 0;
  if (!parse_count(token.substr(0, star), count)) {
    // Only a number can be a repeat; in a text the asterisk is a character.
    return numeric ? IoStatus::malformed : IoStatus::ok;
  }
  if (count == 0) return IoStatus::malformed;
  const std::string_view rest = token.substr(star + 1);
  repeat_left_ = count - 1;
  repeat_quoted_ = false;
  if (rest.empty()) {
    repeat_null_ = true;
    found = Found::null;
    return IoStatus::ok;
  }
  repeat_null_ = false;
  if (is_quote(rest.front())) {
    if (numeric) return IoStatus::malformed;
    pos_ = start + star + 1;
    const IoStatus status = read_quoted(rest.front());
    if (status != IoStatus::ok) return status;
    repeat_quoted_ = true;
    repeat_value_ = quoted_;
    value = quoted_;
    quoted = true;
    return IoStatus::ok;
  }
  repeat_value_ = rest;
  value = rest;
  return IoStatus::ok;
}

// pos_ stands on the opening mark. The value ends at the next single mark of
// the same kind; a doubled mark stands for one; a line end adds nothing.
IoStatus FreeFormatReader::read_quoted(char mark) {
  // A quoted value may run on over many records: only as much of it is
  // kept as the read's longest text field can hold.
  const std::size_t keep = text_length_;
  quoted_.clear();
  quoted_length_ = 0;
  quoted_significant_ = 0;
  ++pos_;
  auto append = [this, keep](std::string_view part) {
    const std::size_t last = part.find_last_not_of(' ');
    if (last != std::string_view::npos) quoted_significant_ = quoted_length_ + last + 1;
    quoted_length_ += part.size();
    if (quoted_.size() < keep) quoted_.append(part.substr(0, keep - quoted_.size()));
  };
  for (;;) {
    const std::size_t close = record_.find(mark, pos_);
    if (close == std::string_view::npos) {
      append(record_.substr(pos_));
      if (confined_) return IoStatus::short_record;
      const IoStatus status = next_record();
      if (status != IoStatus::ok) return status;
      continue;
    }
    append(record_.substr(pos_, close - pos_));
    if (close + 1 < record_.size() && record_[close + 1] == mark) {
      append(record_.substr(close, 1));
      pos_ = close + 2;
      continue;
    }
    pos_ = close + 1;
    return IoStatus::ok;
  }
}

IoStatus FreeFormatReader::store(const Item& item, std::string_view value, bool quoted) {
  // A repeat hands its quoted value to later items too; for a number it is
  // malformed there as well (and may be cut to the longest text field).
  if (quoted && item.kind != ItemKind::text) return IoStatus::malformed;
  switch (item.kind) {
    case ItemKind::integer:
      return convert_integer(value, *static_cast<std::int32_t*>(item.target)) ? IoStatus::ok
                                                                             : IoStatus::malformed;
    case ItemKind::real:
      return convert_real(value, *static_cast<float*>(item.target)) ? IoStatus::ok
                                                                    : IoStatus::malformed;
    case ItemKind::exact_real: {
      // Both from the text itself: the float is never the double rounded
      // again, which could land on the other side of a midpoint.
      float single = 0;
      double exact = 0;
      if (!convert_real(value, single) || !convert_real_exact(value, exact)) return IoStatus::malformed;
      *static_cast<float*>(item.target) = single;
      *item.exact = exact;
      return IoStatus::ok;
    }
    case ItemKind::text:
      convert_text(value, std::span<char>(static_cast<char*>(item.target), item.length));
      if (item.value_length != nullptr) *item.value_length = quoted ? quoted_significant_ : value.size();
      return IoStatus::ok;
  }
  return IoStatus::malformed;
}

}  // namespace korvan::text
