// A large file is read in pieces on two threads. For any data, reading it in
// pieces (forced here, whatever the size) must give exactly what reading it
// in one piece gives: the same notice, the same stop with its lines for
// standard error, every value stored and the warnings.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/array_limit.h"
#include "tests/reading_outcome.h"

namespace {

constexpr std::uint64_t kMaxFuzzArrayBytes = std::uint64_t{256} << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (korvan::fuzzing::arrays_beyond(text, kMaxFuzzArrayBytes)) return 0;
  const korvan::testing::ReadingOutcome whole = korvan::testing::read_text(text);
  const korvan::testing::ReadingOutcome pieces = korvan::testing::read_text(text, true);
  if (!pieces.same(whole)) {
    std::fprintf(stderr, "reading in pieces differs:\nin one piece: %s%s\n%s\nin pieces: %s%s\n%s\n",
                 whole.console.c_str(), whole.stop.c_str(), whole.warnings.c_str(), pieces.console.c_str(),
                 pieces.stop.c_str(), pieces.warnings.c_str());
    std::abort();
  }
  return 0;
}
