// One slice from one sinogram: ramp-filter every projection in place, then back-project.
#include <algorithm>
#include <cassert>
#include <iterator>
#include <string_view>

#include "rav_numerics.h"
#include "ut.h"

namespace {
constexpr std::string_view kRoutine = "Subroutine RAV_RECON_1SLICE V0.1 ";
}

void RAV_RECON_1SLICE(const RavGeometry& geometry, std::int32_t METHOD,
                      const RavFilterSet& filter, std::span<float> SINOGRAM,
                      std::span<float> SLICE, std::span<float> WORK, std::int32_t& status) {
  if (st_bad(status, kRoutine)) return;
  const std::int64_t bins = geometry.NUM_BINS;
  assert(std::ssize(SINOGRAM) >= bins * geometry.NUM_PROJECTIONS);
  const std::int64_t kept = std::min<std::int64_t>(bins, std::min(filter.NFFT, std::ssize(WORK)));
  for (std::int64_t j = 0; j < geometry.NUM_PROJECTIONS; ++j) {
    const auto projection = SINOGRAM.subspan(j * bins, bins);
    rav_filter_projection(geometry.NUM_BINS, projection, filter, WORK, status);
    if (status != ST_OK) return;  // every later call would return at once
    std::copy_n(WORK.begin(), kept, projection.begin());
  }
  if (METHOD == 0) {
    RAV_BACKPROJECT_1LINEAR(geometry, SINOGRAM, SLICE, status);
  } else if (METHOD == 1) {
    RAV_BACKPROJECT_1NEAREST(geometry, SINOGRAM, SLICE, status);
  }
}
