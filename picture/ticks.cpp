// Round ticks and the words of the titles.
#include "picture/ticks.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace korvan::picture {
namespace {

// The smallest step of 1, 2 or 5 x 10^k that is at least `least`.
double round_step(double least) {
  const double power = std::pow(10.0, std::floor(std::log10(least)));
  for (const double multiple : {1.0, 2.0, 5.0}) {
    if (multiple * power >= least * (1 - 1e-9)) return multiple * power;
  }
  return 10 * power;
}

int decimal_exponent(double value) { return static_cast<int>(std::floor(std::log10(value) + 1e-9)); }

std::string tick_text(double value, double step, double largest) {
  char text[48];
  const int decimals = std::max(0, -decimal_exponent(step));
  // Past these bounds plain notation runs to a dozen characters or more.
  if (decimals <= 6 && largest < 1e10) {
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
  } else {
    const int digits = std::max(0, decimal_exponent(largest) - decimal_exponent(step));
    std::snprintf(text, sizeof text, "%.*e", digits, value);
  }
  return text;
}

// Plain decimals, the fewest (up to `most`) that give `value` back to
// within a float's precision, which is all a value read from the file has.
std::string plain_decimals(double value, int most) {
  char text[48];
  for (int decimals = 0; decimals <= most; ++decimals) {
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    if (std::abs(std::strtod(text, nullptr) - value) <= std::abs(value) * 1e-7) break;
  }
  return text;
}

}  // namespace

std::vector<Tick> round_ticks(double low, double high, int max_steps) {
  if (!(low < high) || !std::isfinite(high - low) || max_steps < 1) return {};
  const double step = round_step((high - low) / max_steps);
  const double largest = std::max(std::abs(low), std::abs(high));
  // Whole multiples of the step, as products: a running sum would drift.
  const double first = std::ceil(low / step - 1e-9);
  const auto count = static_cast<std::int64_t>(std::floor(high / step + 1e-9) - first) + 1;
  std::vector<Tick> ticks;
  for (std::int64_t k = 0; k < count; ++k) {
    double value = (first + static_cast<double>(k)) * step;
    // Keeps "-0" off the axis.
    if (std::abs(value) < step * 1e-6) value = 0;
    ticks.push_back({value, tick_text(value, step, largest)});
  }
  return ticks;
}

std::string frequency_text(double hertz) {
  if (!std::isfinite(hertz)) return "? Hz";
  const double size = std::abs(hertz);
  if (size >= 1e6) return plain_decimals(hertz / 1e6, 6) + " MHz";
  if (size >= 1e4) return plain_decimals(hertz / 1e3, 6) + " kHz";
  return plain_decimals(hertz, 6) + " Hz";
}

std::string short_number(double value) {
  const double size = std::abs(value);
  if (size != 0 && (size >= 1e9 || size < 1e-4)) {
    char text[48];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
  }
  // Six significant digits at most.
  const int whole_digits = size >= 1 ? static_cast<int>(std::floor(std::log10(size))) + 1 : 0;
  return plain_decimals(value, std::max(0, 6 - whole_digits));
}

const char* component_text(Component component) {
  return component == Component::inphase ? "in-phase" : "quadrature";
}

}  // namespace korvan::picture
