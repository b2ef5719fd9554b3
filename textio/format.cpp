// Format compilation (groups expanded into one flat list) and application.
#include "textio/format.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "textio/fixed_format.h"

namespace korvan::textio {
namespace {

using Kind = EditDescriptor::Kind;

// Recursion depth and expansion are bounded to keep a hostile format text
// from exhausting memory, yet admit the row format, which repeats its data
// group (2 descriptors) once per field for any 32-bit number of fields.
constexpr std::size_t kMaxDescriptors = std::size_t{1} << 33;

class Compiler {
 public:
  explicit Compiler(std::string_view text) : text_(text) {}

  bool group(std::vector<EditDescriptor>& out) { return parse_group(out, 0); }

  bool at_end() {
    skip_blanks();
    return pos_ == text_.size();
  }
  bool expect(char c) {
    skip_blanks();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

 private:
  void skip_blanks() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }
  std::optional<int> number() {
    skip_blanks();
    const std::size_t start = pos_;
    long long n = 0;
    while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_])) != 0) {
      n = n * 10 + (text_[pos_] - '0');
      if (n > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
      ++pos_;
    }
    if (pos_ == start) return std::nullopt;
    return static_cast<int>(n);
  }

  // Parses "(item, item, ...)" with pos_ on the "(".
  bool parse_group(std::vector<EditDescriptor>& out, int depth) {
    if (depth > 16 || !expect('(')) return false;
    for (;;) {
      const std::optional<int> count = number();
      skip_blanks();
      if (pos_ >= text_.size()) return false;
      const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text_[pos_])));
      std::vector<EditDescriptor> one;
      if (c == '(') {
        if (!parse_group(one, depth + 1)) return false;
      } else if (c == 'X') {
        ++pos_;
        if (!count) return false;
        one.push_back({Kind::skip, *count, 0});
        out.insert(out.end(), one.begin(), one.end());
        if (!separator_or_end()) return false;
        if (closed_) return true;
        continue;
      } else if (!descriptor(c, one)) {
        return false;
      }
      const int repeat = count.value_or(1);
      if (repeat < 1 || out.size() + one.size() * static_cast<std::size_t>(repeat) > kMaxDescriptors) return false;
      for (int i = 0; i < repeat; ++i) out.insert(out.end(), one.begin(), one.end());
      if (!separator_or_end()) return false;
      if (closed_) return true;
    }
  }

  bool descriptor(char c, std::vector<EditDescriptor>& one) {
    ++pos_;
    if (c == 'A') {
      const std::optional<int> w = peek_digit() ? number() : std::optional<int>(0);
      if (!w) return false;
      one.push_back({Kind::text, *w, 0});
      return true;
    }
    const std::optional<int> w = number();
    if (!w || *w < 1) return false;
    if (c == 'I') {
      one.push_back({Kind::integer, *w, 0});
      return true;
    }
    if (c != 'F' && c != 'G') return false;
    if (!expect('.')) return false;
    const std::optional<int> d = number();
    if (!d || *d >= *w || *d > 18) return false;
    one.push_back({c == 'F' ? Kind::fixed : Kind::general, *w, *d});
    return true;
  }

  bool peek_digit() {
    skip_blanks();
    return pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_])) != 0;
  }

  bool separator_or_end() {
    closed_ = false;
    if (expect(',')) return true;
    if (expect(')')) {
      closed_ = true;
      return true;
    }
    return false;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  bool closed_ = false;
};

}  // namespace

std::optional<Format> Format::compile(std::string_view text) {
  Format format;
  Compiler compiler(text);
  if (!compiler.group(format.descriptors_) || !compiler.at_end()) return std::nullopt;
  return format;
}

bool Format::write(std::span<const FormatItem> items, std::string& record) const {
  record.clear();
  std::size_t next = 0;
  for (const EditDescriptor& d : descriptors_) {
    if (d.kind == Kind::skip) {
      record.append(static_cast<std::size_t>(d.width), ' ');
      continue;
    }
    if (next == items.size()) return true;
    const FormatItem& item = items[next++];
    const std::size_t start = record.size();
    if (d.kind == Kind::text) {
      const auto* text = std::get_if<std::string_view>(&item);
      if (text == nullptr) return false;
      if (d.width == 0) {
        record.append(*text);
        continue;
      }
      record.append(static_cast<std::size_t>(d.width), ' ');
      render_a(std::span<char>(record.data() + start, static_cast<std::size_t>(d.width)), *text);
      continue;
    }
    record.append(static_cast<std::size_t>(d.width), ' ');
    const std::span<char> field(record.data() + start, static_cast<std::size_t>(d.width));
    if (d.kind == Kind::integer) {
      const auto* n = std::get_if<std::int32_t>(&item);
      if (n == nullptr) return false;
      render_i(field, *n);
      continue;
    }
    const auto* x = std::get_if<float>(&item);
    if (x == nullptr) return false;
    if (d.kind == Kind::fixed) {
      render_f(field, d.decimals, *x);
    } else {
      render_g(field, d.decimals, *x);
    }
  }
  return next == items.size();
}

std::optional<Format::TextLayout> Format::text_layout(std::span<const std::size_t> item_lengths) const {
  TextLayout layout;
  std::size_t next = 0;
  for (const EditDescriptor& d : descriptors_) {
    if (d.kind == Kind::skip) {
      layout.record_length += static_cast<std::size_t>(d.width);
      continue;
    }
    if (next == item_lengths.size()) break;
    const std::size_t length = item_lengths[next++];
    if (d.kind != Kind::text || (d.width != 0 && static_cast<std::size_t>(d.width) != length)) return std::nullopt;
    layout.starts.push_back(layout.record_length);
    layout.record_length += length;
  }
  if (next != item_lengths.size()) return std::nullopt;
  return layout;
}

bool Format::write_internal(std::span<const FormatItem> items, std::span<char> variable) const {
  std::string record;
  if (!write(items, record) || record.size() > variable.size()) return false;
  std::fill(variable.begin(), variable.end(), ' ');
  std::copy(record.begin(), record.end(), variable.begin());
  return true;
}

}  // namespace korvan::textio
