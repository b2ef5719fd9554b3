// Lines on standard error, each written whole in one call.
#include "textio/diagnostics.h"

#include "textio/console.h"

namespace korvan::textio {

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

}  // namespace korvan::textio
