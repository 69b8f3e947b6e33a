// Speed of the reconstruction kernels: the four back-projections in giga-updates per second
// (one update = one projection added to one pixel of one slice) and the transform pair of the
// projection filter in nanoseconds.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "rav_numerics.h"
#include "ut.h"

namespace {

constexpr std::int32_t kProjections = 32;

struct Scene {
  std::vector<std::int32_t> x_starts, x_ends;
  RavGeometry g;
  std::vector<float> sinogram_1, sinogram_2, slice_1, slice_2;
  std::int64_t updates_per_slice = 0;

  explicit Scene(std::int32_t bins) : x_starts(bins), x_ends(bins) {
    g.NUM_BINS = bins;
    g.NUM_PROJECTIONS = kProjections;
    g.NUM_X = bins;
    g.NUM_Y = bins;
    g.AXIS_POSITION = 0.5f * static_cast<float>(bins) + 0.25f;
    g.START_ANGLE = 0.01f;
    g.ANGLE_STEP = std::numbers::pi_v<float> / kProjections;
    std::int32_t status = ST_OK;
    RAV_CALCULATE_LIMITS(bins, 1, 1, bins, bins, g.AXIS_POSITION, g.FIRST_ROW, g.LAST_ROW,
                         x_starts, x_ends, status);
    g.X_STARTS = x_starts;
    g.X_ENDS = x_ends;
    for (std::int32_t y = g.FIRST_ROW; y <= g.LAST_ROW; ++y) {
      if (x_ends[y - 1] >= x_starts[y - 1]) {
        updates_per_slice += x_ends[y - 1] - x_starts[y - 1] + 1;
      }
    }
    updates_per_slice *= kProjections;
    std::mt19937 rng(bins);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    const std::int64_t size = std::int64_t{bins} * kProjections;
    sinogram_1.resize(size);
    sinogram_2.resize(size);
    for (auto& v : sinogram_1) v = dist(rng);
    for (auto& v : sinogram_2) v = dist(rng);
    slice_1.resize(std::int64_t{bins} * bins);
    slice_2.resize(std::int64_t{bins} * bins);
  }
};

void report_updates(benchmark::State& state, std::int64_t updates) {
  state.counters["GUPS"] = benchmark::Counter(static_cast<double>(updates) * 1e-9,
                                              benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Backproject1Nearest(benchmark::State& state) {
  Scene s(static_cast<std::int32_t>(state.range(0)));
  std::int32_t status = ST_OK;
  for (auto _ : state) {
    RAV_BACKPROJECT_1NEAREST(s.g, s.sinogram_1, s.slice_1, status);
    benchmark::DoNotOptimize(s.slice_1.data());
  }
  report_updates(state, s.updates_per_slice);
}

void BM_Backproject1Linear(benchmark::State& state) {
  Scene s(static_cast<std::int32_t>(state.range(0)));
  std::int32_t status = ST_OK;
  for (auto _ : state) {
    RAV_BACKPROJECT_1LINEAR(s.g, s.sinogram_1, s.slice_1, status);
    benchmark::DoNotOptimize(s.slice_1.data());
  }
  report_updates(state, s.updates_per_slice);
}

void BM_BackprojectNearest(benchmark::State& state) {
  Scene s(static_cast<std::int32_t>(state.range(0)));
  std::int32_t status = ST_OK;
  for (auto _ : state) {
    RAV_BACKPROJECT_NEAREST(s.g, s.sinogram_1, s.sinogram_2, s.slice_1, s.slice_2, status);
    benchmark::DoNotOptimize(s.slice_1.data());
    benchmark::DoNotOptimize(s.slice_2.data());
  }
  report_updates(state, 2 * s.updates_per_slice);
}

void BM_BackprojectLinear(benchmark::State& state) {
  Scene s(static_cast<std::int32_t>(state.range(0)));
  std::int32_t status = ST_OK;
  for (auto _ : state) {
    RAV_BACKPROJECT_LINEAR(s.g, s.sinogram_1, s.sinogram_2, s.slice_1, s.slice_2, status);
    benchmark::DoNotOptimize(s.slice_1.data());
    benchmark::DoNotOptimize(s.slice_2.data());
  }
  report_updates(state, 2 * s.updates_per_slice);
}

// One analysis, one scaling by 1/NFFT (where the filter weights sit; it keeps the data from
// growing by NFFT per iteration) and one synthesis.
void BM_TransformPair(benchmark::State& state) {
  const std::int64_t n = state.range(0);
  std::vector<float> table(2 * n), data(n);
  std::int32_t status = ST_OK;
  RAV_EXPNT(2 * n, 2 * n, 8, table, status);
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  for (auto& v : data) v = dist(rng);
  const float scale = 1.0f / static_cast<float>(n);
  for (auto _ : state) {
    RAV_FFA8(n, n, 2 * n, table, true, data, status);
    for (float& v : data) v *= scale;
    RAV_FFS8(n, n, 2 * n, table, true, data, status);
    benchmark::DoNotOptimize(data.data());
  }
  if (status != ST_OK) state.SkipWithError("transform failed");
}

}  // namespace

BENCHMARK(BM_Backproject1Nearest)->Arg(1024)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Backproject1Linear)->Arg(1024)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BackprojectNearest)->Arg(1024)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BackprojectLinear)->Arg(1024)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TransformPair)->Arg(2048)->Arg(4096)->Unit(benchmark::kNanosecond);

BENCHMARK_MAIN();
