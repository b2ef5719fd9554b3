// Speed of finding the flight lines, which the CSV will do on every run: on
// the track of the bench's largest survey (run_bench.sh's 400 MB, seed 1)
// and on 1.5 million soundings. The target: well under 20 ms per million
// soundings, more than 50 M soundings per second. Each benchmark also shows how many soundings get their true
// line (the generator's): the very same number, and once each found line is
// matched with the true line it overlaps most.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench/line_shares.h"
#include "bench/survey_generator.h"
#include "bench/survey_track.h"
#include "table/flight_lines.h"

namespace {

struct Survey {
  std::vector<double> x;
  std::vector<double> y;
  std::vector<std::int32_t> truth;
};

Survey track_of(std::uint64_t seed, std::int64_t soundings) {
  Survey survey;
  korvan::bench::SurveyTrack track(seed);
  for (std::int64_t i = 0; i < soundings; ++i) {
    const korvan::bench::TrackPoint point = track.next();
    survey.x.push_back(static_cast<double>(point.x_hundredths) / 100);
    survey.y.push_back(static_cast<double>(point.y_hundredths) / 100);
    survey.truth.push_back(point.line);
  }
  return survey;
}

void find_lines(benchmark::State& state, const Survey& survey) {
  std::vector<std::int32_t> lines;
  for (auto _ : state) {
    lines = korvan::table::find_flight_lines(survey.x, survey.y);
    benchmark::DoNotOptimize(lines.data());
  }
  // Soundings per second; a million of them in 20 ms is 50 M/s.
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(survey.x.size()));
  state.counters["soundings"] = static_cast<double>(survey.x.size());
  const korvan::bench::LineShares shares = korvan::bench::line_shares(lines, survey.truth);
  state.counters["exact_share"] = shares.exact;
  state.counters["matched_share"] = shares.matched;
}

// The survey that run_bench.sh writes as its largest: 400 MB, five
// frequencies, one transmitter, seed 1.
void BM_FindFlightLines_BenchSurvey(benchmark::State& state) {
  static const Survey survey = [] {
    korvan::bench::SurveyShape shape;
    shape.seed = 1;
    return track_of(shape.seed, korvan::bench::soundings_for_bytes(shape, 400'000'000));
  }();
  find_lines(state, survey);
}
BENCHMARK(BM_FindFlightLines_BenchSurvey)->Unit(benchmark::kMillisecond);

void BM_FindFlightLines_1500k(benchmark::State& state) {
  static const Survey survey = track_of(1, 1'500'000);
  find_lines(state, survey);
}
BENCHMARK(BM_FindFlightLines_1500k)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
