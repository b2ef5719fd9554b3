// Flight lines found from the track: hand-made tracks whose lines are known by
// construction, the degenerate tracks, and realistic surveys from the survey
// generator, which knows each sounding's true line.
#include "table/flight_lines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "bench/line_shares.h"
#include "bench/survey_track.h"

namespace korvan::table {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

// A hand-made track, piece by piece: soundings along a heading, round an
// arc, or placed anywhere (a jump).
class Track {
 public:
  Track& at(double x, double y) {
    x_.push_back(x);
    y_.push_back(y);
    return *this;
  }
  // `count` soundings, each `step` metres on along `degrees` (anticlockwise
  // from the x axis).
  Track& go(double degrees, double step, int count) {
    heading_ = degrees;
    for (int i = 0; i < count; ++i) at(x_.back() + step * cos_of(degrees), y_.back() + step * sin_of(degrees));
    return *this;
  }
  // Soundings `step` metres apart along an arc of `radius` that turns the
  // heading by `degrees` (positive: to the left).
  Track& arc(double degrees, double radius, double step) {
    const int count = static_cast<int>(std::lround(std::abs(degrees) * std::numbers::pi / 180 * radius / step));
    const double side = degrees > 0 ? 1 : -1;
    const double cx = x_.back() - side * radius * sin_of(heading_);
    const double cy = y_.back() + side * radius * cos_of(heading_);
    for (int i = 1; i <= count; ++i) {
      const double h = heading_ + degrees * i / count;
      at(cx + side * radius * sin_of(h), cy - side * radius * cos_of(h));
    }
    heading_ += degrees;
    return *this;
  }
  // A lost fix: `count` soundings missing, then the next one, `count + 1`
  // steps on along the heading.
  Track& lose(double step, int count) {
    const double distance = (count + 1) * step;
    return at(x_.back() + distance * cos_of(heading_), y_.back() + distance * sin_of(heading_));
  }
  // GPS jitter: every coordinate moved by up to +-1.73 m (a standard
  // deviation of 1 m), from a fixed linear congruential sequence.
  Track& jitter() {
    std::uint32_t state = 12345;
    auto next = [&state] {
      state = state * 1664525U + 1013904223U;
      return (static_cast<double>((state >> 8) % 2001) / 1000.0 - 1.0) * 1.732;
    };
    for (std::size_t i = 0; i < x_.size(); ++i) {
      x_[i] += next();
      y_[i] += next();
    }
    return *this;
  }
  Track& set_x(std::size_t i, double value) {
    x_[i] = value;
    return *this;
  }
  Track& set_y(std::size_t i, double value) {
    y_[i] = value;
    return *this;
  }

  const std::vector<double>& x() const { return x_; }
  const std::vector<double>& y() const { return y_; }

 private:
  static double cos_of(double degrees) { return std::cos(degrees * std::numbers::pi / 180); }
  static double sin_of(double degrees) { return std::sin(degrees * std::numbers::pi / 180); }

  std::vector<double> x_;
  std::vector<double> y_;
  double heading_ = 0;
};

// The expected lines as runs: {line, soundings}.
struct LineRun {
  std::int32_t line;
  int soundings;
};

std::string runs_of(const std::vector<std::int32_t>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size();) {
    std::size_t j = i;
    while (j < lines.size() && lines[j] == lines[i]) ++j;
    text += (text.empty() ? "" : " ") + std::to_string(lines[i]) + "x" + std::to_string(j - i);
    i = j;
  }
  return text;
}

struct HandCase {
  const char* label;
  Track track;
  std::vector<LineRun> expected;
  // At a recorded turn, and at the ends of the track, the soundings this
  // close to a change may go either way: the first of a turn are still on
  // the line's heading, and jitter turns the heading of the last ones.
  int slack;
  std::optional<double> gap_metres;
};

std::vector<HandCase> hand_cases() {
  return {
      {"a straight line", Track().at(0, 0).go(30, 5, 99), {{1, 100}}, 0, std::nullopt},
      {"two lines joined by a jump, flown both ways",
       Track().at(0, 0).go(0, 5, 99).at(495, 100).go(180, 5, 99),
       {{1, 100}, {2, 100}}, 0, std::nullopt},
      {"two lines flown the same way", Track().at(0, 0).go(0, 5, 99).at(0, 100).go(0, 5, 99), {{1, 100}, {2, 100}}, 0, std::nullopt},
      {"a recorded U-turn", Track().at(0, 0).go(0, 5, 99).arc(180, 50, 5).go(180, 5, 100),
       {{1, 100}, {0, 31}, {2, 100}}, 2, std::nullopt},
      {"a wide turn", Track().at(0, 0).go(0, 5, 99).arc(180, 400, 5).go(180, 5, 100),
       {{1, 100}, {0, 251}, {2, 100}}, 10, std::nullopt},
      {"a lost fix: 40 soundings missing", Track().at(0, 0).go(0, 5, 79).lose(5, 40).go(0, 5, 79), {{1, 160}}, 0, std::nullopt},
      {"a jump ahead that lands beside the line", Track().at(0, 0).go(0, 5, 99).at(700, 60).go(0, 5, 99),
       {{1, 100}, {2, 100}}, 0, std::nullopt},
      {"the same jump within --line-gap 100 of the line", Track().at(0, 0).go(0, 5, 99).at(700, 60).go(0, 5, 99),
       {{1, 200}}, 0, 100.0},
      {"a tie line across, after a jump", Track().at(0, 0).go(0, 5, 99).at(250, -200).go(90, 5, 99),
       {{1, 100}, {2, 100}}, 0, std::nullopt},
      {"a tie line across, after a recorded corner", Track().at(0, 0).go(0, 5, 99).arc(90, 50, 5).go(90, 5, 100),
       {{1, 100}, {0, 16}, {2, 100}}, 2, std::nullopt},
      {"GPS jitter of a metre at steps of 3 m", Track().at(0, 0).go(0, 3, 199).arc(180, 75, 3).go(180, 3, 200).jitter(),
       {{1, 200}, {0, 79}, {2, 200}}, 5, std::nullopt},
  };
}

TEST(FlightLines, HandMadeTracks) {
  for (const HandCase& c : hand_cases()) {
    LineRule rule;
    rule.gap_metres = c.gap_metres;
    const std::vector<std::int32_t> found = find_flight_lines(c.track.x(), c.track.y(), rule);
    // Each sounding's expected line, and the one it may have instead near a
    // turn's ends.
    std::vector<std::int32_t> expected;
    std::vector<std::int32_t> alternative;
    for (const LineRun& run : c.expected) expected.insert(expected.end(), static_cast<std::size_t>(run.soundings), run.line);
    alternative = expected;
    for (std::size_t k = 0; k < static_cast<std::size_t>(c.slack) && k < expected.size(); ++k) {
      alternative[k] = 0;
      alternative[expected.size() - 1 - k] = 0;
    }
    for (std::size_t i = 1; i < expected.size(); ++i) {
      if (expected[i] == expected[i - 1]) continue;
      for (std::size_t k = 0; k < static_cast<std::size_t>(c.slack); ++k) {
        if (i + k < expected.size()) alternative[i + k] = expected[i - 1];
        if (i >= k + 1) alternative[i - 1 - k] = expected[i];
      }
    }
    ASSERT_EQ(found.size(), expected.size()) << c.label;
    bool right = true;
    for (std::size_t i = 0; i < found.size(); ++i) right = right && (found[i] == expected[i] || found[i] == alternative[i]);
    EXPECT_TRUE(right) << c.label << ": found " << runs_of(found) << ", expected " << runs_of(expected)
                       << " (within " << c.slack << " of each change)";
  }
}

TEST(FlightLines, DegenerateTracks) {
  const struct {
    const char* label;
    Track track;
    std::string expected;
  } cases[] = {
      {"no sounding", Track(), ""},
      {"one sounding", Track().at(1, 2), "0x1"},
      {"two soundings", Track().at(1, 2).go(0, 5, 1), "0x2"},
      {"40 soundings: too short to settle", Track().at(0, 0).go(45, 5, 39), "0x40"},
      {"41 soundings: just long enough", Track().at(0, 0).go(45, 5, 40), "1x41"},
      {"every sounding at one point", Track().at(7, 7).go(0, 0, 59), "0x60"},
      {"x not a number in three soundings",
       Track().at(0, 0).go(0, 5, 99).set_x(10, kNan).set_x(50, kNan).set_x(51, kNan), "1x10 0x1 1x39 0x2 1x48"},
      {"the first y not a number, the last x infinite",
       Track().at(0, 0).go(0, 5, 99).set_y(0, kNan).set_x(99, std::numeric_limits<double>::infinity()),
       "0x1 1x98 0x1"},
      {"no coordinate a number", Track().at(kNan, kNan).at(kNan, 0).at(0, kNan), "0x3"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(runs_of(find_flight_lines(c.track.x(), c.track.y())), c.expected) << c.label;
  }
}

// Realistic surveys: parallel lines flown both ways with their turns, tie
// lines, lost fixes and GPS jitter, each with its own heading, spacing and
// step. The last line of each may be cut too short to be found.
TEST(FlightLines, MatchTheGeneratorsTrueLines) {
  constexpr std::int64_t kSoundings = 40'000;
  for (const std::uint64_t seed : {1, 2, 3, 4, 5}) {
    bench::SurveyTrack track(seed);
    std::vector<double> x;
    std::vector<double> y;
    std::vector<std::int32_t> truth;
    for (std::int64_t i = 0; i < kSoundings; ++i) {
      const bench::TrackPoint point = track.next();
      x.push_back(static_cast<double>(point.x_hundredths) / 100);
      y.push_back(static_cast<double>(point.y_hundredths) / 100);
      truth.push_back(point.line);
    }
    const bench::LineShares shares = bench::line_shares(find_flight_lines(x, y), truth);
    EXPECT_GE(shares.exact, 0.985) << "seed " << seed;
    EXPECT_GE(shares.matched, 0.985) << "seed " << seed;
  }
}

}  // namespace
}  // namespace korvan::table
