// Free-format reading of receiver lines, the bulk of every data file: a plain
// read of all nine values, and the data load's way of reading the same line
// (seven values confined to the line, step back, the data values after them).
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

namespace {

using korvan::textio::FreeFormatReader;
using korvan::textio::InputUnit;
using korvan::textio::IoStatus;
using korvan::textio::Item;
using korvan::textio::LineMark;

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

void BM_ReadReceiverLinesTwice(benchmark::State& state, const DataFile* file) {
  InputUnit unit;
  FreeFormatReader reader(unit);
  Receiver r;
  const Item info[] = {Item::of(r.momr),   Item::of(r.trx), Item::of(r.try_),
                       Item::of(r.zr),     Item::of(std::span<char>(&r.orient, 1)),
                       Item::of(r.ontype), Item::of(std::span<char>(&r.octype, 1))};
  const Item data[] = {Item::of(r.inphase), Item::of(r.quadrature)};
  for (auto _ : state) {
    if (unit.open(file->name()) != IoStatus::ok) {
      state.SkipWithError("cannot open the data file");
      return;
    }
    std::int64_t lines = 0;
    LineMark mark;
    while (reader.read_line(info, &mark) == IoStatus::ok) {
      if (unit.step_back() != IoStatus::ok || reader.read_line_after(mark, data) != IoStatus::ok) break;
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
  benchmark::RegisterBenchmark("ReadReceiverLinesTwice", BM_ReadReceiverLinesTwice, &file)
      ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
