// The command line: no arguments (the usual dialogue), a file name, or one
// of the options --help and --version.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace korvan::driver {

struct CommandLine {
  enum class Action { convert, help, version, usage_error };
  Action action = Action::convert;
  std::optional<std::string_view> file_name;  // convert without asking
  std::string error;                          // for usage_error
};

CommandLine parse_command_line(std::span<char* const> arguments);

// Texts shown on standard output for the options.
std::string usage_text();
std::string version_text();

}  // namespace korvan::driver
