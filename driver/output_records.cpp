// Record tags: the kind in the top bits, the sounding number below.
#include "driver/output_records.h"

#include "textio/fixed_format.h"

namespace korvan::driver {
namespace {

constexpr int kKindShift = 48;

}  // namespace

textio::OutputUnit::RecordTag record_tag(OutputRecord kind, std::int64_t isound) {
  return (static_cast<std::uint64_t>(kind) << kKindShift) | static_cast<std::uint64_t>(isound);
}

std::string write_failure_message(textio::OutputUnit::RecordTag tag) {
  const auto kind = static_cast<OutputRecord>(tag >> kKindShift);
  const auto isound = static_cast<std::int64_t>(tag & ((std::uint64_t{1} << kKindShift) - 1));
  switch (kind) {
    case OutputRecord::first_header_line:
      return "error writing first header line to \"vask.out\"";
    case OutputRecord::second_header_line:
      return "error writing second header line to \"vask.out\"";
    case OutputRecord::row:
      return "error writing data for sounding " + textio::integer_text(isound, 9) + " to \"vask.out\"";
    case OutputRecord::header:
      break;
  }
  return "error writing header to \"vask.out\"";
}

}  // namespace korvan::driver
