// The data load: the second pass over a predicted-data file. Validates what
// the scan did not look at and fills the sounding arrays.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "reader/getdims.h"
#include "reader/sounding_arrays.h"

namespace korvan::reader::getprd_mod {

// Loads dims.nsound soundings into arrays made with the scan's extents.
// Every failure ends the run with its message. With a split point from the
// scan, the soundings from there on are loaded by a second thread; failures
// are still reported in file order.
void getprd(std::string_view name, const Dimensions& dims, SoundingArrays& arrays,
            const std::optional<SplitPoint>& split = std::nullopt);

// The scan and the load at once, in one pass over the file (two threads on
// a large file), for a file of plain blank-separated lines without a fault
// whose extents its first soundings show. Shows the scan's notice and gives
// the dimensions and the filled arrays, exactly as the scan and the load
// would; nullopt, having shown nothing, for any other file, which the scan
// and the load then read.
struct OnePass {
  Dimensions dims;
  SoundingArrays arrays;
};
// Arrays of more than max_array_bytes are not tried.
std::optional<OnePass> read_in_one_pass(std::string_view name, textio::Console& console,
                                        std::uint64_t split_minimum_bytes = getdims_mod::kSplitMinimumBytes,
                                        std::uint64_t max_array_bytes = kMaxArrayBytes);

}  // namespace korvan::reader::getprd_mod
