// --format csv end to end: the header row, every value read back against
// vask.out, empty fields for missing components, and a refused write that
// names its sounding exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
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
            "x,y,height,900Hz_z_inphase,900Hz_z_quadrature,900Hz_x_inphase,900Hz_x_quadrature,7200Hz_z_inphase,"
            "7200Hz_y_quadrature,56000Hz_z_quadrature");
  const std::vector<std::string> vask = split(example_file("survey_multi.vask.out"), '\n');
  for (std::size_t row = 1; row < csv.size(); ++row) {
    std::istringstream printed(vask[vask.size() - csv.size() + row]);
    const std::vector<std::string> fields = split(csv[row], ',');
    ASSERT_EQ(fields.size(), 10u) << csv[row];
    for (const std::string& field : fields) {
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
       "x,y,height,110Hz_z_inphase,110Hz_z_quadrature\n1,2,30,1,2\n3,4,5,7,\n"},
      {"a q sounding under an i column leaves it empty",
       "2\n1 2 1\n110 1\n1 -30 z 1\n1 10 0 -30 z 1 i 1\n3 4 1\n110 1\n1 -30 z 1\n1 10 0 -30 z 1 q 9\n",
       "x,y,height,110Hz_z_inphase\n1,2,30,1\n3,4,30,\n"},
      {"two transmitters of one orientation at one frequency",
       "1\n0 0 1\n900 2\n1 -30 z 1\n1 10 0 -30 z 1 b 1 2\n1 -30 z 1\n1 10 0 -30 z 1 i 3\n",
       "x,y,height,900Hz_z_inphase_tx1,900Hz_z_quadrature,900Hz_z_inphase_tx2\n0,0,30,1,2,3\n"},
      {"one frequency at two places",
       "1\n0 0 2\n900 1\n1 -30 z 1\n1 10 0 -30 z 1 q 1\n900 1\n1 -30 z 1\n1 10 0 -30 z 1 q 2\n",
       "x,y,height,900Hz_z_quadrature_f1_tx1,900Hz_z_quadrature_f2_tx1\n0,0,30,1,2\n"},
      {"zeros of either sign, exponents, no padding",
       "1\n1234.56 -0.0 1\n2000000 1\n1 0 z 1\n1 0 0 0 z 1 b 1e-7 -3.4e38\n",
       "x,y,height,2000000Hz_z_inphase,2000000Hz_z_quadrature\n1234.56,0,0,1e-07,-3.4e+38\n"},
  };
  for (const CsvCase& c : cases) {
    ScratchDir dir;
    dir.write("data.prd", c.data);
    const RunResult r = run_converter(dir.path(), "", "--format csv data.prd");
    EXPECT_EQ(r.exit_status, 0) << c.label;
    EXPECT_EQ(dir.read("vask.csv"), c.expected) << c.label;
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
