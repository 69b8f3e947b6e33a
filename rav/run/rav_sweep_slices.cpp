// AXIS_SWEEP: one slice per trial axis, written as the records of the output file in the order
// of the axes, a line for each, and montage pages when the graphics are on.
#include <omp.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "rav_allocate.h"
#include "rav_axis_run.h"
#include "ut.h"

namespace {
// The sharpest slice of the sweep so far.
struct Sharpest {
  double sharpness = -1.0;
  std::int32_t record = 0;
  float axis = 0.0f;
  void consider(double value, std::int32_t at, float trial) {
    if (value <= sharpness) return;
    sharpness = value;
    record = at;
    axis = trial;
  }
};
}  // namespace

std::int64_t rav_sweep_slices(const ParameterSet& p, const RavBlock& block,
                              std::span<const float> sinogram, std::int32_t NUM_BINS,
                              std::int32_t NUM_PROJECTIONS, std::int32_t slice, SliceFile& out,
                              std::int32_t& NEXT_RECORD, ReconTimes& times, std::int32_t& status) {
  if (status != ST_OK) return 0;
  const AxisSweep& s = p.AXIS_SWEEP;
  const std::vector<float> axes = rav_sweep_axes(s.FIRST, s.LAST, s.STEP);
  UT_WRITE("INFO: Axis sweep of slice " + std::to_string(slice) + ": " +
               std::to_string(axes.size()) + " trial axes from " + rav_axis_number(s.FIRST, 2) +
               " to " + rav_axis_number(axes.back(), 2) + " in steps of " +
               rav_axis_number(s.STEP, 2) + ", one record each",
           status);
  const std::int64_t pixels = std::int64_t{block.NUM_X} * block.NUM_Y;
  // A montage page at a time with the graphics, else a few trials per thread.
  const std::int64_t chunk = p.DISPLAY_GRAPHICS ? kRavMontageColumns * kRavMontageRows
                                                : 2 * std::int64_t{omp_get_max_threads()};
  std::vector<float> slices;
  rav_allocate(slices, std::min<std::int64_t>(chunk, std::ssize(axes)) * pixels,
               "ERROR: Failed to allocate memory for output slice");
  RunClock clock = RunClock::now(status);
  try {
    const RavAxisSweep sweep(sinogram, NUM_BINS, NUM_PROJECTIONS, rav_run_angles(p), block,
                             RavMethod::from_factor(p.OVERSAMPLING_FACTOR), p.HALF_ACQUISITION);
    const std::vector<std::uint8_t> region = sweep.common_region(axes);
    Sharpest sharpest;
    for (std::int64_t first = 0; first < std::ssize(axes); first += chunk) {
      const auto trials = std::span<const float>(axes).subspan(
          static_cast<std::size_t>(first),
          static_cast<std::size_t>(std::min<std::int64_t>(chunk, std::ssize(axes) - first)));
      sweep.reconstruct(trials, slices);
      clock.add_since(times.ELAPSE_RECONSTRUCTION, times.CPU_RECONSTRUCTION, status);
      for (std::size_t t = 0; t < trials.size(); ++t) {
        const auto slice = std::span<const float>(slices).subspan(t * pixels, pixels);
        const double sharpness = rav_sharpness(slice, block, region);
        sharpest.consider(sharpness, NEXT_RECORD, trials[t]);
        UT_WRITE("INFO: Record " + ut_fmt_int(NEXT_RECORD, 4) + ": axis " +
                     rav_axis_number(trials[t], 2) + ", sharpness " + rav_axis_number(sharpness, 6),
                 status);
        const RunClock before = RunClock::now(status);
        rav_write_record(out, NEXT_RECORD, slice);
        before.add_since(times.ELAPSE_OUTPUT, times.CPU_OUTPUT, status);
      }
      if (p.DISPLAY_GRAPHICS) {
        rav_sweep_montage(std::span<const float>(slices).first(trials.size() * pixels), block.NUM_X,
                          block.NUM_Y, trials, status);
      }
      clock = RunClock::now(status);
    }
    UT_WRITE("INFO: Sharpest: record " + std::to_string(sharpest.record) + ", axis " +
                 rav_axis_number(sharpest.axis, 2) + " (a hint: look at the slices)",
             status);
  } catch (const std::invalid_argument& problem) {
    // The checks of the parameters let no such trial axis through.
    throw RavFatalError(std::string("ERROR: Axis sweep: ") + problem.what());
  }
  return std::ssize(axes);
}
