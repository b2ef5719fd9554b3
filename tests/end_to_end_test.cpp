// The converter binary run as a user runs it: the file name piped to
// standard input, the console and vask.out compared byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace korvan::testing {
namespace {

constexpr const char* kBanner = "Converting from KORVAN predicted data format.\n";
// The prompt leaves its line open; with the answer piped, the next record
// ends that line.
constexpr const char* kPrompt = " Enter the name of the data file ... ";
constexpr const char* kWriting = " Writing converted data to file \"vask.out\".\n";
constexpr const char* kDone = "Done.\n";
constexpr const char* kOldOutput = "an older vask.out\r\n";

// The console of a run from the prompt on: banner, prompt, the line end of
// the answer, then `rest`.
std::string console(std::string_view rest) { return std::string(kBanner) + kPrompt + "\n" + std::string(rest); }

std::string notice(int found, std::string_view name = "data.prd") {
  return " " + std::to_string(found) + " soundings read from \"" + std::string(name) + "\".\n";
}

// Lines joined, each ended in CR LF.
std::string crlf_lines(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (const std::string_view line : lines) (text += line) += "\r\n";
  return text;
}

constexpr const char* kReceiver = "1.0 10.0 0.0 -30.0 z 1 b 120.5 -40.25\n";
constexpr const char* kTypicalFile =
    "1\n"
    "100.0 200.0 1\n"
    "110.0 1\n"
    "1.0 -30.0 z 1\n"
    "1.0 10.0 0.0 -30.0 z 1 b 120.5 -40.25\n";
const std::string kTypicalOutput = crlf_lines({
    "/ Converted from KORVAN file \"data.prd\".",
    "/ Column index:",
    "/    1  x-coordinate;",
    "/    2  y-coordinate;",
    "/    3  height (m);",
    "/    4  110.000Hz, z orientation, inphase;",
    "/    5  110.000Hz, z orientation, quadrature.",
    "       100.00000       200.00000       30.000       120.50      -40.250",
});

// A sounding in the typical layout at x = `x`.
std::string typical_sounding(int x) { return std::to_string(x) + " 200 1\n110 1\n1 -30 z 1\n" + kReceiver; }

std::string many_typical_soundings(int count) {
  std::string text = std::to_string(count) + "\n";
  for (int i = 1; i <= count; ++i) text += typical_sounding(i);
  return text;
}

void expect_no_stderr(const RunResult& r) { EXPECT_TRUE(only_diagnostics(r.err)) << r.err; }

// Offsets just past the CR LF of each record.
std::vector<std::size_t> record_ends(const std::string& file) {
  std::vector<std::size_t> ends;
  for (std::size_t at = file.find("\r\n"); at != std::string::npos; at = file.find("\r\n", at + 2)) {
    ends.push_back(at + 2);
  }
  return ends;
}

TEST(EndToEnd, TypicalRun) {
  ScratchDir dir;
  dir.write("data.prd", kTypicalFile);
  const RunResult r = run_converter(dir.path(), "data.prd\n");
  EXPECT_EQ(r.out,
            "Converting from KORVAN predicted data format.\n"
            " Enter the name of the data file ... \n"
            " 1 soundings read from \"data.prd\".\n"
            " Writing converted data to file \"vask.out\".\n"
            "Done.\n");
  EXPECT_EQ(r.exit_status, 0);
  expect_no_stderr(r);
  EXPECT_EQ(dir.read("vask.out"), kTypicalOutput);
  EXPECT_EQ(dir.read("data.prd"), kTypicalFile);
}

struct LayoutCase {
  const char* label;
  std::string data;
  std::string expected;  // the lines of vask.out after the five fixed ones
};

TEST(EndToEnd, ColumnLabelsAndRows) {
  const std::string two_frequencies =
      "110 1\n1 -30 z 1\n1 10 0 -30 z 1 b 1.5 -2.25\n"
      "3300 1\n1 -30 x 1\n1 10 0 -30 x 1 q 12.5\n";
  const LayoutCase cases[] = {
      {"two frequencies, the second quadrature only", "1\n1234.5 -50.25 2\n" + two_frequencies,
       crlf_lines({
           "/    4  110.000Hz, z orientation, inphase;",
           "/    5  110.000Hz, z orientation, quadrature;",
           "/    6  3300.00Hz, x orientation, quadrature.",
           "      1234.50000       -50.25000       30.000       1.5000      -2.2500       12.500",
       })},
      {"in-phase only last; two transmitters at one frequency",
       "1\n0 0 1\n56000 2\n1 0 y 1\n1 10 0 -30 z 1 q -1\n1 -30 x 1\n1 10 0 -30 z 1 I 12345\n",
       crlf_lines({
           "/    4  56000.0Hz, y orientation, quadrature;",
           "/    5  56000.0Hz, x orientation, inphase.",
           "         0.00000         0.00000       0.0000      -1.0000       12345.",
       })},
      {"frequencies in exponent form",
       "1\n1234.56 1.0E10 2\n2000000 1\n1 -30 z 1\n1 0 0 0 z 1 i 123456\n0.05 1\n1 -30 z 1\n1 0 0 0 z 1 q 0.1\n",
       crlf_lines({
           "/    4  0.200000E+07Hz, z orientation, inphase;",
           "/    5  0.500000E-01Hz, z orientation, quadrature.",
           "      1234.56006 ***************       30.000  0.12346E+06      0.10000",
       })},
      // The layout is the first sounding's; the later one differs in
      // frequency, orientation and component but not in its counts.
      {"later sounding differs from the first",
       "2\n1 2 1\n110 1\n1 -30 z 1\n1 10 0 -30 z 1 b 1 2\n"
       "3 4 1\n220 1\n1 -5 x 1\n1 10 0 -30 x 1 i 7\n",
       crlf_lines({
           "/    4  110.000Hz, z orientation, inphase;",
           "/    5  110.000Hz, z orientation, quadrature.",
           "         1.00000         2.00000       30.000       1.0000       2.0000",
           "         3.00000         4.00000       5.0000       7.0000       0.0000",
       })},
  };
  const std::string fixed =
      crlf_lines({"/ Converted from KORVAN file \"data.prd\".", "/ Column index:", "/    1  x-coordinate;",
                  "/    2  y-coordinate;", "/    3  height (m);"});
  for (const LayoutCase& c : cases) {
    ScratchDir dir;
    dir.write("data.prd", c.data);
    const RunResult r = run_converter(dir.path(), "data.prd\n");
    EXPECT_EQ(r.exit_status, 0) << c.label;
    expect_no_stderr(r);
    EXPECT_EQ(dir.read("vask.out"), fixed + c.expected) << c.label;
  }
}

// A header that is not the truth: the count found wins and the run goes on.
TEST(EndToEnd, AnnouncedCountIsNotALimit) {
  ScratchDir dir;
  dir.write("data.prd", "5\n" + typical_sounding(1) + typical_sounding(2) + typical_sounding(3));
  const RunResult r = run_converter(dir.path(), "data.prd\n");
  EXPECT_EQ(r.out,
            console(" 3 soundings read from \"data.prd\" (not 5 as advertised).\n" + std::string(kWriting) + kDone));
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(record_ends(dir.read("vask.out")).size(), 10u);
}

// ---------------------------------------------------------------------------
// Stops before vask.out is opened: one console line, status 1, and an
// existing vask.out is left as it was.

struct EarlyStopCase {
  const char* label;
  std::string input;  // standard input
  std::string data;   // contents of data.prd; none when empty
  std::string rest;   // the console after the prompt's line
};

std::string allocation_busting_file() {
  // maxfreq 800, maxtx 1200, maxrx 12000 in three soundings, with 597 more:
  // the arrays would need about 2e14 bytes, from a file of some 40 kB.
  std::string text = "600\n0 0 800\n";
  for (int i = 0; i < 800; ++i) text += "1 1\n1 0 z 1\n\n";
  text += "0 0 1\n1 1200\n";
  for (int i = 0; i < 1200; ++i) text += "1 0 z 1\n\n";
  text += "0 0 1\n1 1\n1 0 z 12000\n" + std::string(12000, '\n');
  for (int i = 0; i < 597; ++i) text += "0 0 1\n1 1\n1 0 z 1\n\n";
  return text;
}

TEST(EndToEnd, EarlyStopsLeaveVaskOutAlone) {
  const std::string one = "1 2 1\n110 1\n1 -30 z 1\n" + std::string(kReceiver);
  const std::string two_frequencies =
      "1 2 2\n110 1\n1 -30 z 1\n" + std::string(kReceiver) + "220 1\n1 -30 z 1\n" + kReceiver;
  const std::string two_transmitters = "1 2 1\n110 2\n1 -30 z 1\n" + std::string(kReceiver) + "1 -30 x 1\n" + kReceiver;
  const std::string two_receivers = "1 2 1\n110 1\n1 -30 z 2\n" + std::string(kReceiver) + kReceiver;
  const std::string tx_one_receiver = "1 -30 z 1\n" + std::string(kReceiver);
  const std::string tx_two_receivers = "1 -30 z 2\n" + std::string(kReceiver) + kReceiver;
  const std::string not_suitable = "Stop 'cause data not suitable for column format: ";
  const EarlyStopCase cases[] = {
      {"end of input at the prompt", "", "", "Stop: error reading file name.\n"},
      {"only empty lines at the prompt", "\n\n   \n", "", "Stop: error reading file name.\n"},
      {"name longer than 99 characters", std::string(100, 'n') + "\n", "",
       "Stop: file name longer than 99 characters.\n"},
      {"quoted blanks before a name of 98 characters", "'  " + std::string(98, 'n') + "'\n", "",
       "Stop: file name longer than 99 characters.\n"},
      {"missing data file", "nosuch.prd\n", kTypicalFile, "Stop: file \"nosuch.prd\" does not exist.\n"},
      {"a slash only: an empty name", "/\n", kTypicalFile, "Stop: file \"\" does not exist.\n"},
      {"scan stops", "data.prd\n", "1\n1 2 1\n110 1\n1 -30 z 1\n",
       "Stop: error skipping data for (ir=1,it=1,ifreq=1,isound=1).\n"},
      {"load stops", "data.prd\n", "2\n" + one + "1 2 1\n110 1\n1 -30 Z 1\n1.0 10.0 0.0 -30.0 z 1 B 120.5\n",
       notice(2) + "Stop: error reading data for (ir=1,it=1,ifreq=1,isound=2,file=\"data.prd\").\n"},
      {"arrays too large", "data.prd\n", allocation_busting_file(),
       notice(600) + "Stop: error allocating space for arrays.\n"},
      {"no soundings", "data.prd\n", "2\n\n",
       " 0 soundings read from \"data.prd\" (not 2 as advertised).\n" + not_suitable + "no soundings found.\n"},
      {"frequencies differ", "data.prd\n", "2\n" + one + two_frequencies,
       notice(2) + not_suitable + "number of frequencies not constant.\n"},
      {"transmitters differ", "data.prd\n", "2\n" + two_transmitters + one,
       notice(2) + not_suitable + "number of transmitters per frequency not constant.\n"},
      {"two receivers everywhere", "data.prd\n", "2\n" + two_receivers + two_receivers,
       notice(2) + not_suitable + "number of receivers per transmitter not constant at 1.\n"},
      // Frequency 1 is examined in full before frequency 2.
      {"receivers of frequency 1 before transmitters of frequency 2", "data.prd\n",
       "2\n1 2 2\n110 1\n" + tx_two_receivers + "220 1\n" + tx_one_receiver + "1 2 2\n110 1\n" + tx_two_receivers +
           "220 2\n" + tx_one_receiver + tx_one_receiver,
       notice(2) + not_suitable + "number of receivers per transmitter not constant at 1.\n"},
  };
  for (const EarlyStopCase& c : cases) {
    // Every other case starts without a vask.out, and none may be made.
    const bool old_output = (&c - cases) % 2 == 0;
    ScratchDir dir;
    if (!c.data.empty()) dir.write("data.prd", c.data);
    if (old_output) dir.write("vask.out", kOldOutput);
    const RunResult r = run_converter(dir.path(), c.input);
    EXPECT_EQ(r.out, console(c.rest)) << c.label;
    EXPECT_EQ(r.exit_status, 1) << c.label;
    expect_no_stderr(r);
    EXPECT_EQ(dir.exists("vask.out") ? dir.read("vask.out") : "(none)", old_output ? kOldOutput : "(none)") << c.label;
  }
}

// Some 35 TB: small enough to be asked of the system, which refuses it.
// The address-space limit makes the refusal certain on any machine; the
// sanitizer's allocator cannot run under one, but refuses sizes above 1 TB
// itself (it then warns on standard error, which is not the program's).
TEST(EndToEnd, SystemRefusesTheArrays) {
  std::string text = "100\n0 0 800\n";
  for (int i = 0; i < 800; ++i) text += "1 1\n1 0 z 1\n\n";
  text += "0 0 1\n1 1200\n";
  for (int i = 0; i < 1200; ++i) text += "1 0 z 1\n\n";
  text += "0 0 1\n1 1\n1 0 z 12000\n" + std::string(12000, '\n');
  for (int i = 0; i < 97; ++i) text += "0 0 1\n1 1\n1 0 z 1\n\n";
  ScratchDir dir;
  dir.write("data.prd", text);
  const RunResult r =
      run_converter(dir.path(), "data.prd\n", "",
                    kSanitized ? "export ASAN_OPTIONS=allocator_may_return_null=1;" : "ulimit -v 4000000;");
  EXPECT_EQ(r.out, console(notice(100) + "Stop: error allocating space for arrays.\n"));
  EXPECT_EQ(r.exit_status, 1);
  if (!kSanitized) expect_no_stderr(r);
  EXPECT_FALSE(dir.exists("vask.out"));
}

// ---------------------------------------------------------------------------
// The name typed at the prompt.

TEST(EndToEnd, TypedNames) {
  const std::string name99 = std::string(95, 'n') + ".prd";
  struct Case {
    const char* label;
    std::string input;
    std::string file;  // where the data file is put
    std::string used;  // the name the run reports
  };
  const Case cases[] = {
      {"quoted with leading blanks", "'   data.prd'\n", "data.prd", "data.prd"},
      {"after empty lines, with trailing words", "\n\n  data.prd and more\n", "data.prd", "data.prd"},
      {"quoted path with a slash", "\"sub dir/data.prd\"\n", "sub dir/data.prd", "sub dir/data.prd"},
      {"99 characters", name99 + "\n", name99, name99},
      {"99 characters quoted, blanks after them", "'" + name99 + "    '\n", name99, name99},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    std::filesystem::create_directories(dir.file(c.file).parent_path());
    dir.write(c.file, kTypicalFile);
    const RunResult r = run_converter(dir.path(), c.input);
    EXPECT_EQ(r.out, console(notice(1, c.used) + kWriting + kDone)) << c.label;
    EXPECT_EQ(r.exit_status, 0) << c.label;
    expect_no_stderr(r);
    const std::string first_line = "/ Converted from KORVAN file \"" + c.used + "\".\r\n";
    EXPECT_EQ(dir.read("vask.out").substr(0, first_line.size()), first_line) << c.label;
  }
  const std::string line_of_99 = "/ Converted from KORVAN file \"" + name99 + "\".";
  EXPECT_EQ(line_of_99.size(), 131u);
}

// Unquoted, the slash ends the name: here the directory "data" is what the
// scan is asked to read.
TEST(EndToEnd, UnquotedSlashEndsTheName) {
  ScratchDir dir;
  std::filesystem::create_directory(dir.file("data"));
  dir.write("data/run1.prd", kTypicalFile);
  const RunResult r = run_converter(dir.path(), "data/run1.prd\n");
  EXPECT_EQ(r.out, console("Stop: error opening predicted data file \"data\".\n"));
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_FALSE(dir.exists("vask.out"));

  ScratchDir plain;
  plain.write("data", kTypicalFile);
  EXPECT_EQ(run_converter(plain.path(), "data/run1.prd\n").out, console(notice(1, "data") + kWriting + kDone));
}

TEST(EndToEnd, LaterShorterRunReplacesVaskOut) {
  ScratchDir dir;
  dir.write("long.prd", many_typical_soundings(40));
  dir.write("data.prd", kTypicalFile);
  ASSERT_EQ(run_converter(dir.path(), "long.prd\n").exit_status, 0);
  ASSERT_EQ(record_ends(dir.read("vask.out")).size(), 47u);
  const RunResult r = run_converter(dir.path(), "data.prd\n");
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(dir.read("vask.out"), kTypicalOutput);
}

// ---------------------------------------------------------------------------
// Failures of vask.out itself.

TEST(EndToEnd, VaskOutCannotBeOpened) {
  ScratchDir dir;
  dir.write("data.prd", kTypicalFile);
  std::filesystem::create_directory(dir.file("vask.out"));
  const RunResult r = run_converter(dir.path(), "data.prd\n");
  EXPECT_EQ(r.out, console(notice(1) + kWriting + "Stop: error opening file \"vask.out\" for output.\n"));
  EXPECT_EQ(r.exit_status, 1);
  expect_no_stderr(r);
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("vask.out")));
}

TEST(EndToEnd, FullDeviceRefusesTheFirstHeaderLine) {
  ScratchDir dir;
  dir.write("data.prd", kTypicalFile);
  std::filesystem::create_symlink("/dev/full", dir.file("vask.out"));
  const RunResult r = run_converter(dir.path(), "data.prd\n");
  EXPECT_EQ(r.out, console(notice(1) + kWriting + "Stop: error writing first header line to \"vask.out\".\n"));
  EXPECT_EQ(r.exit_status, 1);
  expect_no_stderr(r);
}

// A file size limit cuts vask.out; the message names the first record that
// did not reach the file, and the file holds every record before it.
struct CutCase {
  const char* label;
  std::string data;
  int limit_kib;
  std::string message;         // the expected stop, without "Stop: " and "."
  std::size_t failing_record;  // 1-based, among the records of the whole file; 0: a label line
};

TEST(EndToEnd, FileSizeLimitCutsVaskOut) {
  std::string many_columns = "1\n0 0 25\n";
  for (int i = 1; i <= 25; ++i) many_columns += std::to_string(100 * i) + " 1\n1 -30 z 1\n" + kReceiver;
  // Header 217 bytes, rows 73: row 11 ends at byte 1020, row 12 at 1093.
  // With 15000 rows the buffer is written out while rows are still being
  // made; row 8414 is the first to pass 600 KiB.
  const CutCase cases[] = {
      {"cut in a label line", many_columns, 1, "error writing header to \"vask.out\"", 0},
      {"cut in the rows at the end", many_typical_soundings(30), 1,
       "error writing data for sounding 12 to \"vask.out\"", 7 + 12},
      {"cut in the rows on the way", many_typical_soundings(15000), 600,
       "error writing data for sounding 8414 to \"vask.out\"", 7 + 8414},
      // Rows are made in chunks of 4096 by two threads, either of which may
      // make any chunk; this thread writes them all.
      {"cut in the first chunk of many", many_typical_soundings(15000), 100,
       "error writing data for sounding 1400 to \"vask.out\"", 7 + 1400},
      {"cut in the second chunk", many_typical_soundings(15000), 428,
       "error writing data for sounding 6001 to \"vask.out\"", 7 + 6001},
  };
  for (const CutCase& c : cases) {
    ScratchDir dir;
    dir.write("data.prd", c.data);
    ASSERT_EQ(run_converter(dir.path(), "data.prd\n").exit_status, 0) << c.label;
    const std::string full = dir.read("vask.out");
    std::filesystem::remove(dir.file("vask.out"));

    const std::size_t limit = static_cast<std::size_t>(c.limit_kib) * 1024;
    ASSERT_GT(full.size(), limit) << c.label;
    const RunResult r =
        run_converter(dir.path(), "data.prd\n", "", "ulimit -f " + std::to_string(c.limit_kib) + ";");
    EXPECT_EQ(r.out.substr(r.out.find(kWriting) + std::string(kWriting).size()), "Stop: " + c.message + ".\n")
        << c.label;
    EXPECT_EQ(r.exit_status, 1) << c.label;
    EXPECT_EQ(r.err, "korvan2col: vask.out: File too large\n") << c.label;

    const std::string cut = dir.read("vask.out");
    EXPECT_EQ(cut, full.substr(0, cut.size())) << c.label;
    const std::vector<std::size_t> ends = record_ends(full);
    // The failing record is the first that does not fit whole.
    std::size_t first_lost = 0;
    while (first_lost < ends.size() && ends[first_lost] <= cut.size()) ++first_lost;
    if (c.failing_record != 0) {
      EXPECT_EQ(first_lost + 1, c.failing_record) << c.label;
    } else {
      EXPECT_GE(first_lost, 5u) << c.label;
      EXPECT_LT(first_lost, ends.size() - 1) << c.label;
    }
    EXPECT_EQ(cut.size(), limit) << c.label;
  }
}

}  // namespace
}  // namespace korvan::testing
