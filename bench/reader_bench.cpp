// Reader throughput and memory on a big survey: read_survey, the reader's
// door, on a file of about 200 MB as a conversion reads it (made once per
// process in a temporary directory; KORVAN_BENCH_SURVEY_MB resizes it).
//
// Targets: 200 MB/s or more (MB = 10^6 bytes), and a peak resident size of
// at most the arrays' bytes plus 32 MiB.
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
#include "console/console.h"
#include "console/stop.h"
#include "reader/read_survey.h"
#include "reader/sounding_arrays.h"
#include "text/data_source.h"

namespace {

namespace fs = std::filesystem;

constexpr double kMiB = 1024.0 * 1024.0;

struct SurveyFile {
  fs::path directory;
  std::string path;
  std::int64_t bytes = 0;
};

// Made on first use, so listing the benchmarks costs nothing.
std::optional<SurveyFile>& survey_slot() {
  static std::optional<SurveyFile> slot;
  return slot;
}

const SurveyFile& survey_file() {
  std::optional<SurveyFile>& slot = survey_slot();
  if (!slot) {
    SurveyFile s;
    double mb = 200;
    if (const char* env = std::getenv("KORVAN_BENCH_SURVEY_MB")) mb = std::atof(env);
    if (!(mb > 0)) mb = 200;
    s.directory = fs::temp_directory_path() / ("korvan-reader-bench-" + std::to_string(::getpid()));
    fs::create_directories(s.directory);
    s.path = (s.directory / "survey.prd").string();
    korvan::bench::SurveyShape shape;
    shape.soundings = korvan::bench::soundings_for_bytes(shape, static_cast<std::uint64_t>(mb * 1e6));
    s.bytes = korvan::bench::write_survey_file(shape, s.path);
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

// The figures of every repetition, for the verdict that main prints.
struct ReadFigures {
  double mb_per_s = 0;
  double peak_rss = 0;
  double arrays = 0;
};

std::vector<ReadFigures>& read_figures() {
  static std::vector<ReadFigures> figures;
  return figures;
}

void BM_ReadSurvey(benchmark::State& state) {
  const SurveyFile& s = survey_file();
  korvan::reader::Dimensions dims;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    std::string notices;
    korvan::console::Console console(&notices);
    korvan::text::DataSource data = korvan::text::DataSource::open(s.path);
    try {
      const korvan::reader::Survey survey = korvan::reader::read_survey(data, console);
      if (!survey.arrays) {
        state.SkipWithError("the survey was not stored");
        break;
      }
      dims = survey.dims;
      benchmark::DoNotOptimize(survey.arrays->prd.data());
    } catch (const korvan::console::FatalStop& stop) {
      state.SkipWithError(stop.console_line().c_str());
      break;
    }
  }
  if (state.error_occurred()) return;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const auto iterations = static_cast<double>(state.iterations());
  const double arrays = static_cast<double>(korvan::reader::sounding_array_bytes(dims).value_or(0));
  read_figures().push_back({iterations * static_cast<double>(s.bytes) / 1e6 / seconds, peak_rss_bytes(), arrays});
  state.SetBytesProcessed(state.iterations() * s.bytes);
  state.counters["input_MB"] = static_cast<double>(s.bytes) / 1e6;
  state.counters["nsound"] = dims.nsound;
  state.counters["peak_rss_MiB"] = peak_rss_bytes() / kMiB;
  state.counters["arrays_MiB"] = arrays / kMiB;
}

// Each iteration reads 200 MB or more; a few of them are enough.
BENCHMARK(BM_ReadSurvey)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->DisplayAggregatesOnly();

// The median repetition's rate, and the largest peak, against the targets.
void print_verdict() {
  std::vector<ReadFigures> figures = read_figures();
  if (figures.empty()) return;
  std::sort(figures.begin(), figures.end(),
            [](const ReadFigures& a, const ReadFigures& b) { return a.mb_per_s < b.mb_per_s; });
  const double rate = figures[figures.size() / 2].mb_per_s;
  double peak = 0;
  for (const ReadFigures& f : figures) peak = std::max(peak, f.peak_rss);
  const double budget = figures.front().arrays + 32 * kMiB;
  std::printf("\nread_survey, %zu run(s): median %.1f MB/s, target >= 200 MB/s: %s\n", figures.size(), rate,
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
