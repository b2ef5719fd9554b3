// korvan2col: converts a KORVAN predicted-data file to the column file
// vask.out. A fatal stop shows its one console line and exits with status 1.
#include <csignal>
#include <cstdio>
#include <new>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include <unistd.h>

#include "cli/command_line.h"
#include "cli/standard_streams.h"
#include "console/console.h"
#include "console/diagnostics.h"
#include "console/stop.h"
#include "run/batch.h"
#include "run/run.h"
#include "text/input_unit.h"

namespace {

constexpr int kExitUsage = 2;

void print(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

// Several files: the checks before any work, then the conversions, with
// standard output left quiet.
int convert_batch(const korvan::run::BatchOrder& order) {
  auto plan = korvan::run::plan_batch(order);
  if (const std::string* error = std::get_if<std::string>(&plan)) {
    print(stderr, *error + "\n" + korvan::cli::usage_reminder());
    return kExitUsage;
  }
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  const bool converted = korvan::run::run_batch(std::get<std::vector<korvan::run::BatchFile>>(plan), order,
                                                STDERR_FILENO);
  return converted ? korvan::console::kExitSuccess : korvan::console::kExitFailure;
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// Under AddressSanitizer a refused allocation must still come back as null,
// as it does in the plain build, so that the run stops with its message.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
#endif

int main(int argc, char** argv) {
  namespace cli = korvan::cli;
  namespace run = korvan::run;
  namespace text = korvan::text;

  // Before any file is opened, so that none of them becomes standard
  // output (and gets the dialogue) or standard input.
  const cli::StandardStreams streams = cli::open_closed_standard_streams();
  cli::CommandLine command = cli::parse_command_line(std::span<char* const>(argv, argc));
  switch (command.action) {
    case cli::CommandLine::Action::help:
      print(stdout, cli::usage_text());
      return korvan::console::kExitSuccess;
    case cli::CommandLine::Action::version:
      print(stdout, cli::version_text());
      return korvan::console::kExitSuccess;
    case cli::CommandLine::Action::usage_error:
      print(stderr, command.error + "\n" + cli::usage_reminder());
      return kExitUsage;
    case cli::CommandLine::Action::convert:
      break;
    case cli::CommandLine::Action::convert_batch:
      return convert_batch(command.batch);
  }

  command.options.standard_output_closed = streams.output_closed;
  // A closed console must not kill the run half way through vask.out, nor
  // a file-size limit: the refused write stops the run with its message.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  // With the rows on standard output, the dialogue keeps out of their way.
  korvan::console::Console console(command.options.output_name == "-" ? STDERR_FILENO : STDOUT_FILENO);
  korvan::console::Diagnostics diagnostics;
  text::InputUnit standard_input;
  standard_input.attach(0);
  try {
    run::run_conversion(standard_input, console, command.options, &diagnostics);
  } catch (const korvan::console::FatalStop& stop) {
    console.write_record(" " + stop.console_line());
    for (const std::string& detail : stop.details()) diagnostics.line(detail);
    return korvan::console::kExitFailure;
  } catch (const std::bad_alloc&) {
    console.write_record(" Stop: out of memory.");
    return korvan::console::kExitFailure;
  }
  return korvan::console::kExitSuccess;
}
