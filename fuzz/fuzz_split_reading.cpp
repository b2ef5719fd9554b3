// Large files are scanned and loaded by two threads from a split point near
// the middle. For any data file, reading it that way (forced here, whatever
// the size) must give exactly what one thread gives: the same notice, the
// same stop line or the same arrays. Reading it in one pass, by one thread
// or two, must give the same notice and arrays too, or give up showing
// nothing.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

#include "tests/reading_outcome.h"

namespace {

// Arrays larger than this are not made (the sanitizers count untouched pages).
constexpr std::uint64_t kMaxFuzzArrayBytes = std::uint64_t{64} << 20;

char scratch_dir[] = "/tmp/korvan-split-fuzz-XXXXXX";
std::string data_path;

void remove_scratch() {
  ::unlink(data_path.c_str());
  ::rmdir(scratch_dir);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (::mkdtemp(scratch_dir) == nullptr) std::abort();
  data_path = std::string(scratch_dir) + "/data.prd";
  std::atexit(remove_scratch);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    std::ofstream out(data_path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const korvan::testing::ReadingOutcome alone = korvan::testing::read_data_file(data_path, false, kMaxFuzzArrayBytes);
  const korvan::testing::ReadingOutcome split = korvan::testing::read_data_file(data_path, true, kMaxFuzzArrayBytes);
  if (!(alone == split)) {
    std::fprintf(stderr, "split reading differs:\none thread: %s%s\ntwo threads: %s%s\n", alone.console.c_str(),
                 alone.stop.c_str(), split.console.c_str(), split.stop.c_str());
    std::abort();
  }
  for (const bool two_threads : {false, true}) {
    const std::optional<korvan::testing::ReadingOutcome> one =
        korvan::testing::read_in_one_pass(data_path, two_threads, kMaxFuzzArrayBytes);
    if (one && !(one->stop.empty() && alone.stop.empty() && *one == alone)) {
      std::fprintf(stderr, "one pass (%s) differs:\nscan and load: %s%s\none pass: %s%s\n",
                   two_threads ? "two threads" : "one thread", alone.console.c_str(), alone.stop.c_str(),
                   one->console.c_str(), one->stop.c_str());
      std::abort();
    }
  }
  return 0;
}
