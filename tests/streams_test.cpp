// Streams and memory, with the real binary: an endless stream is read in
// bounded memory with nothing written to the temporary directory until a
// signal ends the run; a sparse survey (one sounding far larger than the
// rest) is found unsuitable in bounded memory; and the values a generator
// meant come out of every kind of source. Memory is the child's peak
// resident size as wait4 reports it to bench/peak_rss; the sanitizers' own
// memory makes that meaningless, so those measurements skip under them.
#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/known_values.h"
#include "tests/test_support.h"

extern char** environ;

namespace korvan::testing {
namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

// Bytes of the files under `dir`, however deep.
std::uintmax_t bytes_under(const std::filesystem::path& dir) {
  std::uintmax_t bytes = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    if (entry.is_regular_file()) bytes += entry.file_size();
  }
  return bytes;
}

std::size_t entries_in(const std::filesystem::path& dir) {
  const std::filesystem::directory_iterator entries(dir);
  return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
}

// A process started with `argv` in `dir`, with TMPDIR `tmp` and the given
// standard input, output and error.
class Child {
 public:
  Child(const std::vector<std::string>& argv, const ScratchDir& dir, const ScratchDir& tmp, std::array<int, 3> fds) {
    // Everything the child needs is made before fork: after it, only calls
    // that are safe in a copy of a threaded process.
    std::vector<std::string> env = {"TMPDIR=" + tmp.path().string()};
    for (char** e = environ; *e != nullptr; ++e) {
      if (std::string_view(*e).substr(0, 7) != "TMPDIR=") env.emplace_back(*e);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const std::string where = dir.path().string();
    pid_ = ::fork();
    if (pid_ == 0) {
      for (int fd = 0; fd < 3; ++fd) {
        if (::dup2(fds[static_cast<std::size_t>(fd)], fd) < 0) ::_exit(127);
      }
      if (::chdir(where.c_str()) == 0) ::execve(args[0], args.data(), envp.data());
      ::_exit(127);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (!ended_) {
      ::kill(pid_, SIGKILL);
      wait();
    }
  }

  bool running() const { return !ended_ && ::waitpid(pid_, nullptr, WNOHANG) == 0; }
  // Sends the signal to the child's own child (the converter that peak_rss
  // started).
  void signal_grandchild(int number) const {
    std::ifstream children("/proc/" + std::to_string(pid_) + "/task/" + std::to_string(pid_) + "/children");
    pid_t child = 0;
    if (children >> child) ::kill(child, number);
  }
  // Waits for the end: the exit status, or -1.
  int wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    ended_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  bool ended_ = false;
};

// The converter run under peak_rss, which writes the peak resident size of
// its child to `report` (the test process itself is too large to fork the
// converter from: a child's figure starts from its parent's).
std::vector<std::string> measured(const ScratchDir& io, std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {PEAK_RSS_BINARY, io.file("report").string(), KORVAN2COL_BINARY});
  return arguments;
}

// The peak in KiB that peak_rss reported, or -1.
long peak_kib(const ScratchDir& io) {
  const std::string report = io.read("report");
  const std::string label = "Maximum resident set size (kbytes): ";
  const std::size_t at = report.find(label);
  return at == std::string::npos ? -1 : std::atol(report.c_str() + at + label.size());
}

// A file of `io` opened for the child's output, closed on exec.
int output_file(const ScratchDir& io, std::string_view name) {
  return ::open(io.file(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
}

// The endless writers: the lines of `yes 1`, plain or compressed on the way.
struct EndlessCase {
  const char* label;
  const char* writer;
  int signal;
};

// An endless stream is read as it comes, in constant memory and with no
// copy: the run goes on until the signal ends it, by that signal, and
// leaves no file in its directory or in TMPDIR.
TEST(Streams, EndlessStreamStaysBoundedUntilInterrupted) {
  const EndlessCase cases[] = {
      {"yes 1", "yes 1", SIGINT},
      {"yes 1 through gzip", "yes 1 | gzip -1", SIGTERM},
  };
  std::vector<long> peaks_kib;
  for (const EndlessCase& c : cases) {
    SCOPED_TRACE(c.label);
    ScratchDir dir;
    ScratchDir io;
    ScratchDir tmp;
    // Both ends closed on exec, so that the writer ends when the converter does.
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    const int nothing = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int out = output_file(io, "stdout");
    const int err = output_file(io, "stderr");
    const int writer_err = output_file(io, "writer-stderr");
    Child writer({"/bin/bash", "-c", c.writer}, dir, tmp, {nothing, ends[1], writer_err});
    Child converter(measured(io, {"-"}), dir, tmp, {ends[0], out, err});
    for (const int fd : {ends[0], ends[1], nothing, out, err, writer_err}) ::close(fd);
    std::uintmax_t most_temporary = 0;
    for (int tick = 0; tick < 25 && converter.running(); ++tick) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      most_temporary = std::max(most_temporary, bytes_under(tmp.path()));
    }
    ASSERT_TRUE(converter.running()) << "the run ended before the signal: " << io.read("stdout") << io.read("stderr");
    converter.signal_grandchild(c.signal);
    EXPECT_EQ(converter.wait(), 128 + c.signal) << "ended by the signal";
    writer.wait();
    EXPECT_EQ(io.read("stdout"), "Converting from KORVAN predicted data format.\n");
    EXPECT_EQ(most_temporary, 0u);
    EXPECT_EQ(entries_in(tmp.path()), 0u);
    EXPECT_EQ(entries_in(dir.path()), 0u) << "no vask.out, no temporary";
    std::printf("[ endless ] %s: peak %ld KiB, temporary bytes %ju\n", c.label, peak_kib(io), most_temporary);
    peaks_kib.push_back(peak_kib(io));
  }
  if (kSanitized) GTEST_SKIP() << "the peak memory of a sanitized run says nothing of the converter's";
  // Nothing is loaded and the lines are short: 32 MiB of reading at most,
  // on top of the 8 MiB or so that the program takes before reading.
  for (const long peak : peaks_kib) EXPECT_LT(static_cast<std::size_t>(peak) * 1024, 40 * kMiB);
}

// 100,000 soundings of one frequency and one of 2,000, first or last (about
// 5.4 MB): stored as soundings times the largest sounding this would take
// gigabytes; the stop comes in bounded memory and says what the console
// says of such a file.
TEST(Streams, SparseSurveyIsRefusedInBoundedMemory) {
  const std::string small = "0 0 1\n110 1\n1 -30 z 1\n1 10 0 -30 z 1 b 120.5 -40.25\n";
  std::string large = "0 0 2000\n";
  for (int f = 1; f <= 2000; ++f) large += std::to_string(100 + f) + " 1\n1 -30 z 1\n1 10 0 -30 z 1 b 120.5 -40.25\n";
  std::string soundings;
  for (int s = 0; s < 100000; ++s) soundings += small;
  std::vector<long> peaks_kib;
  for (const bool large_first : {true, false}) {
    SCOPED_TRACE(large_first ? "the large sounding first" : "the large sounding last");
    ScratchDir dir;
    ScratchDir io;
    ScratchDir tmp;
    dir.write("sparse.prd", "100001\n" + (large_first ? large + soundings : soundings + large));
    const int nothing = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int out = output_file(io, "stdout");
    const int err = output_file(io, "stderr");
    Child converter(measured(io, {"sparse.prd"}), dir, tmp, {nothing, out, err});
    for (const int fd : {nothing, out, err}) ::close(fd);
    EXPECT_EQ(converter.wait(), 1);
    EXPECT_EQ(io.read("stdout"),
              "Converting from KORVAN predicted data format.\n"
              " ***** soundings read from \"sparse.prd\".\n"
              "Stop 'cause data not suitable for column format: number of frequencies not constant.\n");
    EXPECT_EQ(io.read("stderr"), "");
    EXPECT_EQ(entries_in(tmp.path()), 0u);
    std::printf("[ sparse  ] %s: %ju bytes, peak %ld KiB\n", large_first ? "large first" : "large last",
                static_cast<std::uintmax_t>(std::filesystem::file_size(dir.file("sparse.prd"))), peak_kib(io));
    peaks_kib.push_back(peak_kib(io));
  }
  if (kSanitized) GTEST_SKIP() << "the peak memory of a sanitized run says nothing of the converter's";
  for (const long peak : peaks_kib) EXPECT_LT(static_cast<std::size_t>(peak) * 1024, 100 * kMiB);
}

// ---------------------------------------------------------------------------
// The values a generator meant, from every kind of source: the CSV fields of
// each survey are the shortest decimals of the numbers its decimals mean.

// The differences between a CSV table and the fields the survey means.
std::string csv_differences(const KnownSurvey& survey, const std::string& csv) {
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; at < csv.size(); at = end + 1) {
    end = csv.find('\n', at);
    if (end == std::string::npos) end = csv.size();
    lines.push_back(csv.substr(at, end - at));
  }
  if (lines.size() != survey.rows.size() + 1) return std::to_string(lines.size()) + " lines";
  std::string differences;
  for (std::size_t s = 0; s < survey.rows.size(); ++s) {
    // The sounding's number, and line 0: these surveys of at most 40
    // soundings are too short for a flight line.
    std::string expected = std::to_string(s + 1) + ",0";
    for (std::size_t f = 0; f < survey.rows[s].size(); ++f) expected += "," + expected_csv_field(survey.rows[s][f], f < 2);
    if (lines[s + 1] != expected) differences += "\n  row " + std::to_string(s + 1) + ": " + lines[s + 1] + "\n  meant: " + expected;
  }
  return differences;
}

TEST(Streams, KnownValuesFromEveryKindOfSource) {
  const std::pair<const char*, const char*> sources[] = {
      {"a file", "BIN --format csv -o - survey.prd"},
      {"a pipe", "cat survey.prd | BIN --format csv -o - -"},
      {"a process substitution", "BIN --format csv -o - <(cat survey.prd)"},
      {"a gzip file", "BIN --format csv -o - survey.prd.gz"},
      {"standard input from the file", "BIN --format csv -o - - < survey.prd"},
  };
  ScratchDir dir;
  for (std::uint64_t seed = 1; seed <= 24; ++seed) {
    const KnownSurvey survey = generate_known_survey(seed);
    dir.write("survey.prd", survey.text);
    ASSERT_EQ(std::system(("gzip -c '" + dir.file("survey.prd").string() + "' > '" + dir.file("survey.prd.gz").string() + "'").c_str()), 0);
    for (const auto& [label, command] : sources) {
      std::string line = command;
      line.replace(line.find("BIN"), 3, KORVAN2COL_BINARY);
      const std::string shell = "cd '" + dir.path().string() + "' && " + line + " > out.csv 2> err.txt";
      const int status = std::system(("bash -c \"" + shell + "\"").c_str());
      EXPECT_EQ(status, 0) << label << ", seed " << seed << ": " << dir.read("err.txt");
      EXPECT_EQ(csv_differences(survey, dir.read("out.csv")), "") << label << ", seed " << seed;
    }
  }
}

}  // namespace
}  // namespace korvan::testing
