// The values of one entry of a data file, taken one at a time from the
// record it starts on: the quick way (plain_record.h) while the record holds
// plain values separated by blanks, and from where that way stops, the
// general free-format reading. The caller reads as if every value came the
// general way: the same values, nulls and statuses.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "text/free_format_reader.h"
#include "text/input_unit.h"
#include "text/plain_record.h"
#include "text/word_tricks.h"

namespace korvan::text {

// The first N reals of the last record read at some place of a file, kept
// with the characters they were read from: a record that starts with the
// same characters and a blank gives the same values.
template <std::size_t N>
class RepeatedStart {
 private:
  friend class ValueCursor;
  std::array<char, kSameCharsMax> text_{};  // whole, for same_chars
  std::size_t length_ = 0;
  std::array<float, N> values_{};
};

// The text of the last real read at some field and its value.
class RepeatedValue {
 private:
  friend class ValueCursor;
  std::array<char, kSameCharsMax> text_{};
  std::size_t length_ = 0;
  float value_ = 0;
};

// Where the values of an entry go, for ValueCursor::take.
struct Real {
  float& value;
};
struct Integer {
  std::int32_t& value;
};
struct Letter {
  char& value;
};
// The first N values of an entry, reals, taken again from `kept` when the
// record starts as the one they were read from.
template <std::size_t N>
struct RepeatedReals {
  RepeatedStart<N>& kept;
  std::array<float, N>& values;
};
// A real kept in double precision too, each the nearest to the text.
struct ExactReal {
  float& value;
  double& exact;
};
// A real taken again from `kept` when its text is the kept one.
struct RepeatedReal {
  RepeatedValue& kept;
  float& value;
};

class ValueCursor {
 public:
  explicit ValueCursor(InputUnit& unit) : unit_(unit), reader_(unit) {}

  // Starts the values of an entry at the next record; with `confined`, they
  // must all stand on it. end_of_file when no record is left (or failed).
  IoStatus start(bool confined) {
    status_ = unit_.next_record(record_);
    record_line_ = unit_.last_record_line();
    next_ = record_.data();
    quick_ = status_ == IoStatus::ok;
    have_record_ = quick_;
    confined_ = confined;
    nulls_ = 0;
    values_ = 0;
    return status_;
  }

  // The entry's next values, into the targets; a null leaves its target as
  // it is. False once the entry cannot give them: status() says why. The
  // quick way works on a record of its own, which nothing else can touch,
  // and does nothing else per value: it runs for almost every value of a
  // file.
  template <typename... Targets>
  [[gnu::always_inline]] bool take(Targets... targets) {
    if (quick_) {
      PlainRecord r(next_, record_.data() + record_.size());
      const char* before = next_;
      std::size_t taken = 0;
      if ((quick(r, targets, before, taken) && ...)) {
        next_ = r.position();
        return true;
      }
      return general(before, taken, flat_items(targets...));
    }
    return general(nullptr, 0, flat_items(targets...));
  }

  IoStatus status() const { return status_; }

  // Where value `ordinal` (from 0) of the entry began; where the read that
  // failed stood (the value it could not take, or where the input ended).
  TextPosition value_position(std::size_t ordinal) const;
  TextPosition failure_position() const;
  // The values of the entry (bit n for value n) that a null or a slash left
  // as they were; the quick way never does.
  std::uint32_t nulls() const { return nulls_; }
  // Where a value stands after those taken on the entry's one record (a
  // repeat that goes on counts; nulls and what follows a slash do not).
  std::optional<TextPosition> further_value() const;
  // The number, comma and number that a decimal comma makes of one value,
  // where the value at `at` on the entry's record follows such a comma
  // ("29,7"); empty otherwise.
  std::string comma_joined(const TextPosition& at) const;
  // The line where the entry's first value stands.
  std::uint64_t first_value_line() const { return quick_ || values_ == 0 ? record_line_ : positions_[0].line; }
  // Which value of the entry (from 0) the read that failed was looking for.
  std::size_t failed_value() const { return values_ == 0 ? 0 : values_ - 1; }

  // Positions are kept for this many values of an entry, more than any has.
  static constexpr std::size_t kMaxValues = 12;

 private:
  static bool counted(std::size_t& taken) {
    ++taken;
    return true;
  }
  // One target the quick way; `before` is where it looked for the value
  // that failed, `taken` counts the values taken.
  [[gnu::always_inline]] static bool quick(PlainRecord& r, Real t, const char*& before, std::size_t& taken) {
    before = r.position();
    return r.real(t.value) && counted(taken);
  }
  [[gnu::always_inline]] static bool quick(PlainRecord& r, ExactReal t, const char*& before, std::size_t& taken) {
    before = r.position();
    return r.real(t.value, t.exact) && counted(taken);
  }
  [[gnu::always_inline]] static bool quick(PlainRecord& r, Integer t, const char*& before, std::size_t& taken) {
    before = r.position();
    return r.integer(t.value) && counted(taken);
  }
  [[gnu::always_inline]] static bool quick(PlainRecord& r, Letter t, const char*& before, std::size_t& taken) {
    before = r.position();
    return r.letter(t.value) && counted(taken);
  }
  template <std::size_t N>
  [[gnu::always_inline]] bool quick(PlainRecord& r, RepeatedReals<N> t, const char*& before, std::size_t& taken) {
    RepeatedStart<N>& kept = t.kept;
    const char* const record = record_.data();
    if (r.position() == record && kept.length_ > 0 && record_.size() > kept.length_ &&
        (record[kept.length_] == ' ' || record[kept.length_] == '\t') &&
        same_chars(record, kept.text_.data(), kept.length_)) {
      t.values = kept.values_;
      r = PlainRecord(record + kept.length_, record + record_.size());
      taken += N;
      return true;
    }
    const bool at_start = r.position() == record;
    for (float& value : t.values) {
      if (!quick(r, Real{value}, before, taken)) return false;
    }
    if (at_start) {
      const auto used = static_cast<std::size_t>(r.position() - record);
      kept.length_ = used <= kept.text_.size() ? used : 0;
      std::memcpy(kept.text_.data(), record, kept.length_);
      kept.values_ = t.values;
    }
    return true;
  }
  [[gnu::always_inline]] static bool quick(PlainRecord& r, RepeatedReal t, const char*& before, std::size_t& taken) {
    before = r.position();
    RepeatedValue& kept = t.kept;
    if (kept.length_ > 0 && r.same_value(std::string_view(kept.text_.data(), kept.length_))) {
      t.value = kept.value_;
      return counted(taken);
    }
    std::string_view text;
    if (!r.real(t.value, text)) return false;
    kept.length_ = text.size() <= kept.text_.size() ? text.size() : 0;
    std::memcpy(kept.text_.data(), text.data(), kept.length_);
    kept.value_ = t.value;
    return counted(taken);
  }

  // The targets as items of the general reading, reals one by one.
  static std::size_t item_count(const Real&) { return 1; }
  static std::size_t item_count(const Integer&) { return 1; }
  static std::size_t item_count(const ExactReal&) { return 1; }
  static std::size_t item_count(const Letter&) { return 1; }
  static std::size_t item_count(const RepeatedReal&) { return 1; }
  template <std::size_t N>
  static std::size_t item_count(const RepeatedReals<N>&) { return N; }
  static void append(Item* out, std::size_t& n, Real t) { out[n++] = Item::of(t.value); }
  static void append(Item* out, std::size_t& n, Integer t) { out[n++] = Item::of(t.value); }
  static void append(Item* out, std::size_t& n, ExactReal t) { out[n++] = Item::of(t.value, t.exact); }
  static void append(Item* out, std::size_t& n, Letter t) { out[n++] = Item::of(std::span<char>(&t.value, 1)); }
  static void append(Item* out, std::size_t& n, RepeatedReal t) { out[n++] = Item::of(t.value); }
  template <std::size_t N>
  static void append(Item* out, std::size_t& n, RepeatedReals<N> t) {
    for (float& value : t.values) out[n++] = Item::of(value);
  }
  struct Items {
    std::array<Item, kMaxValues> items{};
    std::size_t count = 0;
  };
  template <typename... Targets>
  static Items flat_items(Targets... targets) {
    Items out;
    (append(out.items.data(), out.count, targets), ...);
    return out;
  }

  // The general reading: from where the quick way stopped (`before`, where
  // it looked for the value after the `taken` ones) on the first call.
  [[gnu::noinline]] bool general(const char* before, std::size_t taken, const Items& items);

  // The line of the entry's first record.
  std::uint64_t record_line() const { return record_line_; }

  InputUnit& unit_;
  FreeFormatReader reader_;
  std::string_view record_;
  std::uint64_t record_line_ = 0;
  const char* next_ = nullptr;  // where the quick way goes on
  IoStatus status_ = IoStatus::end_of_file;
  bool quick_ = false;
  bool have_record_ = false;
  bool confined_ = false;
  std::size_t values_ = 0;  // values of the entry read the general way, with those before
  std::uint32_t nulls_ = 0;
  std::array<TextPosition, kMaxValues> positions_{};
};

}  // namespace korvan::text
