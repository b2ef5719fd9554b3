// A large file is read in pieces by two threads, and loaded while it is
// scanned where its first soundings show its extents. For any data file,
// every way of reading it (forced here, whatever the size) must give
// exactly what one thread reading it twice gives: the same notice, the same
// stop line or the same arrays.
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
  using korvan::testing::ReadingWay;
  const korvan::testing::ReadingOutcome plain =
      korvan::testing::read_data_file(data_path, ReadingWay{false, false}, kMaxFuzzArrayBytes);
  for (const ReadingWay way : {ReadingWay{true, true}, ReadingWay{true, false}, ReadingWay{false, true}}) {
    const korvan::testing::ReadingOutcome other = korvan::testing::read_data_file(data_path, way, kMaxFuzzArrayBytes);
    if (!(other == plain)) {
      std::fprintf(stderr, "reading %s%s differs:\none thread, twice: %s%s\nthis way: %s%s\n",
                   way.pieces ? "in pieces" : "in one piece", way.on_the_way ? ", loading on the way" : "",
                   plain.console.c_str(), plain.stop.c_str(), other.console.c_str(), other.stop.c_str());
      std::abort();
    }
  }
  return 0;
}
