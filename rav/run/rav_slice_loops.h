// The slice loops of a pass and what they share with the drivers: the time accumulators, the
// slice buffers, the records of the output slice file and the display of a slice.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "rav_core.h"
#include "rav_slice_file.h"

// Seconds spent, only ever added to. "CPU" values are differences of the processor clock,
// "ELAPSE" values of the time of day (UT_TIMES).
struct ReconTimes {
  float CPU_INPUT = 0.0f, ELAPSE_INPUT = 0.0f;                    // reading projection images
  float CPU_SINOGRAMS = 0.0f, ELAPSE_SINOGRAMS = 0.0f;            // correcting and storing
  float CPU_RECONSTRUCTION = 0.0f, ELAPSE_RECONSTRUCTION = 0.0f;  // filtering and back-projection
  float CPU_OUTPUT = 0.0f, ELAPSE_OUTPUT = 0.0f;                  // writing slices
};

// A reading of the clocks (UT_TIMES; both 0 when the status is bad).
struct RunClock {
  float elapsed = 0.0f, cpu = 0.0f;
  static RunClock now(std::int32_t& status);
  // Adds the time since this reading to ELAPSED_SUM and CPU_SUM.
  void add_since(float& elapsed_sum, float& cpu_sum, std::int32_t& status) const;
};

// One pass of slices as the driver hands it to the slice loops.
struct SlicePass {
  RavGeometry geometry;     // the slice block, the angles and the limits
  std::int32_t METHOD = 0;  // OVERSAMPLING_FACTOR: 0 linear, 1 nearest, 2 or more oversampled
  bool DISPLAY_GRAPHICS = false;
  bool TWO_SLICES = false, MULTI_PROCESSORS = false, FOUR_SLICES = false;
  std::int32_t FIRST_SLICE = 1, LAST_SLICE = 1;
  // Accurate slices from real scans: the filter of the projections, and the ring removal of the
  // sinograms before it (which then changes the sinograms with every method).
  RavFilterOptions filter;
  RavRingOptions rings;
};

// The slice buffers of a run, NUM_X x NUM_Y each. Entry 2t + p holds slice p of the pair that
// thread t reconstructs (SLICE_1 and SLICE_2 for the first thread, SLICE_3 and SLICE_4 for the
// second, and so on); without pairs only the first entry of each thread's pair is used and the
// second stays empty.
using SliceBuffers = std::vector<std::vector<float>>;
// The entries of SLICES that a pass uses with THREADS threads, allocated (in their order) where
// still missing: "ERROR: Failed to allocate memory for output slice" (then " 2", " 3", ... by
// entry) when one cannot be.
std::vector<std::span<float>> rav_slice_buffers(SliceBuffers& slices, bool pairs, int threads,
                                                std::int64_t pixels);
// Threads a loop over GROUPS groups of slices runs on: the OpenMP runtime's count, at most one
// per group.
int rav_loop_threads(std::int64_t groups);

// Reconstructs every slice of the pass from SINOGRAMS (sinogram k for slice FIRST_SLICE + k - 1)
// and writes them at NEXT_RECORD onwards, in ascending slice order, advancing NEXT_RECORD by the
// number of slices of the pass. The slices are taken in groups (RAV_RECON_SLICES: one, or two
// with TWO_SLICES; RAV_RECON_OVERSLICES: one, two or four) for the progress lines and the
// displays; every slice is the same whatever the grouping and the number of threads.
// RAV_RECON_SLICES filters the sinograms in place; RAV_RECON_OVERSLICES leaves them unchanged
// (but for the ring removal of pass.rings).
// Storage for fewer sinograms than the pass has slices, and a record that cannot be written, end
// the run (RavFatalError).
void RAV_RECON_SLICES(const SlicePass& pass, std::span<float> SINOGRAMS, ReconTimes& times,
                      SliceBuffers& slices, SliceFile& out, std::int32_t& NEXT_RECORD,
                      std::int32_t& status);
void RAV_RECON_OVERSLICES(const SlicePass& pass, std::span<float> SINOGRAMS, ReconTimes& times,
                          SliceBuffers& slices, SliceFile& out, std::int32_t& NEXT_RECORD,
                          std::int32_t& status);

// Writes SLICE as record NEXT_RECORD of OUT and adds 1 to NEXT_RECORD; a record that cannot be
// written ends the run (RavFatalError).
void rav_write_record(SliceFile& out, std::int32_t& NEXT_RECORD, std::span<const float> slice);

// "INFO: Reconstructing slice " with S in 5 columns and " (and onwards)".
void rav_loop_progress(std::int32_t s, std::int32_t& status);
// Shows SLICE (slice number S) of GEOMETRY's block in the graphics window, titled "Slice " with S
// in 6 columns, with the pixel centres as axis values.
void rav_loop_display(const RavGeometry& geometry, std::span<const float> SLICE, std::int32_t s,
                      std::int32_t& status);
