// Free-format reading of receiver lines, the bulk of every data file: a plain
// read of all nine values, and the reader's way of taking the same line (one
// value at a time through the value cursor, confined to the line).
// Reports lines per second; the target is at least 10 million on one core.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <span>
#include <string>

#include "textio/free_format_reader.h"
#include "textio/input_unit.h"
#include "textio/value_cursor.h"

namespace {

using korvan::textio::FreeFormatReader;
using korvan::textio::InputUnit;
using korvan::textio::IoStatus;
using korvan::textio::Item;
using korvan::textio::ValueCursor;

constexpr std::string_view kReceiverLine = "  1.0  10.0  0.0  -30.0  z  1  b  120.5  -40.25\n";
constexpr std::int64_t kLines = 2'000'000;

// The data file, written once before the benchmarks run and removed after.
class DataFile {
 public:
  DataFile() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("korvan-bench-" + std::to_string(rd()) + std::to_string(rd()) + ".prd");
    std::string contents;
    contents.reserve(kReceiverLine.size() * static_cast<std::size_t>(kLines));
    for (std::int64_t n = 0; n < kLines; ++n) contents += kReceiverLine;
    std::ofstream(path_, std::ios::binary).write(contents.data(), static_cast<std::streamsize>(contents.size()));
  }
  ~DataFile() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;

  std::string name() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

struct Receiver {
  float momr = 0, trx = 0, try_ = 0, zr = 0;
  char orient = ' ';
  std::int32_t ontype = 0;
  char octype = ' ';
  float inphase = 0, quadrature = 0;
};

void report(benchmark::State& state, std::int64_t lines_per_pass) {
  state.SetItemsProcessed(state.iterations() * lines_per_pass);
  state.counters["lines_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations() * lines_per_pass), benchmark::Counter::kIsRate);
}

void BM_ReadReceiverLines(benchmark::State& state, const DataFile* file) {
  InputUnit unit;
  FreeFormatReader reader(unit);
  Receiver r;
  const Item items[] = {Item::of(r.momr),    Item::of(r.trx),  Item::of(r.try_),
                        Item::of(r.zr),      Item::of(std::span<char>(&r.orient, 1)),
                        Item::of(r.ontype),  Item::of(std::span<char>(&r.octype, 1)),
                        Item::of(r.inphase), Item::of(r.quadrature)};
  for (auto _ : state) {
    if (unit.open(file->name()) != IoStatus::ok) {
      state.SkipWithError("cannot open the data file");
      return;
    }
    std::int64_t lines = 0;
    while (reader.read(items) == IoStatus::ok) ++lines;
    unit.close();
    if (lines != kLines) {
      state.SkipWithError("wrong number of lines read");
      return;
    }
    benchmark::DoNotOptimize(r);
  }
  report(state, kLines);
}

// The same lines as the reader takes an entry: one value at a time, the
// quick way while the line is plain, confined to the line.
void BM_ReadReceiverLinesByCursor(benchmark::State& state, const DataFile* file) {
  InputUnit unit;
  ValueCursor cursor(unit);
  Receiver r;
  for (auto _ : state) {
    if (unit.open(file->name()) != IoStatus::ok) {
      state.SkipWithError("cannot open the data file");
      return;
    }
    std::int64_t lines = 0;
    using korvan::textio::Integer, korvan::textio::Letter, korvan::textio::Real;
    while (cursor.start(true) == IoStatus::ok &&
           cursor.take(Real{r.momr}, Real{r.trx}, Real{r.try_}, Real{r.zr}, Letter{r.orient}, Integer{r.ontype},
                       Letter{r.octype}, Real{r.inphase}, Real{r.quadrature})) {
      ++lines;
    }
    unit.close();
    if (lines != kLines) {
      state.SkipWithError("wrong number of lines read");
      return;
    }
    benchmark::DoNotOptimize(r);
  }
  report(state, kLines);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const DataFile file;
  benchmark::RegisterBenchmark("ReadReceiverLines", BM_ReadReceiverLines, &file)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ReadReceiverLinesByCursor", BM_ReadReceiverLinesByCursor, &file)
      ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
