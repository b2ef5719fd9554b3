// The run sequence. It owns every piece of data of the run.
#include "run/run.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>
#include <variant>

#include "console/stop.h"
#include "reader/read_survey.h"
#include "reader/sounding_arrays.h"
#include "run/run_outputs.h"
#include "run/stops.h"
#include "table/column_plan.h"
#include "table/flight_lines.h"
#include "table/suitability.h"
#include "table/warnings.h"
#include "text/data_source.h"
#include "text/free_format_reader.h"
#include "text/text_helpers.h"
#include "writers/column_header.h"
#include "writers/csv_writer.h"
#include "writers/output_records.h"
#include "writers/output_unit.h"
#include "writers/row_writer.h"

namespace korvan::run {
namespace {

using text::IoStatus;

struct TypedName {
  std::string name;
  std::string line;  // as typed, where an unquoted name was cut short of it
};

// The name as typed at the prompt: one free-format text value, moved to the
// left and trimmed. A value that the field cannot hold (blanks inside the
// quotes before the name count, blanks after it do not) would be cut to a
// name the user did not type, so it stops the run instead.
TypedName read_name(text::InputUnit& standard_input) {
  std::array<char, kNameLength> field;
  field.fill(' ');
  std::size_t typed_length = 0;
  text::FreeFormatReader reader(standard_input);
  const text::Item items[] = {text::Item::of(field, &typed_length)};
  if (reader.read(items) != IoStatus::ok) estop("error reading file name");
  if (typed_length > kNameLength) estop("file name longer than 99 characters");
  text::left_adjust(field);
  TypedName typed{std::string(text::trim_right(std::string_view(field.data(), field.size()))), {}};
  std::string_view line = reader.record();
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  if (line != typed.name && !line.empty() && line.front() != '"' && line.front() != '\'') typed.line = line;
  return typed;
}

// A name cut at a slash, blank or comma names another file, mostly one that
// does not exist: the stop then says how it came about.
[[noreturn]] void stop_with_typing_hint(const console::FatalStop& stop, const TypedName& typed) {
  std::vector<std::string> details = stop.details();
  details.push_back("hint: \"" + typed.line + "\" was read as \"" + typed.name +
                    "\": an unquoted name ends at a slash, blank or comma; type the name in quotes or give it on "
                    "the command line");
  throw console::FatalStop(stop.console_line(), std::move(details));
}

// The rows file: the one that -o names ("-" is standard output), else
// vask.out, or vask.csv for --format csv, in the current directory.
std::string output_name(const ConversionOptions& options) {
  if (options.output_name) return *options.output_name;
  return options.format == OutputFormat::csv ? "vask.csv" : "vask.out";
}

// Zero bytes after the compressed data (a tape's last block leaves them)
// are passed over with a warning, or stop the run with --strict. Returns the
// number of warning lines.
std::int32_t warn_of_padding(const text::DataSource& data, const std::string& name,
                             const ConversionOptions& options, console::Diagnostics* diagnostics) {
  if (data.padding_bytes() == 0) return 0;
  const table::PaddingNotes notes = table::padding_notes(name, data.padding_bytes());
  if (options.strict) estop(notes.message, {notes.stop_line});
  if (diagnostics != nullptr) diagnostics->line(notes.warning_line);
  return 1;
}

void write_header_line(writers::OutputUnit& out, std::string_view output, std::string_view text,
                       writers::OutputRecord kind) {
  if (out.write_record(text, writers::record_tag(kind)) != IoStatus::ok) writers::stop_for_lost_record(out, output);
}

void write_vask_layout(const reader::SoundingArrays& arrays, std::int32_t nsound, const table::ColumnPlan& plan,
                       const std::string& data_name, writers::OutputUnit& out, const std::string& output) {
  write_header_line(out, output, "/ Converted from KORVAN file \"" + data_name + "\".",
                    writers::OutputRecord::first_header_line);
  write_header_line(out, output, "/ Column index:", writers::OutputRecord::second_header_line);
  write_header_line(out, output, "/    1  x-coordinate;", writers::OutputRecord::header);
  write_header_line(out, output, "/    2  y-coordinate;", writers::OutputRecord::header);
  write_header_line(out, output, "/    3  height (m);", writers::OutputRecord::header);
  std::vector<writers::Field> fields_a = writers::write_column_header(plan, out, output);
  writers::write_rows(arrays, nsound, plan, fields_a, out, output);
}

}  // namespace

ConversionSummary run_conversion(text::InputUnit& standard_input, console::Console& console,
                                 const ConversionOptions& options, console::Diagnostics* diagnostics) {
  console.write_record(" Converting from KORVAN predicted data format.");
  TypedName typed;
  if (options.data_name) {
    // A name on the command line has no field to fit: any length the system
    // takes will do.
    typed.name = *options.data_name;
  } else {
    console.write_open_record("  Enter the name of the data file ... ");
    typed = read_name(standard_input);
  }
  const std::string& name = typed.name;
  const std::string output = output_name(options);
  RunOutputs outputs(options, output, name, !options.data_name);
  // "-" on the command line is standard input; typed at the prompt, a file.
  text::DataSource data = options.data_name ? text::DataSource::open(name) : text::DataSource::open_file(name);

  reader::ReadOptions reading;
  reading.exact_coordinates = options.format == OutputFormat::csv;
  reading.empty_as_nan = options.format == OutputFormat::csv;
  if (options.pieces_minimum_bytes) reading.pieces_from_bytes = *options.pieces_minimum_bytes;
  reader::Survey survey;
  try {
    survey = reader::read_survey(data, console, reading);
  } catch (const console::FatalStop& stop) {
    if (!typed.line.empty() && data.state() == text::DataSource::State::missing) stop_with_typing_hint(stop, typed);
    throw;
  }
  ConversionSummary summary;
  summary.warnings = warn_of_padding(data, name, options, diagnostics);
  table::check_suitability(survey);
  const reader::Dimensions dims = survey.dims;
  summary.soundings = dims.nsound;
  std::optional<reader::SoundingArrays>& arrays = survey.arrays;
  const table::ColumnPlan plan = table::make_column_plan(*survey.first);
  const char* empty_becomes = options.format == OutputFormat::csv ? "left empty" : "written as 0";
  for (const table::Warning& warning : table::find_warnings(name, survey, plan, empty_becomes)) {
    if (options.strict) estop(warning.message, {warning.stop_line()});
    if (diagnostics != nullptr) diagnostics->line(warning.warning_line());
    ++summary.warnings;
  }

  // What the picture is asked to show is checked before the rows file is touched.
  std::optional<picture::SurveyPicture> picture;
  if (options.plot_name) {
    picture.emplace(*arrays, plan, name,
                    picture::PictureOrder{*options.plot_name, options.plot_channel, options.plot_line},
                    table::LineRule{options.line_gap_metres});
  }

  console.write_record("  Writing converted data to file \"" + output + "\".");
  writers::OutputUnit out;
  outputs.open_rows(out);
  if (options.format == OutputFormat::csv) {
    const std::vector<std::int32_t> lines =
        table::survey_flight_lines(*arrays, table::LineRule{options.line_gap_metres});
    writers::write_csv(*arrays, dims.nsound, plan, lines, arrays->soundx_exact, arrays->soundy_exact, out, output);
  } else {
    write_vask_layout(*arrays, dims.nsound, plan, name, out, output);
  }
  // "Done." only once every byte is in its place (and the picture drawn).
  if (out.flush() != IoStatus::ok) writers::stop_for_lost_record(out, output);
  if (picture) outputs.draw_picture(*picture);
  // Putting a file in the place of an older one, and closing one that
  // replaced an older one, can keep the system busy for a while (some file
  // systems start writing it out then); another thread gives the arrays'
  // memory back meanwhile, which the end of the run would do after it.
  std::optional<std::jthread> release;
  try {
    release.emplace([&arrays] { arrays.reset(); });
  } catch (const std::system_error&) {
    // No thread to be had: the arrays go at the end of the run, as ever.
  }
  outputs.put_in_place();
  console.write_record(" Done.");
  out.close();
  return summary;
}

}  // namespace korvan::run
