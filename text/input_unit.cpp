// Buffered record input with a one-record step back.
#include "text/input_unit.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>


namespace korvan::text {
namespace {

constexpr char kCtrlZ = 26;

}  // namespace

bool file_exists(std::string_view name) {
  // A NUL would cut the name short and name another file.
  if (name.find('\0') != std::string_view::npos) return false;
  struct stat info {};
  return ::stat(std::string(name).c_str(), &info) == 0;
}

InputUnit::InputUnit(std::size_t initial_capacity) : initial_capacity_(std::max<std::size_t>(initial_capacity, 1)) {}

InputUnit::~InputUnit() = default;

IoStatus InputUnit::open(std::string_view name) {
  error_ = EINVAL;
  if (source_ != nullptr || name.find('\0') != std::string_view::npos) return IoStatus::failed;
  const std::string path(name);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  error_ = errno;
  if (fd < 0) return IoStatus::failed;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    error_ = S_ISDIR(info.st_mode) ? EISDIR : errno;
    ::close(fd);
    return IoStatus::failed;
  }
  // Editors on some systems begin a text file with a byte-order mark.
  char mark[3] = {};
  const bool marked = ::pread(fd, mark, sizeof mark, 0) == 3 && mark[0] == '\xEF' && mark[1] == '\xBB' &&
                      mark[2] == '\xBF';
  if (marked && ::lseek(fd, sizeof mark, SEEK_SET) < 0) {
    error_ = errno;
    ::close(fd);
    return IoStatus::failed;
  }
  owned_ = std::make_unique<DescriptorBytes>(fd, true);
  attach(*owned_);
  consumed_ = marked ? sizeof mark : 0;
  return IoStatus::ok;
}

std::string InputUnit::error_text() const {
  if (error_ == 0) return "a line of more than " + std::to_string(kMaxRecordBytes >> 20) + " MiB";
  if (error_ < 0 && source_ != nullptr) return source_->failure_text();
  return std::strerror(error_);
}

void InputUnit::attach(int fd) {
  owned_ = std::make_unique<DescriptorBytes>(fd);
  attach(*owned_);
  record_limit_ = std::numeric_limits<std::size_t>::max();
}

void InputUnit::attach(ByteSource& source) {
  source_ = &source;
  if (!buffer_) {
    capacity_ = initial_capacity_;
    buffer_ = std::make_unique<char[]>(capacity_ + kRecordPadding);
  }
  base_ = buffer_.get();
  in_memory_ = false;
  pos_ = end_ = consumed_ = 0;
  records_ = 0;
  has_last_ = input_ended_ = read_error_ = false;
  read_status_ = IoStatus::ok;
  record_limit_ = kMaxRecordBytes;
}

void InputUnit::attach(const char* data, std::size_t size) {
  static MemoryBytes nothing{std::string()};
  source_ = &nothing;
  base_ = data;
  in_memory_ = true;
  pos_ = consumed_ = 0;
  end_ = size;
  records_ = 0;
  has_last_ = read_error_ = false;
  input_ended_ = true;
  read_status_ = IoStatus::ok;
}

IoStatus InputUnit::close() {
  if (source_ == nullptr) return IoStatus::failed;
  owned_.reset();
  source_ = nullptr;
  has_last_ = false;
  error_ = 0;
  // The buffer is kept: the next reading reuses it.
  return IoStatus::ok;
}

// Moves the unread bytes to the front and reads more behind them. The record
// being delivered is never in front of pos_, so dropping that part is safe.
IoStatus InputUnit::refill() {
  if (pos_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + pos_, end_ - pos_);
    consumed_ += pos_;
    end_ -= pos_;
    pos_ = 0;
    has_last_ = false;
  }
  if (end_ == capacity_) {
    // One line fills the whole buffer: make room for the rest of it, unless
    // it is longer than any entry. If the memory is refused, the input
    // counts as unreadable.
    if (capacity_ >= record_limit_) return refuse(IoStatus::too_long, 0);
    std::unique_ptr<char[]> bigger(new (std::nothrow) char[capacity_ * 2 + kRecordPadding]());
    if (!bigger) return refuse(IoStatus::failed, ENOMEM);
    std::memcpy(bigger.get(), buffer_.get(), end_);
    buffer_ = std::move(bigger);
    base_ = buffer_.get();
    capacity_ *= 2;
  }
  char* const fresh = buffer_.get() + end_;
  const std::size_t got = source_->read(fresh, capacity_ - end_);
  std::memset(fresh + got, 0, kRecordPadding);
  if (got == 0) {
    if (source_->failed()) return refuse(IoStatus::failed, -1);
    input_ended_ = true;
    return IoStatus::ok;
  }
  if (const void* z = std::memchr(fresh, kCtrlZ, got)) {
    end_ += static_cast<std::size_t>(static_cast<const char*>(z) - fresh);
    std::memset(buffer_.get() + end_, 0, kRecordPadding);
    input_ended_ = true;
  } else {
    end_ += got;
  }
  return IoStatus::ok;
}

IoStatus InputUnit::refuse(IoStatus status, int error) {
  read_error_ = true;
  read_status_ = status;
  error_ = error;
  return status;
}

IoStatus InputUnit::next_record_refilling(std::string_view& record) {
  if (source_ == nullptr) return IoStatus::failed;
  if (read_error_) return read_status_;
  for (;;) {
    const char* base = base_;
    const char* nl = find_line_end(base + pos_, base + end_);
    std::size_t stop = 0;
    std::size_t next = 0;
    if (nl != nullptr) {
      stop = static_cast<std::size_t>(nl - base);
      next = stop + 1;
    } else if (input_ended_) {
      if (pos_ == end_) return IoStatus::end_of_file;
      stop = next = end_;  // a last line without a line end
    } else {
      const IoStatus refilled = refill();
      if (refilled != IoStatus::ok) return refilled;
      continue;
    }
    take_record(stop, next, record);
    return IoStatus::ok;
  }
}

void InputUnit::skip_blank_records_slowly() {
  std::string_view record;
  while (next_record(record) == IoStatus::ok) {
    if (record.find_first_not_of(" \t") != std::string_view::npos) {
      step_back();
      return;
    }
  }
}

IoStatus InputUnit::step_back() {
  if (source_ == nullptr || !has_last_) return IoStatus::failed;
  pos_ = last_start_;
  --records_;
  return IoStatus::ok;
}

}  // namespace korvan::text
