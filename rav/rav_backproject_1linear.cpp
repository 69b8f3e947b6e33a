// Back-projection of one sinogram into one slice, linear interpolation between bins.
#include <string_view>

#include "rav_numerics.h"
#include "ut.h"

namespace {
constexpr std::string_view kRoutine = "Subroutine RAV_BACKPROJECT_1LINEAR V0.1 ";
}

void RAV_BACKPROJECT_1LINEAR(const RavGeometry& geometry, std::span<const float> SINOGRAM,
                             std::span<float> SLICE, std::int32_t& status) {
  if (st_bad(status, kRoutine)) return;
  rav_backproject_reference<RavInterpolation::LINEAR, 1>(geometry, {SINOGRAM}, {SLICE});
}
