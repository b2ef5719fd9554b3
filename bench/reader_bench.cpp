// Reader throughput and memory on a big survey: the dimension scan alone,
// the scan, the creation of the sounding arrays and the load as a second
// pass (as for a file whose first soundings do not show its extents), and
// the scan that loads on the way, as most conversions read. The survey (about 200 MB, made once per process in a
// temporary directory) can be resized with KORVAN_BENCH_SURVEY_MB.
//
// Targets: scan + load together at 200 MB/s or more (MB = 10^6 bytes), and a
// peak resident size of at most the arrays' bytes plus 32 MiB.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bench/survey_generator.h"
#include "reader/getdims.h"
#include "reader/getprd.h"
#include "reader/sounding_arrays.h"
#include "textio/console.h"
#include "textio/termination.h"

namespace {

namespace fs = std::filesystem;
using korvan::reader::Dimensions;

constexpr double kMiB = 1024.0 * 1024.0;

struct Survey {
  fs::path directory;
  std::string path;
  std::int64_t bytes = 0;
  korvan::bench::SurveyShape shape;
};

// Made on first use, so listing the benchmarks costs nothing.
std::optional<Survey>& survey_slot() {
  static std::optional<Survey> slot;
  return slot;
}

const Survey& survey() {
  std::optional<Survey>& slot = survey_slot();
  if (!slot) {
    Survey s;
    double mb = 200;
    if (const char* env = std::getenv("KORVAN_BENCH_SURVEY_MB")) mb = std::atof(env);
    if (!(mb > 0)) mb = 200;
    s.directory = fs::temp_directory_path() / ("korvan-reader-bench-" + std::to_string(::getpid()));
    fs::create_directories(s.directory);
    s.path = (s.directory / "survey.prd").string();
    s.shape.soundings = korvan::bench::soundings_for_bytes(s.shape, static_cast<std::uint64_t>(mb * 1e6));
    s.bytes = korvan::bench::write_survey_file(s.shape, s.path);
    if (s.bytes < 0) {
      std::fprintf(stderr, "reader_bench: cannot write %s\n", s.path.c_str());
      std::exit(1);
    }
    slot = s;
  }
  return *slot;
}

double peak_rss_bytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) * 1024.0;  // ru_maxrss is in KiB on Linux
}

// The figures of every repetition of the full read, for the verdict that
// main prints at the end.
struct LoadFigures {
  double mb_per_s = 0;
  double peak_rss = 0;
  double arrays = 0;
};

std::vector<LoadFigures>& load_figures() {
  static std::vector<LoadFigures> figures;
  return figures;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// `loaded`: whether the arrays were made, so that the peak can be set
// against their bytes.
void report(benchmark::State& state, const Dimensions& dims, bool loaded) {
  const Survey& s = survey();
  const auto iterations = static_cast<std::int64_t>(state.iterations());
  state.SetBytesProcessed(iterations * s.bytes);
  state.counters["MB_read"] = benchmark::Counter(static_cast<double>(iterations) * static_cast<double>(s.bytes) / 1e6,
                                                 benchmark::Counter::kIsRate);
  state.counters["input_MB"] = static_cast<double>(s.bytes) / 1e6;
  state.counters["nsound"] = dims.nsound;
  // The peak of the whole process so far, so a benchmark shows at least the
  // peak of those that ran before it.
  state.counters["peak_rss_MiB"] = peak_rss_bytes() / kMiB;
  if (loaded) {
    const double arrays = static_cast<double>(korvan::reader::sounding_array_bytes(dims).value_or(0));
    state.counters["arrays_MiB"] = arrays / kMiB;
    state.counters["rss_over_arrays_MiB"] = (peak_rss_bytes() - arrays) / kMiB;
  }
}

// What one conversion does before its checks: scan, create, load.
void BM_ScanAllocateLoad(benchmark::State& state) {
  const Survey& s = survey();
  Dimensions dims;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    std::string notices;
    korvan::textio::Console console(&notices);
    try {
      korvan::reader::ReadOptions counting;
      counting.load_on_the_way = false;
      korvan::reader::Scan scan = korvan::reader::getdims_mod::getdims({s.path, s.path}, console, counting);
      dims = scan.dims;
      scan.arrays = korvan::reader::allocate_sounding_arrays(dims);
      if (!scan.arrays) {
        state.SkipWithError("the sounding arrays could not be allocated");
        break;
      }
      korvan::reader::getprd_mod::getprd({s.path, s.path}, scan);
      benchmark::DoNotOptimize(scan.arrays->prd.data());
    } catch (const korvan::textio::FatalStop& stop) {
      state.SkipWithError(stop.console_line().c_str());
      break;
    }
  }
  if (state.error_occurred()) return;
  const double seconds = seconds_since(start);
  load_figures().push_back({static_cast<double>(state.iterations()) * static_cast<double>(s.bytes) / 1e6 / seconds,
                            peak_rss_bytes(),
                            static_cast<double>(korvan::reader::sounding_array_bytes(dims).value_or(0))});
  report(state, dims, true);
}

// What a conversion of most files does instead: the scan loads on the way.
void BM_OnePass(benchmark::State& state) {
  const Survey& s = survey();
  Dimensions dims;
  for (auto _ : state) {
    std::string notices;
    korvan::textio::Console console(&notices);
    korvan::reader::Scan scan;
    try {
      scan = korvan::reader::getdims_mod::getdims({s.path, s.path}, console);
    } catch (const korvan::textio::FatalStop& stop) {
      state.SkipWithError(stop.console_line().c_str());
      break;
    }
    if (!scan.loaded) {
      state.SkipWithError("the scan did not load the survey on the way");
      break;
    }
    dims = scan.dims;
    benchmark::DoNotOptimize(scan.arrays->prd.data());
  }
  if (state.error_occurred()) return;
  report(state, dims, true);
}

// The scan alone, to tell which pass is slow.
void BM_ScanOnly(benchmark::State& state) {
  const Survey& s = survey();
  Dimensions dims;
  for (auto _ : state) {
    std::string notices;
    korvan::textio::Console console(&notices);
    try {
      korvan::reader::ReadOptions counting;
      counting.load_on_the_way = false;
      dims = korvan::reader::getdims_mod::getdims({s.path, s.path}, console, counting).dims;
    } catch (const korvan::textio::FatalStop& stop) {
      state.SkipWithError(stop.console_line().c_str());
      break;
    }
    benchmark::DoNotOptimize(dims);
  }
  if (state.error_occurred()) return;
  report(state, dims, false);
}

// Each iteration reads 200 MB or more; a few of them are enough.
// The scan runs first, so that its peak resident size is its own.
BENCHMARK(BM_ScanOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3)->DisplayAggregatesOnly();
BENCHMARK(BM_ScanAllocateLoad)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->DisplayAggregatesOnly();

BENCHMARK(BM_OnePass)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3)->DisplayAggregatesOnly();

// The median repetition's rate, and the largest peak, against the targets.
void print_verdict() {
  std::vector<LoadFigures> figures = load_figures();
  if (figures.empty()) return;
  std::sort(figures.begin(), figures.end(),
            [](const LoadFigures& a, const LoadFigures& b) { return a.mb_per_s < b.mb_per_s; });
  const double rate = figures[figures.size() / 2].mb_per_s;
  double peak = 0;
  for (const LoadFigures& f : figures) peak = std::max(peak, f.peak_rss);
  const double budget = figures.front().arrays + 32 * kMiB;
  std::printf("\nscan + allocate + load, %zu run(s): median %.1f MB/s, target >= 200 MB/s: %s\n", figures.size(), rate,
              rate >= 200 ? "met" : "MISSED");
  std::printf("peak RSS %.1f MiB, arrays %.1f MiB + 32 MiB = %.1f MiB: %s\n", peak / kMiB,
              figures.front().arrays / kMiB, budget / kMiB, peak <= budget ? "met" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  print_verdict();
  std::error_code ec;
  if (survey_slot()) fs::remove_all(survey_slot()->directory, ec);
  return 0;
}
