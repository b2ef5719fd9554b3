// The tables against the values a generator meant: a few hundred random
// surveys in every layout the format allows, read in one piece and in pieces
// on threads. `make sweep` runs many more and larger ones.
#include <gtest/gtest.h>

#include "tests/known_values.h"
#include "tests/test_support.h"

namespace korvan::testing {
namespace {

std::string report(const KnownValuesTally& t) {
  std::string text = std::to_string(t.surveys_differing) + " of " + std::to_string(t.surveys) + " surveys and " +
                     std::to_string(t.fields_differing) + " of " + std::to_string(t.fields) + " fields differ";
  for (const std::string& d : t.first_differences) text += "\n  " + d;
  return text;
}

TEST(KnownValues, EveryFieldIsTheValueMeant) {
  const std::int64_t surveys = kSanitized ? 60 : 300;
  for (const bool pieces : {false, true}) {
    const KnownValuesTally t = run_known_values(pieces ? 100000 : 1, surveys, {1, 40, true}, pieces);
    EXPECT_EQ(t.surveys_differing, 0) << report(t);
  }
}

}  // namespace
}  // namespace korvan::testing
