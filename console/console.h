// console/, the lowest room: what the user sees besides the files - the
// console dialogue (here), standard error's diagnostics (diagnostics.h) and
// the stop that ends a run (stop.h). It uses no other room.
//
// Standard output with carriage control: the first character of each record
// says how the line starts and is not shown. A non-advancing record (the
// prompt) leaves the line open; the next record first ends it.
#pragma once

#include <string>
#include <string_view>

namespace korvan::console {

// Writes all of `bytes` to the descriptor, without a status: a write that the
// system refuses is lost, as on any console.
void write_unchecked(int fd, std::string_view bytes);

class Console {
 public:
  // Writes to the descriptor (standard output by default).
  explicit Console(int fd = 1) : fd_(fd) {}
  // Collects the bytes instead, for tests.
  explicit Console(std::string* capture) : capture_(capture) {}

  // One advancing record: carriage control, then the rest as one line.
  void write_record(std::string_view record);
  // One non-advancing record: shown at once, the line stays open.
  void write_open_record(std::string_view record);

 private:
  void emit(std::string_view bytes);

  int fd_ = -1;
  std::string* capture_ = nullptr;
  bool line_open_ = false;
};

}  // namespace korvan::console
