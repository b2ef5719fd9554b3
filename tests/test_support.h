// Helpers shared by the tests: scratch directories, files, running the
// converter binary with piped standard input.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace korvan::testing {

// A fresh empty directory, removed with its contents at the end of scope.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path file(std::string_view name) const { return path_ / name; }
  void write(std::string_view name, std::string_view contents) const;
  std::string read(std::string_view name) const;
  bool exists(std::string_view name) const;

 private:
  std::filesystem::path path_;
};

struct RunResult {
  std::string out;   // everything written to standard output
  std::string err;   // everything written to standard error
  int exit_status = -1;
};

// Runs the built korvan2col in `dir` with `input` on standard input (a pipe)
// and standard output/error captured through pipes. `shell_prefix` is put in
// front of the command (for example "ulimit -f 1;"), `wrapper` in front of
// the converter itself (for example "setpriv --reuid=65534").
RunResult run_converter(const std::filesystem::path& dir, std::string_view input,
                        std::string_view arguments = "", std::string_view shell_prefix = "",
                        std::string_view wrapper = "");

// Whether every line of a run's standard error is one of the converter's
// own: "korvan2col: ...".
bool only_diagnostics(std::string_view err);

// Whether the suite is built with the sanitizers (sweeps then run smaller).
constexpr bool kSanitized =
#ifdef KORVAN_SANITIZED
    true;
#else
    false;
#endif

}  // namespace korvan::testing
