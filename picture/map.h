// The map: every sounding where it was taken, coloured by one channel, with
// its colour bar, the flight lines' numbers at their starts and, when one
// line is asked for, that line's track marked.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include <cairo.h>

#include "picture/layout.h"
#include "picture/survey_view.h"
#include "picture/value_scales.h"

namespace korvan::picture {

// The colour of a share of the colour range (0: its low end, 1: its high
// end): viridis, which reads the same in grey and to most colour-blind eyes.
struct Rgb {
  unsigned char red, green, blue;
};
Rgb colour_of(double share);

struct MapContent {
  const SurveyView& survey;
  std::span<const std::int32_t> lines;  // each sounding's flight line
  std::span<const float> values;        // each sounding's value of the colouring channel
  ColourRange range;
  std::string title;                    // what colours it, in words
  std::string column_name;              // and as its column is named
  std::optional<std::int32_t> marked_line;
};

void draw_map(cairo_t* cr, const PictureLayout& layout, const MapContent& map);

}  // namespace korvan::picture
