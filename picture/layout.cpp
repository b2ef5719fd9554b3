// The map in a band across the top or a column down the left, whichever
// gives it more room; the profile panels in the rest.
#include "picture/layout.h"

#include <algorithm>
#include <cmath>

namespace korvan::picture {
namespace {

struct Box {
  double left, top, width, height;
  double right() const { return left + width; }
  double bottom() const { return top + height; }
};

// Below this a panel's values are hard to read: the panels then take more
// columns.
constexpr double kReadableHeight = 110;

PlotArea whole_pixels(double left, double top, double right, double bottom) {
  const int l = static_cast<int>(std::lround(left));
  const int t = static_cast<int>(std::lround(top));
  const int r = static_cast<int>(std::lround(right));
  const int b = static_cast<int>(std::lround(bottom));
  return {l, t, std::max(8, r - l), std::max(8, b - t)};
}

// The map's frame within `area`: equal metres per pixel on both axes, shrunk
// to the soundings' extent but kept tall and wide enough for its ticks.
PlotArea map_frame(const Extent& extent, const PlotArea& area, Extent& metres) {
  const double minimum = 160;
  const double centre_x = (extent.x_low + extent.x_high) / 2;
  const double centre_y = (extent.y_low + extent.y_high) / 2;
  double span_x = (extent.x_high - extent.x_low) * 1.04;
  double span_y = (extent.y_high - extent.y_low) * 1.04;
  if (!(span_x > 0) && !(span_y > 0)) span_x = span_y = 20;
  const double per_pixel = std::max(span_x / area.width, span_y / area.height);
  const double width = std::clamp(std::round(span_x / per_pixel), std::min<double>(area.width, minimum),
                                  static_cast<double>(area.width));
  const double height = std::clamp(std::round(span_y / per_pixel), std::min<double>(area.height, minimum),
                                   static_cast<double>(area.height));
  metres = {centre_x - width / 2 * per_pixel, centre_x + width / 2 * per_pixel, centre_y - height / 2 * per_pixel,
            centre_y + height / 2 * per_pixel};
  return {area.left + static_cast<int>((area.width - width) / 2), area.top + static_cast<int>((area.height - height) / 2),
          static_cast<int>(width), static_cast<int>(height)};
}

PlotArea map_room(const Box& cell) {
  return whole_pixels(cell.left + kMapLeftRoom, cell.top + kCellTitle, cell.right() - kMapRightRoom,
                      cell.bottom() - kAxisLabels);
}

// The frames' height when `panels` panels stand in `rows` rows.
double frame_height(const Box& area, std::size_t rows) {
  return (area.height - kAxisLabels) / static_cast<double>(rows) - kCellTitle - kPanelBelow;
}

// The panels in columns over `area`, top to bottom and then the next
// column: as few columns as leave each frame readable, for the profiles are
// long.
void lay_panels(const Box& area, std::size_t panels, PictureLayout& layout) {
  if (panels == 0) return;
  std::size_t columns = 1;
  while (columns < panels && frame_height(area, (panels + columns - 1) / columns) < kReadableHeight) ++columns;
  const std::size_t rows = (panels + columns - 1) / columns;
  const double width = area.width / static_cast<double>(columns);
  const double row_height = (area.height - kAxisLabels) / static_cast<double>(rows);
  for (std::size_t i = 0; i < panels; ++i) {
    const std::size_t column = i / rows;
    const std::size_t row = i % rows;
    const double left = area.left + width * static_cast<double>(column);
    const double top = area.top + row_height * static_cast<double>(row);
    layout.panels.push_back(whole_pixels(left + kPanelLeftRoom, top + kCellTitle, left + width - kRightRoom,
                                         top + row_height - kPanelBelow));
    layout.labelled.push_back(row + 1 == rows || i + 1 == panels);
  }
}

}  // namespace

PictureLayout picture_layout(const Extent& extent, std::size_t panels, bool one_line) {
  const Box page{kMargin, kTitleBand, kWidth - 2 * kMargin, kHeight - kTitleBand - kMargin};
  const double map_share = one_line ? 0.4 : 0.5;
  PictureLayout layout;
  Box band = page;
  band.height *= map_share;
  Box column = page;
  column.width *= map_share;
  Extent band_metres;
  Extent column_metres;
  const PlotArea in_band = map_frame(extent, map_room(band), band_metres);
  const PlotArea in_column = map_frame(extent, map_room(column), column_metres);
  // The band when it is nearly as good, since the profiles below it run the
  // full width; each no larger than its frame needs.
  if (static_cast<double>(in_band.width) * in_band.height >= 0.8 * in_column.width * in_column.height) {
    band.height = std::min(band.height, in_band.height + kCellTitle + kAxisLabels);
    layout.map = map_frame(extent, map_room(band), layout.map_metres);
    lay_panels({page.left, band.bottom(), page.width, page.bottom() - band.bottom()}, panels, layout);
  } else {
    column.width = std::min(column.width, in_column.width + kMapLeftRoom + kMapRightRoom);
    layout.map = map_frame(extent, map_room(column), layout.map_metres);
    lay_panels({column.right(), page.top, page.right() - column.right(), page.height}, panels, layout);
  }
  // The bar's end triangles and the texts beside them stand above and below it.
  const int bar_height = std::min(layout.map.height, 420);
  layout.colour_bar = {layout.map.right() + 14, layout.map.top + (layout.map.height - bar_height) / 2 + 34, 16,
                       bar_height - 68};
  return layout;
}

}  // namespace korvan::picture
