// Cost of the filter options and of the ring removal against the back-projection, for one
// slice of 1024 bins x 900 projections on one thread: filtering every projection with the
// original filter, with a window (HANN), with edge padding, and with both; the back-projection
// (linear, fastest kernels) of the same slice; the sorting-based ring removal of its sinogram.
// The machine may be shared: run with repetitions and compare medians, e.g.
//   build/bench/bench_filter --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "rav_core.h"

namespace {

constexpr std::int32_t kBins = 1024, kProjections = 900;

std::vector<float> random_sinogram() {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> value(0.0f, 1.0f);
  std::vector<float> s(static_cast<std::size_t>(kBins) * kProjections);
  for (float& v : s) v = value(rng);
  // The first projection sees the whole sample: EDGE continues the others to its mass.
  s.front() = 0.0f;
  s[kBins - 1] = 0.0f;
  return s;
}

RavFilterOptions options_of(std::int64_t variant) {
  RavFilterOptions options;
  if (variant == 1 || variant == 3) options.window = RavFilterOptions::HANN;
  if (variant == 2 || variant == 3) options.padding = RavFilterOptions::EDGE;
  return options;
}

// range(0): 0 the original filter, 1 HANN, 2 EDGE padding, 3 HANN with EDGE padding.
void BM_FilterSinogram(benchmark::State& state) {
  const RavFilterPlan plan(kBins, options_of(state.range(0)));
  const std::vector<float> original = random_sinogram();
  std::vector<float> sinogram = original, work(static_cast<std::size_t>(plan.work_values()));
  static const char* const kNames[] = {"original", "HANN", "EDGE", "HANN+EDGE"};
  state.SetLabel(kNames[state.range(0)]);
  for (auto _ : state) {
    state.PauseTiming();
    sinogram = original;
    state.ResumeTiming();
    rav_filter_sinogram(plan, kProjections, sinogram, work);
    benchmark::DoNotOptimize(sinogram.data());
  }
}

void BM_BackprojectSlice(benchmark::State& state) {
  const RavGeometry g = rav_geometry(kBins, kProjections, 0.5f * kBins,
                                     {0.0f, std::numbers::pi_v<float> / kProjections, {}},
                                     {1, 1, kBins, kBins});
  const std::vector<float> sinogram = random_sinogram();
  std::vector<float> slice(static_cast<std::size_t>(g.pixels()));
  const float* in = sinogram.data();
  float* out = slice.data();
  for (auto _ : state) {
    rav_backproject(g, RavMethod{}, {&in, 1}, {&out, 1});
    benchmark::DoNotOptimize(slice.data());
  }
}

void BM_RemoveRings(benchmark::State& state) {
  RavRingOptions rings;
  rings.method = RavRingOptions::SORTING;
  const std::vector<float> original = random_sinogram();
  std::vector<float> sinogram = original;
  for (auto _ : state) {
    state.PauseTiming();
    sinogram = original;
    state.ResumeTiming();
    benchmark::DoNotOptimize(rav_remove_rings(rings, kBins, kProjections, sinogram));
  }
}

}  // namespace

BENCHMARK(BM_FilterSinogram)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BackprojectSlice)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RemoveRings)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
