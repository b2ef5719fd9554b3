// The data load: the second pass over a predicted-data file. Validates what
// the scan did not look at and fills the sounding arrays.
#pragma once

#include <string_view>

#include <optional>

#include "reader/getdims.h"
#include "reader/sounding_arrays.h"

namespace korvan::reader::getprd_mod {

// Loads dims.nsound soundings into arrays made with the scan's extents.
// Every failure ends the run with its message. With a split point from the
// scan, the soundings from there on are loaded by a second thread; failures
// are still reported in file order.
void getprd(std::string_view name, const Dimensions& dims, SoundingArrays& arrays,
            const std::optional<SplitPoint>& split = std::nullopt);

}  // namespace korvan::reader::getprd_mod
