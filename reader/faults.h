// Everything the reader can find wrong with a data file, and the texts that
// say so: the faults of the entries, numbered by where they are, and the
// stops about the data file itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text/data_source.h"
#include "text/status.h"
#include "text/text_place.h"

namespace korvan::reader {

enum class FaultKind : std::uint8_t {
  // The file's structure: the reading stops at the first of these.
  sounding_unreadable,
  frequency_count_low,
  frequency_unreadable,
  transmitter_count_low,
  transmitter_unreadable,
  receiver_count_low,
  receiver_missing,
  // Values: the first is reported once the whole file has been read.
  frequency_not_positive,
  transmitter_orientation,
  receiver_unreadable,
  receiver_orientation,
  component,
  data_unreadable,
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
  text::TextPosition where;                        // the value that failed, or where the file ended
  text::IoStatus status = text::IoStatus::ok;      // why a read failed
  std::size_t value = 0;                           // which value of the entry, from 0
  std::string comma_joined;                        // a value after the data: "29,7" where a decimal comma split one
};

// What a reading notes without stopping: how many, and the first.
struct Noted {
  std::int64_t count = 0;
  std::optional<Fault> first;

  // `make` gives the fault, made only for the first.
  template <typename Make>
  void note(Make make, std::int64_t n = 1) {
    if (!first) first = make();
    count += n;
  }
  // A later part of the file's notes, its soundings and lines after these.
  void add(const Noted& later, std::int64_t soundings_before, std::uint64_t lines_before);
};

// A fault found in a part of the file, numbered from the file's start.
Fault numbered(Fault fault, std::int64_t soundings_before, std::uint64_t lines_before);

// Ends the run at a fault of an entry: the console line and, on standard
// error, where the fault is and what is wrong, with a hint where `earlier`
// (a fault of a value before it) is its likely cause.
[[noreturn]] void stop_at(const Fault& fault, const text::DataSource& data,
                          const std::optional<Fault>& earlier = std::nullopt);

// Stops about the data file rather than an entry.
enum class FileStop {
  missing,             // no such file
  unreadable,          // it cannot be opened, read or inflated
  header_unreadable,   // the number of soundings cannot be read
  header_count_low,    // it is less than 1
};
// How reading the header went where it failed.
struct HeaderRead {
  text::IoStatus status;
  text::TextPosition where;
  std::int32_t announced;
};
[[noreturn]] void stop_at(FileStop stop, const text::DataSource& data,
                          const std::optional<HeaderRead>& header = std::nullopt);

// Ends the run where the system refuses the memory for the arrays.
[[noreturn]] void stop_arrays_refused();

// The scan's notice of the number of soundings found.
std::string count_notice(std::string_view name, std::int64_t found, std::int64_t announced);

// The sounding number in 5 positions, the others in 2, moved to the left and
// without trailing blanks; asterisks when too wide.
std::string sounding_text(std::int64_t isound);
std::string index_text(std::int64_t index);

}  // namespace korvan::reader
