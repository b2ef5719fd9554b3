// Hostile input, end to end: counts at and past the 32-bit limits, extents
// whose product overflows, huge lines, NUL bytes and binary garbage, names
// that are directories, blanks, a lone slash or unclosed quotes, and huge
// repeat counts. Each run ends with its one exact console line; none may
// need more memory than its arrays, so every run is made under a 2 GiB
// address-space limit (the sanitizers' shadow memory cannot live under one,
// so sanitized builds run without it).
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace korvan::testing {
namespace {

using namespace std::string_literals;

const std::string kBanner = "Converting from KORVAN predicted data format.\n";
const std::string kPrompt = " Enter the name of the data file ... \n";
const std::string kWritingDone = " Writing converted data to file \"vask.out\".\nDone.\n";

// The smallest complete sounding: one frequency, transmitter and receiver.
const std::string kSounding = "100.0 200.0 1\n110.0 1\n1.0 -30.0 z 1\n1.0 10.0 0.0 -30.0 z 1 b 120.5 -40.25\n";

// Sanitized, the converter's refused allocations must come back as null (as
// they do in the plain build) rather than end in the sanitizer's report.
std::string address_space_limit(std::uint64_t kib) {
  return kSanitized ? "export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}allocator_may_return_null=1;"
                    : "ulimit -v " + std::to_string(kib) + ";";
}
constexpr std::uint64_t kTwoGiB = 2 * 1024 * 1024;

std::string notice(int found) { return " " + std::to_string(found) + " soundings read from \"d.prd\".\n"; }

struct HostileFile {
  const char* name;
  std::string data;     // the contents of d.prd, whose name is typed at the prompt
  std::string console;  // everything after the prompt line
  int exit_status = 1;
};

void PrintTo(const HostileFile& c, std::ostream* os) { *os << c.name; }

// Three soundings, each raising one extent to 100000: the arrays would need
// 3 * 10^15 receiver elements, which no size can represent sensibly. Empty
// receiver lines keep the file small; the scan passes over them unread.
std::string overflowing_extents() {
  std::string f = "3\n0 0 100000\n";
  f.reserve(2600000);
  for (int i = 0; i < 100000; ++i) f += "1 1\n1 0 z 1\n\n";
  f += "0 0 1\n1 100000\n";
  for (int i = 0; i < 100000; ++i) f += "1 0 z 1\n\n";
  f += "0 0 1\n1 1\n1 0 z 100000\n";
  f.append(100000, '\n');
  return f;
}

// One sounding of 7000 frequencies, 7000 transmitters and 7000 receivers:
// about 10 TB of arrays, a size that can be represented but not allocated.
std::string ten_terabyte_arrays() {
  constexpr int kExtent = 7000;
  std::string f = "1\n0 0 7000\n1 7000\n1 0 z 7000\n" + std::string(kExtent, '\n');
  for (int it = 1; it < kExtent; ++it) f += "1 0 z 1\n\n";
  for (int ifreq = 1; ifreq < kExtent; ++ifreq) f += "1 1\n1 0 z 1\n\n";
  return f;
}

constexpr std::size_t kTenMegabytes = 10 * 1024 * 1024;

std::string binary_garbage() {
  std::string bytes;
  for (int round = 0; round < 4; ++round) {
    for (int b = 0; b < 256; ++b) bytes += static_cast<char>((b * 37 + round * 11) & 0xFF);
  }
  return bytes;
}

std::vector<HostileFile> hostile_files() {
  const std::string no_freq_count = "Stop: error reading no. of frequencies for sounding 1.\n";
  const std::string bad_header = "Stop: error reading number of soundings from \"d.prd\".\n";
  const std::string tx1 = "(it=1,ifreq=1,isound=1)";
  return {
      // Counts at and beyond the 32-bit limits.
      {"HeaderAtInt32MaxWithOneSounding", "2147483647\n" + kSounding,
       " 1 soundings read from \"d.prd\" (not ***** as advertised).\n" + kWritingDone, 0},
      {"HeaderAtInt32MaxWithNoSounding", "2147483647\n",
       " 0 soundings read from \"d.prd\" (not ***** as advertised).\n"
       "Stop 'cause data not suitable for column format: no soundings found.\n"},
      {"HeaderPastInt32Max", "2147483648\n" + kSounding, bad_header},
      {"HeaderFarPastInt32Max", "99999999999999999999999999\n" + kSounding, bad_header},
      {"HeaderAtInt32Min", "-2147483648\n" + kSounding, "Stop: number of soundings read in is less than 1.\n"},
      {"HeaderPastInt32Min", "-2147483649\n" + kSounding, bad_header},
      {"FrequenciesPastInt32Max", "1\n0 0 2147483648\n", no_freq_count},
      {"FrequenciesAtInt32Min", "1\n0 0 -2147483648\n", "Stop: no. of frequencies for sounding 1 < 1.\n"},
      {"FrequenciesAtInt32Max", "1\n0 0 2147483647\n110 1\n1 -30 z 1\n\n",
       "Stop: error reading no. of transmitters for frequency 2, sounding 1.\n"},
      {"TransmittersPastInt32Max", "1\n0 0 1\n110 2147483648\n",
       "Stop: error reading no. of transmitters for frequency 1, sounding 1.\n"},
      {"TransmittersAtInt32Max", "1\n0 0 1\n110 2147483647\n1 -30 z 1\n\n",
       "Stop: error reading no. of receivers for (it=2,ifreq=1,isound=1).\n"},
      {"ReceiversAtInt32Max", "1\n0 0 1\n110 1\n1 -30 z 2147483647\n1 1 1 1 z 1 b 1 2\n",
       "Stop: error skipping data for (ir=2,it=1,ifreq=1,isound=1).\n"},
      {"ReceiversAtInt32Min", "1\n0 0 1\n110 1\n1 -30 z -2147483648\n", "Stop: no. or receivers < 1 for " + tx1 + ".\n"},
      {"ReceiversPastInt32Max", "1\n0 0 1\n110 1\n1 -30 z 2147483648\n",
       "Stop: error reading no. of receivers for " + tx1 + ".\n"},
      // Extents whose product overflows: refused before any memory is asked for.
      {"ExtentsWhoseProductOverflows", overflowing_extents(),
       notice(3) + "Stop: error allocating space for arrays.\n"},
      {"ArraysOfTenTerabytes", ten_terabyte_arrays(), notice(1) + "Stop: error allocating space for arrays.\n"},
      // Huge lines: only the input buffer grows, to the line's length.
      {"TenMegabyteHeaderOfDigits", std::string(kTenMegabytes, '9') + "\n" + kSounding, bad_header},
      {"TenMegabyteHeaderOfLeadingZeros", std::string(kTenMegabytes, '0') + "1\n" + kSounding, notice(1) + kWritingDone, 0},
      {"TenMegabyteReceiverLine",
       "1\n100.0 200.0 1\n110.0 1\n1.0 -30.0 z 1\n1.0 10.0 0.0 -30.0 z 1 b 120.5 -40.25" +
           std::string(kTenMegabytes, ' ') + "junk\n",
       notice(1) + kWritingDone, 0},
      // NUL bytes and binary garbage.
      {"NulBytesAsHeader", std::string(8, '\0') + "\n" + kSounding, bad_header},
      {"NulByteInsideACount", "1\n0 0 1\n110 1\n1 -30 z 1" + std::string(1, '\0') + "\n1 1 1 1 z 1 b 1 2\n",
       "Stop: error reading no. of receivers for " + tx1 + ".\n"},
      {"BinaryGarbage", binary_garbage(), bad_header},
      {"BinaryGarbageAfterTheHeader", "1\n" + binary_garbage(), no_freq_count},
      // Quotes that never close: in a count, in a letter read over several
      // lines (it swallows the rest of the file), and on a receiver line,
      // which is read within its own line.
      {"UnclosedQuoteAsHeader", "'1\n" + kSounding, bad_header},
      {"UnclosedQuoteInTransmitterOrientation", "1\n0 0 1\n110 1\n1 -30 'z 1\n1 1 1 1 z 1 b 1 2\n",
       "Stop: error reading no. of receivers for " + tx1 + ".\n"},
      {"UnclosedQuoteOnReceiverLine", "1\n0 0 1\n110 1\n1 -30 z 1\n1 1 1 1 'z 1 b 1 2\n",
       notice(1) + "Stop: error reading reveicer info. for (ir=1,it=1,ifreq=1,isound=1,file=\"d.prd\").\n"},
      // Repeat counts at and past the 32-bit limit hand out as many copies
      // as the items need, no more; a count alone is that many nulls.
      {"RepeatCountAtInt32Max", "2147483647*1\n" + kSounding, notice(1) + kWritingDone, 0},
      {"RepeatCountFarPastInt32Max", "1\n0 0 1\n110 1\n1 -30 z 1\n1 1 1 1 z 1 b 99999999999999999999999*7\n",
       notice(1) + kWritingDone, 0},
      {"RepeatOfNullsPastInt32Max", "4294967296*\n" + kSounding,
       "Stop: number of soundings read in is less than 1.\n"},
      {"RepeatCountZero", "0*1\n" + kSounding, bad_header},
  };
}

class HostileDataFile : public ::testing::TestWithParam<HostileFile> {};

TEST_P(HostileDataFile, StopsWithItsLineWithinTheMemoryLimit) {
  const HostileFile& c = GetParam();
  ScratchDir dir;
  dir.write("d.prd", c.data);
  const RunResult run = run_converter(dir.path(), "d.prd\n", "", address_space_limit(kTwoGiB));
  EXPECT_EQ(run.out, kBanner + kPrompt + c.console);
  if (!kSanitized) {
    EXPECT_TRUE(only_diagnostics(run.err)) << run.err;  // sanitized, a refused allocation is reported there
  }
  EXPECT_EQ(run.exit_status, c.exit_status);
  EXPECT_EQ(dir.exists("vask.out"), c.exit_status == 0);
}

INSTANTIATE_TEST_SUITE_P(Hostile, HostileDataFile, ::testing::ValuesIn(hostile_files()),
                         [](const ::testing::TestParamInfo<HostileFile>& info) { return info.param.name; });

// The huge repeat counts give every item its value: the rows show them.
TEST(HostileDataFile, RepeatCountFarPastInt32MaxFillsBothData) {
  ScratchDir dir;
  dir.write("d.prd", "1\n0 0 1\n110 1\n1 -30 z 1\n1 1 1 1 z 1 b 99999999999999999999999*7\n");
  const RunResult run = run_converter(dir.path(), "d.prd\n");
  ASSERT_EQ(run.exit_status, 0);
  const std::string out = dir.read("vask.out");
  EXPECT_NE(out.find("        0.00000         0.00000       30.000       7.0000       7.0000\r\n"),
            std::string::npos)
      << out;
}

struct HostileName {
  const char* name;
  std::string typed;    // standard input
  std::string console;  // after the prompt line
};

void PrintTo(const HostileName& c, std::ostream* os) { *os << c.name; }

std::vector<HostileName> hostile_names() {
  return {
      {"NameOfADirectory", "sub\n", "Stop: error opening predicted data file \"sub\".\n"},
      {"NameOfBlanksOnly", "      \n", "Stop: error reading file name.\n"},
      {"QuotedNameOfBlanksOnly", "'      '\n", "Stop: file \"\" does not exist.\n"},
      {"NameOnlyASlash", "/\n", "Stop: file \"\" does not exist.\n"},
      {"QuotedNameOnlyASlash", "'/'\n", "Stop: error opening predicted data file \"/\".\n"},
      {"NameWithUnclosedQuote", "'d.prd\nmore lines\n", "Stop: error reading file name.\n"},
      {"NameWithUnclosedDoubleQuote", "\"d.prd", "Stop: error reading file name.\n"},
      {"NameWithNulByte", "d\0.prd\n"s, "Stop: file \"d\0.prd\" does not exist.\n"s},
      {"NameOfBinaryGarbage", std::string("\x01\x02\xff\xfe\n", 5), "Stop: file \"\x01\x02\xff\xfe\" does not exist.\n"},
      {"TenMegabyteName", std::string(kTenMegabytes, 'n') + "\n", "Stop: file name longer than 99 characters.\n"},
      {"TenMegabyteQuotedName", "'" + std::string(kTenMegabytes, 'n') + "'\n",
       "Stop: file name longer than 99 characters.\n"},
      {"NameRepeatedPastInt32Max", "99999999999*d.prd\n", notice(1) + kWritingDone},
  };
}

class HostileNameTyped : public ::testing::TestWithParam<HostileName> {};

TEST_P(HostileNameTyped, StopsWithItsLine) {
  const HostileName& c = GetParam();
  ScratchDir dir;
  std::filesystem::create_directory(dir.file("sub"));
  dir.write("d.prd", "1\n" + kSounding);
  const RunResult run = run_converter(dir.path(), c.typed, "", address_space_limit(kTwoGiB));
  EXPECT_EQ(run.out, kBanner + kPrompt + c.console);
  EXPECT_TRUE(only_diagnostics(run.err)) << run.err;
  const bool done = c.console.ends_with("Done.\n");
  EXPECT_EQ(run.exit_status, done ? 0 : 1);
  EXPECT_EQ(dir.exists("vask.out"), done);
}

INSTANTIATE_TEST_SUITE_P(Hostile, HostileNameTyped, ::testing::ValuesIn(hostile_names()),
                         [](const ::testing::TestParamInfo<HostileName>& info) { return info.param.name; });

// Arrays that need more than the address space allows (here 1 GiB: one
// sounding whose 400 frequencies, 400 transmitters and 400 receivers ask for
// 64 million receiver elements, about 2 GB) are refused with the stop, not
// by the system killing the converter.
TEST(ResourceLimits, ArraysBeyondTheAddressSpaceLimitStopCleanly) {
  if (kSanitized) GTEST_SKIP() << "the sanitizers cannot run under an address-space limit";
  std::string f = "1\n0 0 400\n1 400\n";
  for (int it = 0; it < 400; ++it) f += it == 0 ? "1 0 z 400\n" + std::string(400, '\n') : "1 0 z 1\n\n";
  for (int ifreq = 1; ifreq < 400; ++ifreq) f += "1 1\n1 0 z 1\n\n";
  ScratchDir dir;
  dir.write("d.prd", f);
  const RunResult run = run_converter(dir.path(), "d.prd\n", "", address_space_limit(1024 * 1024));
  EXPECT_EQ(run.out, kBanner + kPrompt + notice(1) + "Stop: error allocating space for arrays.\n");
  EXPECT_TRUE(only_diagnostics(run.err)) << run.err;
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_FALSE(dir.exists("vask.out"));
}

// A record is held whole while it is read, so an endless line (here x after
// x from tr through a process substitution; /dev/zero, being binary, is
// refused before any reading) must end, under an address-space limit, in a
// read error with the scan's message, not in a kill.
TEST(ResourceLimits, EndlessLineStopsAtTheAddressSpaceLimit) {
  if (kSanitized) GTEST_SKIP() << "the sanitizers cannot run under an address-space limit";
  ScratchDir dir;
  const RunResult run =
      run_converter(dir.path(), "", "<(tr '\\0' x < /dev/zero)", address_space_limit(kTwoGiB));
  // bash gives the first process substitution descriptor 63.
  EXPECT_EQ(run.out, kBanner + "Stop: error reading number of soundings from \"/dev/fd/63\".\n");
  EXPECT_EQ(run.exit_status, 1);
}

}  // namespace
}  // namespace korvan::testing
