// How a run ends early: the failing code composes the whole console line
// (and any lines for standard error that say where and why) and throws; main
// turns it into one console record, those lines and a non-zero exit status.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvan::console {

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

// The two console lines a run can stop with, built here only:
// "Stop: MESSAGE." and "Stop 'cause data not suitable for column format:
// MESSAGE.".
[[noreturn]] inline void stop(std::string_view message, std::vector<std::string> details = {}) {
  throw FatalStop("Stop: " + std::string(message) + ".", std::move(details));
}
[[noreturn]] inline void stop_not_suitable(std::string_view message) {
  throw FatalStop("Stop 'cause data not suitable for column format: " + std::string(message) + ".");
}

}  // namespace korvan::console
