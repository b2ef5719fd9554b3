// Sweeps the G12.5, G13.6 and F15.5 renderers against the slow exact
// reference (tests/reference/decimal_reference.h). Sweeps cover every exact tie at the
// rounding positions, the neighbourhood of every power of ten (where the
// layout and the digit count change) and random bit patterns.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "format/fixed_format.h"
#include "tests/reference/decimal_reference.h"
#include "tests/test_support.h"

namespace {

using korvan::reference::Exact;
using korvan::reference::exact_decimal;
using korvan::reference::reference_f;
using korvan::reference::reference_g;
using korvan::reference::right_adjusted;

// ------------------------------------------------------------ comparison

struct Layout {
  const char* name;
  bool general;
  int width;
  int precision;
  bool right_adjusted = false;  // a G field moved to the right, as in the rows
};
constexpr Layout kLayouts[] = {
    {"G12.5", true, 12, 5},
    {"G13.6", true, 13, 6},
    {"F15.5", false, 15, 5},
    {"G12.5 right-adjusted", true, 12, 5, true},
};

class Sweep {
 public:
  void check(float x) {
    if (!std::isfinite(x)) return;
    ++values_;
    const Exact exact = exact_decimal(x);
    for (const Layout& layout : kLayouts) {
      std::string actual(static_cast<std::size_t>(layout.width), '?');
      std::string expected;
      if (layout.right_adjusted) {
        korvan::format::render_g_right(actual, layout.precision, x);
        expected = right_adjusted(reference_g(exact, layout.width, layout.precision));
      } else if (layout.general) {
        korvan::format::render_g(actual, layout.precision, x);
        expected = reference_g(exact, layout.width, layout.precision);
      } else {
        korvan::format::render_f(actual, layout.precision, x);
        expected = reference_f(exact, layout.width, layout.precision);
      }
      if (actual != expected) record(x, layout, expected, actual);
    }
  }

  // Checks x, -x and both neighbours of x.
  void check_around(float x) {
    check(x);
    check(-x);
    check(std::nextafter(x, 0.0F));
    check(std::nextafter(x, std::numeric_limits<float>::infinity()));
  }

  std::size_t values() const { return values_; }
  std::size_t mismatches() const { return mismatches_; }
  const std::string& report() const { return report_; }

 private:
  void record(float x, const Layout& layout, const std::string& expected, const std::string& actual) {
    if (++mismatches_ > 20) return;
    char line[160];
    std::snprintf(line, sizeof line, "bits 0x%08x (%.9g) %s: expected \"%s\", got \"%s\"\n",
                  std::bit_cast<std::uint32_t>(x), static_cast<double>(x), layout.name, expected.c_str(),
                  actual.c_str());
    report_ += line;
  }

  std::size_t values_ = 0;
  std::size_t mismatches_ = 0;
  std::string report_;
};

#define EXPECT_SWEEP_CLEAN(sweep)                                                             \
  EXPECT_EQ((sweep).mismatches(), 0U) << "over " << (sweep).values() << " values; first ones:\n" \
                                      << (sweep).report()

// Sanitizers slow everything about tenfold: the sweeps then take every
// kShrink-th value.
constexpr int kShrink = korvan::testing::kSanitized ? 20 : 1;

// Every float j * 2^-q (j odd, below 2^24) whose exact decimal expansion has
// exactly `length` significant digits, the last a 5: the exact ties for
// rounding to length - 1 significant digits. j * 2^-q = j * 5^q / 10^q, and
// j * 5^q ends in 5 for q >= 1; for q = 0 j itself must end in 5. Visits
// every `stride`-th one.
template <class Visit>
void for_each_tie(int length, int stride, Visit visit) {
  std::uint64_t low = 1;
  for (int i = 1; i < length; ++i) low *= 10;
  const std::uint64_t high = low * 10;
  constexpr std::uint64_t kSignificandEnd = std::uint64_t{1} << 24;
  std::uint64_t power5 = 1;
  for (int q = 0; power5 < high; ++q, power5 *= 5) {
    std::uint64_t j = (low + power5 - 1) / power5;
    const std::uint64_t end = std::min((high + power5 - 1) / power5, kSignificandEnd);
    std::uint64_t step = 2 * static_cast<std::uint64_t>(stride);
    if (q == 0) {
      j += (15 - j % 10) % 10;
      step = 10 * static_cast<std::uint64_t>(stride);
    } else {
      j |= 1U;
    }
    for (; j < end; j += step) visit(std::ldexp(static_cast<float>(j), -q));
  }
}

// ------------------------------------------------------------ the reference itself

TEST(FixedFormatReference, ReproducesTheDocumentedFields) {
  struct Case {
    float value;
    const char* f15_5;
    const char* g12_5;
  };
  const Case cases[] = {
      {1234.5F, "     1234.50000", "  1234.5    "},
      {-0.25F, "       -0.25000", "-0.25000    "},
      {-0.0F, "        0.00000", "  0.0000    "},
      {-0.000004F, "        0.00000", "-0.40000E-05"},
      {512345.59375F, "   512345.59400", " 0.51235E+06"},
      {1.0e10F, "***************", " 0.10000E+11"},
      {-1.0e9F, "***************", "-0.10000E+10"},
      {1234.56F, "     1234.56006", "  1234.6    "},
      {123456.7890625F, "   123456.78900", " 0.12346E+06"},
      {12345.0F, "    12345.00000", "  12345.    "},
      {99999.6F, "    99999.60160", " 0.10000E+06"},
      {0.099999F, "        0.10000", " 0.99999E-01"},
      {-1.0e-30F, "        0.00000", "-0.10000E-29"},
      {1.03125F, "        1.03125", "  1.0313    "},
  };
  for (const Case& c : cases) {
    const Exact exact = exact_decimal(c.value);
    EXPECT_EQ(reference_f(exact, 15, 5), c.f15_5) << c.value;
    EXPECT_EQ(reference_g(exact, 12, 5), c.g12_5) << c.value;
  }
  EXPECT_EQ(reference_g(exact_decimal(2000000.0F), 13, 6), " 0.200000E+07");
  EXPECT_EQ(reference_g(exact_decimal(56000.0F), 13, 6), "  56000.0    ");
  EXPECT_EQ(exact_decimal(std::numeric_limits<float>::denorm_min()).digits.size(), 105U);
  EXPECT_EQ(exact_decimal(FLT_MAX).digits, "340282346638528859811704183484516925440");
}

// ------------------------------------------------------------ sweeps

TEST(FixedFormatSweep, ExactTiesAtFiveSignificantDigits) {
  Sweep sweep;
  for_each_tie(6, kShrink, [&](float x) { sweep.check_around(x); });
  EXPECT_GT(sweep.values(), 700000U / kShrink);
  EXPECT_SWEEP_CLEAN(sweep);
}

TEST(FixedFormatSweep, ExactTiesAtSixSignificantDigits) {
  Sweep sweep;
  for_each_tie(7, kShrink, [&](float x) { sweep.check_around(x); });
  EXPECT_SWEEP_CLEAN(sweep);
}

// F15.5 keeps 9 significant digits from 10000 on.
TEST(FixedFormatSweep, ExactTiesAtNineSignificantDigits) {
  Sweep sweep;
  for_each_tie(10, 31 * kShrink, [&](float x) { sweep.check_around(x); });
  EXPECT_SWEEP_CLEAN(sweep);
}

// x * 10^5 ends in exactly .5 only for the odd multiples of 1/64.
TEST(FixedFormatSweep, ExactTiesAtTheFifthDecimal) {
  Sweep sweep;
  for (std::uint32_t j = 1; j < 640000; j += 2 * static_cast<std::uint32_t>(kShrink)) {
    sweep.check_around(std::ldexp(static_cast<float>(j), -6));
  }
  EXPECT_SWEEP_CLEAN(sweep);
}

// Around each power of ten the digit count, the layout of G and the reach
// of the 9-digit limit change; a thousand floats on either side also cover
// every rounding carry into the next power (9999.95 and the like).
TEST(FixedFormatSweep, PowerOfTenNeighbourhoods) {
  Sweep sweep;
  const auto largest = std::bit_cast<std::uint32_t>(FLT_MAX);
  for (int k = -45; k <= 38; ++k) {
    const std::string text = "1e" + std::to_string(k);
    const auto centre = static_cast<std::int64_t>(std::bit_cast<std::uint32_t>(std::strtof(text.c_str(), nullptr)));
    const std::int64_t first = std::max<std::int64_t>(centre - 1000, 0);
    const std::int64_t last = std::min<std::int64_t>(centre + 1000, largest);
    for (std::int64_t bits = first; bits <= last; bits += kShrink) {
      const float x = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
      sweep.check(x);
      sweep.check(-x);
    }
  }
  EXPECT_SWEEP_CLEAN(sweep);
}

TEST(FixedFormatSweep, ExtremesAndSubnormals) {
  Sweep sweep;
  const float extremes[] = {0.0F, FLT_MIN, FLT_MAX, std::numeric_limits<float>::denorm_min(),
                            std::bit_cast<float>(0x007fffffU)};
  for (const float x : extremes) sweep.check_around(x);
  for (std::uint32_t bits = 1; bits < 0x00800000U; bits <<= 1) sweep.check_around(std::bit_cast<float>(bits));
  for (std::uint32_t bits = 0; bits < 0x00800000U; bits += 997U * static_cast<std::uint32_t>(kShrink)) {
    sweep.check_around(std::bit_cast<float>(bits));
  }
  for (std::uint32_t bits = 0x7f7fffffU; bits > 0x7f7fffffU - 20000U; bits -= static_cast<std::uint32_t>(kShrink)) {
    sweep.check(std::bit_cast<float>(bits));
  }
  EXPECT_SWEEP_CLEAN(sweep);
}

TEST(FixedFormatSweep, RandomBitPatterns) {
  Sweep sweep;
  std::mt19937 bits(20240611U);
  const int count = 5000000 / kShrink;
  for (int i = 0; i < count; ++i) sweep.check(std::bit_cast<float>(static_cast<std::uint32_t>(bits())));
  EXPECT_GT(sweep.values(), static_cast<std::size_t>(count) * 99 / 100);
  EXPECT_SWEEP_CLEAN(sweep);
}

// Typical data values lie far from the extremes; sweep them more densely.
TEST(FixedFormatSweep, RandomValuesOfTypicalMagnitude) {
  Sweep sweep;
  std::mt19937 bits(7U);
  const auto low = std::bit_cast<std::uint32_t>(1.0e-4F);
  const auto high = std::bit_cast<std::uint32_t>(1.0e8F);
  std::uniform_int_distribution<std::uint32_t> pattern(low, high);
  const int count = 1000000 / kShrink;
  for (int i = 0; i < count; ++i) {
    const float x = std::bit_cast<float>(pattern(bits));
    sweep.check(i % 2 == 0 ? x : -x);
  }
  EXPECT_SWEEP_CLEAN(sweep);
}

}  // namespace
