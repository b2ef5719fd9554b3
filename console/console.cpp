// Console records. Only a blank is ever used as carriage control: it starts
// a new line, so a record shows as its text from the second character on.
#include "console/console.h"

#include <cerrno>

#include <unistd.h>

namespace korvan::console {

void write_unchecked(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

void Console::emit(std::string_view bytes) {
  if (capture_ != nullptr) {
    capture_->append(bytes);
    return;
  }
  write_unchecked(fd_, bytes);
}

void Console::write_record(std::string_view record) {
  std::string line;
  line.reserve(record.size() + 1);
  if (line_open_) line += '\n';
  if (!record.empty()) line.append(record.substr(1));
  line += '\n';
  line_open_ = false;
  emit(line);
}

void Console::write_open_record(std::string_view record) {
  std::string line;
  if (line_open_) line += '\n';
  if (!record.empty()) line.append(record.substr(1));
  line_open_ = true;
  emit(line);
}

}  // namespace korvan::console
