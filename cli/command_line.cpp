// Command-line parsing with CLI11. CLI11 collects the options and the file
// names; an option it does not know is left over and named here.
#include "cli/command_line.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>
#include <thread>

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

std::string check_files_at_once(const std::string& value) {
  const bool digits = !value.empty() && value.size() <= 2 &&
                      std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
  const bool in_range = digits && std::stoi(value) >= 1 && std::stoi(value) <= run::kMaxFilesAtOnce;
  return in_range ? "" : "'" + value + "' is not a number of files at once from 1 to " +
                             std::to_string(run::kMaxFilesAtOnce);
}

// The first argument that CLI11 left over names the error: every file name
// goes to FILE, so what is left is an unknown option.
std::string leftover_error(const std::vector<std::string>& leftovers) {
  for (const std::string& argument : leftovers) {
    if (argument != "--") return "korvan2col: unknown option '" + argument + "'";
  }
  return "";
}

// By default, as many files at once as the machine has cores.
int default_files_at_once() {
  const unsigned cores = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp(cores, 1U, static_cast<unsigned>(run::kMaxFilesAtOnce)));
}

// What a run of several files cannot take: standard input, one output name
// for all, and a picture. Empty when all is well.
std::string batch_error(const std::vector<std::string>& data_names, bool output, bool plot) {
  if (output) {
    return "korvan2col: -o names one rows file; with several files or --output-dir each is named after its data";
  }
  if (plot) return "korvan2col: --plot draws one survey; it cannot be used with several files or --output-dir";
  if (std::find(data_names.begin(), data_names.end(), "-") != data_names.end()) {
    return "korvan2col: - (standard input) cannot be one of several files or used with --output-dir";
  }
  if (data_names.empty()) return "korvan2col: --output-dir needs at least one FILE";
  return "";
}

}  // namespace

CommandLine parse_command_line(std::span<char* const> arguments) {
  CommandLine line;
  run::ConversionOptions& options = line.options;
  std::vector<std::string> data_names;
  std::string output_name;
  std::string output_dir;
  std::string files_at_once;
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
  app.add_option("FILE", data_names);
  CLI::Option* output = app.add_option("-o,--output", output_name)->type_name("FILE");
  CLI::Option* output_dir_option = app.add_option("--output-dir", output_dir)->type_name("DIR");
  CLI::Option* files_at_once_option = app.add_option("-j", files_at_once)->type_name("N")->check(check_files_at_once);
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
  if (!data_names.empty()) options.data_name = data_names.front();
  if (output->count() > 0) options.output_name = output_name;
  options.format = format == "csv" ? run::OutputFormat::csv : run::OutputFormat::vask;
  const bool batch = data_names.size() > 1 || output_dir_option->count() > 0;
  if (batch) {
    line.error = batch_error(data_names, output->count() > 0, plot->count() > 0);
    if (!line.error.empty()) {
      line.action = CommandLine::Action::usage_error;
      return line;
    }
  }
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
  if (batch) {
    line.action = CommandLine::Action::convert_batch;
    line.batch.data_names = std::move(data_names);
    if (output_dir_option->count() > 0) line.batch.output_dir = output_dir;
    line.batch.files_at_once =
        files_at_once_option->count() > 0 ? std::stoi(files_at_once) : default_files_at_once();
    line.batch.conversion = options;
    line.batch.conversion.data_name.reset();
  }
  return line;
}

std::string usage_text() {
  return "Usage: korvan2col [OPTIONS] [FILE]\n"
         "       korvan2col [OPTIONS] FILE FILE...\n"
         "       korvan2col [OPTIONS] --output-dir DIR FILE...\n"
         "       korvan2col --help | --version\n"
         "\n"
         "Converts a KORVAN predicted-data file to the column file vask.out in the\n"
         "current directory. Without FILE, asks for the name of the data file;\n"
         "FILE \"-\" is standard input. Several files, or any with --output-dir, are\n"
         "each converted to a rows file named after them (line7.prd -> line7.out),\n"
         "beside them or in DIR, with one line a file on standard error.\n"
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
         "  --output-dir DIR   write each file's rows file to DIR (a file or more)\n"
         "                       korvan2col --output-dir rows/ line*.prd\n"
         "  -j N               with several files: convert N at once (default: the\n"
         "                     number of cores)\n"
         "                       korvan2col -j 2 line*.prd\n"
         "  --strict           stop instead of warning\n"
         "                       korvan2col --strict survey.prd\n"
         "  -h, --help         show this text and exit\n"
         "                       korvan2col --help\n"
         "  --version          show the version and exit\n"
         "                       korvan2col --version\n"
         "  --                 end of the options: the arguments after it are files\n"
         "                       korvan2col -- -line1.prd\n"
         "\n"
         "Exit status: 0 when the conversion is done (every file's, of several), 1\n"
         "when it stopped with a message, 2 for a wrong command line.\n";
}

std::string version_text() { return std::string("korvan2col ") + KORVAN_VERSION + "\n"; }

std::string usage_reminder() {
  return "korvan2col: usage: korvan2col [OPTIONS] [FILE...]; korvan2col --help lists them\n";
}

}  // namespace korvan::cli
