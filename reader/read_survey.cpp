// The steps of a reading that any store shares, and the door that reads
// into the seventeen arrays.
#include "reader/read_survey.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <string>

#include "reader/survey_reading.h"
#include "text/free_format_reader.h"

namespace korvan::reader {
namespace reading_steps {

using text::IoStatus;

void check_opened(const text::DataSource& data) {
  if (data.state() == text::DataSource::State::missing) stop_at(FileStop::missing, data);
  if (data.state() == text::DataSource::State::unreadable) stop_at(FileStop::unreadable, data);
}

void configure(EntryReader& in, const ReadOptions& options) {
  if (options.exact_coordinates) in.read_exact_coordinates();
  if (options.empty_as_nan) in.mark_empty_values();
}

bool ran_out(WalkEnd end, const std::optional<Fault>& fault) {
  return end == WalkEnd::partial || (end == WalkEnd::fault && fault->status == IoStatus::end_of_file);
}

// A header that is a word (`yes | korvan2col -`) or a line too long stops at
// once; other faults of data read to their end first wait for that end, in
// case the data cannot be read or inflated.
std::int32_t read_header(text::InputUnit& unit, text::DataSource& data) {
  std::int32_t announced = 0;
  const text::Item header[] = {text::Item::of(announced)};
  text::FreeFormatReader reader(unit);
  const IoStatus status = reader.read(header);
  if (status == IoStatus::ok && announced >= 1) return announced;
  const HeaderRead read{status, reader.value_position(), announced};
  const std::string found = read.where.found.str();
  const bool word = !found.empty() && std::isalpha(static_cast<unsigned char>(found.front())) != 0;
  if (data.read_to_end_before_faults() && status != IoStatus::too_long && !word) data.read_to_end();
  if (data.failed()) stop_at(FileStop::unreadable, data);
  stop_at(status == IoStatus::ok ? FileStop::header_count_low : FileStop::header_unreadable, data, read);
}

std::int64_t room_for(std::uint64_t bytes, double bytes_per_sounding) {
  const double soundings = static_cast<double>(bytes) / std::max(bytes_per_sounding, 1.0);
  return static_cast<std::int64_t>(std::min(soundings * 1.125 + 64, 1e12));
}

void stop_at_faults(Reading& all, text::DataSource& data) {
  if (all.soundings > std::numeric_limits<std::int32_t>::max() && !all.fault) {
    all.fault = Fault{FaultKind::sounding_unreadable, {all.soundings}, {all.lines + 1, 0, {}}, IoStatus::ok, 0, {}};
  }
  if (all.fault) {
    if (data.read_to_end_before_faults() && all.fault->status != IoStatus::too_long) data.read_to_end();
    if (data.failed()) stop_at(FileStop::unreadable, data);
    stop_at(*all.fault, data, all.deferred);
  }
  if (data.failed()) stop_at(FileStop::unreadable, data);
}

void check_arrays_would_fit(const Reading& all, const Dimensions& dims, bool out_of_memory) {
  if (out_of_memory && all.layout.suitable() && !all.deferred) stop_arrays_refused();
  if (all.soundings > 0 && !sounding_arrays_fit(dims)) stop_arrays_refused();
}

}  // namespace reading_steps

Survey read_survey(text::DataSource& data, console::Console& console, const ReadOptions& options) {
  const bool exact = options.exact_coordinates;
  StoredSurvey<getprd_mod::ArraysStore> stored = read_survey_into<getprd_mod::ArraysStore>(
      data, console, options, [exact] { return getprd_mod::ArraysStore(exact); });
  Survey survey;
  if (stored.stored) survey.arrays = std::move(stored.stored->arrays());
  static_cast<SurveyNotes&>(survey) = std::move(static_cast<SurveyNotes&>(stored));
  return survey;
}

}  // namespace korvan::reader
