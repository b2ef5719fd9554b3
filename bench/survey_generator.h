// Synthetic airborne surveys in the KORVAN predicted-data format, for the
// benchmarks. The text looks like a real survey (soundings walking along
// flight lines, a bird flying about 30 m up, smooth responses) and keeps one
// layout in every sounding, so the converter accepts it. The output depends
// only on the shape and the seed: the generator uses its own PRNG and its own
// number formatting, never std distributions, iostreams or the locale.
#pragma once

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace korvan::bench {

struct SurveyShape {
  std::int64_t soundings = 1;
  std::int32_t frequencies = 5;
  std::int32_t transmitters = 1;
  std::uint64_t seed = 1;
};

// splitmix64: tiny, fast and the same on every platform.
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
  // Uniform integer in [lo, hi].
  std::int64_t between(std::int64_t lo, std::int64_t hi) {
    return lo + static_cast<std::int64_t>(next() % static_cast<std::uint64_t>(hi - lo + 1));
  }

 private:
  std::uint64_t state_;
};

class SurveyGenerator {
 public:
  // No line the generator writes is longer than this.
  static constexpr std::size_t kMaxLine = 160;

  explicit SurveyGenerator(const SurveyShape& shape) : shape_(shape), rng_(shape.seed) {
    // The layout has a stream of its own so that it does not shift when the
    // per-sounding draws change.
    SplitMix64 layout_rng(shape.seed ^ 0x6c61796f75740000ULL);
    static constexpr std::array<std::int32_t, 5> kFrequencies = {380, 1700, 6600, 25000, 100000};
    static constexpr std::array<double, 5> kInphaseScale = {8.0, 40.0, 180.0, 700.0, 2200.0};
    static constexpr std::array<double, 5> kQuadratureScale = {15.0, 60.0, 150.0, 380.0, 600.0};
    for (std::int32_t ifreq = 0; ifreq < shape.frequencies; ++ifreq) {
      for (std::int32_t it = 0; it < shape.transmitters; ++it) {
        Channel c;
        const std::size_t band = static_cast<std::size_t>(ifreq) % kFrequencies.size();
        c.frequency = kFrequencies[band];
        // Coplanar (z) coils on 8 m booms, coaxial (x) ones on 6.3 m.
        c.orientation = layout_rng.next() % 3 == 0 ? 'x' : 'z';
        c.separation_tenths = c.orientation == 'z' ? 80 : 63;
        // Mostly both components; now and then a channel with only one. The
        // choice is per channel, never per sounding, so the file stays
        // convertible to columns.
        const std::uint64_t pick = layout_rng.next() % 16;
        c.component = pick == 0 ? 'i' : pick == 1 ? 'q' : 'b';
        const double spread = 0.8 + 0.4 * layout_rng.unit();
        c.inphase_scale = kInphaseScale[band] * spread;
        c.quadrature_scale = kQuadratureScale[band] * spread;
        channels_.push_back(c);
      }
    }
  }

  // Passes the whole file to `sink(const char* data, std::size_t size)` in
  // chunks of about `chunk_bytes`.
  template <typename Sink>
  void write(Sink&& sink, std::size_t chunk_bytes = std::size_t{4} << 20) {
    std::vector<char> buffer(std::max(chunk_bytes, 4 * kMaxLine));
    char* const begin = buffer.data();
    char* const end = begin + buffer.size();
    char* p = begin;
    auto room = [&] {
      if (static_cast<std::size_t>(end - p) < kMaxLine) {
        sink(static_cast<const char*>(begin), static_cast<std::size_t>(p - begin));
        p = begin;
      }
    };
    p = put_int(p, shape_.soundings);
    *p++ = '\n';
    for (std::int64_t isound = 0; isound < shape_.soundings; ++isound) {
      advance();
      room();
      p = put_sounding_line(p);
      std::size_t ichannel = 0;
      for (std::int32_t ifreq = 0; ifreq < shape_.frequencies; ++ifreq) {
        room();
        p = put_frequency_line(p, channels_[ichannel]);
        for (std::int32_t it = 0; it < shape_.transmitters; ++it, ++ichannel) {
          room();
          p = put_transmitter_line(p, channels_[ichannel]);
          room();
          p = put_receiver_line(p, channels_[ichannel]);
        }
      }
    }
    if (p != begin) sink(static_cast<const char*>(begin), static_cast<std::size_t>(p - begin));
  }

 private:
  struct Channel {
    std::int32_t frequency = 0;
    char orientation = 'z';
    std::int32_t separation_tenths = 80;
    char component = 'b';
    double inphase_scale = 1;
    double quadrature_scale = 1;
  };

  // Flight lines 100 m apart, 2500 stations 4 m apart on each, flown back
  // and forth.
  static constexpr std::int64_t kStationsPerLine = 2500;

  // Moves to the next station and draws everything the sounding needs.
  void advance() {
    const std::int64_t line = station_ / kStationsPerLine;
    std::int64_t along = station_ % kStationsPerLine;
    if (line % 2 == 1) along = kStationsPerLine - 1 - along;
    ++station_;
    x_hundredths_ = 50'000'000 + along * 400 + rng_.between(-60, 60);
    y_hundredths_ = 600'000'000 + line * 10'000 + rng_.between(-150, 150);
    altitude_ = std::clamp(altitude_ + (rng_.unit() - 0.5) * 0.4, 24.0, 36.0);
    // Ground conductivity drifts along the line, with a sharp conductor
    // crossed now and then.
    ground_ = std::clamp(ground_ + (rng_.unit() - 0.5) * 0.03, 0.02, 1.0);
    if (rng_.next() % 4000 == 0) conductor_ = 1.0;
    conductor_ *= 0.93;
  }

  char* put_sounding_line(char* p) const {
    p = put_fixed(p, x_hundredths_, 2);
    *p++ = ' ';
    p = put_fixed(p, y_hundredths_, 2);
    *p++ = ' ';
    p = put_int(p, shape_.frequencies);
    *p++ = '\n';
    return p;
  }

  char* put_frequency_line(char* p, const Channel& c) const {
    p = put_int(p, c.frequency);
    p = put_text(p, ".0 ");
    p = put_int(p, shape_.transmitters);
    *p++ = '\n';
    return p;
  }

  std::int64_t height_hundredths() const { return -static_cast<std::int64_t>(altitude_ * 100.0 + 0.5); }

  char* put_transmitter_line(char* p, const Channel& c) const {
    p = put_text(p, "1.0 ");
    p = put_fixed(p, height_hundredths(), 2);
    *p++ = ' ';
    *p++ = c.orientation;
    p = put_text(p, " 1\n");
    return p;
  }

  char* put_receiver_line(char* p, const Channel& c) {
    // Responses fall off with height and grow with the ground's conductivity.
    const double coupling = (30.0 / altitude_) * (30.0 / altitude_) * (30.0 / altitude_);
    const double response = coupling * (ground_ + 1.5 * conductor_);
    const double inphase = bounded(c.inphase_scale * response * (1.0 + 0.02 * (rng_.unit() - 0.5)));
    const double quadrature = bounded(c.quadrature_scale * response * (1.0 + 0.02 * (rng_.unit() - 0.5)));
    p = put_text(p, "1.0 ");
    p = put_fixed(p, c.separation_tenths, 1);
    p = put_text(p, " 0.0 ");
    p = put_fixed(p, height_hundredths(), 2);
    *p++ = ' ';
    *p++ = c.orientation;
    p = put_text(p, " 1 ");
    *p++ = c.component;
    if (c.component != 'q') {
      *p++ = ' ';
      p = put_fixed(p, thousandths(inphase), 3);
    }
    if (c.component != 'i') {
      *p++ = ' ';
      p = put_fixed(p, thousandths(quadrature), 3);
    }
    *p++ = '\n';
    return p;
  }

  static double bounded(double value) { return std::clamp(value, 0.1, 5000.0); }
  static std::int64_t thousandths(double value) { return static_cast<std::int64_t>(value * 1000.0 + 0.5); }

  static char* put_text(char* p, std::string_view text) {
    std::copy(text.begin(), text.end(), p);
    return p + text.size();
  }

  static char* put_int(char* p, std::int64_t value) { return std::to_chars(p, p + 24, value).ptr; }

  // scaled / 10^decimals with exactly `decimals` digits after the point.
  static char* put_fixed(char* p, std::int64_t scaled, int decimals) {
    if (scaled < 0) {
      *p++ = '-';
      scaled = -scaled;
    }
    std::int64_t unit = 1;
    for (int d = 0; d < decimals; ++d) unit *= 10;
    p = put_int(p, scaled / unit);
    if (decimals > 0) {
      *p++ = '.';
      std::int64_t fraction = scaled % unit;
      for (int d = decimals; d-- > 0;) {
        p[d] = static_cast<char>('0' + fraction % 10);
        fraction /= 10;
      }
      p += decimals;
    }
    return p;
  }

  SurveyShape shape_;
  SplitMix64 rng_;
  std::vector<Channel> channels_;
  std::int64_t station_ = 0;
  std::int64_t x_hundredths_ = 0;
  std::int64_t y_hundredths_ = 0;
  double altitude_ = 30.0;
  double ground_ = 0.2;
  double conductor_ = 0.0;
};

// The number of soundings that makes the file about `target_bytes` long,
// measured on the first soundings of the same survey (every sounding has the
// same lines, so their length hardly varies).
inline std::int64_t soundings_for_bytes(SurveyShape shape, std::uint64_t target_bytes) {
  constexpr std::int64_t kSample = 512;
  shape.soundings = kSample;
  std::uint64_t sample_bytes = 0;
  SurveyGenerator(shape).write([&](const char*, std::size_t size) { sample_bytes += size; });
  const double per_sounding = static_cast<double>(sample_bytes) / kSample;
  const double n = static_cast<double>(target_bytes) / per_sounding;
  return std::clamp<std::int64_t>(static_cast<std::int64_t>(n + 0.5), 1, std::numeric_limits<std::int32_t>::max());
}

// Writes the survey to `path`; returns the bytes written, or -1 when the file
// cannot be created or written.
inline std::int64_t write_survey_file(const SurveyShape& shape, const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return -1;
  std::int64_t written = 0;
  bool ok = true;
  SurveyGenerator(shape).write([&](const char* data, std::size_t size) {
    if (ok && std::fwrite(data, 1, size, file) != size) ok = false;
    written += static_cast<std::int64_t>(size);
  });
  if (std::fclose(file) != 0) ok = false;
  return ok ? written : -1;
}

}  // namespace korvan::bench
