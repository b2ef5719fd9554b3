// Free-format (list-directed) reading: values separated by blanks, tabs,
// commas or line ends; null values; r* and r*c repeats; a slash that ends
// the read; quoted texts that may run over line ends. Each read starts at a
// new record and discards the rest of the record in which it ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "textio/input_unit.h"
#include "textio/status.h"

namespace korvan::textio {

enum class ItemKind : std::uint8_t { integer, real, text };

// A variable that a read may fill. A null value leaves it unchanged.
struct Item {
  ItemKind kind;
  void* target;
  std::size_t length = 0;                 // text items: the field length
  // Text items: the value's full length up to its last non-blank character,
  // however much of it the field holds.
  std::size_t* value_length = nullptr;

  static Item of(std::int32_t& v) { return {ItemKind::integer, &v}; }
  static Item of(float& v) { return {ItemKind::real, &v}; }
  static Item of(std::span<char> field, std::size_t* value_length = nullptr) {
    return {ItemKind::text, field.data(), field.size(), value_length};
  }
};

// Where a read confined to one record stopped, so that a read of the same
// record after a step back can go on from there instead of converting the
// same values a second time.
struct LineMark {
  std::size_t record_position = 0;  // the unit's position of the record
  std::size_t offset = 0;           // position within the record
  bool null_comma = true;
  bool slash_seen = false;
  std::uint64_t repeat_left = 0;
  bool repeat_null = false;
  bool repeat_quoted = false;
  std::string_view repeat_value;    // within the record, which a step back keeps
};

class FreeFormatReader {
 public:
  explicit FreeFormatReader(InputUnit& unit) : unit_(unit) {}

  // One read over as many records as the items need.
  IoStatus read(std::span<const Item> items);

  // One read that must find all its values on one record: a record that ends
  // first gives short_record. With a mark, records where it stopped.
  IoStatus read_line(std::span<const Item> items, LineMark* mark = nullptr);

  // After a step back to the marked record: reads that record again as if
  // from its start, the items of the marked read being scratch values that
  // were already converted, and then `items`, confined to the record.
  IoStatus read_line_after(const LineMark& mark, std::span<const Item> items);

 private:
  enum class Found { value, null, slash };

  IoStatus start_read(bool confined);
  IoStatus fill_items(std::span<const Item> items);
  IoStatus next_value(const Item& item, Found& found, std::string_view& value, bool& quoted);
  IoStatus read_quoted(char mark);
  IoStatus store(const Item& item, std::string_view value, bool quoted);
  void save(LineMark& mark) const;

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
  std::size_t record_position_ = 0;
  std::string quoted_;  // a quoted value, kept up to the longest field's length
  std::size_t quoted_length_ = 0;       // its full length
  std::size_t quoted_significant_ = 0;  // its length without trailing blanks
  std::size_t text_cap_ = 0;          // at least this much of a quoted value is kept (repeats)
  std::span<const Item> items_;       // the items of the read in progress
};

}  // namespace korvan::textio
