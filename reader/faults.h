// Everything the reader can find wrong with a data file, and the texts that
// say so: the faults of the entries, numbered by where they are, and the
// stops about the file itself. Both passes make their messages here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "textio/free_format_reader.h"
#include "textio/status.h"

namespace korvan::reader {

// The two ways a file is read: the scan counts and checks the file's
// structure (and loads it on the way where it can), the load fills the
// arrays and checks every value. They word the same fault differently.
enum class Pass { scan, load };

enum class FaultKind : std::uint8_t {
  // The file's structure: the scan stops at the first of these.
  sounding_unreadable,
  frequency_count_low,
  frequency_unreadable,
  transmitter_count_low,
  transmitter_unreadable,
  receiver_count_low,
  receiver_missing,
  // Values only the load checks: reported once the whole file is scanned.
  frequency_not_positive,
  transmitter_orientation,
  receiver_unreadable,
  receiver_orientation,
  component,
  data_unreadable,
  // A count beyond what the scan found: the file changed under the load.
  beyond_scan,
  // Not faults: a value of the table that the file leaves empty, and a
  // value after the data of a receiver line, which nothing reads.
  empty_value,
  value_after_data,
};

constexpr bool is_structural(FaultKind kind) { return kind <= FaultKind::receiver_missing; }

// Sounding, frequency, transmitter and receiver numbers from 1; 0 where the
// fault lies above that level.
struct Place {
  std::int64_t isound = 0;
  std::int32_t ifreq = 0;
  std::int32_t it = 0;
  std::int32_t ir = 0;
};

struct Fault {
  FaultKind kind;
  Place place;
  textio::TextPosition where;                   // the value that failed, or where the file ended
  textio::IoStatus status = textio::IoStatus::ok;  // why a read failed
  std::size_t value = 0;                        // which value of the entry, from 0
};

// What a reading notes without stopping: how many, and the first.
struct Noted {
  std::int64_t count = 0;
  std::optional<Fault> first;

  void note(const Fault& fault, std::int64_t n = 1) {
    if (!first) first = fault;
    count += n;
  }
};

// A data file: the name that messages give, and what is opened.
struct DataFile {
  std::string name;
  std::string path;
};

// Ends the run at a fault of an entry: the console line in the pass's words
// and, on standard error, where the fault is and what is wrong, with a hint
// where `earlier` (a fault of a value before it) is its likely cause.
[[noreturn]] void stop_at(const Fault& fault, Pass pass, const DataFile& file,
                          const std::optional<Fault>& earlier = std::nullopt);

// The message of a fault found in `pass`: the scan's words for the file's
// structure, the load's for everything else.
std::string fault_message(const Fault& fault, Pass pass, std::string_view name);

// Stops about the file itself rather than an entry.
enum class FileStop {
  missing,
  open_for_scan,
  header_unreadable,
  header_count_low,
  close_after_scan,
  open_for_load,
  header_unreadable_in_load,
  close_after_load,
};
// Ends the run at a stop about the file: `reason` is the system's, `header`
// the reading of the header where it failed.
struct HeaderRead {
  textio::IoStatus status;
  textio::TextPosition where;
  std::int32_t announced;
};
[[noreturn]] void stop_at(FileStop stop, const DataFile& file, std::string_view reason = {},
                          const std::optional<HeaderRead>& header = std::nullopt);

// The scan's notice of the number of soundings found.
std::string count_notice(std::string_view name, std::int64_t found, std::int64_t announced);

// The sounding number in 5 positions, the others in 2, moved to the left and
// without trailing blanks; asterisks when too wide.
std::string sounding_text(std::int64_t isound);
std::string index_text(std::int64_t index);

}  // namespace korvan::reader
