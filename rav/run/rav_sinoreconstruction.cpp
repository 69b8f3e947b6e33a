// A whole reconstruction from stored sinogram images: one sinogram at a time is read,
// reconstructed, shown (every tenth) and written.
#include <algorithm>
#include <optional>
#include <string>

#include "rav_allocate.h"
#include "rav_drivers.h"
#include "rav_input_output.h"
#include "rav_progress.h"
#include "ut.h"

namespace {
constexpr std::string_view kRoutine = "Subroutine RAV_SINORECONSTRUCTION V0.1 ";

// Reads sinogram NUMBER into SINOGRAM. False when its file cannot be opened (the status is then
// bad) or cannot be read (with a warning); values that are not finite are set to 0 with a
// warning, since one of them would spread over the whole slice through the filter.
bool read_sinogram(const ParameterSet& p, std::int32_t number, std::span<float> SINOGRAM,
                   std::int32_t& status) {
  const RavImageSource source = rav_series_image(p, number, status);
  const std::string name = source.display();
  std::int32_t retstat = 0, xnum = 0, ynum = 0;
  RAV_IN_IMAGE(source, p.NUM_IMAGE_1, p.NUM_IMAGE_2, 1, 1, p.NUM_IMAGE_1, p.NUM_IMAGE_2, retstat,
               xnum, ynum, SINOGRAM, status);
  if (status != ST_OK) return false;
  if (retstat != 0) {
    UT_WRITE("WARNING: Problem inputting from", status);
    UT_WRITE("         " + name, status);
    return false;
  }
  const std::int64_t not_finite = rav_zero_non_finite(SINOGRAM);
  if (not_finite > 0) {
    UT_WRITE("WARNING: " + std::to_string(not_finite) + " values of " + name +
                 " were not finite (infinite or NaN) and were set to 0",
             status);
  }
  return true;
}

}  // namespace

void RAV_SINORECONSTRUCTION(const ParameterSet& p, std::int32_t& status) {
  if (st_bad(status, kRoutine)) return;
  UT_WRITE(" ", status);
  UT_WRITE("INFO: Reconstructing directly from sinograms", status);
  UT_WRITE(" ", status);
  if (!rav_run_usable(p, true, kRoutine, status)) return;

  // One slice per stored sinogram; with several ranks this process takes its own slab of them.
  const std::int32_t count =
      (p.NUM_LAST_IMAGE - p.NUM_FIRST_IMAGE + p.FILE_INTERVAL) / p.FILE_INTERVAL;
  const RavSlab slab = rav_mpi_slab(count);
  const std::int32_t NUM_X = p.END_VOXEL_1 - p.START_VOXEL_1 + 1;
  const std::int32_t NUM_Y = p.END_VOXEL_2 - p.START_VOXEL_2 + 1;
  std::vector<float> SINOGRAM, SLICE;
  std::optional<RavReconstructor> reconstructor;
  if (slab.count > 0) {
    rav_allocate(SINOGRAM, std::int64_t{p.NUM_IMAGE_1} * p.NUM_IMAGE_2,
                 "ERROR: Failed to allocate memory for storing the sinogram");
    rav_allocate(SLICE, std::int64_t{NUM_X} * NUM_Y,
                 "ERROR: Failed to allocate memory for output slice");
    reconstructor.emplace(rav_geometry(p.NUM_IMAGE_1, p.NUM_IMAGE_2, p.ROTATION_AXIS_POSITION,
                                       {p.ANGLE_OFFSET, p.ANGLE_BETWEEN_PROJECTIONS, {}},
                                       {p.START_VOXEL_1, p.START_VOXEL_2, NUM_X, NUM_Y}),
                          RavMethod::from_factor(p.OVERSAMPLING_FACTOR));
    UT_WRITE("INFO: Fourier filter initialised", status);
  }

  // Records are numbered over the whole volume: the slab's first sinogram has its own record.
  SliceFile out;
  const auto header = rav_choose_output_format(
      out, p, rav_volume_geometry(p, true, NUM_X, NUM_Y, count, p.NUM_IMAGE_2));
  const bool go = rav_open_output(out, p.OUTPUT_FILE, NUM_X, NUM_Y, slab.count > 0, status);
  std::int32_t NEXT_RECORD = 1 + static_cast<std::int32_t>(slab.first);
  std::int64_t slices_done = 0;
  RunReport report{RunClock::now(status), {}, false, header};
  const RavProgress progress(slab.count, 1);
  rav_progress_pass(1, 0);
  for (std::int64_t n = slab.first; go && n < slab.first + slab.count; ++n) {
    const auto number = static_cast<std::int32_t>(p.NUM_FIRST_IMAGE + n * p.FILE_INTERVAL);
    const bool shown = n * p.FILE_INTERVAL % 10 == 0;
    if (shown) rav_loop_progress(number, status);
    // A sinogram file that cannot be opened ends the run: no record from stale data. One that
    // cannot be read gives a zero slice at its record, never its neighbour's.
    const bool read = read_sinogram(p, number, SINOGRAM, status);
    if (status != ST_OK) break;
    float* sinogram = SINOGRAM.data();
    float* slice = SLICE.data();
    if (read) {
      reconstructor->reconstruct({&sinogram, 1}, {&slice, 1});
    } else {
      std::fill(SLICE.begin(), SLICE.end(), 0.0F);
    }
    if (p.DISPLAY_GRAPHICS && shown) {
      rav_loop_display(reconstructor->geometry(), SLICE, number, status);
    }
    rav_write_record(out, NEXT_RECORD, SLICE);
    ++slices_done;
  }
  rav_close_image_files();
  rav_close_output(out);
  if (go) rav_finish_run(report, true, p.OUTPUT_FILE, NUM_X, NUM_Y, slices_done, status);
}
