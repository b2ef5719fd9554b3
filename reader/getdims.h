// The dimension scan: what a walk of the entries finds out about a data file
// as it goes - the soundings and the largest counts, the faults, the values
// that a table will miss, and how every sounding compares with sounding 1
// (the checks of the column layout, and the soundings unlike their labels).
#pragma once

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
  void sounding(const Place& place, const SoundingEntry& e, const EntryReader& in);
  void frequency(const Place& place, const FrequencyEntry& e, const EntryReader& in);
  void transmitter(const Place& place, const TransmitterEntry& e, const EntryReader& in);
  void receiver(const Place& place, const ReceiverEntry& e, const EntryReader& in);
  void end_sounding(const Place& place);
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
  void compare_labels(const Place& place, const FrequencyEntry* f, const TransmitterEntry* t,
                      const ReceiverEntry* r);

  Reading reading_;
  const FirstSounding* first_;
  std::optional<FirstSounding> own_first_;  // sounding 1, kept as it is read
  bool reading_first_ = false;
  LayoutOrder order_;
  std::uint64_t sounding_line_ = 0;
  // Which notes the current sounding has made already.
  bool noted_frequency_ = false;
  bool noted_orientation_ = false;
  bool noted_lacking_ = false;
  bool noted_both_ = false;
};

}  // namespace korvan::reader::getdims_mod
