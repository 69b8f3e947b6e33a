// Oversampled reconstruction of one slice, or of two slices at once: filter each projection,
// resample it onto a grid OV times finer than the bins, and back-project by taking the fine
// sample at or just left of each pixel's projected position (no interpolation per pixel).
#include <algorithm>
#include <array>
#include <iterator>
#include <string_view>

#include "rav_numerics.h"
#include "ut.h"

namespace {

// STATUS 20017 (OV or NUM_BINS below 1) or 20005 (an array too short for the sizes or limits of
// GEOMETRY), with ROUTINE recorded, when the arrays of one sinogram cannot be used.
bool arrays_fit(const RavGeometry& g, std::int32_t OV, const RavFilterPlan& plan,
                std::span<const float> SINOGRAM, std::span<float> SLICE,
                std::span<float> OVERSAMPLED, std::span<float> WORK, std::int32_t& status,
                std::string_view routine) {
  if (OV < 1 || g.NUM_BINS < 1) {
    status = 20017;
    ST_SAVE(routine);
    return false;
  }
  const bool rows = g.LAST_ROW < g.FIRST_ROW ||
                    (g.FIRST_ROW >= 1 && g.LAST_ROW <= g.NUM_Y &&
                     std::ssize(g.X_STARTS) >= g.LAST_ROW && std::ssize(g.X_ENDS) >= g.LAST_ROW);
  if (!rows || std::ssize(SINOGRAM) < g.sinogram_values() || std::ssize(SLICE) < g.pixels() ||
      std::ssize(OVERSAMPLED) < std::int64_t{OV} * g.NUM_BINS ||
      std::ssize(WORK) < plan.work_values()) {
    status = 20005;
    ST_SAVE(routine);
    return false;
  }
  return true;
}

void recon_over(std::string_view routine, const RavGeometry& geometry, std::int32_t OV,
                const RavFilterPlan& plan, std::array<std::span<const float>, 2> sinograms,
                std::array<std::span<float>, 2> slices, std::array<std::span<float>, 2> fine,
                std::array<std::span<float>, 2> work, int NS, std::int32_t& status) {
  if (st_bad(status, routine)) return;
  std::array<const float*, 2> input{};
  std::array<float*, 2> out{};
  std::array<RavWork, 2> arrays;
  for (int n = 0; n < NS; ++n) {
    if (!arrays_fit(geometry, OV, plan, sinograms[n], slices[n], fine[n], work[n], status,
                    routine)) {
      return;
    }
    input[n] = sinograms[n].data();
    out[n] = slices[n].data();
    arrays[n] = {work[n], fine[n]};
  }
  rav_reconstruct_over(geometry, OV, plan, std::span(input).first(NS), std::span(out).first(NS),
                       std::span(arrays).first(NS));
}

}  // namespace

void RAV_RECON_1OVER(const RavGeometry& geometry, std::int32_t OV, const RavFilterPlan& plan,
                     std::span<const float> SINOGRAM, std::span<float> SLICE,
                     std::span<float> OVERSAMPLED, std::span<float> WORK, std::int32_t& status) {
  recon_over("Subroutine RAV_RECON_1OVER V0.2 ", geometry, OV, plan, {SINOGRAM}, {SLICE},
             {OVERSAMPLED}, {WORK}, 1, status);
}

void RAV_RECON_OVER(const RavGeometry& geometry, std::int32_t OV, const RavFilterPlan& plan,
                    std::span<const float> SINOGRAM_1, std::span<const float> SINOGRAM_2,
                    std::span<float> SLICE_1, std::span<float> SLICE_2,
                    std::span<float> OVERSAMPLED_1, std::span<float> OVERSAMPLED_2,
                    std::span<float> WORK_1, std::span<float> WORK_2, std::int32_t& status) {
  recon_over("Subroutine RAV_RECON_OVER V0.7 ", geometry, OV, plan, {SINOGRAM_1, SINOGRAM_2},
             {SLICE_1, SLICE_2}, {OVERSAMPLED_1, OVERSAMPLED_2}, {WORK_1, WORK_2}, 2, status);
}
