// The dimension scan: the first pass over a predicted-data file. Counts the
// soundings, finds the largest numbers of frequencies, transmitters and
// receivers, and checks every count and value on the way; where the first
// soundings show the extents, it fills the sounding arrays as it goes, so
// that most files are read once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "reader/faults.h"
#include "reader/pieces.h"
#include "reader/sounding_arrays.h"
#include "textio/console.h"

namespace korvan::reader {

struct ReadOptions {
  std::uint64_t pieces_minimum_bytes = kPiecesMinimumBytes;
  std::uint64_t max_array_bytes = kMaxArrayBytes;  // larger arrays are not made on the way
  bool load_on_the_way = true;
  bool exact_coordinates = false;  // keep the coordinates in double precision too
  bool empty_as_nan = false;       // see SoundingArrays::empty_as_nan
};

// What the scan found.
struct Scan {
  Dimensions dims;
  std::optional<SoundingArrays> arrays;  // the arrays, filled when `loaded`
  bool loaded = false;
  std::optional<Fault> fault;  // the first fault of a value, for the load to report
  std::int32_t announced = 0;  // the header's number of soundings
  // Values of the table that the file leaves empty, and receiver lines with
  // a value after their data.
  Noted empty;
  Noted ignored;
  std::size_t pieces = 1;  // how many pieces the file was read in
};

}  // namespace korvan::reader

namespace korvan::reader::getdims_mod {

// Shows the notice with the number of soundings found. A fault of the file's
// structure (or of the file itself) ends the run with its message.
Scan getdims(const DataFile& file, textio::Console& console, const ReadOptions& options = {});

// Where sounding `isound` (from 1) starts, for a message about it: read
// again from the file's start, so only when such a message is made.
textio::TextPosition sounding_start(const DataFile& file, std::int64_t isound);

}  // namespace korvan::reader::getdims_mod
