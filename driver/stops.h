// The driver's fatal-message stops: "Stop: " for every failure, and the
// not-suitable form for data that do not fit a column layout.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvan::driver {

// `details`: lines for standard error that say where or why.
[[noreturn]] void estop(std::string_view message, std::vector<std::string> details = {});
[[noreturn]] void nsstop(std::string_view message);

}  // namespace korvan::driver
