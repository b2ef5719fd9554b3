// Synthetic airborne surveys in the KORVAN predicted-data format, for the
// benchmarks and the tests. The text looks like a real survey: soundings
// along flight lines flown both ways, with the turns between them, tie lines
// across them, lost fixes and GPS jitter (the track is SurveyTrack's), a bird
// flying about 30 m up, smooth responses with a conductor crossed now and
// then, and rare spikes in some channels. Every sounding has the same layout,
// so the converter accepts every survey. The output depends only on the shape
// and the seed: the generator uses its own PRNG and its own number
// formatting, never std distributions, iostreams or the locale.
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

#include "bench/split_mix64.h"
#include "bench/survey_track.h"

namespace korvan::bench {

// Changes whenever the same shape gives other bytes, so that surveys kept
// from an earlier generator are made anew (run_bench.sh asks gen_survey).
inline constexpr int kGeneratorVersion = 2;

struct SurveyShape {
  std::int64_t soundings = 1;
  std::int32_t frequencies = 5;
  std::int32_t transmitters = 1;
  std::uint64_t seed = 1;
};

class SurveyGenerator {
 public:
  // No line the generator writes is longer than this.
  static constexpr std::size_t kMaxLine = 160;

  explicit SurveyGenerator(const SurveyShape& shape) : shape_(shape), rng_(shape.seed), track_(shape.seed) {
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
        c.spiky = layout_rng.next() % 3 == 0;
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
    bool spiky = false;  // now and then one sounding's value far off
  };

  // Moves to the next sounding and draws everything it needs.
  void advance() {
    const TrackPoint point = track_.next();
    x_hundredths_ = point.x_hundredths;
    y_hundredths_ = point.y_hundredths;
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
    double inphase = bounded(c.inphase_scale * response * (1.0 + 0.02 * (rng_.unit() - 0.5)));
    double quadrature = bounded(c.quadrature_scale * response * (1.0 + 0.02 * (rng_.unit() - 0.5)));
    if (c.spiky && rng_.next() % kSpikeOdds == 0) {
      // A sferic or a power line throws one value of one sounding far off.
      const std::uint64_t draw = rng_.next();
      const double spike = (draw & 1 ? -1.0 : 1.0) * (3000.0 + 2000.0 * static_cast<double>(draw >> 11) * 0x1.0p-53);
      const bool on_quadrature = c.component == 'q' || (c.component == 'b' && (draw & 2) != 0);
      (on_quadrature ? quadrature : inphase) = spike;
    }
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

  // One value in this many of a spiky channel is a spike.
  static constexpr std::uint64_t kSpikeOdds = 2000;

  static double bounded(double value) { return std::clamp(value, 0.1, 5000.0); }
  static std::int64_t thousandths(double value) {
    return value >= 0 ? static_cast<std::int64_t>(value * 1000.0 + 0.5) : -thousandths(-value);
  }

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
  SurveyTrack track_;
  std::vector<Channel> channels_;
  std::int64_t x_hundredths_ = 0;
  std::int64_t y_hundredths_ = 0;
  double altitude_ = 30.0;
  double ground_ = 0.2;
  double conductor_ = 0.0;
};

// The number of soundings that makes the file about `target_bytes` long,
// measured on the first soundings of the same survey (every sounding has the
// same lines, but the values grow and shrink along the survey): a first
// guess from 512 soundings, then a closer one from up to 16384.
inline std::int64_t soundings_for_bytes(SurveyShape shape, std::uint64_t target_bytes) {
  auto estimate = [&](std::int64_t sample) {
    shape.soundings = sample;
    std::uint64_t sample_bytes = 0;
    SurveyGenerator(shape).write([&](const char*, std::size_t size) { sample_bytes += size; });
    const double per_sounding = static_cast<double>(sample_bytes) / static_cast<double>(sample);
    const double n = static_cast<double>(target_bytes) / per_sounding;
    return std::clamp<std::int64_t>(static_cast<std::int64_t>(n + 0.5), 1, std::numeric_limits<std::int32_t>::max());
  };
  constexpr std::int64_t kLargestSample = 16384;
  return estimate(std::min(estimate(512), kLargestSample));
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
