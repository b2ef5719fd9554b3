// The --plot picture of a converted survey: what --channel and --line ask
// checked against the survey before any rows are written, the flight lines
// found, and the sounding arrays seen as the picture needs them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "picture/survey_view.h"
#include "reader/sounding_arrays.h"
#include "table/column_plan.h"
#include "table/flight_lines.h"

namespace korvan::picture {

// What --plot, --channel and --line ask.
struct PictureOrder {
  std::string path;                    // ends in .png, .svg or .pdf
  std::optional<std::string> channel;  // a CSV column name; without it the first data column
  std::optional<std::int32_t> line;
};

class SurveyPicture {
 public:
  // Finds the flight lines by `rule` (on the coordinates as written where
  // the arrays keep them). Stops the run when the survey has no column
  // named `order.channel` ("Stop: no column "NAME" to colour the map by.")
  // or no line `order.line` ("Stop: no flight line N to draw."), with the
  // names or lines it has on standard error.
  SurveyPicture(const reader::SoundingArrays& arrays, const table::ColumnPlan& plan, std::string survey_name,
                PictureOrder order, const table::LineRule& rule);

  // Draws the picture into the file open for writing on `fd` (left open).
  // nullopt when drawn; else why not, in words.
  std::optional<std::string> draw(int fd) const;

 private:
  const reader::SoundingArrays& arrays_;
  const table::ColumnPlan& plan_;
  std::string path_;
  std::vector<std::string> names_;  // each data column's CSV name
  std::vector<std::int32_t> lines_;
  PictureRequest request_;
};

}  // namespace korvan::picture
