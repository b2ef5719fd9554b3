// Whether the loaded data fit one column layout: the same counts in every
// sounding and one receiver per transmitter.
#pragma once

#include "reader/sounding_arrays.h"

namespace korvan::driver {

// Returns when the data fit; otherwise ends the run with the not-suitable stop.
void check_suitability(const reader::SoundingArrays& arrays, std::int32_t nsound);

}  // namespace korvan::driver
