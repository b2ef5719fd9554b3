// Output files of the options, as the run's outputs use them: each kind of
// temporary, put in place, given up, or ended by each signal that ends a run.
// Each case runs in a child process, which the signals end and whose
// handlers stay out of the test program. Afterwards the file holds either
// its earlier bytes or the new ones, and nothing is left beside it.
#include <csignal>
#include <filesystem>
#include <set>
#include <string>
#include <variant>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/test_support.h"
#include "writers/output_file.h"

namespace korvan::writers {
namespace {

using testing::ScratchDir;

constexpr std::string_view kEarlier = "earlier bytes\n";
constexpr std::string_view kNew = "new bytes, written whole\n";

enum class Ending { put_in_place, given_up, signal };

// In a child: opens `path`, writes the new bytes, and ends as `ending`
// says; the child's exit status.
int write_and_end(const std::string& path, Temporary temporary, Ending ending, int signal) {
  std::variant<OutputFile, int> opened = open_output_file(path, temporary);
  if (std::holds_alternative<int>(opened)) return 2;
  OutputFile& file = std::get<OutputFile>(opened);
  if (file.in_place()) return 3;
  if (::write(file.descriptor(), kNew.data(), kNew.size()) != static_cast<ssize_t>(kNew.size())) return 4;
  if (ending == Ending::signal) ::raise(signal);
  if (ending == Ending::put_in_place && file.put_in_place() != 0) return 5;
  return 0;
}

TEST(OutputFile, ReplacedWhenCompleteAndOnlyThen) {
  struct Case {
    const char* label;
    Temporary temporary;
    Ending ending;
    int signal;
  };
  const Case cases[] = {
      {"unnamed, put in place", Temporary::unnamed_first, Ending::put_in_place, 0},
      {"unnamed, given up", Temporary::unnamed_first, Ending::given_up, 0},
      {"unnamed, SIGTERM", Temporary::unnamed_first, Ending::signal, SIGTERM},
      {"named, put in place", Temporary::named_only, Ending::put_in_place, 0},
      {"named, given up", Temporary::named_only, Ending::given_up, 0},
      {"named, SIGINT", Temporary::named_only, Ending::signal, SIGINT},
      {"named, SIGTERM", Temporary::named_only, Ending::signal, SIGTERM},
      {"named, SIGHUP", Temporary::named_only, Ending::signal, SIGHUP},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    dir.write("rows.out", kEarlier);
    const std::string path = dir.file("rows.out").string();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(write_and_end(path, c.temporary, c.ending, c.signal));
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    if (c.ending == Ending::signal) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << c.label << ": status " << status;
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.label << ": status " << status;
    }
    EXPECT_EQ(dir.read("rows.out"), c.ending == Ending::put_in_place ? kNew : kEarlier) << c.label;
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      names.insert(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::set<std::string>{"rows.out"}) << c.label;
  }
}

}  // namespace
}  // namespace korvan::writers
