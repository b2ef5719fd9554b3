// The run's outputs as one list, compared pairwise with the data file and
// with one another; each kind of output names itself in the stops.
#include "run/run_outputs.h"

#include <cerrno>
#include <system_error>
#include <utility>
#include <variant>
#include <vector>

#include <unistd.h>

#include "picture/survey_picture.h"
#include "run/stops.h"

namespace korvan::run {
namespace {

struct Output {
  std::string name;
  std::string kind;     // "output file", "picture": what the stops call it
  std::string opening;  // "file", "picture": the same in "error opening ... for output"
  bool of_options;      // guarded before reading, replaced when complete
  std::optional<writers::FileIdentity> identity;
};

std::string system_text(int error) { return std::error_code(error, std::generic_category()).message(); }

bool same(const std::optional<writers::FileIdentity>& a, const std::optional<writers::FileIdentity>& b) {
  return a && b && *a == *b;
}

[[noreturn]] void stop_opening(const std::string& what, const std::string& name, const std::string& reason) {
  estop("error opening " + what + " \"" + name + "\" for output", {name + ": " + reason});
}

// Opens an output of the options; stops with the system's reason.
writers::OutputFile open_or_stop(const std::string& what, const std::string& name) {
  std::variant<writers::OutputFile, int> opened = writers::open_output_file(name);
  if (const int* error = std::get_if<int>(&opened)) stop_opening(what, name, system_text(*error));
  return std::get<writers::OutputFile>(std::move(opened));
}

// The data file as the run reads it. A "-" typed at the prompt names a file
// called "-".
std::optional<writers::FileIdentity> data_identity(const std::string& data_name, bool typed_name) {
  if (data_name == "-" && !typed_name) return writers::identity_of_descriptor(STDIN_FILENO);
  return writers::identity_of_existing(data_name);
}

}  // namespace

RunOutputs::RunOutputs(const ConversionOptions& options, const std::string& rows_name, const std::string& data_name,
                       bool typed_name)
    : rows_name_(rows_name),
      rows_of_options_(options.output_name.has_value() || options.format != OutputFormat::vask),
      plot_name_(options.plot_name),
      data_(data_identity(data_name, typed_name)) {
  const bool to_standard_output = rows_name == "-";
  if (to_standard_output && options.standard_output_closed) {
    stop_opening("file", rows_name, "standard output is closed");
  }

  std::vector<Output> outputs;
  outputs.push_back({rows_name, "output file", "file", rows_of_options_,
                     to_standard_output ? writers::identity_of_descriptor(STDOUT_FILENO)
                                        : writers::identity_of_output(rows_name)});
  if (plot_name_) {
    outputs.push_back({*plot_name_, "picture", "picture", true, writers::identity_of_output(*plot_name_)});
  }
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const Output& output = outputs[i];
    if (output.of_options && same(output.identity, data_)) {
      estop(output.kind + " \"" + output.name + "\" is the data file");
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (same(output.identity, outputs[j].identity)) {
        estop(output.kind + " \"" + output.name + "\" is the " + outputs[j].kind + " \"" + outputs[j].name + "\"");
      }
    }
  }
  for (const Output& output : outputs) {
    if (!output.of_options || output.name == "-") continue;
    if (const int error = writers::cannot_open_for_writing(output.name)) {
      stop_opening(output.opening, output.name, system_text(error));
    }
  }
}

void RunOutputs::open_rows(writers::OutputUnit& out) {
  const auto stop = [&](const std::string& reason) { stop_opening("file", rows_name_, reason); };
  if (rows_name_ == "-") {
    if (out.attach(STDOUT_FILENO, writers::BrokenPipe::end_process) != text::IoStatus::ok) stop(out.error_text());
    return;
  }
  if (!rows_of_options_) {
    if (same(writers::identity_of_output(rows_name_), data_)) stop("is the data file");
    if (out.open_replacing(rows_name_) != text::IoStatus::ok) stop(out.error_text());
    return;
  }
  rows_file_.emplace(open_or_stop("file", rows_name_));
  // The unit closes a descriptor of its own; this one stays open until the
  // file is in its place.
  const int fd = ::dup(rows_file_->descriptor());
  if (fd < 0) stop(system_text(errno));
  if (out.attach(fd) != text::IoStatus::ok) stop(out.error_text());
}

void RunOutputs::draw_picture(const picture::SurveyPicture& picture) {
  if (!plot_name_) return;
  const std::string& name = *plot_name_;
  picture_file_.emplace(open_or_stop("picture", name));
  if (const std::optional<std::string> failure = picture.draw(picture_file_->descriptor())) {
    picture_file_.reset();
    put_in_place();
    estop("error writing picture \"" + name + "\"", {name + ": " + *failure});
  }
}

void RunOutputs::put_in_place() {
  if (rows_file_) {
    if (const int error = rows_file_->put_in_place()) {
      estop("error replacing file \"" + rows_name_ + "\"", {rows_name_ + ": " + system_text(error)});
    }
  }
  if (picture_file_) {
    if (const int error = picture_file_->put_in_place()) {
      estop("error writing picture \"" + *plot_name_ + "\"", {*plot_name_ + ": " + system_text(error)});
    }
  }
}

}  // namespace korvan::run
