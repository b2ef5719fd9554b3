// What reading a data file gives: the scan's notice, the stop line or every
// array's bytes. The reader may walk a file in pieces on two threads, and
// may load it while it scans; none of that may change what it gives.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "reader/getdims.h"
#include "reader/getprd.h"
#include "reader/sounding_arrays.h"
#include "textio/console.h"
#include "textio/termination.h"

namespace korvan::testing {

struct ReadingOutcome {
  std::string console;
  std::string stop;
  std::string arrays;  // every array's bytes, in order
  std::size_t pieces = 1;
  bool loaded_on_the_way = false;

  bool operator==(const ReadingOutcome& other) const {
    return console == other.console && stop == other.stop && arrays == other.arrays;
  }
};

// How to read: in pieces whatever the file's size (when the first soundings
// allow it) or in one, and loading on the way or only in the load.
struct ReadingWay {
  bool pieces = false;
  bool on_the_way = true;
};

template <typename Array>
void append_array_bytes(std::string& out, const Array& a) {
  out.append(reinterpret_cast<const char*>(a.data()), static_cast<std::size_t>(a.size()) * sizeof(*a.data()));
}

// Scans and loads `path` as a conversion does. Arrays above max_array_bytes
// are not made (the outcome says so).
inline ReadingOutcome read_data_file(const std::string& path, ReadingWay way,
                                     std::uint64_t max_array_bytes = std::numeric_limits<std::uint64_t>::max()) {
  ReadingOutcome outcome;
  textio::Console console(&outcome.console);
  reader::ReadOptions options;
  options.pieces_minimum_bytes = way.pieces ? 0 : std::numeric_limits<std::uint64_t>::max();
  options.max_array_bytes = max_array_bytes;
  options.load_on_the_way = way.on_the_way;
  const reader::DataFile file{path, path};
  try {
    reader::Scan scan = reader::getdims_mod::getdims(file, console, options);
    outcome.pieces = scan.pieces;
    outcome.loaded_on_the_way = scan.loaded;
    if (!scan.arrays) {
      const std::optional<std::uint64_t> bytes = reader::sounding_array_bytes(scan.dims);
      if (bytes && *bytes <= max_array_bytes) scan.arrays = reader::allocate_sounding_arrays(scan.dims);
      if (!scan.arrays) {
        outcome.stop = "arrays not made";
        return outcome;
      }
    }
    reader::getprd_mod::getprd(file, scan);
    scan.arrays->for_each_array([&outcome](const auto& array) { append_array_bytes(outcome.arrays, array); });
  } catch (const textio::FatalStop& stop) {
    outcome.stop = stop.console_line();
  }
  return outcome;
}

}  // namespace korvan::testing
