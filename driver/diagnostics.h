// Lines on standard error, each starting "korvan2col: ": what the system
// said about a failure that the console line names only in the converter's
// own words.
#pragma once

#include <string_view>

namespace korvan::driver {

void diagnose(std::string_view message);

}  // namespace korvan::driver
