// The picture of a survey that --plot writes: a map of the sounding positions
// and one profile panel per frequency and transmitter, as PNG, SVG or PDF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvan::driver {

enum class PictureKind { png, svg, pdf };

// The kind named by the file name's ending (".png", ".svg", ".pdf", any case), or nullopt.
std::optional<PictureKind> picture_kind(std::string_view file_name);

// What a picture shows: where the soundings lie and what each data column does along them.
class SurveyView {
 public:
  virtual ~SurveyView() = default;
  virtual std::int64_t soundings() const = 0;  // at least 1
  virtual double x(std::int64_t i) const = 0;  // sounding i, from 0, in metres
  virtual double y(std::int64_t i) const = 0;
  virtual std::size_t columns() const = 0;  // data columns, 1 or more
  // The column's label as the column file's header gives it, e.g. "900.000Hz, z orientation, inphase"
  // or "7200.00Hz, y orientation, quadrature".
  virtual std::string label(std::size_t column) const = 0;
  virtual float value(std::size_t column, std::int64_t i) const = 0;
};

// Writes the picture to the file open for writing on `fd` (left open). nullopt when written; else the
// system's reason in words (e.g. "No space left on device"), for a message like
// "korvan2col: out.png: No space left on device".
std::optional<std::string> write_picture(int fd, PictureKind kind, const SurveyView& survey);

// The pieces below are the picture's geometry, open to the tests so that
// they can find things on it.

// The columns each profile panel shows, in panel order. An in-phase column
// shares its panel with the quadrature column right after it when their
// labels differ only in that ending; every other column has a panel alone.
std::vector<std::vector<std::size_t>> panel_columns(const SurveyView& survey);

// Where a panel draws its values, in pixels of the PNG picture (the same
// units on SVG and PDF pages, at 0.75 pt each).
struct PlotArea {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// The plot areas of the survey's profile panels, in panel order.
std::vector<PlotArea> panel_plot_areas(const SurveyView& survey);

struct Tick {
  double value = 0;
  std::string text;
};

// Ticks at whole multiples of a round step (1, 2 or 5 x 10^k) from `low` to
// `high`, the step no smaller than (high - low) / max_steps. Each text has
// the decimals the step needs, in exponent notation only where plain
// notation would be very long; large coordinates stay plain integers.
std::vector<Tick> round_ticks(double low, double high, int max_steps);

}  // namespace korvan::driver
