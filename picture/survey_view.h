// What the picture needs to know of a survey, and what it is asked to show:
// the one interface between the conversion's arrays and the drawing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace korvan::picture {

enum class Component { inphase, quadrature };

// What one data column holds.
struct ChannelInfo {
  double frequency = 0;     // Hz
  char orientation = 'z';   // the transmitter's: x, y or z
  int transmitter = 1;      // its number within the frequency, from 1
  Component component = Component::inphase;
  std::string name;         // as the CSV heads the column: "900Hz_z_inphase"
};

// A survey as the picture reads it: sounding i counts from 0.
class SurveyView {
 public:
  virtual ~SurveyView() = default;
  virtual std::int64_t soundings() const = 0;  // at least 1
  virtual double x(std::int64_t i) const = 0;  // metres; not finite where the file left it empty
  virtual double y(std::int64_t i) const = 0;
  virtual double height(std::int64_t i) const = 0;  // metres, as the rows' third column
  // The flight line the sounding was taken on, from 1 in file order; 0 in a
  // turn or on no line at all.
  virtual std::int32_t line(std::int64_t i) const = 0;
  virtual std::size_t columns() const = 0;  // data columns, 1 or more
  virtual ChannelInfo channel(std::size_t column) const = 0;
  virtual float value(std::size_t column, std::int64_t i) const = 0;

  // The values of soundings first, first + 1, ... into `out`; the height's
  // when `column` is empty. A view may do this faster than one by one, and
  // the picture reads every value this way.
  virtual void values(std::optional<std::size_t> column, std::int64_t first, std::span<float> out) const {
    for (std::size_t k = 0; k < out.size(); ++k) {
      const std::int64_t i = first + static_cast<std::int64_t>(k);
      out[k] = column ? value(*column, i) : static_cast<float>(height(i));
    }
  }
};

// What the picture shows of the survey.
struct PictureRequest {
  enum class MapColour { data_column, height };
  std::string survey_name;  // for the title line: the data file's name
  MapColour map_colour = MapColour::data_column;
  std::size_t map_column = 0;  // the data column that colours the map
  // The one flight line whose profiles are drawn, its track marked on the
  // map; without it, every line in file order.
  std::optional<std::int32_t> line;
};

}  // namespace korvan::picture
