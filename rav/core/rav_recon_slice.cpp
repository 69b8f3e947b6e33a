// One slice from one sinogram, or two adjacent slices from two: ramp-filter every projection in
// place, then back-project (the two-slice routine works out the geometry once for both).
#include <array>
#include <iterator>
#include <string_view>

#include "rav_numerics.h"
#include "ut.h"

namespace {

// The design's filtering of NS sinograms through their work arrays, then the back-projection of
// METHOD 0 (linear) or 1 (nearest); any other METHOD only filters.
void recon(std::string_view routine, const RavGeometry& geometry, std::int32_t METHOD,
           const RavFilterPlan& plan, std::array<std::span<float>, 2> sinograms,
           std::array<std::span<float>, 2> slices, std::array<std::span<float>, 2> work, int NS,
           std::int32_t& status) {
  if (st_bad(status, routine)) return;
  for (int n = 0; n < NS; ++n) {
    if (std::ssize(work[n]) < plan.work_values()) {
      // The transform refuses a work array shorter than itself (status 20005, its own text).
      RAV_FFA8(plan.NFFT(), plan.NFFT(), 2 * plan.NFFT(), plan.TWIDDLE(), true, work[n], status);
      return;
    }
  }
  for (int n = 0; n < NS; ++n) {
    rav_filter_sinogram(plan, geometry.NUM_PROJECTIONS, sinograms[n], work[n]);
  }
  if (METHOD != 0 && METHOD != 1) return;
  const std::array<const float*, 2> filtered{sinograms[0].data(), sinograms[1].data()};
  const std::array<float*, 2> out{slices[0].data(), slices[1].data()};
  rav_backproject(geometry, RavMethod::from_factor(METHOD), std::span(filtered).first(NS),
                  std::span(out).first(NS));
}

}  // namespace

void RAV_RECON_1SLICE(const RavGeometry& geometry, std::int32_t METHOD, const RavFilterPlan& plan,
                      std::span<float> SINOGRAM, std::span<float> SLICE, std::span<float> WORK,
                      std::int32_t& status) {
  recon("Subroutine RAV_RECON_1SLICE V0.1 ", geometry, METHOD, plan, {SINOGRAM}, {SLICE},
        {WORK}, 1, status);
}

void RAV_RECON_SLICE(const RavGeometry& geometry, std::int32_t METHOD, const RavFilterPlan& plan,
                     std::span<float> SINOGRAM_1, std::span<float> SINOGRAM_2,
                     std::span<float> SLICE_1, std::span<float> SLICE_2,
                     std::span<float> WORK_1, std::span<float> WORK_2, std::int32_t& status) {
  recon("Subroutine RAV_RECON_SLICE V0.7 ", geometry, METHOD, plan, {SINOGRAM_1, SINOGRAM_2},
        {SLICE_1, SLICE_2}, {WORK_1, WORK_2}, 2, status);
}
