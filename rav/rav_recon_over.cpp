// Oversampled reconstruction of two slices at once: the same steps as RAV_RECON_1OVER for two
// sinograms, with each pixel's fine-sample index computed once for both slices.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "rav_kernels.h"
#include "rav_numerics.h"
#include "rav_slice_loops.h"
#include "ut.h"

namespace {
constexpr std::string_view kRoutine = "Subroutine RAV_RECON_OVER V0.7 ";
}  // namespace

void rav_backproject_over(const RavGeometry& geometry, std::int32_t OV, float THETA,
                          std::span<const float> OVERSAMPLED_1,
                          std::span<const float> OVERSAMPLED_2, std::span<float> SLICE_1,
                          std::span<float> SLICE_2) {
  const float a = std::cos(THETA);
  const float b = std::sin(THETA);
  if (!std::isfinite(a) || !std::isfinite(b)) return;
  const float ov = static_cast<float>(OV);
  const float D = a * ov;
  const float A = geometry.AXIS_POSITION;
  const float* fine_1 = OVERSAMPLED_1.data();
  const float* fine_2 = OVERSAMPLED_2.data();
  for (std::int32_t y = geometry.FIRST_ROW; y <= geometry.LAST_ROW; ++y) {
    const std::int32_t xs = geometry.X_STARTS[static_cast<std::size_t>(y - 1)];
    const std::int32_t xe = geometry.X_ENDS[static_cast<std::size_t>(y - 1)];
    if (xe < xs) continue;
    const std::int32_t i = geometry.X_START + xs - 1;
    const std::int32_t r = geometry.Y_START + y - 1;
    const float u = ((static_cast<float>(i) - 0.5f) - A) * a -
                    ((static_cast<float>(r) - 0.5f) - A) * b + A;
    float q = (u - 0.5f) * ov + 0.99999f;
    const std::int64_t start = static_cast<std::int64_t>(y - 1) * geometry.NUM_X;
    float* row_1 = SLICE_1.data() + start;
    float* row_2 = SLICE_2.data() + start;
    // Local column x and fine sample n = int(q) are 1-based.
    for (std::int32_t x = xs; x <= xe; ++x) {
      const std::int32_t n = static_cast<std::int32_t>(q) - 1;
      row_1[x - 1] += fine_1[n];
      row_2[x - 1] += fine_2[n];
      q += D;
    }
  }
}

void RAV_RECON_OVER(const RavGeometry& geometry, std::int32_t OV, const RavFilterSet& filter,
                    std::span<const float> SINOGRAM_1, std::span<const float> SINOGRAM_2,
                    std::span<float> SLICE_1, std::span<float> SLICE_2,
                    std::span<float> OVERSAMPLED_1, std::span<float> OVERSAMPLED_2,
                    std::span<float> WORK_1, std::span<float> WORK_2, std::int32_t& status) {
  if (st_bad(status, kRoutine)) return;
  if (!rav_over_arrays_fit(geometry, OV, filter, SINOGRAM_1, SLICE_1, OVERSAMPLED_1, WORK_1,
                           status, kRoutine) ||
      !rav_over_arrays_fit(geometry, OV, filter, SINOGRAM_2, SLICE_2, OVERSAMPLED_2, WORK_2,
                           status, kRoutine)) {
    return;
  }
  const std::int64_t num_bins = geometry.NUM_BINS;
  const std::int64_t pixels = static_cast<std::int64_t>(geometry.NUM_X) * geometry.NUM_Y;
  std::fill_n(SLICE_1.data(), pixels, 0.0f);
  std::fill_n(SLICE_2.data(), pixels, 0.0f);
  // The fast kernels take the projections in batches, as many as the shorter of OVERSAMPLED_1
  // and OVERSAMPLED_2 holds (a few at least, see RAV_RECON_1OVER).
  const std::int64_t fine = OV * num_bins;
  const std::int64_t slots =
      static_cast<std::int64_t>(std::min(OVERSAMPLED_1.size(), OVERSAMPLED_2.size())) / fine;
  if (rav_kernel_target() != RavKernelTarget::REFERENCE && slots >= rav_over_fewest_slots()) {
    thread_local std::vector<RavKernelProjection> pending;
    pending.resize(static_cast<std::size_t>(slots));
    std::int64_t count = 0;
    float* slices[2] = {SLICE_1.data(), SLICE_2.data()};
    for (std::int64_t j = 0; j < geometry.NUM_PROJECTIONS; ++j) {
      rav_filter_projection(geometry.NUM_BINS, SINOGRAM_1.subspan(j * num_bins, num_bins),
                            filter, WORK_1, status);
      rav_filter_projection(geometry.NUM_BINS, SINOGRAM_2.subspan(j * num_bins, num_bins),
                            filter, WORK_2, status);
      if (status != ST_OK) break;
      RavKernelProjection& entry = pending[static_cast<std::size_t>(count)];
      if (!rav_over_batch_entry(rav_over_angle(geometry.START_ANGLE, geometry.ANGLE_STEP, j),
                                entry)) {
        continue;
      }
      const auto slot_1 = OVERSAMPLED_1.subspan(count * fine, fine);
      const auto slot_2 = OVERSAMPLED_2.subspan(count * fine, fine);
      rav_oversample_projection(WORK_1.first(num_bins), OV, slot_1);
      rav_oversample_projection(WORK_2.first(num_bins), OV, slot_2);
      entry.data[0] = slot_1.data();
      entry.data[1] = slot_2.data();
      if (++count == slots) rav_over_batch_add(geometry, OV, pending, count, 2, slices);
    }
    rav_over_batch_add(geometry, OV, pending, count, 2, slices);
    return;
  }
  for (std::int64_t j = 0; j < geometry.NUM_PROJECTIONS; ++j) {
    rav_filter_projection(geometry.NUM_BINS, SINOGRAM_1.subspan(j * num_bins, num_bins), filter,
                          WORK_1, status);
    rav_filter_projection(geometry.NUM_BINS, SINOGRAM_2.subspan(j * num_bins, num_bins), filter,
                          WORK_2, status);
    if (status != ST_OK) return;
    rav_oversample_projection(WORK_1.first(num_bins), OV, OVERSAMPLED_1);
    rav_oversample_projection(WORK_2.first(num_bins), OV, OVERSAMPLED_2);
    rav_backproject_over(geometry, OV,
                         rav_over_angle(geometry.START_ANGLE, geometry.ANGLE_STEP, j),
                         OVERSAMPLED_1, OVERSAMPLED_2, SLICE_1, SLICE_2);
  }
}
