// The axis sweep: one slice for every trial axis. The filter does not depend on the axis, so the
// sinogram is filtered once and only the back-projection (whose reconstruction circle and
// positions do) is done per trial. A half-acquisition sinogram is joined about each trial axis,
// so there each trial is filtered too.
#include <algorithm>
#include <cmath>
#include <exception>
#include <stdexcept>

#include "rav_allocate.h"
#include "rav_axis.h"

namespace {

RavGeometry trial_geometry(std::int32_t N, std::int32_t NP, float axis, const RavAngles& angles,
                           const RavBlock& block) {
  const std::string problem = rav_geometry_problem(N, NP, axis, angles, block);
  if (!problem.empty()) throw std::invalid_argument(problem);
  return rav_geometry(N, NP, axis, angles, block);
}

// The slice of a half-acquisition SINOGRAM joined by HALF, of geometry G: joined, filtered and
// back-projected.
void half_acquisition_slice(std::span<const float> sinogram, const RavHalfAcquisition& half,
                            const RavGeometry& g, RavMethod method, const RavFilterPlan& plan,
                            float* slice) {
  std::vector<float> joined;
  rav_allocate(joined, g.sinogram_values(),
               "ERROR: Failed to allocate memory for storing the sinograms");
  rav_join_half_acquisition(half, sinogram, joined);
  RavWorkArrays work = rav_work_arrays(g, method, plan, false);
  float* in = joined.data();
  const RavWork view = work.view();
  rav_reconstruct_slices(g, method, plan, {&in, 1}, {&slice, 1}, {&view, 1});
}

}  // namespace

RavAxisSweep::RavAxisSweep(std::span<const float> sinogram, std::int32_t NUM_BINS,
                           std::int32_t NUM_PROJECTIONS, RavAngles angles, const RavBlock& block,
                           RavMethod method, bool half_acquisition)
    : num_bins_(NUM_BINS),
      num_projections_(NUM_PROJECTIONS),
      angles_(std::move(angles)),
      block_(block),
      method_(method),
      half_acquisition_(half_acquisition),
      plan_(half_acquisition ? 2 * NUM_BINS : NUM_BINS) {
  const std::int64_t values = std::int64_t{NUM_BINS} * NUM_PROJECTIONS;
  if (NUM_BINS < 1 || NUM_PROJECTIONS < 1 || std::ssize(sinogram) < values) {
    throw std::invalid_argument("the sinogram is smaller than its sizes say");
  }
  rav_allocate(sinogram_, values, "ERROR: Failed to allocate memory for storing the sinograms");
  std::copy_n(sinogram.begin(), values, sinogram_.begin());
  if (half_acquisition_) return;
  std::vector<float> work;
  rav_allocate(work, plan_.work_values(),
               "ERROR: Failed to allocated arrays for work space for filtering");
  rav_filter_sinogram(plan_, NUM_PROJECTIONS, sinogram_, work);
}

RavGeometry RavAxisSweep::trial(float axis, RavHalfAcquisition& half) const {
  if (!half_acquisition_) {
    return trial_geometry(num_bins_, num_projections_, axis, angles_, block_);
  }
  std::string problem;
  half = rav_half_acquisition(num_bins_, num_projections_, axis, angles_, problem);
  if (!problem.empty()) throw std::invalid_argument(problem);
  return trial_geometry(half.NUM_BINS, half.NUM_PROJECTIONS, half.AXIS_POSITION, half.angles,
                        block_);
}

void RavAxisSweep::reconstruct(std::span<const float> axes, std::span<float> slices) const {
  const std::int64_t pixels = std::int64_t{block_.NUM_X} * block_.NUM_Y;
  const auto trials = static_cast<std::int64_t>(axes.size());
  if (std::ssize(slices) < trials * pixels) {
    throw std::invalid_argument("the slices are fewer than the trial axes");
  }
  // A failure on a thread travels to the caller after the loop.
  std::exception_ptr failure;
#pragma omp parallel for schedule(dynamic, 1)
  for (std::int64_t t = 0; t < trials; ++t) {
    try {
      float* slice = slices.data() + t * pixels;
      RavHalfAcquisition half;
      const RavGeometry g = trial(axes[static_cast<std::size_t>(t)], half);
      if (half_acquisition_) {
        half_acquisition_slice(sinogram_, half, g, method_, plan_, slice);
      } else {
        const float* in = sinogram_.data();
        rav_backproject(g, method_, {&in, 1}, {&slice, 1});
      }
    } catch (...) {
#pragma omp critical(rav_axis_sweep_failure)
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
}

std::vector<std::uint8_t> RavAxisSweep::common_region(std::span<const float> axes) const {
  std::vector<std::uint8_t> region(
      static_cast<std::size_t>(std::int64_t{block_.NUM_X} * block_.NUM_Y), 1);
  for (const float axis : axes) {
    RavHalfAcquisition half;
    const RavGeometry g = trial(axis, half);
    for (std::int32_t y = 1; y <= g.NUM_Y; ++y) {
      const bool row = y >= g.FIRST_ROW && y <= g.LAST_ROW;
      for (std::int32_t x = 1; x <= g.NUM_X; ++x) {
        const bool inside = row && x >= g.X_STARTS[y - 1] && x <= g.X_ENDS[y - 1];
        if (!inside) region[static_cast<std::size_t>(std::int64_t{y - 1} * g.NUM_X + x - 1)] = 0;
      }
    }
  }
  return region;
}

double rav_sharpness(std::span<const float> slice, const RavBlock& block,
                     std::span<const std::uint8_t> region) {
  // Sums of 2 x 2 pixels, those wholly inside the region, first: the noise of single pixels,
  // and how the interpolation of the back-projection shapes it, count less.
  const std::int64_t nx = block.NUM_X / 2, ny = block.NUM_Y / 2;
  std::vector<double> binned(static_cast<std::size_t>(std::max<std::int64_t>(nx * ny, 0)));
  std::vector<std::uint8_t> inside(binned.size(), 0);
  for (std::int64_t y = 0; y < ny; ++y) {
    for (std::int64_t x = 0; x < nx; ++x) {
      const std::int64_t i = 2 * y * block.NUM_X + 2 * x;
      const std::int64_t corners[4] = {i, i + 1, i + block.NUM_X, i + block.NUM_X + 1};
      bool all = true;
      double sum = 0.0;
      for (std::int64_t c : corners) {
        all = all && region[static_cast<std::size_t>(c)] != 0;
        sum += slice[static_cast<std::size_t>(c)];
      }
      binned[static_cast<std::size_t>(y * nx + x)] = sum;
      inside[static_cast<std::size_t>(y * nx + x)] = all ? 1 : 0;
    }
  }
  double squares = 0.0, absolutes = 0.0;
  const auto add = [&](std::int64_t i, std::int64_t j) {
    if (!inside[static_cast<std::size_t>(i)] || !inside[static_cast<std::size_t>(j)]) return;
    const double d = binned[static_cast<std::size_t>(j)] - binned[static_cast<std::size_t>(i)];
    squares += d * d;
    absolutes += std::abs(d);
  };
  for (std::int64_t y = 0; y < ny; ++y) {
    for (std::int64_t x = 0; x < nx; ++x) {
      if (x + 1 < nx) add(y * nx + x, y * nx + x + 1);
      if (y + 1 < ny) add(y * nx + x, (y + 1) * nx + x);
    }
  }
  return absolutes > 0.0 ? squares / absolutes : 0.0;
}

void rav_axis_sweep(std::span<const float> sinogram, std::int32_t NUM_BINS,
                    std::int32_t NUM_PROJECTIONS, const RavAngles& angles, const RavBlock& block,
                    RavMethod method, std::span<const float> axes, bool half_acquisition,
                    std::span<float> slices) {
  RavAxisSweep(sinogram, NUM_BINS, NUM_PROJECTIONS, angles, block, method, half_acquisition)
      .reconstruct(axes, slices);
}

std::vector<float> rav_sweep_axes(double first, double last, double step) {
  std::vector<float> axes;
  if (!(step > 0.0) || !(last >= first)) return axes;
  const auto count = static_cast<std::int64_t>(std::floor((last - first) / step + 1.0e-3)) + 1;
  for (std::int64_t n = 0; n < count; ++n) axes.push_back(static_cast<float>(first + n * step));
  return axes;
}
