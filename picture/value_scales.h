// The ranges the picture's scales show. A survey's values carry spikes (a
// sferic, a power line) thousands of times larger than the signal; scales
// set by them would flatten everything else, so both the value axes and the
// map's colours are set by the bulk of the values, and what lies beyond is
// counted and marked instead of hidden.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace korvan::picture {

// A value axis. Its ends come from the values that lie within fences far
// outside the 0.5th and 99.5th percentiles (3 times the span between them
// beyond each): a flight over a conductor stays on the axis whole, a spike
// ten times the signal does not. Where there are few values, or the two
// percentiles are equal, there are no fences and every value is on the axis.
struct Fences {
  float low = -std::numeric_limits<float>::infinity();
  float high = std::numeric_limits<float>::infinity();
};

// The fences from an even sample of the finite values (reordered).
Fences axis_fences(std::vector<float>& sample);

// One pass over an axis's values: what axis_range needs of them.
struct AxisTally {
  std::int64_t finite = 0;
  std::int64_t not_finite = 0;
  std::int64_t below = 0;  // below the lower fence
  std::int64_t above = 0;
  float lowest = std::numeric_limits<float>::infinity();
  float highest = -std::numeric_limits<float>::infinity();
  float inner_low = std::numeric_limits<float>::infinity();  // of the values within the fences
  float inner_high = -std::numeric_limits<float>::infinity();

  void add(float value, const Fences& fences) {
    if (!std::isfinite(value)) {
      ++not_finite;
      return;
    }
    ++finite;
    lowest = std::min(lowest, value);
    highest = std::max(highest, value);
    // Mostly within the fences: the common way has no branch to mispredict.
    if (value >= fences.low && value <= fences.high) {
      inner_low = std::min(inner_low, value);
      inner_high = std::max(inner_high, value);
      return;
    }
    below += value < fences.low;
    above += value > fences.high;
  }
};

struct AxisRange {
  double low = -1;
  double high = 1;
  std::int64_t finite = 0;
  std::int64_t not_finite = 0;
  std::int64_t below = 0;  // finite values below `low`
  std::int64_t above = 0;  // and above `high`
  double lowest = 0;       // over the finite values
  double highest = 0;
};

// The axis of the values tallied, with a little room at each end (never
// past a fence, so that what lies beyond the fences lies beyond the axis).
AxisRange axis_range(const Fences& fences, std::span<const AxisTally> tallies);

// The map's colour range: from the 2nd to the 98th percentile of the finite
// values (from the least to the greatest where there are fewer than 200);
// values beyond take the end colours, and their numbers are told.
struct ColourRange {
  double low = 0;
  double high = 1;
  std::int64_t finite = 0;
  std::int64_t below = 0;
  std::int64_t above = 0;
};

ColourRange colour_range(std::span<const float> values);

// Samples of this size give percentiles within a few hundredths of a
// percent of the whole survey's, and cost a millisecond.
inline constexpr std::size_t kSampleSize = 1 << 16;

}  // namespace korvan::picture
