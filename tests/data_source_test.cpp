// Data sources: the text the reader gets from each way of giving the data
// (a file, standard input from a file or a pipe, a pipe or FIFO by name,
// gzip), with a byte-order mark passed over and a Ctrl-Z ending the text;
// the stops of data that cannot be opened, read or inflated, with the
// system's reasons, which outrank any fault of the text; endless inputs that
// stop at once; and the hints for binary starts.
#include <csignal>
#include <optional>
#include <string>
#include <thread>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include "console/console.h"
#include "console/stop.h"
#include "reader/read_survey.h"
#include "tests/test_support.h"
#include "text/data_source.h"

namespace korvan::text {
namespace {

using testing::ScratchDir;

std::string gzip(const ScratchDir& dir, std::string_view text) {
  const std::string path = dir.file("made.gz").string();
  gzFile out = gzopen(path.c_str(), "wb");
  gzwrite(out, text.data(), static_cast<unsigned>(text.size()));
  gzclose(out);
  return dir.read("made.gz");
}

// Bytes written into a pipe by a thread of its own while the test reads
// them, again and again if `endless`. A reader that stops early makes the
// writes fail (the pipe's end is closed last), not kill the test.
class Pipe {
 public:
  explicit Pipe(std::string bytes, bool endless = false) : bytes_(std::move(bytes)) {
    EXPECT_EQ(::pipe(ends_), 0);
    writer_ = std::thread([this, endless] {
      sigset_t pipe_signal;
      sigemptyset(&pipe_signal);
      sigaddset(&pipe_signal, SIGPIPE);
      pthread_sigmask(SIG_BLOCK, &pipe_signal, nullptr);
      for (std::size_t done = 0; done < bytes_.size();) {
        const ssize_t n = ::write(ends_[1], bytes_.data() + done, bytes_.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
        if (endless && done == bytes_.size()) done = 0;
      }
      ::close(ends_[1]);
    });
  }
  ~Pipe() {
    ::close(ends_[0]);
    writer_.join();
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  int read_end() const { return ends_[0]; }

 private:
  std::string bytes_;
  int ends_[2] = {-1, -1};
  std::thread writer_;
};

// The ways of giving the data. standard_input_moved: from a file that a
// program before has read two bytes of.
enum class Via { file, standard_input_file, standard_input_moved, standard_input_pipe, pipe_by_name, fifo };

// Gives the bytes the way asked and hands the data source to `use`, while
// the pipe or FIFO writer (if any) runs.
template <typename Use>
void give(const ScratchDir& dir, Via via, const std::string& bytes, Use use) {
  switch (via) {
    case Via::file: {
      dir.write("data", bytes);
      DataSource data = DataSource::open(dir.file("data").string());
      use(data);
      return;
    }
    case Via::standard_input_file:
    case Via::standard_input_moved: {
      dir.write("data", bytes);
      const int input = ::open(dir.file("data").c_str(), O_RDONLY);
      if (via == Via::standard_input_moved) ::lseek(input, 2, SEEK_SET);
      {
        DataSource data = DataSource::open("-", input);
        use(data);
      }
      ::close(input);
      return;
    }
    case Via::standard_input_pipe:
    case Via::pipe_by_name: {
      const Pipe pipe(bytes);
      DataSource data = via == Via::standard_input_pipe
                            ? DataSource::open("-", pipe.read_end())
                            : DataSource::open("/dev/fd/" + std::to_string(pipe.read_end()));
      use(data);
      return;
    }
    case Via::fifo: {
      ::mkfifo(dir.file("fifo").c_str(), 0600);
      std::thread writer([&] { dir.write("fifo", bytes); });
      {
        DataSource data = DataSource::open(dir.file("fifo").string());
        use(data);
        writer.join();
      }
      ::unlink(dir.file("fifo").c_str());
      return;
    }
  }
}

std::string read_all(DataSource& data) {
  std::string text;
  char block[4096];
  for (std::size_t got; (got = data.read(block, sizeof block)) > 0;) text.append(block, got);
  EXPECT_FALSE(data.failed()) << data.failure_text();
  return text;
}

TEST(DataSources, TheTextOfEachWay) {
  ScratchDir dir;
  const std::string text = "1.0 6.3 0.0 -30.19 x 1 b 1.538 2.890\n2 3\n";
  const std::string gz = gzip(dir, text);
  struct Case {
    const char* label;
    Via via;
    std::string bytes;
    std::string text;
    std::uint64_t padding = 0;  // zero bytes passed over after the last gzip member
  };
  const Case cases[] = {
      {"regular file", Via::file, text, text},
      {"empty regular file", Via::file, "", ""},
      {"standard input from a file", Via::standard_input_file, text, text},
      {"standard input from a file read part-way", Via::standard_input_moved, text, text.substr(2)},
      {"standard input from a pipe", Via::standard_input_pipe, text, text},
      {"empty pipe", Via::standard_input_pipe, "", ""},
      {"a pipe by name (process substitution)", Via::pipe_by_name, text, text},
      {"FIFO", Via::fifo, text, text},
      {"gzip file", Via::file, gz, text},
      {"gzip on standard input from a file", Via::standard_input_file, gz, text},
      {"gzip on a pipe", Via::standard_input_pipe, gz, text},
      {"two gzip members", Via::file, gz + gzip(dir, "3 4\n"), text + "3 4\n"},
      {"zero padding after the last member", Via::file, gz + std::string(10240, '\0'), text, 10240},
      {"zero padding on a pipe", Via::standard_input_pipe, gz + gzip(dir, "3 4\n") + std::string(3, '\0'),
       text + "3 4\n", 3},
      {"byte-order mark passed over", Via::file, "\xEF\xBB\xBF" + text, text},
      {"byte-order mark on a pipe", Via::standard_input_pipe, "\xEF\xBB\xBF" + text, text},
      {"Ctrl-Z ends the text", Via::file, "1 2\n3\x1a" "4\n", "1 2\n3"},
      {"Ctrl-Z in a gzip file", Via::file, gzip(dir, "1 2\n\x1a" "3\n"), "1 2\n"},
  };
  for (const Case& c : cases) {
    give(dir, c.via, c.bytes, [&](DataSource& data) {
      EXPECT_EQ(read_all(data), c.text) << c.label;
      EXPECT_EQ(data.padding_bytes(), c.padding) << c.label;
    });
  }
}

// Reads the data through the reader's door: the stop's console line and
// its lines for standard error.
std::string stop_of(DataSource& data) {
  std::string console;
  console::Console capture(&console);
  try {
    (void)reader::read_survey(data, capture);
  } catch (const console::FatalStop& stop) {
    std::string text = stop.console_line();
    for (const std::string& line : stop.details()) text += "\n" + line;
    return text;
  }
  return "(no stop) " + console;
}

std::string replaced(std::string text, std::string_view what, std::string_view with) {
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
  return text;
}

TEST(DataSources, DataThatCannotBeReadStopTheReading) {
  ScratchDir dir;
  // A fault of the text first, which a failure to inflate outranks.
  const std::string faulty = "1\n100 200 0\n" + std::string(100'000, '7') + "\n";
  const std::string gz = gzip(dir, faulty);
  std::string bad_check = gz;
  bad_check[gz.size() - 5] ^= 1;
  std::string bad_magic = gz;
  bad_magic[0] = '\x1e';
  std::string bad_method = gz;
  bad_method[2] = '\x07';
  const std::string unreadable = "Stop: error opening predicted data file \"NAME\".\nNAME: ";
  struct Case {
    const char* label;
    Via via;
    std::string bytes;
    std::string stop;  // NAME stands for the name the data are given by
  };
  const Case cases[] = {
      {"truncated gzip file", Via::file, gz.substr(0, gz.size() - 3), unreadable + "compressed data is truncated"},
      {"gzip of its magic only", Via::file, gz.substr(0, 2), unreadable + "compressed data is truncated"},
      {"second gzip member truncated", Via::standard_input_pipe, gz + gz.substr(0, 20),
       unreadable + "compressed data is truncated"},
      {"corrupt gzip on a pipe", Via::standard_input_pipe, bad_check,
       unreadable + "compressed data is corrupt (incorrect data check)"},
      {"corrupt second member", Via::file, gz + bad_check, unreadable + "compressed data is corrupt (incorrect data check)"},
      {"second member of an unknown method", Via::file, gz + bad_method,
       unreadable + "compressed data is corrupt (unknown compression method)"},
      {"second member without its magic", Via::standard_input_pipe, gz + bad_magic,
       unreadable + "compressed data is corrupt (unexpected bytes after member 1)"},
      {"junk after two members", Via::file, gz + gz + "junk",
       unreadable + "compressed data is corrupt (unexpected bytes after member 2)"},
      {"one byte after a member", Via::file, gz + "\x1f",
       unreadable + "compressed data is corrupt (unexpected bytes after member 1)"},
      {"a byte after zero padding", Via::standard_input_pipe, gz + std::string(5000, '\0') + "x",
       unreadable + "compressed data is corrupt (unexpected bytes after member 1)"},
      {"a member after zero padding", Via::file, gz + std::string(3, '\0') + gz,
       unreadable + "compressed data is corrupt (unexpected bytes after member 1)"},
      {"binary start of a pipe", Via::standard_input_pipe, "1\n" + std::string(kHintBytes - 3, '\n') + '\0',
       unreadable + "the data look binary (NUL bytes), not like a text file of soundings"},
      {"binary start of a FIFO", Via::fifo, "\x01\x02" + std::string(3, '\0'),
       unreadable + "the data look binary (NUL bytes), not like a text file of soundings"},
      // The same fault in an intact gzip.
      {"intact gzip", Via::standard_input_pipe, gz,
       "Stop: no. of frequencies for sounding 1 < 1.\nNAME:2:9: the number of frequencies is 0, less than 1 "
       "(sounding 1)"},
  };
  for (const Case& c : cases) {
    give(dir, c.via, c.bytes, [&](DataSource& data) {
      EXPECT_EQ(stop_of(data), replaced(c.stop, "NAME", data.name())) << c.label;
    });
  }
  // Names that give no data.
  dir.write("locked", "1\n");
  ::chmod(dir.file("locked").c_str(), 0);
  const std::pair<std::string, std::string> names[] = {
      {dir.file("missing").string(), "Stop: file \"NAME\" does not exist.\nNAME: No such file or directory"},
      {dir.path().string(), unreadable + "Is a directory"},
      {"/dev/zero", unreadable + "the data look binary (NUL bytes), not like a text file of soundings"},
      {dir.file("locked").string(), unreadable + "Permission denied"},
  };
  for (const auto& [name, stop] : names) {
    if (name.ends_with("locked") && ::geteuid() == 0) continue;  // permissions do not bind root
    DataSource data = DataSource::open(name);
    EXPECT_EQ(stop_of(data), replaced(stop, "NAME", name)) << name;
  }
}

// What `yes` and `tr '\0' x < /dev/zero` give: the header is a word, or a
// line that never ends. The reading stops at once rather than wait for the
// end of the input.
TEST(DataSources, EndlessInputsStopAtOnce) {
  const std::pair<std::string, std::string> cases[] = {
      {"y\n",
       "Stop: error reading number of soundings from \"-\".\n-:1:1: the number of soundings \"y\" is not a whole "
       "number"},
      {std::string(4096, 'x'),
       "Stop: error reading number of soundings from \"-\".\n-:1:1: a line of more than 16 MiB"},
  };
  for (const auto& [bytes, stop] : cases) {
    const Pipe pipe(bytes, true);
    DataSource data = DataSource::open("-", pipe.read_end());
    EXPECT_EQ(stop_of(data), stop);
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
}  // namespace korvan::text
