// What every part of the picture draws with: colours, text, and frames that
// map two axes onto a rectangle with their grid, ticks and titles.
#pragma once

#include <string>
#include <vector>

#include <cairo.h>

#include "picture/layout.h"
#include "picture/ticks.h"

namespace korvan::picture {

struct Colour {
  double red, green, blue;
};
// Blue and vermillion of the Okabe-Ito set, told apart with the common
// colour-vision deficiencies.
inline constexpr Colour kInphaseColour{0.0, 0.447, 0.698};
inline constexpr Colour kQuadratureColour{0.835, 0.369, 0.0};
inline constexpr Colour kHeightColour{0.25, 0.25, 0.25};
inline constexpr Colour kInk{0.12, 0.12, 0.12};
inline constexpr Colour kFaintInk{0.40, 0.40, 0.40};
inline constexpr Colour kGrid{0.89, 0.89, 0.89};
inline constexpr Colour kZeroLine{0.70, 0.70, 0.70};
inline constexpr Colour kPaper{1.0, 1.0, 1.0};

// `colour` seen through `share` of white: the turns' profiles.
Colour faded(Colour colour, double share);

inline constexpr double kTickFont = 12;
inline constexpr double kAxisFont = 13;
inline constexpr double kCellTitleFont = 14;
inline constexpr double kTitleFont = 17;

enum class Align { left, centre, right };

void set_colour(cairo_t* cr, Colour colour);
void set_font(cairo_t* cr, double size, bool bold = false);
double text_width(cairo_t* cr, const std::string& text);
void show_text(cairo_t* cr, double x, double baseline, const std::string& text, Align align = Align::left);
// Text on a white patch, readable over what it lies on.
void show_note(cairo_t* cr, double x, double baseline, const std::string& text, Align align = Align::left);

// The middle of the pixel a coordinate falls in: one-unit lines there stay sharp.
double crisp(double coordinate);

// A value axis: its range and its ticks.
struct Axis {
  double low = 0;
  double high = 1;
  std::vector<Tick> ticks;
};

// A rectangle on the picture that maps an x axis and a y axis onto itself.
struct Frame {
  double left = 0, top = 0, width = 1, height = 1;
  Axis x, y;

  static Frame of(const PlotArea& area) {
    return {static_cast<double>(area.left), static_cast<double>(area.top), static_cast<double>(area.width),
            static_cast<double>(area.height), {}, {}};
  }
  double right() const { return left + width; }
  double bottom() const { return top + height; }
  double to_x(double value) const { return left + (value - x.low) / (x.high - x.low) * width; }
  double to_y(double value) const { return bottom() - (value - y.low) / (y.high - y.low) * height; }
};

// The densest round ticks whose labels keep clear of each other along
// `length` units: side by side on a horizontal axis, stacked on a vertical one.
std::vector<Tick> fitted_ticks(cairo_t* cr, double low, double high, double length, bool horizontal);

void draw_grid(cairo_t* cr, const Frame& frame);
// The frame's outline, its ticks, and the tick texts and titles asked for.
struct AxisTexts {
  bool x_ticks = true;       // the x ticks' texts
  std::string x_title;       // under them
  std::string y_title;       // rotated, left of the y ticks' texts
  double below = 0;          // extra room between the frame and the x ticks' texts
};
void draw_axes(cairo_t* cr, const Frame& frame, const AxisTexts& texts);

}  // namespace korvan::picture
