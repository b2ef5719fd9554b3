// Free-format reads: where values are found in records, nulls, repeats, the
// slash, quoted texts, how many records one read consumes, and the status.
#include "text/free_format_reader.h"

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "text/byte_source.h"
#include "text/input_unit.h"
#include "text/value_cursor.h"

namespace korvan::text {
namespace {

// What an item holds before the read: an item that the read leaves alone
// still shows this afterwards.
constexpr std::int32_t kUnsetInteger = -99;
constexpr float kUnsetReal = -99.0f;
constexpr char kUnsetText = '#';

// A list of items described by their kinds, "i r t1 t99": integer, real and
// text of the given length. Renders their values as texts for comparison.
class Slots {
 public:
  explicit Slots(std::string_view kinds) {
    std::vector<std::string_view> words;
    while (!kinds.empty()) {
      const std::size_t blank = kinds.find(' ');
      const std::string_view word = kinds.substr(0, blank);
      if (!word.empty()) words.push_back(word);
      kinds.remove_prefix(blank == std::string_view::npos ? kinds.size() : blank + 1);
    }
    slots_.resize(words.size());
    for (std::size_t n = 0; n < words.size(); ++n) {
      Slot& slot = slots_[n];
      slot.kind = words[n].front();
      if (slot.kind == 'i') {
        items_.push_back(Item::of(slot.integer));
      } else if (slot.kind == 'r') {
        items_.push_back(Item::of(slot.real));
      } else {
        std::size_t length = 0;
        std::from_chars(words[n].data() + 1, words[n].data() + words[n].size(), length);
        slot.text.assign(length, kUnsetText);
        items_.push_back(Item::of(std::span<char>(slot.text), &slot.value_length));
      }
    }
  }
  Slots(const Slots&) = delete;
  Slots& operator=(const Slots&) = delete;

  std::span<const Item> items() const { return items_; }

  std::vector<std::string> values() const {
    std::vector<std::string> out;
    for (const Slot& slot : slots_) {
      if (slot.kind == 'i') {
        out.push_back(std::to_string(slot.integer));
      } else if (slot.kind == 'r') {
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, slot.real);
        out.emplace_back(buffer, result.ptr);
      } else {
        out.push_back(slot.text);
      }
    }
    return out;
  }

  std::size_t value_length(std::size_t n) const { return slots_[n].value_length; }

  // Reads the slots one value at a time (texts of one character only).
  IoStatus read_with(ValueCursor& cursor) {
    for (Slot& slot : slots_) {
      const bool read = slot.kind == 'i'   ? cursor.take(Integer{slot.integer})
                        : slot.kind == 'r' ? cursor.take(Real{slot.real})
                                           : cursor.take(Letter{slot.text[0]});
      if (!read) break;
    }
    return cursor.status();
  }

 private:
  struct Slot {
    char kind = 'i';
    std::int32_t integer = kUnsetInteger;
    float real = kUnsetReal;
    std::string text;
    std::size_t value_length = 0;
  };
  std::vector<Slot> slots_;
  std::vector<Item> items_;
};

// Text in memory on an input unit, and its reader.
class Source {
 public:
  explicit Source(std::string_view contents) : bytes_(std::string(contents)) { unit.attach(bytes_); }

  // The record that the next read would start at, or "<eof>".
  std::string next_record() {
    std::string_view record;
    const IoStatus status = unit.next_record(record);
    return status == IoStatus::ok ? std::string(record) : "<eof>";
  }

  InputUnit unit;
  FreeFormatReader reader{unit};

 private:
  MemoryBytes bytes_;
};

struct ReadCase {
  std::string_view name;
  std::string_view input;
  std::string_view kinds;
  IoStatus status;
  std::vector<std::string> values;
  std::string_view next_record = "<eof>";  // where the following read starts
};

void check_reads(const std::vector<ReadCase>& cases) {
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    Source source(c.input);
    Slots slots(c.kinds);
    EXPECT_EQ(source.reader.read(slots.items()), c.status);
    EXPECT_EQ(slots.values(), c.values);
    if (c.status == IoStatus::ok) {
      EXPECT_EQ(source.next_record(), c.next_record);
    }
  }
}

TEST(FreeFormatRead, FindsValuesBetweenBlanksCommasTabsAndLineEnds) {
  check_reads({
      {"mixed separators", "  12   3.5e2 , x 4 ignored\nnext\n", "i r t1 i", IoStatus::ok,
       {"12", "350", "x", "4"}, "next"},
      {"same values over three lines", "12\n3.5e2,\nx 4\nnext\n", "i r t1 i", IoStatus::ok,
       {"12", "350", "x", "4"}, "next"},
      {"empty and blank lines skipped", "\n  \n\t\n7\n", "i", IoStatus::ok, {"7"}},
      {"tabs are blanks", "1\t2\t\t3\t", "i i i", IoStatus::ok, {"1", "2", "3"}},
      {"tab ends a text token", "ab\tcd", "t4 t4", IoStatus::ok, {"ab  ", "cd  "}},
      {"blanks around a comma", "1 , 2 ,3", "i i i", IoStatus::ok, {"1", "2", "3"}},
      {"receiver line", "  1.0  10.0  0.0  -30.0  z  1  b  120.5  -40.25", "r r r r t1 i t1 r r",
       IoStatus::ok, {"1", "10", "0", "-30", "z", "1", "b", "120.5", "-40.25"}},
      {"real spellings", "1.5D3 1.5d3 1.5E+03 1.5+3 1.5q3 7 .5 5. -.5", "r r r r r r r r r",
       IoStatus::ok, {"1500", "1500", "1500", "1500", "1500", "7", "0.5", "5", "-0.5"}},
      {"sign only is integer zero", "+ -", "i i", IoStatus::ok, {"0", "0"}},
      {"integer limits", "-2147483648 2147483647", "i i", IoStatus::ok,
       {"-2147483648", "2147483647"}},
      {"each read starts at a new record", "1 2 3\n4\n", "i", IoStatus::ok, {"1"}, "4"},
      {"read ends where its last value stands", "1\n2\n", "i", IoStatus::ok, {"1"}, "2"},
  });
}

TEST(FreeFormatRead, NullValuesLeaveItemsUnchanged) {
  check_reads({
      {"empty between commas", "1,,3", "i i i", IoStatus::ok, {"1", "-99", "3"}},
      {"leading comma", ",5", "i i", IoStatus::ok, {"-99", "5"}},
      {"two leading commas", ",,7", "i i i", IoStatus::ok, {"-99", "-99", "7"}},
      {"blank-separated commas", "1 , , 2", "i i i", IoStatus::ok, {"1", "-99", "2"}},
      {"tab-separated commas", "\t,\t5", "i i", IoStatus::ok, {"-99", "5"}},
      {"comma flag kept over a line end", "5,\n,6", "i i i", IoStatus::ok, {"5", "-99", "6"}},
      {"comma flag kept over blanks and a line end", "5, \t\n\n ,6", "i i i", IoStatus::ok,
       {"5", "-99", "6"}},
      {"line end then comma is a separator", "5\n,6", "i i", IoStatus::ok, {"5", "6"}},
      {"null text", "'a',,'b'", "t1 t1 t1", IoStatus::ok, {"a", "#", "b"}},
      {"null real", "1.5,,2.5", "r r r", IoStatus::ok, {"1.5", "-99", "2.5"}},
  });
}

TEST(FreeFormatRead, RepeatCounts) {
  check_reads({
      {"value repeated", "2*7", "i i", IoStatus::ok, {"7", "7"}},
      {"nulls repeated", "3*", "i i i", IoStatus::ok, {"-99", "-99", "-99"}},
      {"repeat then value", "2*1.5 9", "r r r", IoStatus::ok, {"1.5", "1.5", "9"}},
      {"null repeat then comma separator", "2*,5", "i i i", IoStatus::ok, {"-99", "-99", "5"}},
      {"null repeat then blank", "2* 5", "i i i", IoStatus::ok, {"-99", "-99", "5"}},
      {"null repeat then line end", "1 2*\n3", "i i i i", IoStatus::ok, {"1", "-99", "-99", "3"}},
      {"leading zeros in the count", "007*2", "i i", IoStatus::ok, {"2", "2"}},
      {"repeat longer than the item list", "5*1\nnext", "i i", IoStatus::ok, {"1", "1"}, "next"},
      {"huge count saturates", "99999999999999999999*3\nnext", "i i", IoStatus::ok, {"3", "3"},
       "next"},
      {"repeated letter", "2*x", "t1 t1", IoStatus::ok, {"x", "x"}},
      {"repeated quoted text", "2*'a b'", "t3 t3", IoStatus::ok, {"a b", "a b"}},
      {"repeated quoted text over a line end", "2*'ab\ncd' 5", "t4 t4 i", IoStatus::ok,
       {"abcd", "abcd", "5"}},
      {"repeated quoted text into fields of two lengths", "2*'abcd'", "t1 t4", IoStatus::ok,
       {"a", "abcd"}},
      {"asterisk after a non-count in a text", "a*b", "t3", IoStatus::ok, {"a*b"}},
      {"text beginning with an asterisk", "*5", "t2", IoStatus::ok, {"*5"}},
      {"null repeat before a slash", "1 2*/ 9\nnext", "i i i i", IoStatus::ok,
       {"1", "-99", "-99", "-99"}, "next"},
      {"count zero for integer", "0*5", "i", IoStatus::malformed, {"-99"}},
      {"count zero nulls", "0*", "i", IoStatus::malformed, {"-99"}},
      {"count zero for text", "0*x", "t1", IoStatus::malformed, {"#"}},
      {"asterisk first for integer", "*5", "i", IoStatus::malformed, {"-99"}},
      {"asterisk first for real", "*5", "r", IoStatus::malformed, {"-99"}},
      {"count not a whole number", "1.5*2", "r", IoStatus::malformed, {"-99"}},
      {"count with a sign", "+2*3", "i i", IoStatus::malformed, {"-99", "-99"}},
      {"quoted repeat for integer", "2*'1'", "i i", IoStatus::malformed, {"-99", "-99"}},
      {"bad repeated value", "2*x", "i i", IoStatus::malformed, {"-99", "-99"}},
  });
}

TEST(FreeFormatRead, SlashEndsTheReadEarly) {
  check_reads({
      {"after a value", "5 /\nnext", "i i", IoStatus::ok, {"5", "-99"}, "next"},
      {"alone", "/\nnext", "i i", IoStatus::ok, {"-99", "-99"}, "next"},
      {"inside a token", "12/34\nnext", "i i", IoStatus::ok, {"12", "-99"}, "next"},
      {"after a comma", "1,/ 2", "i i", IoStatus::ok, {"1", "-99"}},
      {"file name with a slash", "data/run1.prd", "t99", IoStatus::ok,
       {"data" + std::string(95, ' ')}},
      {"on a later line", "1\n2 / 3\nnext", "i i i", IoStatus::ok, {"1", "2", "-99"}, "next"},
  });
}

TEST(FreeFormatRead, QuotedTexts) {
  check_reads({
      {"apostrophes", "'z'", "t1", IoStatus::ok, {"z"}},
      {"blank inside", "'my file.prd'", "t12", IoStatus::ok, {"my file.prd "}},
      {"without quotes the blank ends it", "my file.prd", "t12", IoStatus::ok, {"my          "}},
      {"separators inside are characters", "'a b,c/d' 5", "t8 i", IoStatus::ok,
       {"a b,c/d ", "5"}},
      {"doubled apostrophe", "'it''s'", "t5", IoStatus::ok, {"it's "}},
      {"doubled quotation mark", "\"say \"\"hi\"\"\"", "t8", IoStatus::ok, {"say \"hi\""}},
      {"the other mark is a character", "\"it's\" 'a\"b'", "t4 t3", IoStatus::ok,
       {"it's", "a\"b"}},
      {"runs over a line end", "'abc\ndef' 7", "t8 i", IoStatus::ok, {"abcdef  ", "7"}},
      {"runs over empty lines", "'ab\n\ncd'", "t4", IoStatus::ok, {"abcd"}},
      {"doubled mark before a line end", "'it''\ns'\nnext", "t5", IoStatus::ok, {"it's "}, "next"},
      {"doubled mark after a line end", "'ab\n''cd'", "t6", IoStatus::ok, {"ab'cd "}},
      {"closed at the line end", "'ab'\n'cd'", "t2 t2", IoStatus::ok, {"ab", "cd"}},
      {"empty quoted text", "'' x", "t2 t1", IoStatus::ok, {"  ", "x"}},
      {"comma after a quoted value separates", "'a','b'", "t1 t1", IoStatus::ok, {"a", "b"}},
      {"parenthesis is a text character", "(ab)", "t4", IoStatus::ok, {"(ab)"}},
      {"quote inside a token is a character", "ab'c", "t4", IoStatus::ok, {"ab'c"}},
      {"windows path", "D:\\data\\run1.prd", "t16", IoStatus::ok, {"D:\\data\\run1.prd"}},
      {"case kept", "X AbC", "t1 t3", IoStatus::ok, {"X", "AbC"}},
      {"longer than the field", "xyz", "t1", IoStatus::ok, {"x"}},
      {"unterminated at the end of the file", "'abc\n", "t4", IoStatus::end_of_file, {"####"}},
  });
}

TEST(FreeFormatRead, MalformedValuesForNumericItems) {
  check_reads({
      {"point in integer", "3.0", "i", IoStatus::malformed, {"-99"}},
      {"integer too large", "2147483648", "i", IoStatus::malformed, {"-99"}},
      {"quoted integer", "'1'", "i", IoStatus::malformed, {"-99"}},
      {"quoted real", "\"1.5\"", "r", IoStatus::malformed, {"-99"}},
      {"parenthesis for integer", "(1", "i", IoStatus::malformed, {"-99"}},
      {"parenthesis for real", "(1.5,2.5)", "r", IoStatus::malformed, {"-99"}},
      {"exponent without digits", "1.5e", "r", IoStatus::malformed, {"-99"}},
      {"real beyond float range", "1e39", "r", IoStatus::malformed, {"-99"}},
      {"earlier items keep their values", "1 2 x 4", "i i i i", IoStatus::malformed,
       {"1", "2", "-99", "-99"}},
      {"letter where a real belongs", "1.0 z", "r r", IoStatus::malformed, {"1", "-99"}},
  });
}

TEST(FreeFormatRead, EndOfFile) {
  check_reads({
      {"empty file", "", "i", IoStatus::end_of_file, {"-99"}},
      {"only empty lines", "\n\n  \n", "i", IoStatus::end_of_file, {"-99"}},
      {"line ends in the middle of the list", "1 2\n", "i i i", IoStatus::end_of_file,
       {"1", "2", "-99"}},
      {"trailing comma at the end", "5,", "i i", IoStatus::end_of_file, {"5", "-99"}},
      {"null repeat then end", "2*", "i i i", IoStatus::end_of_file, {"-99", "-99", "-99"}},
  });
}

TEST(FreeFormatRead, EmptyItemListConsumesExactlyOneRecord) {
  check_reads({
      {"values on the line", "1 2 3\nnext\n", "", IoStatus::ok, {}, "next"},
      {"blank line", "  \nnext\n", "", IoStatus::ok, {}, "next"},
      {"empty line", "\nnext\n", "", IoStatus::ok, {}, "next"},
      {"open quote on the line", "'abc\nnext'\n", "", IoStatus::ok, {}, "next'"},
  });
  Source source("");
  EXPECT_EQ(source.reader.read({}), IoStatus::end_of_file);
}

TEST(FreeFormatRead, FileNameLongerThanItsFieldKeepsFirstCharacters) {
  const std::string name = std::string(60, 'a') + std::string(60, 'b');
  Source source(name + "\n");
  Slots slots("t99");
  ASSERT_EQ(source.reader.read(slots.items()), IoStatus::ok);
  EXPECT_EQ(slots.values()[0], name.substr(0, 99));
  EXPECT_EQ(slots.value_length(0), 120u);
}

TEST(FreeFormatRead, TextItemReportsTheFullValueLengthWithoutTrailingBlanks) {
  struct Case {
    std::string input;
    std::string_view kinds;
    std::vector<std::size_t> lengths;
  };
  const Case cases[] = {
      {"abcdef", "t3", {6}},
      {"'it''s'", "t2", {4}},
      {"'ab\ncd'", "t1", {4}},
      {"3*'xyz'", "t1 t1 t1", {3, 3, 3}},
      {"2*xyz 'a' b", "t1 t1 t2 t1", {3, 3, 1, 1}},
      {"'" + std::string(300, 'q') + "'", "t99", {300}},
      {"'  ab  '", "t9", {4}},
      {"'ab \n  '", "t9", {2}},
      {"'" + std::string(99, 'n') + std::string(5, ' ') + "'", "t99", {99}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    Source source(c.input);
    Slots slots(c.kinds);
    ASSERT_EQ(source.reader.read(slots.items()), IoStatus::ok);
    for (std::size_t n = 0; n < c.lengths.size(); ++n) EXPECT_EQ(slots.value_length(n), c.lengths[n]);
  }
}

TEST(FreeFormatRead, StepBackRereadsTheLastLineOfTheRead) {
  Source source("1\n2 3\n4\n");
  Slots first("i i");
  ASSERT_EQ(source.reader.read(first.items()), IoStatus::ok);
  EXPECT_EQ(first.values(), (std::vector<std::string>{"1", "2"}));
  ASSERT_EQ(source.unit.step_back(), IoStatus::ok);
  Slots again("i i");
  ASSERT_EQ(source.reader.read(again.items()), IoStatus::ok);
  EXPECT_EQ(again.values(), (std::vector<std::string>{"2", "3"}));
  EXPECT_EQ(source.next_record(), "4");
}

// The value cursor takes plain values the quick way and hands the rest of
// the entry to the general reading: together they must give exactly what
// one general read gives, values, nulls, status and records consumed.
struct CursorCase {
  std::string_view input;
  std::string_view kinds;
};

TEST(ValueCursor, GivesWhatOneGeneralReadGives) {
  const CursorCase cases[] = {
      {"1.0 10.0 0.0 -30.0 z 1 b 120.5 -40.25", "r r r r t1 i t1 r r"},
      {"1.0 10.0 0.0 -30.0 z 1 q 120.5 junk", "r r r r t1 i t1 r"},
      {"1.0 10.0 0.0 -30.0 z 1 2*b", "r r r r t1 i t1 t1"},
      {"1.0 10.0 0.0 -30.0 z 1 b 2*7.5", "r r r r t1 i t1 r r"},
      {"1 2 3*4.5", "r r r r r"},
      {"1 2 3*, 9", "i i i i i i"},
      {"1 3* 4", "i i i i i"},
      {"1 2,,5", "i i i i"},
      {"1 2, ,5", "i i i i"},
      {",,5 6", "i i i"},
      {"1.5,,2.5", "r r r"},
      {"1,2,3", "i i i"},
      {"1\t2\t3", "i i i"},
      {"1 2 /", "i i i"},
      {"1 / 2", "i i i"},
      {"1 2*/", "i i i"},
      {"1 2,", "i i i"},
      {"1 2 x", "i i i"},
      {"1 'z' 2 'b' 3", "i t1 i t1 r"},
      {"1 2*b c", "i t1 t1 t1"},
      {"1.5e3 2.5d-1 7", "r r i"},
      {"500000.25 6000000.5", "r r i"},
      {"\n\n1 2\n\n3", "i i i"},
      {"1 2\n,3", "i i i"},
      {"1,\n,3", "i i i"},
      {"5 x", "i i"},
      {"2147483648 1", "i i"},
      {"1 2", "i i i"},
      {"", "i"},
  };
  for (const CursorCase& c : cases) {
    for (const bool confined : {false, true}) {
      SCOPED_TRACE(std::string(c.input) + " | " + std::string(c.kinds) + (confined ? " | confined" : ""));
      const std::string contents = std::string(c.input) + "\nnext 1 2 3\n";

      Source quick(contents);
      ValueCursor cursor(quick.unit);
      Slots taken(c.kinds);
      IoStatus status = cursor.start(confined);
      if (status == IoStatus::ok) status = taken.read_with(cursor);

      Source general(contents);
      Slots read(c.kinds);
      IoStatus expected = general.reader.read(read.items());
      // A confined entry may not go on past its first record.
      Source first(contents);
      first.next_record();
      if (confined && general.unit.position() > first.unit.position()) expected = IoStatus::short_record;
      EXPECT_EQ(status, expected);
      if (expected == IoStatus::ok) {
        EXPECT_EQ(taken.values(), read.values());
        EXPECT_EQ(quick.next_record(), general.next_record());
      }
    }
  }
}

}  // namespace
}  // namespace korvan::text
