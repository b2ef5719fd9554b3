// known_values_sweep: the known-values check at length, for `make sweep`.
//
//   known_values_sweep [--surveys N] [--seed S] [--large L]
//
// N small surveys read in one piece, N read in pieces on threads, and L
// surveys of about 20 MB, past the size from which pieces start. Prints the
// counts and the first differences; exits 1 when any field differs.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <map>

#include "tests/known_values.h"

namespace {

void print(const char* what, const korvan::testing::KnownValuesTally& t) {
  std::printf("%-28s %8lld surveys %11lld fields compared: %lld surveys, %lld fields differ\n", what,
              static_cast<long long>(t.surveys), static_cast<long long>(t.fields),
              static_cast<long long>(t.surveys_differing), static_cast<long long>(t.fields_differing));
  for (const auto& [kind, n] : t.differences) std::printf("  %-44s %lld\n", kind.c_str(), static_cast<long long>(n));
  for (const std::string& d : t.first_differences) std::printf("  %s\n", d.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  long long surveys = 2000;
  unsigned long long seed = 1;
  long long large = 2;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view option = argv[i];
    if (option == "--surveys") surveys = std::atoll(argv[i + 1]);
    if (option == "--seed") seed = std::strtoull(argv[i + 1], nullptr, 10);
    if (option == "--large") large = std::atoll(argv[i + 1]);
  }
  using korvan::testing::run_known_values;
  const auto whole = run_known_values(seed, surveys, {1, 60, true}, false);
  print("small, in one piece", whole);
  const auto pieces = run_known_values(seed + 1'000'000, surveys, {17, 60, true}, true);
  print("small, in pieces", pieces);
  const auto big = run_known_values(seed + 2'000'000, large, {80'000, 120'000, true}, false);
  print("about 20 MB each", big);
  std::printf("layouts drawn:\n");
  std::map<std::string, long long> layouts;
  for (const auto* t : {&whole, &pieces, &big}) {
    for (const auto& [layout, n] : t->layouts) layouts[layout] += n;
  }
  for (const auto& [layout, n] : layouts) std::printf("  %-28s %lld\n", layout.c_str(), n);
  const bool same = whole.surveys_differing + pieces.surveys_differing + big.surveys_differing == 0;
  return same ? 0 : 1;
}
