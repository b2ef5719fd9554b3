// What reading a data file gives: the scan's notice, the stop line or every
// array's bytes. Compares the two-thread reading with the one-thread one,
// and the one pass with both.
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
  bool split_used = false;

  bool operator==(const ReadingOutcome& other) const {
    return console == other.console && stop == other.stop && arrays == other.arrays;
  }
};

template <typename Array>
void append_array_bytes(std::string& out, const Array& a) {
  out.append(reinterpret_cast<const char*>(a.data()), static_cast<std::size_t>(a.size()) * sizeof(*a.data()));
}

inline void append_arrays(std::string& out, reader::SoundingArrays& a) {
  a.for_each_array([&out](const auto& array) { append_array_bytes(out, array); });
}

// Scans and loads `path`, split into two threads from the middle of any
// file when `split`, else by one thread. Arrays above max_array_bytes are
// not made (the outcome says so).
inline ReadingOutcome read_data_file(const std::string& path, bool split,
                                     std::uint64_t max_array_bytes = std::numeric_limits<std::uint64_t>::max()) {
  ReadingOutcome outcome;
  textio::Console console(&outcome.console);
  try {
    std::optional<reader::SplitPoint> point;
    const reader::Dimensions dims = reader::getdims_mod::getdims(
        path, console, &point, split ? 0 : std::numeric_limits<std::uint64_t>::max());
    outcome.split_used = point.has_value();
    const std::optional<std::uint64_t> bytes = reader::sounding_array_bytes(dims);
    std::optional<reader::SoundingArrays> a;
    if (bytes && *bytes <= max_array_bytes) a = reader::allocate_sounding_arrays(dims);
    if (!a) {
      outcome.stop = "arrays not made";
      return outcome;
    }
    reader::getprd_mod::getprd(path, dims, *a, point);
    append_arrays(outcome.arrays, *a);
  } catch (const textio::FatalStop& stop) {
    outcome.stop = stop.console_line();
  }
  return outcome;
}

// Reads `path` in one pass (two threads from the middle of any file when
// `split`); nullopt when that way gives up.
inline std::optional<ReadingOutcome> read_in_one_pass(
    const std::string& path, bool split, std::uint64_t max_array_bytes = std::numeric_limits<std::uint64_t>::max()) {
  ReadingOutcome outcome;
  textio::Console console(&outcome.console);
  std::optional<reader::getprd_mod::OnePass> pass = reader::getprd_mod::read_in_one_pass(
      path, console, split ? 0 : std::numeric_limits<std::uint64_t>::max(), max_array_bytes);
  if (!pass) {
    if (!outcome.console.empty()) outcome.stop = "gave up after showing " + outcome.console;
    return outcome.stop.empty() ? std::nullopt : std::optional<ReadingOutcome>(outcome);
  }
  append_arrays(outcome.arrays, pass->arrays);
  return outcome;
}

}  // namespace korvan::testing
