// Faults at the edges of a run, as users make them: an output that is the
// data file or another output by some other name, a plain run of a data file
// named vask.out, standard output closed, damaged or padded gzip data, a
// reader of -o - that leaves early, outputs that cannot be written, a run
// ended by a signal while it writes, two runs racing for one file. After each run the data file and every
// earlier output are compared byte for byte, and the directory must hold no
// file that the run left behind.
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bench/survey_generator.h"
#include "tests/test_support.h"

namespace korvan::testing {
namespace {

const std::filesystem::path kExamples = std::filesystem::path(KORVAN_SOURCE_DIR) / "examples";
const std::string kEarlier = "rows of an earlier run\n";
constexpr const char* kBanner = "Converting from KORVAN predicted data format.\n";

std::string file_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

const std::string kSurvey = file_bytes(kExamples / "survey_multi.prd");

// The bundled vask.out of the survey, its first line naming `data_name`.
std::string rows_of(const std::string& data_name) {
  std::string rows = file_bytes(kExamples / "survey_multi.vask.out");
  const std::string bundled = "survey_multi.prd";
  return rows.replace(rows.find(bundled), bundled.size(), data_name);
}

std::string gzipped(const std::string& text) {
  const ScratchDir dir;
  const std::string path = dir.file("packed.gz").string();
  gzFile out = gzopen(path.c_str(), "wb");
  gzwrite(out, text.data(), static_cast<unsigned>(text.size()));
  gzclose(out);
  return dir.read("packed.gz");
}

// A second member whose first byte is damaged: no member, and no padding.
std::string damaged_second_member() {
  std::string second = gzipped(kSurvey);
  second[0] = '\x1e';
  return gzipped(kSurvey) + second;
}

std::string dialogue_until_writing(const std::string& data_name, const std::string& rows_file) {
  return std::string(kBanner) + " 5 soundings read from \"" + data_name + "\".\n Writing converted data to file \"" +
         rows_file + "\".\n";
}

// A file as the case expects it afterwards: its bytes (read through any
// link), where a symbolic link leads, its permission bits.
struct FileAfter {
  std::optional<std::string> bytes;  // nullopt: the name must not exist
  std::string link_to = {};          // the name must be a symbolic link to this
  int mode = -1;                     // the permission bits, where they matter
};

// A survey as the benchmarks make it, `soundings` long.
std::string generated_survey(std::int64_t soundings) {
  bench::SurveyShape shape;
  shape.soundings = soundings;
  std::string text;
  bench::SurveyGenerator(shape).write([&](const char* data, std::size_t size) { text.append(data, size); });
  return text;
}

// Rows of big.prd: well beyond what a pipe holds.
constexpr int kBigSoundings = 2000;

// Every directory starts with these; a case names the ones it changes or
// adds.
const std::map<std::string, FileAfter>& files_before() {
  static const std::map<std::string, FileAfter> files = {
      {"data.prd", {kSurvey}},
      {"earlier.out", {kEarlier}},
      {"big.prd", {generated_survey(kBigSoundings)}},
      {"damaged.gz", {damaged_second_member()}},
      {"padded.gz", {gzipped(kSurvey) + std::string(10240, '\0')}}};
  return files;
}

struct FaultCase {
  const char* label;
  std::string setup;      // shell commands run in the directory first
  std::string arguments;  // may end in redirections
  std::string out;        // standard output
  std::string err;        // standard error
  int exit_status;
  std::map<std::string, FileAfter> changed = {};  // every other file stays as it was
  bool as_other_user = false;                     // permissions must bind: run as nobody under root
};

// Root passes every permission check: such cases run the converter as
// nobody, with the setup's permissions (made by the owner of the directory).
std::string other_user_wrapper() {
  return ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "";
}

void expect_files(const ScratchDir& dir, const FaultCase& c) {
  std::map<std::string, FileAfter> expected = files_before();
  for (const auto& [name, after] : c.changed) expected[name] = after;
  std::set<std::string> wanted;
  for (const auto& [name, after] : expected) {
    const std::filesystem::path path = dir.file(name);
    if (!after.bytes) {
      EXPECT_FALSE(dir.exists(name)) << c.label << ": " << name;
      continue;
    }
    wanted.insert(name);
    EXPECT_TRUE(file_bytes(path) == *after.bytes) << c.label << ": " << name << " holds other bytes";
    if (!after.link_to.empty()) {
      ASSERT_TRUE(std::filesystem::is_symlink(std::filesystem::symlink_status(path))) << c.label << ": " << name;
      EXPECT_EQ(std::filesystem::read_symlink(path), after.link_to) << c.label << ": " << name;
    }
    if (after.mode >= 0) {
      struct stat info {};
      ASSERT_EQ(::stat(path.c_str(), &info), 0) << c.label << ": " << name;
      EXPECT_EQ(info.st_mode & 0777, static_cast<unsigned>(after.mode)) << c.label << ": " << name;
    }
  }
  // Directories are the setup's; every file is named above.
  std::set<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    if (!entry.is_directory()) found.insert(entry.path().filename().string());
  }
  EXPECT_EQ(found, wanted) << c.label;
}

TEST(Faults, NothingLostAtTheEdges) {
  const std::string rows = rows_of("data.prd");
  const std::string done = dialogue_until_writing("data.prd", "earlier.out") + "Done.\n";
  const auto opening_stop = [](const std::string& what, const std::string& name) {
    return std::string(kBanner) + "Stop: error opening " + what + " \"" + name + "\" for output.\n";
  };
  const FaultCase cases[] = {
      // 1. The picture is one of the run's files by another name.
      {"picture onto the data file", "cp data.prd d.svg", "--plot d.svg d.svg",
       std::string(kBanner) + "Stop: picture \"d.svg\" is the data file.\n", "", 1, {{"d.svg", {kSurvey}}}},
      {"picture onto the rows file by another name", "", "-o earlier.svg --plot ./earlier.svg data.prd",
       std::string(kBanner) + "Stop: picture \"./earlier.svg\" is the output file \"earlier.svg\".\n", "", 1},
      {"picture a link to the data file", "ln -s data.prd pic.svg", "--plot pic.svg data.prd",
       std::string(kBanner) + "Stop: picture \"pic.svg\" is the data file.\n", "", 1,
       {{"pic.svg", {kSurvey, "data.prd"}}}},
      {"picture a link to the plain run's vask.out", "ln -s vask.out pic.svg", "--plot pic.svg data.prd",
       std::string(kBanner) + "Stop: picture \"pic.svg\" is the output file \"vask.out\".\n", "", 1,
       {{"pic.svg", {"", "vask.out"}}}},
      {"picture onto the file standard output is", "cp earlier.out p.svg", "--plot p.svg -o - data.prd >> p.svg", "",
       std::string(kBanner) + "Stop: picture \"p.svg\" is the output file \"-\".\n", 1, {{"p.svg", {kEarlier}}}},
      {"-o a link to the data file", "ln -s data.prd link.out", "-o link.out data.prd",
       std::string(kBanner) + "Stop: output file \"link.out\" is the data file.\n", "", 1,
       {{"link.out", {kSurvey, "data.prd"}}}},
      // 2. The data file as standard input.
      {"-o onto the file standard input is", "", "-o data.prd - < data.prd",
       std::string(kBanner) + "Stop: output file \"data.prd\" is the data file.\n", "", 1},
      {"-o a /proc/self/fd name of the data file", "", "-o /proc/self/fd/0 - < data.prd",
       std::string(kBanner) + "Stop: output file \"/proc/self/fd/0\" is the data file.\n", "", 1},
      // 3. The plain run of a data file named vask.out.
      {"plain run of a data file named vask.out", "cp data.prd vask.out", "vask.out",
       dialogue_until_writing("vask.out", "vask.out") + "Stop: error opening file \"vask.out\" for output.\n",
       "korvan2col: vask.out: is the data file\n", 1, {{"vask.out", {kSurvey}}}},
      {"plain run with vask.out a link to the data file", "ln -s data.prd vask.out", "data.prd",
       dialogue_until_writing("data.prd", "vask.out") + "Stop: error opening file \"vask.out\" for output.\n",
       "korvan2col: vask.out: is the data file\n", 1, {{"vask.out", {kSurvey, "data.prd"}}}},
      {"plain run of standard input redirected from vask.out", "cp data.prd vask.out", "- < vask.out",
       dialogue_until_writing("-", "vask.out") + "Stop: error opening file \"vask.out\" for output.\n",
       "korvan2col: vask.out: is the data file\n", 1, {{"vask.out", {kSurvey}}}},
      // 5. Standard output closed at start.
      {"plain run with standard output closed", "", "data.prd >&-", "", "", 0, {{"vask.out", {rows}}}},
      {"-o - with standard output closed", "", "-o - data.prd >&-", "",
       std::string(kBanner) + "Stop: error opening file \"-\" for output.\nkorvan2col: -: standard output is closed\n",
       1},
      // 6. Gzip data after a member.
      {"gzip whose second member is damaged", "", "damaged.gz",
       std::string(kBanner) + "Stop: error opening predicted data file \"damaged.gz\".\n",
       "korvan2col: damaged.gz: compressed data is corrupt (unexpected bytes after member 1)\n", 1},
      {"gzip with zero padding", "", "padded.gz", dialogue_until_writing("padded.gz", "vask.out") + "Done.\n",
       "korvan2col: padded.gz: warning: 10240 zero bytes after the compressed data, passed over as padding\n", 0,
       {{"vask.out", {rows_of("padded.gz")}}}},
      {"gzip with zero padding, --strict", "", "--strict padded.gz",
       std::string(kBanner) + "Stop: zero bytes after the compressed data of \"padded.gz\".\n",
       "korvan2col: padded.gz: 10240 zero bytes after the compressed data\n", 1},
      // 7. A reader of the rows that has what it wants.
      {"-o - into a pipe whose reader leaves early", "", "-o - big.prd > >(head -c 100 > /dev/null)", "",
       std::string(kBanner) + " " + std::to_string(kBigSoundings) +
           " soundings read from \"big.prd\".\n Writing converted data to file \"-\".\n",
       128 + SIGPIPE},
      // 8. Outputs that cannot be written, found before anything is read.
      {"-o into a missing directory", "", "-o nodir/rows.out data.prd", opening_stop("file", "nodir/rows.out"),
       "korvan2col: nodir/rows.out: No such file or directory\n", 1},
      {"--plot into a missing directory", "", "--plot nodir/map.svg data.prd",
       opening_stop("picture", "nodir/map.svg"), "korvan2col: nodir/map.svg: No such file or directory\n", 1},
      {"-o a directory", "mkdir nodir", "-o nodir data.prd", opening_stop("file", "nodir"),
       "korvan2col: nodir: Is a directory\n", 1},
      {"-o below a file", "", "-o data.prd/rows.out earlier.out", opening_stop("file", "data.prd/rows.out"),
       "korvan2col: data.prd/rows.out: Not a directory\n", 1},
      {"-o a read-only file in a writable directory", "chmod 777 .; chmod 444 earlier.out", "-o earlier.out data.prd",
       opening_stop("file", "earlier.out"), "korvan2col: earlier.out: Permission denied\n", 1,
       {{"earlier.out", {kEarlier, "", 0444}}}, true},
      {"--plot into a directory nobody may write", "mkdir locked; chmod 555 locked", "--plot locked/map.svg data.prd",
       opening_stop("picture", "locked/map.svg"), "korvan2col: locked/map.svg: Permission denied\n", 1, {}, true},
      // Replaced when complete: the link stays, the mode stays, a new file
      // gets the umask's; written in place where replacing would lose.
      {"-o a link: its target replaced", "ln -s earlier.out link.out", "-o link.out data.prd",
       dialogue_until_writing("data.prd", "link.out") + "Done.\n", "", 0,
       {{"earlier.out", {rows}}, {"link.out", {rows, "earlier.out"}}}},
      {"-o keeps the mode of the file it replaces", "chmod 640 earlier.out", "-o earlier.out data.prd", done, "", 0,
       {{"earlier.out", {rows, "", 0640}}}},
      {"-o makes a new file as the umask says", "umask 027", "-o new.out data.prd",
       dialogue_until_writing("data.prd", "new.out") + "Done.\n", "", 0, {{"new.out", {rows, "", 0640}}}},
      {"-o a file with another hard link: written in place", "ln earlier.out other.out", "-o earlier.out data.prd",
       done, "", 0, {{"earlier.out", {rows}}, {"other.out", {rows}}}},
      {"-o a writable file in a directory that takes no temporary: written in place",
       "chmod 666 earlier.out; chmod 555 .", "-o earlier.out data.prd", done, "", 0,
       {{"earlier.out", {rows, "", 0666}}}, true},
      {"picture refused while written: the rows put in place, the earlier picture kept",
       "printf earlier > map.svg; ulimit -f 8", "-o earlier.out --plot map.svg data.prd",
       dialogue_until_writing("data.prd", "earlier.out") + "Stop: error writing picture \"map.svg\".\n",
       "korvan2col: map.svg: File too large\n", 1, {{"earlier.out", {rows}}, {"map.svg", {"earlier"}}}},
      {"-o a device: written in place", "", "-o /dev/null data.prd",
       dialogue_until_writing("data.prd", "/dev/null") + "Done.\n", "", 0},
  };
  for (const FaultCase& c : cases) {
    ScratchDir dir;
    for (const auto& [name, before] : files_before()) dir.write(name, *before.bytes);
    const RunResult r = run_converter(dir.path(), "", c.arguments, c.setup.empty() ? "" : c.setup + ";",
                                      c.as_other_user ? other_user_wrapper() : "");
    EXPECT_EQ(r.out, c.out) << c.label;
    EXPECT_EQ(r.err, c.err) << c.label;
    EXPECT_EQ(r.exit_status, c.exit_status) << c.label;
    expect_files(dir, c);
  }
}

std::set<std::string> names_in(const ScratchDir& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// Whether the process is half way through writing `rows` in `dir`: it holds
// the file or a temporary for it open, unnamed ("DIR/#INODE (deleted)", a
// name it keeps once linked in) or named ("DIR/.ROWS.XXXXXX"), with some but
// not all of its `full_size` bytes: a temporary takes the name only when
// complete.
bool writing_rows(pid_t pid, const std::filesystem::path& dir, const std::string& rows, std::uintmax_t full_size) {
  const std::string in_dir = std::filesystem::canonical(dir).string() + "/";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
    const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
    if (!target.starts_with(in_dir)) continue;
    const std::string name = target.substr(in_dir.size());
    const std::uintmax_t size = std::filesystem::file_size(entry.path(), error);
    if (error || size == 0 || size >= full_size) continue;
    if (name == rows || name.ends_with(" (deleted)") || name.starts_with("." + rows + ".")) return true;
  }
  return false;
}

// The converter run as `korvan2col -o ROWS DATA` in `dir`, held (SIGSTOP)
// while it writes rows of `full_size` bytes: after its "Writing" line it is
// let go in short steps until it is half way. No guess at how long writing
// takes; a step that a busy machine makes too long may miss the moment,
// and held() then says so.
class RunHeldWhileWriting {
 public:
  RunHeldWhileWriting(const std::filesystem::path& dir, const std::string& rows, const std::string& data,
                      std::uintmax_t full_size) {
    int console[2];
    if (::pipe(console) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(console[1], STDOUT_FILENO);
      ::close(console[0]);
      ::close(console[1]);
      if (::chdir(dir.c_str()) == 0) {
        ::execl(KORVAN2COL_BINARY, "korvan2col", "-o", rows.c_str(), data.c_str(), static_cast<char*>(nullptr));
      }
      ::_exit(127);
    }
    ::close(console[1]);
    console_ = console[0];
    while (console_text_.find("Writing") == std::string::npos && read_console()) {
    }
    while (!held_) {
      ::kill(pid_, SIGSTOP);
      if (::waitpid(pid_, &status_, WUNTRACED) != pid_ || !WIFSTOPPED(status_)) return;  // it ended first
      held_ = writing_rows(pid_, dir, rows, full_size);
      if (held_) return;
      ::kill(pid_, SIGCONT);
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
  }
  ~RunHeldWhileWriting() {
    if (held_) finish();
    if (console_ >= 0) ::close(console_);
  }
  RunHeldWhileWriting(const RunHeldWhileWriting&) = delete;
  RunHeldWhileWriting& operator=(const RunHeldWhileWriting&) = delete;

  bool held() const { return held_; }

  // Lets the run go on, `signal` first if any; its wait status.
  int finish(int signal = 0) {
    if (held_ && signal != 0) ::kill(pid_, signal);
    if (held_) ::kill(pid_, SIGCONT);
    held_ = false;
    while (read_console()) {
    }
    ::waitpid(pid_, &status_, 0);
    return status_;
  }
  const std::string& console() const { return console_text_; }

 private:
  bool read_console() {
    char buffer[256];
    const ssize_t n = ::read(console_, buffer, sizeof buffer);
    if (n <= 0) return false;
    console_text_.append(buffer, static_cast<std::size_t>(n));
    return true;
  }

  pid_t pid_ = -1;
  int console_ = -1;
  std::string console_text_;
  bool held_ = false;
  int status_ = 0;
};

// Rows that take a few milliseconds to write, in several blocks.
constexpr int kWritingSoundings = 40000;
// Tries at holding a run half way, which a busy machine may make miss.
constexpr int kAttempts = 5;

// SIGTERM while the rows go to an -o file over an earlier one: the earlier
// file stays whole and nothing is left beside it.
TEST(Faults, TerminatedWhileWritingLeavesTheEarlierFile) {
  ScratchDir dir;
  dir.write("big.prd", generated_survey(kWritingSoundings));
  ASSERT_EQ(run_converter(dir.path(), "", "-o earlier.out big.prd").exit_status, 0);
  const std::uintmax_t full_size = std::filesystem::file_size(dir.file("earlier.out"));
  for (int attempt = 1;; ++attempt) {
    dir.write("earlier.out", kEarlier);
    RunHeldWhileWriting run(dir.path(), "earlier.out", "big.prd", full_size);
    if (!run.held() && attempt < kAttempts) continue;
    ASSERT_TRUE(run.held()) << run.console();
    const int status = run.finish(SIGTERM);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_FALSE(run.console().ends_with("Done.\n"));
    EXPECT_TRUE(dir.read("earlier.out") == kEarlier);
    EXPECT_EQ(names_in(dir), (std::set<std::string>{"big.prd", "earlier.out"}));
    break;
  }
}

// Two runs onto one -o, the second made whole while the first writes: the
// file is the whole of one run's rows (once it held the second run's rows,
// a hole of NUL bytes and the end of the first run's), and both say
// "Done.".
TEST(Faults, TwoRunsOntoOneFileLeaveOneRunWhole) {
  ScratchDir dir;
  dir.write("big.prd", generated_survey(kWritingSoundings));
  dir.write("data.prd", kSurvey);
  ASSERT_EQ(run_converter(dir.path(), "", "-o big.out big.prd").exit_status, 0);
  const std::string big_rows = dir.read("big.out");
  std::filesystem::remove(dir.file("big.out"));
  for (int attempt = 1;; ++attempt) {
    std::filesystem::remove(dir.file("rows.out"));
    RunHeldWhileWriting first(dir.path(), "rows.out", "big.prd", big_rows.size());
    if (!first.held() && attempt < kAttempts) continue;
    ASSERT_TRUE(first.held()) << first.console();
    const RunResult second = run_converter(dir.path(), "", "-o rows.out data.prd");
    EXPECT_TRUE(second.out.ends_with("Done.\n"));
    const int status = first.finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(first.console().ends_with("Done.\n"));
    const std::string rows = dir.read("rows.out");
    EXPECT_TRUE(rows == big_rows) << rows.size() << " bytes";
    EXPECT_EQ(names_in(dir), (std::set<std::string>{"big.prd", "data.prd", "rows.out"}));
    break;
  }
}

}  // namespace
}  // namespace korvan::testing
