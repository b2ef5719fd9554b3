// Data sources: which names are read in place and which are kept as a copy
// (read by several threads at once), gzip members, their zero padding and
// their faults, the stop
// after an overlong record or at a binary start, a temporary directory that
// takes no copy, and the hints for binary starts.
#include <csignal>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include "tests/test_support.h"
#include "textio/data_source.h"

namespace korvan::textio {
namespace {

using testing::ScratchDir;

std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string gzip(const ScratchDir& dir, std::string_view text) {
  const std::string path = dir.file("made.gz").string();
  gzFile out = gzopen(path.c_str(), "wb");
  gzwrite(out, text.data(), static_cast<unsigned>(text.size()));
  gzclose(out);
  return read_all(path);
}

// The writer runs beside the reader, which would otherwise wait on a full
// pipe; a reader that stops early makes its writes fail, not kill the test.
// An endless writer writes the bytes again and again until then.
std::variant<DataSource, SourceFailure> from_pipe(std::string_view bytes, bool endless = false) {
  int ends[2];
  EXPECT_EQ(::pipe(ends), 0);
  std::thread writer([&] {
    sigset_t pipe_signal;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_signal, nullptr);
    for (std::size_t done = 0; done < bytes.size();) {
      const ssize_t n = ::write(ends[1], bytes.data() + done, bytes.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
      if (endless && done == bytes.size()) done = 0;
    }
    ::close(ends[1]);
  });
  auto source = open_data_source("-", ends[0]);
  ::close(ends[0]);
  writer.join();
  return source;
}

// input_file: standard input redirected from the file; input_read: the
// same after a program before has read its first two bytes.
enum class Via { file, pipe, name, input_file, input_read };

// The bytes written to a file or a pipe, or the name to open. `input` is
// the standard input made for the input ways, for the caller to close.
std::variant<DataSource, SourceFailure> open_as(const ScratchDir& dir, Via via, const std::string& bytes,
                                                int* input = nullptr) {
  if (via == Via::pipe) return from_pipe(bytes);
  if (via == Via::name) return open_data_source(bytes);
  dir.write("data", bytes);
  if (via == Via::file) return open_data_source(dir.file("data").string());
  *input = ::open(dir.file("data").c_str(), O_RDONLY);
  if (via == Via::input_read) ::lseek(*input, 2, SEEK_SET);
  return open_data_source("-", *input);
}

TEST(DataSourceContents, WhatIsKeptAndWhatIsReadInPlace) {
  ScratchDir dir;
  const std::string text = "1.0 6.3 0.0 -30.19 x 1 b 1.538 2.890\n2 3\n";
  const std::string gz = gzip(dir, text);
  const std::string longest(kMaxRecordBytes, '7');
  const std::string overlong(kMaxRecordBytes + 1, '7');
  struct Case {
    std::string name;
    Via via;
    std::string bytes;
    bool copy;
    bool compressed;
    std::string contents;
    std::string failure = {};  // the reason, when the data are refused
    std::uint64_t padding = 0;  // zero bytes passed over after the last gzip member
  };
  const Case cases[] = {
      {"regular file", Via::file, text, false, false, text},
      {"empty regular file", Via::file, "", false, false, ""},
      {"missing file", Via::name, dir.file("missing"), false, false, ""},
      {"directory", Via::name, dir.path(), false, false, ""},
      {"pipe", Via::pipe, text, true, false, text},
      {"empty pipe", Via::pipe, "", true, false, ""},
      {"standard input from a file", Via::input_file, text, false, false, text},
      {"standard input from a file read part-way", Via::input_read, text, true, false, text.substr(2)},
      {"standard input from a gzip file", Via::input_file, gz, true, true, text},
      {"gzip file", Via::file, gz, true, true, text},
      {"gzip on a pipe", Via::pipe, gz, true, true, text},
      {"two gzip members", Via::file, gz + gzip(dir, "3 4\n"), true, true, text + "3 4\n"},
      {"zero padding after the last member", Via::file, gz + std::string(10240, '\0'), true, true, text, "", 10240},
      {"zero padding on a pipe", Via::pipe, gz + gzip(dir, "3 4\n") + std::string(3, '\0'), true, true,
       text + "3 4\n", "", 3},
      {"longest record", Via::pipe, longest + "\nend\n", true, false, longest + "\nend\n"},
      {"overlong record", Via::pipe, overlong + "yz\nnext\n", true, false, overlong},
      {"overlong record after a line", Via::pipe, "1\n" + overlong + "z", true, false, "1\n" + overlong},
      {"endless binary device", Via::name, "/dev/zero", true, false, "",
       "the data look binary (NUL bytes), not like a text file of soundings"},
      {"NUL byte last of the start, after line ends", Via::pipe, std::string(kHintBytes - 1, '\n') + '\0' + "1 2\n",
       true, false, "", "the data look binary (NUL bytes), not like a text file of soundings"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int input = -1;
    auto opened = open_as(dir, c.via, c.bytes, &input);
    const struct Closing {
      int fd;
      ~Closing() {
        if (fd >= 0) ::close(fd);
      }
    } closing{input};
    if (!c.failure.empty()) {
      ASSERT_TRUE(std::holds_alternative<SourceFailure>(opened));
      EXPECT_EQ(std::get<SourceFailure>(opened).reason, c.failure);
      continue;
    }
    ASSERT_TRUE(std::holds_alternative<DataSource>(opened)) << std::get<SourceFailure>(opened).reason;
    const DataSource& source = std::get<DataSource>(opened);
    EXPECT_EQ(source.is_copy(), c.copy);
    EXPECT_EQ(source.was_compressed(), c.compressed);
    EXPECT_EQ(source.padding_bytes(), c.padding);
    if (!c.copy) {
      const std::string in_place = c.via == Via::name         ? c.bytes
                                   : c.via == Via::input_file ? "/proc/self/fd/" + std::to_string(input)
                                                              : dir.file("data").string();
      EXPECT_EQ(source.path(), in_place);
    }
    // Readers open the path each for itself, at once, as the converter's threads do.
    std::string seen[3];
    std::vector<std::thread> readers;
    for (std::string& copy : seen) readers.emplace_back([&] { copy = read_all(source.path()); });
    for (std::thread& reader : readers) reader.join();
    for (const std::string& copy : seen) EXPECT_TRUE(copy == c.contents);
  }
}

// What `yes` writes: the copy ends soon after the start, where the
// converter stops, instead of filling the temporary directory.
TEST(DataSourceContents, EndlessWordsEndTheCopy) {
  auto opened = from_pipe(std::string(1000, 'y') + "\n", true);
  ASSERT_TRUE(std::holds_alternative<DataSource>(opened));
  const std::string kept = read_all(std::get<DataSource>(opened).path());
  EXPECT_TRUE(kept.starts_with("yyy"));
  EXPECT_LE(kept.size(), kMaxRecordBytes);
}

TEST(DataSourceFailures, BrokenGzip) {
  ScratchDir dir;
  const std::string gz = gzip(dir, std::string(100'000, '7') + "\n");
  std::string bad_check = gz;
  bad_check[gz.size() - 5] ^= 1;
  std::string bad_magic = gz;
  bad_magic[0] = '\x1e';
  std::string bad_method = gz;
  bad_method[2] = '\x07';
  const std::pair<std::string, std::string> cases[] = {
      {gz.substr(0, gz.size() - 3), "compressed data is truncated"},
      {gz.substr(0, 2), "compressed data is truncated"},
      {gz + gz.substr(0, 20), "compressed data is truncated"},
      {bad_check, "compressed data is corrupt (incorrect data check)"},
      {gz + bad_check, "compressed data is corrupt (incorrect data check)"},
      {gz + bad_method, "compressed data is corrupt (unknown compression method)"},
      {gz + bad_magic, "compressed data is corrupt (unexpected bytes after member 1)"},
      {gz + gz + "junk", "compressed data is corrupt (unexpected bytes after member 2)"},
      {gz + "\x1f", "compressed data is corrupt (unexpected bytes after member 1)"},
      {gz + std::string(5000, '\0') + "x", "compressed data is corrupt (unexpected bytes after member 1)"},
      {gz + std::string(3, '\0') + gz, "compressed data is corrupt (unexpected bytes after member 1)"},
  };
  for (const auto& [bytes, reason] : cases) {
    for (const Via via : {Via::file, Via::pipe}) {
      auto opened = open_as(dir, via, bytes);
      ASSERT_TRUE(std::holds_alternative<SourceFailure>(opened)) << reason;
      EXPECT_EQ(std::get<SourceFailure>(opened).reason, reason);
    }
  }
}

// Restores TMPDIR however the test ends.
class TemporaryDirectory {
 public:
  explicit TemporaryDirectory(const std::string& directory) {
    if (const char* old = std::getenv("TMPDIR")) old_ = old;
    ::setenv("TMPDIR", directory.c_str(), 1);
  }
  ~TemporaryDirectory() { old_ ? ::setenv("TMPDIR", old_->c_str(), 1) : ::unsetenv("TMPDIR"); }

 private:
  std::optional<std::string> old_;
};

TEST(DataSourceFailures, TemporaryDirectoryTakesNoCopy) {
  ScratchDir dir;
  dir.write("file", "");
  ::mkdir(dir.file("read-only").c_str(), 0500);
  std::vector<std::pair<std::string, std::string>> cases = {
      {dir.file("missing"), "No such file or directory"},
      {dir.file("file"), "Not a directory"},
  };
  // Permissions do not bind root.
  if (::geteuid() != 0) cases.emplace_back(dir.file("read-only"), "Permission denied");
  for (const auto& [directory, error] : cases) {
    const TemporaryDirectory tmpdir(directory);
    auto opened = from_pipe("1 2\n");
    ASSERT_TRUE(std::holds_alternative<SourceFailure>(opened)) << directory;
    EXPECT_EQ(std::get<SourceFailure>(opened).reason, error + " (keeping a copy in " + directory + ")");
  }
}

TEST(DataSourceHints, CompressedOrBinaryStarts) {
  using namespace std::string_literals;
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"", std::nullopt},
      {"1 2 3\n", std::nullopt},
      {"BZ\n", std::nullopt},
      {std::string(kHintBytes, ' ') + '\0', std::nullopt},
      {"\x1f\x8b\x08"s, "gzip-compressed"},
      {"\xfd" "7zXZ\0\0"s, "xz-compressed"},
      {"BZh91AY"s, "bzip2-compressed"},
      {"\x28\xb5\x2f\xfd\x04"s, "zstd-compressed"},
      {"PK\x03\x04\x14"s, "a zip archive"},
      {"1 2\0 3\n"s, "binary (NUL bytes)"},
      {std::string(kHintBytes - 1, ' ') + '\0', "binary (NUL bytes)"},
  };
  for (const auto& [start, hint] : cases) EXPECT_EQ(looks_compressed_or_binary(start), hint) << start;
}

}  // namespace
}  // namespace korvan::textio
