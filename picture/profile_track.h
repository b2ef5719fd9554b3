// The profiles' x axis: where each sounding falls across a plot area. The
// whole survey is shown flight line by flight line in file order, the turns
// between them too, each run of soundings on one line (or in one turn) its
// own segment with a small gap to the next, so that no profile runs from one
// line into another. One line alone is shown along its own direction, in
// metres from its first sounding.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "picture/survey_view.h"

namespace korvan::picture {

// A run of consecutive soundings on one line, or in one turn.
struct Segment {
  std::int64_t first = 0;  // its first sounding
  std::int64_t end = 0;    // one past its last
  std::int32_t line = 0;   // 0: a turn, or soundings on no line
  double left = 0;         // where it lies across the plot area, in pixels from its left edge
  double right = 0;
};

enum class AlongScale {
  lines,      // the whole survey: the axis names flight lines
  metres,     // one line, or a survey without lines: distance along it
  soundings,  // a survey whose soundings all lie at one place: sounding numbers
};

struct LineMark {
  std::int32_t line = 0;
  double centre = 0;  // pixels from the plot area's left edge
};

struct ProfileTrack {
  AlongScale scale = AlongScale::metres;
  double low = 0;  // metres or sounding numbers at the plot area's edges (not for lines)
  double high = 1;
  std::vector<Segment> segments;     // the shown soundings, in file order
  std::vector<std::int32_t> column;  // each sounding's pixel column, -1 when not shown
  std::vector<LineMark> lines;       // the middle of each flight line shown (for lines)
  double length = 0;                 // metres along the shown soundings
  std::int64_t shown = 0;            // soundings shown
};

// The track across a plot area `width` pixels wide. `lines` holds each
// sounding's flight line; with `only`, only that line's soundings are shown.
ProfileTrack profile_track(const SurveyView& survey, std::span<const std::int32_t> lines,
                           std::optional<std::int32_t> only, int width);

}  // namespace korvan::picture
