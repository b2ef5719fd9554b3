// The walk of a data file's entries, written once: each sounding entry, its
// frequency entries, each one's transmitter entries and each one's receiver
// lines, with every check of the counts and values. What is done with the
// entries is the visitor's: count them (a trial of where a piece may start),
// scan them (getdims) or scan and store them (getprd).
//
// A fault of the file's structure ends the walk. A fault of a value goes to
// the visitor, which says whether the walk goes on, following the structure
// only from then on: a reading finds the structure of the whole file before
// any value is reported.
//
// A visitor has these members, each given the entry reader for the places
// and texts of the entry just read:
//   bool more();                                          before each sounding
//   void sounding(const Place&, const SoundingEntry&, const EntryReader&);
//   void frequency(const Place&, const FrequencyEntry&, const EntryReader&);
//   void transmitter(const Place&, const TransmitterEntry&, const EntryReader&);
//   void receiver(const Place&, const ReceiverEntry&, const EntryReader&);
//   void end_sounding(const Place&);
//   bool value_fault(const Fault&);                       true: go on
#pragma once

#include <cstdint>
#include <limits>
#include <optional>

#include "reader/entries.h"
#include "reader/faults.h"

namespace korvan::reader {

// How a walk ended.
enum class WalkEnd {
  end_of_input,  // where a sounding entry would start
  partial,       // inside a sounding entry: at the true end of the input, the end of the soundings
  fault,         // fault() says which
  stopped,       // the visitor's more() said so
};

template <typename Visitor>
class EntryWalk {
 public:
  EntryWalk(EntryReader& in, Visitor& visitor) : in_(in), visitor_(visitor) {}

  // Walks sounding entries numbered from `first` on.
  WalkEnd run(std::int64_t first = 1) {
    for (std::int64_t isound = first;; ++isound) {
      if (!visitor_.more()) return WalkEnd::stopped;
      if (!sounding(isound)) return end_;
      ++soundings_;
    }
  }

  // Sounding entries read whole.
  std::int64_t soundings() const { return soundings_; }
  // The fault that ended the walk.
  const std::optional<Fault>& fault() const { return fault_; }

 private:
  // A fault at value `ordinal` of the entry just read, or where its read
  // failed.
  Fault at_value(FaultKind kind, const Place& place, std::size_t ordinal) const {
    return Fault{kind, place, in_.value_position(ordinal), text::IoStatus::ok, ordinal, {}};
  }
  Fault at_failure(FaultKind kind, const Place& place) const {
    return Fault{kind, place, in_.failure_position(), in_.status(), in_.failed_value(), {}};
  }

  // False: the walk ends here.
  bool stop(const Fault& fault) {
    fault_ = fault;
    end_ = WalkEnd::fault;
    return false;
  }
  bool value_fault(const Fault& fault) {
    if (!visitor_.value_fault(fault)) return stop(fault);
    structure_only_ = true;
    return true;
  }

  bool sounding(std::int64_t isound) {
    SoundingEntry e;
    const text::IoStatus status = in_.sounding(e);
    if (status == text::IoStatus::end_of_file) {
      end_ = in_.failed_value() == 0 ? WalkEnd::end_of_input : WalkEnd::partial;
      return false;
    }
    const Place place{isound};
    if (status != text::IoStatus::ok || isound > std::numeric_limits<std::int32_t>::max()) {
      return stop(at_failure(FaultKind::sounding_unreadable, place));
    }
    if (e.nfreq < 1) return stop(at_value(FaultKind::frequency_count_low, place, 2));
    visitor_.sounding(place, e, in_);
    ordinal_ = 0;
    for (std::int32_t ifreq = 1; ifreq <= e.nfreq; ++ifreq) {
      if (!frequency({isound, ifreq})) return false;
    }
    visitor_.end_sounding(place);
    return true;
  }

  [[gnu::always_inline]] bool frequency(const Place& place) {
    FrequencyEntry e;
    if (in_.frequency(e, place.ifreq) != text::IoStatus::ok) {
      return stop(at_failure(FaultKind::frequency_unreadable, place));
    }
    if (e.freq <= 0 && !value_fault(at_value(FaultKind::frequency_not_positive, place, 0))) return false;
    if (e.ntx < 1) return stop(at_value(FaultKind::transmitter_count_low, place, 1));
    visitor_.frequency(place, e, in_);
    for (std::int32_t it = 1; it <= e.ntx; ++it) {
      if (!transmitter({place.isound, place.ifreq, it})) return false;
    }
    return true;
  }

  [[gnu::always_inline]] bool transmitter(const Place& place) {
    TransmitterEntry e;
    if (in_.transmitter(e, place.it) != text::IoStatus::ok) {
      return stop(at_failure(FaultKind::transmitter_unreadable, place));
    }
    if (!fold_orientation(e.orientation) && !value_fault(at_value(FaultKind::transmitter_orientation, place, 2))) {
      return false;
    }
    if (e.nrx < 1) return stop(at_value(FaultKind::receiver_count_low, place, 3));
    visitor_.transmitter(place, e, in_);
    for (std::int32_t ir = 1; ir <= e.nrx; ++ir) {
      if (!receiver({place.isound, place.ifreq, place.it, ir})) return false;
    }
    return true;
  }

  [[gnu::always_inline]] bool receiver(const Place& place) {
    const std::int64_t ordinal = ordinal_++;
    if (structure_only_) {
      // Only the structure matters now: one line per receiver.
      const text::IoStatus status = in_.skip_receiver();
      return status == text::IoStatus::ok ||
             stop(Fault{FaultKind::receiver_missing, place, in_.position(), status, 0, {}});
    }
    ReceiverEntry e;
    switch (in_.receiver_info(e, ordinal)) {
      case EntryReader::Line::missing:
        return stop(at_failure(FaultKind::receiver_missing, place));
      case EntryReader::Line::unreadable:
        return value_fault(at_failure(FaultKind::receiver_unreadable, place));
      case EntryReader::Line::read:
        break;
    }
    if (!fold_orientation(e.orientation)) {
      return value_fault(at_value(FaultKind::receiver_orientation, place, 4));
    }
    if (!fold_component(e.component)) return value_fault(at_value(FaultKind::component, place, 6));
    if (!in_.receiver_data(e)) return value_fault(at_failure(FaultKind::data_unreadable, place));
    visitor_.receiver(place, e, in_);
    return true;
  }

  EntryReader& in_;
  Visitor& visitor_;
  WalkEnd end_ = WalkEnd::end_of_input;
  std::optional<Fault> fault_;
  std::int64_t soundings_ = 0;
  bool structure_only_ = false;
  std::int64_t ordinal_ = 0;  // the next receiver's place in its sounding, for its repeated start
};

}  // namespace korvan::reader
