// The walk of a data file's entries, written once: each sounding entry, its
// frequency entries, each one's transmitter entries and each one's receiver
// lines, with every check of the counts and values. What is done with the
// entries is the caller's choice: count them (a scan), store them in arrays
// as well where they fit (a scan that loads on the way), or store them into
// arrays of known extents (a load).
//
// In a scan, a fault of the file's structure ends the walk; a fault of a
// value is noted (the first one) and the walk goes on, since a scan finds
// the structure of the whole file before any value is reported. In a load
// every fault ends the walk.
#pragma once

#include <atomic>
#include <bit>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>

#include "reader/entries.h"
#include "reader/faults.h"
#include "reader/sounding_arrays.h"

namespace korvan::reader {

struct WalkOutcome {
  enum class End { end_of_file, stop_reached, limit, cancelled, fault };
  End end = End::end_of_file;
  std::size_t stop_index = 0;     // with stop_reached: which of the stops
  std::int64_t soundings = 0;     // sounding entries read
  Dimensions largest;             // the largest counts seen (nsound unused)
  std::optional<Fault> fault;     // the fault that ended the walk
  std::optional<Fault> deferred;  // a scan's first fault of a value
  bool overflow = false;          // some sounding did not fit the arrays
  // Values of the table (coordinates, the height, data) that the file left
  // empty, and receiver lines with a value after their data.
  Noted empty;
  Noted ignored;
};

class EntryWalk {
 public:
  // `arrays`, when given, receive the soundings numbered from the walk's
  // first up to `room_last`, as far as they fit the arrays' extents.
  EntryWalk(EntryReader& in, Pass pass, SoundingArrays* arrays = nullptr, std::int64_t room_last = 0)
      : in_(in), pass_(pass), arrays_(arrays), room_last_(room_last), storing_(arrays != nullptr),
        exact_(arrays != nullptr && !arrays->soundx_exact.empty()) {
    if (exact_) in_.read_exact_coordinates();
    if (arrays != nullptr && arrays->empty_as_nan) in_.mark_empty_values();
  }

  // Where a walk ends before the end of the file.
  struct Limits {
    std::span<const std::uint64_t> stops;  // sounding starts (increasing) to end at
    std::int64_t soundings = std::numeric_limits<std::int64_t>::max();
    std::uint64_t bytes_end = std::numeric_limits<std::uint64_t>::max();  // no sounding starts past it
    const std::atomic<bool>* cancel = nullptr;
  };

  // Walks sounding entries numbered from `first` until the end of the file,
  // a fault that ends the walk, or a limit.
  WalkOutcome run(std::int64_t first, const Limits& limits) {
    out_ = WalkOutcome{};
    std::size_t next_stop = 0;
    const bool watch_position = !limits.stops.empty() || limits.bytes_end != Limits{}.bytes_end;
    for (;;) {
      if (watch_position) {
        const std::uint64_t position = in_.next_entry_position();
        while (next_stop < limits.stops.size() && limits.stops[next_stop] < position) ++next_stop;
        if (next_stop < limits.stops.size() && limits.stops[next_stop] == position) {
          out_.stop_index = next_stop;
          return ended(WalkOutcome::End::stop_reached);
        }
        if (position > limits.bytes_end) return ended(WalkOutcome::End::limit);
      }
      if (out_.soundings >= limits.soundings) return ended(WalkOutcome::End::limit);
      if (limits.cancel != nullptr && limits.cancel->load(std::memory_order_relaxed)) {
        return ended(WalkOutcome::End::cancelled);
      }
      if (!sounding(first + out_.soundings)) return out_;
    }
  }

 private:
  WalkOutcome ended(WalkOutcome::End end) {
    out_.end = end;
    return out_;
  }

  // A fault at value `ordinal` of the entry just read, or where its read
  // failed.
  Fault at_value(FaultKind kind, const Place& place, std::size_t ordinal) const {
    return Fault{kind, place, in_.value_position(ordinal), textio::IoStatus::ok, ordinal};
  }
  Fault at_failure(FaultKind kind, const Place& place) const {
    return Fault{kind, place, in_.failure_position(), in_.status(), in_.failed_value()};
  }

  // False when the walk ends here.
  bool stop(const Fault& fault) {
    out_.fault = fault;
    out_.end = WalkOutcome::End::fault;
    return false;
  }
  // A fault of a value: the load stops, the scan notes the first one and
  // from then on only follows the structure.
  bool value_fault(const Fault& fault) {
    if (pass_ == Pass::load) return stop(fault);
    if (!out_.deferred) out_.deferred = fault;
    storing_ = false;
    structure_only_ = true;
    return true;
  }
  // A count beyond the arrays: in a load the file is not the one scanned;
  // a scan stores no more and counts on.
  // Notes the values among `shown` (bits by value of the entry) that were
  // left empty.
  void note_empty(std::uint32_t shown, const Place& place) {
    const std::uint32_t empty = in_.nulls() & shown;
    if (empty == 0) return;
    out_.empty.note(at_value(FaultKind::empty_value, place, static_cast<std::size_t>(std::countr_zero(empty))),
                    std::popcount(empty));
  }

  bool beyond_arrays(const Place& place, std::size_t ordinal) {
    if (pass_ == Pass::load) return stop(at_value(FaultKind::beyond_scan, place, ordinal));
    out_.overflow = true;
    storing_ = false;
    return true;
  }

  bool sounding(std::int64_t isound) {
    SoundingEntry e;
    const textio::IoStatus status = in_.sounding(e);
    if (status == textio::IoStatus::end_of_file && pass_ == Pass::scan) {
      out_.end = WalkOutcome::End::end_of_file;
      return false;
    }
    ++out_.soundings;
    const Place place{isound};
    if (status != textio::IoStatus::ok || isound > std::numeric_limits<std::int32_t>::max()) {
      return stop(at_failure(FaultKind::sounding_unreadable, place));
    }
    if (e.nfreq < 1) return stop(at_value(FaultKind::frequency_count_low, place, 2));
    note_empty(0b11, place);
    out_.largest.maxfreq = std::max(out_.largest.maxfreq, e.nfreq);
    if (storing_ && (isound > room_last_ || e.nfreq > arrays_->dims.maxfreq) && !beyond_arrays(place, 2)) return false;
    if (storing_) {
      arrays_->soundx(isound) = e.x;
      arrays_->soundy(isound) = e.y;
      arrays_->nfreqs(isound) = e.nfreq;
      if (exact_) {
        arrays_->soundx_exact[static_cast<std::size_t>(isound - 1)] = e.x_exact;
        arrays_->soundy_exact[static_cast<std::size_t>(isound - 1)] = e.y_exact;
      }
    }
    ordinal_ = 0;
    for (std::int32_t ifreq = 1; ifreq <= e.nfreq; ++ifreq) {
      if (!frequency({isound, ifreq})) return false;
    }
    return true;
  }

  [[gnu::always_inline]] bool frequency(const Place& place) {
    FrequencyEntry e;
    if (in_.frequency(e, place.ifreq) != textio::IoStatus::ok) {
      return stop(at_failure(FaultKind::frequency_unreadable, place));
    }
    if (e.freq <= 0 && !value_fault(at_value(FaultKind::frequency_not_positive, place, 0))) return false;
    if (e.ntx < 1) return stop(at_value(FaultKind::transmitter_count_low, place, 1));
    out_.largest.maxtx = std::max(out_.largest.maxtx, e.ntx);
    if (storing_ && e.ntx > arrays_->dims.maxtx && !beyond_arrays(place, 1)) return false;
    if (storing_) {
      arrays_->freq(place.ifreq, place.isound) = e.freq;
      arrays_->nt(place.ifreq, place.isound) = e.ntx;
    }
    for (std::int32_t it = 1; it <= e.ntx; ++it) {
      if (!transmitter({place.isound, place.ifreq, it})) return false;
    }
    return true;
  }

  [[gnu::always_inline]] bool transmitter(const Place& place) {
    TransmitterEntry e;
    if (in_.transmitter(e, place.it) != textio::IoStatus::ok) {
      return stop(at_failure(FaultKind::transmitter_unreadable, place));
    }
    if (!fold_orientation(e.orientation) && !value_fault(at_value(FaultKind::transmitter_orientation, place, 2))) {
      return false;
    }
    if (e.nrx < 1) return stop(at_value(FaultKind::receiver_count_low, place, 3));
    if (place.it == 1 && place.ifreq == 1) note_empty(0b10, place);
    out_.largest.maxrx = std::max(out_.largest.maxrx, e.nrx);
    if (storing_ && e.nrx > arrays_->dims.maxrx && !beyond_arrays(place, 3)) return false;
    if (storing_) {
      arrays_->momt(place.it, place.ifreq, place.isound) = e.moment;
      arrays_->zt(place.it, place.ifreq, place.isound) = e.z;
      arrays_->ot(place.it, place.ifreq, place.isound) = e.orientation;
      arrays_->nr(place.it, place.ifreq, place.isound) = e.nrx;
    }
    for (std::int32_t ir = 1; ir <= e.nrx; ++ir) {
      if (!receiver({place.isound, place.ifreq, place.it, ir})) return false;
    }
    return true;
  }

  [[gnu::always_inline]] bool receiver(const Place& place) {
    const std::int64_t ordinal = ordinal_++;
    if (structure_only_) {
      // Only the structure matters now: one line per receiver.
      return in_.skip_receiver() || stop(Fault{FaultKind::receiver_missing, place, in_.position()});
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
    if (place.ir == 1) note_empty(0b110000000, place);
    if (const std::optional<textio::TextPosition> further = in_.further_value()) {
      out_.ignored.note(Fault{FaultKind::value_after_data, place, *further});
    }
    if (storing_) {
      SoundingArrays& a = *arrays_;
      // Every receiver array has the same extents: one index serves them all.
      const std::int64_t k = a.prd.linear_index(place.ir, place.it, place.ifreq, place.isound);
      a.momr.at(k) = e.moment;
      a.trx.at(k) = e.dx;
      a.try_.at(k) = e.dy;
      a.zr.at(k) = e.z;
      a.or_.at(k) = e.orientation;
      a.ontype.at(k) = e.type;
      a.octype.at(k) = e.component;
      a.prd.at(k) = e.datum;
    }
    return true;
  }

  EntryReader& in_;
  const Pass pass_;
  SoundingArrays* const arrays_;
  const std::int64_t room_last_;
  bool storing_;
  const bool exact_;
  bool structure_only_ = false;  // a scan after a fault of a value
  std::int64_t ordinal_ = 0;  // the next receiver's place in its sounding
  WalkOutcome out_;
};

}  // namespace korvan::reader
