// The slice loops of a pass: filter and back-project each stored sinogram, show every twentieth
// slice and write every slice as the next record of the output file.
//
// The slices are reconstructed a chunk at a time, one pair (or one slice) per thread, into the
// slice buffers; then, on the calling thread and in ascending order, each group of the design's
// grouping gets its progress line and display, and each slice its record. The console, the
// window and the output file therefore see what the design's one-group-at-a-time loop shows,
// whatever the number of threads, and no thread but the caller's prints, draws or writes.
#include <omp.h>

#include <algorithm>
#include <string>
#include <vector>

#include "rav_accuracy.h"
#include "rav_allocate.h"
#include "rav_progress.h"
#include "rav_slice_loops.h"
#include "ut.h"
#include "vu.h"

RunClock RunClock::now(std::int32_t& status) {
  RunClock clock;
  UT_TIMES(clock.elapsed, clock.cpu, status);
  return clock;
}

void RunClock::add_since(float& elapsed_sum, float& cpu_sum, std::int32_t& status) const {
  const RunClock end = now(status);
  elapsed_sum += end.elapsed - elapsed;
  cpu_sum += end.cpu - cpu;
}

int rav_loop_threads(std::int64_t groups) {
  return static_cast<int>(std::clamp<std::int64_t>(groups, 1, omp_get_max_threads()));
}

std::vector<std::span<float>> rav_slice_buffers(SliceBuffers& slices, bool pairs, int threads,
                                                std::int64_t pixels) {
  const std::size_t entries = 2 * static_cast<std::size_t>(std::max(threads, 1));
  if (slices.size() < entries) slices.resize(entries);
  std::vector<std::span<float>> used;
  for (std::size_t i = 0; i < entries; ++i) {
    if (i % 2 == 1 && !pairs) continue;
    std::vector<float>& buffer = slices[i];
    if (std::ssize(buffer) < pixels) {
      std::string message = "ERROR: Failed to allocate memory for output slice";
      if (i > 0) message.append(" ").append(std::to_string(i + 1));
      rav_allocate(buffer, pixels, message);
    }
    used.emplace_back(buffer.data(), static_cast<std::size_t>(pixels));
  }
  return used;
}

void rav_write_record(SliceFile& out, std::int32_t& NEXT_RECORD, std::span<const float> slice) {
  const std::string failure = out.write(NEXT_RECORD, slice);
  if (!failure.empty()) throw RavFatalError(failure);
  ++NEXT_RECORD;
  rav_progress_slice();
}

void rav_loop_progress(std::int32_t s, std::int32_t& status) {
  UT_WRITE("INFO: Reconstructing slice " + ut_fmt_int(s, 5) + " (and onwards)", status);
}

void rav_loop_display(const RavGeometry& geometry, std::span<const float> SLICE, std::int32_t s,
                      std::int32_t& status) {
  // One axis value per pixel column and row, so that a block wider or taller than the detector
  // still has one for each of its pixels.
  std::vector<float> XAXIS, YAXIS;
  rav_allocate(XAXIS, geometry.NUM_X, "ERROR: Failed to allocated array for X-axis values");
  rav_allocate(YAXIS, geometry.NUM_Y, "ERROR: Failed to allocated array for Y-axis values");
  for (std::size_t i = 0; i < XAXIS.size(); ++i) XAXIS[i] = static_cast<float>(i + 1) - 0.5f;
  for (std::size_t i = 0; i < YAXIS.size(); ++i) YAXIS[i] = static_cast<float>(i + 1) - 0.5f;
  const std::string title = "Slice " + ut_fmt_int(s, 6);
  VU_PLOT(geometry.NUM_X, geometry.NUM_Y, SLICE.data(), XAXIS.data(), YAXIS.data(), 1, 1,
          geometry.NUM_X, geometry.NUM_Y, title, "X-axis", "Y-axis", "Absorption", status);
  VU_UPDATE(status);
}

namespace {

// The loop of both routines: groups of STEP slices, a progress line before each group whose
// pass-relative first slice k has k mod PROGRESS = 1, a display of the group's first slice when
// k mod 20 = 1.
void slice_loop(const SlicePass& pass, std::int32_t STEP, std::int32_t PROGRESS,
                std::span<float> SINOGRAMS, ReconTimes& times, SliceBuffers& slices,
                SliceFile& out, std::int32_t& NEXT_RECORD, std::int32_t& status) {
  const RavGeometry& g = pass.geometry;
  const std::int64_t N = std::max(pass.LAST_SLICE - pass.FIRST_SLICE + 1, 0);
  const std::int64_t size = g.sinogram_values();
  if (N * size > std::ssize(SINOGRAMS)) {
    // Slices that are written must come from real sinograms.
    throw RavFatalError("ERROR: The sinogram storage holds " +
                        std::to_string(size > 0 ? std::ssize(SINOGRAMS) / size : 0) +
                        " sinograms, fewer than the " + std::to_string(N) +
                        " slices of the pass");
  }
  const std::int64_t pair = pass.TWO_SLICES ? 2 : 1;
  const int threads = rav_loop_threads((N + pair - 1) / pair);
  // Two slices share each kernel call whether or not they fit into the cache together: the
  // kernels work through blocks of rows. The reconstructor has every thread of the runtime: a
  // chunk of fewer slices (or pairs) than threads is shared by all of them, one at a time.
  RavReconstructor reconstructor(g, RavMethod::from_factor(pass.METHOD), pass.filter, true, 0);
  UT_WRITE("INFO: Fourier filter initialised", status);
  rav_report_filter(pass.filter, pass.rings, status);
  std::int64_t stripes = 0;
  const std::vector<std::span<float>> buffers =
      rav_slice_buffers(slices, pass.TWO_SLICES, threads, g.pixels());

  const auto chunk = static_cast<std::int64_t>(buffers.size());
  std::vector<float*> sinograms, outputs;
  for (std::int64_t first = 0; first < N; first += chunk) {
    const std::int64_t count = std::min(chunk, N - first);
    sinograms.clear();
    outputs.clear();
    for (std::int64_t i = 0; i < count; ++i) {
      sinograms.push_back(SINOGRAMS.data() + (first + i) * size);
      outputs.push_back(buffers[static_cast<std::size_t>(i)].data());
    }
    // After a failure the slices are no longer computed; the records are still written.
    const RunClock start = RunClock::now(status);
    if (status == ST_OK) {
      stripes += rav_remove_rings_of(pass.rings, g, sinograms, threads);
      reconstructor.reconstruct(sinograms, outputs);
    }
    start.add_since(times.ELAPSE_RECONSTRUCTION, times.CPU_RECONSTRUCTION, status);
    for (std::int64_t i = 0; i < count; ++i) {
      const auto k = static_cast<std::int32_t>(first + i + 1);  // pass-relative slice number
      const std::int32_t s = pass.FIRST_SLICE + k - 1;
      const std::span<const float> slice = buffers[static_cast<std::size_t>(i)];
      if ((k - 1) % STEP == 0) {
        if (k % PROGRESS == 1) rav_loop_progress(s, status);
        if (pass.DISPLAY_GRAPHICS && k % 20 == 1) rav_loop_display(g, slice, s, status);
      }
      const RunClock before = RunClock::now(status);
      rav_write_record(out, NEXT_RECORD, slice);
      before.add_since(times.ELAPSE_OUTPUT, times.CPU_OUTPUT, status);
    }
  }
  if (pass.rings.method != RavRingOptions::NONE) rav_report_rings(stripes, N, status);
}

}  // namespace

void RAV_RECON_SLICES(const SlicePass& pass, std::span<float> SINOGRAMS, ReconTimes& times,
                      SliceBuffers& slices, SliceFile& out, std::int32_t& NEXT_RECORD,
                      std::int32_t& status) {
  if (st_bad(status, "Subroutine RAV_RECON_SLICES V0.16")) return;
  slice_loop(pass, pass.TWO_SLICES ? 2 : 1, 10, SINOGRAMS, times, slices, out, NEXT_RECORD,
             status);
}

void RAV_RECON_OVERSLICES(const SlicePass& pass, std::span<float> SINOGRAMS, ReconTimes& times,
                          SliceBuffers& slices, SliceFile& out, std::int32_t& NEXT_RECORD,
                          std::int32_t& status) {
  if (st_bad(status, "Subroutine RAV_RECON_OVERSLICES V0.4 ")) return;
  const std::int32_t STEP = pass.FOUR_SLICES                                ? 4
                            : pass.TWO_SLICES || pass.MULTI_PROCESSORS ? 2
                                                                            : 1;
  slice_loop(pass, STEP, 16, SINOGRAMS, times, slices, out, NEXT_RECORD, status);
}
