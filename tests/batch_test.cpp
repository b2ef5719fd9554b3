// Several files a run, end to end: the real binary in a scratch directory,
// its standard error, exit status and every file it leaves. The rows files
// are judged against what the data files say (CSV values written out by
// hand, the generators' values and true flight lines), vask.out files
// against the one-file run of the same file, the documented run.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/line_shares.h"
#include "bench/survey_generator.h"
#include "cli/command_line.h"
#include "tests/known_values.h"
#include "tests/test_support.h"

namespace korvan::testing {
namespace {

std::string example_survey() {
  std::ifstream in(std::filesystem::path(KORVAN_SOURCE_DIR) / "examples" / "survey_multi.prd", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  return text.replace(text.find(from), from.size(), to);
}

// The data files every case starts from.
const std::string kFive = example_survey();
const std::string kTwo =
    "2\n1 2 1\n110 1\n1 -30 z 1\n1 10 0 -30 z 1 b 1 2\n3 4 1\n110 1\n1 -30 z 1\n1 10 0 -30 z 1 b 3 4\n";
const std::string kBad = "garbage\n";
// Sounding 2 gives the in-phase value alone under a column pair: a warning.
const std::string kWarned = replaced(kFive, " B 160.92 93.05", " I 160.92");

const std::map<std::string, std::string> kDataFiles = {
    {"a.prd", kFive}, {"b.prd", kTwo}, {"bad.prd", kBad}, {"w.prd", kWarned}};

// The CSVs of a.prd and b.prd, from the values their files hold; five or
// two soundings are too few for a flight line.
const std::string kFiveCsv =
    "sounding,line,x,y,height,900Hz_z_inphase,900Hz_z_quadrature,900Hz_x_inphase,900Hz_x_quadrature,"
    "7200Hz_z_inphase,7200Hz_y_quadrature,56000Hz_z_quadrature\n"
    "1,0,431250,6781500,30,152.37,88.41,41.06,0.042,402.15,97.6,1204.8\n"
    "2,0,431262.5,6781500.5,31.5,160.92,93.05,43.77,0.051,415.8,101.33,1187.25\n"
    "3,0,431275,6781501,29.25,348.05,215.3,96.4,12.68,688.9,-3.75,902.6\n"
    "4,0,431287.5,6781501.5,30.75,297.4,188.26,82.15,9.94,640.2,0.85,955.1\n"
    "5,0,431300,6781502,33,174.83,102.9,47.3,0.063,451.07,88.12,1150.4\n";
const std::string kTwoCsv =
    "sounding,line,x,y,height,110Hz_z_inphase,110Hz_z_quadrature\n1,0,1,2,30,1,2\n2,0,3,4,30,3,4\n";

const std::string kBadStop =
    "korvan2col: bad.prd: stopped: error reading number of soundings from \"bad.prd\".\n"
    "korvan2col: bad.prd:1:1: the number of soundings \"garbage\" is not a whole number\n";

std::string usage_error(const std::string& line) { return "korvan2col: " + line + "\n" + cli::usage_reminder(); }

// vask.out as the one-file run writes it for the data file `name`.
std::string one_file_rows(const std::string& name) {
  ScratchDir dir;
  dir.write(name, kDataFiles.at(name));
  const RunResult r = run_converter(dir.path(), "", name);
  EXPECT_EQ(r.exit_status, 0) << name;
  return dir.read("vask.out");
}

struct Expected {
  std::string name;
  std::string bytes;
};

struct BatchCase {
  const char* label;
  std::string setup;  // shell commands run in the directory first
  std::string arguments;
  std::string err;
  int exit_status;
  std::vector<Expected> files;      // what they must hold afterwards
  std::vector<std::string> absent;  // files the run must not make
};

TEST(Batch, EachCaseAsTheUserSeesIt) {
  const std::string a_out = one_file_rows("a.prd");
  const std::string b_out = one_file_rows("b.prd");
  const std::string w_out = one_file_rows("w.prd");
  const BatchCase cases[] = {
      {"two good files", "", "a.prd b.prd",
       "korvan2col: a.prd: 5 soundings -> a.out\nkorvan2col: b.prd: 2 soundings -> b.out\n", 0,
       {{"a.out", a_out}, {"b.out", b_out}}, {}},
      {"one bad among good: the others written", "", "a.prd bad.prd b.prd",
       "korvan2col: a.prd: 5 soundings -> a.out\n" + kBadStop + "korvan2col: b.prd: 2 soundings -> b.out\n", 1,
       {{"a.out", a_out}, {"b.out", b_out}}, {"bad.out"}},
      {"a file that stops leaves its earlier rows file", "echo old > bad.out;", "bad.prd a.prd",
       kBadStop + "korvan2col: a.prd: 5 soundings -> a.out\n", 1, {{"bad.out", "old\n"}, {"a.out", a_out}}, {}},
      {"a missing file is its own stop", "", "a.prd none.prd",
       "korvan2col: a.prd: 5 soundings -> a.out\nkorvan2col: none.prd: stopped: file \"none.prd\" does not "
       "exist.\nkorvan2col: none.prd: No such file or directory\n",
       1, {{"a.out", a_out}}, {"none.out"}},
      {"warnings counted, then listed", "", "w.prd b.prd",
       "korvan2col: w.prd: 5 soundings -> w.out, 1 warning\nkorvan2col: w.prd:16:1: warning: 1 sounding has no "
       "value for the component its column's label names (written as 0); the first is sounding 2 (component i "
       "under a quadrature column)\nkorvan2col: b.prd: 2 soundings -> b.out\n",
       0, {{"w.out", w_out}, {"b.out", b_out}}, {}},
      {"CSV of a compressed file in a directory, one file with --output-dir",
       "mkdir sub out; gzip -c b.prd > sub/b.prd.gz;", "--format csv --output-dir out sub/b.prd.gz",
       "korvan2col: sub/b.prd.gz: 2 soundings -> out/b.csv\n", 0, {{"out/b.csv", kTwoCsv}}, {"sub/b.csv"}},
      {"CSV beside the data, names without an extension", "mkdir sub; cp a.prd sub/data; cp b.prd .hidden;",
       "--format csv -j 2 sub/data .hidden", "korvan2col: sub/data: 5 soundings -> sub/data.csv\n"
       "korvan2col: .hidden: 2 soundings -> .hidden.csv\n", 0,
       {{"sub/data.csv", kFiveCsv}, {".hidden.csv", kTwoCsv}}, {}},
      {"the output directory is the data files' own", "", "--output-dir ./ a.prd b.prd",
       "korvan2col: a.prd: 5 soundings -> ./a.out\nkorvan2col: b.prd: 2 soundings -> ./b.out\n", 0,
       {{"a.out", a_out}, {"b.out", b_out}}, {}},
      {"the same file twice", "", "a.prd a.prd", usage_error("a.prd and a.prd would both be converted to a.out"),
       2, {}, {"a.out"}},
      {"a.prd and a.prd.gz", "gzip -k a.prd;", "a.prd a.prd.gz",
       usage_error("a.prd and a.prd.gz would both be converted to a.out"), 2, {}, {"a.out"}},
      {"one final name in two directories", "mkdir out sub; cp b.prd sub/a.prd;", "--output-dir out a.prd sub/a.prd",
       usage_error("a.prd and sub/a.prd would both be converted to out/a.out"), 2, {}, {"out/a.out"}},
      {"two names of one output", "mkdir out;", "--output-dir out b.prd a.prd ./out/../a.prd",
       usage_error("a.prd and ./out/../a.prd would both be converted to out/a.out"), 2, {}, {"out/b.out"}},
      {"an output that is a data file by a symbolic link", "mkdir out; ln -s ../b.prd out/a.out;",
       "--output-dir out a.prd b.prd",
       usage_error("a.prd would be converted to out/a.out, which is the data file b.prd"), 2,
       {{"b.prd", kTwo}}, {"out/b.out"}},
      {"an output that is a data file by a hard link", "ln b.prd a.out;", "a.prd b.prd",
       usage_error("a.prd would be converted to a.out, which is the data file b.prd"), 2,
       {{"a.out", kTwo}, {"b.prd", kTwo}}, {"b.out"}},
      {"an output that is its own data file", "cp b.prd x.out;", "--output-dir . x.out",
       usage_error("x.out would be converted to ./x.out, which is the data file x.out"), 2, {{"x.out", kTwo}}, {}},
      {"-o", "", "-o rows.out a.prd b.prd",
       usage_error("-o names one rows file; with several files or --output-dir each is named after its data"), 2,
       {}, {"rows.out", "a.out"}},
      {"--plot", "", "--plot map.png --output-dir . a.prd",
       usage_error("--plot draws one survey; it cannot be used with several files or --output-dir"), 2, {},
       {"map.png", "a.out"}},
      {"standard input", "", "a.prd -",
       usage_error("- (standard input) cannot be one of several files or used with --output-dir"), 2, {},
       {"a.out"}},
      {"a FIFO", "mkfifo f.prd;", "a.prd f.prd",
       usage_error("f.prd: not a regular file; several files or --output-dir convert regular files only"), 2, {},
       {"a.out"}},
      {"a directory", "mkdir d.prd;", "a.prd d.prd",
       usage_error("d.prd: not a regular file; several files or --output-dir convert regular files only"), 2, {},
       {"a.out"}},
      {"an output directory that is not there", "", "--output-dir rows a.prd",
       usage_error("--output-dir: 'rows' is not a directory"), 2, {}, {"rows"}},
      {"--output-dir without a file", "mkdir rows;", "--output-dir rows",
       usage_error("--output-dir needs at least one FILE"), 2, {}, {}},
      {"-j 0", "", "-j 0 a.prd b.prd", usage_error("-j: '0' is not a number of files at once from 1 to 64"), 2, {},
       {"a.out"}},
      {"-j 65", "", "-j 65 a.prd b.prd", usage_error("-j: '65' is not a number of files at once from 1 to 64"), 2,
       {}, {"a.out"}},
      {"--line-gap without the CSV", "", "--line-gap 50 a.prd b.prd",
       usage_error("--line-gap needs --format csv or --plot"), 2, {}, {"a.out"}},
  };
  for (const BatchCase& c : cases) {
    ScratchDir dir;
    for (const auto& [name, text] : kDataFiles) dir.write(name, text);
    const RunResult r = run_converter(dir.path(), "", c.arguments, c.setup);
    EXPECT_EQ(r.out, "") << c.label;
    EXPECT_EQ(r.err, c.err) << c.label;
    EXPECT_EQ(r.exit_status, c.exit_status) << c.label;
    for (const Expected& file : c.files) {
      EXPECT_TRUE(dir.read(file.name) == file.bytes) << c.label << ": " << file.name;
    }
    for (const std::string& name : c.absent) EXPECT_FALSE(dir.exists(name)) << c.label << ": " << name;
    // No temporary (".NAME.XXXXXX") left behind.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(name.front() != '.' || name.starts_with(".hidden")) << c.label << ": " << entry.path();
    }
  }
}

// The CSV rows that a known survey means: its number, line 0 (at most 40
// soundings), then every field.
std::string meant_csv_rows(const KnownSurvey& survey) {
  std::string rows;
  for (std::size_t s = 0; s < survey.rows.size(); ++s) {
    rows += std::to_string(s + 1) + ",0";
    for (std::size_t f = 0; f < survey.rows[s].size(); ++f) {
      rows += "," + expected_csv_field(survey.rows[s][f], f < 2);
    }
    rows += "\n";
  }
  return rows;
}

std::string without_header(const std::string& csv) { return csv.substr(csv.find('\n') + 1); }

// Random surveys in every layout, converted eight at once, two at once and
// one after another: the same bytes each time, and the values they mean.
TEST(Batch, FilesAtOnceChangeNothing) {
  constexpr int kFiles = 8;
  std::vector<KnownSurvey> surveys;
  std::string names;
  for (int i = 0; i < kFiles; ++i) {
    surveys.push_back(generate_known_survey(7000 + static_cast<std::uint64_t>(i), {1, 40, true}));
    names += " s" + std::to_string(i) + ".prd";
  }
  std::map<std::string, std::string> first_outputs;
  std::map<std::string, std::string> first_err;  // by format
  for (const char* files_at_once : {"8", "2", "1"}) {
    for (const char* format : {"vask", "csv"}) {
      ScratchDir dir;
      for (int i = 0; i < kFiles; ++i) {
        dir.write("s" + std::to_string(i) + ".prd", surveys[static_cast<std::size_t>(i)].text);
      }
      const RunResult r =
          run_converter(dir.path(), "", std::string("-j ") + files_at_once + " --format " + format + names);
      EXPECT_EQ(r.exit_status, 0) << r.err;
      const std::string ending = std::string(format) == "csv" ? ".csv" : ".out";
      for (int i = 0; i < kFiles; ++i) {
        const std::string output = "s" + std::to_string(i) + ending;
        const std::string bytes = dir.read(output);
        if (ending == ".csv") {
          EXPECT_EQ(without_header(bytes), meant_csv_rows(surveys[static_cast<std::size_t>(i)])) << output;
        }
        const auto [first, fresh] = first_outputs.emplace(output, bytes);
        EXPECT_TRUE(fresh || first->second == bytes) << output << " with -j " << files_at_once;
      }
      const auto [err, fresh] = first_err.emplace(format, r.err);
      EXPECT_TRUE(fresh || err->second == r.err) << "-j " << files_at_once << ": " << r.err;
    }
  }
}

// Surveys flown as surveys are, each converted in the batch: the CSV's line
// column against the generator's true line of every sounding.
TEST(Batch, LineColumnMatchesTheTrueLines) {
  constexpr std::int64_t kSoundings = 30'000;
  const std::vector<std::uint64_t> seeds = {11, 12, 13};
  ScratchDir dir;
  std::string names;
  for (const std::uint64_t seed : seeds) {
    bench::SurveyGenerator generator({kSoundings, 1, 1, seed});
    std::string text;
    generator.write([&](const char* data, std::size_t size) { text.append(data, size); });
    const std::string name = "t" + std::to_string(seed) + ".prd";
    dir.write(name, text);
    names += " " + name;
  }
  const RunResult r = run_converter(dir.path(), "", "--format csv --output-dir ." + names);
  ASSERT_EQ(r.exit_status, 0) << r.err;
  for (const std::uint64_t seed : seeds) {
    bench::SurveyTrack track(seed);
    std::vector<std::int32_t> truth;
    std::vector<std::int32_t> found;
    std::istringstream csv(dir.read("t" + std::to_string(seed) + ".csv"));
    std::string row;
    std::getline(csv, row);
    ASSERT_EQ(row.rfind("sounding,line,x,y,", 0), 0u) << row;
    for (std::int64_t i = 1; std::getline(csv, row); ++i) {
      ASSERT_EQ(row.substr(0, row.find(',')), std::to_string(i));
      found.push_back(std::stoi(row.substr(row.find(',') + 1)));
      truth.push_back(track.next().line);
    }
    ASSERT_EQ(found.size(), static_cast<std::size_t>(kSoundings));
    const bench::LineShares shares = bench::line_shares(found, truth);
    EXPECT_GE(shares.exact, 0.985) << "seed " << seed;
    EXPECT_GE(shares.matched, 0.985) << "seed " << seed;
  }
}

}  // namespace
}  // namespace korvan::testing
