// --format csv end to end: the header row, every value read back against
// vask.out, the sounding and line columns, empty fields for missing
// components, and a refused write that names its sounding exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace korvan::testing {
namespace {

const std::filesystem::path kExamples = std::filesystem::path(KORVAN_SOURCE_DIR) / "examples";

std::string example_file(const std::string& name) {
  std::ifstream in(kExamples / name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  return parts;
}

TEST(CsvOutput, ReadsBackToTheVaskOutValues) {
  ScratchDir dir;
  dir.write("survey_multi.prd", example_file("survey_multi.prd"));
  const RunResult r = run_converter(dir.path(), "", "--format csv survey_multi.prd");
  EXPECT_EQ(r.out,
            "Converting from KORVAN predicted data format.\n 5 soundings read from \"survey_multi.prd\".\n"
            " Writing converted data to file \"vask.csv\".\nDone.\n");
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(dir.exists("vask.out"));

  const std::vector<std::string> csv = split(dir.read("vask.csv"), '\n');
  ASSERT_EQ(csv.size(), 6u);
  EXPECT_EQ(csv[0],
            "sounding,line,x,y,height,900Hz_z_inphase,900Hz_z_quadrature,900Hz_x_inphase,900Hz_x_quadrature,7200Hz_z_inphase,"
            "7200Hz_y_quadrature,56000Hz_z_quadrature");
  const std::vector<std::string> vask = split(example_file("survey_multi.vask.out"), '\n');
  for (std::size_t row = 1; row < csv.size(); ++row) {
    std::istringstream printed(vask[vask.size() - csv.size() + row]);
    const std::vector<std::string> fields = split(csv[row], ',');
    ASSERT_EQ(fields.size(), 12u) << csv[row];
    // Five soundings are too few for a flight line.
    EXPECT_EQ(fields[0], std::to_string(row)) << csv[row];
    EXPECT_EQ(fields[1], "0") << csv[row];
    for (const std::string& field : std::span(fields).subspan(2)) {
      double expected = 0;
      printed >> expected;
      // vask.out keeps five significant digits, or five decimals for x and y.
      EXPECT_NEAR(std::stod(field), expected, std::max(1e-4 * std::fabs(expected), 1e-5)) << csv[row];
    }
  }
}

struct CsvCase {
  const char* label;
  std::string data;
  std::string expected;  // the whole of vask.csv
};

TEST(CsvOutput, NamesAndFields) {
  const std::string sounding_b = "1 2 1\n110 1\n1 -30 z 1\n1 10 0 -30 z 1 b 1 2\n";
  const CsvCase cases[] = {
      {"an i sounding under a b column leaves the quadrature empty",
       "2\n" + sounding_b + "3 4 1\n220 1\n1 -5 x 1\n1 10 0 -30 x 1 i 7\n",
       "sounding,line,x,y,height,110Hz_z_inphase,110Hz_z_quadrature\n1,0,1,2,30,1,2\n2,0,3,4,5,7,\n"},
      {"a q sounding under an i column leaves it empty",
       "2\n1 2 1\n110 1\n1 -30 z 1\n1 10 0 -30 z 1 i 1\n3 4 1\n110 1\n1 -30 z 1\n1 10 0 -30 z 1 q 9\n",
       "sounding,line,x,y,height,110Hz_z_inphase\n1,0,1,2,30,1\n2,0,3,4,30,\n"},
      {"two transmitters of one orientation at one frequency",
       "1\n0 0 1\n900 2\n1 -30 z 1\n1 10 0 -30 z 1 b 1 2\n1 -30 z 1\n1 10 0 -30 z 1 i 3\n",
       "sounding,line,x,y,height,900Hz_z_inphase_tx1,900Hz_z_quadrature,900Hz_z_inphase_tx2\n1,0,0,0,30,1,2,3\n"},
      {"one frequency at two places",
       "1\n0 0 2\n900 1\n1 -30 z 1\n1 10 0 -30 z 1 q 1\n900 1\n1 -30 z 1\n1 10 0 -30 z 1 q 2\n",
       "sounding,line,x,y,height,900Hz_z_quadrature_f1_tx1,900Hz_z_quadrature_f2_tx1\n1,0,0,0,30,1,2\n"},
      {"zeros of either sign, exponents, no padding",
       "1\n1234.56 -0.0 1\n2000000 1\n1 0 z 1\n1 0 0 0 z 1 b 1e-7 -3.4e38\n",
       "sounding,line,x,y,height,2000000Hz_z_inphase,2000000Hz_z_quadrature\n1,0,1234.56,0,0,1e-07,-3.4e+38\n"},
  };
  for (const CsvCase& c : cases) {
    ScratchDir dir;
    dir.write("data.prd", c.data);
    const RunResult r = run_converter(dir.path(), "", "--format csv data.prd");
    EXPECT_EQ(r.exit_status, 0) << c.label;
    EXPECT_EQ(dir.read("vask.csv"), c.expected) << c.label;
  }
}

// A track drawn by hand, one sounding a point: `count` soundings from
// (x, y), each `step` metres on along x.
struct Leg {
  double x;
  double y;
  int count;
  double step;
};

std::string survey_along(const std::vector<Leg>& legs) {
  std::string text;
  int soundings = 0;
  for (const Leg& leg : legs) {
    for (int k = 0; k < leg.count; ++k) {
      text += std::to_string(leg.x + k * leg.step) + " " + std::to_string(leg.y) + " 1\n900 1\n1 -30 z 1\n" +
              "1 10 0 -30 z 1 i 1\n";
      ++soundings;
    }
  }
  return std::to_string(soundings) + "\n" + text;
}

// The first two columns of every row: the sounding's number and its line.
std::string sounding_and_line_columns(const std::string& csv) {
  std::string columns;
  const std::vector<std::string> rows = split(csv, '\n');
  for (std::size_t r = 1; r < rows.size(); ++r) {
    const std::vector<std::string> fields = split(rows[r], ',');
    columns += fields.at(0) + "," + fields.at(1) + " ";
  }
  return columns;
}

// "first,line first+1,line ... last,line " for soundings first to last.
std::string numbered(int first, int last, int line) {
  std::string columns;
  for (int s = first; s <= last; ++s) columns += std::to_string(s) + "," + std::to_string(line) + " ";
  return columns;
}

struct LineCase {
  const char* label;
  std::vector<Leg> legs;
  std::string options;
  std::string expected;  // sounding,line of every row
};

// Straight legs 10 m a step, where where the lines run is plain to see.
TEST(CsvOutput, SoundingAndLineColumns) {
  const LineCase cases[] = {
      {"one straight line", {{0, 0, 60, 10}}, "", numbered(1, 60, 1)},
      {"a leg too short for a line: 40 soundings", {{0, 0, 40, 10}}, "", numbered(1, 40, 0)},
      {"two lines 500 m apart, flown the same way", {{0, 0, 60, 10}, {0, 500, 60, 10}}, "",
       numbered(1, 60, 1) + numbered(61, 120, 2)},
      {"flown both ways", {{0, 0, 60, 10}, {590, 500, 60, -10}}, "", numbered(1, 60, 1) + numbered(61, 120, 2)},
      {"a lost fix within a line: one line", {{0, 0, 60, 10}, {1000, 0, 60, 10}}, "", numbered(1, 120, 1)},
      {"a 30 m side step, 3 median steps: no jump, one line", {{0, 0, 60, 10}, {600, 30, 60, 10}}, "",
       numbered(1, 120, 1)},
      {"the same side step beyond --line-gap 20: two lines", {{0, 0, 60, 10}, {600, 30, 60, 10}},
       "--line-gap 20", numbered(1, 60, 1) + numbered(61, 120, 2)},
  };
  for (const LineCase& c : cases) {
    ScratchDir dir;
    dir.write("data.prd", survey_along(c.legs));
    const RunResult r = run_converter(dir.path(), "", "--format csv " + c.options + " data.prd");
    EXPECT_EQ(r.exit_status, 0) << c.label << ": " << r.err;
    EXPECT_EQ(sounding_and_line_columns(dir.read("vask.csv")), c.expected) << c.label;
  }
}

// Rows of varying length in chunks from two threads: the message names the
// sounding whose row is the first not to reach the file whole, whether the
// write that fails is the first from the full buffer (the file is over
// 1 MiB), a later one, or the last flush; the earlier file stays whole.
TEST(CsvOutput, RefusedWriteNamesItsSounding) {
  std::string data = "20000\n";
  for (int i = 1; i <= 20000; ++i) {
    data += std::to_string(i) + " 0.5 5\n";
    for (const char* frequency : {"110", "440", "1760", "7040", "28160"}) {
      data += std::string(frequency) + " 1\n1 -30 z 1\n1 10 0 -30 z 1 b " + std::to_string(i % 997) + ".25 -" +
              std::to_string(i % 13) + "\n";
    }
  }
  ScratchDir dir;
  dir.write("data.prd", data);
  ASSERT_EQ(run_converter(dir.path(), "", "-o rows.csv --format csv data.prd").exit_status, 0);
  const std::string full = dir.read("rows.csv");
  ASSERT_GT(full.size(), std::size_t{1} << 20);
  for (const std::size_t limit_kib : {std::size_t{40}, std::size_t{1100}, full.size() / 1024 - 1}) {
    const RunResult r = run_converter(dir.path(), "", "--format csv -o rows.csv data.prd",
                                      "ulimit -f " + std::to_string(limit_kib) + ";");
    // The rows before the cut are whole; the header row is row 0.
    const std::size_t cut = limit_kib * 1024;
    const auto rows_whole = std::count(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut), '\n');
    const std::string stop =
        "Stop: error writing data for sounding " + std::to_string(rows_whole) + " to \"rows.csv\".\n";
    EXPECT_EQ(r.out.substr(r.out.size() - std::min(r.out.size(), stop.size())), stop) << limit_kib;
    EXPECT_EQ(r.exit_status, 1) << limit_kib;
    EXPECT_EQ(r.err, "korvan2col: rows.csv: File too large\n") << limit_kib;
    // The run replaced nothing: the earlier file stays whole, and no part of
    // the cut one is left beside it.
    EXPECT_TRUE(dir.read("rows.csv") == full) << limit_kib;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2) << limit_kib;
  }
}

}  // namespace
}  // namespace korvan::testing
