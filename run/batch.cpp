// Several files a run: the plan (names and the checks made before any
// work) and the conversions on worker threads, their reports written by the
// calling thread in file order as soon as each is due.
#include "run/batch.h"

#include <atomic>
#include <cstdint>
#include <condition_variable>
#include <map>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <tuple>

#include <sys/stat.h>

#include "console/console.h"
#include "console/diagnostics.h"
#include "console/stop.h"
#include "text/input_unit.h"
#include "writers/file_identity.h"

namespace korvan::run {
namespace {

constexpr std::string_view kCompressedEnding = ".gz";

// FileIdentity as a map key.
using IdentityKey = std::tuple<dev_t, ino_t, std::string>;

IdentityKey key_of(const writers::FileIdentity& identity) {
  return {identity.device, identity.inode, identity.name};
}

// "1 sounding", "2 soundings": the summary line is new text, read by people.
std::string counted(std::int64_t n, const std::string& thing) {
  return std::to_string(n) + " " + thing + (n == 1 ? "" : "s");
}

std::string wrong(const std::string& text) { return "korvan2col: " + text; }

// The stop's text without the "Stop" that starts its console line.
std::string stop_text(const std::string& console_line) {
  for (const std::string_view start : {std::string_view("Stop: "), std::string_view("Stop 'cause ")}) {
    if (console_line.starts_with(start)) return console_line.substr(start.size());
  }
  return console_line;
}

// One file's report: its summary line and its diagnostic lines.
struct Report {
  std::string text;
  bool converted = false;
};

Report convert_one(const BatchFile& file, const ConversionOptions& shared) {
  ConversionOptions options = shared;
  options.data_name = file.data_name;
  options.output_name = file.output_name;
  std::string dialogue;  // not shown: the summary line stands for it
  console::Console console(&dialogue);
  std::string diagnostic_lines;
  console::Diagnostics diagnostics(&diagnostic_lines);
  text::InputUnit no_standard_input;
  Report report;
  std::string summary = "korvan2col: " + file.data_name + ": ";
  try {
    const ConversionSummary done = run_conversion(no_standard_input, console, options, &diagnostics);
    summary += counted(done.soundings, "sounding") + " -> " + file.output_name;
    if (done.warnings > 0) summary += ", " + counted(done.warnings, "warning");
    report.converted = true;
  } catch (const console::FatalStop& stop) {
    summary += "stopped: " + stop_text(stop.console_line());
    for (const std::string& detail : stop.details()) diagnostics.line(detail);
  } catch (const std::bad_alloc&) {
    summary += "stopped: out of memory.";
  }
  report.text = summary + "\n" + diagnostic_lines;
  return report;
}

// The reports, filled in by the workers and written in file order.
class Reports {
 public:
  explicit Reports(std::size_t count) : reports_(count) {}

  void put(std::size_t index, Report report) {
    {
      const std::lock_guard lock(mutex_);
      reports_[index] = std::move(report);
    }
    ready_.notify_all();
  }

  // Waits for report `index`, then hands it over.
  Report take(std::size_t index) {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [&] { return reports_[index].has_value(); });
    return *std::move(reports_[index]);
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::vector<std::optional<Report>> reports_;
};

}  // namespace

std::string batch_output_name(std::string_view data_name, OutputFormat format,
                              const std::optional<std::string>& output_dir) {
  const std::size_t slash = data_name.find_last_of('/');
  const std::size_t name_start = slash == std::string_view::npos ? 0 : slash + 1;
  std::string_view name = data_name.substr(name_start);
  if (name.size() > kCompressedEnding.size() && name.ends_with(kCompressedEnding)) {
    name.remove_suffix(kCompressedEnding.size());
  }
  // A leading dot starts a hidden name, not an extension.
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
  const std::string final_name = std::string(name) + (format == OutputFormat::csv ? ".csv" : ".out");
  if (!output_dir) return std::string(data_name.substr(0, name_start)) + final_name;
  return *output_dir + (output_dir->ends_with('/') ? "" : "/") + final_name;
}

std::variant<std::vector<BatchFile>, std::string> plan_batch(const BatchOrder& order) {
  struct stat info {};
  if (order.output_dir && (::stat(order.output_dir->c_str(), &info) != 0 || !S_ISDIR(info.st_mode))) {
    return wrong("--output-dir: '" + *order.output_dir + "' is not a directory");
  }
  std::vector<BatchFile> files;
  std::map<IdentityKey, std::size_t> data_files;  // by identity: the first file of that identity
  for (const std::string& name : order.data_names) {
    // A missing file is that file's stop; a FIFO or device would be read
    // by one file's conversion and lost to any other that names it.
    if (::stat(name.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
      return wrong(name + ": not a regular file; several files or --output-dir convert regular files only");
    }
    if (const std::optional<writers::FileIdentity> identity = writers::identity_of_existing(name)) {
      data_files.emplace(key_of(*identity), files.size());
    }
    files.push_back({name, batch_output_name(name, order.conversion.format, order.output_dir)});
  }
  std::map<IdentityKey, std::size_t> outputs;  // by identity: the file whose rows go there
  std::map<std::string, std::size_t> unplaced_outputs;  // names without an identity, as written
  for (std::size_t i = 0; i < files.size(); ++i) {
    const BatchFile& file = files[i];
    const std::optional<writers::FileIdentity> identity = writers::identity_of_output(file.output_name);
    const std::size_t first = identity ? outputs.emplace(key_of(*identity), i).first->second
                                       : unplaced_outputs.emplace(file.output_name, i).first->second;
    if (first != i) {
      return wrong(files[first].data_name + " and " + file.data_name + " would both be converted to " +
                   file.output_name);
    }
    if (!identity) continue;
    if (const auto data = data_files.find(key_of(*identity)); data != data_files.end()) {
      return wrong(file.data_name + " would be converted to " + file.output_name + ", which is the data file " +
                   files[data->second].data_name);
    }
  }
  return files;
}

bool run_batch(const std::vector<BatchFile>& files, const BatchOrder& order, int error_fd) {
  Reports reports(files.size());
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < files.size(); i = next++) {
      reports.put(i, convert_one(files[i], order.conversion));
    }
  };
  std::vector<std::jthread> workers;
  const auto wanted = std::min(files.size(), static_cast<std::size_t>(std::max(order.files_at_once, 1)));
  try {
    while (workers.size() < wanted) workers.emplace_back(work);
  } catch (const std::system_error&) {
    // Fewer threads than asked for: those there are share the files.
  }
  // Without any worker, the files are converted here, one after another.
  if (workers.empty()) work();
  bool all_converted = true;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const Report report = reports.take(i);
    console::write_unchecked(error_fd, report.text);
    all_converted &= report.converted;
  }
  return all_converted;
}

}  // namespace korvan::run
