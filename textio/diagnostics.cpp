// Lines on standard error. A refused write is lost, as on the console.
#include "textio/diagnostics.h"

#include <cerrno>

#include <unistd.h>

namespace korvan::textio {

void Diagnostics::line(std::string_view text) {
  std::string bytes = "korvan2col: ";
  bytes.append(text);
  bytes += '\n';
  if (capture_ != nullptr) {
    capture_->append(bytes);
    return;
  }
  std::string_view rest = bytes;
  while (!rest.empty()) {
    const ssize_t n = ::write(fd_, rest.data(), rest.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    rest.remove_prefix(static_cast<std::size_t>(n));
  }
}

}  // namespace korvan::textio
