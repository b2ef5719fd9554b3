// Names of the records of vask.out, so that a refused write, found perhaps
// only when the buffer is written out, is reported for the right record.
#pragma once

#include <cstdint>
#include <string>

#include "textio/output_unit.h"

namespace korvan::driver {

enum class OutputRecord : std::uint64_t {
  first_header_line = 1,
  second_header_line = 2,
  header = 3,  // header lines 3 to 5 and every column label line
  row = 4,     // with the sounding number
};

textio::OutputUnit::RecordTag record_tag(OutputRecord kind, std::int64_t isound = 0);

// The message for a record that did not reach the file.
std::string write_failure_message(textio::OutputUnit::RecordTag tag);

}  // namespace korvan::driver
