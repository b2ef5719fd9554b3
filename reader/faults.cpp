// The reader's messages. Their wording is what users and their scripts know,
// odd spellings included ("no. or receivers", "reveicer"): keep it as it is.
#include "reader/faults.h"

#include <algorithm>
#include <array>
#include <vector>

#include "console/stop.h"
#include "text/input_unit.h"
#include "text/text_helpers.h"

namespace korvan::reader {
namespace {

// The scan's locations are assembled in a field of 50 characters, the
// load's (which name the file) in one of 70: what does not fit is lost, and
// the text is used without trailing blanks.
constexpr std::size_t kScanLocationLength = 50;
constexpr std::size_t kLoadLocationLength = 70;

std::string quoted(std::string_view name) { return "\"" + std::string(name) + "\""; }

std::string in_field(std::string text, std::size_t length) {
  if (text.size() > length) text.resize(length);
  return std::string(text::trim_right(text));
}

// "frequency 2, sounding 14", "(it=2,ifreq=1,isound=14)" or
// "(ir=1,it=2,ifreq=1,isound=14)" as the scan words them; the load's add the
// file name.
enum class Words { scan, load };

std::string location(const Place& p, Words words, std::string_view name) {
  const std::string s = sounding_text(p.isound);
  const std::string f = index_text(p.ifreq);
  std::string text;
  if (p.it == 0) {
    text = "frequency " + f + ", sounding " + s;
    if (words == Words::load) text += " (";
  } else {
    text = "(";
    if (p.ir != 0) text += "ir=" + index_text(p.ir) + ",";
    text += "it=" + index_text(p.it) + ",ifreq=" + f + ",isound=" + s;
    text += words == Words::load ? "," : ")";
  }
  if (words == Words::scan) return in_field(text, kScanLocationLength);
  std::string_view trimmed = text::trim_right(name);
  while (!trimmed.empty() && trimmed.front() == ' ') trimmed.remove_prefix(1);
  return in_field(text + "file=" + quoted(trimmed) + ")", kLoadLocationLength);
}

[[noreturn]] void emsgstop(std::string_view message, std::vector<std::string> details) {
  console::stop(message, std::move(details));
}

// The names of an entry's values, in order, for what the standard error
// says; a receiver line's data follow its component.
constexpr std::array<const char*, 3> kSoundingValues = {"x-coordinate", "y-coordinate", "number of frequencies"};
constexpr std::array<const char*, 2> kFrequencyValues = {"frequency", "number of transmitters"};
constexpr std::array<const char*, 4> kTransmitterValues = {"moment", "vertical coordinate", "orientation",
                                                           "number of receivers"};
constexpr std::array<const char*, 9> kReceiverValues = {"moment", "x separation", "y separation",
                                                        "vertical coordinate", "orientation", "data-type code",
                                                        "component", "first data value", "second data value"};
// What each value must be: r a number, i a whole number, l a letter.
constexpr std::string_view kSoundingKinds = "rri";
constexpr std::string_view kFrequencyKinds = "ri";
constexpr std::string_view kTransmitterKinds = "rrli";
constexpr std::string_view kReceiverKinds = "rrrrlilrr";

struct EntryValues {
  const char* entry;
  const char* const* names;
  std::string_view kinds;
};

EntryValues entry_values(FaultKind kind) {
  switch (kind) {
    case FaultKind::sounding_unreadable:
    case FaultKind::frequency_count_low:
      return {"sounding entry", kSoundingValues.data(), kSoundingKinds};
    case FaultKind::frequency_unreadable:
    case FaultKind::frequency_not_positive:
    case FaultKind::transmitter_count_low:
      return {"frequency entry", kFrequencyValues.data(), kFrequencyKinds};
    case FaultKind::transmitter_unreadable:
    case FaultKind::transmitter_orientation:
    case FaultKind::receiver_count_low:
      return {"transmitter entry", kTransmitterValues.data(), kTransmitterKinds};
    default:
      return {"receiver line", kReceiverValues.data(), kReceiverKinds};
  }
}

// What is wrong, in words, with the text found there.
std::string what_is_wrong(const Fault& f, const std::string& found) {
  const EntryValues entry = entry_values(f.kind);
  const std::size_t n = std::min(f.value, entry.kinds.size() - 1);
  const std::string name = entry.names[n];
  switch (f.kind) {
    case FaultKind::frequency_count_low:
    case FaultKind::transmitter_count_low:
    case FaultKind::receiver_count_low:
      return "the " + name + " is " + (found.empty() ? "empty" : found) + ", less than 1";
    case FaultKind::frequency_not_positive:
      return "the frequency is " + (found.empty() ? "empty" : found) + ", not greater than 0";
    case FaultKind::transmitter_orientation:
    case FaultKind::receiver_orientation:
      return std::string(f.kind == FaultKind::receiver_orientation ? "the receiver" : "the transmitter") +
             " orientation is " + (found.empty() ? "empty" : quoted(found)) + ", not x, y or z";
    case FaultKind::component:
      return "the component is " + (found.empty() ? "empty" : quoted(found)) + ", not b, i or q";
    case FaultKind::receiver_missing:
      return "the file ends where receiver line " + std::to_string(f.place.ir) + " should be";
    default:
      break;
  }
  switch (f.status) {
    case text::IoStatus::end_of_file:
      return "the file ends before the " + name + " of this " + entry.entry;
    case text::IoStatus::short_record:
      return "the " + std::string(entry.entry) + " ends before its " + name + " (a receiver entry stands on one line)";
    case text::IoStatus::too_long:
      return "a line of more than " + std::to_string(text::kMaxRecordBytes >> 20) + " MiB where the " + name +
             " should be";
    case text::IoStatus::malformed: {
      const char kind = entry.kinds[n];
      const char* expected = kind == 'r' ? "a number" : kind == 'i' ? "a whole number" : "a letter";
      return "the " + name + " " + quoted(found) + " is not " + expected;
    }
    default:
      return "the " + std::string(entry.entry) + " cannot be read";
  }
}

std::string place_text(const Place& p) {
  std::string text = "sounding " + std::to_string(p.isound);
  if (p.ifreq > 0) text += ", frequency " + std::to_string(p.ifreq);
  if (p.it > 0) text += ", transmitter " + std::to_string(p.it);
  if (p.ir > 0) text += ", receiver " + std::to_string(p.ir);
  return text;
}

// "NAME:LINE:COLUMN: " for a place in the file.
std::string file_place(const text::DataSource& data, const text::TextPosition& where) {
  return data.name() + ":" + std::to_string(where.line) + ":" + std::to_string(where.column + 1) + ": ";
}

// A hint where the start of the file shows it is no text file of soundings:
// its first line, as the file's first bytes hold it.
std::optional<std::string> binary_hint(const text::DataSource& data) {
  const std::string_view head = data.head();
  const std::optional<std::string> looks = text::looks_compressed_or_binary(head.substr(0, head.find('\n')));
  if (!looks) return std::nullopt;
  return data.name() + ": hint: the file looks " + *looks + ", not like a text file of soundings";
}

}  // namespace

std::string sounding_text(std::int64_t isound) { return text::integer_text(isound, 5); }
std::string index_text(std::int64_t index) { return text::integer_text(index, 2); }

namespace {

// The console line of a fault: one of the structure in the words of the
// dimension scan, one of a value in those of the data load.
std::string fault_message(const Fault& fault, std::string_view name) {
  const std::string s = sounding_text(fault.place.isound);
  const std::string loc = location(fault.place, is_structural(fault.kind) ? Words::scan : Words::load, name);
  switch (fault.kind) {
    case FaultKind::sounding_unreadable:
      return "error reading no. of frequencies for sounding " + s;
    case FaultKind::frequency_count_low:
      return "no. of frequencies for sounding " + s + " < 1";
    case FaultKind::frequency_unreadable:
      return "error reading no. of transmitters for " + loc;
    case FaultKind::transmitter_count_low:
      return "no. of transmitters < 1 for " + loc;
    case FaultKind::transmitter_unreadable:
      return "error reading no. of receivers for " + loc;
    case FaultKind::receiver_count_low:
      return "no. or receivers < 1 for " + loc;
    case FaultKind::receiver_missing:
      return "error skipping data for " + loc;
    case FaultKind::frequency_not_positive:
      return "frequency <= 0 for " + loc;
    case FaultKind::transmitter_orientation:
      return "invalid Tx orientation for " + loc;
    case FaultKind::receiver_unreadable:
      return "error reading reveicer info. for " + loc;
    case FaultKind::receiver_orientation:
      return "invalid Rx orient. for " + loc;
    case FaultKind::component:
      return "invalid data combo. for " + loc;
    case FaultKind::data_unreadable:
      return "error reading data for " + loc;
    case FaultKind::empty_value:
    case FaultKind::value_after_data:
      break;
  }
  return {};  // not faults: no stop is made of them
}

}  // namespace

void stop_at(const Fault& fault, const text::DataSource& data, const std::optional<Fault>& earlier) {
  std::vector<std::string> details = {file_place(data, fault.where) + what_is_wrong(fault, fault.where.found.str()) +
                                      " (" + place_text(fault.place) + ")"};
  // A receiver line that is blank or short leaves the entries after it to be
  // read out of place: that is mostly where the fault lies.
  if (earlier && earlier->status == text::IoStatus::short_record) {
    details.push_back(file_place(data, earlier->where) + "hint: the receiver line of " + place_text(earlier->place) +
                      " is blank or short; the entries after it are read out of place");
  }
  if (fault.place.isound <= 1) {
    if (std::optional<std::string> hint = binary_hint(data)) details.push_back(std::move(*hint));
  }
  emsgstop(fault_message(fault, data.name()), std::move(details));
}

namespace {

std::string file_stop_message(FileStop stop, std::string_view name) {
  switch (stop) {
    case FileStop::missing:
      return "file " + quoted(name) + " does not exist";
    case FileStop::unreadable:
      return "error opening predicted data file " + quoted(name);
    case FileStop::header_unreadable:
      return "error reading number of soundings from " + quoted(name);
    case FileStop::header_count_low:
      break;
  }
  return "number of soundings read in is less than 1";
}

}  // namespace

void stop_at(FileStop stop, const text::DataSource& data, const std::optional<HeaderRead>& header) {
  std::vector<std::string> details;
  if (stop == FileStop::missing || stop == FileStop::unreadable) {
    const std::string reason = data.state() != text::DataSource::State::readable ? data.state_text()
                                                                                  : data.failure_text();
    details.push_back(data.name() + ": " + reason);
  } else if (header && header->status == text::IoStatus::ok) {
    details.push_back(file_place(data, header->where) + "the number of soundings is " +
                      std::to_string(header->announced) + ", less than 1");
  } else if (header) {
    const std::string found = header->where.found.str();
    std::string what = header->status == text::IoStatus::end_of_file ? "the file holds no number of soundings"
                       : header->status == text::IoStatus::too_long
                           ? "a line of more than " + std::to_string(text::kMaxRecordBytes >> 20) + " MiB"
                           : "the number of soundings " + quoted(found) + " is not a whole number";
    details.push_back(file_place(data, header->where) + what);
    if (std::optional<std::string> hint = binary_hint(data)) details.push_back(std::move(*hint));
  }
  emsgstop(file_stop_message(stop, data.name()), std::move(details));
}

void stop_arrays_refused() { emsgstop("error allocating space for arrays", {}); }

std::string count_notice(std::string_view name, std::int64_t found, std::int64_t announced) {
  std::string text = "  " + sounding_text(found) + " soundings read from " + quoted(name);
  if (found != announced) text += " (not " + sounding_text(announced) + " as advertised)";
  return text + ".";
}

Fault numbered(Fault fault, std::int64_t soundings_before, std::uint64_t lines_before) {
  fault.place.isound += soundings_before;
  fault.where.line += lines_before;
  return fault;
}

void Noted::add(const Noted& later, std::int64_t soundings_before, std::uint64_t lines_before) {
  if (!first && later.first) first = numbered(*later.first, soundings_before, lines_before);
  count += later.count;
}

}  // namespace korvan::reader
