// cli/, the top room: the command line (here), the standard streams that a
// process may be started without, and main, which makes korvan2col. It uses
// run/, console/ and text/.
//
// The command line: the options of a conversion, or --help or --version.
// CLI11 does the parsing; the texts shown for a wrong command line are the
// converter's own.
#pragma once

#include <span>
#include <string>

#include "run/batch.h"
#include "run/run.h"

namespace korvan::cli {

struct CommandLine {
  enum class Action { convert, convert_batch, help, version, usage_error };
  Action action = Action::convert;
  run::ConversionOptions options;  // for convert
  run::BatchOrder batch;           // for convert_batch: several files, or --output-dir
  std::string error;               // for usage_error: one line that starts "korvan2col: "
};

CommandLine parse_command_line(std::span<char* const> arguments);

// --help and --version print these to standard output.
std::string usage_text();
std::string version_text();
// After the error line of a wrong command line, on standard error.
std::string usage_reminder();

}  // namespace korvan::cli
