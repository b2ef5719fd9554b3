// The real and integer field renderers over arbitrary bit patterns, each
// compared with a slow exact reference: G12.5 and G13.6 (data values,
// heights, frequencies), F15.5 (coordinates) and I2, I3, I5, I9; and the
// CSV's shortest decimals of floats and doubles, compared with
// std::to_chars. Every four bytes of the input are one value, up to 16 of
// them, and every eight one double; NaN and infinities are skipped.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "format/fixed_format.h"
#include "format/shortest_decimal.h"
#include "tests/reference/decimal_reference.h"

namespace {

void compare(const char* descriptor, float value, const std::string& got, const std::string& expected) {
  if (got == expected) return;
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  std::fprintf(stderr, "%s of %.9g (bits 0x%08x): got \"%s\", expected \"%s\"\n", descriptor,
               static_cast<double>(value), bits, got.c_str(), expected.c_str());
  std::abort();
}

std::string rendered_g(float value, int width, int digits) {
  std::string field(static_cast<std::size_t>(width), '?');
  korvan::format::render_g(field, digits, value);
  return field;
}

std::string rendered_f(float value, int width, int decimals) {
  std::string field(static_cast<std::size_t>(width), '?');
  korvan::format::render_f(field, decimals, value);
  return field;
}

// The shortest decimal as the CSV writes it, against std::to_chars.
template <typename Real>
void compare_shortest(Real value) {
  char got[64];
  char expected[64];
  const std::string quick(got, korvan::format::put_shortest(got, value));
  const std::string reference(expected, std::to_chars(expected, expected + sizeof expected, value).ptr);
  if (quick == reference) return;
  std::fprintf(stderr, "shortest of %.17g: got \"%s\", expected \"%s\"\n", static_cast<double>(value), quick.c_str(),
               reference.c_str());
  std::abort();
}

std::string reference_i(std::int32_t value, int width) { return korvan::reference::fitted(std::to_string(value), width); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using korvan::reference::reference_f;
  using korvan::reference::reference_g;
  for (std::size_t at = 0; at + 4 <= size && at < 64; at += 4) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, data + at, sizeof bits);

    std::int32_t integer = 0;
    std::memcpy(&integer, &bits, sizeof integer);
    for (const int width : {2, 3, 5, 9}) {
      std::string field(static_cast<std::size_t>(width), '?');
      korvan::format::render_i(field, integer);
      compare("Iw", static_cast<float>(integer), field, reference_i(integer, width));
    }

    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value)) continue;
    const korvan::reference::Exact exact = korvan::reference::exact_decimal(value);
    compare("G12.5", value, rendered_g(value, 12, 5), reference_g(exact, 12, 5));
    compare("G13.6", value, rendered_g(value, 13, 6), reference_g(exact, 13, 6));
    compare("F15.5", value, rendered_f(value, 15, 5), reference_f(exact, 15, 5));
    compare_shortest(value);
  }
  for (std::size_t at = 0; at + 8 <= size && at < 64; at += 8) {
    double value = 0;
    std::memcpy(&value, data + at, sizeof value);
    if (std::isfinite(value)) compare_shortest(value);
  }
  return 0;
}
