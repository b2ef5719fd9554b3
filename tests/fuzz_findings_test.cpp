// Inputs found to break the converter, by the fuzz targets (fuzz/) or while
// hardening it against hostile input, kept as regression tests; the fuzzers'
// inputs are also in their corpus.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "tests/test_support.h"
#include "text/byte_source.h"
#include "text/free_format_reader.h"
#include "text/input_unit.h"

namespace korvan::testing {
namespace {

using text::FreeFormatReader;
using text::InputUnit;
using text::IoStatus;
using text::Item;

// A quoted value repeated by r*'c' is still a quoted value for every item it
// reaches: a number item refuses it, as it refuses the first copy.
TEST(FuzzFindings, RepeatedQuotedValueIsMalformedForNumbers) {
  struct Case {
    const char* line;
    bool real;
    const char* letters;  // what the text item receives
  };
  for (const Case& c : {Case{"2*'5'", false, "5 "}, Case{"2*'5'", true, "5 "}, Case{"4*'68888888a='", true, "68"}}) {
    text::MemoryBytes bytes(c.line);
    InputUnit unit;
    unit.attach(bytes);
    FreeFormatReader reader(unit);
    char letter[2] = {' ', ' '};
    std::int32_t n = 0;
    float x = 0;
    const Item items[] = {Item::of(letter), c.real ? Item::of(x) : Item::of(n)};
    EXPECT_EQ(reader.read(items), IoStatus::malformed) << c.line;
    EXPECT_EQ(std::string(letter, 2), c.letters) << c.line;
  }
}

// The same on a transmitter line: the scan must refuse the count, not take
// the quoted 1 and leave the orientation "1" to the load.
TEST(FuzzFindings, RepeatedQuotedReceiverCountStopsTheScan) {
  ScratchDir dir;
  dir.write("d.prd", "1\n0 0 1\n110 1\n1 -30 2*'1'\n1 1 1 1 z 1 b 1 2\n");
  const RunResult run = run_converter(dir.path(), "d.prd\n");
  EXPECT_EQ(run.out,
            "Converting from KORVAN predicted data format.\n"
            " Enter the name of the data file ... \n"
            "Stop: error reading no. of receivers for (it=1,ifreq=1,isound=1).\n");
  EXPECT_EQ(run.exit_status, 1);
}

// A first sounding with 262144 transmitters of both components gives rows
// of 524289 fields, whose row format expands to more than 2^20 descriptors;
// it must still be written in full, not as an empty line.
TEST(FuzzFindings, RowOfHalfAMillionFieldsIsWrittenWhole) {
  constexpr int kTransmitters = 262144;
  std::string f = "1\n0 0 1\n110 " + std::to_string(kTransmitters) + "\n";
  f.reserve(static_cast<std::size_t>(kTransmitters) * 28 + 32);
  for (int it = 0; it < kTransmitters; ++it) f += "1 -30 z 1\n1 1 1 1 z 1 b 1 2\n";
  ScratchDir dir;
  dir.write("d.prd", f);
  const RunResult run = run_converter(dir.path(), "", "d.prd");
  EXPECT_EQ(run.out,
            "Converting from KORVAN predicted data format.\n"
            " 1 soundings read from \"d.prd\".\n"
            " Writing converted data to file \"vask.out\".\nDone.\n");
  ASSERT_EQ(run.exit_status, 0);
  const std::string out = dir.read("vask.out");
  const std::size_t row_start = out.rfind("\r\n", out.size() - 3) + 2;
  const std::string_view row = std::string_view(out).substr(row_start, out.size() - 2 - row_start);
  EXPECT_EQ(row.size(), 32 + 13 * std::size_t{2 * kTransmitters + 1});
  EXPECT_TRUE(row.starts_with("         0.00000         0.00000       30.000       1.0000       2.0000"));
  EXPECT_TRUE(row.ends_with("       1.0000       2.0000"));
}

}  // namespace
}  // namespace korvan::testing
