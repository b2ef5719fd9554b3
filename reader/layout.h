// Sounding 1 as every other sounding is measured against: the counts that
// each sounding of a column file must share with it, and what its columns'
// labels say. What the reading finds against it: the first check of the
// column layout that fails, and the soundings unlike their labels.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "reader/entries.h"
#include "reader/faults.h"

namespace korvan::reader {

// Sounding 1's entries, kept whole: its counts and labels, and its values,
// which a store takes once it knows the extents they need.
struct FirstSounding {
  SoundingEntry sounding;
  std::vector<FrequencyEntry> frequencies;
  std::vector<std::size_t> first_transmitter;  // per frequency, into transmitters
  std::vector<TransmitterEntry> transmitters;  // in file order
  std::vector<std::size_t> first_receiver;     // per transmitter, into receivers
  std::vector<ReceiverEntry> receivers;        // in file order

  std::int32_t nfreq() const { return sounding.nfreq; }
  std::int32_t ntx(std::int32_t ifreq) const { return frequencies[static_cast<std::size_t>(ifreq - 1)].ntx; }
  // A transmitter's place in file order.
  std::size_t transmitter_index(std::int32_t ifreq, std::int32_t it) const {
    return first_transmitter[static_cast<std::size_t>(ifreq - 1)] + static_cast<std::size_t>(it - 1);
  }
  const TransmitterEntry& transmitter(std::int32_t ifreq, std::int32_t it) const {
    return transmitters[transmitter_index(ifreq, it)];
  }
  // Receiver 1 of a transmitter, whose component makes its columns.
  const ReceiverEntry& receiver(std::int32_t ifreq, std::int32_t it) const {
    return receivers[first_receiver[transmitter_index(ifreq, it)]];
  }
  // Whether receiver 1 of a transmitter was kept: past a faulty value of
  // sounding 1 only its structure is read, and its receivers are not.
  bool has_receiver(std::int32_t ifreq, std::int32_t it) const {
    return first_receiver[transmitter_index(ifreq, it)] < receivers.size();
  }
  // The largest counts of sounding 1.
  Dimensions extents() const;
};

// The checks of the column layout, in the order they are made: the number
// of frequencies of every sounding; then, frequency by frequency of sounding
// 1, its number of transmitters, and each transmitter's one receiver. The
// first that fails is the one a stop names, wherever in the file it fails.
enum class LayoutCheck { frequencies, transmitters, receivers };

class LayoutVerdict {
 public:
  bool suitable() const { return order_ == kNone; }
  LayoutCheck failed_check() const { return check_; }
  // A check failed at its place in the order.
  void fail(std::int64_t order, LayoutCheck check) {
    if (order < order_) {
      order_ = order;
      check_ = check;
    }
  }
  void add(const LayoutVerdict& other) {
    if (!other.suitable()) fail(other.order_, other.check_);
  }

 private:
  static constexpr std::int64_t kNone = std::numeric_limits<std::int64_t>::max();
  std::int64_t order_ = kNone;
  LayoutCheck check_ = LayoutCheck::frequencies;
};

// Where each check stands in the order, worked out from sounding 1.
class LayoutOrder {
 public:
  LayoutOrder() = default;
  explicit LayoutOrder(const FirstSounding& first);
  static constexpr std::int64_t frequencies() { return 0; }
  std::int64_t transmitters(std::int32_t ifreq) const { return base_[static_cast<std::size_t>(ifreq - 1)]; }
  std::int64_t receivers(std::int32_t ifreq, std::int32_t it) const { return transmitters(ifreq) + it; }

 private:
  std::vector<std::int64_t> base_;
};

// Soundings after the first that differ from their columns' labels in one
// way: how many, and the first, with what it has and what the label says.
struct LabelNote {
  std::int64_t count = 0;
  std::int64_t isound = 0;
  std::uint64_t line = 0;  // where the sounding's entry starts
  std::int32_t ifreq = 0;
  std::int32_t it = 0;
  float frequency = 0;        // the sounding's, for a frequency note
  char letter = '\0';         // the sounding's orientation or component
  bool inphase_column = false;  // which of the transmitter's columns the note is about

  void add(const LabelNote& later, std::int64_t soundings_before, std::uint64_t lines_before) {
    if (count == 0 && later.count > 0) {
      *this = later;
      isound += soundings_before;
      line += lines_before;
      count = 0;
    }
    count += later.count;
  }
};

struct LabelNotes {
  LabelNote frequency;    // another frequency than its column's label
  LabelNote orientation;  // another transmitter orientation
  LabelNote lacking;      // no value for the component its column's label names
  LabelNote both;         // both components under a column of one

  void add(const LabelNotes& later, std::int64_t soundings_before, std::uint64_t lines_before) {
    frequency.add(later.frequency, soundings_before, lines_before);
    orientation.add(later.orientation, soundings_before, lines_before);
    lacking.add(later.lacking, soundings_before, lines_before);
    both.add(later.both, soundings_before, lines_before);
  }
};

}  // namespace korvan::reader
