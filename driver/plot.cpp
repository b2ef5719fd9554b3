// The survey picture drawn with cairo: a title line, the map of the sounding
// positions and a grid of profile panels, one per frequency and transmitter.
//
// Surveys run to millions of soundings, so nothing is drawn per sounding. The
// map marks the quarter pixels that hold soundings; a profile draws, for each
// pixel column, the range of the values that fall there, joined to its
// neighbours, so that a single spike still shows.
#include "driver/plot.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <numbers>
#include <system_error>

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>
#include <unistd.h>

namespace korvan::driver {
namespace {

// The picture is laid out in units of PNG pixels. SVG and PDF take a unit as
// a CSS pixel (0.75 pt), so that every kind shows at the same size on screen.
constexpr int kWidth = 1600;
constexpr int kHeight = 1200;
constexpr double kPointsPerUnit = 0.75;

constexpr double kMargin = 16;
constexpr double kTitleBand = 44;  // the picture's title line
constexpr double kCellTitle = 30;  // a cell's title line, above its frame
// Room left of a frame for the value ticks (up to about ten digits) and, on
// the map, the rotated axis title; below it for the ticks and axis title.
constexpr double kPanelLeftRoom = 76;
constexpr double kMapLeftRoom = 92;
constexpr double kRightRoom = 16;
constexpr double kBottomRoom = 48;

constexpr double kTickFont = 12;
constexpr double kAxisFont = 13;
constexpr double kCellTitleFont = 14;
constexpr double kTitleFont = 17;

struct Colour {
  double red, green, blue;
};
// Blue and vermillion of the Okabe-Ito set, told apart with the common
// colour-vision deficiencies.
constexpr Colour kInphaseColour{0.0, 0.447, 0.698};
constexpr Colour kQuadratureColour{0.835, 0.369, 0.0};
constexpr Colour kInk{0.12, 0.12, 0.12};
constexpr Colour kFaintInk{0.40, 0.40, 0.40};
constexpr Colour kGrid{0.89, 0.89, 0.89};
constexpr Colour kZeroLine{0.70, 0.70, 0.70};
constexpr Colour kPositions{0.20, 0.20, 0.25};
constexpr Colour kPaper{1.0, 1.0, 1.0};

using SurfaceHandle = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using ContextHandle = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

constexpr const char* kMapTitle = "Sounding positions";
constexpr std::string_view kInphaseEnding = ", inphase";
constexpr std::string_view kQuadratureEnding = ", quadrature";

// ---- Text ----------------------------------------------------------------

enum class Align { left, centre, right };

void set_colour(cairo_t* cr, Colour colour) { cairo_set_source_rgb(cr, colour.red, colour.green, colour.blue); }

void set_font(cairo_t* cr, double size, bool bold = false) {
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                         bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
}

double text_width(cairo_t* cr, const std::string& text) {
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text.c_str(), &extents);
  return extents.x_advance;
}

void show_text(cairo_t* cr, double x, double baseline, const std::string& text, Align align = Align::left) {
  if (align != Align::left) x -= text_width(cr, text) / (align == Align::centre ? 2 : 1);
  cairo_move_to(cr, x, baseline);
  cairo_show_text(cr, text.c_str());
}

// Text on a white patch, readable over the data it lies on.
void show_note(cairo_t* cr, double x, double baseline, const std::string& text) {
  const double width = text_width(cr, text);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.85);
  cairo_rectangle(cr, x - 3, baseline - kAxisFont, width + 6, kAxisFont + 5);
  cairo_fill(cr);
  set_colour(cr, kInk);
  show_text(cr, x, baseline, text);
}

std::string number_text(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// ---- Ticks and frames ----------------------------------------------------

// The smallest step of 1, 2 or 5 x 10^k that is at least `least`.
double round_step(double least) {
  const double power = std::pow(10.0, std::floor(std::log10(least)));
  for (const double multiple : {1.0, 2.0, 5.0}) {
    if (multiple * power >= least * (1 - 1e-9)) return multiple * power;
  }
  return 10 * power;
}

int decimal_exponent(double value) { return static_cast<int>(std::floor(std::log10(value) + 1e-9)); }

std::string tick_text(double value, double step, double largest) {
  char text[48];
  const int decimals = std::max(0, -decimal_exponent(step));
  // Past these bounds plain notation runs to a dozen characters or more.
  if (decimals <= 6 && largest < 1e10) {
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
  } else {
    const int digits = std::max(0, decimal_exponent(largest) - decimal_exponent(step));
    std::snprintf(text, sizeof text, "%.*e", digits, value);
  }
  return text;
}

// A value axis: its range and its ticks.
struct Axis {
  double low = 0;
  double high = 1;
  std::vector<Tick> ticks;
};

// The densest round ticks whose labels keep clear of each other along
// `length` units: side by side on a horizontal axis, stacked on a vertical
// one. Crowded ticks are still better than a single one.
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

// A rectangle on the picture that maps an x axis and a y axis onto itself.
struct Frame {
  double left, top, width, height;
  Axis x, y;

  double right() const { return left + width; }
  double bottom() const { return top + height; }
  double to_x(double value) const { return left + (value - x.low) / (x.high - x.low) * width; }
  double to_y(double value) const { return bottom() - (value - y.low) / (y.high - y.low) * height; }
};

// The middle of the pixel a coordinate falls in: one-unit lines there stay sharp.
double crisp(double coordinate) { return std::floor(coordinate) + 0.5; }

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

void draw_axes(cairo_t* cr, const Frame& frame, const std::string& x_title, const std::string& y_title) {
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
  for (const Tick& tick : frame.x.ticks) {
    show_text(cr, frame.to_x(tick.value), frame.bottom() + 8 + kTickFont, tick.text, Align::centre);
  }
  for (const Tick& tick : frame.y.ticks) {
    show_text(cr, frame.left - 8, frame.to_y(tick.value) + kTickFont * 0.35, tick.text, Align::right);
  }
  set_font(cr, kAxisFont);
  show_text(cr, frame.left + frame.width / 2, frame.bottom() + 2 * kTickFont + 18, x_title, Align::centre);
  if (!y_title.empty()) {
    cairo_save(cr);
    cairo_translate(cr, frame.left - kMapLeftRoom + 6 + kAxisFont, frame.top + frame.height / 2);
    cairo_rotate(cr, -std::numbers::pi / 2);
    show_text(cr, 0, 0, y_title, Align::centre);
    cairo_restore(cr);
  }
}

// ---- Positions -----------------------------------------------------------

bool finite(double x, double y) { return std::isfinite(x) && std::isfinite(y); }

// Where the soundings lie, and the distance along them to each one: the sum
// of the straight steps between consecutive soundings that have a position.
struct Track {
  double x_low = std::numeric_limits<double>::infinity();
  double x_high = -std::numeric_limits<double>::infinity();
  double y_low = std::numeric_limits<double>::infinity();
  double y_high = -std::numeric_limits<double>::infinity();
  std::int64_t first_placed = -1;  // the first sounding with a position
  std::vector<double> along;       // the profiles' x axis, per sounding
  bool by_number = false;          // `along` counts soundings: they all lie at one place
  double along_low = 0;
  double along_high = 1;

  bool placed() const { return first_placed >= 0; }
};

Track track_of(const SurveyView& survey) {
  Track track;
  const std::int64_t count = survey.soundings();
  track.along.resize(static_cast<std::size_t>(std::max<std::int64_t>(count, 0)));
  double distance = 0;
  double last_x = 0;
  double last_y = 0;
  for (std::int64_t i = 0; i < count; ++i) {
    const double x = survey.x(i);
    const double y = survey.y(i);
    if (finite(x, y)) {
      if (track.placed()) {
        distance += std::sqrt((x - last_x) * (x - last_x) + (y - last_y) * (y - last_y));
      } else {
        track.first_placed = i;
      }
      last_x = x;
      last_y = y;
      track.x_low = std::min(track.x_low, x);
      track.x_high = std::max(track.x_high, x);
      track.y_low = std::min(track.y_low, y);
      track.y_high = std::max(track.y_high, y);
    }
    track.along[static_cast<std::size_t>(i)] = distance;
  }
  if (distance > 0 && std::isfinite(distance)) {
    track.along_high = distance;
    return track;
  }
  track.by_number = true;
  for (std::size_t i = 0; i < track.along.size(); ++i) track.along[i] = static_cast<double>(i + 1);
  track.along_low = count > 1 ? 1 : 0.5;
  track.along_high = count > 1 ? static_cast<double>(count) : 1.5;
  return track;
}

// ---- Layout --------------------------------------------------------------

struct Box {
  double left, top, width, height;
  double right() const { return left + width; }
  double bottom() const { return top + height; }
};

// What a cell leaves for drawing inside its room for titles and ticks, on whole pixels.
PlotArea inner_area(const Box& cell, double left_room) {
  const int left = static_cast<int>(std::lround(cell.left + left_room));
  const int top = static_cast<int>(std::lround(cell.top + kCellTitle));
  const int right = static_cast<int>(std::lround(cell.right() - kRightRoom));
  const int bottom = static_cast<int>(std::lround(cell.bottom() - kBottomRoom));
  return {left, top, std::max(8, right - left), std::max(8, bottom - top)};
}

// The map's frame within `area`: equal metres per unit on both axes, shrunk
// to the soundings' extent but kept tall and wide enough for its ticks.
Frame map_frame(const Track& track, const PlotArea& area) {
  const double minimum = 160;
  double centre_x = 0;
  double centre_y = 0;
  double span_x = 0;
  double span_y = 0;
  if (track.placed()) {
    centre_x = (track.x_low + track.x_high) / 2;
    centre_y = (track.y_low + track.y_high) / 2;
    span_x = (track.x_high - track.x_low) * 1.08;
    span_y = (track.y_high - track.y_low) * 1.08;
  }
  if (span_x == 0 && span_y == 0) span_x = span_y = 20;
  const double metres_per_unit = std::max(span_x / area.width, span_y / area.height);
  const double width = std::clamp(std::round(span_x / metres_per_unit), std::min<double>(area.width, minimum),
                                  static_cast<double>(area.width));
  const double height = std::clamp(std::round(span_y / metres_per_unit), std::min<double>(area.height, minimum),
                                   static_cast<double>(area.height));
  Frame frame{area.left + std::floor((area.width - width) / 2), area.top + std::floor((area.height - height) / 2), width,
              height, {}, {}};
  frame.x.low = centre_x - width / 2 * metres_per_unit;
  frame.x.high = centre_x + width / 2 * metres_per_unit;
  frame.y.low = centre_y - height / 2 * metres_per_unit;
  frame.y.high = centre_y + height / 2 * metres_per_unit;
  return frame;
}

struct Grid {
  std::vector<Box> cells;
  double fit = 0;  // the height of the largest 2:1 rectangle in a cell
};

// The panels in rows and columns over `area`, as many columns as give each
// panel the most room for a profile, which is wide by nature.
Grid panel_grid(const Box& area, std::size_t panels) {
  Grid best;
  for (std::size_t columns = 1; columns <= std::max<std::size_t>(panels, 1); ++columns) {
    const std::size_t rows = (panels + columns - 1) / columns;
    const double width = area.width / static_cast<double>(columns);
    const double height = area.height / static_cast<double>(std::max<std::size_t>(rows, 1));
    const double fit = std::min(width / 2, height);
    if (fit <= best.fit) continue;
    best = {{}, fit};
    for (std::size_t i = 0; i < panels; ++i) {
      const std::size_t row = i / columns;
      best.cells.push_back({area.left + width * static_cast<double>(i % columns),
                            area.top + height * static_cast<double>(row), width, height});
    }
  }
  return best;
}

struct Cells {
  Box map;
  std::vector<Box> panels;
};

// The map as a band across the top or a column down the left, whichever
// gives its frame more room (the band when that is nearly as much, since
// the profiles below it run the full width), and no more of the page than
// its frame uses; the profiles, the picture's main matter, take the rest.
Cells layout_cells(std::size_t panels, const Track& track) {
  const Box page{kMargin, kTitleBand, kWidth - 2 * kMargin, kHeight - kTitleBand - kMargin};
  if (panels == 0) return {page, {}};
  constexpr double kMapShare = 0.35;
  Box band = page;
  band.height *= kMapShare;
  Box column = page;
  column.width *= kMapShare;
  const Frame in_band = map_frame(track, inner_area(band, kMapLeftRoom));
  const Frame in_column = map_frame(track, inner_area(column, kMapLeftRoom));
  if (in_band.width * in_band.height >= 0.8 * in_column.width * in_column.height) {
    band.height = std::min(band.height, in_band.height + kCellTitle + kBottomRoom);
    return {band, panel_grid({page.left, band.bottom(), page.width, page.bottom() - band.bottom()}, panels).cells};
  }
  column.width = std::min(column.width, in_column.width + kMapLeftRoom + kRightRoom);
  return {column, panel_grid({column.right(), page.top, page.right() - column.right(), page.height}, panels).cells};
}

// ---- Map -----------------------------------------------------------------

// The map marks a square of one or more units about each sounding, placed
// to a quarter unit: each pixel is then as dark as the share of its cells
// (kCells x kCells of them) that a square covers. Placing the squares on
// whole pixels instead leaves a false empty row of pixels wherever flight
// lines lie a hair more than a square apart, and a dotted one where a line
// wanders from one row of pixels into the next.
constexpr std::size_t kCells = 4;

// Marks in `out` every cell up to `before` cells before or `after` cells
// after a marked cell of `in`, both `n` cells long; each cell is marked once.
void widen(const unsigned char* in, unsigned char* out, std::size_t n, std::size_t before, std::size_t after) {
  std::size_t next = 0;  // the first cell of `out` not yet marked
  for (std::size_t j = 0; j < n; ++j) {
    if (in[j] == 0) continue;
    const std::size_t end = std::min(n, j + after + 1);
    std::fill(out + std::max(next, j >= before ? j - before : 0), out + std::max(next, end), 1);
    next = std::max(next, end);
  }
}

void draw_positions(cairo_t* cr, const Frame& frame, const SurveyView& survey) {
  const auto width = static_cast<std::size_t>(frame.width);
  const auto height = static_cast<std::size_t>(frame.height);
  const std::size_t row_cells = width * kCells;
  const std::size_t column_cells = height * kCells;

  // Step 1: the cell of each sounding, and how many pixels hold one.
  std::vector<unsigned char> places(row_cells * column_cells);
  std::vector<unsigned char> occupied(width * height);
  std::size_t filled = 0;
  const double cells_per_unit = kCells;
  for (std::int64_t i = 0; i < survey.soundings(); ++i) {
    const double x = survey.x(i);
    const double y = survey.y(i);
    if (!finite(x, y)) continue;
    const auto column = static_cast<std::size_t>(
        std::clamp((frame.to_x(x) - frame.left) * cells_per_unit, 0.0, static_cast<double>(row_cells - 1)));
    const auto row = static_cast<std::size_t>(
        std::clamp((frame.to_y(y) - frame.top) * cells_per_unit, 0.0, static_cast<double>(column_cells - 1)));
    places[row * row_cells + column] = 1;
    unsigned char& pixel = occupied[row / kCells * width + column / kCells];
    filled += pixel == 0;
    pixel = 1;
  }

  // Step 2: the squares, widened along the rows of cells and then down the
  // columns (a row of cells joins every row of the result that it reaches).
  // Few soundings each get a square that the eye finds on its own.
  const std::size_t side = (filled < 2000 ? 4 : 2) * kCells;
  const std::size_t before = side / 2;
  const std::size_t after = side - 1 - before;
  std::vector<unsigned char> across(places.size());
  std::vector<bool> row_marked(column_cells);
  for (std::size_t row = 0; row < column_cells; ++row) {
    const unsigned char* line = &places[row * row_cells];
    row_marked[row] = std::find(line, line + row_cells, 1) != line + row_cells;
    if (row_marked[row]) widen(line, &across[row * row_cells], row_cells, before, after);
  }
  // The places are done with; their memory takes the squares.
  std::vector<unsigned char> squares = std::move(places);
  std::fill(squares.begin(), squares.end(), 0);
  for (std::size_t row = 0; row < column_cells; ++row) {
    if (!row_marked[row]) continue;
    const unsigned char* line = &across[row * row_cells];
    const std::size_t last = std::min(column_cells - 1, row + before);
    for (std::size_t target = row >= after ? row - after : 0; target <= last; ++target) {
      unsigned char* out = &squares[target * row_cells];
      for (std::size_t cell = 0; cell < row_cells; ++cell) out[cell] |= line[cell];
    }
  }

  // Step 3: gaps of a single cell closed, along the rows of cells and down
  // the columns. Such a gap is mostly a place rounded to a cell, and open it
  // would show as a faint false stripe between flight lines about a square
  // apart.
  for (std::size_t row = 0; row < column_cells; ++row) {
    unsigned char* line = &squares[row * row_cells];
    for (std::size_t cell = 1; cell + 1 < row_cells; ++cell) line[cell] |= line[cell - 1] & line[cell + 1];
  }
  for (std::size_t row = 1; row + 1 < column_cells; ++row) {
    unsigned char* line = &squares[row * row_cells];
    const unsigned char* above = line - row_cells;
    const unsigned char* below = line + row_cells;
    for (std::size_t cell = 0; cell < row_cells; ++cell) line[cell] |= above[cell] & below[cell];
  }

  // Step 4: each pixel's share of covered cells as the opacity of the
  // positions' colour (premultiplied, as cairo keeps its pixels).
  const SurfaceHandle image(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(width),
                                                       static_cast<int>(height)),
                            cairo_surface_destroy);
  if (cairo_surface_status(image.get()) != CAIRO_STATUS_SUCCESS) {
    cairo_set_source_surface(cr, image.get(), 0, 0);  // hands the failure to the picture
    return;
  }
  cairo_surface_flush(image.get());
  unsigned char* data = cairo_image_surface_get_data(image.get());
  const auto stride = static_cast<std::size_t>(cairo_image_surface_get_stride(image.get()));
  const auto channel = [](double share, double level) {
    return static_cast<std::uint32_t>(std::lround(share * level * 255));
  };
  for (std::size_t y = 0; y < height; ++y) {
    auto* pixels = reinterpret_cast<std::uint32_t*>(data + y * stride);
    for (std::size_t x = 0; x < width; ++x) {
      std::size_t covered = 0;
      for (std::size_t row = y * kCells; row < (y + 1) * kCells; ++row) {
        const unsigned char* cells = &squares[row * row_cells + x * kCells];
        for (std::size_t cell = 0; cell < kCells; ++cell) covered += cells[cell];
      }
      const double share = static_cast<double>(covered) / (kCells * kCells);
      pixels[x] = channel(share, 1) << 24 | channel(share, kPositions.red) << 16 |
                  channel(share, kPositions.green) << 8 | channel(share, kPositions.blue);
    }
  }
  cairo_surface_mark_dirty(image.get());
  cairo_set_source_surface(cr, image.get(), frame.left, frame.top);
  cairo_paint(cr);
}

void draw_map(cairo_t* cr, const Box& cell, const Track& track, const SurveyView& survey) {
  Frame frame = map_frame(track, inner_area(cell, kMapLeftRoom));
  frame.x.ticks = fitted_ticks(cr, frame.x.low, frame.x.high, frame.width, true);
  frame.y.ticks = fitted_ticks(cr, frame.y.low, frame.y.high, frame.height, false);

  set_colour(cr, kInk);
  set_font(cr, kCellTitleFont, true);
  show_text(cr, frame.left, frame.top - 10, kMapTitle);
  const double title_end = frame.left + text_width(cr, kMapTitle);
  draw_grid(cr, frame);
  draw_positions(cr, frame, survey);
  if (track.placed()) {
    set_colour(cr, kInk);
    cairo_set_line_width(cr, 1.5);
    cairo_new_path(cr);
    cairo_arc(cr, frame.to_x(survey.x(track.first_placed)), frame.to_y(survey.y(track.first_placed)), 6, 0,
              2 * std::numbers::pi);
    cairo_stroke(cr);
    // Told in the title line, where the words cover no soundings.
    const std::string key = "where the distance along starts";
    set_font(cr, kTickFont);
    const double key_left = frame.right() - text_width(cr, key) - 18;
    if (key_left > title_end + 12) {
      show_text(cr, frame.right(), frame.top - 10, key, Align::right);
      cairo_new_path(cr);
      cairo_arc(cr, key_left + 6, frame.top - 14, 6, 0, 2 * std::numbers::pi);
      cairo_stroke(cr);
    }
  }
  draw_axes(cr, frame, "x (m)", "y (m)");
}

// ---- Profiles ------------------------------------------------------------

bool ends_with(std::string_view text, std::string_view ending) {
  return text.size() >= ending.size() && text.substr(text.size() - ending.size()) == ending;
}

std::string_view without_ending(std::string_view text, std::string_view ending) {
  return text.substr(0, text.size() - ending.size());
}

// The values of one column that fall in one pixel column: their range, and
// the first and last in sounding order, which join it to its neighbours.
struct Bin {
  float low, high, first, last;
  bool filled = false;
};

struct ColumnTrace {
  std::vector<Bin> bins;
  std::int64_t not_finite = 0;
  double low = std::numeric_limits<double>::infinity();  // over the finite values
  double high = -std::numeric_limits<double>::infinity();

  bool any_finite() const { return low <= high; }
};

// The pixel column of each sounding, for plot areas `width` pixels wide.
std::vector<std::int32_t> pixel_columns(const Track& track, int width) {
  std::vector<std::int32_t> columns(track.along.size());
  const double scale = width / (track.along_high - track.along_low);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const double column = std::floor((track.along[i] - track.along_low) * scale);
    columns[i] = static_cast<std::int32_t>(std::clamp(column, 0.0, width - 1.0));
  }
  return columns;
}

ColumnTrace trace_column(const SurveyView& survey, std::size_t column, const std::vector<std::int32_t>& pixel_of,
                         int width) {
  ColumnTrace trace;
  trace.bins.resize(static_cast<std::size_t>(width));
  const std::int64_t count = survey.soundings();
  for (std::int64_t i = 0; i < count; ++i) {
    const float value = survey.value(column, i);
    if (!std::isfinite(value)) {
      ++trace.not_finite;
      continue;
    }
    Bin& bin = trace.bins[static_cast<std::size_t>(pixel_of[static_cast<std::size_t>(i)])];
    if (!bin.filled) {
      bin = {value, value, value, value, true};
      continue;
    }
    bin.low = std::min(bin.low, value);
    bin.high = std::max(bin.high, value);
    bin.last = value;
  }
  for (const Bin& bin : trace.bins) {
    if (!bin.filled) continue;
    trace.low = std::min<double>(trace.low, bin.low);
    trace.high = std::max<double>(trace.high, bin.high);
  }
  return trace;
}

// The value axis of a panel: every finite value with a little room, or
// some room around a constant.
Axis value_axis(const std::vector<ColumnTrace>& traces) {
  double low = std::numeric_limits<double>::infinity();
  double high = -low;
  for (const ColumnTrace& trace : traces) {
    low = std::min(low, trace.low);
    high = std::max(high, trace.high);
  }
  if (!(low <= high)) return {-1, 1, {}};
  const double room = low < high ? (high - low) * 0.06 : (low != 0 ? std::abs(low) * 0.1 : 1.0);
  return {low - room, high + room, {}};
}

// One column's line, one unit wide. In a pixel column that holds values it
// covers their range and, towards a neighbouring pixel column that holds
// values too, the way to halfway between the nearer ends: an upright bar
// each, which cairo fills as boxes many times faster than it strokes a line
// that doubles back in every pixel column. Across pixel columns without
// values it is a plain line from the last value before to the first after.
void draw_trace(cairo_t* cr, const Frame& frame, const ColumnTrace& trace) {
  const std::vector<Bin>& bins = trace.bins;
  const auto filled = [&bins](std::size_t i) { return i < bins.size() && bins[i].filled; };
  const auto halfway = [](float a, float b) { return (static_cast<double>(a) + static_cast<double>(b)) / 2; };
  for (std::size_t i = 0; i < bins.size(); ++i) {
    const Bin& bin = bins[i];
    if (!bin.filled) continue;
    double top = frame.to_y(bin.high);
    double bottom = frame.to_y(bin.low);
    for (const bool towards_next : {false, true}) {
      const std::size_t neighbour = towards_next ? i + 1 : i - 1;
      if (!filled(neighbour)) continue;
      const double y = frame.to_y(towards_next ? halfway(bin.last, bins[neighbour].first)
                                               : halfway(bins[neighbour].last, bin.first));
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
    cairo_rectangle(cr, frame.left + static_cast<double>(i), top - 0.5, 1, bottom - top + 1);
  }
  cairo_fill(cr);

  std::size_t previous = bins.size();
  for (std::size_t i = 0; i < bins.size(); ++i) {
    if (!bins[i].filled) continue;
    if (previous < bins.size() && previous + 1 < i) {
      cairo_move_to(cr, frame.left + static_cast<double>(previous) + 0.5, frame.to_y(bins[previous].last));
      cairo_line_to(cr, frame.left + static_cast<double>(i) + 0.5, frame.to_y(bins[i].first));
    }
    previous = i;
  }
  cairo_stroke(cr);
}

// A dot on every value, where the soundings are few enough to be told apart.
void draw_dots(cairo_t* cr, const Frame& frame, const SurveyView& survey, std::size_t column, const Track& track) {
  for (std::int64_t i = 0; i < survey.soundings(); ++i) {
    const float value = survey.value(column, i);
    if (!std::isfinite(value)) continue;
    const double x = frame.to_x(track.along[static_cast<std::size_t>(i)]);
    cairo_new_sub_path(cr);
    cairo_arc(cr, x, frame.to_y(value), 2.5, 0, 2 * std::numbers::pi);
  }
  cairo_fill(cr);
}

std::vector<std::string> trace_notes(const ColumnTrace& trace, const std::string& component) {
  const std::string prefix = component.empty() ? "" : component + ": ";
  if (!trace.any_finite()) return {prefix + "no finite values"};
  std::vector<std::string> notes;
  if (trace.low == trace.high) notes.push_back(prefix + "all values are " + number_text(trace.low));
  if (trace.not_finite > 0) {
    notes.push_back(prefix + std::to_string(trace.not_finite) + (trace.not_finite == 1 ? " value is" : " values are") +
                    " not finite, left out");
  }
  return notes;
}

void draw_legend(cairo_t* cr, double right, double baseline) {
  set_font(cr, kTickFont);
  double x = right;
  for (const auto& [name, colour] : {std::pair{"quadrature", kQuadratureColour}, std::pair{"inphase", kInphaseColour}}) {
    x -= text_width(cr, name);
    set_colour(cr, kInk);
    show_text(cr, x, baseline, name);
    x -= 26;
    set_colour(cr, colour);
    cairo_set_line_width(cr, 2);
    cairo_move_to(cr, x, baseline - 4);
    cairo_line_to(cr, x + 20, baseline - 4);
    cairo_stroke(cr);
    x -= 16;
  }
}

// What the profiles share: the distances along the soundings and each
// sounding's pixel column, worked out once per plot area width.
struct Profiles {
  const SurveyView& survey;
  const Track& track;
  int width = -1;
  std::vector<std::int32_t> pixel_of;

  const std::vector<std::int32_t>& pixel_columns_for(int plot_width) {
    if (plot_width != width) {
      pixel_of = pixel_columns(track, plot_width);
      width = plot_width;
    }
    return pixel_of;
  }
};

void draw_panel(cairo_t* cr, const Box& cell, const std::vector<std::size_t>& columns, Profiles& profiles) {
  const SurveyView& survey = profiles.survey;
  const Track& track = profiles.track;
  const PlotArea area = inner_area(cell, kPanelLeftRoom);
  std::vector<std::string> labels;
  std::vector<ColumnTrace> traces;
  for (const std::size_t column : columns) {
    labels.push_back(survey.label(column));
    traces.push_back(trace_column(survey, column, profiles.pixel_columns_for(area.width), area.width));
  }

  Frame frame{static_cast<double>(area.left), static_cast<double>(area.top), static_cast<double>(area.width),
              static_cast<double>(area.height), {track.along_low, track.along_high, {}}, value_axis(traces)};
  frame.x.ticks = fitted_ticks(cr, frame.x.low, frame.x.high, frame.width, true);
  frame.y.ticks = fitted_ticks(cr, frame.y.low, frame.y.high, frame.height, false);

  const bool paired = columns.size() == 2;
  set_colour(cr, kInk);
  set_font(cr, kCellTitleFont, true);
  show_text(cr, frame.left, frame.top - 10,
            paired ? std::string(without_ending(labels[0], kInphaseEnding)) : labels[0]);
  if (paired) draw_legend(cr, frame.right(), frame.top - 10);

  draw_grid(cr, frame);
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
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  const bool few = survey.soundings() <= area.width / 8;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    set_colour(cr, ends_with(labels[i], kQuadratureEnding) ? kQuadratureColour : kInphaseColour);
    draw_trace(cr, frame, traces[i]);
    if (few) draw_dots(cr, frame, survey, columns[i], track);
  }
  cairo_restore(cr);

  set_font(cr, kAxisFont);
  double baseline = frame.top + 8 + kAxisFont;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const std::string component = paired ? (i == 0 ? "inphase" : "quadrature") : "";
    for (const std::string& note : trace_notes(traces[i], component)) {
      show_note(cr, frame.left + 10, baseline, note);
      baseline += kAxisFont + 8;
    }
  }
  draw_axes(cr, frame,
            track.by_number ? "sounding number (all soundings lie at one place)" : "distance along the soundings (m)",
            "");
}

void draw_picture(cairo_t* cr, const SurveyView& survey) {
  set_colour(cr, kPaper);
  cairo_paint(cr);

  const Track track = track_of(survey);
  const std::vector<std::vector<std::size_t>> panels = panel_columns(survey);
  const Cells cells = layout_cells(panels.size(), track);

  set_colour(cr, kInk);
  set_font(cr, kTitleFont, true);
  const std::size_t column_count = survey.columns();
  show_text(cr, kMargin, kMargin + kTitleFont,
            std::to_string(survey.soundings()) + (survey.soundings() == 1 ? " sounding, " : " soundings, ") +
                std::to_string(column_count) + (column_count == 1 ? " data column" : " data columns"));
  set_colour(cr, kFaintInk);
  set_font(cr, kTickFont);
  show_text(cr, kWidth - kMargin, kMargin + kTitleFont,
            "each profile shows all its values: their range in every pixel column", Align::right);

  draw_map(cr, cells.map, track, survey);
  Profiles profiles{survey, track, -1, {}};
  for (std::size_t i = 0; i < panels.size(); ++i) draw_panel(cr, cells.panels[i], panels[i], profiles);
}

// ---- Output --------------------------------------------------------------

// cairo's writes land in a file of our own, so that a refused write keeps
// the system's reason, which cairo's status alone would lose.
struct Sink {
  std::FILE* file;
  int error = 0;
};

cairo_status_t write_to_sink(void* closure, const unsigned char* data, unsigned int length) {
  auto* sink = static_cast<Sink*>(closure);
  if (sink->error == 0) {
    errno = 0;
    if (std::fwrite(data, 1, length, sink->file) != length) sink->error = errno != 0 ? errno : EIO;
  }
  return sink->error == 0 ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

SurfaceHandle surface_for(PictureKind kind, Sink& sink) {
  switch (kind) {
    case PictureKind::svg:
      return {cairo_svg_surface_create_for_stream(write_to_sink, &sink, kWidth * kPointsPerUnit,
                                                  kHeight * kPointsPerUnit),
              cairo_surface_destroy};
    case PictureKind::pdf:
      return {cairo_pdf_surface_create_for_stream(write_to_sink, &sink, kWidth * kPointsPerUnit,
                                                  kHeight * kPointsPerUnit),
              cairo_surface_destroy};
    case PictureKind::png:
      break;
  }
  // Opaque pixels: the picture has a white ground, and the PNG is smaller.
  return {cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight), cairo_surface_destroy};
}

cairo_status_t draw_into(PictureKind kind, const SurveyView& survey, Sink& sink) {
  const SurfaceHandle surface = surface_for(kind, sink);
  {
    const ContextHandle cr(cairo_create(surface.get()), cairo_destroy);
    if (kind != PictureKind::png) cairo_scale(cr.get(), kPointsPerUnit, kPointsPerUnit);
    draw_picture(cr.get(), survey);
    const cairo_status_t status = cairo_status(cr.get());
    if (status != CAIRO_STATUS_SUCCESS) return status;
  }
  if (kind == PictureKind::png) return cairo_surface_write_to_png_stream(surface.get(), write_to_sink, &sink);
  cairo_surface_finish(surface.get());
  return cairo_surface_status(surface.get());
}

std::string reason(int error) { return std::system_category().message(error); }

}  // namespace

std::optional<PictureKind> picture_kind(std::string_view file_name) {
  if (file_name.size() < 4) return std::nullopt;
  std::string ending(file_name.substr(file_name.size() - 4));
  std::transform(ending.begin(), ending.end(), ending.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  if (ending == ".png") return PictureKind::png;
  if (ending == ".svg") return PictureKind::svg;
  if (ending == ".pdf") return PictureKind::pdf;
  return std::nullopt;
}

std::optional<std::string> write_picture(int fd, PictureKind kind, const SurveyView& survey) {
  // A descriptor of its own, which fclose() closes.
  const int own = ::dup(fd);
  std::FILE* file = own >= 0 ? ::fdopen(own, "wb") : nullptr;
  if (file == nullptr) {
    const int error = errno;
    if (own >= 0) ::close(own);
    return reason(error);
  }
  Sink sink{file};
  cairo_status_t status = CAIRO_STATUS_SUCCESS;
  try {
    status = draw_into(kind, survey, sink);
  } catch (const std::bad_alloc&) {
    sink.error = ENOMEM;
  } catch (...) {
    std::fclose(file);
    throw;
  }
  if (std::fclose(file) != 0 && sink.error == 0) sink.error = errno;
  if (status == CAIRO_STATUS_SUCCESS && sink.error == 0) return std::nullopt;
  return sink.error != 0 ? reason(sink.error) : std::string(cairo_status_to_string(status));
}

std::vector<std::vector<std::size_t>> panel_columns(const SurveyView& survey) {
  std::vector<std::vector<std::size_t>> panels;
  const std::size_t count = survey.columns();
  std::string next = count > 0 ? survey.label(0) : "";
  for (std::size_t column = 0; column < count; ++column) {
    const std::string label = std::move(next);
    next = column + 1 < count ? survey.label(column + 1) : "";
    // Only neighbours pair: two transmitters of one frequency and
    // orientation carry the same labels, and each keeps its own panel.
    if (ends_with(label, kInphaseEnding) && ends_with(next, kQuadratureEnding) &&
        without_ending(label, kInphaseEnding) == without_ending(next, kQuadratureEnding)) {
      panels.push_back({column, column + 1});
      ++column;
      next = column + 1 < count ? survey.label(column + 1) : "";
    } else {
      panels.push_back({column});
    }
  }
  return panels;
}

std::vector<PlotArea> panel_plot_areas(const SurveyView& survey) {
  std::vector<PlotArea> areas;
  for (const Box& cell : layout_cells(panel_columns(survey).size(), track_of(survey)).panels) {
    areas.push_back(inner_area(cell, kPanelLeftRoom));
  }
  return areas;
}

std::vector<Tick> round_ticks(double low, double high, int max_steps) {
  if (!(low < high) || !std::isfinite(high - low) || max_steps < 1) return {};
  const double step = round_step((high - low) / max_steps);
  const double largest = std::max(std::abs(low), std::abs(high));
  // Whole multiples of the step, as products: a running sum would drift.
  const double first = std::ceil(low / step - 1e-9);
  const auto count = static_cast<std::int64_t>(std::floor(high / step + 1e-9) - first) + 1;
  std::vector<Tick> ticks;
  for (std::int64_t k = 0; k < count; ++k) {
    double value = (first + static_cast<double>(k)) * step;
    // Keeps "-0" off the axis.
    if (std::abs(value) < step * 1e-6) value = 0;
    ticks.push_back({value, tick_text(value, step, largest)});
  }
  return ticks;
}

}  // namespace korvan::driver

#if defined(__SANITIZE_ADDRESS__)
// fontconfig, which finds cairo's fonts, keeps what it has found for the
// life of the process and leaves it to the system at exit; LeakSanitizer
// would count that as leaks of every run that draws a picture, and tell of
// the suppression on standard error, which the tests compare.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif
