// The dimension scan's part of every walk.
#include "reader/getdims.h"

#include <algorithm>
#include <bit>

namespace korvan::reader {

Dimensions FirstSounding::extents() const {
  Dimensions d;
  d.nsound = 1;
  d.maxfreq = sounding.nfreq;
  for (const FrequencyEntry& f : frequencies) d.maxtx = std::max(d.maxtx, f.ntx);
  for (const TransmitterEntry& t : transmitters) d.maxrx = std::max(d.maxrx, t.nrx);
  return d;
}

LayoutOrder::LayoutOrder(const FirstSounding& first) {
  // Check 0 is the frequencies'; then per frequency its transmitters' and
  // one per transmitter for its receivers.
  std::int64_t next = 1;
  for (const FrequencyEntry& f : first.frequencies) {
    base_.push_back(next);
    next += 1 + f.ntx;
  }
}

void Reading::add(const Reading& later) {
  if (!deferred && later.deferred) deferred = numbered(*later.deferred, soundings, lines);
  if (!fault && later.fault) fault = numbered(*later.fault, soundings, lines);
  empty.add(later.empty, soundings, lines);
  ignored.add(later.ignored, soundings, lines);
  labels.add(later.labels, soundings, lines);
  layout.add(later.layout);
  largest.maxfreq = std::max(largest.maxfreq, later.largest.maxfreq);
  largest.maxtx = std::max(largest.maxtx, later.largest.maxtx);
  largest.maxrx = std::max(largest.maxrx, later.largest.maxrx);
  soundings += later.soundings;
  lines += later.lines;
}

}  // namespace korvan::reader

namespace korvan::reader::getdims_mod {

// Notes the values among `shown` (bits by value of the entry) that were left
// empty.
void Scan::note_empty(std::uint32_t shown, const Place& place, const EntryReader& in) {
  const std::uint32_t empty = in.nulls() & shown;
  if (empty == 0) return;
  reading_.empty.note(
      [&] {
        const auto ordinal = static_cast<std::size_t>(std::countr_zero(empty));
        return Fault{FaultKind::empty_value, place, in.value_position(ordinal), text::IoStatus::ok, ordinal, {}};
      },
      std::popcount(empty));
}

void Scan::note_ignored(const Place& place, const text::TextPosition& further, const EntryReader& in) {
  reading_.ignored.note([&] {
    return Fault{FaultKind::value_after_data, place, further, text::IoStatus::ok, 0, in.comma_joined(further)};
  });
}

void Scan::keep_first(const SoundingEntry& e) {
  own_first_.emplace();
  own_first_->sounding = e;
  reading_first_ = true;
}

void Scan::keep_first(const FrequencyEntry& e) {
  own_first_->first_transmitter.push_back(own_first_->transmitters.size());
  own_first_->frequencies.push_back(e);
}

void Scan::keep_first(const TransmitterEntry& e) {
  own_first_->first_receiver.push_back(own_first_->receivers.size());
  own_first_->transmitters.push_back(e);
}

void Scan::keep_first(const ReceiverEntry& e) { own_first_->receivers.push_back(e); }

// Sounding 1 is whole: it is the measure of the others from now on, and its
// own transmitters must each have one receiver too.
void Scan::first_read() {
  reading_first_ = false;
  first_ = &*own_first_;
  order_ = LayoutOrder(*first_);
  for (std::int32_t ifreq = 1; ifreq <= first_->nfreq(); ++ifreq) {
    for (std::int32_t it = 1; it <= first_->ntx(ifreq); ++it) {
      if (first_->transmitter(ifreq, it).nrx != 1) {
        reading_.layout.fail(order_.receivers(ifreq, it), LayoutCheck::receivers);
      }
    }
  }
}

LabelNote* Scan::note(LabelNote& n, bool& noted, const Place& place) {
  if (noted) return nullptr;
  noted = true;
  if (++n.count > 1) return nullptr;
  n.isound = place.isound;
  n.line = sounding_line_;
  n.ifreq = place.ifreq;
  n.it = place.it;
  return &n;
}

void Scan::note_frequency(const Place& place, float frequency) {
  if (LabelNote* n = note(reading_.labels.frequency, noted_.frequency, place)) n->frequency = frequency;
}

void Scan::note_orientation(const Place& place, char orientation) {
  if (LabelNote* n = note(reading_.labels.orientation, noted_.orientation, place)) n->letter = orientation;
}

// The columns of a b receiver are its in-phase one, then its quadrature
// one; of an i or q receiver, that one only. A sounding with another
// component lacks a value a column names, or has one that no column takes.
void Scan::note_component(const Place& place, char has, char label) {
  const bool lacks_inphase = label != 'q' && has == 'q';
  const bool lacks_quadrature = label != 'i' && has == 'i';
  if (lacks_inphase || lacks_quadrature) {
    if (LabelNote* n = note(reading_.labels.lacking, noted_.lacking, place)) {
      n->letter = has;
      n->inphase_column = lacks_inphase;
    }
  }
  if (has == 'b' && label != 'b') {
    if (LabelNote* n = note(reading_.labels.both, noted_.both, place)) {
      n->letter = has;
      n->inphase_column = label == 'i';
    }
  }
}

}  // namespace korvan::reader::getdims_mod
