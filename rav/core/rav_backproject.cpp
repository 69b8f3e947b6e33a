// Back-projection of one or two filtered sinograms into one or two slices, by nearest bin or
// linear interpolation; the two-slice routines work out the geometry once for both slices.
#include <array>
#include <string_view>

#include "rav_numerics.h"
#include "ut.h"

namespace {

void backproject(std::string_view routine, const RavGeometry& geometry, RavMethod::Kind kind,
                 std::array<const float*, 2> sinograms, std::array<float*, 2> slices, int NS,
                 std::int32_t& status) {
  if (st_bad(status, routine)) return;
  rav_backproject(geometry, {kind, 1}, std::span(sinograms).first(NS),
                  std::span(slices).first(NS));
}

}  // namespace

void RAV_BACKPROJECT_1NEAREST(const RavGeometry& geometry, std::span<const float> SINOGRAM,
                              std::span<float> SLICE, std::int32_t& status) {
  backproject("Subroutine RAV_BACKPROJECT_1NEAREST V0.1 ", geometry, RavMethod::NEAREST,
              {SINOGRAM.data()}, {SLICE.data()}, 1, status);
}

void RAV_BACKPROJECT_1LINEAR(const RavGeometry& geometry, std::span<const float> SINOGRAM,
                             std::span<float> SLICE, std::int32_t& status) {
  backproject("Subroutine RAV_BACKPROJECT_1LINEAR V0.1 ", geometry, RavMethod::LINEAR,
              {SINOGRAM.data()}, {SLICE.data()}, 1, status);
}

void RAV_BACKPROJECT_NEAREST(const RavGeometry& geometry, std::span<const float> SINOGRAM_1,
                             std::span<const float> SINOGRAM_2, std::span<float> SLICE_1,
                             std::span<float> SLICE_2, std::int32_t& status) {
  backproject("Subroutine RAV_BACKPROJECT_NEAREST V0.6 ", geometry, RavMethod::NEAREST,
              {SINOGRAM_1.data(), SINOGRAM_2.data()}, {SLICE_1.data(), SLICE_2.data()}, 2,
              status);
}

void RAV_BACKPROJECT_LINEAR(const RavGeometry& geometry, std::span<const float> SINOGRAM_1,
                            std::span<const float> SINOGRAM_2, std::span<float> SLICE_1,
                            std::span<float> SLICE_2, std::int32_t& status) {
  backproject("Subroutine RAV_BACKPROJECT_LINEAR V0.7 ", geometry, RavMethod::LINEAR,
              {SINOGRAM_1.data(), SINOGRAM_2.data()}, {SLICE_1.data(), SLICE_2.data()}, 2,
              status);
}
