// Input and output units: how records are cut from the bytes of a source or
// a pipe, the step back, opening the rows file, CR LF output and refused
// writes.
#include <array>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/test_support.h"
#include "text/byte_source.h"
#include "text/input_unit.h"
#include "writers/output_unit.h"

namespace korvan::text {
namespace {

using testing::ScratchDir;

std::vector<std::string> all_records(InputUnit& unit) {
  std::vector<std::string> records;
  std::string_view record;
  IoStatus status;
  while ((status = unit.next_record(record)) == IoStatus::ok) records.emplace_back(record);
  EXPECT_EQ(status, IoStatus::end_of_file);
  return records;
}

std::vector<std::string> records_of(std::string_view contents) {
  MemoryBytes bytes{std::string(contents)};
  InputUnit unit;
  unit.attach(bytes);
  return all_records(unit);
}

TEST(InputUnitRecords, LineEndsAndCtrlZ) {
  struct Case {
    std::string_view name;
    std::string_view contents;
    std::vector<std::string> records;
  };
  const std::vector<std::string> two = {"a b", "c"};
  const Case cases[] = {
      {"LF", "a b\nc\n", two},
      {"CR LF", "a b\r\nc\r\n", two},
      {"mixed", "a b\r\nc\n", two},
      {"last line without a line end", "a b\nc", two},
      {"CR LF, last line without one", "a b\r\nc", two},
      {"Ctrl-Z after the last line", "a b\nc\n\x1a", two},
      {"Ctrl-Z after the last line, junk after it", "a b\r\nc\r\n\x1a" "d\ne\n", two},
      {"Ctrl-Z ends the line it is on", "a b\nc\x1a" "d\ne\n", two},
      {"Ctrl-Z at the start", "\x1a" "a\n", {}},
      {"empty file", "", {}},
      {"empty lines", "\n\r\n\n", {"", "", ""}},
      {"blank line kept as it is", "  \t\n", {"  \t"}},
      {"CR inside a line", "a\rb\n", {"a\rb"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(records_of(c.contents), c.records) << c.name;
  }
}

TEST(InputUnitRecords, LineLongerThanTheInitialBuffer) {
  const std::string long_line(3'000'000, 'x');
  MemoryBytes bytes("short\n" + long_line + "\r\n" + long_line + "y\nend");
  InputUnit unit;
  unit.attach(bytes);
  std::string_view record;
  ASSERT_EQ(unit.next_record(record), IoStatus::ok);
  EXPECT_EQ(record, "short");
  ASSERT_EQ(unit.next_record(record), IoStatus::ok);
  EXPECT_EQ(record, long_line);
  ASSERT_EQ(unit.step_back(), IoStatus::ok);
  ASSERT_EQ(unit.next_record(record), IoStatus::ok);
  EXPECT_EQ(record, long_line);
  ASSERT_EQ(unit.next_record(record), IoStatus::ok);
  EXPECT_EQ(record, long_line + "y");
  ASSERT_EQ(unit.next_record(record), IoStatus::ok);
  EXPECT_EQ(record, "end");
  EXPECT_EQ(unit.next_record(record), IoStatus::end_of_file);
}

// Many lines through a small buffer, so that many cross the point where it
// is refilled: every one read, stepped back over and read again must come
// back whole.
TEST(InputUnitRecords, StepBackAfterEveryRecordAcrossBufferRefills) {
  const int count = 5000;
  std::string contents;
  std::vector<std::string> lines;
  for (int n = 0; n < count; ++n) {
    lines.push_back("line " + std::to_string(n) + std::string(static_cast<std::size_t>(n % 7), '.'));
    contents += lines.back() + (n % 3 == 0 ? "\r\n" : "\n");
  }
  MemoryBytes bytes(contents);
  InputUnit unit(64);
  unit.attach(bytes);
  std::string_view record;
  for (int n = 0; n < count; ++n) {
    ASSERT_EQ(unit.next_record(record), IoStatus::ok) << n;
    ASSERT_EQ(record, lines[static_cast<std::size_t>(n)]);
    ASSERT_EQ(unit.step_back(), IoStatus::ok) << n;
    ASSERT_EQ(unit.next_record(record), IoStatus::ok) << n;
    ASSERT_EQ(record, lines[static_cast<std::size_t>(n)]);
  }
  EXPECT_EQ(unit.next_record(record), IoStatus::end_of_file);
}

TEST(InputUnitRecords, StandardInputPipeFedInSmallPieces) {
  std::array<int, 2> pipe_fds{};
  ASSERT_EQ(::pipe(pipe_fds.data()), 0);
  const std::string text = "12 3\r\n\nname.prd\nlast";
  std::thread writer([&] {
    for (const char c : text) {
      if (::write(pipe_fds[1], &c, 1) != 1) break;
    }
    ::close(pipe_fds[1]);
  });
  {
    InputUnit unit;
    unit.attach(pipe_fds[0]);
    EXPECT_EQ(all_records(unit), (std::vector<std::string>{"12 3", "", "name.prd", "last"}));
  }
  writer.join();
  // The unit does not own an attached descriptor.
  EXPECT_NE(::fcntl(pipe_fds[0], F_GETFD), -1);
  ::close(pipe_fds[0]);
}

TEST(OutputUnitRecords, EveryRecordEndsInCrLf) {
  ScratchDir dir;
  {
    writers::OutputUnit out;
    ASSERT_EQ(out.open_replacing(dir.file("vask.out").string()), IoStatus::ok);
    EXPECT_EQ(out.write_record("/ Column index:", 1), IoStatus::ok);
    EXPECT_EQ(out.write_record("", 2), IoStatus::ok);
    EXPECT_EQ(out.write_record(" trailing  ", 3), IoStatus::ok);
    char* room = out.reserve_record(5);
    ASSERT_NE(room, nullptr);
    std::string_view("12345").copy(room, 5);
    EXPECT_EQ(out.commit_record(5, 4), IoStatus::ok);
    ASSERT_EQ(out.flush(), IoStatus::ok);
    EXPECT_EQ(dir.read("vask.out"), "/ Column index:\r\n\r\n trailing  \r\n12345\r\n");
    EXPECT_EQ(out.write_record("last", 5), IoStatus::ok);
  }
  // Ending the unit keeps what was written but not yet flushed.
  EXPECT_EQ(dir.read("vask.out"), "/ Column index:\r\n\r\n trailing  \r\n12345\r\nlast\r\n");
}

TEST(OutputUnitRecords, RecordsLargerThanTheBuffer) {
  ScratchDir dir;
  const std::string big(100, 'b');
  {
    writers::OutputUnit out(8);
    ASSERT_EQ(out.open_replacing(dir.file("vask.out").string()), IoStatus::ok);
    EXPECT_EQ(out.write_record("ab", 1), IoStatus::ok);
    EXPECT_EQ(out.write_record(big, 2), IoStatus::ok);
    EXPECT_EQ(out.write_record("cd", 3), IoStatus::ok);
    EXPECT_EQ(out.flush(), IoStatus::ok);
  }
  EXPECT_EQ(dir.read("vask.out"), "ab\r\n" + big + "\r\ncd\r\n");
}

TEST(OutputUnitOpen, ReplacesAnOlderLongerFileCompletely) {
  ScratchDir dir;
  std::string old;
  for (int n = 0; n < 50; ++n) old += "an old row of the previous run\r\n";
  dir.write("vask.out", old);
  {
    writers::OutputUnit out;
    ASSERT_EQ(out.open_replacing(dir.file("vask.out").string()), IoStatus::ok);
    EXPECT_EQ(dir.read("vask.out"), "");
    EXPECT_EQ(out.write_record("new", 1), IoStatus::ok);
  }
  EXPECT_EQ(dir.read("vask.out"), "new\r\n");
}

TEST(OutputUnitOpen, CreatesAMissingFileAndFailsWhereItCannot) {
  ScratchDir dir;
  {
    writers::OutputUnit out;
    ASSERT_EQ(out.open_replacing(dir.file("vask.out").string()), IoStatus::ok);
  }
  EXPECT_TRUE(dir.exists("vask.out"));
  EXPECT_EQ(dir.read("vask.out"), "");

  writers::OutputUnit in_missing_directory;
  EXPECT_EQ(in_missing_directory.open_replacing(dir.file("no/such/vask.out").string()),
            IoStatus::failed);
  if (::geteuid() != 0) {  // permissions do not stop root
    dir.write("readonly.out", "keep\n");
    std::filesystem::permissions(dir.file("readonly.out"), std::filesystem::perms::owner_read);
    writers::OutputUnit onto_read_only;
    EXPECT_EQ(onto_read_only.open_replacing(dir.file("readonly.out").string()), IoStatus::failed);
    EXPECT_EQ(dir.read("readonly.out"), "keep\n");
  }
}

// Records "record 1", "record 2", ... each 10 bytes with its CR LF, tagged
// 101, 102, ...
constexpr std::size_t kRecordBytes = 10;
std::string numbered_record(int n) { return "record " + std::to_string(n); }

struct RefusedWrites {
  int first_failed_write = 0;  // 1-based index of the first write or flush (n + 1) refused
  std::uint64_t failed_tag = 0;
};

// Writes `count` records and flushes, stopping at the first refusal.
RefusedWrites write_numbered(writers::OutputUnit& out, int count) {
  RefusedWrites result;
  for (int n = 1; n <= count + 1; ++n) {
    const IoStatus status =
        n <= count ? out.write_record(numbered_record(n), static_cast<std::uint64_t>(100 + n)) : out.flush();
    if (status != IoStatus::ok) {
      result.first_failed_write = n;
      result.failed_tag = out.failed_record();
      break;
    }
  }
  return result;
}

TEST(OutputUnitRefused, DiskFullNamesTheFirstRecordLost) {
  ScratchDir dir;
  std::filesystem::create_symlink("/dev/full", dir.file("vask.out"));
  for (const std::size_t buffer : {std::size_t{1}, std::size_t{16}, std::size_t{25}, std::size_t{1} << 20}) {
    SCOPED_TRACE(buffer);
    writers::OutputUnit out(buffer);
    ASSERT_EQ(out.open_replacing(dir.file("vask.out").string()), IoStatus::ok);
    const RefusedWrites refused = write_numbered(out, 5);
    EXPECT_NE(refused.first_failed_write, 0);
    EXPECT_EQ(refused.failed_tag, 101u);
    // Once refused, the unit stays refused.
    EXPECT_EQ(out.write_record("more", 200), IoStatus::failed);
    EXPECT_EQ(out.flush(), IoStatus::failed);
  }
}

// The file-size limit applies to the whole process, so the writes run in a
// child that reports back through a pipe.
RefusedWrites write_numbered_under_size_limit(const std::string& path, std::size_t limit,
                                              std::size_t buffer, int count) {
  std::array<int, 2> fds{};
  if (::pipe(fds.data()) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit size_limit{limit, limit};
    RefusedWrites result{-1, 0};
    if (::setrlimit(RLIMIT_FSIZE, &size_limit) == 0) {
      writers::OutputUnit out(buffer);
      if (out.open_replacing(path) == IoStatus::ok) result = write_numbered(out, count);
    }
    const bool sent = ::write(fds[1], &result, sizeof result) == static_cast<ssize_t>(sizeof result);
    ::_exit(sent ? 0 : 1);
  }
  ::close(fds[1]);
  RefusedWrites result{-2, 0};
  if (::read(fds[0], &result, sizeof result) != static_cast<ssize_t>(sizeof result)) result = {-2, 0};
  ::close(fds[0]);
  int wait_status = 0;
  ::waitpid(child, &wait_status, 0);
  return result;
}

TEST(OutputUnitRefused, FileSizeLimitNamesTheFirstRecordNotCompletelyWritten) {
  ScratchDir dir;
  const std::string path = dir.file("vask.out").string();
  struct Case {
    std::size_t limit;
    std::uint64_t failed_tag;  // 0: nothing refused
  };
  const Case cases[] = {
      {0, 101},
      {kRecordBytes - 1, 101},
      {kRecordBytes, 102},      // the first record with its whole line end
      {3 * kRecordBytes - 1, 103},  // all but the LF of the third
      {5 * kRecordBytes - 2, 105},
      {5 * kRecordBytes, 0},
  };
  for (const std::size_t buffer : {std::size_t{1}, std::size_t{16}, std::size_t{64}}) {
    for (const Case& c : cases) {
      SCOPED_TRACE("buffer " + std::to_string(buffer) + ", limit " + std::to_string(c.limit));
      const RefusedWrites refused = write_numbered_under_size_limit(path, c.limit, buffer, 5);
      ASSERT_GE(refused.first_failed_write, 0) << "the child could not run the writes";
      EXPECT_EQ(refused.failed_tag, c.failed_tag);
      EXPECT_EQ(refused.first_failed_write != 0, c.failed_tag != 0);
      std::string expected;
      for (int n = 1; n <= 5; ++n) expected += numbered_record(n) + "\r\n";
      EXPECT_EQ(dir.read("vask.out"), expected.substr(0, c.limit));
    }
  }
}

}  // namespace
}  // namespace korvan::text
