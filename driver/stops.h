// The driver's fatal-message stops: "Stop: " for every failure, and the
// not-suitable form for data that do not fit a column layout.
#pragma once

#include <string_view>

namespace korvan::driver {

[[noreturn]] void estop(std::string_view message);
[[noreturn]] void nsstop(std::string_view message);

}  // namespace korvan::driver
