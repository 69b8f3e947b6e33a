// Two adjacent slices from two sinograms: both are filtered projection by projection, then
// back-projected together so that the geometry is worked out once for both.
#include <algorithm>
#include <cassert>
#include <iterator>
#include <string_view>

#include "rav_numerics.h"
#include "ut.h"

namespace {
constexpr std::string_view kRoutine = "Subroutine RAV_RECON_SLICE V0.7 ";
}

void RAV_RECON_SLICE(const RavGeometry& geometry, std::int32_t METHOD, const RavFilterSet& filter,
                     std::span<float> SINOGRAM_1, std::span<float> SINOGRAM_2,
                     std::span<float> SLICE_1, std::span<float> SLICE_2,
                     std::span<float> WORK_1, std::span<float> WORK_2, std::int32_t& status) {
  if (st_bad(status, kRoutine)) return;
  const std::int64_t bins = geometry.NUM_BINS;
  assert(std::ssize(SINOGRAM_1) >= bins * geometry.NUM_PROJECTIONS &&
         std::ssize(SINOGRAM_2) >= bins * geometry.NUM_PROJECTIONS);
  const std::int64_t room = std::min({filter.NFFT, std::ssize(WORK_1), std::ssize(WORK_2)});
  const std::int64_t kept = std::min<std::int64_t>(bins, room);
  for (std::int64_t j = 0; j < geometry.NUM_PROJECTIONS; ++j) {
    const auto projection_1 = SINOGRAM_1.subspan(j * bins, bins);
    const auto projection_2 = SINOGRAM_2.subspan(j * bins, bins);
    rav_filter_projection(geometry.NUM_BINS, projection_1, filter, WORK_1, status);
    rav_filter_projection(geometry.NUM_BINS, projection_2, filter, WORK_2, status);
    if (status != ST_OK) return;
    std::copy_n(WORK_1.begin(), kept, projection_1.begin());
    std::copy_n(WORK_2.begin(), kept, projection_2.begin());
  }
  if (METHOD == 0) {
    RAV_BACKPROJECT_LINEAR(geometry, SINOGRAM_1, SINOGRAM_2, SLICE_1, SLICE_2, status);
  } else if (METHOD == 1) {
    RAV_BACKPROJECT_NEAREST(geometry, SINOGRAM_1, SINOGRAM_2, SLICE_1, SLICE_2, status);
  }
}
