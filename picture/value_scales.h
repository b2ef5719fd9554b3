// The ranges the picture's scales show. A survey's values carry spikes (a
// sferic, a power line) thousands of times larger than the signal; scales
// set by them would flatten everything else, so both the value axes and the
// map's colours are set by the bulk of the values, and what lies beyond is
// counted and marked instead of hidden.
#pragma once

#include <cstdint>
#include <span>

namespace korvan::picture {

// A value axis. Its ends come from the values that lie within fences far
// outside the 0.5th and 99.5th percentiles (3 times the span between them
// beyond each): a flight over a conductor stays on the axis whole, a spike
// ten times the signal does not. Where there are few values, or the
// two percentiles are equal, every value is on the axis.
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

// One axis for one or more series of values drawn on it.
AxisRange robust_axis(std::span<const std::span<const float>> series);

// The map's colour range: from the 2nd to the 98th percentile of the finite
// values; values beyond take the end colours, and their numbers are told.
struct ColourRange {
  double low = 0;
  double high = 1;
  std::int64_t finite = 0;
  std::int64_t below = 0;
  std::int64_t above = 0;
};

ColourRange colour_range(std::span<const float> values);

}  // namespace korvan::picture
