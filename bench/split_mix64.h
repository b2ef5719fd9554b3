// The pseudo-random numbers of the synthetic surveys: splitmix64, tiny, fast
// and the same on every platform, so that a seed always gives the same file.
#pragma once

#include <cstdint>

namespace korvan::bench {

class SplitMix64 {
 public:
  explicit SplitMix64(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1) from the top 53 bits.
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  // Uniform in [lo, hi).
  double uniform(double lo, double hi) { return lo + (hi - lo) * unit(); }
  // Uniform integer in [lo, hi].
  std::int64_t between(std::int64_t lo, std::int64_t hi) {
    return lo + static_cast<std::int64_t>(next() % static_cast<std::uint64_t>(hi - lo + 1));
  }

 private:
  std::uint64_t state_;
};

}  // namespace korvan::bench
