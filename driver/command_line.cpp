// Command-line parsing. Options print to standard output and touch no file.
#include "driver/command_line.h"

namespace korvan::driver {

CommandLine parse_command_line(std::span<char* const> arguments) {
  CommandLine line;
  bool options_ended = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string_view arg = arguments[i];
    if (!options_ended && arg == "--") {
      options_ended = true;
      continue;
    }
    if (!options_ended && (arg == "--help" || arg == "-h")) {
      line.action = CommandLine::Action::help;
      return line;
    }
    if (!options_ended && arg == "--version") {
      line.action = CommandLine::Action::version;
      return line;
    }
    if (!options_ended && arg.size() > 1 && arg.front() == '-') {
      line.action = CommandLine::Action::usage_error;
      line.error = "korvan2col: unknown option '" + std::string(arg) + "'";
      return line;
    }
    if (line.file_name) {
      line.action = CommandLine::Action::usage_error;
      line.error = "korvan2col: only one data file can be converted at a time";
      return line;
    }
    line.file_name = arg;
  }
  return line;
}

std::string usage_text() {
  return "Usage: korvan2col [FILE]\n"
         "       korvan2col --help | --version\n"
         "\n"
         "Converts a KORVAN predicted-data file to the column file vask.out in the\n"
         "current directory. Without FILE, asks for the name of the data file.\n"
         "\n"
         "Options:\n"
         "  --help     show this text and exit\n"
         "  --version  show the version and exit\n"
         "\n"
         "Exit status: 0 when the conversion is done, 1 when it stopped with a\n"
         "message, 2 for a wrong command line.\n";
}

std::string version_text() { return std::string("korvan2col ") + KORVAN_VERSION + "\n"; }

}  // namespace korvan::driver
