// The --plot picture of a converted survey: the sounding arrays seen as the
// picture module needs them, the columns as the plan makes them.
#pragma once

#include <optional>
#include <string>

#include "driver/column_plan.h"
#include "reader/sounding_arrays.h"

namespace korvan::driver {

// Draws the picture into the file open on `fd`, its kind from the ending of
// `name`. nullopt when drawn; else why not, in words.
std::optional<std::string> draw_survey(const std::string& name, int fd, const reader::SoundingArrays& arrays,
                                       const ColumnPlan& plan);

}  // namespace korvan::driver
