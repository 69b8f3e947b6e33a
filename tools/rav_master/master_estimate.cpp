// The estimate of a run: memory per process from the arrays the worker allocates, time from a
// short timed reading, back-projection and write of the run's own sizes on this machine.
#include <fcntl.h>
#include <omp.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "master.h"
#include "rav_accuracy.h"
#include "rav_axis_run.h"
#include "rav_slice_loops.h"
#include "ut.h"

extern char** environ;

namespace {
using Clock = std::chrono::steady_clock;
double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The sizes of the run, planned as the worker plans them.
struct Plan {
  std::int32_t NUM_BINS = 0, NUM_PROJECTIONS = 0, NUM_X = 0, NUM_Y = 0, NUM_Z = 0;
  std::int32_t SLICES_PER_PASS = 0, NUM_PASSES = 1;
  bool pairs = false;
  RavGeometry geometry;
};

Plan plan_of(const ParameterSet& parameters) {
  ParameterSet p = parameters;
  Plan r;
  if (!p.ROTATION_VERTICAL) {
    std::swap(p.START_VOXEL_1, p.START_VOXEL_3);
    std::swap(p.END_VOXEL_1, p.END_VOXEL_3);
  }
  r.NUM_BINS = p.ROTATION_VERTICAL ? p.NUM_IMAGE_1 : p.NUM_IMAGE_2;
  r.NUM_PROJECTIONS = (p.NUM_LAST_IMAGE - p.NUM_FIRST_IMAGE + 1) / std::abs(p.FILE_INTERVAL);
  r.NUM_X = p.END_VOXEL_1 - p.START_VOXEL_1 + 1;
  r.NUM_Y = p.END_VOXEL_2 - p.START_VOXEL_2 + 1;
  r.NUM_Z = p.END_VOXEL_3 - p.START_VOXEL_3 + 1;
  if (p.ROTATION_AXIS_AUTO || p.AXIS_SWEEP.given) p.ROTATION_AXIS_POSITION = 0.5F * r.NUM_BINS;
  std::optional<RavHalfAcquisition> half;
  r.geometry = rav_run_geometry(p, r.NUM_BINS, r.NUM_PROJECTIONS,
                                {p.START_VOXEL_1, p.START_VOXEL_2, r.NUM_X, r.NUM_Y}, half);
  const auto cache = static_cast<std::int64_t>(
      static_cast<float>(std::int64_t{p.CACHE_KILOBYTES} * 1024) * 1.29999995F);
  r.pairs = std::int64_t{r.NUM_X} * r.NUM_Y * 8 <= cache;
  const std::int64_t S =
      4 * ((std::int64_t{p.SINOGRAM_MEGABYTES} * 1048576 /
                (std::int64_t{r.NUM_BINS} * r.NUM_PROJECTIONS * 4) + 3) / 4);
  for (std::int64_t left = r.NUM_Z; left > S; left -= S) ++r.NUM_PASSES;
  r.SLICES_PER_PASS = static_cast<std::int32_t>(static_cast<float>(r.NUM_Z) / r.NUM_PASSES +
                                                0.99989998F);
  std::int32_t processors = 1, status = ST_OK;
  RAV_NUM_PROCESSORS(processors, status);
  if (r.pairs || processors > 1) r.SLICES_PER_PASS = 4 * ((r.SLICES_PER_PASS + 3) / 4);
  return r;
}

// Bytes of the arrays of one process (images, sinograms, slices and work of the threads).
std::int64_t memory_bytes(const ParameterSet& p, const Plan& r, std::int64_t& sinograms) {
  const std::int64_t image = std::int64_t{r.NUM_BINS} * r.SLICES_PER_PASS * 4;
  const int images = 1 + (p.SUBTRACT_BACKGROUND ? 1 : 0) + (p.CORRECT_FLATFIELD ? 1 : 0) +
                     (p.CORRECT_FLATFIELD && p.FLATFIELD_CHANGING ? 1 : 0);
  sinograms = std::int64_t{r.NUM_BINS} * r.NUM_PROJECTIONS * r.SLICES_PER_PASS * 4;
  const int pair = r.pairs ? 2 : 1;
  const int threads = rav_loop_threads((r.SLICES_PER_PASS + pair - 1) / pair);
  const RavFilterPlan plan(r.geometry.NUM_BINS);
  // Slice buffers for the threads of the loop, work of the filter for every thread.
  return images * image + sinograms + threads * 2 * r.geometry.pixels() * 4 +
         std::int64_t{omp_get_max_threads()} * 2 * plan.work_values() * 4;
}
}  // namespace

namespace {
// Seconds of the run's filtering and back-projection: a chunk of slices of its size timed
// through the core's reconstructor on the threads the worker uses (over fewer projections when
// a slice is large), scaled to the projections and to the rounds of every pass.
double reconstruction_seconds(const ParameterSet& p, const Plan& r, int& threads) {
  const int pair = r.pairs ? 2 : 1;
  const RavGeometry& g = r.geometry;
  threads = rav_loop_threads((std::min(r.SLICES_PER_PASS, r.NUM_Z) + pair - 1) / pair);
  const std::int64_t chunk = 2 * threads;
  const double updates = 0.785 * static_cast<double>(g.pixels()) * static_cast<double>(chunk);
  const std::int32_t projections = std::clamp(static_cast<std::int32_t>(1.0e9 / updates),
                                              std::min(g.NUM_PROJECTIONS, 8), g.NUM_PROJECTIONS);
  const RavGeometry sample =
      rav_geometry(g.NUM_BINS, projections, g.AXIS_POSITION,
                   {g.angles.START_ANGLE, g.angles.ANGLE_STEP, {}},
                   {g.X_START, g.Y_START, g.NUM_X, g.NUM_Y});
  RavReconstructor reconstructor(sample, RavMethod::from_factor(p.OVERSAMPLING_FACTOR),
                                 rav_filter_options(p), r.pairs, 0);
  std::vector<std::vector<float>> sinograms(static_cast<std::size_t>(chunk)),
      slices(static_cast<std::size_t>(chunk));
  std::vector<float*> in, out;
  for (std::int64_t k = 0; k < chunk; ++k) {
    auto& s = sinograms[static_cast<std::size_t>(k)];
    s.resize(static_cast<std::size_t>(sample.sinogram_values()));
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<float>((i * 7919 + k) % 1000) * 1e-3F;
    slices[static_cast<std::size_t>(k)].resize(static_cast<std::size_t>(sample.pixels()));
    in.push_back(s.data());
    out.push_back(slices[static_cast<std::size_t>(k)].data());
  }
  double spent = 0.0;
  int rounds = 0;
  while (rounds < 3 && (rounds == 0 || spent < 0.25)) {
    const Clock::time_point start = Clock::now();
    reconstructor.reconstruct(in, out);
    spent += seconds_since(start);
    ++rounds;
  }
  // One round: one slice (or pair) on each of THREADS threads. A chunk of fewer slices (or
  // pairs) than the runtime's threads is shared by all of them and takes its share of a round.
  const double round = spent / rounds / (2.0 / pair) * g.NUM_PROJECTIONS / projections;
  const int all = omp_get_max_threads();
  double total = 0.0;
  for (std::int32_t pass = 0; pass < r.NUM_PASSES; ++pass) {
    const std::int64_t n = std::min<std::int64_t>(r.SLICES_PER_PASS,
                                                  r.NUM_Z - std::int64_t{pass} * r.SLICES_PER_PASS);
    const int t = rav_loop_threads((n + pair - 1) / pair);
    for (std::int64_t first = 0; first < n; first += std::int64_t{t} * pair) {
      const std::int64_t units = (std::min<std::int64_t>(t * pair, n - first) + pair - 1) / pair;
      total += units < all ? static_cast<double>(units) / t : 1.0;
    }
  }
  return round * total;
}

// Seconds of reading and correcting the projections: a few of them, over the rows of a pass.
double input_seconds(const ParameterSet& p, const Plan& r) {
  if (p.RECONSTRUCT_FROM_SINOGRAMS) return 0.0;
  const std::int32_t count = std::min(r.NUM_PROJECTIONS, 16);
  const std::int32_t step = std::max(1, r.NUM_PROJECTIONS / count);
  const std::int32_t first = p.ROTATION_VERTICAL ? p.START_VOXEL_3 : p.START_VOXEL_1;
  const std::int32_t last = first + std::min(r.SLICES_PER_PASS, r.NUM_Z) - 1;
  const Clock::time_point start = Clock::now();
  if (master_read_sample(p, 0, step, count, first, last).empty()) return -1.0;
  return seconds_since(start) / count * r.NUM_PROJECTIONS * r.NUM_PASSES;
}

// Seconds of writing BYTES beside OUTPUT_FILE (and forcing them to the disk), from a timed write
// of up to 32 MB there.
double output_seconds(const std::string& output_file, std::int64_t bytes) {
  const std::string folder = std::filesystem::path(output_file).parent_path().string();
  const std::string name = (folder.empty() ? "." : folder) + "/.rav_master_write_test-" +
                           std::to_string(::getpid());
  const std::int64_t size = std::min<std::int64_t>(bytes, 32 << 20);
  const std::vector<char> block(1 << 20, 1);
  const Clock::time_point start = Clock::now();
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) return 0.0;
  bool ok = true;
  for (std::int64_t done = 0; ok && done < size; done += static_cast<std::int64_t>(block.size())) {
    const auto n = static_cast<std::size_t>(std::min<std::int64_t>(block.size(), size - done));
    ok = ::write(fd, block.data(), n) == static_cast<ssize_t>(n);
  }
  ::fsync(fd);
  ::close(fd);
  ::unlink(name.c_str());
  return size > 0 ? seconds_since(start) * static_cast<double>(bytes) / size : 0.0;
}

// Seconds of the worker's start and end as a process (its libraries loaded, the threads started),
// the best of two runs of "rav_vuzav --version", and of the allocation of its BYTES of arrays.
double setup_seconds(std::int64_t bytes) {
  const std::string worker = master_program("rav_vuzav");
  double best = 0.0;
  for (int run = 0; run < 2; ++run) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::string arg0 = worker, arg1 = "--version";
    char* argv[] = {arg0.data(), arg1.data(), nullptr};
    const Clock::time_point start = Clock::now();
    pid_t pid = 0;
    int status = 0;
    if (posix_spawnp(&pid, worker.c_str(), &actions, nullptr, argv, environ) == 0) {
      ::waitpid(pid, &status, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
    const double spent = seconds_since(start);
    best = run == 0 ? spent : std::min(best, spent);
  }
  const std::int64_t size = std::min<std::int64_t>(bytes, std::int64_t{256} << 20);
  const Clock::time_point start = Clock::now();
  std::vector<float> arrays(static_cast<std::size_t>(size / 4) + 1, 0.0F);
  const volatile float touched = arrays[arrays.size() / 2];
  (void)touched;
  const double allocation = seconds_since(start) * static_cast<double>(bytes) /
                            static_cast<double>(std::max<std::int64_t>(size, 1));
  return best + allocation;
}

std::string megabytes(std::int64_t bytes) { return std::to_string((bytes + 524288) / 1048576); }
std::string seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}
}  // namespace

bool master_estimate(const ParameterSet& p) {
  std::int32_t status = ST_OK;
  if (p.AXIS_SWEEP.given) {
    UT_WRITE("INFO: A sweep of the axis reconstructs one slice per trial axis: not estimated",
             status);
    return true;
  }
  const Plan r = plan_of(p);
  std::int64_t sinograms = 0;
  const std::int64_t memory = memory_bytes(p, r, sinograms);
  const double input = input_seconds(p, r);
  if (input < 0.0) return false;
  int threads = 1;
  const double recon = reconstruction_seconds(p, r, threads);
  const double output =
      output_seconds(p.OUTPUT_FILE, std::int64_t{r.NUM_X} * r.NUM_Y * r.NUM_Z * 4);
  const double setup = setup_seconds(memory);
  UT_WRITE("INFO: Estimate of the run on this machine (" + std::to_string(threads) +
               (threads == 1 ? " thread):" : " threads):"),
           status);
  UT_WRITE("      memory per process: about " + megabytes(memory) + " MB (sinograms " +
               megabytes(sinograms) + " MB, " + std::to_string(r.NUM_PASSES) +
               (r.NUM_PASSES == 1 ? " pass" : " passes") + " of up to " +
               std::to_string(std::min(r.SLICES_PER_PASS, r.NUM_Z)) + " slices)",
           status);
  UT_WRITE("      run time: about " + seconds(setup + input + recon + output) + " s (start " +
               seconds(setup) + " s, input " + seconds(input) + " s, reconstruction " +
               seconds(recon) + " s, output " + seconds(output) + " s)",
           status);
  if (p.ROTATION_AXIS_AUTO) {
    UT_WRITE("      plus the reading of a few projections to find the rotation axis", status);
  }
  return true;
}
