#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "rav_allocate.h"
#include "rav_drivers.h"
#include "rav_in_zelfa.h"
#include "rav_mpi.h"
#include "rav_numerics.h"
#include "rav_slice_loops.h"
#include "ut.h"

namespace {
constexpr std::string_view kRoutine = "Subroutine RAV_SINORECONSTRUCTION V0.1 ";
}  // namespace

void RAV_SINORECONSTRUCTION(const ParameterSet& p, std::int32_t& status) {
  if (st_bad(status, kRoutine)) return;
  UT_WRITE(" ", status);
  UT_WRITE("INFO: Reconstructing directly from sinograms", status);
  UT_WRITE(" ", status);
  // Every rank checks the same parameters; the vote makes all of them stop together.
  const bool usable = RAV_CHECK_PARAMETERS(p, true, status);
  if (!usable) ST_SAVE(kRoutine);
  if (!rav_mpi_vote(usable)) return;

  // One slice per stored sinogram; with several ranks this process takes its own slab of them.
  const std::int32_t count = (p.NUM_LAST_IMAGE - p.NUM_FIRST_IMAGE + p.FILE_INTERVAL) /
                             p.FILE_INTERVAL;
  const RavSlab slab = rav_mpi_slab(count);
  const bool has_slices = slab.count > 0;

  SlicePass pass;
  pass.DISPLAY_GRAPHICS = p.DISPLAY_GRAPHICS;
  pass.METHOD = p.OVERSAMPLING_FACTOR;
  pass.X_START = p.START_VOXEL_1;
  pass.Y_START = p.START_VOXEL_2;
  pass.NUM_X = p.END_VOXEL_1 - p.START_VOXEL_1 + 1;
  pass.NUM_Y = p.END_VOXEL_2 - p.START_VOXEL_2 + 1;
  pass.AXIS_POSITION = p.ROTATION_AXIS_POSITION;
  pass.START_ANGLE = p.ANGLE_OFFSET;
  pass.ANGLE_STEP = p.ANGLE_BETWEEN_PROJECTIONS;
  pass.NUM_BINS = p.NUM_IMAGE_1;
  pass.NUM_PROJECTIONS = p.NUM_IMAGE_2;
  const std::int32_t OV = p.OVERSAMPLING_FACTOR;

  std::vector<float> SINOGRAM, SLICE, WORK, OVERSAMPLED;
  // Filter, twiddle factors, limits and display axes serve every slice.
  SliceLoopTables tables;
  if (has_slices) {
    rav_allocate(SINOGRAM, std::int64_t{pass.NUM_BINS} * pass.NUM_PROJECTIONS,
                 "ERROR: Failed to allocate memory for storing the sinogram");
    rav_allocate(SLICE, std::int64_t{pass.NUM_X} * pass.NUM_Y,
                 "ERROR: Failed to allocate memory for output slice");
    rav_loop_tables(pass, tables, status);
    rav_allocate(WORK, tables.filter.NFFT,
                 "ERROR: Failed to allocated arrays for work space for filtering");
    // Only the oversampled method resamples; the others leave OVERSAMPLED empty.
    rav_allocate(OVERSAMPLED, OV > 1 ? rav_over_work_values(OV, pass.NUM_BINS) : 0,
                 "ERROR: Failed to allocated arrays for work space for oversampled projection");
    rav_loop_limits(pass, tables, status);
  }

  // Records are numbered over the whole volume: the slab's first sinogram has its own record.
  SliceFile out;
  const bool go = rav_open_slab_output(out, p.OUTPUT_FILE, pass.NUM_X, pass.NUM_Y, has_slices,
                                       status);
  const bool others_failed = !go && status == ST_OK;  // this rank stops too
  std::int32_t NEXT_RECORD = 1 + static_cast<std::int32_t>(slab.first);
  std::int32_t slices_done = 0;
  float elapsed_start = 0.0F, cpu_start = 0.0F;
  UT_TIMES(elapsed_start, cpu_start, status);

  const auto first = static_cast<std::int32_t>(slab.first);
  const std::int32_t last = others_failed ? first : first + static_cast<std::int32_t>(slab.count);
  for (std::int32_t n = first; n < last; ++n) {
    const std::int32_t number = p.NUM_FIRST_IMAGE + n * p.FILE_INTERVAL;
    const std::int32_t k = n * p.FILE_INTERVAL;
    if (k % 10 == 0) {
      UT_WRITE("INFO: Reconstructing slice " + ut_fmt_int(number, 5) + " (and onwards)", status);
    }
    bool overflow = false;
    std::string name;
    UT_FILENAME(p.FILE_PREFIX, number, !p.NUMBER_LENGTH_VARIES, p.LENGTH_OF_NUMERICAL_PART,
                p.FILE_POSTFIX, overflow, name, status);
    name.resize(SLEN(name));
    std::int32_t retstat = 0, xnum = 0, ynum = 0;
    RAV_IN_ZELFA(pass.NUM_BINS, pass.NUM_PROJECTIONS, 1, 1, pass.NUM_BINS, pass.NUM_PROJECTIONS,
                 name, retstat, xnum, ynum, SINOGRAM, status);
    // A sinogram file that cannot be opened ends the run; no record is written from stale data.
    if (status != ST_OK) break;
    if (retstat == 0) {
      // An infinite or NaN value would spread over the whole slice through the filter.
      std::int64_t not_finite = 0;
      for (float& value : SINOGRAM) {
        if (!std::isfinite(value)) {
          value = 0.0F;
          ++not_finite;
        }
      }
      if (not_finite > 0) {
        UT_WRITE("WARNING: " + std::to_string(not_finite) + " values of " + name +
                     " were not finite (infinite or NaN) and were set to 0",
                 status);
      }
    }
    if (retstat != 0) {
      // The record keeps its place so that record numbers still match sinogram numbers, but a
      // sinogram that cannot be read gives a zero slice, never its neighbour's.
      UT_WRITE("WARNING: Problem inputting from", status);
      UT_WRITE("         " + name, status);
      std::fill(SLICE.begin(), SLICE.end(), 0.0F);
    } else if (OV <= 1) {
      RAV_RECON_1SLICE(tables.geometry, OV, tables.filter, SINOGRAM, SLICE, WORK, status);
    } else {
      RAV_RECON_1OVER(tables.geometry, OV, tables.filter, SINOGRAM, SLICE, OVERSAMPLED, WORK,
                      status);
    }
    if (p.DISPLAY_GRAPHICS && k % 10 == 0) rav_loop_display(pass, tables, SLICE, number, status);
    slice_file_write(out, NEXT_RECORD, SLICE);
    ++NEXT_RECORD;
    ++slices_done;
  }
  slice_file_close(out);

  float elapsed_end = 0.0F, cpu_end = 0.0F;
  UT_TIMES(elapsed_end, cpu_end, status);

  // Every rank has finished its slab: processor times are summed, elapsed times are those of
  // the slowest rank, and the info file counts the slices of all ranks.
  const bool all_done = rav_mpi_vote(status == ST_OK);
  double sums[] = {cpu_end - cpu_start, static_cast<double>(slices_done)};
  double elapsed[] = {elapsed_end - elapsed_start};
  rav_mpi_sum(sums);
  rav_mpi_max(elapsed);
  // A failure on another rank leaves this one's status good, but the volume incomplete.
  const bool failed_elsewhere = !all_done && status == ST_OK;
  if (failed_elsewhere || !rav_mpi_is_root()) return;
  if (status == ST_OK) {
    std::printf(" \nTiming Information\n");
    std::printf("Total CPU time = %s minutes\n",
                ut_fmt_real(static_cast<float>(sums[0]) * 0.016666668F, 10, 2).c_str());
    std::printf("Total elapse time = %s minutes\n",
                ut_fmt_real(static_cast<float>(elapsed[0]) * 0.016666668F, 10, 2).c_str());
  }
  RAV_OUTPUT_INFO(p.OUTPUT_FILE, pass.NUM_X, pass.NUM_Y, static_cast<std::int32_t>(sums[1]),
                  status);
}
