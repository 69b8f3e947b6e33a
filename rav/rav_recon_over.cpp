// Oversampled reconstruction of two slices at once: the same steps as RAV_RECON_1OVER for two
// sinograms, with each pixel's fine-sample index computed once for both slices.
#include <cmath>
#include <cstdint>
#include <span>

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
  rav_recon_over_slices(geometry, OV, filter, 2, {SINOGRAM_1, SINOGRAM_2}, {SLICE_1, SLICE_2},
                        {OVERSAMPLED_1, OVERSAMPLED_2}, {WORK_1, WORK_2}, status, kRoutine);
}
