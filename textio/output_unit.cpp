// Buffered record output that remembers where each record ends.
#include "textio/output_unit.h"

#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace korvan::textio {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

}  // namespace

OutputUnit::OutputUnit(std::size_t buffer_bytes)
    : buffer_(std::make_unique<char[]>(buffer_bytes)), capacity_(buffer_bytes) {
  pending_.reserve(1024);
}

OutputUnit::~OutputUnit() {
  if (fd_ < 0) return;
  if (!broken_) (void)write_out();
  ::close(fd_);
}

IoStatus OutputUnit::open_replacing(std::string_view name) {
  if (fd_ >= 0) return IoStatus::failed;
  const std::string path(name);
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return fd_ >= 0 ? IoStatus::ok : IoStatus::failed;
}

// Writes the buffer; on a refusal, finds the record that holds the first
// byte that did not reach the file.
IoStatus OutputUnit::write_out() {
  std::size_t done = 0;
  while (done < used_) {
    const ssize_t n = ::write(fd_, buffer_.get() + done, used_ - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    broken_ = true;
    for (const Pending& p : pending_) {
      if (p.end > done) {
        failed_tag_ = p.tag;
        break;
      }
    }
    used_ = 0;
    pending_.clear();
    return IoStatus::failed;
  }
  used_ = 0;
  pending_.clear();
  return IoStatus::ok;
}

IoStatus OutputUnit::make_room(std::size_t bytes) {
  if (used_ + bytes <= capacity_) return IoStatus::ok;
  if (write_out() != IoStatus::ok) return IoStatus::failed;
  if (bytes > capacity_) {
    buffer_ = std::make_unique<char[]>(bytes);
    capacity_ = bytes;
  }
  return IoStatus::ok;
}

char* OutputUnit::reserve_record(std::size_t length) {
  if (fd_ < 0 || broken_) return nullptr;
  if (make_room(length + kLineEnd.size()) != IoStatus::ok) return nullptr;
  return buffer_.get() + used_;
}

IoStatus OutputUnit::commit_record(std::size_t length, RecordTag tag) {
  if (fd_ < 0) return IoStatus::failed;
  if (broken_) {
    // The reserve failed on an earlier record; that one is the lost one.
    return IoStatus::failed;
  }
  std::memcpy(buffer_.get() + used_ + length, kLineEnd.data(), kLineEnd.size());
  used_ += length + kLineEnd.size();
  pending_.push_back({used_, tag});
  return IoStatus::ok;
}

IoStatus OutputUnit::write_record(std::string_view text, RecordTag tag) {
  char* room = reserve_record(text.size());
  if (room == nullptr) return IoStatus::failed;
  std::memcpy(room, text.data(), text.size());
  return commit_record(text.size(), tag);
}

IoStatus OutputUnit::flush() {
  if (fd_ < 0 || broken_) return IoStatus::failed;
  return write_out();
}

}  // namespace korvan::textio
