// The picture put together: its layout, title line, map and panels.
#include "picture/picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <vector>

#include "picture/drawing.h"
#include "picture/map.h"
#include "picture/profile_track.h"
#include "picture/profiles.h"
#include "picture/ticks.h"
#include "picture/value_scales.h"

namespace korvan::picture {
namespace {

Extent extent_of(const SurveyView& survey) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  Extent extent{kInfinity, -kInfinity, kInfinity, -kInfinity};
  for (std::int64_t i = 0; i < survey.soundings(); ++i) {
    const double x = survey.x(i);
    const double y = survey.y(i);
    if (!std::isfinite(x) || !std::isfinite(y)) continue;
    extent.x_low = std::min(extent.x_low, x);
    extent.x_high = std::max(extent.x_high, x);
    extent.y_low = std::min(extent.y_low, y);
    extent.y_high = std::max(extent.y_high, y);
  }
  if (extent.x_low > extent.x_high) return {};
  return extent;
}

std::string counted(std::int64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string kilometres(double metres) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f km", metres / 1000);
  return text;
}

std::string title_line(const SurveyView& survey, const PictureRequest& request, std::int32_t line_count,
                       const ProfileTrack& track) {
  std::string title = request.survey_name.empty() ? "" : request.survey_name + ": ";
  if (request.line && !track.segments.empty()) {
    // Soundings counted from 1, as the messages and the CSV count them.
    return title + "line " + std::to_string(*request.line) + " of " + std::to_string(line_count) + ", " +
           counted(track.shown, "sounding", "soundings") + " (" + std::to_string(track.segments.front().first + 1) +
           " to " + std::to_string(track.segments.back().end) + "), " + kilometres(track.length);
  }
  title += counted(survey.soundings(), "sounding", "soundings") + ", ";
  title += line_count > 0 ? counted(line_count, "flight line", "flight lines") : "no flight lines found";
  return title + ", " + counted(static_cast<std::int64_t>(survey.columns()), "data column", "data columns");
}

struct MapChannel {
  std::vector<float> values;
  std::string title;
  std::string name;
};

MapChannel map_channel(const SurveyView& survey, const PictureRequest& request) {
  MapChannel channel;
  const std::int64_t count = survey.soundings();
  channel.values.resize(static_cast<std::size_t>(count));
  if (request.map_colour == PictureRequest::MapColour::height) {
    survey.values(std::nullopt, 0, channel.values);
    channel.title = "Height (m)";
    channel.name = "height";
    return channel;
  }
  const std::size_t column = request.map_column;
  survey.values(column, 0, channel.values);
  const ChannelInfo info = survey.channel(column);
  channel.title = frequency_text(info.frequency) + ", " + info.orientation + " transmitter, " +
                  component_text(info.component);
  channel.name = info.name;
  return channel;
}

void draw_picture(cairo_t* cr, const SurveyView& survey, const PictureRequest& request) {
  set_colour(cr, kPaper);
  cairo_paint(cr);

  std::vector<std::int32_t> lines(static_cast<std::size_t>(survey.soundings()));
  for (std::size_t i = 0; i < lines.size(); ++i) lines[i] = survey.line(static_cast<std::int64_t>(i));
  const std::int32_t line_count = lines.empty() ? 0 : std::max(0, *std::max_element(lines.begin(), lines.end()));
  const std::vector<PanelContent> panels = panel_contents(survey);
  const PictureLayout layout = picture_layout(extent_of(survey), panels.size(), request.line.has_value());

  // Panels of one width share their track; the columns of panels may differ by a pixel.
  std::map<int, ProfileTrack> tracks;
  for (const PlotArea& area : layout.panels) {
    if (!tracks.contains(area.width)) tracks.emplace(area.width, profile_track(survey, lines, request.line, area.width));
  }

  set_colour(cr, kInk);
  set_font(cr, kTitleFont, true);
  show_text(cr, kMargin, kMargin + kTitleFont, title_line(survey, request, line_count, tracks.begin()->second));
  draw_profile_legend(cr, kWidth - kMargin, kMargin + kTitleFont, tracks.begin()->second.scale == AlongScale::lines);

  {
    const MapChannel channel = map_channel(survey, request);
    const MapContent map{survey, lines, channel.values, colour_range(channel.values), "Map: " + channel.title,
                         channel.name, request.line};
    draw_map(cr, layout, map);
  }
  for (const auto& [width, track] : tracks) {
    std::vector<std::size_t> along;  // the panels of this width
    std::vector<PanelContent> contents;
    for (std::size_t i = 0; i < panels.size(); ++i) {
      if (layout.panels[i].width != width) continue;
      along.push_back(i);
      contents.push_back(panels[i]);
    }
    const std::vector<PanelValues> values = panel_values(survey, contents, track, width);
    for (std::size_t k = 0; k < along.size(); ++k) {
      const std::size_t i = along[k];
      draw_panel(cr, survey, panels[i], values[k], layout.panels[i], layout.labelled[i], track);
    }
  }
}

}  // namespace

std::optional<std::string> write_picture(int fd, PictureKind kind, const SurveyView& survey,
                                         const PictureRequest& request) {
  return write_drawing(fd, kind, kWidth, kHeight, [&](cairo_t* cr) { draw_picture(cr, survey, request); });
}

PictureLayout survey_layout(const SurveyView& survey, const PictureRequest& request) {
  return picture_layout(extent_of(survey), panel_contents(survey).size(), request.line.has_value());
}

}  // namespace korvan::picture
