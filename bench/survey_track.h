// The flight path of a synthetic airborne survey, sounding by sounding: where
// each sounding was taken and on which flight line. It is flown as surveys
// are: a block of parallel lines, flown alternately both ways with the turns
// between them recorded, then tie lines across them at 90 degrees, with turns
// of their own, then the next block beside the first. On a line the aircraft
// sways a few metres off it, its ground speed varies a little (and with the
// wind, from one direction to the other), and now and then it loses its fix:
// a run of soundings is missing and the line goes on. The recorder does not
// run on the way from the main lines to the tie lines, nor from there to the
// next block: the track jumps. Every position carries GPS jitter of about a
// metre. The overall heading, the line spacing (50-200 m), the step between
// soundings (3-10 m) and the rest are drawn once per survey from the seed.
//
// Each sounding knows its true line: 1, 2, ... in flight order, 0 in a turn.
// That is what tests of line finding compare with; a SurveyTrack of the same
// seed walks alongside SurveyGenerator and gives the places it writes. The
// places come from the seed alone (through the math library's sin and cos,
// so the same bytes wherever that library is the same), and cost no
// allocation.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "bench/split_mix64.h"

namespace korvan::bench {

struct TrackPoint {
  std::int64_t x_hundredths = 0;  // easting in hundredths of a metre, as the file has it
  std::int64_t y_hundredths = 0;  // northing
  std::int32_t line = 0;          // 1, 2, ... in flight order; 0 in a turn
};

class SurveyTrack {
 public:
  explicit SurveyTrack(std::uint64_t seed) : rng_(seed ^ 0x747261636b000000ULL) {
    const double heading = rng_.uniform(0, 2 * std::numbers::pi);
    along_ = {std::cos(heading), std::sin(heading)};
    across_ = {-along_.y, along_.x};
    spacing_ = rng_.uniform(50, 200);
    step_ = rng_.uniform(3, 10);
    line_length_ = rng_.uniform(4000, 12000);
    lines_per_block_ = static_cast<std::int32_t>(rng_.between(12, 30));
    // Tie lines a few line spacings apart.
    const double tie_target = std::clamp(spacing_ * rng_.uniform(4, 12), 200.0, 500.0);
    ties_per_block_ = static_cast<std::int32_t>(std::max(2.0, std::ceil(line_length_ / tie_target)));
    tie_spacing_ = line_length_ / ties_per_block_;
    const double wind_direction = rng_.uniform(0, 2 * std::numbers::pi);
    wind_ = Vec{std::cos(wind_direction), std::sin(wind_direction)} * rng_.uniform(0, 0.1);
    plan_next_line();
  }

  // The next sounding's place and true line.
  TrackPoint next() {
    const Leg& leg = legs_[leg_index_];
    Vec p = place_on(leg, distance_);
    // Triangular jitter of a standard deviation of 1 m in each coordinate,
    // from one draw: two sums of two 16-bit uniforms.
    const std::uint64_t draw = rng_.next();
    auto part = [draw](int shift) { return static_cast<double>((draw >> shift) & 0xffff) * 0x1.0p-16; };
    constexpr double kJitterScale = 2.449489742783178;  // sqrt(6): a triangle on (-1, 1) has variance 1/6
    p.x += (part(0) + part(16) - 1.0) * kJitterScale;
    p.y += (part(32) + part(48) - 1.0) * kJitterScale;
    const TrackPoint point{hundredths(p.x), hundredths(p.y), leg.kind == LegKind::line ? leg.line : 0};
    advance();
    return point;
  }

 private:
  struct Vec {
    double x = 0;
    double y = 0;
    Vec operator+(Vec o) const { return {x + o.x, y + o.y}; }
    Vec operator-(Vec o) const { return {x - o.x, y - o.y}; }
    Vec operator*(double k) const { return {x * k, y * k}; }
    double dot(Vec o) const { return x * o.x + y * o.y; }
    double cross(Vec o) const { return x * o.y - y * o.x; }
  };

  enum class LegKind { line, arc };

  // A piece of the path: a flight line or the turn after it. `length` is in
  // metres along the path.
  struct Leg {
    LegKind kind = LegKind::line;
    Vec start;      // line: the first point; arc: the centre
    Vec direction;  // line: unit vector along it
    double length = 0;
    double step = 0;  // mean distance between soundings
    bool jump_after = false;
    // Arcs.
    double radius = 0;
    double start_angle = 0;
    double turn_sign = 1;  // +1 anticlockwise
    // Lines.
    std::int32_t line = 0;
    double gap_begin = 0;  // soundings from here to gap_end are lost
    double gap_end = 0;
    double sway = 0;  // amplitude in metres
    double sway_wavelength = 1;
    double sway_phase = 0;
  };

  static std::int64_t hundredths(double metres) {
    return metres >= 0 ? static_cast<std::int64_t>(metres * 100.0 + 0.5) : -hundredths(-metres);
  }

  Vec place_on(const Leg& leg, double t) const {
    switch (leg.kind) {
      case LegKind::arc: {
        const double angle = leg.start_angle + leg.turn_sign * t / leg.radius;
        return leg.start + Vec{std::cos(angle), std::sin(angle)} * leg.radius;
      }
      case LegKind::line:
        break;
    }
    // The sway fades in and out so that the line meets its turns smoothly.
    const double u = t / leg.length;
    const double fade = 16 * u * u * (1 - u) * (1 - u);
    const double offset = leg.sway * fade * std::sin(2 * std::numbers::pi * t / leg.sway_wavelength + leg.sway_phase);
    return leg.start + leg.direction * t + Vec{-leg.direction.y, leg.direction.x} * offset;
  }

  // To the next sounding: a step of about the leg's step, on into the next
  // legs as they end, past a lost fix's soundings.
  void advance() {
    for (;;) {
      distance_ += legs_[leg_index_].step * (0.97 + 0.06 * rng_.unit());
      while (distance_ >= legs_[leg_index_].length) {
        const bool jump = legs_[leg_index_].jump_after;
        distance_ -= legs_[leg_index_].length;
        if (++leg_index_ == leg_count_) plan_next_line();
        if (jump) distance_ = 0;
      }
      const Leg& leg = legs_[leg_index_];
      if (leg.kind != LegKind::line || distance_ < leg.gap_begin || distance_ >= leg.gap_end) return;
    }
  }

  Vec local(double along, double across) const {
    constexpr Vec kOrigin{500'000.0, 6'000'000.0};
    return kOrigin + along_ * along + across_ * across;
  }

  // Plans the next line of the survey and the turn after it.
  void plan_next_line() {
    leg_count_ = 0;
    leg_index_ = 0;
    const double block_across = static_cast<double>(block_) * lines_per_block_ * spacing_;
    if (on_tie_lines_) {
      const double sign = tie_ % 2 == 0 ? 1.0 : -1.0;
      const double margin = 2 * spacing_;
      const double first = block_across - margin;
      const double last = block_across + (lines_per_block_ - 1) * spacing_ + margin;
      const Vec start = local((tie_ + 0.5) * tie_spacing_, sign > 0 ? first : last);
      const bool final_tie = tie_ + 1 == ties_per_block_;
      add_line(start, across_ * sign, last - first, final_tie);
      if (final_tie) {
        on_tie_lines_ = false;
        tie_ = 0;
        ++block_;
      } else {
        add_turn(start + across_ * (sign * (last - first)), across_ * sign, along_, tie_spacing_);
        ++tie_;
      }
      return;
    }
    const double sign = main_line_ % 2 == 0 ? 1.0 : -1.0;
    const Vec start = local(sign > 0 ? 0 : line_length_, block_across + main_line_ * spacing_);
    const bool final_line = main_line_ + 1 == lines_per_block_;
    add_line(start, along_ * sign, line_length_, final_line);
    if (final_line) {
      on_tie_lines_ = true;
      main_line_ = 0;
    } else {
      add_turn(start + along_ * (sign * line_length_), along_ * sign, across_, spacing_);
      ++main_line_;
    }
  }

  void add_line(Vec start, Vec direction, double length, bool jump_after) {
    Leg& leg = legs_[leg_count_++];
    leg = Leg{};
    leg.kind = LegKind::line;
    leg.start = start;
    leg.direction = direction;
    leg.length = length;
    leg.jump_after = jump_after;
    leg.line = ++lines_flown_;
    leg.step = step_ * (1 + wind_.dot(direction)) * rng_.uniform(0.97, 1.03);
    // Now and then the fix is lost for a few seconds.
    if (rng_.unit() < 0.3) {
      leg.gap_begin = length * rng_.uniform(0.2, 0.7);
      const double missing = static_cast<double>(rng_.between(5, 60)) * leg.step;
      leg.gap_end = leg.gap_begin + std::min(missing, 0.15 * length);
    }
    leg.sway = rng_.uniform(0, 4);
    leg.sway_wavelength = rng_.uniform(1000, 3000);
    leg.sway_phase = rng_.uniform(0, 2 * std::numbers::pi);
  }

  void add_arc(Vec centre, Vec from, double sweep, double turn_sign) {
    Leg& leg = legs_[leg_count_++];
    leg = Leg{};
    leg.kind = LegKind::arc;
    leg.start = centre;
    leg.radius = std::hypot(from.x - centre.x, from.y - centre.y);
    leg.start_angle = std::atan2(from.y - centre.y, from.x - centre.x);
    leg.turn_sign = turn_sign;
    leg.length = leg.radius * sweep;
    leg.step = step_;
  }

  // The turn from the end of a line at `end`, flown along `forward`, onto
  // the next line `spacing` metres towards `side`, flown back: a half circle.
  void add_turn(Vec end, Vec forward, Vec side, double spacing) {
    const double toward = forward.cross(side) > 0 ? 1.0 : -1.0;
    add_arc(end + side * (spacing / 2), end, std::numbers::pi, toward);
  }

  SplitMix64 rng_;
  Vec along_;   // unit vector along the main lines
  Vec across_;  // unit vector from one main line to the next
  double spacing_ = 100;
  double step_ = 5;
  double line_length_ = 5000;
  std::int32_t lines_per_block_ = 20;
  std::int32_t ties_per_block_ = 10;
  double tie_spacing_ = 500;
  Vec wind_;  // ground speed gained per unit of heading along it

  // Where the plan stands.
  std::int64_t block_ = 0;
  bool on_tie_lines_ = false;
  std::int32_t main_line_ = 0;
  std::int32_t tie_ = 0;
  std::int32_t lines_flown_ = 0;

  // The line being flown and the turn after it.
  std::array<Leg, 2> legs_{};
  int leg_count_ = 0;
  int leg_index_ = 0;
  double distance_ = 0;  // along the current leg
};

}  // namespace korvan::bench
