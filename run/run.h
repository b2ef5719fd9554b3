// run/: the conversion run, the documented dialogue - the sequence below,
// its stop (stops.h) and the files it writes (run_outputs.h). It uses
// console/, text/, reader/, table/, writers/ and picture/.
//
// The run sequence: banner, prompt, file name, scan, arrays, load, checks,
// the rows file with its header, column labels and rows, then "Done.".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "console/console.h"
#include "console/diagnostics.h"
#include "text/input_unit.h"

namespace korvan::run {

// The name typed at the prompt holds at most this many characters.
inline constexpr std::size_t kNameLength = 99;

enum class OutputFormat { vask, csv };

// What the command line asks of a run; the defaults are the plain dialogue
// that writes vask.out.
struct ConversionOptions {
  std::optional<std::string> data_name;    // given: no prompt; "-" is standard input
  std::optional<std::string> output_name;  // -o
  OutputFormat format = OutputFormat::vask;
  std::optional<std::string> plot_name;    // --plot: the picture drawn after the rows file
  std::optional<std::string> plot_channel;  // --channel: the column that colours the picture's map
  std::optional<std::int32_t> plot_line;    // --line: the flight line whose profiles the picture draws
  bool strict = false;                     // --strict: what would be a warning stops the run
  // --line-gap: a step longer than this many metres ends a flight line (the
  // CSV's line column, the picture's lines); else the rule's own threshold.
  std::optional<double> line_gap_metres;
  // Files from this size on are read in pieces on threads (tests make it 0,
  // so that small surveys are read that way too).
  std::optional<std::uint64_t> pieces_minimum_bytes;
  // Not an option: standard output was closed when the process started
  // (main has opened it on /dev/null since), so "-o -" has nowhere to go.
  bool standard_output_closed = false;
};

// What a conversion that got to "Done." did.
struct ConversionSummary {
  std::int32_t soundings = 0;
  std::int32_t warnings = 0;  // warning lines given to the diagnostics
};

// Runs one conversion in the current directory. With a data name given, the
// prompt is not shown and standard input is not read. Every failure ends by
// throwing console::FatalStop with the console line. Warnings go to
// `diagnostics` (none are shown without it).
ConversionSummary run_conversion(text::InputUnit& standard_input, console::Console& console,
                    const ConversionOptions& options = {}, console::Diagnostics* diagnostics = nullptr);

}  // namespace korvan::run
