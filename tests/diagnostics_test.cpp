// What a user sees on standard error: where the fault is and what is wrong,
// with its hints (the reader's tests hold every kind of stop); the warnings
// of a run that goes on; and --strict, which stops at them instead. The
// console lines and exit statuses stay as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/test_support.h"

namespace korvan::testing {
namespace {

constexpr const char* kBanner = "Converting from KORVAN predicted data format.\n";
constexpr const char* kReceiver = "1 10 0 -30 z 1 b 1.5 2.5\n";
const std::string kSounding = std::string("100 200 1\n110 1\n1 -30 z 1\n") + kReceiver;

std::string notice(int found) { return " " + std::to_string(found) + " soundings read from \"d.prd\".\n"; }
const std::string kDone = " Writing converted data to file \"vask.out\".\nDone.\n";

struct DiagnosticCase {
  const char* label;
  std::string data;       // d.prd; "" for none
  std::string arguments;  // before the data file's name
  std::string console;    // after the banner
  std::string err;
};

TEST(Diagnostics, WhereAndWhyOnStandardError) {
  const std::string two = "2\n" + kSounding;
  const DiagnosticCase cases[] = {
      {"a wrong letter deep in the file", "2\n" + kSounding + "100 200 1\n110 1\n1 -30 z 1\n1 10 0 -30 z 1 c 1.5\n", "",
       notice(2) + "Stop: invalid data combo. for (ir=1,it=1,ifreq=1,isound=2,file=\"d.prd\").\n",
       "korvan2col: d.prd:9:16: the component is \"c\", not b, i or q (sounding 2, frequency 1, transmitter 1, "
       "receiver 1)\n"},
      {"a blank line before a receiver line", two + "100 200 1\n110 1\n1 -30 z 1\n\n" + kReceiver, "",
       "Stop: no. of frequencies for sounding 3 < 1.\n",
       "korvan2col: d.prd:10:6: the number of frequencies is 0, less than 1 (sounding 3)\n"
       "korvan2col: d.prd:9:1: hint: the receiver line of sounding 2, frequency 1, transmitter 1, receiver 1 is blank "
       "or short; the entries after it are read out of place\n"},
      {"a compressed file", std::string("\xFD" "7zXZ\0", 6) + "rest", "",
       "Stop: error reading number of soundings from \"d.prd\".\n",
       "korvan2col: d.prd:1:1: the number of soundings \"?7zXZ?rest\" is not a whole number\n"
       "korvan2col: d.prd: hint: the file looks xz-compressed, not like a text file of soundings\n"},
      {"a missing file", "", "", "Stop: file \"d.prd\" does not exist.\n", "korvan2col: d.prd: No such file or directory\n"},
      {"a byte-order mark is passed over", "\xEF\xBB\xBF" "1\n" + kSounding, "", notice(1) + kDone, ""},
      // Warnings: the run goes on.
      {"values left empty", "2\n100,,1\n110 1\n1 -30 z 1\n1 10 0 -30 z 1 b 1.5 /\n" + kSounding, "",
       notice(2) + kDone,
       "korvan2col: d.prd:2:5: warning: 2 empty values (null, slash or r*) written as 0; the first is in sounding 1\n"},
      {"soundings unlike their labels", "3\n" + kSounding + "100 200 1\n7200 1\n1 -30 y 1\n1 10 0 -30 y 1 i 1.5\n" +
           kSounding, "", notice(3) + kDone,
       "korvan2col: d.prd:6:1: warning: 1 sounding has another frequency than its column's label; the first is "
       "sounding 2 (7200.00Hz under 110.000Hz)\n"
       "korvan2col: d.prd:6:1: warning: 1 sounding has another transmitter orientation than its column's label; the "
       "first is sounding 2 (orientation y under orientation z)\n"
       "korvan2col: d.prd:6:1: warning: 1 sounding has no value for the component its column's label names (written "
       "as 0); the first is sounding 2 (component i under a quadrature column)\n"},
      {"values left empty in a table", "1\n100,,1\n110 1\n1 -30 z 1\n" + std::string(kReceiver), "--format csv",
       notice(1) + " Writing converted data to file \"vask.csv\".\nDone.\n",
       "korvan2col: d.prd:2:5: warning: 1 empty value (null, slash or r*) left empty; the first is in sounding 1\n"},
      {"a decimal comma splits a datum", "1\n100 200 1\n110 1\n1 -30 z 1\n1 10 0 -30 z 1 b 59.5 29,7\n", "",
       notice(1) + kDone,
       "korvan2col: d.prd:5:26: warning: 1 receiver line has values after their data, ignored; the first is in "
       "sounding 1; a decimal comma? \"29,7\" reads as 29 and 7\n"},
      {"b under a column of one component", "2\n100 200 1\n110 1\n1 -30 z 1\n1 10 0 -30 z 1 i 1.5 ok\n" + kSounding,
       "", notice(2) + kDone,
       "korvan2col: d.prd:5:22: warning: 1 receiver line has values after their data, ignored; the first is in "
       "sounding 1\n"
       "korvan2col: d.prd:6:1: warning: 1 sounding has both components under a column of one (the other value is "
       "written nowhere); the first is sounding 2 (component b under an inphase column only)\n"},
      {"a header that overstates the count", "5\n" + kSounding, "",
       " 1 soundings read from \"d.prd\" (not 5 as advertised).\n" + kDone,
       "korvan2col: d.prd: warning: the header announces 5 soundings, the file holds 1\n"},
      // --strict: the same stop the run instead, before vask.out is touched.
      {"strict: values left empty", "1\n100 200 1\n110 1\n1 -30 z 1\n1 10 0 -30 z 1 b 1.5,,\n", "--strict",
       notice(1) + "Stop: empty value written as 0 at line 5 (sounding 1).\n",
       "korvan2col: d.prd:5:22: 1 empty value (null, slash or r*) written as 0; the first is in sounding 1\n"},
      {"strict: a value after the data", "1\n100 200 1\n110 1\n1 -30 z 1\n1 10 0 -30 z 1 b 1.5 2.5 3.5\n",
       "--strict", notice(1) + "Stop: value after the data ignored at line 5 (sounding 1).\n",
       "korvan2col: d.prd:5:26: 1 receiver line has values after their data, ignored; the first is in sounding 1\n"},
      {"strict: b under a column of one component",
       "2\n100 200 1\n110 1\n1 -30 z 1\n1 10 0 -30 z 1 q 1.5\n" + kSounding, "--strict",
       notice(2) + "Stop: sounding 2 has component b under a quadrature column only (line 6).\n",
       "korvan2col: d.prd:6:1: 1 sounding has both components under a column of one (the other value is written "
       "nowhere); the first is sounding 2 (component b under a quadrature column only)\n"},
      {"strict: a header that overstates the count", "5\n" + kSounding, "--strict",
       " 1 soundings read from \"d.prd\" (not 5 as advertised).\n"
       "Stop: the header announces 5 soundings, the file holds 1.\n",
       "korvan2col: d.prd: the header announces 5 soundings, the file holds 1\n"},
      {"strict: another frequency", "2\n" + kSounding + "100 200 1\n900 1\n1 -30 z 1\n" + kReceiver, "--strict",
       notice(2) + "Stop: sounding 2 has 900.000Hz under a column of 110.000Hz (line 6).\n",
       "korvan2col: d.prd:6:1: 1 sounding has another frequency than its column's label; the first is sounding 2 "
       "(900.000Hz under 110.000Hz)\n"},
  };
  for (const DiagnosticCase& c : cases) {
    ScratchDir dir;
    if (!c.data.empty()) dir.write("d.prd", c.data);
    dir.write("vask.out", "older\r\n");
    const RunResult r = run_converter(dir.path(), "", c.arguments + " d.prd");
    EXPECT_EQ(r.out, kBanner + c.console) << c.label;
    EXPECT_EQ(r.err, c.err) << c.label;
    const bool done = c.console.ends_with("Done.\n");
    EXPECT_EQ(r.exit_status, done ? 0 : 1) << c.label;
    if (!done) {
      EXPECT_EQ(dir.read("vask.out"), "older\r\n") << c.label;
    }
  }
}

// The reasons the system gives, for the files around the data.
TEST(Diagnostics, FileStopsGiveTheSystemsReason) {
  ScratchDir dir;
  dir.write("d.prd", "1\n" + kSounding);
  std::filesystem::create_directory(dir.file("vask.out"));
  std::filesystem::create_directory(dir.file("dir.prd"));
  RunResult r = run_converter(dir.path(), "", "d.prd");
  EXPECT_EQ(r.out, kBanner + notice(1) + " Writing converted data to file \"vask.out\".\n"
                   "Stop: error opening file \"vask.out\" for output.\n");
  EXPECT_EQ(r.err, "korvan2col: vask.out: Is a directory\n");
  r = run_converter(dir.path(), "", "dir.prd");
  EXPECT_EQ(r.out, std::string(kBanner) + "Stop: error opening predicted data file \"dir.prd\".\n");
  EXPECT_EQ(r.err, "korvan2col: dir.prd: Is a directory\n");
  // A name typed at the prompt that an unquoted slash cut short.
  r = run_converter(dir.path(), "data/d.prd\n");
  EXPECT_EQ(r.err,
            "korvan2col: data: No such file or directory\n"
            "korvan2col: hint: \"data/d.prd\" was read as \"data\": an unquoted name ends at a slash, blank or "
            "comma; type the name in quotes or give it on the command line\n");
}

}  // namespace
}  // namespace korvan::testing
