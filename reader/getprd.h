// The data load: the second pass over a predicted-data file. Validates what
// the scan did not look at and fills the sounding arrays.
#pragma once

#include <string_view>

#include "reader/sounding_arrays.h"

namespace korvan::reader::getprd_mod {

// Loads dims.nsound soundings into arrays made with the scan's extents.
// Every failure ends the run with its message.
void getprd(std::string_view name, const Dimensions& dims, SoundingArrays& arrays);

}  // namespace korvan::reader::getprd_mod
