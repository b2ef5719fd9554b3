// Several data files a run (korvan2col FILE FILE..., or --output-dir DIR):
// each file converted to its own rows file named after it, several at once,
// with one summary line a file on standard error in the order the files were
// given and nothing on standard output. The conversion of each file is the
// run of run.h with its name and output given; its dialogue is not shown.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "run/run.h"
#include "writers/signal_cleanup.h"

namespace korvan::run {

// -j takes 1 to this many files at once: each holds a temporary name for the
// signal handlers while it is put in place.
inline constexpr int kMaxFilesAtOnce = writers::kMaxFilesAtOnce;

struct BatchOrder {
  std::vector<std::string> data_names;    // as given, in order
  std::optional<std::string> output_dir;  // --output-dir: the rows files go there, else beside their data
  int files_at_once = 1;                  // -j
  ConversionOptions conversion;           // --format, --strict, --line-gap: for every file
};

struct BatchFile {
  std::string data_name;
  std::string output_name;
};

// The rows file of a data file: its final name without a ".gz" ending, the
// last extension replaced by ".out" (".csv" for the CSV) or ".out" added
// ("line7.prd.gz" -> "line7.out", "data" -> "data.out"), beside the data
// file as named, or in `output_dir`.
std::string batch_output_name(std::string_view data_name, OutputFormat format,
                              const std::optional<std::string>& output_dir);

// The files with their rows files, or the line (starting "korvan2col: ") of
// a wrong command line: an --output-dir that is not a directory, a data
// file that exists but is not a regular file, two rows files that are one
// file, a rows file that is one of the data files (by any name). Reads and
// writes nothing but the file system's names.
std::variant<std::vector<BatchFile>, std::string> plan_batch(const BatchOrder& order);

// Converts the files, order.files_at_once at a time; writes each file's
// summary line and its own diagnostic lines to `error_fd` in file order.
// True when every file was converted.
bool run_batch(const std::vector<BatchFile>& files, const BatchOrder& order, int error_fd);

}  // namespace korvan::run
