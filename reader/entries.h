// The four entries of a data file below its header, and the reading of each
// one's values. How a record is read (the quick way or the general one, and
// which line starts repeat the one before them) is decided here and below,
// never by the walk of the entries.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "reader/sounding_arrays.h"
#include "text/input_unit.h"
#include "text/value_conversion.h"
#include "text/value_cursor.h"

namespace korvan::reader {

// Each starts as a fresh array element does: a null value leaves it so.
struct SoundingEntry {
  float x = 0;
  float y = 0;
  std::int32_t nfreq = 0;
  double x_exact = 0;  // with all the digits written, where asked for
  double y_exact = 0;
};
struct FrequencyEntry {
  float freq = 0;
  std::int32_t ntx = 0;
};
struct TransmitterEntry {
  float moment = 0;
  float z = 0;
  char orientation = '\0';
  std::int32_t nrx = 0;
};
struct ReceiverEntry {
  float moment = 0;
  float dx = 0;
  float dy = 0;
  float z = 0;
  char orientation = '\0';
  std::int32_t type = 0;
  char component = '\0';
  Datum datum{0, 0};
};

// Folds X, Y, Z to lower case; true when the letter is then an orientation.
inline bool fold_orientation(char& letter) {
  if (letter == 'X' || letter == 'Y' || letter == 'Z') letter = static_cast<char>(letter - 'A' + 'a');
  return letter == 'x' || letter == 'y' || letter == 'z';
}

// Folds B, I, Q to lower case; true when the letter is then a component.
inline bool fold_component(char& letter) {
  if (letter == 'B' || letter == 'I' || letter == 'Q') letter = static_cast<char>(letter - 'A' + 'a');
  return letter == 'b' || letter == 'i' || letter == 'q';
}

class EntryReader {
 public:
  explicit EntryReader(text::InputUnit& unit) : unit_(unit), cursor_(unit) {}

  // Each reads one entry from the next record on: ok, or the read's status
  // (end_of_file where the file ended first).
  [[gnu::always_inline]] text::IoStatus sounding(SoundingEntry& e) {
    using text::Integer, text::Real;
    e.x = e.y = empty_;
    e.x_exact = e.y_exact = empty_;
    if (cursor_.start(false) != text::IoStatus::ok) return cursor_.status();
    if (!exact_) {
      (void)cursor_.take(Real{e.x}, Real{e.y}, Integer{e.nfreq});
    } else {
      (void)cursor_.take(text::ExactReal{e.x, e.x_exact}, text::ExactReal{e.y, e.y_exact}, Integer{e.nfreq});
    }
    return cursor_.status();
  }
  // The coordinates are also read as doubles.
  void read_exact_coordinates() { exact_ = true; }
  // A coordinate, height or datum that the file leaves empty is NaN rather
  // than 0, so that a table can show it empty; no value read is ever NaN.
  void mark_empty_values() { empty_ = std::numeric_limits<float>::quiet_NaN(); }

  [[gnu::always_inline]] text::IoStatus frequency(FrequencyEntry& e, std::int32_t ifreq) {
    if (cursor_.start(false) == text::IoStatus::ok) {
      std::array<float, 1> freq{};
      (void)cursor_.take(text::RepeatedReals<1>{at(frequency_starts_, ifreq), freq}, text::Integer{e.ntx});
      e.freq = freq[0];
    }
    return cursor_.status();
  }

  [[gnu::always_inline]] text::IoStatus transmitter(TransmitterEntry& e, std::int32_t it) {
    if (cursor_.start(false) == text::IoStatus::ok) {
      std::array<float, 2> moment_z{0, empty_};
      (void)cursor_.take(text::RepeatedReals<2>{at(transmitter_starts_, it), moment_z},
                         text::Letter{e.orientation}, text::Integer{e.nrx});
      e.moment = moment_z[0];
      e.z = moment_z[1];
    }
    return cursor_.status();
  }

  // A receiver entry stands on one line, which it never reads past: first
  // the values up to the component (`ordinal`: the receiver's place in its
  // sounding), then, once the component says how many, the data.
  enum class Line { missing, unreadable, read };
  [[gnu::always_inline]] Line receiver_info(ReceiverEntry& e, std::int64_t ordinal) {
    if (cursor_.start(true) != text::IoStatus::ok) return Line::missing;
    std::array<float, 3> start{};
    const bool read =
        cursor_.take(text::RepeatedReals<3>{at(receiver_starts_, ordinal), start},
                     text::RepeatedReal{receiver_height_, e.z}, text::Letter{e.orientation},
                     text::Integer{e.type}, text::Letter{e.component});
    e.moment = start[0];
    e.dx = start[1];
    e.dy = start[2];
    return read ? Line::read : Line::unreadable;
  }
  // The data after a valid component: two values for b, one for i or q.
  [[gnu::always_inline]] bool receiver_data(ReceiverEntry& e) {
    using text::Real;
    e.datum = {empty_, empty_};
    if (e.component == 'b') return cursor_.take(Real{e.datum.inphase}, Real{e.datum.quadrature});
    return cursor_.take(Real{e.component == 'i' ? e.datum.inphase : e.datum.quadrature});
  }
  // Where a value stands on the receiver line after its data, if one does.
  std::optional<text::TextPosition> further_value() const { return cursor_.further_value(); }
  // "29,7" where a decimal comma split a number into the data and the value
  // at `at` after them.
  std::string comma_joined(const text::TextPosition& at) const { return cursor_.comma_joined(at); }
  // A receiver line passed over, where its values no longer matter.
  text::IoStatus skip_receiver() {
    std::string_view record;
    return unit_.next_record(record);
  }

  // Where value `ordinal` (from 0) of the last entry began; where its read
  // failed.
  text::TextPosition value_position(std::size_t ordinal) const { return cursor_.value_position(ordinal); }
  text::TextPosition failure_position() const { return cursor_.failure_position(); }
  text::TextPosition position() const { return {unit_.line(), 0, {}}; }
  text::IoStatus status() const { return cursor_.status(); }
  std::uint32_t nulls() const { return cursor_.nulls(); }
  std::size_t failed_value() const { return cursor_.failed_value(); }
  // The line where the last entry's first value stands.
  std::uint64_t entry_line() const { return cursor_.first_value_line(); }

 private:
  // Line starts are kept by place: the frequency by its index, the
  // transmitter's moment and height by the transmitter's (the same for
  // every frequency of a sounding), the receiver's moment and separations
  // by its place in the sounding; its height is mostly that of the last one.
  static constexpr std::size_t kPlaces = 64;
  template <typename Kept>
  static Kept& at(std::array<Kept, kPlaces>& kept, std::int64_t place) {
    return kept[static_cast<std::size_t>(place) % kPlaces];
  }

  text::InputUnit& unit_;
  text::ValueCursor cursor_;
  bool exact_ = false;
  float empty_ = 0;  // what an empty value leaves
  std::array<text::RepeatedStart<1>, kPlaces> frequency_starts_{};
  std::array<text::RepeatedStart<2>, kPlaces> transmitter_starts_{};
  std::array<text::RepeatedStart<3>, kPlaces> receiver_starts_{};
  text::RepeatedValue receiver_height_;
};

}  // namespace korvan::reader
