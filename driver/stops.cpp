// The driver's stops go through the one builder of the stop lines.
#include "driver/stops.h"

#include "console/stop.h"

namespace korvan::driver {

void estop(std::string_view message, std::vector<std::string> details) { console::stop(message, std::move(details)); }

void nsstop(std::string_view message) { console::stop_not_suitable(message); }

}  // namespace korvan::driver
