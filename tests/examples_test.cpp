// End-to-end runs of the bundled example surveys: each is converted in a
// scratch directory, with its name piped in as a user would type it or given
// on the command line, and the console bytes, the exit status and vask.out
// must match the stored files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>

#include "tests/test_support.h"

namespace korvan::testing {
namespace {

const std::filesystem::path kExamples = std::filesystem::path(KORVAN_SOURCE_DIR) / "examples";

std::string example_file(const std::string& name) {
  std::ifstream in(kExamples / name, std::ios::binary);
  EXPECT_TRUE(in.good()) << "missing example file " << name;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Example {
  const char* survey;  // examples/<survey>.prd
  int exit_status;
  bool converted;      // whether examples/<survey>.vask.out is expected
};

// Keeps test names and failure reports readable.
void PrintTo(const Example& example, std::ostream* os) { *os << example.survey; }

// The stored console is that of a piped-in name. Given on the command line,
// the name is not asked for: the same bytes without the prompt line.
enum class NameFrom { standard_input, command_line };

void PrintTo(NameFrom from, std::ostream* os) {
  *os << (from == NameFrom::standard_input ? "name piped in" : "name as argument");
}

constexpr std::string_view kPromptLine = " Enter the name of the data file ... \n";

std::string without_prompt(std::string console) {
  const auto at = console.find(kPromptLine);
  EXPECT_NE(at, std::string::npos) << "stored console has no prompt line";
  if (at != std::string::npos) console.erase(at, kPromptLine.size());
  return console;
}

class ExampleSurvey : public ::testing::TestWithParam<std::tuple<Example, NameFrom>> {};

TEST_P(ExampleSurvey, ConvertsAsDocumented) {
  const auto& [example, name_from] = GetParam();
  const std::string data_name = std::string(example.survey) + ".prd";
  ScratchDir dir;
  dir.write(data_name, example_file(data_name));
  // A refused survey must leave an earlier vask.out as it was.
  const std::string earlier = "/ output of an earlier run\r\n";
  dir.write("vask.out", earlier);

  const bool piped = name_from == NameFrom::standard_input;
  const RunResult run = piped ? run_converter(dir.path(), data_name + "\n") : run_converter(dir.path(), "", data_name);

  const std::string console = example_file(std::string(example.survey) + ".console");
  EXPECT_EQ(run.out, piped ? console : without_prompt(console));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exit_status, example.exit_status);
  const std::string expected_output =
      example.converted ? example_file(std::string(example.survey) + ".vask.out") : earlier;
  EXPECT_EQ(dir.read("vask.out"), expected_output);
}

INSTANTIATE_TEST_SUITE_P(
    Bundled, ExampleSurvey,
    ::testing::Combine(::testing::Values(Example{"survey_basic", 0, true}, Example{"survey_multi", 0, true},
                                         Example{"survey_unsuitable", 1, false}),
                       ::testing::Values(NameFrom::standard_input, NameFrom::command_line)),
    [](const ::testing::TestParamInfo<std::tuple<Example, NameFrom>>& info) {
      const bool piped = std::get<NameFrom>(info.param) == NameFrom::standard_input;
      return std::string(std::get<Example>(info.param).survey) + (piped ? "_piped" : "_argument");
    });

}  // namespace
}  // namespace korvan::testing
