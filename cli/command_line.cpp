// Command-line parsing with CLI11. CLI11 collects the options; an argument
// it does not know is left over and named here, so that an unknown option
// and a second file name keep their own messages.
#include "cli/command_line.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>

#include <CLI/CLI.hpp>

namespace korvan::cli {
namespace {

constexpr std::string_view kPlotEndings[] = {".png", ".svg", ".pdf"};

bool ends_with_any_case(std::string_view text, std::string_view ending) {
  return text.size() >= ending.size() &&
         std::equal(ending.begin(), ending.end(), text.end() - static_cast<std::ptrdiff_t>(ending.size()),
                    [](char e, char t) { return e == std::tolower(static_cast<unsigned char>(t)); });
}

// CLI11 validators return an empty text for a good value.
std::string check_format(const std::string& value) {
  return value == "vask" || value == "csv" ? "" : "'" + value + "' is neither vask nor csv";
}

std::string check_plot_name(const std::string& value) {
  const bool known = std::any_of(std::begin(kPlotEndings), std::end(kPlotEndings),
                                 [&](std::string_view ending) { return ends_with_any_case(value, ending); });
  return known ? "" : "'" + value + "' does not end in .png, .svg or .pdf";
}

std::string check_line_number(const std::string& value) {
  const bool digits = !value.empty() && value.size() <= 10 &&
                      std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
  const bool in_range = digits && std::stoll(value) >= 1 && std::stoll(value) <= INT32_MAX;
  return in_range ? "" : "'" + value + "' is not a flight line number (1, 2, ...)";
}

// The whole text must be the number: "50m" or "5e" is not a gap.
std::optional<double> metres(const std::string& value) {
  double number = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (error != std::errc() || end != value.data() + value.size()) return std::nullopt;
  return number;
}

std::string check_line_gap(const std::string& value) {
  const std::optional<double> gap = metres(value);
  return gap && std::isfinite(*gap) && *gap > 0 ? "" : "'" + value + "' is not a positive number of metres";
}

// The first argument that CLI11 left over names the error. After "--" every
// argument is a file name, even one that starts with "-".
std::string leftover_error(const std::vector<std::string>& leftovers) {
  bool names_only = false;
  for (const std::string& argument : leftovers) {
    if (!names_only && argument == "--") {
      names_only = true;
      continue;
    }
    if (!names_only && argument.size() > 1 && argument.front() == '-') {
      return "korvan2col: unknown option '" + argument + "'";
    }
    return "korvan2col: only one data file can be converted at a time";
  }
  return "";
}

}  // namespace

CommandLine parse_command_line(std::span<char* const> arguments) {
  CommandLine line;
  run::ConversionOptions& options = line.options;
  std::string data_name;
  std::string output_name;
  std::string format = "vask";
  std::string plot_name;
  std::string channel;
  std::string line_number;
  std::string line_gap;
  bool help = false;
  bool version = false;

  CLI::App app;
  app.set_help_flag();  // --help shows usage_text()
  app.allow_extras();   // leftovers are named by leftover_error()
  CLI::Option* data = app.add_option("FILE", data_name);
  CLI::Option* output = app.add_option("-o,--output", output_name)->type_name("FILE");
  app.add_option("--format", format)->type_name("vask|csv")->check(check_format);
  CLI::Option* plot = app.add_option("--plot", plot_name)->type_name("FILE")->check(check_plot_name);
  CLI::Option* channel_option = app.add_option("--channel", channel)->type_name("NAME");
  CLI::Option* line_option = app.add_option("--line", line_number)->type_name("N")->check(check_line_number);
  CLI::Option* line_gap_option =
      app.add_option("--line-gap", line_gap)->type_name("METRES")->check(check_line_gap);
  app.add_flag("--strict", options.strict);
  app.add_flag("-h,--help", help);
  app.add_flag("--version", version);

  try {
    app.parse(static_cast<int>(arguments.size()), arguments.data());
  } catch (const CLI::ParseError& error) {
    line.action = CommandLine::Action::usage_error;
    line.error = std::string("korvan2col: ") + error.what();
    return line;
  }
  if (help) {
    line.action = CommandLine::Action::help;
    return line;
  }
  if (version) {
    line.action = CommandLine::Action::version;
    return line;
  }
  line.error = leftover_error(app.remaining());
  if (!line.error.empty()) {
    line.action = CommandLine::Action::usage_error;
    return line;
  }
  if (data->count() > 0) options.data_name = data_name;
  if (output->count() > 0) options.output_name = output_name;
  options.format = format == "csv" ? run::OutputFormat::csv : run::OutputFormat::vask;
  if (plot->count() > 0) options.plot_name = plot_name;
  // Both say what the picture shows, so they mean nothing without one.
  for (const CLI::Option* picture_option : {channel_option, line_option}) {
    if (picture_option->count() > 0 && plot->count() == 0) {
      line.action = CommandLine::Action::usage_error;
      line.error = "korvan2col: " + picture_option->get_name() + " needs --plot";
      return line;
    }
  }
  // The lines show in the CSV's line column and in the picture alone.
  if (line_gap_option->count() > 0 && format != "csv" && plot->count() == 0) {
    line.action = CommandLine::Action::usage_error;
    line.error = "korvan2col: --line-gap needs --format csv or --plot";
    return line;
  }
  if (channel_option->count() > 0) options.plot_channel = channel;
  if (line_option->count() > 0) options.plot_line = static_cast<std::int32_t>(std::stol(line_number));
  if (line_gap_option->count() > 0) options.line_gap_metres = metres(line_gap);
  return line;
}

std::string usage_text() {
  return "Usage: korvan2col [OPTIONS] [FILE]\n"
         "       korvan2col --help | --version\n"
         "\n"
         "Converts a KORVAN predicted-data file to the column file vask.out in the\n"
         "current directory. Without FILE, asks for the name of the data file;\n"
         "FILE \"-\" is standard input.\n"
         "\n"
         "Options:\n"
         "  -o, --output FILE  write the rows to FILE instead of vask.out (or vask.csv);\n"
         "                     \"-\" is standard output, and the dialogue then goes to\n"
         "                     standard error\n"
         "                       korvan2col -o line1.out survey.prd\n"
         "  --format vask|csv  vask: the columns of vask.out (the default); csv: a\n"
         "                     header row of column names, then comma-separated\n"
         "                     values, to vask.csv\n"
         "                       korvan2col --format csv survey.prd\n"
         "  --plot FILE        also draw the survey to FILE, ending in .png, .svg or .pdf:\n"
         "                     a map coloured by one column and profiles line by line\n"
         "                       korvan2col --plot survey.svg survey.prd\n"
         "  --channel NAME     with --plot: the column that colours the map, named as\n"
         "                     in --format csv (default: the first data column)\n"
         "                       korvan2col --plot survey.png --channel 900Hz_z_quadrature survey.prd\n"
         "  --line N           with --plot: draw flight line N's profiles and mark it on\n"
         "                     the map (lines are numbered from 1 in file order)\n"
         "                       korvan2col --plot line12.png --line 12 survey.prd\n"
         "  --line-gap METRES  with --format csv or --plot: a step longer than METRES\n"
         "                     between soundings ends a flight line (default: 5 times\n"
         "                     the median step)\n"
         "                       korvan2col --format csv --line-gap 60 survey.prd\n"
         "  --strict           stop instead of warning\n"
         "                       korvan2col --strict survey.prd\n"
         "  -h, --help         show this text and exit\n"
         "                       korvan2col --help\n"
         "  --version          show the version and exit\n"
         "                       korvan2col --version\n"
         "  --                 end of the options: the next argument is FILE\n"
         "                       korvan2col -- -line1.prd\n"
         "\n"
         "Exit status: 0 when the conversion is done, 1 when it stopped with a\n"
         "message, 2 for a wrong command line.\n";
}

std::string version_text() { return std::string("korvan2col ") + KORVAN_VERSION + "\n"; }

std::string usage_reminder() { return "korvan2col: usage: korvan2col [OPTIONS] [FILE]; korvan2col --help lists them\n"; }

}  // namespace korvan::cli
