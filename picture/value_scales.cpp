// Percentiles from an even sample of the values (nth_element, O(n)), then
// one pass over all of them for the counts.
#include "picture/value_scales.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace korvan::picture {
namespace {

// Percentiles of a sample this large are within a few hundredths of a
// percent of the whole survey's, and cost a millisecond.
constexpr std::size_t kSampleSize = 1 << 16;
constexpr double kAxisTail = 0.005;     // the percentiles that set the fences
constexpr double kFenceSpans = 3;       // how far beyond them the fences lie
constexpr std::int64_t kLeastForFences = 200;
constexpr double kColourTail = 0.02;
constexpr double kAxisRoom = 0.06;      // room at each end of an axis

std::vector<float> finite_sample(std::span<const std::span<const float>> series) {
  std::size_t total = 0;
  for (const std::span<const float> values : series) total += values.size();
  const std::size_t stride = std::max<std::size_t>(1, total / kSampleSize);
  std::vector<float> sample;
  sample.reserve(std::min(total, 2 * kSampleSize));
  for (const std::span<const float> values : series) {
    for (std::size_t i = 0; i < values.size(); i += stride) {
      if (std::isfinite(values[i])) sample.push_back(values[i]);
    }
  }
  return sample;
}

// The value below which `share` of the sample lies (the lower of two
// neighbours); reorders the sample.
double quantile(std::vector<float>& sample, double share) {
  const auto at = static_cast<std::ptrdiff_t>(share * static_cast<double>(sample.size() - 1));
  std::nth_element(sample.begin(), sample.begin() + at, sample.end());
  return sample[static_cast<std::size_t>(at)];
}

}  // namespace

AxisRange robust_axis(std::span<const std::span<const float>> series) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  AxisRange range;
  double fence_low = -kInfinity;
  double fence_high = kInfinity;
  std::vector<float> sample = finite_sample(series);
  if (static_cast<std::int64_t>(sample.size()) >= kLeastForFences) {
    const double low = quantile(sample, kAxisTail);
    const double high = quantile(sample, 1 - kAxisTail);
    if (high > low) {
      fence_low = low - kFenceSpans * (high - low);
      fence_high = high + kFenceSpans * (high - low);
    }
  }

  // Step 1: the extremes, and those of the values within the fences.
  double lowest = kInfinity;
  double highest = -kInfinity;
  double inner_low = kInfinity;
  double inner_high = -kInfinity;
  for (const std::span<const float> values : series) {
    for (const float value : values) {
      if (!std::isfinite(value)) {
        ++range.not_finite;
        continue;
      }
      ++range.finite;
      lowest = std::min<double>(lowest, value);
      highest = std::max<double>(highest, value);
      if (value >= fence_low && value <= fence_high) {
        inner_low = std::min<double>(inner_low, value);
        inner_high = std::max<double>(inner_high, value);
      }
    }
  }
  if (range.finite == 0) return range;
  range.lowest = lowest;
  range.highest = highest;

  // Step 2: the ends, with a little room, or some room around a constant.
  const double room = inner_low < inner_high ? (inner_high - inner_low) * kAxisRoom
                                             : (inner_low != 0 ? std::abs(inner_low) * 0.1 : 1.0);
  range.low = inner_low - room;
  range.high = inner_high + room;

  // Step 3: what lies beyond them.
  if (lowest < range.low || highest > range.high) {
    for (const std::span<const float> values : series) {
      for (const float value : values) {
        range.below += value < range.low;
        range.above += value > range.high;
      }
    }
  }
  return range;
}

ColourRange colour_range(std::span<const float> values) {
  ColourRange range;
  const std::span<const float> series[] = {values};
  std::vector<float> sample = finite_sample(series);
  if (sample.empty()) return range;
  range.low = quantile(sample, kColourTail);
  range.high = quantile(sample, 1 - kColourTail);
  if (!(range.low < range.high)) {
    const double room = range.low != 0 ? std::abs(range.low) * 0.1 : 1.0;
    range.low -= room;
    range.high += room;
  }
  for (const float value : values) {
    if (!std::isfinite(value)) continue;
    ++range.finite;
    range.below += value < range.low;
    range.above += value > range.high;
  }
  return range;
}

}  // namespace korvan::picture
