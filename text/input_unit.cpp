// Buffered record input with a one-record step back.
#include "text/input_unit.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <string>

namespace korvan::text {
namespace {

constexpr char kCtrlZ = 26;

}  // namespace

InputUnit::InputUnit(std::size_t initial_capacity) : initial_capacity_(std::max<std::size_t>(initial_capacity, 1)) {}

InputUnit::~InputUnit() = default;

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
    if (capacity_ >= record_limit_) return refuse(IoStatus::too_long);
    std::unique_ptr<char[]> bigger(new (std::nothrow) char[capacity_ * 2 + kRecordPadding]());
    if (!bigger) return refuse(IoStatus::failed);
    std::memcpy(bigger.get(), buffer_.get(), end_);
    buffer_ = std::move(bigger);
    base_ = buffer_.get();
    capacity_ *= 2;
  }
  char* const fresh = buffer_.get() + end_;
  const std::size_t got = source_->read(fresh, capacity_ - end_);
  std::memset(fresh + got, 0, kRecordPadding);
  if (got == 0) {
    if (source_->failed()) return refuse(IoStatus::failed);
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

IoStatus InputUnit::refuse(IoStatus status) {
  read_error_ = true;
  read_status_ = status;
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
