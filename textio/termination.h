// How a run ends early: the failing code composes the whole console line
// (and any lines for standard error that say where and why) and throws; main
// turns it into one console record, those lines and a non-zero exit status.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace korvan::textio {

// A run that failed ends with status 1; a completed run ends with 0.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;

class FatalStop {
 public:
  explicit FatalStop(std::string console_line, std::vector<std::string> details = {})
      : line_(std::move(console_line)), details_(std::move(details)) {}
  const std::string& console_line() const { return line_; }
  // Lines for standard error, each without the program's name in front.
  const std::vector<std::string>& details() const { return details_; }

 private:
  std::string line_;
  std::vector<std::string> details_;
};

// Ends the run with the given console line (shown from the first column).
[[noreturn]] inline void stop_with_line(std::string console_line, std::vector<std::string> details = {}) {
  throw FatalStop(std::move(console_line), std::move(details));
}

}  // namespace korvan::textio
