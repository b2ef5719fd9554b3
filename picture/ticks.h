// Round ticks for the picture's axes, and the short words its titles use
// for frequencies and channels.
#pragma once

#include <string>
#include <vector>

#include "picture/survey_view.h"

namespace korvan::picture {

struct Tick {
  double value = 0;
  std::string text;
};

// Ticks at whole multiples of a round step (1, 2 or 5 x 10^k) from `low` to
// `high`, the step no smaller than (high - low) / max_steps. Each text has
// the decimals the step needs, in exponent notation only where plain
// notation would be very long; large coordinates stay plain integers.
std::vector<Tick> round_ticks(double low, double high, int max_steps);

// A frequency in plain words: "380 Hz", "7200 Hz", "912.5 Hz", "25 kHz",
// "100 kHz", "1.2 MHz"; below 10 kHz always in Hz, as survey systems name
// their coils.
std::string frequency_text(double hertz);

// A number in at most six significant digits, as short as it reads: "12",
// "0.25", "4978.31", "1.5e-06".
std::string short_number(double value);

// "in-phase" or "quadrature".
const char* component_text(Component component);

}  // namespace korvan::picture
