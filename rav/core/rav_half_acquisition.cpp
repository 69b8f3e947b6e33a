// Half acquisition: a 360-degree scan whose axis lies off centre sees one side of the sample in
// the first half turn and the other side in the second. Each projection of the first half turn
// is joined with its partner half a turn later, mirrored about the axis (P(θ + π, u) =
// P(θ, 2A - u)), into a projection of twice the detector's width; over the part of the detector
// that both see, the two are blended with weights that fall linearly from 1 to 0 across it
// (1/2 at the axis), so that no step is left where one ends.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "rav_axis.h"

namespace {

// The projections of the first half turn (from the first, while their angle stays less than
// half a turn from it) and their partners; PROBLEM when one has none.
void half_turn(std::int32_t NP, const RavAngles& angles, RavHalfAcquisition& plan,
               std::string& problem) {
  constexpr double kTolerance = 1.0e-4;
  std::vector<std::int32_t> partner(static_cast<std::size_t>(NP), -1);
  for (const auto& [j, k] : rav_opposite_pairs(NP, angles, kTolerance)) {
    partner[static_cast<std::size_t>(j)] = k;
    partner[static_cast<std::size_t>(k)] = j;
  }
  const double first = rav_projection_angle(angles, 0);
  for (std::int32_t j = 0; j < NP; ++j) {
    const double angle = rav_projection_angle(angles, j);
    if (std::abs(angle - first) >= std::numbers::pi - kTolerance) break;
    if (partner[static_cast<std::size_t>(j)] < 0) {
      problem = "projection " + std::to_string(j + 1) +
                " has no partner half a turn later (a 360-degree scan is needed, with a "
                "projection 180 degrees after each of the first half turn)";
      return;
    }
    plan.DIRECT.push_back(j);
    plan.PARTNER.push_back(partner[static_cast<std::size_t>(j)]);
  }
  if (plan.DIRECT.empty()) problem = "the scan holds no projections";
}

}  // namespace

RavHalfAcquisition rav_half_acquisition(std::int32_t NUM_BINS, std::int32_t NUM_PROJECTIONS,
                                        float AXIS_POSITION, const RavAngles& angles,
                                        std::string& problem) {
  problem.clear();
  RavHalfAcquisition plan;
  const float A = AXIS_POSITION;
  if (NUM_BINS < 2 || NUM_PROJECTIONS < 2) {
    problem = "the sinogram is too small";
  } else if (!(A > 0.501f && A < static_cast<float>(NUM_BINS) - 0.501f)) {
    problem = "the rotation axis must lie on the detector";
  } else if (!angles.list.empty() && std::ssize(angles.list) != NUM_PROJECTIONS) {
    problem = "the angle list does not hold one angle per projection";
  } else {
    half_turn(NUM_PROJECTIONS, angles, plan, problem);
  }
  if (!problem.empty()) return {};
  plan.DETECTOR_BINS = NUM_BINS;
  plan.DETECTOR_AXIS = A;
  plan.NUM_BINS = 2 * NUM_BINS;
  plan.NUM_PROJECTIONS = static_cast<std::int32_t>(plan.DIRECT.size());
  plan.SHIFT = 2.0f * A < static_cast<float>(NUM_BINS) ? NUM_BINS : 0;
  plan.AXIS_POSITION = A + static_cast<float>(plan.SHIFT);
  plan.angles = angles;
  if (!angles.list.empty()) {
    plan.angles.list.clear();
    for (std::int32_t j : plan.DIRECT)
      plan.angles.list.push_back(angles.list[static_cast<std::size_t>(j)]);
  }
  plan.WEIGHT = static_cast<float>(static_cast<double>(NUM_PROJECTIONS) / plan.NUM_PROJECTIONS);
  return plan;
}

void rav_join_half_acquisition(const RavHalfAcquisition& plan, std::span<const float> sinogram,
                               std::span<float> joined) {
  const std::int32_t N = plan.DETECTOR_BINS;
  const double A = plan.DETECTOR_AXIS;
  // The detector coordinates both halves cover; the detector's own projection weighs 1 at the
  // end of this overlap away from the axis side it alone covers, 0 at the other.
  const double lo = std::max(0.0, 2.0 * A - N), hi = std::min(static_cast<double>(N), 2.0 * A);
  const bool direct_left = plan.SHIFT == 0;
  for (std::size_t n = 0; n < plan.DIRECT.size(); ++n) {
    const float* direct = sinogram.data() + std::int64_t{plan.DIRECT[n]} * N;
    const float* mirror = sinogram.data() + std::int64_t{plan.PARTNER[n]} * N;
    float* out = joined.data() + static_cast<std::int64_t>(n) * plan.NUM_BINS;
    for (std::int32_t b = 0; b < plan.NUM_BINS; ++b) {
      const double u = b + 0.5 - plan.SHIFT;  // detector coordinate of the bin's centre
      const std::int32_t k = b - plan.SHIFT;
      const bool has_direct = k >= 0 && k < N;
      const bool has_mirror = 2.0 * A - u >= 0.0 && 2.0 * A - u <= N;
      double value = 0.0;
      if (has_mirror) {
        // The partner at 2A - u, linearly between its bin centres (the edge bins held).
        const double t = 2.0 * A - u - 0.5;
        const auto i = static_cast<std::int32_t>(std::floor(t));
        const double f = t - i;
        const auto at = [&](std::int32_t m) { return double{mirror[std::clamp(m, 0, N - 1)]}; };
        value = (1.0 - f) * at(i) + f * at(i + 1);
      }
      if (has_direct && has_mirror) {
        const double w = direct_left ? (hi - u) / (hi - lo) : (u - lo) / (hi - lo);
        value = w * direct[k] + (1.0 - w) * value;
      } else if (has_direct) {
        value = direct[k];
      }
      out[b] = static_cast<float>(value) * plan.WEIGHT;
    }
  }
}
