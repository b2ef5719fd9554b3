// Where everything lies on the picture: the title line, the map with its
// colour bar, and the profile panels stacked in one or more columns, those
// of a column sharing the distance axis that the lowest of them labels.
// Units are PNG pixels; SVG and PDF pages take a unit as 0.75 pt.
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

namespace korvan::picture {

inline constexpr int kWidth = 1600;
inline constexpr int kHeight = 1200;
inline constexpr double kPointsPerUnit = 0.75;

inline constexpr double kMargin = 16;
inline constexpr double kTitleBand = 44;    // the picture's title line
inline constexpr double kCellTitle = 34;    // a cell's title line and the strip above its frame
inline constexpr double kStrip = 7;         // the strips beside a panel's frame that mark values beyond it
inline constexpr double kMapLeftRoom = 92;  // ticks and the rotated axis title
inline constexpr double kMapRightRoom = 110;  // the colour bar and its texts
inline constexpr double kPanelLeftRoom = 76;  // value ticks of up to about ten digits
inline constexpr double kRightRoom = 16;
inline constexpr double kPanelBelow = 14;   // below a panel's frame: its strip and a gap
inline constexpr double kAxisLabels = 46;   // below the lowest panel: ticks and the axis title

// The length of a step (dx, dy); std::hypot's care for overflow costs more
// than a survey's coordinates need.
inline double length_of(double dx, double dy) { return std::sqrt(dx * dx + dy * dy); }

// A rectangle on whole pixels.
struct PlotArea {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int right() const { return left + width; }
  int bottom() const { return top + height; }
};

// The ground the soundings cover, in metres.
struct Extent {
  double x_low = 0;
  double x_high = 0;
  double y_low = 0;
  double y_high = 0;
};

struct PictureLayout {
  PlotArea map;           // the map's frame: as many metres per pixel across as up
  Extent map_metres;      // what its edges stand for
  PlotArea colour_bar;
  std::vector<PlotArea> panels;  // the profile panels' frames, in panel order
  std::vector<bool> labelled;    // whether the panel labels the distance axis (the lowest of its column)
};

// The layout for `panels` profile panels and a survey over `extent` (all
// zero for a survey without places). The map takes up to half the page, as
// much as fills its height or width; with `one_line` up to 40%, since the
// profiles are then what the picture is for.
PictureLayout picture_layout(const Extent& extent, std::size_t panels, bool one_line);

}  // namespace korvan::picture
