// Descriptors 0, 1 and 2 checked in turn: open() takes the lowest free
// number, so the one being checked is the one it fills.
#include "cli/standard_streams.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace korvan::cli {
namespace {

bool reopen_if_closed(int fd) {
  if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) return false;
  (void)::open("/dev/null", O_RDWR);
  return true;
}

}  // namespace

StandardStreams open_closed_standard_streams() {
  StandardStreams streams;
  streams.input_closed = reopen_if_closed(STDIN_FILENO);
  streams.output_closed = reopen_if_closed(STDOUT_FILENO);
  streams.error_closed = reopen_if_closed(STDERR_FILENO);
  return streams;
}

}  // namespace korvan::cli
