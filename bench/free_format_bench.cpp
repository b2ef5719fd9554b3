// Free-format reading of receiver lines, the bulk of every data file: a plain
// read of all nine values, and the reader's way of taking the same line (one
// value at a time through the value cursor, confined to the line).
// The lines are read from memory. Reports lines per second; the target is at
// least 10 million on one core.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "text/free_format_reader.h"
#include "text/input_unit.h"
#include "text/value_cursor.h"

namespace {

using korvan::text::FreeFormatReader;
using korvan::text::InputUnit;
using korvan::text::IoStatus;
using korvan::text::Item;
using korvan::text::ValueCursor;

constexpr std::string_view kReceiverLine = "  1.0  10.0  0.0  -30.0  z  1  b  120.5  -40.25\n";
constexpr std::int64_t kLines = 2'000'000;

// The lines in memory, with the readable bytes that an input unit reading
// memory wants behind them.
class Lines {
 public:
  Lines() {
    text_.reserve(kReceiverLine.size() * static_cast<std::size_t>(kLines) + korvan::text::kRecordPadding);
    for (std::int64_t n = 0; n < kLines; ++n) text_ += kReceiverLine;
    size_ = text_.size();
    text_.append(korvan::text::kRecordPadding, '\0');
  }
  void attach(InputUnit& unit) const { unit.attach(text_.data(), size_); }

 private:
  std::string text_;
  std::size_t size_ = 0;
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

void BM_ReadReceiverLines(benchmark::State& state, const Lines* lines_in_memory) {
  InputUnit unit;
  FreeFormatReader reader(unit);
  Receiver r;
  const Item items[] = {Item::of(r.momr),    Item::of(r.trx),  Item::of(r.try_),
                        Item::of(r.zr),      Item::of(std::span<char>(&r.orient, 1)),
                        Item::of(r.ontype),  Item::of(std::span<char>(&r.octype, 1)),
                        Item::of(r.inphase), Item::of(r.quadrature)};
  for (auto _ : state) {
    lines_in_memory->attach(unit);
    std::int64_t lines = 0;
    while (reader.read(items) == IoStatus::ok) ++lines;
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
void BM_ReadReceiverLinesByCursor(benchmark::State& state, const Lines* lines_in_memory) {
  InputUnit unit;
  ValueCursor cursor(unit);
  Receiver r;
  for (auto _ : state) {
    lines_in_memory->attach(unit);
    std::int64_t lines = 0;
    using korvan::text::Integer, korvan::text::Letter, korvan::text::Real;
    while (cursor.start(true) == IoStatus::ok &&
           cursor.take(Real{r.momr}, Real{r.trx}, Real{r.try_}, Real{r.zr}, Letter{r.orient}, Integer{r.ontype},
                       Letter{r.octype}, Real{r.inphase}, Real{r.quadrature})) {
      ++lines;
    }
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
  const Lines lines;
  benchmark::RegisterBenchmark("ReadReceiverLines", BM_ReadReceiverLines, &lines)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ReadReceiverLinesByCursor", BM_ReadReceiverLinesByCursor, &lines)
      ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
