// reader/: the survey reader - the walk of the entries, the dimension scan
// and the data load, the pieces on threads, the arrays and the faults, all
// behind the door below. It uses console/ (the stop) and text/.
//
// The one door to the reader: a survey read from a data source, or the stop.
// Behind it, the data are read once, as they arrive: the header, then the
// soundings, walked by the dimension scan (getdims) and stored by the data
// load (getprd) in the same walk - on two threads, piece by piece, past the
// first soundings of a large file - and the faults are reported in the order
// the dialogue gives them.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "console/console.h"
#include "reader/faults.h"
#include "reader/layout.h"
#include "reader/sounding_arrays.h"
#include "text/data_source.h"

namespace korvan::reader {

// Text from this size on is shared between threads, in pieces of this size.
inline constexpr std::uint64_t kPiecesFromBytes = std::uint64_t{16} << 20;
inline constexpr std::size_t kPieceBytes = std::size_t{1} << 20;

struct ReadOptions {
  bool exact_coordinates = false;  // keep the coordinates in double precision too
  bool empty_as_nan = false;       // a value the file leaves empty is NaN rather than 0
  std::uint64_t pieces_from_bytes = kPiecesFromBytes;
  std::size_t piece_bytes = kPieceBytes;
  // Once this turns true the reading ends soon, between soundings or
  // pieces, by throwing Cancelled; it keeps nothing it made.
  const std::atomic<bool>* cancel = nullptr;
};

// What a reading ended by ReadOptions::cancel throws.
struct Cancelled {};

// What the reading found out about a survey, whatever store kept its values.
struct SurveyNotes {
  Dimensions dims;             // nsound: the soundings found
  std::int32_t announced = 0;  // the header's number of soundings
  // Sounding 1, which every column's frequency, orientation and component
  // come from (none where the file holds no sounding).
  std::optional<FirstSounding> first;
  LayoutVerdict layout;
  Noted empty;    // values of the table that the file leaves empty
  Noted ignored;  // receiver lines with a value after their data
  LabelNotes labels;
};

// A survey as the file holds it, and what the reading noted on the way.
struct Survey : SurveyNotes {
  // The soundings, when they fit a column layout: every sounding with the
  // counts of sounding 1, every transmitter with one receiver.
  std::optional<SoundingArrays> arrays;
};

// Reads the survey from `data` and shows the notice of the soundings found
// on `console`. Stops the run (console::FatalStop) at the first of: the data
// cannot be opened, read or inflated; a fault of the file's structure; the
// memory for the arrays is refused; a fault of a value.
Survey read_survey(text::DataSource& data, console::Console& console, const ReadOptions& options = {});

// The same door with another store of the values: read_survey_into in
// reader/survey_reading.h.

}  // namespace korvan::reader
