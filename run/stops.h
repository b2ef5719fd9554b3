// The run's fatal-message stop, "Stop: MESSAGE.", for the failures of the
// dialogue and of its outputs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvan::run {

// `details`: lines for standard error that say where or why.
[[noreturn]] void estop(std::string_view message, std::vector<std::string> details = {});

}  // namespace korvan::run
