// Names of the records of the rows file (vask.out or the file that the
// options name), so that a refused write, found perhaps only when the buffer
// is written out, is reported for the right record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "writers/output_unit.h"

namespace korvan::writers {

enum class OutputRecord : std::uint64_t {
  first_header_line = 1,
  second_header_line = 2,
  header = 3,    // header lines 3 to 5, every column label line, the CSV header row
  row = 4,       // with the sounding number
  row_byte = 5,  // a byte of the CSV rows, with its offset among them
};

// A kind and a number (the sounding, or a byte's offset) in one tag.
OutputUnit::RecordTag record_tag(OutputRecord kind, std::int64_t number = 0);
OutputRecord record_kind(OutputUnit::RecordTag tag);
std::int64_t record_number(OutputUnit::RecordTag tag);

// The message for a record that did not reach the file `file_name`. A CSV
// row byte is named by its sounding by the CSV writer, before this.
std::string write_failure_message(OutputUnit::RecordTag tag, std::string_view file_name);

// Stops with the message for the first record that `out` lost.
[[noreturn]] void stop_for_lost_record(const OutputUnit& out, std::string_view file_name);

}  // namespace korvan::writers
