// The profile panels: one per frequency and transmitter with its in-phase
// and quadrature values, and one for the height, each against the
// profiles' track (flight line by flight line, or one line alone).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <cairo.h>

#include "picture/layout.h"
#include "picture/profile_track.h"
#include "picture/survey_view.h"
#include "picture/value_scales.h"

namespace korvan::picture {

// What one panel draws: data columns, or the height when `columns` is empty.
struct PanelContent {
  std::vector<std::size_t> columns;
  std::string title;
};

// The panels of a survey, in order: a data column shares its panel with the
// next one when they are the in-phase and quadrature parts of one
// frequency and transmitter; the height's panel comes last.
std::vector<PanelContent> panel_contents(const SurveyView& survey);

// The values of one series that fall in one pixel column: their range, and
// the first and last in sounding order with their segments, which decide
// whether the column joins its neighbours.
struct Bin {
  float low = 0, high = 0, first = 0, last = 0;
  std::int32_t first_segment = 0, last_segment = 0;
  bool filled = false;
};

// A series' bins, those of the soundings on lines and those in turns apart.
struct Trace {
  std::vector<Bin> on_lines;
  std::vector<Bin> in_turns;  // empty unless the track shows turns
};

// What a panel draws, worked out before drawing.
struct PanelValues {
  std::vector<std::optional<std::size_t>> series;  // data columns; empty: the height
  std::vector<Trace> traces;                       // one per series
  AxisRange range;
};

// The values of `panels`, which all lie along `track` across `width`
// pixels, from one pass over the soundings.
std::vector<PanelValues> panel_values(const SurveyView& survey, std::span<const PanelContent> panels,
                                     const ProfileTrack& track, int width);

// The key to the panels' colours, its right end at `right`; with `turns`,
// also the faded colour of the soundings in turns.
void draw_profile_legend(cairo_t* cr, double right, double baseline, bool turns);

// Draws a panel with its frame at `area`, along `track` (laid out for the
// frame's width). `labelled`: the panel also labels the distance axis.
void draw_panel(cairo_t* cr, const SurveyView& survey, const PanelContent& panel, const PanelValues& values,
                const PlotArea& area, bool labelled, const ProfileTrack& track);

}  // namespace korvan::picture
