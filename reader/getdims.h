// The dimension scan: what a walk of the entries finds out about a data file
// as it goes - the soundings and the largest counts, the faults, the values
// that a table will miss, and how every sounding compares with sounding 1
// (the checks of the column layout, and the soundings unlike their labels).
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>

#include "reader/entry_walk.h"
#include "reader/layout.h"
#include "reader/sounding_arrays.h"

namespace korvan::reader {

// What reading the file, or a piece of it, found. Soundings and lines are
// the piece's own, numbered from 1, until it is joined to those before it.
struct Reading {
  std::int64_t soundings = 0;
  Dimensions largest;             // the largest counts (nsound unused)
  std::optional<Fault> fault;     // a fault of the structure, which ended the reading
  std::optional<Fault> deferred;  // the first fault of a value
  Noted empty;                    // values of the table that the file leaves empty
  Noted ignored;                  // receiver lines with a value after their data
  LabelNotes labels;
  LayoutVerdict layout;
  std::uint64_t lines = 0;        // lines read

  // The reading of the next piece of the file.
  void add(const Reading& later);
};

}  // namespace korvan::reader

namespace korvan::reader::getdims_mod {

// The scan as a visitor of the walk. Sounding 1 is the scan's own first
// sounding, kept whole as it is read, unless it is given (a piece of the
// file after it).
class Scan {
 public:
  explicit Scan(const FirstSounding* first = nullptr) : first_(first) {
    if (first_ != nullptr) order_ = LayoutOrder(*first_);
  }
  // first_ may point into the scan itself.
  Scan(const Scan&) = delete;
  Scan& operator=(const Scan&) = delete;

  bool more() const { return true; }
  // Mostly a sounding is like sounding 1 and leaves nothing empty: each of
  // these is then a few comparisons, inline; the rest is out of line.
  [[gnu::always_inline]] void sounding(const Place& place, const SoundingEntry& e, const EntryReader& in) {
    reading_.largest.maxfreq = std::max(reading_.largest.maxfreq, e.nfreq);
    if (in.nulls() != 0) note_empty(0b11, place, in);
    noted_ = {};
    if (first_ == nullptr) return keep_first(e);
    sounding_line_ = in.entry_line();
    if (e.nfreq != first_->nfreq()) reading_.layout.fail(LayoutOrder::frequencies(), LayoutCheck::frequencies);
  }
  [[gnu::always_inline]] void frequency(const Place& place, const FrequencyEntry& e, const EntryReader&) {
    reading_.largest.maxtx = std::max(reading_.largest.maxtx, e.ntx);
    if (reading_first_) return keep_first(e);
    if (place.ifreq > first_->nfreq()) return;
    const FrequencyEntry& label = first_->frequencies[static_cast<std::size_t>(place.ifreq - 1)];
    if (e.ntx != label.ntx) reading_.layout.fail(order_.transmitters(place.ifreq), LayoutCheck::transmitters);
    if (e.freq != label.freq) note_frequency(place, e.freq);
  }
  [[gnu::always_inline]] void transmitter(const Place& place, const TransmitterEntry& e, const EntryReader& in) {
    reading_.largest.maxrx = std::max(reading_.largest.maxrx, e.nrx);
    if (place.it == 1 && place.ifreq == 1 && in.nulls() != 0) note_empty(0b10, place, in);
    if (reading_first_) return keep_first(e);
    if (!in_first(place.ifreq, place.it)) return;
    if (e.nrx != 1) reading_.layout.fail(order_.receivers(place.ifreq, place.it), LayoutCheck::receivers);
    if (e.orientation != first_->transmitter(place.ifreq, place.it).orientation) note_orientation(place, e.orientation);
  }
  [[gnu::always_inline]] void receiver(const Place& place, const ReceiverEntry& e, const EntryReader& in) {
    if (place.ir == 1 && in.nulls() != 0) note_empty(0b110000000, place, in);
    if (const std::optional<text::TextPosition> further = in.further_value()) note_ignored(place, *further, in);
    if (reading_first_) return keep_first(e);
    // Past a faulty value of sounding 1 only its structure was read, and its
    // receivers were not kept.
    if (place.ir != 1 || !in_first(place.ifreq, place.it) || !first_->has_receiver(place.ifreq, place.it)) return;
    const char label = first_->receiver(place.ifreq, place.it).component;
    if (e.component != label) note_component(place, e.component, label);
  }
  void end_sounding(const Place&) {
    ++reading_.soundings;
    if (reading_first_) first_read();
  }
  bool value_fault(const Fault& fault) {
    if (!reading_.deferred) reading_.deferred = fault;
    return true;
  }

  Reading& reading() { return reading_; }
  // Sounding 1, once read whole (or as given).
  const FirstSounding* first() const { return first_; }

 private:
  // Whether (ifreq, it) is a place of sounding 1's layout.
  bool in_first(std::int32_t ifreq, std::int32_t it = 1) const {
    return ifreq <= first_->nfreq() && it <= first_->ntx(ifreq);
  }
  void note_empty(std::uint32_t shown, const Place& place, const EntryReader& in);
  void note_ignored(const Place& place, const text::TextPosition& further, const EntryReader& in);
  void note_frequency(const Place& place, float frequency);
  void note_orientation(const Place& place, char orientation);
  void note_component(const Place& place, char has, char label);
  // Counts the sounding in `note` once; the first time, returns it to fill.
  LabelNote* note(LabelNote& note, bool& noted, const Place& place);
  void keep_first(const SoundingEntry& e);
  void keep_first(const FrequencyEntry& e);
  void keep_first(const TransmitterEntry& e);
  void keep_first(const ReceiverEntry& e);
  void first_read();

  Reading reading_;
  const FirstSounding* first_;
  std::optional<FirstSounding> own_first_;  // sounding 1, kept as it is read
  bool reading_first_ = false;
  LayoutOrder order_;
  std::uint64_t sounding_line_ = 0;
  // Which notes the current sounding has made already.
  struct Noted {
    bool frequency = false;
    bool orientation = false;
    bool lacking = false;
    bool both = false;
  };
  Noted noted_;
};

}  // namespace korvan::reader::getdims_mod
