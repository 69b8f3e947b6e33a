// Cost of finding the rotation axis against the reconstruction of one slice, on a scan of 1024
// bins and 900 projections: what ROTATION_AXIS_POSITION = AUTO gives the finder (two
// projections 180 degrees apart over 64 slices for a half turn with its end; 8 pairs over 64
// slices for a whole turn; sinograms of 16 slices without a pair) and the slice that a run
// reconstructs for every slice of the volume (filter and linear back-projection, on one thread
// as the slice loops give each slice one). Wall-clock times; the machine may be shared, so the
// benchmarks repeat and report the median.
//
//   build/bench/bench_axis --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "rav_axis.h"
#include "rav_core.h"

namespace {

constexpr std::int32_t kBins = 1024, kProjections = 900;
constexpr double kAxis = 530.37;

// ROWS sinograms of kBins bins at the angles of PROJECTIONS over TURN degrees (the last at the
// end of the turn when WITH_END): three discs off the axis, with noise.
std::vector<float> sinograms(std::int32_t rows, std::int32_t projections, double turn,
                             bool with_end, RavAngles& angles) {
  const double step = turn / (with_end ? projections - 1 : projections) * std::numbers::pi / 180;
  angles = {0.0f, static_cast<float>(step), {}};
  struct Disc {
    double x, y, r, mu;
  };
  const Disc discs[] = {{0, 0, 300, 0.002}, {120, -40, 80, 0.003}, {-60, 150, 40, -0.001}};
  std::mt19937 random(5);
  std::normal_distribution<float> noise(0.0f, 0.005f);
  std::vector<float> out;
  for (std::int32_t row = 0; row < rows; ++row) {
    for (std::int32_t j = 0; j < projections; ++j) {
      const double theta = rav_projection_angle(angles, j);
      for (std::int32_t k = 0; k < kBins; ++k) {
        double p = 0;
        for (const Disc& d : discs) {
          const double s = k + 0.5 - kAxis - (d.x * std::cos(theta) - d.y * std::sin(theta));
          if (std::abs(s) < d.r) p += 2.0 * d.mu * std::sqrt(d.r * d.r - s * s);
        }
        out.push_back(static_cast<float>(p) + noise(random));
      }
    }
  }
  return out;
}

void find(benchmark::State& state, std::int32_t rows, std::int32_t projections, double turn,
          bool with_end) {
  RavAngles angles;
  const std::vector<float> data = sinograms(rows, projections, turn, with_end, angles);
  for (auto _ : state) {
    const RavAxisResult r = rav_find_axis(data, rows, kBins, projections, angles);
    if (!r.decided || std::abs(r.axis - kAxis) > 0.25) state.SkipWithError("axis not found");
    benchmark::DoNotOptimize(r);
  }
}

// A half turn with its end: projections 1 and 900, 64 slices.
void BM_FindAxis_OnePair(benchmark::State& state) { find(state, 64, 2, 180.0, true); }
// A whole turn: 8 pairs, 64 slices.
void BM_FindAxis_EightPairs(benchmark::State& state) { find(state, 64, 16, 360.0, false); }
// A half turn without its end: the sinograms of 16 slices, centroids.
void BM_FindAxis_Sinograms(benchmark::State& state) { find(state, 16, kProjections, 180.0, false); }

void BM_ReconstructOneSlice(benchmark::State& state) {
  RavAngles angles;
  const std::vector<float> data = sinograms(1, kProjections, 180.0, false, angles);
  RavReconstructor reconstructor(
      rav_geometry(kBins, kProjections, static_cast<float>(kAxis), angles, {1, 1, kBins, kBins}),
      RavMethod{}, {}, false, 1);
  std::vector<float> sinogram(data.size()), slice(static_cast<std::size_t>(kBins) * kBins);
  float* sinograms_in[] = {sinogram.data()};
  float* slices_out[] = {slice.data()};
  for (auto _ : state) {
    std::copy(data.begin(), data.end(), sinogram.begin());
    reconstructor.reconstruct(sinograms_in, slices_out);
    benchmark::DoNotOptimize(slice.data());
  }
}

BENCHMARK(BM_FindAxis_OnePair)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FindAxis_EightPairs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FindAxis_Sinograms)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReconstructOneSlice)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
