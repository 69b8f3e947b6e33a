// Back-projection of two sinograms into two slices at once, nearest detector bin: the
// geometry (angles, positions, bins) is worked out once for both.
#include <string_view>

#include "rav_kernels.h"
#include "rav_numerics.h"
#include "ut.h"

namespace {
constexpr std::string_view kRoutine = "Subroutine RAV_BACKPROJECT_NEAREST V0.6 ";
}

void RAV_BACKPROJECT_NEAREST(const RavGeometry& geometry, std::span<const float> SINOGRAM_1,
                             std::span<const float> SINOGRAM_2, std::span<float> SLICE_1,
                             std::span<float> SLICE_2, std::int32_t& status) {
  if (st_bad(status, kRoutine)) return;
  if (rav_kernel_target() == RavKernelTarget::REFERENCE) {
    rav_backproject_reference<RavInterpolation::NEAREST, 2>(geometry, {SINOGRAM_1, SINOGRAM_2},
                                                            {SLICE_1, SLICE_2});
    return;
  }
  const float* sinograms[2] = {SINOGRAM_1.data(), SINOGRAM_2.data()};
  float* slices[2] = {SLICE_1.data(), SLICE_2.data()};
  rav_kernel_backproject_slices(RavKernelMethod::NEAREST, geometry, 2, sinograms, slices);
}
