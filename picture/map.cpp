// The map as a raster: each pixel takes the mean of the values that fall in
// it, the soundings of a line joined where they lie more than a pixel apart,
// and the track then widened by a pixel each side so that it can be seen.
// The raster is an image on every kind of picture, so a survey of millions
// of soundings stays a small file as SVG or PDF too. Few soundings are
// drawn as dots instead.
#include "picture/map.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <vector>

#include "picture/drawing.h"

namespace korvan::picture {
namespace {

// Matplotlib's viridis at shares 0, 0.1, ..., 1.
constexpr Rgb kViridis[] = {{0x44, 0x01, 0x54}, {0x48, 0x24, 0x75}, {0x41, 0x44, 0x87}, {0x35, 0x5f, 0x8d},
                            {0x2a, 0x78, 0x8e}, {0x21, 0x91, 0x8c}, {0x22, 0xa8, 0x84}, {0x44, 0xbf, 0x70},
                            {0x7a, 0xd1, 0x51}, {0xbd, 0xdf, 0x26}, {0xfd, 0xe7, 0x25}};
constexpr int kStops = 11;

// Up to this many soundings are drawn as dots, each of which can be told apart.
constexpr std::int64_t kMostDots = 2000;
constexpr Colour kMarkedLine{0.08, 0.08, 0.08};
constexpr double kLabelFont = 10;

using SurfaceHandle = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

bool placed(double x, double y) { return std::isfinite(x) && std::isfinite(y); }

// Pixel coordinates on the map frame, from its top left corner.
struct MapScale {
  Extent metres;
  double width, height;
  double column(double x) const { return (x - metres.x_low) / (metres.x_high - metres.x_low) * width; }
  double row(double y) const { return (metres.y_high - y) / (metres.y_high - metres.y_low) * height; }
};

// A step longer than this many typical steps is a jump (a lost fix, the way
// to the next block), which the map does not join.
constexpr double kJumpSteps = 5;

double typical_step(const SurveyView& survey, std::span<const std::int32_t> lines) {
  const std::int64_t count = survey.soundings();
  const std::int64_t stride = std::max<std::int64_t>(1, count / 4096);
  std::vector<double> steps;
  for (std::int64_t i = 1; i < count; i += stride) {
    const double step = length_of(survey.x(i) - survey.x(i - 1), survey.y(i) - survey.y(i - 1));
    if (std::isfinite(step) && lines[static_cast<std::size_t>(i)] == lines[static_cast<std::size_t>(i - 1)]) {
      steps.push_back(step);
    }
  }
  if (steps.empty()) return 0;
  std::nth_element(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2), steps.end());
  return steps[steps.size() / 2];
}

struct Raster {
  int width = 0;
  int height = 0;
  std::vector<float> sum;
  std::vector<std::uint32_t> count;

  double mean(std::size_t at) const { return static_cast<double>(sum[at]) / static_cast<double>(count[at]); }

  void add(double column, double row, double value) {
    if (!(column >= 0 && column < width && row >= 0 && row < height)) return;
    const std::size_t at = static_cast<std::size_t>(row) * static_cast<std::size_t>(width) + static_cast<std::size_t>(column);
    sum[at] += static_cast<float>(value);
    ++count[at];
  }
};

Raster rasterise(const MapContent& map, const MapScale& scale) {
  Raster raster{static_cast<int>(scale.width), static_cast<int>(scale.height), {}, {}};
  const std::size_t pixels = static_cast<std::size_t>(raster.width) * static_cast<std::size_t>(raster.height);
  raster.sum.assign(pixels, 0.0f);
  raster.count.assign(pixels, 0);
  const double jump = kJumpSteps * typical_step(map.survey, map.lines);
  bool joined = false;  // whether the previous sounding can be joined to
  double last_x = 0, last_y = 0, last_column = 0, last_row = 0, last_value = 0;
  for (std::int64_t i = 0; i < map.survey.soundings(); ++i) {
    const double x = map.survey.x(i);
    const double y = map.survey.y(i);
    const double value = map.values[static_cast<std::size_t>(i)];
    if (!placed(x, y) || !std::isfinite(value)) {
      joined = false;
      continue;
    }
    const double column = scale.column(x);
    const double row = scale.row(y);
    if (joined && map.lines[static_cast<std::size_t>(i)] == map.lines[static_cast<std::size_t>(i - 1)] &&
        length_of(x - last_x, y - last_y) <= jump) {
      const double apart = std::max(std::abs(column - last_column), std::abs(row - last_row));
      const int pieces = static_cast<int>(std::ceil(apart));
      for (int k = 1; k < pieces; ++k) {
        const double t = static_cast<double>(k) / pieces;
        raster.add(last_column + t * (column - last_column), last_row + t * (row - last_row),
                   last_value + t * (value - last_value));
      }
    }
    raster.add(column, row, value);
    joined = true;
    last_x = x, last_y = y, last_column = column, last_row = row, last_value = value;
  }
  return raster;
}

std::uint32_t opaque(Rgb rgb) {
  return 0xff000000U | static_cast<std::uint32_t>(rgb.red) << 16 | static_cast<std::uint32_t>(rgb.green) << 8 | rgb.blue;
}

// The raster's colours, each pixel without values taking the mean of its
// neighbours that have some.
SurfaceHandle raster_image(const Raster& raster, const ColourRange& range) {
  SurfaceHandle image(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, raster.width, raster.height),
                      cairo_surface_destroy);
  if (cairo_surface_status(image.get()) != CAIRO_STATUS_SUCCESS) return image;
  std::uint32_t table[256];
  for (int k = 0; k < 256; ++k) table[k] = opaque(colour_of(k / 255.0));
  const double scale = 255 / (range.high - range.low);
  const auto colour = [&](double value) {
    return table[static_cast<int>(std::clamp((value - range.low) * scale + 0.5, 0.0, 255.0))];
  };
  cairo_surface_flush(image.get());
  unsigned char* data = cairo_image_surface_get_data(image.get());
  const auto stride = static_cast<std::size_t>(cairo_image_surface_get_stride(image.get()));
  const auto width = static_cast<std::size_t>(raster.width);
  const auto height = static_cast<std::size_t>(raster.height);
  for (std::size_t row = 0; row < height; ++row) {
    auto* pixels = reinterpret_cast<std::uint32_t*>(data + row * stride);
    for (std::size_t column = 0; column < width; ++column) {
      const std::size_t at = row * width + column;
      if (raster.count[at] > 0) {
        pixels[column] = colour(raster.mean(at));
        continue;
      }
      double sum = 0;
      double count = 0;
      for (std::size_t r = row > 0 ? row - 1 : 0; r <= std::min(row + 1, height - 1); ++r) {
        for (std::size_t c = column > 0 ? column - 1 : 0; c <= std::min(column + 1, width - 1); ++c) {
          const std::size_t near = r * width + c;
          if (raster.count[near] == 0) continue;
          sum += raster.mean(near);
          ++count;
        }
      }
      pixels[column] = count > 0 ? colour(sum / count) : 0;
    }
  }
  cairo_surface_mark_dirty(image.get());
  return image;
}

void set_rgb(cairo_t* cr, Rgb rgb) { cairo_set_source_rgb(cr, rgb.red / 255.0, rgb.green / 255.0, rgb.blue / 255.0); }

void draw_dots(cairo_t* cr, const Frame& frame, const MapScale& scale, const MapContent& map) {
  const double share_scale = 1 / (map.range.high - map.range.low);
  cairo_set_line_width(cr, 0.8);
  for (std::int64_t i = 0; i < map.survey.soundings(); ++i) {
    const double x = map.survey.x(i);
    const double y = map.survey.y(i);
    const float value = map.values[static_cast<std::size_t>(i)];
    if (!placed(x, y)) continue;
    cairo_new_path(cr);
    cairo_arc(cr, frame.left + scale.column(x), frame.top + scale.row(y), 4.5, 0, 2 * std::numbers::pi);
    if (std::isfinite(value)) {
      set_rgb(cr, colour_of((value - map.range.low) * share_scale));
      cairo_fill_preserve(cr);
    }
    set_colour(cr, kFaintInk);
    cairo_stroke(cr);
  }
}

// Where each flight line starts and ends (its first and last placed soundings).
struct LineEnds {
  std::int64_t first = -1;
  std::int64_t last = -1;
};

std::vector<LineEnds> line_ends(const MapContent& map) {
  std::vector<LineEnds> ends;
  for (std::int64_t i = 0; i < map.survey.soundings(); ++i) {
    const std::int32_t line = map.lines[static_cast<std::size_t>(i)];
    if (line <= 0 || !placed(map.survey.x(i), map.survey.y(i))) continue;
    if (ends.size() <= static_cast<std::size_t>(line)) ends.resize(static_cast<std::size_t>(line) + 1);
    LineEnds& e = ends[static_cast<std::size_t>(line)];
    if (e.first < 0) e.first = i;
    e.last = i;
  }
  return ends;
}

struct Box {
  double left, top, right, bottom;
  bool overlaps(const Box& o) const { return left < o.right && o.left < right && top < o.bottom && o.top < bottom; }
};

// The share of the pixels in `box` (frame pixels) that hold soundings.
double covered_share(const Raster& raster, double left, double top, double right, double bottom) {
  const int l = std::max(0, static_cast<int>(left));
  const int t = std::max(0, static_cast<int>(top));
  const int r = std::min(raster.width, static_cast<int>(std::ceil(right)));
  const int b = std::min(raster.height, static_cast<int>(std::ceil(bottom)));
  if (l >= r || t >= b) return 0;
  int covered = 0;
  for (int row = t; row < b; ++row) {
    for (int column = l; column < r; ++column) {
      covered += raster.count[static_cast<std::size_t>(row) * static_cast<std::size_t>(raster.width) +
                              static_cast<std::size_t>(column)] > 0;
    }
  }
  return static_cast<double>(covered) / ((r - l) * (b - t));
}

// Each line's number just before its start, where it covers neither
// another nor the soundings; the marked line's in bold, always.
void draw_line_numbers(cairo_t* cr, const Frame& frame, const MapScale& scale, const MapContent& map,
                       const std::vector<LineEnds>& ends, const Raster* raster) {
  std::vector<Box> taken;
  std::vector<std::size_t> order;
  for (std::size_t line = 1; line < ends.size(); ++line) {
    if (ends[line].first >= 0) order.push_back(line);
  }
  if (map.marked_line) {
    const auto marked = std::find(order.begin(), order.end(), static_cast<std::size_t>(*map.marked_line));
    if (marked != order.end()) std::rotate(order.begin(), marked, marked + 1);
  }
  for (const std::size_t line : order) {
    const bool marked = map.marked_line && static_cast<std::size_t>(*map.marked_line) == line;
    const std::string text = marked ? "line " + std::to_string(line) : std::to_string(line);
    set_font(cr, marked ? kAxisFont : kLabelFont, marked);
    const double width = text_width(cr, text) + 2;
    const double height = (marked ? kAxisFont : kLabelFont) * 0.8;
    const double x0 = scale.column(map.survey.x(ends[line].first));
    const double y0 = scale.row(map.survey.y(ends[line].first));
    double dx = scale.column(map.survey.x(ends[line].last)) - x0;
    double dy = scale.row(map.survey.y(ends[line].last)) - y0;
    const double length = length_of(dx, dy);
    if (length > 0) dx /= length, dy /= length;
    const double away = 5 + (std::abs(dx) * width + std::abs(dy) * height) / 2;
    double cx = frame.left + x0 - dx * away;
    double cy = frame.top + y0 - dy * away;
    if (marked) {
      cx = std::clamp(cx, frame.left + width / 2 + 2, frame.right() - width / 2 - 2);
      cy = std::clamp(cy, frame.top + height / 2 + 3, frame.bottom() - height / 2 - 3);
    }
    const Box box{cx - width / 2, cy - height / 2 - 1, cx + width / 2, cy + height / 2 + 1};
    const bool inside = box.left >= frame.left && box.right <= frame.right() && box.top >= frame.top &&
                        box.bottom <= frame.bottom();
    const bool clear =
        inside && std::none_of(taken.begin(), taken.end(), [&](const Box& b) { return b.overlaps(box); }) &&
        (raster == nullptr || covered_share(*raster, box.left - frame.left, box.top - frame.top,
                                            box.right - frame.left, box.bottom - frame.top) < 0.1);
    if (!marked && !clear) continue;
    taken.push_back(box);
    show_note(cr, cx, cy + height / 2, text, Align::centre);
  }
}

// The marked line's track in black on a white casing, over its colours
// (which its profiles show), with an arrow past its end for the way it was
// flown.
void draw_marked_track(cairo_t* cr, const Frame& frame, const MapScale& scale, const MapContent& map,
                       const std::vector<LineEnds>& ends) {
  const auto line = static_cast<std::size_t>(*map.marked_line);
  if (line >= ends.size() || ends[line].first < 0) return;
  cairo_new_path(cr);
  double last_column = -1e9;
  double last_row = -1e9;
  for (std::int64_t i = ends[line].first; i <= ends[line].last; ++i) {
    if (map.lines[static_cast<std::size_t>(i)] != *map.marked_line || !placed(map.survey.x(i), map.survey.y(i))) continue;
    const double column = frame.left + scale.column(map.survey.x(i));
    const double row = frame.top + scale.row(map.survey.y(i));
    if (length_of(column - last_column, row - last_row) < 1.5 && i != ends[line].last) continue;
    if (last_column == -1e9) {
      cairo_move_to(cr, column, row);
    } else {
      cairo_line_to(cr, column, row);
    }
    last_column = column;
    last_row = row;
  }
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  set_colour(cr, kPaper);
  cairo_set_line_width(cr, 6);
  cairo_stroke_preserve(cr);
  set_colour(cr, kMarkedLine);
  cairo_set_line_width(cr, 2.5);
  cairo_stroke(cr);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);

  const double x0 = scale.column(map.survey.x(ends[line].first));
  const double y0 = scale.row(map.survey.y(ends[line].first));
  const double x1 = scale.column(map.survey.x(ends[line].last));
  const double y1 = scale.row(map.survey.y(ends[line].last));
  const double length = length_of(x1 - x0, y1 - y0);
  if (length <= 0) return;
  const double dx = (x1 - x0) / length;
  const double dy = (y1 - y0) / length;
  const double tip_x = frame.left + x1 + dx * 16;
  const double tip_y = frame.top + y1 + dy * 16;
  cairo_move_to(cr, tip_x, tip_y);
  cairo_line_to(cr, tip_x - dx * 12 - dy * 6, tip_y - dy * 12 + dx * 6);
  cairo_line_to(cr, tip_x - dx * 12 + dy * 6, tip_y - dy * 12 - dx * 6);
  cairo_close_path(cr);
  set_colour(cr, kPaper);
  cairo_set_line_width(cr, 3);
  cairo_stroke_preserve(cr);
  set_colour(cr, kMarkedLine);
  cairo_fill(cr);
}

std::string share_text(std::int64_t count, std::int64_t finite) {
  const double percent = finite > 0 ? 100.0 * static_cast<double>(count) / static_cast<double>(finite) : 0;
  char text[32];
  if (count == 0 || percent >= 0.1) {
    std::snprintf(text, sizeof text, "%.1f%%", percent);
  } else if (percent >= 0.01) {
    std::snprintf(text, sizeof text, "%.2f%%", percent);
  } else {
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(count));
  }
  return text;
}

void draw_colour_bar(cairo_t* cr, const PlotArea& bar, const ColourRange& range) {
  const double left = bar.left;
  const double top = bar.top;
  const double bottom = bar.bottom();
  cairo_pattern_t* gradient = cairo_pattern_create_linear(0, bottom, 0, top);
  for (int k = 0; k < kStops; ++k) {
    const Rgb& c = kViridis[k];
    cairo_pattern_add_color_stop_rgb(gradient, k / (kStops - 1.0), c.red / 255.0, c.green / 255.0, c.blue / 255.0);
  }
  cairo_rectangle(cr, left, top, bar.width, bar.height);
  cairo_set_source(cr, gradient);
  cairo_fill(cr);
  cairo_pattern_destroy(gradient);

  // The ends' triangles stand for the values beyond the range.
  const double point = 11;
  for (const bool upper : {true, false}) {
    const double base = upper ? top : bottom;
    const double tip = upper ? top - point : bottom + point;
    cairo_move_to(cr, left, base);
    cairo_line_to(cr, left + bar.width / 2.0, tip);
    cairo_line_to(cr, left + bar.width, base);
    cairo_close_path(cr);
    set_rgb(cr, kViridis[upper ? kStops - 1 : 0]);
    cairo_fill_preserve(cr);
    set_colour(cr, kInk);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
  }
  cairo_rectangle(cr, left + 0.5, top + 0.5, bar.width - 1, bar.height - 1);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);

  Frame frame = Frame::of(bar);
  frame.y = {range.low, range.high, fitted_ticks(cr, range.low, range.high, bar.height, false)};
  set_font(cr, kTickFont);
  for (const Tick& tick : frame.y.ticks) {
    const double y = crisp(frame.to_y(tick.value));
    cairo_move_to(cr, bar.right(), y);
    cairo_line_to(cr, bar.right() + 4, y);
    show_text(cr, bar.right() + 7, y + kTickFont * 0.35, tick.text);
  }
  cairo_stroke(cr);
  set_colour(cr, kFaintInk);
  show_text(cr, left - 2, top - point - 6, share_text(range.above, range.finite) + " above");
  show_text(cr, left - 2, bottom + point + 4 + kTickFont, share_text(range.below, range.finite) + " below");
}

}  // namespace

Rgb colour_of(double share) {
  const double at = std::isfinite(share) ? std::clamp(share, 0.0, 1.0) * (kStops - 1) : 0;
  const int k = std::min(kStops - 2, static_cast<int>(at));
  const double t = at - k;
  const auto mix = [t](unsigned char a, unsigned char b) {
    return static_cast<unsigned char>(std::lround(a + t * (b - a)));
  };
  const Rgb& a = kViridis[k];
  const Rgb& b = kViridis[k + 1];
  return {mix(a.red, b.red), mix(a.green, b.green), mix(a.blue, b.blue)};
}

void draw_map(cairo_t* cr, const PictureLayout& layout, const MapContent& map) {
  Frame frame = Frame::of(layout.map);
  frame.x = {layout.map_metres.x_low, layout.map_metres.x_high, {}};
  frame.y = {layout.map_metres.y_low, layout.map_metres.y_high, {}};
  frame.x.ticks = fitted_ticks(cr, frame.x.low, frame.x.high, frame.width, true);
  frame.y.ticks = fitted_ticks(cr, frame.y.low, frame.y.high, frame.height, false);
  const MapScale scale{layout.map_metres, frame.width, frame.height};

  set_colour(cr, kInk);
  set_font(cr, kCellTitleFont, true);
  show_text(cr, frame.left, frame.top - 12, map.title);
  const double title_end = frame.left + text_width(cr, map.title);
  set_font(cr, kTickFont);
  set_colour(cr, kFaintInk);
  const std::string column = "--channel " + map.column_name;
  if (frame.right() + kMapRightRoom - kRightRoom - text_width(cr, column) > title_end + 12) {
    show_text(cr, frame.right() + kMapRightRoom - kRightRoom, frame.top - 12, column, Align::right);
  }
  draw_grid(cr, frame);

  const std::vector<LineEnds> ends = line_ends(map);
  cairo_save(cr);
  cairo_rectangle(cr, frame.left, frame.top, frame.width, frame.height);
  cairo_clip(cr);
  std::optional<Raster> raster;
  if (map.survey.soundings() <= kMostDots) {
    draw_dots(cr, frame, scale, map);
  } else {
    raster = rasterise(map, scale);
    const SurfaceHandle image = raster_image(*raster, map.range);
    // A failed image hands its failure to the picture.
    cairo_set_source_surface(cr, image.get(), frame.left, frame.top);
    cairo_paint(cr);
  }
  if (map.marked_line) draw_marked_track(cr, frame, scale, map, ends);
  cairo_restore(cr);
  draw_line_numbers(cr, frame, scale, map, ends, raster ? &*raster : nullptr);
  draw_axes(cr, frame, {true, "x (m)", "y (m)", 0});
  draw_colour_bar(cr, layout.colour_bar, map.range);
}

}  // namespace korvan::picture
