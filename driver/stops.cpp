// Both stops compose the whole console line and end the run through the one
// termination path (main shows the line and exits with status 1).
#include "driver/stops.h"

#include <string>

#include "textio/termination.h"

namespace korvan::driver {

void estop(std::string_view message, std::vector<std::string> details) {
  textio::stop_with_line("Stop: " + std::string(message) + ".", std::move(details));
}

void nsstop(std::string_view message) {
  textio::stop_with_line("Stop 'cause data not suitable for column format: " + std::string(message) + ".");
}

}  // namespace korvan::driver
