// Percentiles from an even sample of the values (nth_element, O(n)); the
// counts from one pass over all of them.
#include "picture/value_scales.h"

#include <algorithm>

namespace korvan::picture {
namespace {

constexpr double kAxisTail = 0.005;  // the percentiles that set the fences
constexpr double kFenceSpans = 3;    // how far beyond them the fences lie
constexpr std::size_t kLeastForFences = 200;
constexpr double kColourTail = 0.02;
constexpr double kAxisRoom = 0.06;  // room at each end of an axis

// The value below which `share` of the sample lies (the lower of two
// neighbours); reorders the sample.
double quantile(std::vector<float>& sample, double share) {
  const auto at = static_cast<std::ptrdiff_t>(share * static_cast<double>(sample.size() - 1));
  std::nth_element(sample.begin(), sample.begin() + at, sample.end());
  return sample[static_cast<std::size_t>(at)];
}

}  // namespace

Fences axis_fences(std::vector<float>& sample) {
  if (sample.size() < kLeastForFences) return {};
  const double low = quantile(sample, kAxisTail);
  const double high = quantile(sample, 1 - kAxisTail);
  if (!(high > low)) return {};
  return {static_cast<float>(low - kFenceSpans * (high - low)), static_cast<float>(high + kFenceSpans * (high - low))};
}

AxisRange axis_range(const Fences& fences, std::span<const AxisTally> tallies) {
  AxisRange range;
  AxisTally all;
  for (const AxisTally& t : tallies) {
    range.finite += t.finite;
    range.not_finite += t.not_finite;
    range.below += t.below;
    range.above += t.above;
    all.lowest = std::min(all.lowest, t.lowest);
    all.highest = std::max(all.highest, t.highest);
    all.inner_low = std::min(all.inner_low, t.inner_low);
    all.inner_high = std::max(all.inner_high, t.inner_high);
  }
  if (range.finite == 0) return range;
  range.lowest = all.lowest;
  range.highest = all.highest;
  const double low = all.inner_low;
  const double high = all.inner_high;
  const double room = low < high ? (high - low) * kAxisRoom : (low != 0 ? std::abs(low) * 0.1 : 1.0);
  range.low = std::max<double>(low - room, fences.low);
  range.high = std::min<double>(high + room, fences.high);
  return range;
}

ColourRange colour_range(std::span<const float> values) {
  ColourRange range;
  const std::size_t stride = std::max<std::size_t>(1, values.size() / kSampleSize);
  std::vector<float> sample;
  for (std::size_t i = 0; i < values.size(); i += stride) {
    if (std::isfinite(values[i])) sample.push_back(values[i]);
  }
  if (sample.empty()) return range;
  // A few values each count: all of them are in range.
  const bool few = sample.size() < kLeastForFences;
  range.low = few ? *std::min_element(sample.begin(), sample.end()) : quantile(sample, kColourTail);
  range.high = few ? *std::max_element(sample.begin(), sample.end()) : quantile(sample, 1 - kColourTail);
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
