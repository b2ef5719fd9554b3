// Text, frames and axes with cairo.
#include "picture/drawing.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace korvan::picture {

Colour faded(Colour colour, double share) {
  const auto mix = [share](double c) { return c + (1 - c) * share; };
  return {mix(colour.red), mix(colour.green), mix(colour.blue)};
}

void set_colour(cairo_t* cr, Colour colour) { cairo_set_source_rgb(cr, colour.red, colour.green, colour.blue); }

void set_font(cairo_t* cr, double size, bool bold) {
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                         bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
}

double text_width(cairo_t* cr, const std::string& text) {
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text.c_str(), &extents);
  return extents.x_advance;
}

void show_text(cairo_t* cr, double x, double baseline, const std::string& text, Align align) {
  if (align != Align::left) x -= text_width(cr, text) / (align == Align::centre ? 2 : 1);
  cairo_move_to(cr, x, baseline);
  cairo_show_text(cr, text.c_str());
}

void show_note(cairo_t* cr, double x, double baseline, const std::string& text, Align align) {
  const double width = text_width(cr, text);
  if (align != Align::left) x -= width / (align == Align::centre ? 2 : 1);
  cairo_font_extents_t font;
  cairo_font_extents(cr, &font);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.85);
  cairo_rectangle(cr, x - 3, baseline - font.ascent - 1, width + 6, font.ascent + font.descent + 2);
  cairo_fill(cr);
  set_colour(cr, kInk);
  show_text(cr, x, baseline, text);
}

double crisp(double coordinate) { return std::floor(coordinate) + 0.5; }

std::vector<Tick> fitted_ticks(cairo_t* cr, double low, double high, double length, bool horizontal) {
  set_font(cr, kTickFont);
  const int densest = std::max(2, static_cast<int>(length / (horizontal ? 80 : 40)));
  std::vector<Tick> crowded;
  for (int steps = densest; steps >= 1; --steps) {
    std::vector<Tick> ticks = round_ticks(low, high, steps);
    if (ticks.size() < 2) break;
    const double spacing = (ticks[1].value - ticks[0].value) / (high - low) * length;
    double needed = 1.8 * kTickFont;
    if (horizontal) {
      double widest = 0;
      for (const Tick& tick : ticks) widest = std::max(widest, text_width(cr, tick.text));
      needed = widest + 14;
    }
    if (spacing >= needed) return ticks;
    crowded = std::move(ticks);
  }
  // A short axis can fall between the multiples of every step in range.
  for (int steps = densest + 1; crowded.empty() && steps <= 4 * densest; ++steps) {
    std::vector<Tick> ticks = round_ticks(low, high, steps);
    if (ticks.size() >= 2) crowded = std::move(ticks);
  }
  return crowded.empty() ? round_ticks(low, high, densest) : crowded;
}

void draw_grid(cairo_t* cr, const Frame& frame) {
  set_colour(cr, kGrid);
  cairo_set_line_width(cr, 1);
  for (const Tick& tick : frame.x.ticks) {
    const double x = crisp(frame.to_x(tick.value));
    cairo_move_to(cr, x, frame.top);
    cairo_line_to(cr, x, frame.bottom());
  }
  for (const Tick& tick : frame.y.ticks) {
    const double y = crisp(frame.to_y(tick.value));
    cairo_move_to(cr, frame.left, y);
    cairo_line_to(cr, frame.right(), y);
  }
  cairo_stroke(cr);
}

void draw_axes(cairo_t* cr, const Frame& frame, const AxisTexts& texts) {
  set_colour(cr, kInk);
  cairo_set_line_width(cr, 1);
  cairo_rectangle(cr, frame.left + 0.5, frame.top + 0.5, frame.width - 1, frame.height - 1);
  for (const Tick& tick : frame.x.ticks) {
    const double x = crisp(frame.to_x(tick.value));
    cairo_move_to(cr, x, frame.bottom());
    cairo_line_to(cr, x, frame.bottom() + 5);
  }
  for (const Tick& tick : frame.y.ticks) {
    const double y = crisp(frame.to_y(tick.value));
    cairo_move_to(cr, frame.left - 5, y);
    cairo_line_to(cr, frame.left, y);
  }
  cairo_stroke(cr);

  set_font(cr, kTickFont);
  const double tick_baseline = frame.bottom() + texts.below + 8 + kTickFont;
  if (texts.x_ticks) {
    for (const Tick& tick : frame.x.ticks) show_text(cr, frame.to_x(tick.value), tick_baseline, tick.text, Align::centre);
  }
  for (const Tick& tick : frame.y.ticks) {
    show_text(cr, frame.left - 8, frame.to_y(tick.value) + kTickFont * 0.35, tick.text, Align::right);
  }
  set_font(cr, kAxisFont);
  if (!texts.x_title.empty()) {
    show_text(cr, frame.left + frame.width / 2, tick_baseline + kTickFont + 8, texts.x_title, Align::centre);
  }
  if (!texts.y_title.empty()) {
    cairo_save(cr);
    cairo_translate(cr, frame.left - kMapLeftRoom + 6 + kAxisFont, frame.top + frame.height / 2);
    cairo_rotate(cr, -std::numbers::pi / 2);
    show_text(cr, 0, 0, texts.y_title, Align::centre);
    cairo_restore(cr);
  }
}

}  // namespace korvan::picture
