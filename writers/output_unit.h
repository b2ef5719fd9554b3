// The output file connection (unit 20): records end in CR LF and are buffered,
// yet a refused write is reported for the first record that did not reach the
// file, as if every record had been written on its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text/status.h"

namespace korvan::writers {

// What a write into a pipe whose reader has gone (EPIPE) does: report the
// failure like any other, or end the process by SIGPIPE, as a filter ends
// when the rest of its pipeline needs no more (`korvan2col -o - a.prd | head`).
enum class BrokenPipe { report, end_process };

class OutputUnit {
 public:
  // Caller-chosen name of a record, handed back when that record failed.
  using RecordTag = std::uint64_t;

  explicit OutputUnit(std::size_t buffer_bytes = std::size_t{1} << 20);
  ~OutputUnit();  // closes (a stop keeps the lines written)
  // Flushes what is buffered and closes the file, as the end of the run
  // does; a failure here goes unreported, as it would then.
  void close();
  OutputUnit(const OutputUnit&) = delete;
  OutputUnit& operator=(const OutputUnit&) = delete;

  // Creates the file, or empties an existing one. On failure errno says why.
  text::IoStatus open_replacing(std::string_view name);
  // Writes to a descriptor that is already open (standard output, a file
  // opened elsewhere) instead; the unit closes it as it would a file of its
  // own.
  text::IoStatus attach(int fd, BrokenPipe on_broken_pipe = BrokenPipe::report);

  // Appends one record and its CR LF. A failure may concern an earlier
  // record still in the buffer: failed_record() names the first one lost.
  text::IoStatus write_record(std::string_view text, RecordTag tag);

  // Room for one record of `length` characters, to be filled in place and
  // committed with commit_record(); avoids a copy for the rows.
  char* reserve_record(std::size_t length);
  text::IoStatus commit_record(std::size_t length, RecordTag tag);

  // Appends records already laid out with their CR LF: `bytes` holds a run
  // of records of `record_bytes` each (line end included), tagged first_tag,
  // first_tag + 1, and so on.
  text::IoStatus write_block(const char* data, std::size_t bytes, std::size_t record_bytes, RecordTag first_tag);

  // Writes every buffered byte to the file.
  text::IoStatus flush();

  RecordTag failed_record() const { return failed_tag_; }
  // Why the open or a write failed, in the system's words.
  std::string error_text() const;

 private:
  // A run of equally long records in the buffer (most often just one).
  struct Pending {
    std::size_t start;         // buffer offset of the run's first byte
    std::size_t record_bytes;  // each record's length, line end included
    std::size_t count;
    RecordTag first_tag;
  };

  text::IoStatus make_room(std::size_t bytes);
  text::IoStatus write_out();
  text::IoStatus write_direct(const char* data, std::size_t bytes, std::size_t record_bytes, RecordTag first_tag);
  void note_failure(std::size_t written);
  void end_process_if_reader_gone() const;

  int fd_ = -1;
  BrokenPipe on_broken_pipe_ = BrokenPipe::report;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_;
  std::size_t used_ = 0;
  std::vector<Pending> pending_;
  bool broken_ = false;
  RecordTag failed_tag_ = 0;
  int error_ = 0;
};

}  // namespace korvan::writers
