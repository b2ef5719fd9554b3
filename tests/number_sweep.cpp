// number_sweep: the long checks of reading and rendering numbers, for
// `make sweep` (the unit suite keeps their hand-picked cases). Each check
// sweeps its range against a judge that shares nothing with the code under
// test:
// - the G12.5, G13.6 and F15.5 fields (and G12.5 right-adjusted, as in the
//   rows) against the exact-decimal reference: every exact tie at the
//   rounding positions, the neighbourhood of every power of ten (where the
//   layout and the digit count change), extremes, subnormals and random
//   bit patterns;
// - the CSV's shortest decimals of floats and doubles against std::to_chars;
// - plain reals, read in the pass that finds their end (byte-wise and eight
//   digits at a time), against std::from_chars.
// Prints each check's count and first differences; exits 1 when any differs.
#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "format/fixed_format.h"
#include "format/shortest_decimal.h"
#include "tests/reference/decimal_reference.h"
#include "text/decimal_to_float.h"
#include "text/input_unit.h"

namespace {

using korvan::reference::exact_decimal;

// One check's count of values and its differences, the first few in words.
class Check {
 public:
  explicit Check(const char* name) : name_(name) {}
  void count() { ++values_; }
  void differ(const std::string& what) {
    if (++differences_ <= 10) report_ += "  " + what + "\n";
  }
  // Prints the outcome; true when nothing differed.
  bool done() const {
    std::printf("%-44s %10llu values, %llu differ\n%s", name_, values_, differences_, report_.c_str());
    return differences_ == 0;
  }

 private:
  const char* name_;
  unsigned long long values_ = 0;
  unsigned long long differences_ = 0;
  std::string report_;
};

std::string bits_text(float x) {
  char text[64];
  std::snprintf(text, sizeof text, "bits 0x%08x (%.9g)", std::bit_cast<std::uint32_t>(x), static_cast<double>(x));
  return text;
}

// ------------------------------------------------------------ fixed fields

// The reference itself against fields worked out by hand.
bool reference_reproduces_the_documented_fields() {
  struct Case {
    float value;
    int width, precision;
    bool general;
    const char* field;
  };
  const Case cases[] = {
      {1234.5F, 15, 5, false, "     1234.50000"},  {1234.5F, 12, 5, true, "  1234.5    "},
      {-0.25F, 15, 5, false, "       -0.25000"},   {-0.25F, 12, 5, true, "-0.25000    "},
      {-0.0F, 15, 5, false, "        0.00000"},    {-0.0F, 12, 5, true, "  0.0000    "},
      {-0.000004F, 15, 5, false, "        0.00000"}, {-0.000004F, 12, 5, true, "-0.40000E-05"},
      {512345.59375F, 15, 5, false, "   512345.59400"}, {512345.59375F, 12, 5, true, " 0.51235E+06"},
      {1.0e10F, 15, 5, false, "***************"},  {-1.0e9F, 12, 5, true, "-0.10000E+10"},
      {99999.6F, 15, 5, false, "    99999.60160"},   {99999.6F, 12, 5, true, " 0.10000E+06"},
      {0.099999F, 12, 5, true, " 0.99999E-01"},     {1.03125F, 12, 5, true, "  1.0313    "},
      {12345.0F, 12, 5, true, "  12345.    "},      {2000000.0F, 13, 6, true, " 0.200000E+07"},
      {56000.0F, 13, 6, true, "  56000.0    "},
  };
  Check check("the reference on fields worked out by hand");
  for (const Case& c : cases) {
    check.count();
    const auto exact = exact_decimal(c.value);
    const std::string got = c.general ? korvan::reference::reference_g(exact, c.width, c.precision)
                                      : korvan::reference::reference_f(exact, c.width, c.precision);
    if (got != c.field) check.differ(bits_text(c.value) + ": \"" + got + "\", not \"" + c.field + "\"");
  }
  if (exact_decimal(FLT_MAX).digits != "340282346638528859811704183484516925440" ||
      exact_decimal(std::numeric_limits<float>::denorm_min()).digits.size() != 105) {
    check.differ("the exact expansions of FLT_MAX or the smallest subnormal");
  }
  return check.done();
}

// Every field layout of the rows, rendered and judged by the reference.
void check_fields(Check& check, float x) {
  if (!std::isfinite(x)) return;
  check.count();
  const auto exact = exact_decimal(x);
  const auto compare = [&](const char* name, const std::string& got, const std::string& expected) {
    if (got != expected) check.differ(bits_text(x) + " " + name + ": \"" + got + "\", not \"" + expected + "\"");
  };
  std::string g12(12, '?');
  std::string g13(13, '?');
  std::string f15(15, '?');
  std::string right(12, '?');
  korvan::format::render_g(g12, 5, x);
  korvan::format::render_g(g13, 6, x);
  korvan::format::render_f(f15, 5, x);
  korvan::format::render_g_right(right, 5, x);
  compare("G12.5", g12, korvan::reference::reference_g(exact, 12, 5));
  compare("G13.6", g13, korvan::reference::reference_g(exact, 13, 6));
  compare("F15.5", f15, korvan::reference::reference_f(exact, 15, 5));
  compare("G12.5 right-adjusted", right, korvan::reference::right_adjusted(korvan::reference::reference_g(exact, 12, 5)));
}

// x, -x and both neighbours of x.
void check_around(Check& check, float x) {
  check_fields(check, x);
  check_fields(check, -x);
  check_fields(check, std::nextafter(x, 0.0F));
  check_fields(check, std::nextafter(x, std::numeric_limits<float>::infinity()));
}

// Every float j * 2^-q (j odd, below 2^24) whose exact decimal expansion has
// exactly `length` significant digits, the last a 5: the exact ties for
// rounding to length - 1 significant digits. j * 2^-q = j * 5^q / 10^q, and
// j * 5^q ends in 5 for q >= 1; for q = 0 j itself must end in 5. Checks
// every `stride`-th one and its neighbours.
bool ties_at(const char* name, int length, int stride) {
  Check check(name);
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
    for (; j < end; j += step) check_around(check, std::ldexp(static_cast<float>(j), -q));
  }
  return check.done();
}

bool fixed_fields() {
  bool same = reference_reproduces_the_documented_fields();
  same &= ties_at("ties at five significant digits", 6, 1);
  same &= ties_at("ties at six significant digits", 7, 1);
  same &= ties_at("ties at nine (F15.5 from 10000 on), every 31st", 10, 31);

  // x * 10^5 ends in exactly .5 only for the odd multiples of 1/64.
  Check fifth("ties at the fifth decimal");
  for (std::uint32_t j = 1; j < 640000; j += 2) check_around(fifth, std::ldexp(static_cast<float>(j), -6));
  same &= fifth.done();

  // A thousand floats either side of each power of ten also cover every
  // rounding carry into the next power (9999.95 and the like).
  Check powers("around every power of ten");
  const auto largest = std::bit_cast<std::uint32_t>(FLT_MAX);
  for (int k = -45; k <= 38; ++k) {
    const std::string text = "1e" + std::to_string(k);
    const auto centre = static_cast<std::int64_t>(std::bit_cast<std::uint32_t>(std::strtof(text.c_str(), nullptr)));
    const std::int64_t last = std::min<std::int64_t>(centre + 1000, largest);
    for (std::int64_t bits = std::max<std::int64_t>(centre - 1000, 0); bits <= last; ++bits) {
      const float x = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
      check_fields(powers, x);
      check_fields(powers, -x);
    }
  }
  same &= powers.done();

  Check extremes("extremes and subnormals");
  for (const float x : {0.0F, FLT_MIN, FLT_MAX, std::numeric_limits<float>::denorm_min()}) check_around(extremes, x);
  for (std::uint32_t bits = 1; bits < 0x00800000U; bits <<= 1) check_around(extremes, std::bit_cast<float>(bits));
  for (std::uint32_t bits = 0; bits < 0x00800000U; bits += 997U) check_around(extremes, std::bit_cast<float>(bits));
  for (std::uint32_t bits = 0x7f7fffffU; bits > 0x7f7fffffU - 20000U; --bits) {
    check_fields(extremes, std::bit_cast<float>(bits));
  }
  same &= extremes.done();

  Check random("random bit patterns");
  std::mt19937 bits(20240611U);
  for (int i = 0; i < 5000000; ++i) check_fields(random, std::bit_cast<float>(static_cast<std::uint32_t>(bits())));
  same &= random.done();

  // Data values lie far from the extremes: these more densely.
  Check typical("random values from 1e-4 to 1e8");
  std::uniform_int_distribution<std::uint32_t> pattern(std::bit_cast<std::uint32_t>(1.0e-4F),
                                                      std::bit_cast<std::uint32_t>(1.0e8F));
  for (int i = 0; i < 1000000; ++i) {
    const float x = std::bit_cast<float>(pattern(bits));
    check_fields(typical, i % 2 == 0 ? x : -x);
  }
  return typical.done() && same;
}

// ------------------------------------------------------------ shortest decimals

template <typename Real, std::size_t kRoom, std::size_t kMax>
void check_shortest(Check& check, Real value) {
  check.count();
  char quick[kRoom];
  char reference[kMax];
  const std::string got(quick, korvan::format::put_shortest(quick, value));
  const std::string expected(reference, std::to_chars(reference, reference + sizeof reference, value).ptr);
  if (got != expected) check.differ(expected + " written as " + got);
}

bool shortest_decimals() {
  using korvan::format::kMaxShortestDouble;
  using korvan::format::kMaxShortestFloat;
  using korvan::format::kShortestDoubleRoom;
  using korvan::format::kShortestFloatRoom;
  struct Range {
    const char* name;
    float from;
    float to;
    std::uint32_t stride;  // in the float's bits
  };
  const Range ranges[] = {
      // Neighbours one unit of the seventh digit apart and closer, where a
      // shorter neighbour may read back.
      {"shortest floats in [8, 16)", 8.0F, 16.0F, 1},
      // Where fixed point turns to the exponent form.
      {"shortest floats around 10^-4", 0.9e-4F, 1.1e-4F, 1},
      {"shortest floats around 10^7", 0.9e7F, 1.1e7F, 1},
      {"shortest, every 127th float from 2^-15 to 2^25", 0x1p-15F, 0x1p25F, 127},
  };
  bool same = true;
  for (const Range& r : ranges) {
    Check check(r.name);
    for (std::uint32_t bits = std::bit_cast<std::uint32_t>(r.from); bits < std::bit_cast<std::uint32_t>(r.to);
         bits += r.stride) {
      check_shortest<float, kShortestFloatRoom, kMaxShortestFloat>(check, std::bit_cast<float>(bits));
      check_shortest<float, kShortestFloatRoom, kMaxShortestFloat>(check, -std::bit_cast<float>(bits));
    }
    same &= check.done();
  }
  // Coordinates as surveys write them (up to nine decimals, round numbers
  // among them), then any bit pattern.
  Check doubles("shortest doubles");
  std::mt19937_64 rng(41);
  for (int n = 0; n < 2000000; ++n) {
    double value = 0;
    if (n % 4 == 3) {
      value = std::bit_cast<double>(rng());
      if (!std::isfinite(value)) continue;
    } else {
      const auto decimals = static_cast<int>(rng() % 10);
      const double whole = static_cast<double>(rng() % 100000000000ULL) / std::pow(10.0, static_cast<double>(rng() % 8));
      value = std::round(whole * std::pow(10.0, decimals)) / std::pow(10.0, decimals) * (n % 2 == 0 ? 1 : -1);
    }
    check_shortest<double, kShortestDoubleRoom, kMaxShortestDouble>(doubles, value);
  }
  return doubles.done() && same;
}

// ------------------------------------------------------------ plain reals

// The float nearest to a plain decimal, as the standard library reads it.
float nearest_float(const std::string& token) {
  const bool negative = token[0] == '-';
  const std::size_t skip = token[0] == '-' || token[0] == '+' ? 1 : 0;
  float magnitude = 0;
  std::from_chars(token.data() + skip, token.data() + token.size(), magnitude);
  return negative ? -magnitude : magnitude;
}

// A plain real accepted by either way of the reading pass must end where
// the token ends and be the nearest float; either way may decline it.
// Counts the tokens accepted.
void check_plain(Check& check, const std::string& token, const std::string& after) {
  std::string buffer = token + after + std::string(korvan::text::kRecordPadding, '7');
  const char* const end = buffer.data() + token.size() + after.size();
  float bytewise = 0;
  float padded = 0;
  const char* const a = korvan::text::parse_plain_real(buffer.data(), end, bytewise);
  const char* const b = korvan::text::parse_padded_real(buffer.data(), end, padded);
  if (a == nullptr && b == nullptr) return;
  check.count();
  const float nearest = nearest_float(token);
  const auto same_float = [](float x, float y) { return std::bit_cast<std::uint32_t>(x) == std::bit_cast<std::uint32_t>(y); };
  if (a != nullptr && (a != buffer.data() + token.size() || !same_float(bytewise, nearest))) {
    check.differ("\"" + token + "\" read byte-wise as " + bits_text(bytewise));
  }
  if (b != nullptr && (b != buffer.data() + token.size() || !same_float(padded, nearest))) {
    check.differ("\"" + token + "\" read eight digits at a time as " + bits_text(padded));
  }
}

bool plain_reals() {
  Check random("plain reals accepted, of 2000000 random tokens");
  std::mt19937_64 rng(17);
  static const char kAlphabet[] = "0123456789000000.-+eEdD";
  for (int n = 0; n < 2000000; ++n) {
    std::string token;
    const int length = 1 + static_cast<int>(rng() % (n % 2 == 0 ? 12 : 24));
    for (int i = 0; i < length; ++i) token += kAlphabet[rng() % (sizeof kAlphabet - 1)];
    // Now and then a byte that no number holds, high ones included.
    if (n % 7 == 0) token[rng() % token.size()] = "\xfa\xff\x80x"[rng() % 4];
    check_plain(random, token, n % 3 == 0 ? " 5" : "");
  }
  // Plain decimals with a point are converted with a multiplication by a
  // rounded power of ten, which can only go wrong close to a midpoint
  // between two floats: midpoints written with 15 to 19 significant digits,
  // some a few units of their last digit off.
  Check midpoints("plain reals accepted, close to float midpoints");
  std::mt19937 pick(5);
  std::uniform_int_distribution<std::uint32_t> pattern(std::bit_cast<std::uint32_t>(1e-3f),
                                                      std::bit_cast<std::uint32_t>(1e15f));
  for (int n = 0; n < 400000; ++n) {
    const float low = std::bit_cast<float>(pattern(pick));
    const double mid = (static_cast<double>(low) + static_cast<double>(std::nextafter(low, INFINITY))) / 2;
    char text[64];
    const int significant = 15 + n % 5;
    std::snprintf(text, sizeof text, "%.*f", significant - 1 - static_cast<int>(std::floor(std::log10(mid))), mid);
    std::string token(text);
    if (token.find('.') == std::string::npos) continue;
    token.back() = static_cast<char>('0' + (token.back() - '0' + n % 7 + 7) % 10);
    check_plain(midpoints, token, "");
  }
  return random.done() && midpoints.done();
}

}  // namespace

int main() {
  bool same = fixed_fields();
  same &= shortest_decimals();
  same &= plain_reals();
  return same ? 0 : 1;
}
