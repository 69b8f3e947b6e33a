// HALF_ACQUISITION = YES in a run: the sinograms of a pass joined in place before their slices
// are reconstructed.
#include <algorithm>
#include <vector>

#include "rav_allocate.h"
#include "rav_axis_run.h"
#include "ut.h"

RavGeometry rav_run_geometry(const ParameterSet& p, std::int32_t NUM_BINS,
                             std::int32_t NUM_PROJECTIONS, const RavBlock& block,
                             std::optional<RavHalfAcquisition>& half) {
  half.reset();
  if (!p.HALF_ACQUISITION || p.AXIS_SWEEP.given) {
    return rav_geometry(NUM_BINS, NUM_PROJECTIONS, p.ROTATION_AXIS_POSITION, rav_run_angles(p),
                        block);
  }
  // The checks of the parameters have made sure that the scan can be joined.
  std::string problem;
  half = rav_half_acquisition(NUM_BINS, NUM_PROJECTIONS, p.ROTATION_AXIS_POSITION,
                              rav_run_angles(p), problem);
  if (!problem.empty()) throw RavFatalError("ERROR: HALF_ACQUISITION = YES: " + problem);
  return rav_geometry(half->NUM_BINS, half->NUM_PROJECTIONS, half->AXIS_POSITION, half->angles,
                      block);
}

void rav_sweep_first_slice(ParameterSet& p) {
  if (!p.AXIS_SWEEP.given) return;
  if (p.ROTATION_VERTICAL) {
    p.END_VOXEL_3 = p.START_VOXEL_3;
  } else {
    p.END_VOXEL_1 = p.START_VOXEL_1;
  }
}

void rav_join_pass(const RavHalfAcquisition& plan, std::span<float> SINOGRAMS, std::int64_t count,
                   std::int64_t stride) {
  const std::int64_t joined_size = std::int64_t{plan.NUM_BINS} * plan.NUM_PROJECTIONS;
  if (joined_size > stride) {
    throw RavFatalError("ERROR: A joined sinogram does not fit where its pass stored it");
  }
  std::vector<float> joined;
  rav_allocate(joined, joined_size, "ERROR: Failed to allocate memory for storing a sinogram");
  // A joined sinogram is never larger than the one it comes from, so joined sinogram k, written
  // from k·joined_size, covers no sinogram still to be joined.
  for (std::int64_t k = 0; k < count; ++k) {
    rav_join_half_acquisition(plan, SINOGRAMS.subspan(static_cast<std::size_t>(k * stride)),
                              joined);
    std::copy(joined.begin(), joined.end(), SINOGRAMS.begin() + k * joined_size);
  }
}

void rav_report_half_acquisition(const RavHalfAcquisition& plan, std::int32_t& status) {
  const auto n = static_cast<std::int32_t>(plan.DIRECT.size());
  UT_WRITE("INFO: Half acquisition: projections " + std::to_string(plan.DIRECT.front() + 1) +
               " to " + std::to_string(plan.DIRECT.back() + 1) + " joined with " +
               std::to_string(plan.PARTNER.front() + 1) + " to " +
               std::to_string(plan.PARTNER.back() + 1) + " (" + std::to_string(n) +
               " projections over half a turn)",
           status);
  UT_WRITE("      into sinograms of " + std::to_string(plan.NUM_BINS) +
               " bins, the detector's own at bins " + std::to_string(plan.SHIFT + 1) + " to " +
               std::to_string(plan.SHIFT + plan.DETECTOR_BINS) + "; the axis at " +
               rav_axis_number(plan.AXIS_POSITION, 2) + " of them",
           status);
}
