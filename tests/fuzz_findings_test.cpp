// Inputs that the fuzz targets (fuzz/) found to break the converter, kept as
// regression tests; each input is also in the fuzz corpus.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/test_support.h"
#include "textio/free_format_reader.h"
#include "textio/input_unit.h"

namespace korvan::testing {
namespace {

using textio::FreeFormatReader;
using textio::InputUnit;
using textio::IoStatus;
using textio::Item;

// A quoted value repeated by r*'c' is still a quoted value for every item it
// reaches: a number item refuses it, as it refuses the first copy.
TEST(FuzzFindings, RepeatedQuotedValueIsMalformedForNumbers) {
  struct Case {
    const char* line;
    bool real;
    const char* letters;  // what the text item receives
  };
  for (const Case& c : {Case{"2*'5'", false, "5 "}, Case{"2*'5'", true, "5 "}, Case{"4*'68888888a='", true, "68"}}) {
    ScratchDir dir;
    dir.write("f", c.line);
    InputUnit unit;
    ASSERT_EQ(unit.open(dir.file("f").string()), IoStatus::ok);
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

}  // namespace
}  // namespace korvan::testing
