// The run's stop goes through the one builder of the stop lines.
#include "run/stops.h"

#include "console/stop.h"

namespace korvan::run {

void estop(std::string_view message, std::vector<std::string> details) { console::stop(message, std::move(details)); }

}  // namespace korvan::run
