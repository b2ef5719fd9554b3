// The dimension scan: the first pass over a predicted-data file. Counts the
// soundings and finds the largest numbers of frequencies, transmitters and
// receivers, testing every count on the way; receiver lines are passed over.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "reader/sounding_arrays.h"
#include "textio/console.h"

namespace korvan::reader {

// A place in the file where a sounding entry starts, found and confirmed by
// the scan: the load may read the file from there in a second thread.
struct SplitPoint {
  std::uint64_t offset = 0;   // the first byte of the sounding entry's line
  std::int32_t isound = 0;    // the sounding that starts there
};

}  // namespace korvan::reader

namespace korvan::reader::getdims_mod {

// Files from this size on are scanned by two threads.
inline constexpr std::uint64_t kSplitMinimumBytes = std::uint64_t{16} << 20;

// Shows the notice with the number of soundings found. Every failure ends the
// run with its message. On a large file the scan also reads its second half
// in another thread; `split`, when given, receives the confirmed split point.
// The notice of the number of soundings found.
void report_count(textio::Console& console, std::string_view name, std::int32_t found, std::int32_t announced);

// A line after `middle` that starts a run of well-formed sounding entries:
// where a second reader may start.
std::optional<std::uint64_t> find_sounding_start(const std::string& name, std::uint64_t middle,
                                                 const std::atomic<bool>& cancel);

// The header and the first soundings of a file, scanned: a sample from which
// to guess the whole file's extents.
struct ScanSample {
  std::int32_t announced = 0;    // the header's number of soundings
  std::int64_t soundings = 0;    // sounding entries scanned (fewer at the end of the file)
  Dimensions largest;            // their count and largest counts
  std::uint64_t first_offset = 0;  // where the first sounding entry's read starts
  std::uint64_t end_offset = 0;    // where the scan of them ended
  std::uint64_t file_bytes = 0;
};
// nullopt when the file cannot be read or the sample holds a fault.
std::optional<ScanSample> sample_first_soundings(std::string_view name, std::int64_t soundings);

Dimensions getdims(std::string_view name, textio::Console& console, std::optional<SplitPoint>* split = nullptr,
                   std::uint64_t split_minimum_bytes = kSplitMinimumBytes);

}  // namespace korvan::reader::getdims_mod
