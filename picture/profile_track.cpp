// Segments, their places across the plot area, and each sounding's column.
#include "picture/profile_track.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "picture/layout.h"

namespace korvan::picture {
namespace {

bool placed(double x, double y) { return std::isfinite(x) && std::isfinite(y); }

// Distances along soundings [first, end): along the straight from the first
// placed sounding to the last (a flight line, which the aircraft sways
// about) or, with `along_path`, the steps from one sounding to the next
// added up (a turn). A sounding without a place keeps the distance before it.
std::vector<double> distances(const SurveyView& survey, std::int64_t first, std::int64_t end, bool along_path) {
  std::vector<double> along(static_cast<std::size_t>(end - first), 0.0);
  std::int64_t start = first;
  while (start < end && !placed(survey.x(start), survey.y(start))) ++start;
  std::int64_t last = end - 1;
  while (last > start && !placed(survey.x(last), survey.y(last))) --last;
  if (start >= end) return along;
  const double x0 = survey.x(start);
  const double y0 = survey.y(start);
  double dx = survey.x(last) - x0;
  double dy = survey.y(last) - y0;
  const double chord = length_of(dx, dy);
  if (!along_path && chord > 0) {
    dx /= chord;
    dy /= chord;
  }
  double distance = 0;
  double previous_x = x0;
  double previous_y = y0;
  for (std::int64_t i = first; i < end; ++i) {
    const double x = survey.x(i);
    const double y = survey.y(i);
    if (placed(x, y)) {
      if (along_path || chord == 0) {
        distance += length_of(x - previous_x, y - previous_y);
        previous_x = x;
        previous_y = y;
      } else {
        distance = (x - x0) * dx + (y - y0) * dy;
      }
    }
    along[static_cast<std::size_t>(i - first)] = distance;
  }
  return along;
}

// Runs of equal line numbers.
std::vector<Segment> runs(std::span<const std::int32_t> lines) {
  std::vector<Segment> segments;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (segments.empty() || lines[i] != segments.back().line) {
      segments.push_back({static_cast<std::int64_t>(i), static_cast<std::int64_t>(i), lines[i], 0, 0});
    }
    segments.back().end = static_cast<std::int64_t>(i) + 1;
  }
  return segments;
}

std::int32_t column_at(double pixel, int width) {
  return static_cast<std::int32_t>(std::clamp(std::floor(pixel), 0.0, width - 1.0));
}

// One straight axis (metres or sounding numbers) for the soundings of
// `segments`.
void lay_on_one_axis(ProfileTrack& track, const SurveyView& survey, int width, bool along_path) {
  const std::int64_t first = track.segments.front().first;
  const std::int64_t end = track.segments.back().end;
  std::vector<double> along = distances(survey, first, end, along_path);
  const auto [low, high] = std::minmax_element(along.begin(), along.end());
  track.low = std::min(0.0, *low);
  track.high = *high;
  track.length = *high - *low;
  if (!(track.high > track.low) || !std::isfinite(track.high - track.low)) {
    track.scale = AlongScale::soundings;
    for (std::size_t i = 0; i < along.size(); ++i) along[i] = static_cast<double>(i + 1);
    track.low = along.size() > 1 ? 1 : 0.5;
    track.high = along.size() > 1 ? static_cast<double>(along.size()) : 1.5;
  }
  const double scale = width / (track.high - track.low);
  for (Segment& segment : track.segments) {
    for (std::int64_t i = segment.first; i < segment.end; ++i) {
      const double pixel = (along[static_cast<std::size_t>(i - first)] - track.low) * scale;
      track.column[static_cast<std::size_t>(i)] = column_at(pixel, width);
    }
    segment.left = track.column[static_cast<std::size_t>(segment.first)];
    segment.right = track.column[static_cast<std::size_t>(segment.end - 1)] + 1;
    if (segment.left > segment.right - 1) std::swap(segment.left, segment.right);
  }
}

// Every segment in file order, each line as wide as it is long. Where
// there is room, a turn takes one pixel column, faded between the lines it
// joins, and two lines straight after each other keep an empty column
// between them; else every segment, turns too, is as wide as it is long.
void lay_side_by_side(ProfileTrack& track, const SurveyView& survey, int width) {
  std::vector<std::vector<double>> along;
  std::vector<double> lengths;
  double fixed = 0;   // pixel columns of turns, gaps and each line's first
  double breaks = 0;  // of turns and gaps alone
  double line_length = 0;
  double total_length = 0;
  for (std::size_t s = 0; s < track.segments.size(); ++s) {
    const Segment& segment = track.segments[s];
    along.push_back(distances(survey, segment.first, segment.end, segment.line == 0));
    std::vector<double>& a = along.back();
    const double start = *std::min_element(a.begin(), a.end());
    for (double& d : a) d -= start;
    const double length = *std::max_element(a.begin(), a.end());
    lengths.push_back(std::isfinite(length) ? length : 0);
    total_length += lengths.back();
    if (segment.line > 0) line_length += lengths.back();
    const double gap = segment.line > 0 && s > 0 && track.segments[s - 1].line > 0 ? 1 : 0;
    breaks += gap + (segment.line == 0 ? 1 : 0);
    fixed += 1 + gap;
  }
  track.length = total_length;
  const bool compact = breaks <= width / 4.0 && fixed <= width / 2.0;
  const double count = static_cast<double>(track.segments.size());
  const double scaled = compact ? line_length : total_length;
  const double room = compact ? width - fixed : width;
  const double scale = scaled > 0 ? room / scaled : 0;
  double cursor = 0;
  for (std::size_t s = 0; s < track.segments.size(); ++s) {
    Segment& segment = track.segments[s];
    const bool turn = segment.line == 0;
    if (compact && !turn && s > 0 && track.segments[s - 1].line > 0) cursor += 1;
    double span = lengths[s] * scale;
    if (compact) span = turn ? 1 : 1 + span;
    if (scaled <= 0) span = compact ? 1 : width / count;
    segment.left = cursor;
    segment.right = cursor + span;
    if (compact) {
      // On whole pixel columns, so that a gap is a column of its own.
      segment.left = std::round(cursor);
      segment.right = std::max(segment.left + 1, std::round(cursor + span));
    }
    const double last_pixel = std::max(std::floor(segment.left), std::ceil(segment.right) - 1);
    for (std::int64_t i = segment.first; i < segment.end; ++i) {
      const double d = along[s][static_cast<std::size_t>(i - segment.first)];
      const double pixel = compact && turn ? segment.left : std::min(segment.left + d * scale, last_pixel);
      track.column[static_cast<std::size_t>(i)] = column_at(pixel, width);
    }
    cursor += span;
  }
  for (const Segment& segment : track.segments) {
    if (segment.line == 0) continue;
    if (!track.lines.empty() && track.lines.back().line == segment.line) {
      // A line split by a sounding without a place: its middle spans both parts.
      track.lines.back().centre = (track.lines.back().centre + (segment.left + segment.right) / 2) / 2;
    } else {
      track.lines.push_back({segment.line, (segment.left + segment.right) / 2});
    }
  }
}

}  // namespace

ProfileTrack profile_track(const SurveyView& survey, std::span<const std::int32_t> lines,
                           std::optional<std::int32_t> only, int width) {
  ProfileTrack track;
  track.column.assign(lines.size(), -1);
  width = std::max(width, 1);
  std::vector<Segment> segments = runs(lines);
  const bool any_line = std::any_of(lines.begin(), lines.end(), [](std::int32_t line) { return line > 0; });
  if (only) {
    std::erase_if(segments, [&](const Segment& segment) { return segment.line != *only; });
  } else if (!any_line) {
    // No flight lines: the soundings as one run, as they were taken.
    segments = {{0, static_cast<std::int64_t>(lines.size()), 0, 0, 0}};
  }
  if (segments.empty() || segments.front().first >= segments.back().end) return track;
  track.segments = std::move(segments);
  for (const Segment& segment : track.segments) track.shown += segment.end - segment.first;

  if (only) {
    // A line split by soundings without a place or off it: one axis along
    // the whole line, from its first placed sounding to its last.
    const std::int64_t first = track.segments.front().first;
    const std::int64_t end = track.segments.back().end;
    std::vector<Segment> shown = std::move(track.segments);
    track.segments = {{first, end, *only, 0, 0}};
    lay_on_one_axis(track, survey, width, false);
    const std::vector<std::int32_t> columns = std::move(track.column);
    track.column.assign(lines.size(), -1);
    for (Segment& segment : shown) {
      for (std::int64_t i = segment.first; i < segment.end; ++i) {
        track.column[static_cast<std::size_t>(i)] = columns[static_cast<std::size_t>(i)];
      }
      segment.left = columns[static_cast<std::size_t>(segment.first)];
      segment.right = columns[static_cast<std::size_t>(segment.end - 1)] + 1;
    }
    track.segments = std::move(shown);
    track.scale = track.scale == AlongScale::soundings ? AlongScale::soundings : AlongScale::metres;
    return track;
  }
  if (!any_line) {
    lay_on_one_axis(track, survey, width, true);
    return track;
  }
  track.scale = AlongScale::lines;
  lay_side_by_side(track, survey, width);
  return track;
}

}  // namespace korvan::picture
