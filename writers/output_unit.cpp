// Buffered record output that remembers where each record ends.
#include "writers/output_unit.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace korvan::writers {

using text::IoStatus;

namespace {

constexpr std::string_view kLineEnd = "\r\n";

}  // namespace

OutputUnit::OutputUnit(std::size_t buffer_bytes)
    : buffer_(std::make_unique<char[]>(buffer_bytes)), capacity_(buffer_bytes) {
  pending_.reserve(1024);
}

OutputUnit::~OutputUnit() { close(); }

void OutputUnit::close() {
  if (fd_ < 0) return;
  if (!broken_) (void)write_out();
  ::close(fd_);
  fd_ = -1;
}

IoStatus OutputUnit::open_replacing(std::string_view name) {
  if (fd_ >= 0) return IoStatus::failed;
  const std::string path(name);
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  error_ = errno;
  return fd_ >= 0 ? IoStatus::ok : IoStatus::failed;
}

std::string OutputUnit::error_text() const { return std::strerror(error_); }

IoStatus OutputUnit::attach(int fd, BrokenPipe on_broken_pipe) {
  if (fd_ >= 0 || fd < 0) return IoStatus::failed;
  fd_ = fd;
  on_broken_pipe_ = on_broken_pipe;
  return IoStatus::ok;
}

// The converter ignores SIGPIPE so that a closed console does not end it;
// here the signal's own action is wanted, and nothing after it.
void OutputUnit::end_process_if_reader_gone() const {
  if (errno != EPIPE || on_broken_pipe_ != BrokenPipe::end_process) return;
  std::signal(SIGPIPE, SIG_DFL);
  std::raise(SIGPIPE);
  errno = EPIPE;  // a blocked signal returns here: reported as before
}

// Names the record that holds the first byte that did not reach the file.
void OutputUnit::note_failure(std::size_t written) {
  end_process_if_reader_gone();
  error_ = errno;
  broken_ = true;
  for (const Pending& run : pending_) {
    const std::size_t end = run.start + run.record_bytes * run.count;
    if (end > written) {
      const std::size_t index = written > run.start ? (written - run.start) / run.record_bytes : 0;
      failed_tag_ = run.first_tag + index;
      break;
    }
  }
  used_ = 0;
  pending_.clear();
}

// Writes the buffer, all of it or up to the first refusal.
IoStatus OutputUnit::write_out() {
  std::size_t done = 0;
  while (done < used_) {
    const ssize_t n = ::write(fd_, buffer_.get() + done, used_ - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    note_failure(done);
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
  const std::size_t record_bytes = length + kLineEnd.size();
  if (!pending_.empty()) {
    // A record that continues a run of its own length and tag sequence joins it.
    Pending& last = pending_.back();
    if (last.record_bytes == record_bytes && last.first_tag + last.count == tag) {
      ++last.count;
      used_ += record_bytes;
      return IoStatus::ok;
    }
  }
  pending_.push_back({used_, record_bytes, 1, tag});
  used_ += record_bytes;
  return IoStatus::ok;
}

IoStatus OutputUnit::write_record(std::string_view text, RecordTag tag) {
  char* room = reserve_record(text.size());
  if (room == nullptr) return IoStatus::failed;
  std::memcpy(room, text.data(), text.size());
  return commit_record(text.size(), tag);
}

IoStatus OutputUnit::write_block(const char* data, std::size_t bytes, std::size_t record_bytes,
                                 RecordTag first_tag) {
  if (fd_ < 0 || broken_) return IoStatus::failed;
  if (bytes == 0) return IoStatus::ok;
  // A block of half the buffer or more goes straight to the file after what
  // is buffered: copying it first would gain nothing.
  const bool direct = bytes >= capacity_ / 2;
  if (direct || used_ + bytes > capacity_) {
    if (write_out() != IoStatus::ok) return IoStatus::failed;
    if (direct) return write_direct(data, bytes, record_bytes, first_tag);
  }
  std::memcpy(buffer_.get() + used_, data, bytes);
  pending_.push_back({used_, record_bytes, bytes / record_bytes, first_tag});
  used_ += bytes;
  return IoStatus::ok;
}

IoStatus OutputUnit::write_direct(const char* data, std::size_t bytes, std::size_t record_bytes,
                                  RecordTag first_tag) {
  std::size_t done = 0;
  while (done < bytes) {
    const ssize_t n = ::write(fd_, data + done, bytes - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    end_process_if_reader_gone();
    error_ = errno;
    broken_ = true;
    failed_tag_ = first_tag + done / record_bytes;
    return IoStatus::failed;
  }
  return IoStatus::ok;
}

IoStatus OutputUnit::flush() {
  if (fd_ < 0 || broken_) return IoStatus::failed;
  return write_out();
}

}  // namespace korvan::writers
