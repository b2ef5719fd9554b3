// The data load: the scan that also stores the soundings as they are read.
// Only data that fit a column layout are stored - every sounding with the
// counts of sounding 1, every transmitter with one receiver - so that memory
// follows the file; once a sounding shows that they do not, or a value is
// faulty, nothing more is stored and the scan goes on alone.
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <optional>

#include "reader/getdims.h"
#include "reader/sounding_arrays.h"

namespace korvan::reader::getprd_mod {

// The seventeen arrays as a load stores into them, with sounding 1's
// extents, by the walk's sounding numbers.
class ArraysStore {
 public:
  explicit ArraysStore(bool exact_coordinates) : exact_(exact_coordinates) {}

  // Arrays of sounding 1's extents with room for `capacity` soundings,
  // holding none; false when the memory is refused.
  bool make(const FirstSounding& first, std::int64_t capacity);
  // The same, holding sounding 1.
  bool start(const FirstSounding& first, std::int64_t capacity);
  bool room(std::int64_t isound) { return arrays_->reserve(isound); }

  [[gnu::always_inline]] void sounding(std::int64_t isound, const SoundingEntry& e) {
    SoundingArrays& a = *arrays_;
    a.soundx(isound) = e.x;
    a.soundy(isound) = e.y;
    a.nfreqs(isound) = e.nfreq;
    if (exact_) {
      a.soundx_exact.data()[isound - 1] = e.x_exact;
      a.soundy_exact.data()[isound - 1] = e.y_exact;
    }
  }
  [[gnu::always_inline]] void frequency(const Place& p, const FrequencyEntry& e) {
    arrays_->freq(p.ifreq, p.isound) = e.freq;
    arrays_->nt(p.ifreq, p.isound) = e.ntx;
  }
  [[gnu::always_inline]] void transmitter(const Place& p, const TransmitterEntry& e) {
    SoundingArrays& a = *arrays_;
    a.momt(p.it, p.ifreq, p.isound) = e.moment;
    a.zt(p.it, p.ifreq, p.isound) = e.z;
    a.ot(p.it, p.ifreq, p.isound) = e.orientation;
    a.nr(p.it, p.ifreq, p.isound) = e.nrx;
  }
  [[gnu::always_inline]] void receiver(const Place& p, const ReceiverEntry& e) {
    SoundingArrays& a = *arrays_;
    // Every receiver array has the same extents: one index serves them all.
    const std::int64_t k = a.prd.linear_index(p.ir, p.it, p.ifreq, p.isound);
    a.momr.at(k) = e.moment;
    a.trx.at(k) = e.dx;
    a.try_.at(k) = e.dy;
    a.zr.at(k) = e.z;
    a.or_.at(k) = e.orientation;
    a.ontype.at(k) = e.type;
    a.octype.at(k) = e.component;
    a.prd.at(k) = e.datum;
  }
  // Holds the first `n` soundings stored.
  void keep(std::int64_t n) { arrays_->keep_soundings(static_cast<std::int32_t>(n)); }
  std::int64_t capacity() const { return arrays_->capacity(); }
  // Copies what a later store holds to follow the first `at` soundings.
  void copy_in(std::int64_t at, const ArraysStore& later) { arrays_->copy_in(at, *later.arrays_); }

  std::optional<SoundingArrays>& arrays() { return arrays_; }

 private:
  bool exact_;
  std::optional<SoundingArrays> arrays_;
};

// The load as a visitor of the walk: a scan, and the store it fills.
template <typename Store>
class Load {
 public:
  // `store` is made already when the scan has sounding 1 given; else it is
  // started with sounding 1 once that is read. The walk's sounding n goes
  // to the store's n + `offset`. The walk ends after `limit` soundings.
  Load(getdims_mod::Scan& scan, Store* store, std::int64_t offset = 0,
       std::int64_t limit = std::numeric_limits<std::int64_t>::max())
      : scan_(scan), store_(store), storing_(store != nullptr && scan.first() != nullptr), offset_(offset),
        limit_(limit) {}
  Load(const Load&) = delete;
  Load& operator=(const Load&) = delete;

  // The walk also ends once `cancel` turns true.
  void stop_when(const std::atomic<bool>* cancel) { cancel_ = cancel; }

  bool more() {
    return scan_.reading().soundings < limit_ && (cancel_ == nullptr || !cancel_->load(std::memory_order_relaxed));
  }
  [[gnu::always_inline]] void sounding(const Place& place, const SoundingEntry& e, const EntryReader& in) {
    scan_.sounding(place, e, in);
    const std::int64_t isound = place.isound + offset_;
    if (go_on() && store_->room(isound)) {
      store_->sounding(isound, e);
    } else if (storing_) {
      refuse();
    }
  }
  [[gnu::always_inline]] void frequency(const Place& place, const FrequencyEntry& e, const EntryReader& in) {
    scan_.frequency(place, e, in);
    if (go_on()) store_->frequency(stored(place), e);
  }
  [[gnu::always_inline]] void transmitter(const Place& place, const TransmitterEntry& e, const EntryReader& in) {
    scan_.transmitter(place, e, in);
    if (go_on()) store_->transmitter(stored(place), e);
  }
  [[gnu::always_inline]] void receiver(const Place& place, const ReceiverEntry& e, const EntryReader& in) {
    scan_.receiver(place, e, in);
    if (go_on()) store_->receiver(stored(place), e);
  }
  void end_sounding(const Place& place) {
    const bool first = scan_.first() == nullptr;
    scan_.end_sounding(place);
    if (first && store_ != nullptr && scan_.reading().layout.suitable() && !scan_.reading().deferred) {
      storing_ = store_->start(*scan_.first(), 1);
      out_of_memory_ = !storing_;
    }
  }
  bool value_fault(const Fault& fault) {
    storing_ = false;
    return scan_.value_fault(fault);
  }

  // Whether every sounding read so far is stored.
  bool storing() const { return storing_; }
  // Whether storing ended because the memory was refused.
  bool out_of_memory() const { return out_of_memory_; }

 private:
  // Stores go on while the soundings keep sounding 1's layout.
  bool go_on() {
    if (storing_ && !scan_.reading().layout.suitable()) storing_ = false;
    return storing_;
  }
  void refuse() {
    storing_ = false;
    out_of_memory_ = true;
  }
  Place stored(Place place) const {
    place.isound += offset_;
    return place;
  }

  getdims_mod::Scan& scan_;
  Store* store_;
  bool storing_;
  bool out_of_memory_ = false;
  std::int64_t offset_;
  std::int64_t limit_;
  const std::atomic<bool>* cancel_ = nullptr;
};

}  // namespace korvan::reader::getprd_mod
