// Finds the flight lines of a track by the rule that flight_lines.h states.
// Step 1: the jump threshold, from the median step. Step 2: one walk along
// the track, stretch by stretch, that follows each line from where the track
// settles to where it turns or jumps off. Step 3: each line's ends are
// placed where the turns leave it, and the lines are numbered.
#include "table/flight_lines.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <limits>
#include <numbers>

namespace korvan::table {
namespace {

struct Vec {
  double x = 0;
  double y = 0;
  Vec operator-(Vec o) const { return {x - o.x, y - o.y}; }
  double dot(Vec o) const { return x * o.x + y * o.y; }
  double cross(Vec o) const { return x * o.y - y * o.x; }
  double norm2() const { return x * x + y * y; }
};

// True when both have a length and a's direction lies within the angle
// whose cosine is `cosine` of b's: a.b >= cosine |a| |b|, compared in
// squares.
inline bool within(Vec a, Vec b, double cosine) {
  const double a2 = a.norm2();
  const double b2 = b.norm2();
  if (!(a2 > 0 && b2 > 0)) return false;
  const double dot = a.dot(b);
  const double bound = cosine * cosine * a2 * b2;
  return cosine >= 0 ? dot >= 0 && dot * dot >= bound : dot >= 0 || dot * dot <= bound;
}

// The soundings between two jumps: [begin, end).
struct Stretch {
  std::size_t begin = 0;
  std::size_t end = 0;
};

struct Points {
  std::span<const double> x;
  std::span<const double> y;
  std::size_t size() const { return x.size(); }
  Vec operator[](std::size_t i) const { return {x[i], y[i]}; }
};

// The median of the squared steps that have a length (the lower one of an
// even count), exactly: a radix selection, 16 bits at a time, on the bits
// of the doubles, whose order is that of the values since all are positive,
// until the squares left to choose from are few enough to select among in
// a copy (mostly after one pass). 0 when no step has a length.
double median_square_step(const Points& p) {
  constexpr int kDigitBits = 16;
  auto for_each_square = [&p](auto&& visit) {
    for (std::size_t i = 1; i < p.size(); ++i) {
      const Vec step = p[i] - p[i - 1];
      const double square = step.norm2();
      if (square > 0) visit(square);
    }
  };
  std::vector<std::size_t> counts(std::size_t{1} << kDigitBits);
  std::uint64_t prefix = 0;  // the top `known` bits of the median's bits
  int known = 0;
  std::size_t rank = 0;  // of the median among the squares under `prefix`
  std::size_t few_enough = 0;
  for (;;) {
    std::fill(counts.begin(), counts.end(), 0);
    std::size_t under_prefix = 0;
    const int shift = 64 - known - kDigitBits;
    for_each_square([&](double square) {
      const auto bits = std::bit_cast<std::uint64_t>(square);
      if (known == 0 || bits >> (64 - known) == prefix) {
        ++counts[(bits >> shift) & ((std::uint64_t{1} << kDigitBits) - 1)];
        ++under_prefix;
      }
    });
    if (known == 0) {
      if (under_prefix == 0) return 0;
      rank = (under_prefix - 1) / 2;
      few_enough = std::max<std::size_t>(4096, under_prefix / 16);
    }
    std::size_t digit = 0;
    while (counts[digit] <= rank) rank -= counts[digit++];
    prefix = prefix << kDigitBits | digit;
    known += kDigitBits;
    if (known == 64) return std::bit_cast<double>(prefix);
    if (counts[digit] <= few_enough) {
      std::vector<double> few;
      few.reserve(counts[digit]);
      for_each_square([&](double square) {
        if (std::bit_cast<std::uint64_t>(square) >> (64 - known) == prefix) few.push_back(square);
      });
      std::nth_element(few.begin(), few.begin() + static_cast<std::ptrdiff_t>(rank), few.end());
      return few[rank];
    }
  }
}

class LineFinder {
 public:
  LineFinder(const Points& points, const LineRule& rule)
      : p_(points),
        w_(static_cast<std::size_t>(std::max(rule.smoothing, 1))),
        cos_turn_(cosine_of_degrees(rule.turn_degrees)),
        cos_quarter_(cosine_of_degrees(rule.turn_degrees / 4)) {
    // Step 1: the jump threshold.
    if (rule.gap_metres) {
      jump_ = *rule.gap_metres;
    } else {
      const double median = std::sqrt(median_square_step(p_));
      jump_ = median > 0 ? kJumpInMedianSteps * median : std::numeric_limits<double>::infinity();
    }
    jump_square_ = jump_ * jump_;
  }

  void label(std::span<std::int32_t> lines) { walk(lines); }

 private:
  // A line as the walk found it: from where the track settled to where it
  // turned or jumped off.
  struct Walked {
    std::size_t first = 0;
    std::size_t last = 0;
  };

  static double cosine_of_degrees(double degrees) { return std::cos(degrees * std::numbers::pi / 180); }

  static constexpr std::size_t kMedianSample = 63;

  std::size_t settle_span() const { return 4 * w_; }

  bool is_jump(std::size_t i) const { return (p_[i] - p_[i - 1]).norm2() > jump_square_; }

  Vec heading(std::size_t i, Stretch s) const {
    const std::size_t from = i - s.begin >= w_ ? i - w_ : s.begin;
    const std::size_t to = s.end - 1 - i >= w_ ? i + w_ : s.end - 1;
    return p_[to] - p_[from];
  }

  // The stretch that holds sounding i, from the jumps the walk found.
  Stretch stretch_of(std::size_t i) const {
    const auto next = std::upper_bound(jumps_.begin(), jumps_.end(), i);
    return {next == jumps_.begin() ? 0 : *(next - 1), next == jumps_.end() ? p_.size() : *next};
  }

  // The first sounding from `from` on where the track has settled: the
  // direction over the next settle span and that over the span after agree
  // within T/4. s.end when there is none.
  std::size_t settle(std::size_t from, Stretch s) const {
    const std::size_t k = settle_span();
    for (std::size_t j = from; j + 2 * k < s.end; ++j) {
      if (within(p_[j + 2 * k] - p_[j + k], p_[j + k] - p_[j], cos_quarter_)) return j;
    }
    return s.end;
  }

  // The line's heading once it holds `latest`: from where it settled, to
  // `latest` or, before that, to the end of the settled soundings.
  Vec line_heading(std::size_t first, std::size_t latest) const {
    return p_[std::max(latest, first + 2 * settle_span())] - p_[first];
  }

  // Whether the jump from the line's sounding `before` to the first of
  // stretch `s` is a lost fix, after which the line goes on.
  bool is_lost_fix(std::size_t first, std::size_t before, Stretch s) const {
    const Vec course = line_heading(first, before);
    const Vec jump = p_[s.begin] - p_[before];
    const double off_axis = std::abs(course.cross(jump));  // times |course|
    return within(jump, course, cos_turn_) && within(heading(s.begin, s), course, cos_turn_) &&
           off_axis <= jump_ * std::sqrt(course.norm2());
  }

  // Step 2: the walk, stretch by stretch. Each line goes to step 3 as soon
  // as it ends, while its soundings are fresh in the cache.
  void walk(std::span<std::int32_t> lines) {
    bool on_line = false;
    std::size_t first = 0;  // of the line being walked
    for (std::size_t begin = 0; begin < p_.size();) {
      std::size_t end = begin + 1;
      while (end < p_.size() && !is_jump(end)) ++end;
      if (end < p_.size()) jumps_.push_back(end);
      const Stretch s{begin, end};
      std::size_t i = begin;
      if (on_line) {
        if (is_lost_fix(first, begin - 1, s)) {
          ++i;
        } else {
          place_and_number({first, begin - 1}, lines);
          on_line = false;
        }
      }
      while (i < end) {
        if (!on_line) {
          first = settle(i, s);
          if (first == end) break;
          on_line = true;
          i = first + 1;
        } else if (within(heading(i, s), line_heading(first, i - 1), cos_turn_)) {
          ++i;
        } else {
          place_and_number({first, i - 1}, lines);
          on_line = false;
        }
      }
      begin = end;
    }
    if (on_line) place_and_number({first, p_.size() - 1}, lines);
  }

  // The way the track goes from sounding a to sounding b, its jumps left
  // out: a lost fix may land to the side of the line.
  Vec course(std::size_t a, std::size_t b) const {
    Vec way = p_[b] - p_[a];
    for (auto k = std::upper_bound(jumps_.begin(), jumps_.end(), a); k != jumps_.end() && *k <= b; ++k) {
      way = way - (p_[*k] - p_[*k - 1]);
    }
    return way;
  }

  // The median of the headings of up to kMedianSample soundings spread
  // evenly along the line, as angles from the way from its first sounding
  // to its last: the line's direction, whatever turns its ends hold.
  Vec median_heading(const Walked& line) const {
    const Vec way = course(line.first, line.last);
    const double length = std::sqrt(way.norm2());
    if (!(length > 0)) return way;
    const Vec along{way.x / length, way.y / length};
    const std::size_t soundings = line.last - line.first + 1;
    const std::size_t samples = std::min(soundings, kMedianSample);
    std::array<double, kMedianSample> sines{};
    std::size_t count = 0;
    Stretch stretch = stretch_of(line.first);
    for (std::size_t k = 0; k < samples; ++k) {
      const std::size_t i = line.first + (samples == 1 ? 0 : (soundings - 1) * k / (samples - 1));
      if (i >= stretch.end) stretch = stretch_of(i);
      const Vec h = heading(i, stretch);
      const double h_length = std::sqrt(h.norm2());
      if (!(h_length > 0)) continue;
      const double sine = along.cross(h) / h_length;
      // Beyond a right angle the sine turns back; such a heading is simply
      // far off, to its side.
      sines[count++] = along.dot(h) >= 0 ? sine : (sine >= 0 ? 1.0 : -1.0);
    }
    if (count == 0) return way;
    const auto middle = sines.begin() + static_cast<std::ptrdiff_t>(count / 2);
    std::nth_element(sines.begin(), middle, sines.begin() + static_cast<std::ptrdiff_t>(count));
    const double sine = std::clamp(*middle, -1.0, 1.0);
    const double cosine = std::sqrt(1 - sine * sine);
    return {along.x * cosine - along.y * sine, along.x * sine + along.y * cosine};
  }

  // Step 3: the line's ends where the turns leave it, then its number.
  void place_and_number(const Walked& line, std::span<std::int32_t> lines) {
    const Vec direction = median_heading(line);
    std::size_t first = line.first;
    std::size_t last = line.last;
    while (first <= last && !within(heading(first, stretch_of(first)), direction, cos_quarter_)) ++first;
    while (last > first && !within(heading(last, stretch_of(last)), direction, cos_quarter_)) --last;
    if (first > last || last - first < 2 * w_) return;
    ++lines_numbered_;
    std::fill(lines.begin() + static_cast<std::ptrdiff_t>(first), lines.begin() + static_cast<std::ptrdiff_t>(last) + 1,
              lines_numbered_);
  }

  Points p_;
  std::size_t w_;
  double cos_turn_;
  double cos_quarter_;
  double jump_ = 0;  // a step longer than this is a jump
  double jump_square_ = 0;
  std::vector<std::size_t> jumps_;  // the first sounding after each jump
  std::int32_t lines_numbered_ = 0;
};

}  // namespace

std::vector<std::int32_t> find_flight_lines(std::span<const double> x, std::span<const double> y,
                                            const LineRule& rule) {
  const std::size_t n = std::min(x.size(), y.size());
  std::vector<std::int32_t> lines(n, 0);
  bool all_finite = true;
  for (std::size_t i = 0; i < n; ++i) all_finite &= std::isfinite(x[i]) & std::isfinite(y[i]);
  if (all_finite) {
    LineFinder({x.first(n), y.first(n)}, rule).label(lines);
    return lines;
  }
  // The track without the soundings that have no place.
  std::vector<double> track_x;
  std::vector<double> track_y;
  std::vector<std::size_t> original;
  for (std::size_t i = 0; i < n; ++i) {
    if (std::isfinite(x[i]) && std::isfinite(y[i])) {
      track_x.push_back(x[i]);
      track_y.push_back(y[i]);
      original.push_back(i);
    }
  }
  std::vector<std::int32_t> track_lines(original.size(), 0);
  LineFinder({track_x, track_y}, rule).label(track_lines);
  for (std::size_t k = 0; k < original.size(); ++k) lines[original[k]] = track_lines[k];
  return lines;
}

std::vector<std::int32_t> survey_flight_lines(const reader::SoundingArrays& arrays, const LineRule& rule) {
  if (!arrays.soundx_exact.empty()) return find_flight_lines(arrays.soundx_exact, arrays.soundy_exact, rule);
  const auto count = static_cast<std::size_t>(arrays.dims.nsound);
  std::vector<double> x(count);
  std::vector<double> y(count);
  for (std::size_t i = 0; i < count; ++i) {
    x[i] = arrays.soundx(static_cast<std::int64_t>(i) + 1);
    y[i] = arrays.soundy(static_cast<std::int64_t>(i) + 1);
  }
  return find_flight_lines(x, y, rule);
}

}  // namespace korvan::table
