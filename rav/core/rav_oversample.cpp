// Resampling of filtered projections onto a grid finer than the detector bins.
#include <algorithm>

#include "rav_numerics.h"

void rav_oversample_projection(std::span<const float> PROJECTION, std::int32_t OV,
                               std::span<float> OVERSAMPLED) {
  const std::int64_t num_bins = static_cast<std::int64_t>(PROJECTION.size());
  if (num_bins < 1 || OV < 1) return;
  const float R = 1.0f / static_cast<float>(OV);
  // 0-based: the centre of bin i (from 0) is sample i·OV.
  for (std::int64_t i = 0; i + 1 < num_bins; ++i) {
    const float left = PROJECTION[static_cast<std::size_t>(i)];
    const float right = PROJECTION[static_cast<std::size_t>(i + 1)];
    float* fine = OVERSAMPLED.data() + i * OV;
    fine[0] = left;
    for (std::int32_t m = 1; m < OV; ++m) {
      fine[m] = (static_cast<float>(OV - m) * left + static_cast<float>(m) * right) * R;
    }
  }
  const float last = PROJECTION[static_cast<std::size_t>(num_bins - 1)];
  std::fill_n(OVERSAMPLED.data() + (num_bins - 1) * OV, OV, last);
}

std::int64_t rav_oversampled_values(std::int32_t OV, std::int32_t NUM_BINS) {
  const std::int64_t one = static_cast<std::int64_t>(std::max(OV, 0)) * std::max(NUM_BINS, 0);
  if (one == 0) return 0;
  // A batch of about 512 KB, at least four projections and at most 32.
  const std::int64_t batch = std::clamp<std::int64_t>((std::int64_t{1} << 17) / one, 4, 32);
  return batch * one;
}
