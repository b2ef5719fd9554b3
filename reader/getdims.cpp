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
        return Fault{FaultKind::empty_value, place, in.value_position(ordinal), textio::IoStatus::ok, ordinal, {}};
      },
      std::popcount(empty));
}

void Scan::sounding(const Place& place, const SoundingEntry& e, const EntryReader& in) {
  reading_.largest.maxfreq = std::max(reading_.largest.maxfreq, e.nfreq);
  note_empty(0b11, place, in);
  noted_frequency_ = noted_orientation_ = noted_lacking_ = noted_both_ = false;
  if (first_ == nullptr) {
    own_first_.emplace();
    own_first_->sounding = e;
    reading_first_ = true;
    return;
  }
  sounding_line_ = in.entry_line();
  if (e.nfreq != first_->nfreq()) reading_.layout.fail(LayoutOrder::frequencies(), LayoutCheck::frequencies);
}

void Scan::frequency(const Place& place, const FrequencyEntry& e, const EntryReader&) {
  reading_.largest.maxtx = std::max(reading_.largest.maxtx, e.ntx);
  if (reading_first_) {
    own_first_->first_transmitter.push_back(own_first_->transmitters.size());
    own_first_->frequencies.push_back(e);
    return;
  }
  if (place.ifreq > first_->nfreq()) return;
  if (e.ntx != first_->ntx(place.ifreq)) {
    reading_.layout.fail(order_.transmitters(place.ifreq), LayoutCheck::transmitters);
  }
  compare_labels(place, &e, nullptr, nullptr);
}

void Scan::transmitter(const Place& place, const TransmitterEntry& e, const EntryReader& in) {
  reading_.largest.maxrx = std::max(reading_.largest.maxrx, e.nrx);
  if (place.it == 1 && place.ifreq == 1) note_empty(0b10, place, in);
  if (reading_first_) {
    own_first_->first_receiver.push_back(own_first_->receivers.size());
    own_first_->transmitters.push_back(e);
    return;
  }
  if (!in_first(place.ifreq, place.it)) return;
  if (e.nrx != 1) reading_.layout.fail(order_.receivers(place.ifreq, place.it), LayoutCheck::receivers);
  compare_labels(place, nullptr, &e, nullptr);
}

void Scan::receiver(const Place& place, const ReceiverEntry& e, const EntryReader& in) {
  if (place.ir == 1) note_empty(0b110000000, place, in);
  if (const std::optional<textio::TextPosition> further = in.further_value()) {
    reading_.ignored.note([&] {
      return Fault{FaultKind::value_after_data, place, *further, textio::IoStatus::ok, 0, in.comma_joined(*further)};
    });
  }
  if (reading_first_) {
    own_first_->receivers.push_back(e);
    return;
  }
  if (place.ir == 1 && in_first(place.ifreq, place.it) && first_->has_receiver(place.ifreq, place.it)) {
    compare_labels(place, nullptr, nullptr, &e);
  }
}

void Scan::end_sounding(const Place&) {
  ++reading_.soundings;
  if (!reading_first_) return;
  reading_first_ = false;
  // Sounding 1 is whole: it is the measure of the others from now on, and
  // its own transmitters must each have one receiver too.
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

// Notes the first way in which a sounding after the first differs from the
// labels of its columns, which sounding 1 gave.
void Scan::compare_labels(const Place& place, const FrequencyEntry* f, const TransmitterEntry* t,
                          const ReceiverEntry* r) {
  const auto note = [&](LabelNote& n, bool& noted) -> LabelNote* {
    if (noted) return nullptr;
    noted = true;
    ++n.count;
    if (n.count > 1) return nullptr;
    n.isound = place.isound;
    n.line = sounding_line_;
    n.ifreq = place.ifreq;
    n.it = place.it;
    return &n;
  };
  if (f != nullptr && f->freq != first_->frequencies[static_cast<std::size_t>(place.ifreq - 1)].freq) {
    if (LabelNote* n = note(reading_.labels.frequency, noted_frequency_)) n->frequency = f->freq;
  }
  if (t != nullptr && t->orientation != first_->transmitter(place.ifreq, place.it).orientation) {
    if (LabelNote* n = note(reading_.labels.orientation, noted_orientation_)) n->letter = t->orientation;
  }
  if (r == nullptr) return;
  const char label = first_->receiver(place.ifreq, place.it).component;
  const char has = r->component;
  // The columns of a b receiver are its in-phase one, then its quadrature
  // one; of an i or q receiver, that one only.
  const bool lacks_inphase = label != 'q' && has == 'q';
  const bool lacks_quadrature = label != 'i' && has == 'i';
  if (lacks_inphase || lacks_quadrature) {
    if (LabelNote* n = note(reading_.labels.lacking, noted_lacking_)) {
      n->letter = has;
      n->inphase_column = lacks_inphase;
    }
  }
  // Under a column of one component, the other value of a b receiver is
  // written nowhere.
  if (has == 'b' && label != 'b') {
    if (LabelNote* n = note(reading_.labels.both, noted_both_)) {
      n->letter = has;
      n->inphase_column = label == 'i';
    }
  }
}

}  // namespace korvan::reader::getdims_mod
