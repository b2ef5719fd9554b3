// Console records: the carriage-control character is consumed, advancing
// records end their line, and the prompt leaves its line open until the next
// record ends it.
#include "console/console.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

namespace korvan::console {
namespace {

struct Write {
  bool advancing;
  std::string_view record;
};

struct ConsoleCase {
  std::string_view name;
  std::vector<Write> writes;
  std::string_view shown;
};

TEST(ConsoleRecords, CarriageControlAndTheOpenPromptLine) {
  const ConsoleCase cases[] = {
      {"one blank: from the first column", {{true, " Done."}}, "Done.\n"},
      {"two blanks: after one blank", {{true, "  Writing"}}, " Writing\n"},
      {"empty text shows an empty line", {{true, " "}}, "\n"},
      {"consecutive records, no empty lines", {{true, " a"}, {true, "  b"}, {true, " c"}},
       "a\n b\nc\n"},
      {"prompt alone has no line end", {{false, "  Enter the name of the data file ... "}},
       " Enter the name of the data file ... "},
      {"next record first ends the prompt line",
       {{true, " Converting from KORVAN predicted data format."},
        {false, "  Enter the name of the data file ... "},
        {true, "  1 soundings read from \"data.prd\"."},
        {true, "  Writing converted data to file \"vask.out\"."},
        {true, " Done."}},
       "Converting from KORVAN predicted data format.\n"
       " Enter the name of the data file ... \n"
       " 1 soundings read from \"data.prd\".\n"
       " Writing converted data to file \"vask.out\".\n"
       "Done.\n"},
      {"a stop right after the prompt", {{false, "  Enter ... "}, {true, " Stop: x."}},
       " Enter ... \nStop: x.\n"},
      {"two prompts in a row", {{false, "  first "}, {false, "  second "}}, " first \n second "},
  };
  for (const ConsoleCase& c : cases) {
    std::string shown;
    Console console(&shown);
    for (const Write& w : c.writes) {
      if (w.advancing) {
        console.write_record(w.record);
      } else {
        console.write_open_record(w.record);
      }
    }
    EXPECT_EQ(shown, c.shown) << c.name;
  }
}

// The prompt must be visible before the answer is read, not held back until
// the next record.
TEST(ConsoleRecords, PromptIsShownAtOnceOnADescriptor) {
  std::array<int, 2> fds{};
  ASSERT_EQ(::pipe(fds.data()), 0);
  {
    Console console(fds[1]);
    console.write_record(" Converting");
    console.write_open_record("  Enter ... ");
    std::array<char, 64> buffer{};
    const ssize_t got = ::read(fds[0], buffer.data(), buffer.size());
    ASSERT_GT(got, 0);
    EXPECT_EQ(std::string_view(buffer.data(), static_cast<std::size_t>(got)), "Converting\n Enter ... ");
    console.write_record("  answer noted");
  }
  ::close(fds[1]);
  std::array<char, 64> buffer{};
  const ssize_t got = ::read(fds[0], buffer.data(), buffer.size());
  ::close(fds[0]);
  ASSERT_GT(got, 0);
  EXPECT_EQ(std::string_view(buffer.data(), static_cast<std::size_t>(got)), "\n answer noted\n");
}

}  // namespace
}  // namespace korvan::console
