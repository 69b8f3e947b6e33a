// A whole reconstruction from projection images: the plan of the run (sizes, grouping, passes
// over the memory budget), the arrays, then per pass the sinograms and the slices.
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "rav_accuracy.h"
#include "rav_allocate.h"
#include "rav_axis_run.h"
#include "rav_drivers.h"
#include "rav_input_output.h"
#include "rav_progress.h"
#include "rav_read_ahead.h"
#include "ut.h"

namespace {
constexpr std::string_view kRoutine = "Subroutine RAV_RECONSTRUCTION V0.20";

// The sizes and the plan of the run of this rank.
struct RunPlan {
  ParameterSet p;  // with volume axes 1 and 3 exchanged for a horizontal axis
  std::int32_t NUM_X = 0, NUM_Y = 0, NUM_Z = 0;
  RavSlab slab;    // this rank's slices (all of them when it runs alone)
  SinogramPass pass;
  std::int32_t NUM_PASSES = 0;
  SlicePass slices;
  std::optional<RavHalfAcquisition> half;  // HALF_ACQUISITION: how each sinogram is joined
};

// The memory plan: as many sinograms as the budget allows, in multiples of four, spread evenly
// over the fewest passes. The checks have made sure that one sinogram fits.
void plan_passes(RunPlan& r, bool round_to_four) {
  const std::int64_t sinogram_bytes = std::int64_t{r.pass.NUM_BINS} * r.pass.NUM_PROJECTIONS * 4;
  const std::int64_t MAX_SINOGRAMS =
      std::int64_t{r.p.SINOGRAM_MEGABYTES} * 1048576 / sinogram_bytes;
  const std::int64_t S = 4 * ((MAX_SINOGRAMS + 3) / 4);
  r.NUM_PASSES = 1;
  for (std::int64_t left = r.slab.count; left > S; left -= S) ++r.NUM_PASSES;
  std::int32_t SLICES_PER_PASS = static_cast<std::int32_t>(
      static_cast<float>(r.slab.count) / static_cast<float>(r.NUM_PASSES) + 0.99989998F);
  if (round_to_four) SLICES_PER_PASS = 4 * ((SLICES_PER_PASS + 3) / 4);
  r.pass.SLICES_PER_PASS = SLICES_PER_PASS;
  const bool vertical = r.p.ROTATION_VERTICAL;
  r.pass.DATA_DIM_1 = vertical ? r.pass.NUM_BINS : SLICES_PER_PASS;
  r.pass.DATA_DIM_2 = vertical ? SLICES_PER_PASS : r.pass.NUM_BINS;
}

// The processors the slice loops really run on, and the slices they reconstruct at once: one
// slice (or pair) per thread when the largest pass has as many as threads; otherwise every
// thread works on one slice (or pair) at a time.
void report_threads(const RunPlan& r, std::int32_t& status) {
  const std::int64_t pair = r.slices.TWO_SLICES ? 2 : 1;
  const std::int64_t largest = std::min<std::int64_t>(r.pass.SLICES_PER_PASS, r.slab.count);
  const int threads = omp_get_max_threads();
  const bool shared = rav_loop_threads((largest + pair - 1) / pair) < threads;
  UT_WRITE(" ", status);
  if (threads == 1) {
    UT_WRITE("INFO: Running on   1 processor", status);
    return;
  }
  UT_WRITE("INFO: Running in parallel on " + ut_fmt_int(threads, 3) + " processors", status);
  const std::int64_t together = shared ? std::min(pair, largest) : threads * pair;
  UT_WRITE("INFO: Reconstructing " + std::to_string(together) + " slices simultaneously", status);
}

// The angles of an HDF5 file, with ANGLES_FROM_FILE, when they are not evenly spaced (evenly
// spaced ones are put into the parameters): one by one, and the weights of the projections.
struct FileAngles {
  std::vector<double> list;
  std::vector<float> weights;
};

RunPlan plan_run(const ParameterSet& parameters, const FileAngles& file_angles,
                 std::int32_t& status) {
  RunPlan r;
  ParameterSet& p = r.p;
  p = parameters;
  // With the rotation axis horizontal, slices run along the first image axis.
  r.pass.NUM_BINS = p.ROTATION_VERTICAL ? p.NUM_IMAGE_1 : p.NUM_IMAGE_2;
  if (!p.ROTATION_VERTICAL) {
    UT_ISWAP(p.START_VOXEL_1, p.START_VOXEL_3, status);
    UT_ISWAP(p.END_VOXEL_1, p.END_VOXEL_3, status);
  }
  r.NUM_X = p.END_VOXEL_1 - p.START_VOXEL_1 + 1;
  r.NUM_Y = p.END_VOXEL_2 - p.START_VOXEL_2 + 1;
  r.NUM_Z = p.END_VOXEL_3 - p.START_VOXEL_3 + 1;
  r.slab = rav_mpi_slab(r.NUM_Z);
  p.START_VOXEL_3 += static_cast<std::int32_t>(r.slab.first);
  p.END_VOXEL_3 = p.START_VOXEL_3 + static_cast<std::int32_t>(r.slab.count) - 1;
  r.pass.NUM_PROJECTIONS = (p.NUM_LAST_IMAGE - p.NUM_FIRST_IMAGE + 1) / std::abs(p.FILE_INTERVAL);

  SlicePass& s = r.slices;
  const RavBlock block{p.START_VOXEL_1, p.START_VOXEL_2, r.NUM_X, r.NUM_Y};
  s.geometry = rav_run_geometry(p, r.pass.NUM_BINS, r.pass.NUM_PROJECTIONS, block, r.half);
  if (!file_angles.list.empty()) {
    // Angles of an HDF5 file that are not evenly spaced (never with the keywords of the axis).
    s.geometry = rav_geometry(r.pass.NUM_BINS, r.pass.NUM_PROJECTIONS, p.ROTATION_AXIS_POSITION,
                              {p.ANGLE_OFFSET, p.ANGLE_BETWEEN_PROJECTIONS, file_angles.list},
                              block);
    r.pass.PROJECTION_WEIGHTS = file_angles.weights;
  }
  s.METHOD = p.OVERSAMPLING_FACTOR;
  s.DISPLAY_GRAPHICS = p.DISPLAY_GRAPHICS;
  s.filter = rav_filter_options(p);
  s.filter.weights = r.pass.PROJECTION_WEIGHTS;
  s.rings = rav_ring_options(p);
  // Two slices are reconstructed together when both fit into the (enlarged) cache.
  const auto cache_limit = static_cast<std::int64_t>(
      static_cast<float>(std::int64_t{p.CACHE_KILOBYTES} * 1024) * 1.29999995F);
  s.TWO_SLICES = std::int64_t{r.NUM_X} * r.NUM_Y * 8 <= cache_limit;
  std::int32_t NUM_PROCESSORS = 1;
  RAV_NUM_PROCESSORS(NUM_PROCESSORS, status);
  s.MULTI_PROCESSORS = NUM_PROCESSORS > 1;
  s.FOUR_SLICES = s.MULTI_PROCESSORS && s.TWO_SLICES;
  if (r.slab.count > 0) plan_passes(r, s.TWO_SLICES || s.MULTI_PROCESSORS);
  if (s.TWO_SLICES) {
    UT_WRITE(" ", status);
    UT_WRITE("INFO: Two slices will be reconstructed together", status);
  }
  report_threads(r, status);
  return r;
}

// The arrays of the run, in the design's order of allocation.
struct RunArrays {
  ImageBuffers images;
  std::vector<float> SINOGRAMS;
  SliceBuffers slices;
};

void allocate(const RunPlan& r, RunArrays& a) {
  const SinogramPass& pass = r.pass;
  rav_allocate_images(r.p, std::int64_t{pass.DATA_DIM_1} * pass.DATA_DIM_2, a.images);
  rav_allocate(a.SINOGRAMS,
               std::int64_t{pass.NUM_BINS} * pass.NUM_PROJECTIONS * pass.SLICES_PER_PASS,
               "ERROR: Failed to allocate memory for storing the sinograms");
  const std::int64_t pair = r.slices.TWO_SLICES ? 2 : 1;
  rav_slice_buffers(a.slices, r.slices.TWO_SLICES,
                    rav_loop_threads((pass.SLICES_PER_PASS + pair - 1) / pair),
                    r.slices.geometry.pixels());
}

// The keywords of the rotation axis in a pass: a sweep takes the place of its slices (true, with
// the records it wrote in RECORDS); half acquisition joins its sinograms first.
bool axis_pass(const RunPlan& r, RunArrays& a, SliceFile& out, std::int32_t& NEXT_RECORD,
               ReconTimes& times, std::int64_t& records, std::int32_t& status) {
  if (r.p.AXIS_SWEEP.given) {
    const RavGeometry& g = r.slices.geometry;
    records = rav_sweep_slices(r.p, {g.X_START, g.Y_START, g.NUM_X, g.NUM_Y}, a.SINOGRAMS,
                               r.pass.NUM_BINS, r.pass.NUM_PROJECTIONS, r.pass.FIRST_SLICE, out,
                               NEXT_RECORD, times, status);
    return true;
  }
  if (r.half) {
    rav_join_pass(*r.half, a.SINOGRAMS, r.pass.LAST_SLICE - r.pass.FIRST_SLICE + 1,
                  std::int64_t{r.pass.NUM_BINS} * r.pass.NUM_PROJECTIONS);
  }
  return false;
}

}  // namespace

void RAV_RECONSTRUCTION(const ParameterSet& parameters, std::int32_t& status) {
  std::printf("Entered RAV_RECONSTRUCTION\n");
  if (st_bad(status, kRoutine)) return;
  if (!rav_run_usable(parameters, false, kRoutine, status)) return;
  ParameterSet run = parameters;
  FileAngles file_angles;
  file_angles.list = rav_file_angles(
      run, (run.NUM_LAST_IMAGE - run.NUM_FIRST_IMAGE + 1) / std::abs(run.FILE_INTERVAL),
      file_angles.weights, status);
  // The time of a run that finds its axis counts from the start of the search.
  RunReport report{RunClock::now(status), {}, true};
  if (run.ROTATION_AXIS_AUTO && !rav_find_run_axis(run, report.times, status)) return;
  rav_sweep_first_slice(run);
  RunPlan r = plan_run(run, file_angles, status);
  const ParameterSet& p = r.p;
  if (r.half) rav_report_half_acquisition(*r.half, status);
  RunArrays arrays;
  if (r.slab.count > 0) allocate(r, arrays);

  // Records are numbered over the whole volume: the slab's first slice goes to its own record.
  SafeOutput out;
  const auto header = rav_choose_output_format(
      out.slices(), p,
      rav_volume_geometry(p, false, r.NUM_X, r.NUM_Y, r.NUM_Z, r.pass.NUM_PROJECTIONS));
  std::int32_t NEXT_RECORD = 1 + static_cast<std::int32_t>(r.slab.first);
  const bool go = !p.OUTPUT_RECONSTRUCTION ||
                  rav_open_output(out, p.OUTPUT_FILE, r.NUM_X, r.NUM_Y, r.slab.count > 0, status);
  if (!run.ROTATION_AXIS_AUTO) report.start = RunClock::now(status);
  report.header = header;
  std::int64_t records = r.slab.count;  // written by this rank
  const RavProgress progress(p.OUTPUT_RECONSTRUCTION ? r.slab.count : 0, r.NUM_PASSES);
  RavReadAhead ahead;
  for (std::int32_t number = 1; go && number <= r.NUM_PASSES; ++number) {
    r.pass.FIRST_SLICE = p.START_VOXEL_3 + (number - 1) * r.pass.SLICES_PER_PASS;
    r.pass.LAST_SLICE = std::min(r.pass.FIRST_SLICE + r.pass.SLICES_PER_PASS - 1, p.END_VOXEL_3);
    UT_WRITE(" ", status);
    UT_WRITE("INFO: Pass " + ut_fmt_int(number, 2) + "  of " + ut_fmt_int(r.NUM_PASSES, 2) +
                 "  passes",
             status);
    UT_WRITE("      Inputting data and creating sinograms", status);
    rav_progress_pass(number, r.pass.NUM_PROJECTIONS);
    RAV_CREATE_SINOGRAMS(p, r.pass, report.times, arrays.images, arrays.SINOGRAMS, status);
    if (number < r.NUM_PASSES) {  // the next pass's files are read while this one is worked on
      const std::int32_t next = r.pass.FIRST_SLICE + r.pass.SLICES_PER_PASS;
      ahead.start(p, next, std::min(next + r.pass.SLICES_PER_PASS - 1, p.END_VOXEL_3), status);
    }
    if (!p.OUTPUT_RECONSTRUCTION) continue;
    if (axis_pass(r, arrays, out.slices(), NEXT_RECORD, report.times, records, status)) continue;
    UT_WRITE("INFO: Filtering projections and backprojecting", status);
    UT_WRITE("      to reconstruct slices", status);
    r.slices.FIRST_SLICE = r.pass.FIRST_SLICE;
    r.slices.LAST_SLICE = r.pass.LAST_SLICE;
    if (p.OVERSAMPLING_FACTOR >= 2) {
      RAV_RECON_OVERSLICES(r.slices, arrays.SINOGRAMS, report.times, arrays.slices, out.slices(),
                           NEXT_RECORD, status);
    } else {
      RAV_RECON_SLICES(r.slices, arrays.SINOGRAMS, report.times, arrays.slices, out.slices(),
                       NEXT_RECORD, status);
    }
  }
  rav_close_output(out);
  // Every pass had projections it could read (RAV_CREATE_SINOGRAMS ends the run otherwise).
  report.slices = report.slices_from_input = p.OUTPUT_RECONSTRUCTION ? records : 0;
  // Rank 0 describes the whole volume and puts it in place.
  if (go) {
    rav_finish_run(report, p.OUTPUT_RECONSTRUCTION ? &out : nullptr, p.OUTPUT_FILE, r.NUM_X,
                   r.NUM_Y, status);
  }
}
