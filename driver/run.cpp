// The run sequence. It owns every piece of data of the run.
#include "driver/run.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include "driver/column_header.h"
#include "driver/column_plan.h"
#include "driver/csv_writer.h"
#include "driver/diagnostics.h"
#include "driver/output_records.h"
#include "driver/row_writer.h"
#include "driver/stops.h"
#include "driver/suitability.h"
#include "reader/getdims.h"
#include "reader/getprd.h"
#include "reader/sounding_arrays.h"
#include "textio/fixed_format.h"
#include "textio/free_format_reader.h"
#include "textio/output_unit.h"

namespace korvan::driver {
namespace {

using textio::IoStatus;

// The name as typed at the prompt: one free-format text value, moved to the
// left and trimmed. A value that the field cannot hold (blanks inside the
// quotes before the name count, blanks after it do not) would be cut to a
// name the user did not type, so it stops the run instead.
std::string read_name(textio::InputUnit& standard_input) {
  std::array<char, kNameLength> field;
  field.fill(' ');
  std::size_t typed_length = 0;
  textio::FreeFormatReader reader(standard_input);
  const textio::Item items[] = {textio::Item::of(field, &typed_length)};
  if (reader.read(items) != IoStatus::ok) estop("error reading file name");
  if (typed_length > kNameLength) estop("file name longer than 99 characters");
  textio::left_adjust(field);
  return std::string(textio::trim_right(std::string_view(field.data(), field.size())));
}

// The rows file: the one that -o names ("-" is standard output), else
// vask.out, or vask.csv for --format csv, in the current directory.
std::string output_name(const ConversionOptions& options) {
  if (options.output_name) return *options.output_name;
  return options.format == OutputFormat::csv ? "vask.csv" : "vask.out";
}

// A rows file that the options chose is guarded and explained; the plain
// run's vask.out keeps its ways.
bool output_chosen(const ConversionOptions& options) {
  return options.output_name.has_value() || options.format != OutputFormat::vask;
}

// Replacing the data file with its conversion would lose the data, so the
// two are compared before either is touched.
void refuse_data_file_as_output(const std::string& data_name, const std::string& output) {
  if (output == "-") return;
  struct stat data {};
  struct stat rows {};
  if (::stat(data_name.c_str(), &data) != 0 || ::stat(output.c_str(), &rows) != 0) return;
  if (data.st_dev == rows.st_dev && data.st_ino == rows.st_ino) {
    estop("output file \"" + output + "\" is the data file");
  }
}

void open_output(textio::OutputUnit& out, const std::string& output, bool explain_failure) {
  const IoStatus opened = output == "-" ? out.attach(STDOUT_FILENO) : out.open_replacing(output);
  if (opened == IoStatus::ok) return;
  const int reason = errno;
  if (explain_failure) diagnose(output + ": " + std::strerror(reason));
  estop("error opening file \"" + output + "\" for output");
}

void write_header_line(textio::OutputUnit& out, std::string_view output, std::string_view text, OutputRecord kind) {
  if (out.write_record(text, record_tag(kind)) != IoStatus::ok) stop_for_lost_record(out, output);
}

void write_vask_layout(const reader::SoundingArrays& arrays, std::int32_t nsound, const ColumnPlan& plan,
                       const std::string& data_name, textio::OutputUnit& out, const std::string& output) {
  write_header_line(out, output, "/ Converted from KORVAN file \"" + data_name + "\".", OutputRecord::first_header_line);
  write_header_line(out, output, "/ Column index:", OutputRecord::second_header_line);
  write_header_line(out, output, "/    1  x-coordinate;", OutputRecord::header);
  write_header_line(out, output, "/    2  y-coordinate;", OutputRecord::header);
  write_header_line(out, output, "/    3  height (m);", OutputRecord::header);
  std::vector<Field> fields_a = write_column_header(plan, out, output);
  write_rows(arrays, nsound, plan, fields_a, out, output);
}

}  // namespace

void run_conversion(textio::InputUnit& standard_input, textio::Console& console, const ConversionOptions& options) {
  console.write_record(" Converting from KORVAN predicted data format.");
  std::string name;
  if (options.data_name) {
    // A name on the command line has no field to fit: any length the system
    // takes will do.
    name = *options.data_name;
  } else {
    console.write_open_record("  Enter the name of the data file ... ");
    name = read_name(standard_input);
  }
  const std::string output = output_name(options);
  if (output_chosen(options)) refuse_data_file_as_output(name, output);

  // The scan loads most files on the way; any other is loaded after it.
  const reader::DataFile file{name, name};
  reader::Scan scan = reader::getdims_mod::getdims(file, console);
  if (!scan.arrays) {
    scan.arrays = reader::allocate_sounding_arrays(scan.dims);
    if (!scan.arrays) estop("error allocating space for arrays");
  }
  reader::getprd_mod::getprd(file, scan);
  const reader::Dimensions dims = scan.dims;
  std::optional<reader::SoundingArrays>& arrays = scan.arrays;
  check_suitability(*arrays, dims.nsound);
  const ColumnPlan plan = make_column_plan(*arrays);

  console.write_record("  Writing converted data to file \"" + output + "\".");
  textio::OutputUnit out;
  open_output(out, output, output_chosen(options));
  if (options.format == OutputFormat::csv) {
    write_csv(*arrays, dims.nsound, plan, {}, {}, out, output);
  } else {
    write_vask_layout(*arrays, dims.nsound, plan, name, out, output);
  }
  // "Done." only once every byte is in the file.
  if (out.flush() != IoStatus::ok) stop_for_lost_record(out, output);
  console.write_record(" Done.");
  // Closing a file that replaced an older one can keep the system busy for
  // a while (some file systems start writing it out then); another thread
  // gives the arrays' memory back meanwhile, which the end of the run would
  // do after it.
  try {
    std::thread release([&arrays] { arrays.reset(); });
    out.close();
    release.join();
  } catch (const std::system_error&) {
    out.close();  // no thread to be had: both in turn, as ever
  }
}

}  // namespace korvan::driver
