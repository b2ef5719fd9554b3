// How a run ends early: the failing code composes the whole console line and
// throws; main turns it into one console record and a non-zero exit status.
#pragma once

#include <string>
#include <utility>

namespace korvan::textio {

// A run that failed ends with status 1; a completed run ends with 0.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;

class FatalStop {
 public:
  explicit FatalStop(std::string console_line) : line_(std::move(console_line)) {}
  const std::string& console_line() const { return line_; }

 private:
  std::string line_;
};

// Ends the run with the given console line (shown from the first column).
[[noreturn]] inline void stop_with_line(std::string console_line) {
  throw FatalStop(std::move(console_line));
}

}  // namespace korvan::textio
