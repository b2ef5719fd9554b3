// Surveys run to millions of soundings, so nothing is drawn per sounding:
// a profile draws, for each pixel column, the range of the values that fall
// there, joined to its neighbours on the same segment, so that a single
// spike still shows. A value beyond the axis also marks the strip beside
// the frame, in its column.
#include "picture/profiles.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <span>

#include "picture/drawing.h"
#include "picture/ticks.h"
#include "picture/value_scales.h"

namespace korvan::picture {
namespace {

// How much white the turns' profiles are seen through.
constexpr double kTurnFading = 0.6;

bool is_pair(const ChannelInfo& a, const ChannelInfo& b) {
  return a.component == Component::inphase && b.component == Component::quadrature && a.frequency == b.frequency &&
         a.orientation == b.orientation && a.transmitter == b.transmitter;
}

// An even sample of the finite values the series have on the shown
// soundings, for the axis's fences.
std::vector<float> shown_sample(const SurveyView& survey, const std::vector<std::optional<std::size_t>>& series,
                                const ProfileTrack& track) {
  const std::int64_t stride = std::max<std::int64_t>(
      1, track.shown * static_cast<std::int64_t>(series.size()) / static_cast<std::int64_t>(kSampleSize));
  std::vector<float> sample;
  float value = 0;
  for (const auto& column : series) {
    std::int64_t next = 0;   // the place among the shown soundings of the next one sampled
    std::int64_t start = 0;  // that of the segment's first
    for (const Segment& segment : track.segments) {
      const std::int64_t length = segment.end - segment.first;
      for (; next < start + length; next += stride) {
        survey.values(column, segment.first + next - start, std::span<float>(&value, 1));
        if (std::isfinite(value)) sample.push_back(value);
      }
      start += length;
    }
  }
  return sample;
}

void start_trace(Trace& trace, int width, bool turns_apart) {
  trace.on_lines.assign(static_cast<std::size_t>(width), Bin{});
  if (turns_apart) trace.in_turns.assign(static_cast<std::size_t>(width), Bin{});
}

// Adds a block of one segment's values to a series' bins and tally.
void add_block(std::span<const float> block, const std::int32_t* columns, std::int32_t segment,
               std::vector<Bin>& bins, const Fences& fences, AxisTally& tally) {
  for (std::size_t k = 0; k < block.size(); ++k) {
    const float value = block[k];
    tally.add(value, fences);
    if (!std::isfinite(value)) continue;
    Bin& bin = bins[static_cast<std::size_t>(columns[k])];
    if (!bin.filled) {
      bin = {value, value, value, value, segment, segment, true};
      continue;
    }
    bin.low = std::min(bin.low, value);
    bin.high = std::max(bin.high, value);
    bin.last = value;
    bin.last_segment = segment;
  }
}

// One series' line, one unit wide. In a pixel column that holds values it
// covers their range and, towards a neighbouring pixel column of the same
// segment, the way to halfway between the nearer ends: an upright bar each,
// which cairo fills as boxes many times faster than it strokes a line that
// doubles back in every pixel column. Across pixel columns without values
// it is a plain line from the last value before to the first after, again
// only within a segment.
void draw_trace(cairo_t* cr, const Frame& frame, const std::vector<Bin>& bins) {
  // Far beyond the frame a value is clipped anyway; kept near it, the
  // vector kinds stay small.
  const auto to_y = [&frame](double value) {
    return std::clamp(frame.to_y(value), frame.top - 2 * kStrip, frame.bottom() + 2 * kStrip);
  };
  const auto joined = [&bins](std::size_t left, std::size_t right) {
    return right < bins.size() && bins[left].filled && bins[right].filled &&
           bins[left].last_segment == bins[right].first_segment;
  };
  const auto halfway = [](float a, float b) { return (static_cast<double>(a) + static_cast<double>(b)) / 2; };
  for (std::size_t i = 0; i < bins.size(); ++i) {
    const Bin& bin = bins[i];
    if (!bin.filled) continue;
    double top = to_y(bin.high);
    double bottom = to_y(bin.low);
    if (i > 0 && joined(i - 1, i)) {
      const double y = to_y(halfway(bins[i - 1].last, bin.first));
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
    if (joined(i, i + 1)) {
      const double y = to_y(halfway(bin.last, bins[i + 1].first));
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
    // On whole pixels, at least one high: cairo fills such boxes without
    // working out how much of each pixel they cover.
    const double upper = std::floor(top);
    cairo_rectangle(cr, frame.left + static_cast<double>(i), upper, 1, std::max(1.0, std::ceil(bottom) - upper));
  }
  cairo_fill(cr);

  std::size_t previous = bins.size();
  for (std::size_t i = 0; i < bins.size(); ++i) {
    if (!bins[i].filled) continue;
    if (previous < bins.size() && previous + 1 < i && joined(previous, i)) {
      cairo_move_to(cr, frame.left + static_cast<double>(previous) + 0.5, to_y(bins[previous].last));
      cairo_line_to(cr, frame.left + static_cast<double>(i) + 0.5, to_y(bins[i].first));
    }
    previous = i;
  }
  cairo_stroke(cr);
}

// A short upright line in the strip above or below the frame for every
// pixel column with values beyond the axis.
void draw_beyond_marks(cairo_t* cr, const Frame& frame, const std::vector<Bin>& bins) {
  for (std::size_t i = 0; i < bins.size(); ++i) {
    if (!bins[i].filled) continue;
    const double x = frame.left + static_cast<double>(i);
    if (bins[i].high > frame.y.high) cairo_rectangle(cr, x, frame.top - kStrip, 1, kStrip - 1);
    if (bins[i].low < frame.y.low) cairo_rectangle(cr, x, frame.bottom() + 1, 1, kStrip - 1);
  }
  cairo_fill(cr);
}

// A dot on every value, where the soundings are few enough to be told apart.
void draw_dots(cairo_t* cr, const Frame& frame, const SurveyView& survey, const std::optional<std::size_t>& column,
               const ProfileTrack& track) {
  float value = 0;
  for (const Segment& segment : track.segments) {
    for (std::int64_t i = segment.first; i < segment.end; ++i) {
      survey.values(column, i, std::span<float>(&value, 1));
      if (!std::isfinite(value) || value < frame.y.low || value > frame.y.high) continue;
      cairo_new_sub_path(cr);
      cairo_arc(cr, frame.left + track.column[static_cast<std::size_t>(i)] + 0.5, frame.to_y(value), 2.5, 0,
                2 * std::numbers::pi);
    }
  }
  cairo_fill(cr);
}

std::string plural(std::int64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// What the title line says beside the title: values beyond the axis, left
// out, or all alike.
std::string panel_note(const AxisRange& range) {
  if (range.finite == 0) return "no finite values";
  std::vector<std::string> parts;
  if (range.above > 0) {
    parts.push_back(plural(range.above, "value", "values") + " above the axis, up to " + short_number(range.highest));
  }
  if (range.below > 0) {
    parts.push_back(plural(range.below, "value", "values") + " below, down to " + short_number(range.lowest));
  }
  if (range.lowest == range.highest) parts.push_back("all values are " + short_number(range.lowest));
  if (range.not_finite > 0) parts.push_back(plural(range.not_finite, "value", "values") + " not finite, left out");
  std::string note;
  for (const std::string& part : parts) note += (note.empty() ? "" : "; ") + part;
  return note;
}

// The distance axis: the flight lines' numbers, as many as fit, or round
// distances or sounding numbers.
void along_axis(cairo_t* cr, Frame& frame, const ProfileTrack& track) {
  if (track.scale != AlongScale::lines) {
    frame.x = {track.low, track.high, fitted_ticks(cr, track.low, track.high, frame.width, true)};
    return;
  }
  frame.x = {0, frame.width, {}};
  if (track.lines.empty()) return;
  set_font(cr, kTickFont);
  const double needed = text_width(cr, std::to_string(track.lines.back().line)) + 10;
  const double per_line = frame.width / static_cast<double>(track.lines.size());
  std::int32_t step = 1;
  for (std::int32_t power = 1; per_line * step < needed; power *= 10) {
    for (const std::int32_t multiple : {1, 2, 5}) {
      step = multiple * power;
      if (per_line * step >= needed) break;
    }
    if (per_line * step < needed) step = 10 * power;
  }
  double last_right = -1e9;
  for (const LineMark& mark : track.lines) {
    if (mark.line % step != 0 && !(step > 1 && mark.line == 1)) continue;
    const std::string text = std::to_string(mark.line);
    const double half = text_width(cr, text) / 2;
    if (mark.centre - half < last_right + 6) continue;
    frame.x.ticks.push_back({mark.centre, text});
    last_right = mark.centre + half;
  }
}

std::string along_title(const ProfileTrack& track) {
  switch (track.scale) {
    case AlongScale::lines:
      return "flight lines in file order, each as long as flown (turns between them faded)";
    case AlongScale::soundings:
      return "sounding number (all soundings lie at one place)";
    case AlongScale::metres:
      break;
  }
  return track.segments.empty() || track.segments.front().line == 0
             ? "distance along the soundings (m)"
             : "distance along line " + std::to_string(track.segments.front().line) + " from its start (m)";
}

}  // namespace

void draw_profile_legend(cairo_t* cr, double right, double baseline, bool turns) {
  std::vector<std::pair<std::string, std::vector<Colour>>> keys = {
      {component_text(Component::inphase), {kInphaseColour}},
      {component_text(Component::quadrature), {kQuadratureColour}},
  };
  if (turns) {
    keys.push_back({"in a turn", {faded(kInphaseColour, kTurnFading), faded(kQuadratureColour, kTurnFading)}});
  }
  set_font(cr, kAxisFont);
  double x = right;
  for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
    x -= text_width(cr, key->first);
    set_colour(cr, kInk);
    show_text(cr, x, baseline, key->first);
    cairo_set_line_width(cr, 2.5);
    for (auto colour = key->second.rbegin(); colour != key->second.rend(); ++colour) {
      x -= 26;
      set_colour(cr, *colour);
      cairo_move_to(cr, x, baseline - 4.5);
      cairo_line_to(cr, x + 20, baseline - 4.5);
      cairo_stroke(cr);
    }
    x -= 22;
  }
}

std::vector<PanelContent> panel_contents(const SurveyView& survey) {
  std::vector<PanelContent> panels;
  const std::size_t count = survey.columns();
  std::vector<ChannelInfo> channels;
  for (std::size_t column = 0; column < count; ++column) channels.push_back(survey.channel(column));
  for (std::size_t column = 0; column < count; ++column) {
    const ChannelInfo& c = channels[column];
    // Two transmitters of one frequency and orientation keep apart by number.
    const bool numbered = std::any_of(channels.begin(), channels.end(), [&c](const ChannelInfo& other) {
      return other.frequency == c.frequency && other.orientation == c.orientation &&
             other.transmitter != c.transmitter;
    });
    std::string title = frequency_text(c.frequency) + ", " + c.orientation + " transmitter";
    if (numbered) title += " " + std::to_string(c.transmitter);
    // Only neighbours pair, in-phase first, as the columns come.
    if (column + 1 < count && is_pair(c, channels[column + 1])) {
      panels.push_back({{column, column + 1}, title});
      ++column;
    } else {
      panels.push_back({{column}, title});
    }
  }
  panels.push_back({{}, "Height (m)"});
  return panels;
}

std::vector<PanelValues> panel_values(const SurveyView& survey, std::span<const PanelContent> panels,
                                     const ProfileTrack& track, int width) {
  // Step 1: each panel's series, and the fences of its axis from a sample.
  std::vector<PanelValues> values(panels.size());
  std::vector<Fences> fences;
  std::vector<std::vector<AxisTally>> tallies;
  const bool turns_apart = track.scale == AlongScale::lines;
  for (std::size_t p = 0; p < panels.size(); ++p) {
    PanelValues& panel = values[p];
    for (const std::size_t column : panels[p].columns) panel.series.emplace_back(column);
    if (panel.series.empty()) panel.series.emplace_back(std::nullopt);
    std::vector<float> sample = shown_sample(survey, panel.series, track);
    fences.push_back(axis_fences(sample));
    tallies.emplace_back(panel.series.size());
    panel.traces.resize(panel.series.size());
    for (Trace& trace : panel.traces) start_trace(trace, width, turns_apart);
  }

  // Step 2: one pass over the shown soundings, a block at a time, every
  // series in turn: the arrays' cache lines that the first series brings
  // in serve the others.
  constexpr std::int64_t kBlock = 4096;
  std::vector<float> block(kBlock);
  for (std::size_t s = 0; s < track.segments.size(); ++s) {
    const Segment& segment = track.segments[s];
    const bool in_turn = turns_apart && segment.line == 0;
    for (std::int64_t first = segment.first; first < segment.end; first += kBlock) {
      const auto count = static_cast<std::size_t>(std::min(kBlock, segment.end - first));
      const std::span<float> part(block.data(), count);
      const std::int32_t* columns = &track.column[static_cast<std::size_t>(first)];
      for (std::size_t p = 0; p < values.size(); ++p) {
        for (std::size_t k = 0; k < values[p].series.size(); ++k) {
          survey.values(values[p].series[k], first, part);
          Trace& trace = values[p].traces[k];
          add_block(part, columns, static_cast<std::int32_t>(s), in_turn ? trace.in_turns : trace.on_lines, fences[p],
                    tallies[p][k]);
        }
      }
    }
  }
  for (std::size_t p = 0; p < values.size(); ++p) values[p].range = axis_range(fences[p], tallies[p]);
  return values;
}

void draw_panel(cairo_t* cr, const SurveyView& survey, const PanelContent& panel, const PanelValues& values,
                const PlotArea& area, bool labelled, const ProfileTrack& track) {
  const std::vector<std::optional<std::size_t>>& series = values.series;
  const std::vector<Trace>& traces = values.traces;
  const AxisRange& range = values.range;
  Frame frame = Frame::of(area);
  frame.y = {range.low, range.high, fitted_ticks(cr, range.low, range.high, frame.height, false)};
  along_axis(cr, frame, track);

  // Step 1: the title line: the title, and a note on values beyond the
  // axis, left out or all alike.
  std::vector<Colour> colours;
  for (const auto& column : series) {
    if (!column) {
      colours.push_back(kHeightColour);
    } else {
      colours.push_back(survey.channel(*column).component == Component::inphase ? kInphaseColour : kQuadratureColour);
    }
  }
  const double baseline = frame.top - 14;
  set_colour(cr, kInk);
  set_font(cr, kCellTitleFont, true);
  show_text(cr, frame.left, baseline, panel.title);
  const double note_left = frame.left + text_width(cr, panel.title) + 16;
  set_font(cr, kTickFont);
  set_colour(cr, kFaintInk);
  show_text(cr, note_left, baseline, panel_note(range));

  // Step 2: grid, zero, the traces (turns first, faded), marks beyond.
  draw_grid(cr, track.scale == AlongScale::lines ? Frame{frame.left, frame.top, frame.width, frame.height,
                                                         {0, 1, {}}, frame.y}
                                                 : frame);
  if (frame.y.low < 0 && frame.y.high > 0) {
    set_colour(cr, kZeroLine);
    cairo_set_line_width(cr, 1);
    cairo_move_to(cr, frame.left, crisp(frame.to_y(0)));
    cairo_line_to(cr, frame.right(), crisp(frame.to_y(0)));
    cairo_stroke(cr);
  }
  cairo_save(cr);
  cairo_rectangle(cr, frame.left, frame.top, frame.width, frame.height);
  cairo_clip(cr);
  cairo_set_line_width(cr, 1);
  for (std::size_t i = 0; i < traces.size(); ++i) {
    set_colour(cr, faded(colours[i], kTurnFading));
    draw_trace(cr, frame, traces[i].in_turns);
  }
  const bool few = track.shown <= area.width / 8;
  for (std::size_t i = 0; i < traces.size(); ++i) {
    set_colour(cr, colours[i]);
    draw_trace(cr, frame, traces[i].on_lines);
    if (few) draw_dots(cr, frame, survey, series[i], track);
  }
  cairo_restore(cr);
  for (std::size_t i = 0; i < traces.size(); ++i) {
    set_colour(cr, colours[i]);
    draw_beyond_marks(cr, frame, traces[i].in_turns);
    draw_beyond_marks(cr, frame, traces[i].on_lines);
  }
  draw_axes(cr, frame, {labelled, labelled ? along_title(track) : "", "", kStrip});
}

}  // namespace korvan::picture
