// Outcome of a record input or output operation, and its numeric form for the
// one place that still speaks in 0 / -1 / positive codes.
#pragma once

namespace korvan::textio {

enum class IoStatus {
  ok,
  end_of_file,    // input ended before the operation was complete
  malformed,      // a value that the item's kind cannot hold
  short_record,   // a read confined to one line found the line ended
  failed,         // the system refused the operation (open, read, write, close)
};

// 0 for success, -1 for end of file, a positive code for every failure.
constexpr int status_code(IoStatus status) {
  switch (status) {
    case IoStatus::ok: return 0;
    case IoStatus::end_of_file: return -1;
    case IoStatus::malformed: return 1;
    case IoStatus::short_record: return 2;
    case IoStatus::failed: return 3;
  }
  return 3;
}

}  // namespace korvan::textio
