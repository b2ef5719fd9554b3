// The dimension scan: the first pass over a predicted-data file. Counts the
// soundings and finds the largest numbers of frequencies, transmitters and
// receivers, testing every count on the way; receiver lines are passed over.
#pragma once

#include <cstdint>
#include <optional>
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
Dimensions getdims(std::string_view name, textio::Console& console, std::optional<SplitPoint>* split = nullptr,
                   std::uint64_t split_minimum_bytes = kSplitMinimumBytes);

}  // namespace korvan::reader::getdims_mod
