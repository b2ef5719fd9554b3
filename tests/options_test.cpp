// The command-line options and the ways of giving the data file end to end:
// the real binary in a scratch directory with the bundled multi-frequency
// survey, its standard output, standard error and exit status compared byte
// for byte, and the rows file where the options put it.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cli/command_line.h"
#include "tests/test_support.h"

namespace korvan::testing {
namespace {

const std::filesystem::path kExamples = std::filesystem::path(KORVAN_SOURCE_DIR) / "examples";
const std::string kSurvey = "survey_multi.prd";

std::string example_file(const std::string& name) {
  std::ifstream in(kExamples / name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The dialogue of a run with the data name given, up to the writing line.
std::string dialogue_until_writing(const std::string& data_name, const std::string& rows_file) {
  return "Converting from KORVAN predicted data format.\n 5 soundings read from \"" + data_name +
         "\".\n Writing converted data to file \"" + rows_file + "\".\n";
}

std::string usage_error(const std::string& line) { return "korvan2col: " + line + "\n" + cli::usage_reminder(); }

struct OptionCase {
  const char* label;
  std::string arguments;
  std::string input;     // standard input
  std::string out;       // standard output, unless the rows go there
  std::string err;       // standard error
  int exit_status;
  std::string rows_file;  // where the vask.out bytes must be ("-": standard output); empty: nowhere
  std::string data_name = kSurvey;
};

TEST(Options, EachOptionAsTheUserSeesIt) {
  const std::string long_name = std::string(120, 'n') + ".prd";
  const std::string done = dialogue_until_writing(kSurvey, "rows.txt") + "Done.\n";
  const OptionCase cases[] = {
      {"-o FILE", "-o rows.txt " + kSurvey, "", done, "", 0, "rows.txt"},
      {"--output=FILE", "--output=rows.txt " + kSurvey, "", done, "", 0, "rows.txt"},
      {"-o -: standard output is the file alone", "-o - " + kSurvey, "", "",
       dialogue_until_writing(kSurvey, "-") + "Done.\n", 0, "-"},
      {"-o naming the data file typed at the prompt", "-o ./" + kSurvey, kSurvey + "\n",
       "Converting from KORVAN predicted data format.\n Enter the name of the data file ... \n"
       "Stop: output file \"./" + kSurvey + "\" is the data file.\n",
       "", 1, ""},
      {"-o into a missing directory, found before reading", "-o nodir/rows.txt " + kSurvey, "",
       "Converting from KORVAN predicted data format.\nStop: error opening file \"nodir/rows.txt\" for output.\n",
       "korvan2col: nodir/rows.txt: No such file or directory\n", 1, ""},
      {"-o refusing every write", "-o /dev/full " + kSurvey, "",
       dialogue_until_writing(kSurvey, "/dev/full") + "Stop: error writing first header line to \"/dev/full\".\n",
       "korvan2col: /dev/full: No space left on device\n", 1, ""},
      {"FILE longer than 99 characters", long_name, "", dialogue_until_writing(long_name, "vask.out") + "Done.\n", "",
       0, "vask.out", long_name},
      {"unknown option", "-x " + kSurvey, "", "", usage_error("unknown option '-x'"), 2, ""},
      {"format neither vask nor csv", "--format xml " + kSurvey, "", "",
       usage_error("--format: 'xml' is neither vask nor csv"), 2, ""},
      {"plot name without a known ending", "--plot map.jpg " + kSurvey, "", "",
       usage_error("--plot: 'map.jpg' does not end in .png, .svg or .pdf"), 2, ""},
      {"--line-gap of zero", "--format csv --line-gap 0 " + kSurvey, "", "",
       usage_error("--line-gap: '0' is not a positive number of metres"), 2, ""},
      {"--line-gap of a number and a unit", "--format csv --line-gap 50m " + kSurvey, "", "",
       usage_error("--line-gap: '50m' is not a positive number of metres"), 2, ""},
      {"--line-gap of infinity", "--format csv --line-gap inf " + kSurvey, "", "",
       usage_error("--line-gap: 'inf' is not a positive number of metres"), 2, ""},
      {"--line-gap without the CSV or a picture", "--line-gap 50 " + kSurvey, "", "",
       usage_error("--line-gap needs --format csv or --plot"), 2, ""},
      {"--help", "--help " + kSurvey, "", cli::usage_text(), "", 0, ""},
  };
  const std::string survey = example_file(kSurvey);
  for (const OptionCase& c : cases) {
    ScratchDir dir;
    dir.write(c.data_name, survey);
    const RunResult r = run_converter(dir.path(), c.input, c.arguments);
    std::string rows = example_file("survey_multi.vask.out");
    rows.replace(rows.find(kSurvey), kSurvey.size(), c.data_name);
    EXPECT_EQ(r.out, c.rows_file == "-" ? rows : c.out) << c.label;
    EXPECT_EQ(r.err, c.err) << c.label;
    EXPECT_EQ(r.exit_status, c.exit_status) << c.label;
    if (!c.rows_file.empty() && c.rows_file != "-") {
      EXPECT_EQ(dir.read(c.rows_file), rows) << c.label;
    }
    if (c.rows_file != "vask.out") {
      EXPECT_FALSE(dir.exists("vask.out")) << c.label;
    }
    EXPECT_EQ(dir.read(c.data_name), survey) << c.label;
  }
}

// `text` as gzip compresses it.
std::string gzipped(const std::string& text) {
  const ScratchDir dir;
  const std::string path = dir.file("packed.gz").string();
  gzFile out = gzopen(path.c_str(), "wb");
  gzwrite(out, text.data(), static_cast<unsigned>(text.size()));
  gzclose(out);
  return dir.read("packed.gz");
}

struct SourceCase {
  const char* label;
  std::string shell_prefix;
  std::string arguments;
  std::string input;      // standard input
  std::string out;        // standard output, unless the rows go there
  std::string err;        // standard error
  int exit_status;
  std::string rows_file;  // "vask.out", or "-": standard output; empty: a stop
  std::string data_name;  // as the messages and the first header line give it
};

TEST(DataSources, EachWayOfGivingTheDataAsTheUserSeesIt) {
  const std::string survey = example_file(kSurvey);
  const std::string packed = gzipped(survey);
  std::string corrupt = packed;
  corrupt[corrupt.size() - 5] ^= 1;  // in the CRC of the trailer
  const std::string earlier = "rows of an earlier run\n";
  const auto done = [](const std::string& name) { return dialogue_until_writing(name, "vask.out") + "Done.\n"; };
  const auto stop = [](const std::string& name) {
    return "Converting from KORVAN predicted data format.\nStop: error opening predicted data file \"" + name +
           "\".\n";
  };
  const SourceCase cases[] = {
      {"the plain run", "", kSurvey, "", done(kSurvey), "", 0, "vask.out", kSurvey},
      {"- with the survey on standard input", "", "-", survey, done("-"), "", 0, "vask.out", "-"},
      {"FIFO", "mkfifo fifo; cat " + kSurvey + " > fifo &", "fifo", "", done("fifo"), "", 0, "vask.out", "fifo"},
      // bash gives the first process substitution descriptor 63.
      {"process substitution", "", "<(cat " + kSurvey + ")", "", done("/dev/fd/63"), "", 0, "vask.out",
       "/dev/fd/63"},
      {"gzip file named .prd", "", "packed.prd", "", done("packed.prd"), "", 0, "vask.out", "packed.prd"},
      {"gzip on standard input", "", "-", packed, done("-"), "", 0, "vask.out", "-"},
      {"-o - with -", "", "-o - -", survey, "", dialogue_until_writing("-", "-") + "Done.\n", 0, "-", "-"},
      {"truncated gzip file", "", "truncated.prd", "", stop("truncated.prd"),
       "korvan2col: truncated.prd: compressed data is truncated\n", 1, "", "truncated.prd"},
      {"corrupt gzip file", "", "corrupt.prd", "", stop("corrupt.prd"),
       "korvan2col: corrupt.prd: compressed data is corrupt (incorrect data check)\n", 1, "", "corrupt.prd"},
      // Typed at the prompt, "-" names a file.
      {"- typed at the prompt", "cp " + kSurvey + " ./-;", "", "-\n",
       "Converting from KORVAN predicted data format.\n Enter the name of the data file ... \n" +
           done("-").substr(done("-").find('\n') + 1),
       "", 0, "vask.out", "-"},
  };
  for (const SourceCase& c : cases) {
    ScratchDir dir;
    dir.write(kSurvey, survey);
    dir.write("packed.prd", packed);
    dir.write("truncated.prd", packed.substr(0, packed.size() / 2));
    dir.write("corrupt.prd", corrupt);
    dir.write("vask.out", earlier);
    const RunResult r = run_converter(dir.path(), c.input, c.arguments, c.shell_prefix);
    // Byte for byte the plain run's rows, but for the name in the first line.
    std::string rows = example_file("survey_multi.vask.out");
    rows.replace(rows.find(kSurvey), kSurvey.size(), c.data_name);
    EXPECT_EQ(r.out, c.rows_file == "-" ? rows : c.out) << c.label;
    EXPECT_EQ(r.err, c.err) << c.label;
    EXPECT_EQ(r.exit_status, c.exit_status) << c.label;
    EXPECT_EQ(dir.read("vask.out"), c.rows_file == "vask.out" ? rows : earlier) << c.label;
  }
}

}  // namespace
}  // namespace korvan::testing
