// Back-projection of one sinogram into one slice, linear interpolation between bins.
#include <string_view>

#include "rav_kernels.h"
#include "rav_numerics.h"
#include "ut.h"

namespace {
constexpr std::string_view kRoutine = "Subroutine RAV_BACKPROJECT_1LINEAR V0.1 ";
}

void RAV_BACKPROJECT_1LINEAR(const RavGeometry& geometry, std::span<const float> SINOGRAM,
                             std::span<float> SLICE, std::int32_t& status) {
  if (st_bad(status, kRoutine)) return;
  if (rav_kernel_target() == RavKernelTarget::REFERENCE) {
    rav_backproject_reference<RavInterpolation::LINEAR, 1>(geometry, {SINOGRAM}, {SLICE});
    return;
  }
  const float* sinograms[2] = {SINOGRAM.data(), nullptr};
  float* slices[2] = {SLICE.data(), nullptr};
  rav_kernel_backproject_slices(RavKernelMethod::LINEAR, geometry, 1, sinograms, slices);
}
