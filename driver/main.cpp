// korvan2col: converts a KORVAN predicted-data file to the column file
// vask.out. A fatal stop shows its one console line and exits with status 1.
#include <csignal>
#include <new>

#include "driver/run.h"
#include "textio/console.h"
#include "textio/input_unit.h"
#include "textio/termination.h"

int main() {
  // A closed console must not kill the run half way through vask.out.
  std::signal(SIGPIPE, SIG_IGN);
  korvan::textio::Console console;
  korvan::textio::InputUnit standard_input;
  standard_input.attach(0);
  try {
    korvan::driver::run_conversion(standard_input, console);
  } catch (const korvan::textio::FatalStop& stop) {
    console.write_record(" " + stop.console_line());
    return korvan::textio::kExitFailure;
  } catch (const std::bad_alloc&) {
    console.write_record(" Stop: out of memory.");
    return korvan::textio::kExitFailure;
  }
  return korvan::textio::kExitSuccess;
}
