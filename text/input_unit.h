// A text input connection read record by record: the predicted-data file on
// unit 11 or standard input. Lines end at LF (a CR before it is dropped), a
// last line without a line end is still a record, and a Ctrl-Z ends the input.
// The bytes come from a byte source as they arrive, or lie in memory whole
// (a piece of a data file that a thread reads).
#pragma once

#include <bit>
#include <cstddef>
#include <cstring>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "text/byte_source.h"
#include "text/status.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvan::text {

inline constexpr std::size_t kDefaultInputCapacity = std::size_t{1} << 20;

// A record longer than this cannot be any entry of a data file (real ones
// hold a few dozen bytes): reading it is refused rather than growing the
// buffer until memory runs out.
inline constexpr std::size_t kMaxRecordBytes = std::size_t{16} << 20;

// Readable bytes behind every record that next_record delivers, all of them
// beyond the record's end: the quick readers load whole words and compare
// sixteen bytes at a time without minding the end on every byte. They are
// zeros past the buffer's end, so no run of blanks goes on past them.
inline constexpr std::size_t kRecordPadding = 32;

class InputUnit {
 public:
  // The buffer starts at `initial_capacity` bytes (it grows for longer
  // lines); a reader of a few lines needs little.
  explicit InputUnit(std::size_t initial_capacity = kDefaultInputCapacity);
  ~InputUnit();
  InputUnit(const InputUnit&) = delete;
  InputUnit& operator=(const InputUnit&) = delete;

  // Connects an already open descriptor (standard input); it is not closed,
  // and its records may be of any length.
  void attach(int fd);
  // Reads what `source` gives (not owned) as it arrives, records of at most
  // kMaxRecordBytes.
  void attach(ByteSource& source);
  // Reads the `size` bytes at `data`, which are followed by kRecordPadding
  // readable bytes; the input ends after them.
  void attach(const char* data, std::size_t size);

  // The next record, valid until the next call that moves the position,
  // with kRecordPadding readable bytes behind it.
  // end_of_file when no record is left; failed when the input cannot be read.
  IoStatus next_record(std::string_view& record) {
    // Mostly the record lies whole in the buffer: it is taken here, without
    // a call.
    if (!read_error_ && pos_ < end_) {
      const char* const base = base_;
      if (const char* const nl = find_line_end(base + pos_, base + end_)) {
        const auto stop = static_cast<std::size_t>(nl - base);
        take_record(stop, stop + 1, record);
        return IoStatus::ok;
      }
    }
    return next_record_refilling(record);
  }

  // Positions the connection at the start of the last record read, so that
  // the next record read is that one again.
  IoStatus step_back();

  // Passes the records that hold only blanks and tabs, which a free-format
  // read passes over while it looks for a value.
  void skip_blank_records() {
    // Mostly the next record starts with a value: nothing to pass.
    if (pos_ < end_) {
      const char c = base_[pos_];
      if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return;
    }
    skip_blank_records_slowly();
  }

  // Identifies the record that next_record would deliver next: its offset
  // among the bytes read, and its line (from 1).
  std::size_t position() const { return consumed_ + pos_; }
  std::uint64_t line() const { return records_ + 1; }
  // The line of the last record read.
  std::uint64_t last_record_line() const { return records_; }
  // The bytes read from the source but not yet delivered as records, for a
  // reader that takes the rest of the input on from here.
  std::string_view unread() const { return {base_ + pos_, end_ - pos_}; }

 private:
  IoStatus refill();
  IoStatus refuse(IoStatus status);
  IoStatus next_record_refilling(std::string_view& record);
  void skip_blank_records_slowly();

  // Delivers the buffer's bytes from pos_ to `stop` (a CR before it
  // dropped) as the record; reading goes on at `next`.
  void take_record(std::size_t stop, std::size_t next, std::string_view& record) {
    const char* const base = base_;
    std::size_t length = stop - pos_;
    if (length > 0 && base[pos_ + length - 1] == '\r') --length;
    record = std::string_view(base + pos_, length);
    last_start_ = pos_;
    has_last_ = true;
    pos_ = next;
    ++records_;
  }

  // The first LF in [from, end), or nullptr. Most lines end within their
  // first 48 bytes, where comparing 16 bytes at a time costs less than a
  // call of memchr. The bytes read past `end` lie within the buffer's
  // readable bytes; an LF among them is no line end and is passed over.
  static const char* find_line_end(const char* from, const char* end) {
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    for (int block = 0; block < 3 && from < end; ++block, from += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
      const auto found = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lf)));
      if (found != 0) {
        const char* const nl = from + std::countr_zero(found);
        return nl < end ? nl : nullptr;
      }
    }
    if (from >= end) return nullptr;
#endif
    return static_cast<const char*>(std::memchr(from, '\n', static_cast<std::size_t>(end - from)));
  }

  ByteSource* source_ = nullptr;
  std::unique_ptr<ByteSource> owned_;  // a file or descriptor of the unit's own
  std::unique_ptr<char[]> buffer_;
  const char* base_ = nullptr;  // the buffer, or the bytes in memory
  std::size_t initial_capacity_;
  std::size_t capacity_ = 0;
  std::size_t pos_ = 0;         // next unread byte in the buffer
  std::size_t end_ = 0;         // end of the valid bytes in the buffer
  std::size_t consumed_ = 0;    // bytes dropped from the buffer's front so far
  std::size_t last_start_ = 0;  // buffer offset of the last record read
  std::uint64_t records_ = 0;   // records delivered
  bool has_last_ = false;
  bool in_memory_ = false;
  bool input_ended_ = false;    // end of file or Ctrl-Z seen
  bool read_error_ = false;
  IoStatus read_status_ = IoStatus::ok;  // what every read gives after a read error
  std::size_t record_limit_ = kMaxRecordBytes;
};

}  // namespace korvan::text
