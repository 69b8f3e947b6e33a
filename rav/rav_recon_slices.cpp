// The slice loop of a pass without oversampling: filter and back-project each stored sinogram,
// one or two slices at a time, show every twentieth slice and write every slice as the next
// record of the output file. Also the pieces both slice loops share.
#include <omp.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "rav_allocate.h"
#include "rav_numerics.h"
#include "rav_slice_loops.h"
#include "ut.h"
#include "vu.h"

namespace {
constexpr std::string_view kRoutine = "Subroutine RAV_RECON_SLICES V0.16";
}  // namespace

// ---------------------------------------------------------------------------------------------
// Shared by both loops.

void rav_loop_tables(const SlicePass& pass, SliceLoopTables& tables, std::int32_t& status) {
  // The limits have one entry per local row; the axes one per pixel column and row, so that a
  // block wider or taller than the detector still has an axis value for each of its pixels.
  const std::int64_t rows = std::max<std::int64_t>(pass.NUM_Y, 0);
  rav_allocate(tables.X_STARTS, rows, "ERROR: Failed to allocated array for start pixels of lines");
  rav_allocate(tables.X_ENDS, rows, "ERROR: Failed to allocated array for end pixels of lines");
  rav_allocate(tables.XAXIS, std::max<std::int64_t>(pass.NUM_X, 0),
               "ERROR: Failed to allocated array for X-axis values");
  rav_allocate(tables.YAXIS, rows, "ERROR: Failed to allocated array for Y-axis values");
  rav_filter_setup(pass.NUM_BINS, tables.filter, status);
}

void rav_loop_limits(const SlicePass& pass, SliceLoopTables& tables, std::int32_t& status) {
  RavGeometry& geometry = tables.geometry;
  geometry.NUM_BINS = pass.NUM_BINS;
  geometry.NUM_PROJECTIONS = pass.NUM_PROJECTIONS;
  geometry.X_START = pass.X_START;
  geometry.Y_START = pass.Y_START;
  geometry.NUM_X = pass.NUM_X;
  geometry.NUM_Y = pass.NUM_Y;
  geometry.START_ANGLE = pass.START_ANGLE;
  geometry.ANGLE_STEP = pass.ANGLE_STEP;
  geometry.AXIS_POSITION = pass.AXIS_POSITION;
  // Nothing inside until the limits say otherwise (they stay so when the status is bad).
  geometry.FIRST_ROW = 1;
  geometry.LAST_ROW = 0;
  RAV_CALCULATE_LIMITS(pass.NUM_BINS, pass.X_START, pass.Y_START, pass.NUM_X, pass.NUM_Y,
                       pass.AXIS_POSITION, geometry.FIRST_ROW, geometry.LAST_ROW,
                       tables.X_STARTS, tables.X_ENDS, status);
  geometry.X_STARTS = tables.X_STARTS;
  geometry.X_ENDS = tables.X_ENDS;
  for (std::size_t i = 0; i < tables.XAXIS.size(); ++i) {
    tables.XAXIS[i] = static_cast<float>(i + 1) - 0.5f;
  }
  for (std::size_t i = 0; i < tables.YAXIS.size(); ++i) {
    tables.YAXIS[i] = static_cast<float>(i + 1) - 0.5f;
  }
  UT_WRITE("INFO: Fourier filter initialised", status);
}

PassSinograms::PassSinograms(std::span<float> SINOGRAMS, const SlicePass& pass,
                             std::int64_t count_read)
    : all_(SINOGRAMS),
      size_(static_cast<std::int64_t>(std::max(pass.NUM_BINS, 0)) *
            std::max(pass.NUM_PROJECTIONS, 0)) {
  const std::int64_t stored = static_cast<std::int64_t>(all_.size());
  const std::int64_t slices = std::max(pass.LAST_SLICE - pass.FIRST_SLICE + 1, 0);
  if (slices * size_ > stored) {
    // Slices that are written must come from real sinograms.
    std::int32_t message_status = ST_OK;
    UT_WRITE("ERROR: The sinogram storage holds " + std::to_string(size_ > 0 ? stored / size_ : 0) +
                 " sinograms, fewer than the " + std::to_string(slices) + " slices of the pass",
             message_status);
    std::fflush(stdout);
    std::exit(1);
  }
  if (count_read * size_ > stored) {
    rav_allocate(zero_, size_, "ERROR: Failed to allocate memory for storing the sinograms");
  }
}

std::span<float> PassSinograms::operator()(std::int64_t k) {
  const std::int64_t start = (k - 1) * size_;
  if (start + size_ <= static_cast<std::int64_t>(all_.size())) return all_.subspan(start, size_);
  // Beyond the storage. Only the last group comes here; filtering zeros in place (the loop
  // without oversampling) leaves zeros, so the sinogram stays zero for every use.
  return zero_;
}

void rav_loop_slice_buffer(std::vector<float>& buffer, std::int64_t pixels,
                           std::string_view message) {
  if (static_cast<std::int64_t>(buffer.size()) < pixels) rav_allocate(buffer, pixels, message);
}

void rav_loop_progress(std::int32_t s, std::int32_t& status) {
  UT_WRITE("INFO: Reconstructing slice " + ut_fmt_int(s, 5) + " (and onwards)", status);
}

void rav_loop_display(const SlicePass& pass, const SliceLoopTables& tables,
                      std::span<const float> SLICE, std::int32_t s, std::int32_t& status) {
  // The whole slice, with the pixel-centre axis values.
  const std::string title = "Slice " + ut_fmt_int(s, 6);
  VU_PLOT(pass.NUM_X, pass.NUM_Y, SLICE.data(), tables.XAXIS.data(), tables.YAXIS.data(), 1, 1,
          pass.NUM_X, pass.NUM_Y, title, "X-axis", "Y-axis", "Absorption", status);
  VU_UPDATE(status);
}

void rav_loop_clock(float& elapsed, float& cpu, std::int32_t& status) {
  elapsed = 0.0f;
  cpu = 0.0f;
  UT_TIMES(elapsed, cpu, status);
}

int rav_loop_threads(std::int32_t groups) {
  return std::max(1, std::min(omp_get_max_threads(), groups));
}

namespace {

// Seconds between two readings of the clock, added to an accumulator pair.
struct ClockSum {
  float elapsed = 0.0f, cpu = 0.0f;
};

void clock_add(float elapsed_0, float cpu_0, std::int32_t& status, ClockSum& sum) {
  float elapsed_1, cpu_1;
  rav_loop_clock(elapsed_1, cpu_1, status);
  sum.elapsed += elapsed_1 - elapsed_0;
  sum.cpu += cpu_1 - cpu_0;
}

}  // namespace

void rav_loop_groups(std::int32_t groups, int threads, const GroupSteps& steps, ReconTimes& times,
                     std::int32_t& status) {
  float elapsed_0, cpu_0;
  if (threads <= 1 || groups <= 1 || status != ST_OK) {
    // One group after another.
    for (std::int32_t G = 0; G < groups; ++G) {
      steps.progress(G, status);
      ClockSum recon, output;
      rav_loop_clock(elapsed_0, cpu_0, status);
      steps.reconstruct(0, G, status);
      clock_add(elapsed_0, cpu_0, status, recon);
      steps.display(0, G, status);
      rav_loop_clock(elapsed_0, cpu_0, status);
      steps.write(0, G);
      clock_add(elapsed_0, cpu_0, status, output);
      times.CPU_RECONSTRUCTION += recon.cpu;
      times.ELAPSE_RECONSTRUCTION += recon.elapsed;
      times.CPU_OUTPUT += output.cpu;
      times.ELAPSE_OUTPUT += output.elapsed;
    }
    return;
  }

  // Groups on several threads. Each group takes its turn, in ascending order, for what the
  // console, the window and the output file see.
  ClockSum loop, output, display;
  float loop_elapsed, loop_cpu;
  rav_loop_clock(loop_elapsed, loop_cpu, status);
  const std::int32_t start_status = status;
#pragma omp parallel for ordered schedule(static, 1) num_threads(threads)
  for (std::int32_t G = 0; G < groups; ++G) {
    const int T = omp_get_thread_num();
    std::int32_t group_status = start_status;
    steps.reconstruct(T, G, group_status);
#pragma omp ordered
    {
      steps.progress(G, status);
      if (status == ST_OK && group_status != ST_OK) status = group_status;
      float e0, c0;
      rav_loop_clock(e0, c0, status);
      steps.display(T, G, status);
      clock_add(e0, c0, status, display);
      rav_loop_clock(e0, c0, status);
      steps.write(T, G);
      clock_add(e0, c0, status, output);
    }
  }
  clock_add(loop_elapsed, loop_cpu, status, loop);
  times.CPU_RECONSTRUCTION += loop.cpu - output.cpu - display.cpu;
  times.ELAPSE_RECONSTRUCTION += loop.elapsed - output.elapsed - display.elapsed;
  times.CPU_OUTPUT += output.cpu;
  times.ELAPSE_OUTPUT += output.elapsed;
}

// ---------------------------------------------------------------------------------------------
// The loop without oversampling.

namespace {

// One group: sinogram k into SLICE_1 or, two at a time, sinograms k and k+1 into SLICE_1 and
// SLICE_2. The group touches only its own sinograms, slices and work arrays.
void recon_group(const SliceLoopTables& tables, std::int32_t METHOD, bool two,
                 std::span<float> sinogram_1, std::span<float> sinogram_2,
                 std::span<float> slice_1, std::span<float> slice_2, std::span<float> work_1,
                 std::span<float> work_2, std::int32_t& status) {
  if (two) {
    RAV_RECON_SLICE(tables.geometry, METHOD, tables.filter, sinogram_1, sinogram_2, slice_1,
                    slice_2, work_1, work_2, status);
  } else {
    RAV_RECON_1SLICE(tables.geometry, METHOD, tables.filter, sinogram_1, slice_1, work_1,
                     status);
  }
}

}  // namespace

void RAV_RECON_SLICES(const SlicePass& pass, std::span<float> SINOGRAMS, ReconTimes& times,
                      SliceBuffers& slices, SliceFile& out, std::int32_t& NEXT_RECORD,
                      std::int32_t& status) {
  if (st_bad(status, kRoutine)) return;
  const bool two = pass.TWO_SLICES;

  // Set-up: tables, filter, work arrays, limits.
  SliceLoopTables tables;
  rav_loop_tables(pass, tables, status);
  std::vector<float> WORK_1, WORK_2;
  rav_allocate(WORK_1, tables.filter.NFFT,
               "ERROR: Failed to allocated arrays for work space for filtering");
  if (two) {
    rav_allocate(WORK_2, tables.filter.NFFT,
                 "ERROR: Failed to allocated arrays for work space 2 for filtering");
  }
  rav_loop_limits(pass, tables, status);

  const std::int64_t pixels =
      static_cast<std::int64_t>(std::max(pass.NUM_X, 0)) * std::max(pass.NUM_Y, 0);
  rav_loop_slice_buffer(slices.SLICE_1, pixels, "ERROR: Failed to allocate memory for output slice");
  if (two) {
    rav_loop_slice_buffer(slices.SLICE_2, pixels,
                          "ERROR: Failed to allocate memory for output slice 2");
  }

  // The loop: groups of STEP slices, k the pass-relative number of a group's first slice.
  const std::int32_t STEP = two ? 2 : 1;
  const std::int32_t N = pass.LAST_SLICE - pass.FIRST_SLICE + 1;
  const std::int32_t iterations = std::max((STEP + pass.LAST_SLICE - pass.FIRST_SLICE) / STEP, 0);
  PassSinograms sinogram(SINOGRAMS, pass, static_cast<std::int64_t>(iterations) * STEP);

  // Thread 0 works in the driver's slice buffers and the work arrays above; every further
  // thread gets a set of its own.
  const int threads = rav_loop_threads(iterations);
  struct ThreadSet {
    std::vector<float> SLICE_1, SLICE_2, WORK_1, WORK_2;
  };
  std::vector<ThreadSet> extra(static_cast<std::size_t>(threads - 1));
  for (ThreadSet& set : extra) {
    rav_allocate(set.WORK_1, tables.filter.NFFT,
                 "ERROR: Failed to allocated arrays for work space for filtering");
    if (two) {
      rav_allocate(set.WORK_2, tables.filter.NFFT,
                   "ERROR: Failed to allocated arrays for work space 2 for filtering");
    }
    rav_allocate(set.SLICE_1, pixels, "ERROR: Failed to allocate memory for output slice");
    if (two) {
      rav_allocate(set.SLICE_2, pixels, "ERROR: Failed to allocate memory for output slice 2");
    }
  }
  const auto buffers = [&](int T) -> std::array<std::vector<float>*, 4> {
    if (T == 0) return {&slices.SLICE_1, &slices.SLICE_2, &WORK_1, &WORK_2};
    ThreadSet& set = extra[static_cast<std::size_t>(T - 1)];
    return {&set.SLICE_1, &set.SLICE_2, &set.WORK_1, &set.WORK_2};
  };
  const auto slice_of = [pixels](std::vector<float>* values) {
    return values->empty() ? std::span<float>() : std::span<float>(*values).first(pixels);
  };

  GroupSteps steps;
  steps.progress = [&](std::int32_t G, std::int32_t& st) {
    const std::int32_t k = 1 + G * STEP;
    if (k % 10 == 1) rav_loop_progress(pass.FIRST_SLICE + k - 1, st);
  };
  steps.reconstruct = [&](int T, std::int32_t G, std::int32_t& st) {
    const std::int32_t k = 1 + G * STEP;
    const auto b = buffers(T);
    recon_group(tables, pass.METHOD, two, sinogram(k), two ? sinogram(k + 1) : std::span<float>(),
                slice_of(b[0]), slice_of(b[1]), *b[2], *b[3], st);
  };
  steps.display = [&](int T, std::int32_t G, std::int32_t& st) {
    // Only the first slice of a pair is shown; the display counts in neither accumulator.
    const std::int32_t k = 1 + G * STEP;
    if (pass.DISPLAY_GRAPHICS && k % 20 == 1) {
      rav_loop_display(pass, tables, slice_of(buffers(T)[0]), pass.FIRST_SLICE + k - 1, st);
    }
  };
  steps.write = [&](int T, std::int32_t G) {
    const std::int32_t k = 1 + G * STEP;
    const auto b = buffers(T);
    slice_file_write(out, NEXT_RECORD, slice_of(b[0]));
    ++NEXT_RECORD;
    if (two && k + 1 <= N) {  // the slice of a sinogram beyond the pass is not written
      slice_file_write(out, NEXT_RECORD, slice_of(b[1]));
      ++NEXT_RECORD;
    }
  };
  rav_loop_groups(iterations, threads, steps, times, status);
  // The tables and work arrays are released on return.
}
