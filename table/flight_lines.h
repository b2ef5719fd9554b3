// Flight lines from the track alone: which soundings were taken on which
// straight line of the survey, and which in the turns between them.
//
// The rule, on the sounding coordinates (x, y) in file order, with
// T = turn_degrees (default 20) and W = smoothing (default 5):
//
//  1. A step is the distance from one sounding to the next. A jump is a step
//     longer than gap_metres when that is given, else longer than 5 times
//     the median of the steps that have a length (of an even count, the
//     lesser middle one). A stretch is a run of soundings without a jump.
//  2. A sounding's heading is the direction from the sounding W before it
//     to the one W after it, or to the ends of its stretch where those come
//     first.
//  3. A line starts where the track has settled: at the first sounding,
//     after the previous line, from which the direction over the next 4W
//     soundings and the direction over the 4W after those agree within T/4,
//     all in one stretch.
//  4. The line's heading is the direction from its first sounding to its
//     latest one (to the end of those 8W soundings while it is shorter).
//     The line goes on while each next sounding's heading lies within T of
//     it. A jump ends the line unless it is a lost fix: the jump's direction
//     and the heading of the sounding after it lie within T of the line's
//     heading, and the sounding after it lies within one jump threshold
//     (step 1) of the line's axis, the straight through its first sounding
//     and the one before the jump.
//  5. The ended line gives up, at each end, the soundings whose headings lie
//     more than T/4 off its direction, up to the first that does not. Its
//     direction is the median of the headings of up to 63 of its soundings,
//     spread evenly from its first to its last, taken as angles from the
//     way between those two (its jumps left out; of an even count, the
//     greater middle one). It needs 2W + 1 soundings left to be a line.
//  6. Lines are numbered 1, 2, ... in file order; every other sounding, in a
//     turn or on a track too short or too crooked for a line, gets 0.
//
// A sounding whose x or y is not a finite number (a coordinate the file left
// empty) gets 0 and is left out of the track: steps and headings pass over
// it as if it were not there. A stretch of fewer than 8W + 1 soundings
// starts no line, so a track that short (with W = 5, 40 soundings or
// fewer), and a track at one point, give 0 everywhere; an empty track gives
// an empty result.
//
// Time O(n) with a small constant (a few passes over the coordinates); the
// extra memory is a 512 KiB table, at most half a byte per sounding for the
// median and one index per jump, plus a copy of the coordinates when some
// are not finite. The result depends on
// the input alone.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "reader/sounding_arrays.h"

namespace korvan::table {

struct LineRule {
  // A step longer than this (metres, > 0) is a jump; without it, 5 times the
  // median step.
  std::optional<double> gap_metres;
  // How far the heading may leave a line's heading before the line ends.
  double turn_degrees = 20.0;
  // Soundings each side of a sounding that its heading spans (W above).
  int smoothing = 5;
};

// A jump without gap_metres: a step longer than this many median steps.
inline constexpr double kJumpInMedianSteps = 5.0;

// For each sounding, its line: 1, 2, ... in file order, or 0 for none; one
// entry per sounding (the shorter of x and y, should they differ).
std::vector<std::int32_t> find_flight_lines(std::span<const double> x, std::span<const double> y,
                                            const LineRule& rule = {});

// The same for the soundings of a survey in memory, on their coordinates in
// double precision where the arrays hold them (as for the CSV), else on the
// single-precision ones: the lines of every output of a run agree.
std::vector<std::int32_t> survey_flight_lines(const reader::SoundingArrays& arrays, const LineRule& rule = {});

}  // namespace korvan::table
