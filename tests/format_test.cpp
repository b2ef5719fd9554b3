// Format texts: compiling descriptor lists with repeat counts and groups,
// applying them to item lists, and writing records into text variables.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "textio/fixed_format.h"
#include "textio/format.h"
#include "textio/text_helpers.h"

namespace {

using korvan::textio::Format;
using korvan::textio::FormatItem;

Format compiled(std::string_view text) {
  const std::optional<Format> format = Format::compile(text);
  EXPECT_TRUE(format.has_value()) << "format " << text;
  return format.value_or(*Format::compile("(A)"));
}

std::string record_of(std::string_view format_text, const std::vector<FormatItem>& items) {
  std::string record = "left over from an earlier write";
  EXPECT_TRUE(compiled(format_text).write(items, record)) << "format " << format_text;
  return record;
}

std::string row_format_text(int fields) {
  return "(2(1X,A15)," + korvan::textio::integer_text(fields, 9) + "(1X,A12))";
}

TEST(RowFormat, TwoWideTextsThenRepeatedNarrowOnes) {
  for (const int n : {1, 3, 12}) {
    const std::string x = "xxxxxxxxxxxxxx1";
    const std::string y = "yyyyyyyyyyyyyy2";
    std::vector<std::string> fields;
    for (int i = 0; i < n; ++i) fields.push_back("field" + std::string(5, ' ') + std::to_string(10 + i));
    std::vector<FormatItem> items = {x, y};
    std::string expected = " " + x + " " + y;
    for (const std::string& f : fields) {
      items.emplace_back(std::string_view(f));
      expected += " " + f;
    }
    const std::string record = record_of(row_format_text(n), items);
    EXPECT_EQ(record, expected) << "n = " << n;
    EXPECT_EQ(record.size(), static_cast<std::size_t>(32 + 13 * n));
  }
  EXPECT_EQ(row_format_text(4), "(2(1X,A15),4(1X,A12))");
  EXPECT_EQ(row_format_text(12), "(2(1X,A15),12(1X,A12))");
  EXPECT_EQ(record_of(row_format_text(3), {"", "", "", "", ""}).size(), 71U);
}

// The row of a sounding as the row writer assembles it: F15.5 and G12.5
// fields, right-adjusted, written with the row format of four fields.
TEST(RowFormat, DocumentedRowOfEightyFourCharacters) {
  char x[15];
  char y[15];
  korvan::textio::render_f(x, 5, 1234.5F);
  korvan::textio::render_f(y, 5, -50.25F);
  std::vector<FormatItem> items = {std::string_view(x, 15), std::string_view(y, 15)};
  std::vector<std::string> fields;
  for (const float value : {30.0F, 1.5F, -2.25F, 12.5F}) {
    std::string field(12, ' ');
    korvan::textio::render_g(field, 5, value);
    korvan::textio::right_adjust(field);
    fields.push_back(field);
  }
  for (const std::string& f : fields) items.emplace_back(std::string_view(f));
  EXPECT_EQ(record_of(row_format_text(4), items),
            "      1234.50000       -50.25000       30.000       1.5000      -2.2500       12.500");
}

TEST(ConsoleAndFileFormats, LeadingBlanksThenTheWholeText) {
  struct Case {
    const char* format;
    std::string_view text;
    const char* expected;
  };
  const Case cases[] = {
      {"(1X,A)", "Done.", " Done."},
      {"(2X,A)", "Enter the name of the data file ... ", "  Enter the name of the data file ... "},
      {"(A)", "/ Column index:", "/ Column index:"},
      {"(A)", "ends in blanks  ", "ends in blanks  "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(record_of(c.format, {c.text}), c.expected) << c.format << " of \"" << c.text << "\"";
  }
}

TEST(GroupsAndRepeats, ExpandInOrder) {
  EXPECT_EQ(record_of("(3I2)", {1, 2, 3}), " 1 2 3");
  EXPECT_EQ(record_of("(2(1X,2(A2,1X)),I3)", {"ab", "cd", "ef", "gh", 7}), " ab cd  ef gh   7");
  EXPECT_EQ(record_of("(I2,2(1X,F6.2))", {5, 1.5F, -0.25F}), " 5   1.50  -0.25");
  EXPECT_EQ(record_of("(1(1(1(A))))", {"deep"}), "deep");
}

TEST(GroupsAndRepeats, RecordEndsAtTheFirstDataDescriptorWithoutItem) {
  EXPECT_EQ(record_of("(I3,I3)", {1}), "  1");
  EXPECT_EQ(record_of("(A3,2(A2))", {"a", "b"}), "  a b");
}

TEST(GroupsAndRepeats, OneCompiledFormatServesManyWrites) {
  const Format format = compiled("(2(1X,A3),1X,I3)");
  std::string record;
  const std::vector<FormatItem> first = {"abc", "de", 100};
  const std::vector<FormatItem> second = {"x", "y", -5};
  ASSERT_TRUE(format.write(first, record));
  EXPECT_EQ(record, " abc  de 100");
  ASSERT_TRUE(format.write(second, record));
  EXPECT_EQ(record, "   x   y  -5");
}

// A text variable is blanked first; a shorter record leaves blanks behind.
TEST(InternalWrite, FillsTheVariableFromItsFirstPosition) {
  struct Case {
    const char* format;
    FormatItem item;
    std::size_t length;
    const char* expected;
  };
  const Case cases[] = {
      {"(I9)", 12, 9, "       12"},
      {"(I3)", 4, 9, "  4      "},
      {"(I3)", 1000, 9, "***      "},
      {"(I5)", -40, 5, "  -40"},
      {"(I2)", 7, 2, " 7"},
      {"(F15.5)", 1234.5F, 15, "     1234.50000"},
      {"(F15.5)", 1.0e10F, 15, "***************"},
      {"(G12.5)", 0.5F, 12, " 0.50000    "},
      {"(G12.5)", -0.0F, 12, "  0.0000    "},
      {"(2X,G13.6)", 110.0F, 15, "    110.000    "},
      {"(2X,G13.6)", 2000000.0F, 15, "   0.200000E+07"},
  };
  for (const Case& c : cases) {
    std::string variable(c.length, '?');
    const FormatItem items[] = {c.item};
    EXPECT_TRUE(compiled(c.format).write_internal(items, variable)) << c.format;
    EXPECT_EQ(variable, c.expected) << c.format;
  }
}

TEST(InternalWrite, RecordLongerThanTheVariableIsRefused) {
  std::string variable(5, ' ');
  const FormatItem items[] = {12};
  EXPECT_FALSE(compiled("(I9)").write_internal(items, variable));
}

TEST(FormatText, MalformedTextsAreRejected) {
  const char* const texts[] = {
      "",       "A",       "(A",       "A)",     "(A))",     "((A)",   "()",      "(A,)",
      "(,A)",   "(1X A)",  "(I)",      "(I0)",   "(I-3)",    "(F15)",  "(F15.)",  "(G12)",
      "(G.5)",  "(Q5)",    "(A)x",     "(0(A))", "(0I3)",    "(2)",    "(2X,)",   "(G12.5.1)",
      "(A15",   "(2(1X,A15),3(1X,A12)",  "(2(1X,A15),(1X,A12)))",
  };
  for (const char* text : texts) {
    EXPECT_FALSE(Format::compile(text).has_value()) << "format \"" << text << "\"";
  }
}

TEST(FormatText, ItemsThatDoNotMatchTheirDescriptorsAreRejected) {
  struct Case {
    const char* format;
    std::vector<FormatItem> items;
  };
  const Case cases[] = {
      {"(I9)", {1.5F}},
      {"(I9)", {"12"}},
      {"(F15.5)", {12}},
      {"(G12.5)", {"1.0"}},
      {"(A)", {4}},
      {"(1X,A12)", {2.0F}},
      {"(I9)", {1, 2}},             // an item left over
      {"(1X,A)", {"one", "two"}},
      {"(2(1X,A15),1(1X,A12))", {"x", "y", "f1", "f2"}},
  };
  for (const Case& c : cases) {
    std::string record;
    EXPECT_FALSE(compiled(c.format).write(c.items, record)) << c.format << " with " << c.items.size() << " items";
  }
}

}  // namespace
