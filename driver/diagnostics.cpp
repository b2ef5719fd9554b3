// One write per line, so that lines from a run never interleave mid-line.
#include "driver/diagnostics.h"

#include <cerrno>
#include <string>

#include <unistd.h>

namespace korvan::driver {

void diagnose(std::string_view message) {
  const std::string line = "korvan2col: " + std::string(message) + "\n";
  std::string_view rest = line;
  while (!rest.empty()) {
    const ssize_t n = ::write(STDERR_FILENO, rest.data(), rest.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // nowhere left to say it
    rest.remove_prefix(static_cast<std::size_t>(n));
  }
}

}  // namespace korvan::driver
