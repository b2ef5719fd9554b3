// Reading descriptors and memory.
#include "text/byte_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include <unistd.h>

namespace korvan::text {

DescriptorBytes::~DescriptorBytes() {
  if (owned_ && fd_ >= 0) ::close(fd_);
}

std::size_t DescriptorBytes::read(char* into, std::size_t room) {
  if (error_ != 0) return 0;
  for (;;) {
    const ssize_t got = ::read(fd_, into, room);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) {
      error_ = errno;
      return 0;
    }
  }
}

std::string DescriptorBytes::failure_text() const { return std::error_code(error_, std::generic_category()).message(); }

std::size_t PositionedBytes::read(char* into, std::size_t room) {
  if (error_ != 0) return 0;
  for (;;) {
    const ssize_t got = positioned_ ? ::pread(fd_, into, room, static_cast<off_t>(offset_)) : ::read(fd_, into, room);
    if (got >= 0) {
      offset_ += static_cast<std::uint64_t>(got);
      return static_cast<std::size_t>(got);
    }
    if (errno == ESPIPE && positioned_) {
      positioned_ = false;
    } else if (errno != EINTR) {
      error_ = errno;
      return 0;
    }
  }
}

std::string PositionedBytes::failure_text() const {
  return std::error_code(error_, std::generic_category()).message();
}

std::size_t MemoryBytes::read(char* into, std::size_t room) {
  const std::size_t n = std::min(room, bytes_.size() - at_);
  std::memcpy(into, bytes_.data() + at_, n);
  at_ += n;
  return n;
}

}  // namespace korvan::text
