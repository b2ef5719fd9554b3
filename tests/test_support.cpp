// Scratch directories and the child-process runner for end-to-end tests.
#include "tests/test_support.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>

#include <sys/wait.h>

namespace korvan::testing {

ScratchDir::ScratchDir() {
  std::random_device rd;
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = base / ("korvan-test-" + std::to_string(rd()) + std::to_string(rd()));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a scratch directory");
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  // A test may have left a read-only directory behind; make it removable.
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

void ScratchDir::write(std::string_view name, std::string_view contents) const {
  std::ofstream out(file(name), std::ios::binary | std::ios::trunc);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

std::string ScratchDir::read(std::string_view name) const {
  std::ifstream in(file(name), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool ScratchDir::exists(std::string_view name) const {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(file(name), ec));
}

namespace {

std::string shell_quote(const std::string& s) {
  std::string out = "'";
  for (const char c : s) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

std::string slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

RunResult run_converter(const std::filesystem::path& dir, std::string_view input,
                        std::string_view arguments, std::string_view shell_prefix, std::string_view wrapper) {
  // Standard input, output and error go through files kept outside `dir`, so
  // the converter's directory holds only what the test put there; stdin is
  // still a pipe (cat), as when a user pipes a name in.
  ScratchDir io;
  io.write("stdin", input);
  const std::string command = "cd " + shell_quote(dir.string()) + " && " + std::string(shell_prefix) +
                              " cat " + shell_quote(io.file("stdin").string()) + " | " +
                              std::string(wrapper) + " " + shell_quote(KORVAN2COL_BINARY) + " " + std::string(arguments) + " 2> " +
                              shell_quote(io.file("stderr").string()) + " | cat > " +
                              shell_quote(io.file("stdout").string()) + "; exit ${PIPESTATUS[1]}";
  const std::string wrapped = "bash -c " + shell_quote(command);
  const int raw = std::system(wrapped.c_str());
  RunResult result;
  result.out = slurp(io.file("stdout"));
  result.err = slurp(io.file("stderr"));
  result.exit_status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return result;
}

bool only_diagnostics(std::string_view err) {
  while (!err.empty()) {
    if (err.substr(0, 12) != "korvan2col: ") return false;
    const std::size_t end = err.find('\n');
    if (end == std::string_view::npos) return false;
    err.remove_prefix(end + 1);
  }
  return true;
}

}  // namespace korvan::testing
