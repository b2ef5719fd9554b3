// Outcome of a record input or output operation.
#pragma once

namespace korvan::text {

enum class IoStatus {
  ok,
  end_of_file,    // input ended before the operation was complete
  malformed,      // a value that the item's kind cannot hold
  short_record,   // a read confined to one line found the line ended
  failed,         // the system refused the operation (open, read, write, close)
  too_long,       // a record longer than any entry of a data file can need
};

}  // namespace korvan::text
