// Free-format (list-directed) reading: values separated by blanks, tabs,
// commas or line ends; null values; r* and r*c repeats; a slash that ends
// the read; quoted texts that may run over line ends. Each read starts at a
// new record and discards the rest of the record in which it ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "text/input_unit.h"
#include "text/status.h"
#include "text/text_place.h"

namespace korvan::text {

// exact_real: a real that also keeps the double nearest its text.
enum class ItemKind : std::uint8_t { integer, real, text, exact_real };

// A variable that a read may fill. A null value leaves it unchanged.
struct Item {
  ItemKind kind;
  void* target;
  std::size_t length = 0;                 // text items: the field length
  // Text items: the value's full length up to its last non-blank character,
  // however much of it the field holds.
  std::size_t* value_length = nullptr;
  double* exact = nullptr;  // exact reals: the double

  static Item of(std::int32_t& v) { return {ItemKind::integer, &v}; }
  static Item of(float& v) { return {ItemKind::real, &v}; }
  static Item of(float& v, double& exact) { return {ItemKind::exact_real, &v, 0, nullptr, &exact}; }
  static Item of(std::span<char> field, std::size_t* value_length = nullptr) {
    return {ItemKind::text, field.data(), field.size(), value_length};
  }
};

class FreeFormatReader {
 public:
  explicit FreeFormatReader(InputUnit& unit) : unit_(unit) {}

  // One read over as many records as the items need.
  IoStatus read(std::span<const Item> items);

  // A read taken one item at a time, for a caller that found the values
  // before `offset` of `record` itself (the unit's last record, line
  // `record_line` of the input): next() goes on as read() would from there.
  // `after_value`: a value stands before offset, so that a comma next is
  // its separator rather than a null. `confined`: the values must stand on
  // this record. Quoted texts are kept up to `text_length` characters.
  void resume(std::string_view record, std::uint64_t record_line, std::size_t offset, bool after_value,
              bool confined, std::size_t text_length);
  IoStatus next(const Item& item);

  // Where the last value looked for began (or where the input ended), with
  // its text.
  TextPosition value_position() const { return {record_line_, value_start_, ValueText(record_, value_start_)}; }
  // The record in which the last read ended, whole.
  std::string_view record() const { return record_; }
  // Where a value stands after the last one read on the same record: a
  // repeat that goes on, or a value before the record's end or a slash.
  std::optional<TextPosition> further_value() const;
  // Whether next() left its item as it was: a null, or an item after a slash.
  bool left_unchanged() const { return left_unchanged_; }

 private:
  enum class Found { value, null, slash };

  IoStatus fill(const Item& item);
  IoStatus next_record();
  IoStatus next_value(const Item& item, Found& found, std::string_view& value, bool& quoted);
  IoStatus read_quoted(char mark);
  IoStatus store(const Item& item, std::string_view value, bool quoted);

  InputUnit& unit_;
  std::string_view record_;
  std::size_t pos_ = 0;
  bool confined_ = false;
  bool null_comma_ = true;
  bool slash_seen_ = false;
  std::uint64_t repeat_left_ = 0;
  bool repeat_null_ = false;
  bool repeat_quoted_ = false;
  std::string_view repeat_value_;
  std::uint64_t record_line_ = 0;
  std::size_t value_start_ = 0;
  bool left_unchanged_ = false;
  std::string quoted_;  // a quoted value, kept up to the longest field's length
  std::size_t quoted_length_ = 0;       // its full length
  std::size_t quoted_significant_ = 0;  // its length without trailing blanks
  std::size_t text_length_ = 0;         // the longest text field of the read in progress
};

}  // namespace korvan::text
