// The reader's messages. Their wording is what users and their scripts know,
// odd spellings included ("no. or receivers", "reveicer"): keep it as it is.
#include "reader/faults.h"

#include "textio/fixed_format.h"
#include "textio/termination.h"

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
  return std::string(textio::trim_right(text));
}

// "frequency 2, sounding 14", "(it=2,ifreq=1,isound=14)" or
// "(ir=1,it=2,ifreq=1,isound=14)"; the load's add the file name.
std::string location(const Place& p, Pass pass, std::string_view name) {
  const std::string s = sounding_text(p.isound);
  const std::string f = index_text(p.ifreq);
  std::string text;
  if (p.it == 0) {
    text = "frequency " + f + ", sounding " + s;
    if (pass == Pass::load) text += " (";
  } else {
    text = "(";
    if (p.ir != 0) text += "ir=" + index_text(p.ir) + ",";
    text += "it=" + index_text(p.it) + ",ifreq=" + f + ",isound=" + s;
    text += pass == Pass::load ? "," : ")";
  }
  if (pass == Pass::scan) return in_field(text, kScanLocationLength);
  std::string_view trimmed = textio::trim_right(name);
  while (!trimmed.empty() && trimmed.front() == ' ') trimmed.remove_prefix(1);
  return in_field(text + "file=" + quoted(trimmed) + ")", kLoadLocationLength);
}

}  // namespace

void emsgstop(std::string_view message) { textio::stop_with_line("Stop: " + std::string(message) + "."); }

std::string sounding_text(std::int64_t isound) { return textio::integer_text(isound, 5); }
std::string index_text(std::int64_t index) { return textio::integer_text(index, 2); }

std::string fault_message(const Fault& fault, Pass pass, std::string_view name) {
  if (!is_structural(fault.kind)) pass = Pass::load;
  const bool scan = pass == Pass::scan;
  const std::string s = sounding_text(fault.place.isound);
  const std::string loc = location(fault.place, pass, name);
  switch (fault.kind) {
    case FaultKind::sounding_unreadable:
      return scan ? "error reading no. of frequencies for sounding " + s : "error reading coordinates of sounding " + s;
    case FaultKind::frequency_count_low:
      return scan ? "no. of frequencies for sounding " + s + " < 1" : "no. of frequencies < 1 for sounding " + s;
    case FaultKind::frequency_unreadable:
      return (scan ? "error reading no. of transmitters for " : "error reading ") + loc;
    case FaultKind::transmitter_count_low:
      return "no. of transmitters < 1 for " + loc;
    case FaultKind::transmitter_unreadable:
      return (scan ? "error reading no. of receivers for " : "error reading Tx height, etc., for ") + loc;
    case FaultKind::receiver_count_low:
      return (scan ? "no. or receivers < 1 for " : "no. of receivers < 1 for ") + loc;
    case FaultKind::receiver_missing:
      return (scan ? "error skipping data for " : "error reading reveicer info. for ") + loc;
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
    case FaultKind::beyond_scan:
      break;
  }
  return "data file " + quoted(name) + " changed between the two readings";
}

std::string file_stop_message(FileStop stop, std::string_view name) {
  switch (stop) {
    case FileStop::missing:
      return "file " + quoted(name) + " does not exist";
    case FileStop::open_for_scan:
      return "error opening predicted data file " + quoted(name);
    case FileStop::header_unreadable:
      return "error reading number of soundings from " + quoted(name);
    case FileStop::header_count_low:
      return "number of soundings read in is less than 1";
    case FileStop::close_after_scan:
      return "error closing " + quoted(name) + " after counting data";
    case FileStop::open_for_load:
      return "error opening " + quoted(name) + " for the second time";
    case FileStop::header_unreadable_in_load:
      return "error during the second reading of the number of soundings";
    case FileStop::close_after_load:
      break;
  }
  return "error closing file " + quoted(name);
}

std::string count_notice(std::string_view name, std::int64_t found, std::int64_t announced) {
  std::string text = "  " + sounding_text(found) + " soundings read from " + quoted(name);
  if (found != announced) text += " (not " + sounding_text(announced) + " as advertised)";
  return text + ".";
}

}  // namespace korvan::reader
