// The shortest decimal of floats and doubles against std::to_chars, the
// reference it must match byte for byte: each layout at its edges. `make
// sweep` (tests/number_sweep.cpp) compares millions more.
#include "format/shortest_decimal.h"

#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace korvan::format {
namespace {

template <typename Real>
struct LayoutCase {
  Real value;
  const char* text;  // as std::to_chars writes it
};

template <typename Real, std::size_t kRoom>
std::string shortest(Real value) {
  char text[kRoom];
  return std::string(text, put_shortest(text, value));
}

TEST(ShortestDecimal, LaysOutFloatsAsToChars) {
  const LayoutCase<float> cases[] = {
      {-30.19F, "-30.19"},
      {123.456F, "123.456"},
      {0.5F, "0.5"},
      {0.001F, "0.001"},                   // fixed on a tie with "1e-03"
      {0.00012F, "0.00012"},               // and with "1.2e-04"
      {0.0001F, "1e-04"},                  // the exponent form is shorter
      {1.2345679e-5F, "1.2345679e-05"},
      {10000.0F, "10000"},                 // fixed on a tie with "1e+04"
      {120000.0F, "120000"},
      {100000.0F, "1e+05"},
      {12345678.0F, "12345678"},
      {0x1p30F, "1073741824"},             // a whole number's own digits
      {10.0000105F, "10.0000105"},         // nine digits
      {1e-45F, "1e-45"},                   // the smallest, and the largest
      {3.4028235e38F, "3.4028235e+38"},
      {-0.0F, "-0"},
      {-std::numeric_limits<float>::infinity(), "-inf"},
  };
  for (const auto& c : cases) EXPECT_EQ((shortest<float, kShortestFloatRoom>(c.value)), c.text);
}

TEST(ShortestDecimal, LaysOutDoublesAsToChars) {
  const LayoutCase<double> cases[] = {
      {512390.1, "512390.1"},
      {-5999998.55, "-5999998.55"},
      {0.00012, "0.00012"},
      {30.0, "30"},
      {123456789012345.0, "123456789012345"},
      {1e15, "1e+15"},
      {1.2345678901234568e20, "123456789012345683968"},  // a whole number's own digits
      {1e21, "1e+21"},
      {0.1 + 0.2, "0.30000000000000004"},                 // seventeen digits
      {1e-7, "1e-07"},
      {1e100, "1e+100"},
      {1.5e-300, "1.5e-300"},
      {5e-324, "5e-324"},
      {1.7976931348623157e308, "1.7976931348623157e+308"},
  };
  for (const auto& c : cases) EXPECT_EQ((shortest<double, kShortestDoubleRoom>(c.value)), c.text);
}

}  // namespace
}  // namespace korvan::format
