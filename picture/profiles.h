// The profile panels: one per frequency and transmitter with its in-phase
// and quadrature values, and one for the height, each against the
// profiles' track (flight line by flight line, or one line alone).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <cairo.h>

#include "picture/layout.h"
#include "picture/profile_track.h"
#include "picture/survey_view.h"

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

// The key to the panels' colours, its right end at `right`; with `turns`,
// also the faded colour of the soundings in turns.
void draw_profile_legend(cairo_t* cr, double right, double baseline, bool turns);

// Draws a panel with its frame at `area`, along `track` (laid out for the
// frame's width). `labelled`: the panel also labels the distance axis.
void draw_panel(cairo_t* cr, const SurveyView& survey, const PanelContent& panel, const PlotArea& area,
                bool labelled, const ProfileTrack& track);

}  // namespace korvan::picture
