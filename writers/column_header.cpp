// Label lines: "/", two blanks, the column number (I3), two blanks, the
// frequency text, "Hz, ", the orientation letter, the component words and
// ";" or, on the very last line, ".".
#include "writers/column_header.h"

#include <new>
#include <string>

#include "console/stop.h"
#include "format/fixed_format.h"
#include "writers/output_records.h"

namespace korvan::writers {
namespace {

void write_label(OutputUnit& out, std::string_view file_name, std::int32_t column, const std::string& label,
                 char terminator) {
  std::string line = "/  ";
  std::string number(3, ' ');
  format::render_i(number, column);
  line += number;
  line += "  ";
  line += label;
  line += terminator;
  if (out.write_record(line, record_tag(OutputRecord::header)) != text::IoStatus::ok) {
    stop_for_lost_record(out, file_name);
  }
}

}  // namespace

std::vector<Field> write_column_header(const table::ColumnPlan& plan, OutputUnit& out, std::string_view file_name) {
  std::int32_t column = 3;
  for (const table::DataColumn& data : plan) {
    const char terminator = &data == &plan.back() ? '.' : ';';
    write_label(out, file_name, ++column, table::column_label(data), terminator);
  }
  try {
    return std::vector<Field>(static_cast<std::size_t>(column - 2));
  } catch (const std::bad_alloc&) {
    console::stop("error allocating space for output fields");
  }
}

}  // namespace korvan::writers
