// The program's own time for one slice of a 1024-bin x 900-projection sinogram: what a run from
// stored sinograms does with a sinogram once it is read (values that are not finite set to 0,
// the geometry of the whole slice and the reconstructor built, the slice filtered and
// back-projected), timed by the wall clock around exactly that, one repetition per iteration,
// and by the processor time of the calling thread (the counter thread_cpu_s: one slice is
// computed on the calling thread alone), which a busy machine disturbs less.
// bench/python_slice.py times the Python module's reconstruct() the same way against it.
//
//   build/bench/bench_slice --benchmark_repetitions=5   (argument: OVERSAMPLING_FACTOR)
#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <numbers>
#include <random>
#include <vector>

#include "rav_core.h"

namespace {

double thread_seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

constexpr std::int32_t kBins = 1024;
constexpr std::int32_t kProjections = 900;

void BM_program_slice(benchmark::State& state) {
  const auto factor = static_cast<std::int32_t>(state.range(0));
  std::vector<float> sinogram(std::size_t{kBins} * kProjections);
  std::mt19937 random(20);
  std::uniform_real_distribution<float> value(0.0f, 1.0f);
  for (float& v : sinogram) v = value(random);
  std::vector<float> buffer(sinogram.size()), slice(std::size_t{kBins} * kBins);
  for (auto _ : state) {
    buffer = sinogram;  // the sinogram as read, outside the time
    const double cpu_start = thread_seconds();
    const auto start = std::chrono::steady_clock::now();
    rav_zero_non_finite(buffer);
    RavReconstructor reconstructor(
        rav_geometry(kBins, kProjections, 512.0f,
                     {0.0f, std::numbers::pi_v<float> / kProjections, {}}, {1, 1, kBins, kBins}),
        RavMethod::from_factor(factor));
    float* in = buffer.data();
    float* out = slice.data();
    reconstructor.reconstruct({&in, 1}, {&out, 1});
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(elapsed.count());
    state.counters["thread_cpu_s"] = thread_seconds() - cpu_start;
    benchmark::DoNotOptimize(slice.data());
  }
}
BENCHMARK(BM_program_slice)
    ->Arg(0)->Arg(1)->Arg(4)
    ->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
