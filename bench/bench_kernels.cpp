// Speed of the reconstruction kernels: the four back-projections and the oversampled one in
// giga-updates per second (one update = one projection added to one pixel of one slice), for
// every target this processor runs (target:0 the reference loops, then the vector targets from
// the best; the label names it), on one thread and on two (each with its own slice or pair: the
// GUPS of /threads:2 are those of both together). Rates are per second of processor time of a
// thread, which on an idle machine is the wall-clock time and on a busy one leaves out the time
// other processes took. On one thread every target's slices are compared with the reference
// loops' (a run whose slices differ fails with "differs from the reference loops").
// Also the transform pair of the projection filter in nanoseconds, the filter of a whole
// sinogram, and one slice reconstructed by the reconstructor on one thread and on two (elapsed
// time). bench/kernel_rates.sh prints the rates as one line per target.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <numbers>
#include <random>
#include <span>
#include <tuple>
#include <vector>

#include "rav_kernels.h"
#include "rav_numerics.h"
#include "ut.h"

namespace {

// Enough projections that the copying of rows in and out of the kernels weighs as in a run.
constexpr std::int32_t kProjections = 900;

struct Scene {
  RavGeometry g;
  std::vector<float> sinogram_1, sinogram_2, slice_1, slice_2;
  std::int64_t updates_per_slice = 0;

  explicit Scene(std::int32_t bins)
      : g(rav_geometry(bins, kProjections, 0.5f * static_cast<float>(bins) + 0.25f,
                       {0.01f, std::numbers::pi_v<float> / kProjections, {}},
                       {1, 1, bins, bins})) {
    for (std::int32_t y = g.FIRST_ROW; y <= g.LAST_ROW; ++y) {
      if (g.X_ENDS[y - 1] >= g.X_STARTS[y - 1]) {
        updates_per_slice += g.X_ENDS[y - 1] - g.X_STARTS[y - 1] + 1;
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

// Target for a benchmark: range(1) indexes rav_kernel_targets() (0 the reference loops, then the
// vector targets from the best).
bool select_target(benchmark::State& state) {
  const RavKernelTarget target = rav_kernel_targets()[static_cast<std::size_t>(state.range(1))];
  if (!rav_set_kernel_target(target)) {
    state.SkipWithError("target not available on this processor");
    return false;
  }
  state.SetLabel(rav_kernel_target_name(target));
  return true;
}

template <bool LINEAR, bool TWO>
void backproject(Scene& s) {
  std::int32_t status = ST_OK;
  if constexpr (TWO && LINEAR) {
    RAV_BACKPROJECT_LINEAR(s.g, s.sinogram_1, s.sinogram_2, s.slice_1, s.slice_2, status);
  } else if constexpr (TWO) {
    RAV_BACKPROJECT_NEAREST(s.g, s.sinogram_1, s.sinogram_2, s.slice_1, s.slice_2, status);
  } else if constexpr (LINEAR) {
    RAV_BACKPROJECT_1LINEAR(s.g, s.sinogram_1, s.slice_1, status);
  } else {
    RAV_BACKPROJECT_1NEAREST(s.g, s.sinogram_1, s.slice_1, status);
  }
}

// Whether the slices of S (back-projected with the target in use) are those of the reference
// loops, bit for bit; the reference slices are made once per kind and size.
template <bool LINEAR, bool TWO>
bool same_as_reference(const Scene& s) {
  static std::map<std::int32_t, std::vector<float>> reference;
  static std::mutex guard;
  const std::lock_guard<std::mutex> lock(guard);
  std::vector<float>& expected = reference[s.g.NUM_BINS];
  if (expected.empty()) {
    const RavKernelTarget target = rav_kernel_target();
    rav_set_kernel_target(RavKernelTarget::REFERENCE);
    Scene copy = s;
    backproject<LINEAR, TWO>(copy);
    rav_set_kernel_target(target);
    expected = copy.slice_1;
    if (TWO) expected.insert(expected.end(), copy.slice_2.begin(), copy.slice_2.end());
  }
  const std::size_t n = s.slice_1.size();
  return std::memcmp(expected.data(), s.slice_1.data(), n * sizeof(float)) == 0 &&
         (!TWO || std::memcmp(expected.data() + n, s.slice_2.data(), n * sizeof(float)) == 0);
}

// The four back-projection routines; with ->Threads(2) every thread has a slice (or pair) of its
// own, as the slice groups of a pass do.
template <bool LINEAR, bool TWO>
void BM_Backproject(benchmark::State& state) {
  if (!select_target(state)) return;
  Scene s(static_cast<std::int32_t>(state.range(0)));
  for (auto _ : state) {
    backproject<LINEAR, TWO>(s);
    benchmark::DoNotOptimize(s.slice_1.data());
    benchmark::DoNotOptimize(s.slice_2.data());
  }
  report_updates(state, (TWO ? 2 : 1) * s.updates_per_slice);
  if (state.threads() == 1 && !same_as_reference<LINEAR, TWO>(s)) {
    state.SkipWithError("differs from the reference loops");
  }
}

// The oversampled back-projection (OV = 4) of a batch of resampled projections into one slice.
void BM_BackprojectOversampled(benchmark::State& state) {
  if (!select_target(state)) return;
  Scene s(static_cast<std::int32_t>(state.range(0)));
  constexpr std::int32_t OV = 4;
  const std::int64_t fine = std::int64_t{OV} * s.g.NUM_BINS;
  std::vector<float> resampled(static_cast<std::size_t>(fine * kProjections));
  std::vector<RavKernelProjection> list(kProjections);
  for (std::int32_t j = 0; j < kProjections; ++j) {
    const auto slot = std::span<float>(resampled).subspan(static_cast<std::size_t>(j * fine),
                                                          static_cast<std::size_t>(fine));
    rav_oversample_projection(std::span<const float>(s.sinogram_1)
                                  .subspan(static_cast<std::size_t>(j) * s.g.NUM_BINS,
                                           static_cast<std::size_t>(s.g.NUM_BINS)),
                              OV, slot);
    double theta = 0.0;
    rav_projection_trig(s.g.angles, RavKernelMethod::FINE, j, theta, list[j].c, list[j].s);
    list[j].data[0] = slot.data();
  }
  for (auto _ : state) {
    std::fill(s.slice_1.begin(), s.slice_1.end(), 0.0f);
    float* slices[2] = {s.slice_1.data(), nullptr};
    rav_kernel_backproject(RavKernelMethod::FINE, s.g, OV, list, 1, slices);
    benchmark::DoNotOptimize(s.slice_1.data());
  }
  report_updates(state, s.updates_per_slice);
}

void kernel_args(benchmark::internal::Benchmark* b) {
  b->ArgNames({"bins", "target"});
  for (const std::int64_t bins : {1024}) {
    for (std::size_t t = 0; t < rav_kernel_targets().size(); ++t) {
      b->Args({bins, static_cast<std::int64_t>(t)});
    }
  }
  b->Threads(1)->Threads(2)->Unit(benchmark::kMillisecond);
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

// The filter of every projection of one sinogram (what precedes each slice's back-projection),
// in projections per second.
void BM_FilterSinogram(benchmark::State& state) {
  Scene s(static_cast<std::int32_t>(state.range(0)));
  const RavFilterPlan plan(s.g.NUM_BINS);
  std::vector<float> work(static_cast<std::size_t>(plan.batch_work_values()));
  for (auto _ : state) {
    std::vector<float> sinogram = s.sinogram_1;
    rav_filter_sinogram(plan, kProjections, sinogram, work);
    benchmark::DoNotOptimize(sinogram.data());
  }
  state.counters["projections"] =
      benchmark::Counter(kProjections, benchmark::Counter::kIsIterationInvariantRate);
}

// One slice reconstructed (filtered and back-projected, linear) by the reconstructor on
// range(1) threads, which share it; in slices per second of elapsed time (the threads are the
// reconstructor's own).
void BM_ReconstructSlice(benchmark::State& state) {
  Scene s(static_cast<std::int32_t>(state.range(0)));
  RavReconstructor reconstructor(s.g, {RavMethod::LINEAR, 1}, {}, true,
                                 static_cast<int>(state.range(1)));
  std::vector<float> sinogram = s.sinogram_1;
  for (auto _ : state) {
    std::copy(s.sinogram_1.begin(), s.sinogram_1.end(), sinogram.begin());
    float* in = sinogram.data();
    float* out = s.slice_1.data();
    reconstructor.reconstruct({&in, 1}, {&out, 1});
    benchmark::DoNotOptimize(s.slice_1.data());
  }
  state.counters["slices"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(BM_ReconstructSlice)
    ->ArgNames({"bins", "threads"})
    ->Args({1024, 1})
    ->Args({1024, 2})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Backproject<false, false>)->Name("BM_Backproject1Nearest")->Apply(kernel_args);
BENCHMARK(BM_Backproject<true, false>)->Name("BM_Backproject1Linear")->Apply(kernel_args);
BENCHMARK(BM_Backproject<false, true>)->Name("BM_BackprojectNearest")->Apply(kernel_args);
BENCHMARK(BM_Backproject<true, true>)->Name("BM_BackprojectLinear")->Apply(kernel_args);
BENCHMARK(BM_BackprojectOversampled)->Apply(kernel_args);
BENCHMARK(BM_TransformPair)->Arg(2048)->Arg(4096)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_FilterSinogram)->Arg(1024)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
