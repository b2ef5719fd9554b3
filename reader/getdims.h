// The dimension scan: the first pass over a predicted-data file. Counts the
// soundings and finds the largest numbers of frequencies, transmitters and
// receivers, testing every count on the way; receiver lines are passed over.
#pragma once

#include <string_view>

#include "reader/sounding_arrays.h"
#include "textio/console.h"

namespace korvan::reader::getdims_mod {

// Shows the notice with the number of soundings found. Every failure ends the
// run with its message.
Dimensions getdims(std::string_view name, textio::Console& console);

}  // namespace korvan::reader::getdims_mod
