// Lines on standard error, each written whole in one call.
#include "console/diagnostics.h"

#include "console/console.h"

namespace korvan::console {

void Diagnostics::line(std::string_view text) {
  std::string bytes = "korvan2col: ";
  bytes.append(text);
  bytes += '\n';
  if (capture_ != nullptr) {
    capture_->append(bytes);
    return;
  }
  write_unchecked(fd_, bytes);
}

}  // namespace korvan::console
