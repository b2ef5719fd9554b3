// Rendering speed of the row fields: G12.5 for heights and data values,
// F15.5 for coordinates, and the CSV's shortest decimals. Every row of the
// output file renders one of these per column, so they set the pace of the
// writer.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstddef>
#include <random>
#include <span>
#include <vector>

#include "format/fixed_format.h"
#include "format/shortest_decimal.h"

namespace {

constexpr std::size_t kPoolSize = 4096;

// A value rounded to a few decimals, as predicted data usually come.
float with_decimals(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  return static_cast<float>(std::round(value * scale) / scale);
}

// In-phase and quadrature values from 0.1 to 5000, either sign, with two to
// five decimals.
std::vector<float> data_values() {
  std::mt19937 random(1U);
  std::uniform_real_distribution<double> log_magnitude(-1.0, std::log10(5000.0));
  std::uniform_int_distribution<int> decimals(2, 5);
  std::vector<float> values;
  for (std::size_t i = 0; i < kPoolSize; ++i) {
    const double magnitude = std::pow(10.0, log_magnitude(random));
    values.push_back(with_decimals(i % 2 == 0 ? magnitude : -magnitude, decimals(random)));
  }
  return values;
}

// Map coordinates: eastings near 500000 and northings near 6000000 with one
// to three decimals.
std::vector<float> coordinates() {
  std::mt19937 random(2U);
  std::uniform_real_distribution<double> offset(-50000.0, 50000.0);
  std::uniform_int_distribution<int> decimals(1, 3);
  std::vector<float> values;
  for (std::size_t i = 0; i < kPoolSize; ++i) {
    const double centre = i % 2 == 0 ? 500000.0 : 6000000.0;
    values.push_back(with_decimals(centre + offset(random), decimals(random)));
  }
  return values;
}

void count_fields(benchmark::State& state) {
  state.counters["fields_per_second"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(kPoolSize), benchmark::Counter::kIsRate);
}

// Renders every value of the pool into a field of Width with `render`.
template <std::size_t Width, typename Render>
void render_pool(benchmark::State& state, const std::vector<float>& values, Render render) {
  char field[Width];
  for (auto _ : state) {
    for (const float value : values) {
      render(std::span<char>(field, Width), 5, value);
      benchmark::DoNotOptimize(field);
      benchmark::ClobberMemory();
    }
  }
  count_fields(state);
}

void BM_RenderG12_5_DataValues(benchmark::State& state) {
  render_pool<12>(state, data_values(), korvan::format::render_g);
}
BENCHMARK(BM_RenderG12_5_DataValues);

void BM_RenderF15_5_Coordinates(benchmark::State& state) {
  render_pool<15>(state, coordinates(), korvan::format::render_f);
}
BENCHMARK(BM_RenderF15_5_Coordinates);

// The same renderers on each other's values, for comparison: G12.5 of
// coordinates takes the exponent layout, F15.5 of data values mostly the
// exact path below nine digits.
void BM_RenderG12_5_Coordinates(benchmark::State& state) {
  render_pool<12>(state, coordinates(), korvan::format::render_g);
}
BENCHMARK(BM_RenderG12_5_Coordinates);

void BM_RenderF15_5_DataValues(benchmark::State& state) {
  render_pool<15>(state, data_values(), korvan::format::render_f);
}
BENCHMARK(BM_RenderF15_5_DataValues);

// The CSV's fields: the shortest decimal of the data values and of the
// coordinates, as floats and as the doubles that CSV keeps them in.
template <typename Value>
void shortest_pool(benchmark::State& state, const std::vector<Value>& values) {
  char field[32];
  for (auto _ : state) {
    for (const Value value : values) {
      benchmark::DoNotOptimize(korvan::format::put_shortest(field, value));
      benchmark::ClobberMemory();
    }
  }
  count_fields(state);
}

void BM_ShortestFloat_DataValues(benchmark::State& state) { shortest_pool(state, data_values()); }
BENCHMARK(BM_ShortestFloat_DataValues);

void BM_ShortestDouble_Coordinates(benchmark::State& state) {
  std::vector<double> values;
  for (const float value : coordinates()) values.push_back(std::round(double{value} * 100.0) / 100.0);
  shortest_pool(state, values);
}
BENCHMARK(BM_ShortestDouble_Coordinates);

}  // namespace

BENCHMARK_MAIN();
