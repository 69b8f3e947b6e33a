// A whole reconstruction from stored sinogram images: one sinogram at a time is read,
// reconstructed, shown (every tenth) and written.
#include <algorithm>
#include <optional>
#include <string>

#include "rav_allocate.h"
#include "rav_axis_run.h"
#include "rav_drivers.h"
#include "rav_in_zelfa.h"
#include "ut.h"

namespace {
constexpr std::string_view kRoutine = "Subroutine RAV_SINORECONSTRUCTION V0.1 ";

// Reads sinogram NUMBER into SINOGRAM. False when its file cannot be opened (the status is then
// bad) or cannot be read (with a warning); values that are not finite are set to 0 with a
// warning, since one of them would spread over the whole slice through the filter.
bool read_sinogram(const ParameterSet& p, std::int32_t number, std::span<float> SINOGRAM,
                   std::int32_t& status) {
  bool overflow = false;
  std::string name;
  UT_FILENAME(p.FILE_PREFIX, number, !p.NUMBER_LENGTH_VARIES, p.LENGTH_OF_NUMERICAL_PART,
              p.FILE_POSTFIX, overflow, name, status);
  name.resize(static_cast<std::size_t>(SLEN(name)));
  std::int32_t retstat = 0, xnum = 0, ynum = 0;
  RAV_IN_ZELFA(p.NUM_IMAGE_1, p.NUM_IMAGE_2, 1, 1, p.NUM_IMAGE_1, p.NUM_IMAGE_2, name, retstat,
               xnum, ynum, SINOGRAM, status);
  if (status != ST_OK || retstat != 0) {
    rav_input_warning(name, status == ST_OK);
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

// The arrays and the reconstructor of a run from stored sinograms.
struct SinogramArrays {
  std::vector<float> SINOGRAM, SLICE, JOINED;
  std::optional<RavReconstructor> reconstructor;
  std::optional<RavHalfAcquisition> half;  // HALF_ACQUISITION: how a sinogram is joined
  // The sinogram to reconstruct: the one read, or, for half acquisition, it joined.
  float* input() {
    if (!half) return SINOGRAM.data();
    rav_join_half_acquisition(*half, SINOGRAM, JOINED);
    return JOINED.data();
  }
};

void prepare(const ParameterSet& p, std::int32_t NUM_X, std::int32_t NUM_Y, SinogramArrays& a,
             std::int32_t& status) {
  rav_allocate(a.SINOGRAM, std::int64_t{p.NUM_IMAGE_1} * p.NUM_IMAGE_2,
               "ERROR: Failed to allocate memory for storing the sinogram");
  rav_allocate(a.SLICE, std::int64_t{NUM_X} * NUM_Y,
               "ERROR: Failed to allocate memory for output slice");
  a.reconstructor.emplace(
      rav_run_geometry(p, p.NUM_IMAGE_1, p.NUM_IMAGE_2,
                       {p.START_VOXEL_1, p.START_VOXEL_2, NUM_X, NUM_Y}, a.half),
      RavMethod::from_factor(p.OVERSAMPLING_FACTOR));
  if (a.half) {
    rav_report_half_acquisition(*a.half, status);
    rav_allocate(a.JOINED, a.reconstructor->geometry().sinogram_values(),
                 "ERROR: Failed to allocate memory for storing the sinogram");
  }
  UT_WRITE("INFO: Fourier filter initialised", status);
}

// ROTATION_AXIS_POSITION = AUTO: rank 0 reads up to 16 of the COUNT sinograms, in the middle of
// the series, and finds the axis; every rank then holds it in P.
bool find_axis(ParameterSet& p, std::int32_t count, std::int32_t& status) {
  constexpr std::int32_t kSinograms = 16;
  const std::int64_t size = std::int64_t{p.NUM_IMAGE_1} * p.NUM_IMAGE_2;
  std::vector<float> sinograms;
  std::int32_t rows = 0;
  if (rav_mpi_is_root()) {
    rows = std::min(kSinograms, count);
    const std::int32_t first = (count - rows) / 2;
    UT_WRITE("INFO: Finding the rotation axis from sinograms " +
                 std::to_string(p.NUM_FIRST_IMAGE + first * p.FILE_INTERVAL) + " to " +
                 std::to_string(p.NUM_FIRST_IMAGE + (first + rows - 1) * p.FILE_INTERVAL),
             status);
    rav_allocate(sinograms, rows * size,
                 "ERROR: Failed to allocate memory for storing the sinogram");
    for (std::int32_t n = 0; n < rows && status == ST_OK; ++n) {
      const auto at = static_cast<std::size_t>(n * size);
      read_sinogram(p, p.NUM_FIRST_IMAGE + (first + n) * p.FILE_INTERVAL,
                    std::span<float>(sinograms).subspan(at), status);
    }
  }
  float axis = p.ROTATION_AXIS_POSITION;
  if (!rav_decide_axis(sinograms, rows, p.NUM_IMAGE_1, p.NUM_IMAGE_2, rav_run_angles(p), axis,
                       status)) {
    return false;
  }
  p.ROTATION_AXIS_POSITION = axis;
  return true;
}

// AXIS_SWEEP: the first sinogram of the series, one record per trial axis, by rank 0.
void sweep(const ParameterSet& p, std::int32_t& status) {
  const std::int32_t NUM_X = p.END_VOXEL_1 - p.START_VOXEL_1 + 1;
  const std::int32_t NUM_Y = p.END_VOXEL_2 - p.START_VOXEL_2 + 1;
  SafeOutput out;
  const bool go = rav_open_output(out, p.OUTPUT_FILE, NUM_X, NUM_Y, rav_mpi_is_root(), status);
  RunReport report{RunClock::now(status), {}, false};
  if (go && rav_mpi_is_root()) {
    std::vector<float> SINOGRAM;
    rav_allocate(SINOGRAM, std::int64_t{p.NUM_IMAGE_1} * p.NUM_IMAGE_2,
                 "ERROR: Failed to allocate memory for storing the sinogram");
    std::int32_t NEXT_RECORD = 1;
    if (read_sinogram(p, p.NUM_FIRST_IMAGE, SINOGRAM, status)) {
      report.slices = report.slices_from_input = rav_sweep_slices(
          p, {p.START_VOXEL_1, p.START_VOXEL_2, NUM_X, NUM_Y}, SINOGRAM, p.NUM_IMAGE_1,
          p.NUM_IMAGE_2, p.NUM_FIRST_IMAGE, out.slices(), NEXT_RECORD, report.times, status);
    }
  }
  rav_close_output(out);
  if (go) rav_finish_run(report, &out, p.OUTPUT_FILE, NUM_X, NUM_Y, status);
}

}  // namespace

void RAV_SINORECONSTRUCTION(const ParameterSet& parameters, std::int32_t& status) {
  if (st_bad(status, kRoutine)) return;
  UT_WRITE(" ", status);
  UT_WRITE("INFO: Reconstructing directly from sinograms", status);
  UT_WRITE(" ", status);
  if (!rav_run_usable(parameters, true, kRoutine, status)) return;
  ParameterSet p = parameters;

  // One slice per stored sinogram; with several ranks this process takes its own slab of them.
  const std::int32_t count =
      (p.NUM_LAST_IMAGE - p.NUM_FIRST_IMAGE + p.FILE_INTERVAL) / p.FILE_INTERVAL;
  if (p.ROTATION_AXIS_AUTO && !find_axis(p, count, status)) return;
  if (p.AXIS_SWEEP.given) return sweep(p, status);
  const RavSlab slab = rav_mpi_slab(count);
  const std::int32_t NUM_X = p.END_VOXEL_1 - p.START_VOXEL_1 + 1;
  const std::int32_t NUM_Y = p.END_VOXEL_2 - p.START_VOXEL_2 + 1;
  SinogramArrays a;
  if (slab.count > 0) prepare(p, NUM_X, NUM_Y, a, status);

  // Records are numbered over the whole volume: the slab's first sinogram has its own record.
  SafeOutput out;
  const bool go = rav_open_output(out, p.OUTPUT_FILE, NUM_X, NUM_Y, slab.count > 0, status);
  std::int32_t NEXT_RECORD = 1 + static_cast<std::int32_t>(slab.first);
  RunReport report{RunClock::now(status), {}, false};
  for (std::int64_t n = slab.first; go && n < slab.first + slab.count; ++n) {
    const auto number = static_cast<std::int32_t>(p.NUM_FIRST_IMAGE + n * p.FILE_INTERVAL);
    const bool shown = n * p.FILE_INTERVAL % 10 == 0;
    if (shown) rav_loop_progress(number, status);
    // A sinogram file that cannot be opened ends the run: no record from stale data. One that
    // cannot be read gives a zero slice at its record, never its neighbour's.
    const bool read = read_sinogram(p, number, a.SINOGRAM, status);
    if (status != ST_OK) break;
    float* slice = a.SLICE.data();
    if (read) {
      float* sinogram = a.input();
      a.reconstructor->reconstruct({&sinogram, 1}, {&slice, 1});
      ++report.slices_from_input;
    } else {
      std::fill(a.SLICE.begin(), a.SLICE.end(), 0.0F);
    }
    if (p.DISPLAY_GRAPHICS && shown) {
      rav_loop_display(a.reconstructor->geometry(), a.SLICE, number, status);
    }
    rav_write_record(out.slices(), NEXT_RECORD, a.SLICE);
    ++report.slices;
  }
  rav_close_output(out);
  if (go) rav_finish_run(report, &out, p.OUTPUT_FILE, NUM_X, NUM_Y, status);
}
