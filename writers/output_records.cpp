// Record tags: the kind in the top bits, the sounding number below.
#include "writers/output_records.h"

#include "console/stop.h"
#include "format/fixed_format.h"
#include "text/text_helpers.h"

namespace korvan::writers {
namespace {

constexpr int kKindShift = 48;

}  // namespace

OutputUnit::RecordTag record_tag(OutputRecord kind, std::int64_t number) {
  return (static_cast<std::uint64_t>(kind) << kKindShift) | static_cast<std::uint64_t>(number);
}

OutputRecord record_kind(OutputUnit::RecordTag tag) { return static_cast<OutputRecord>(tag >> kKindShift); }

std::int64_t record_number(OutputUnit::RecordTag tag) {
  return static_cast<std::int64_t>(tag & ((std::uint64_t{1} << kKindShift) - 1));
}

std::string write_failure_message(OutputUnit::RecordTag tag, std::string_view file_name) {
  const std::string to_file = " to \"" + std::string(file_name) + "\"";
  switch (record_kind(tag)) {
    case OutputRecord::first_header_line:
      return "error writing first header line" + to_file;
    case OutputRecord::second_header_line:
      return "error writing second header line" + to_file;
    case OutputRecord::row:
      return "error writing data for sounding " + text::integer_text(record_number(tag), 9) + to_file;
    case OutputRecord::row_byte:
      return "error writing data" + to_file;
    case OutputRecord::header:
      break;
  }
  return "error writing header" + to_file;
}

void stop_for_lost_record(const OutputUnit& out, std::string_view file_name) {
  console::stop(write_failure_message(out.failed_record(), file_name),
                {std::string(file_name) + ": " + out.error_text()});
}

}  // namespace korvan::writers
