// Finding the rotation axis: from projections 180 degrees apart when the scan holds them
// (checked by the centroids when they can be used), otherwise from the centroids.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "rav_axis_internal.h"

namespace {

// The default range: a projection and its mirrored partner overlap over a quarter of the
// detector or more.
void default_range(std::int32_t N, const RavAxisOptions& options, double& lo, double& hi) {
  lo = std::isnan(options.min_axis) ? N / 8.0 : options.min_axis;
  hi = std::isnan(options.max_axis) ? 7.0 * N / 8.0 : options.max_axis;
}

std::string input_problem(std::int64_t values, std::int32_t ROWS, std::int32_t N, std::int32_t NP,
                          const RavAngles& angles) {
  if (ROWS < 1 || N < 4 || NP < 1) return "there are no rows, projections or bins to look at";
  if (values < std::int64_t{ROWS} * N * NP) return "the sinograms hold fewer values than stated";
  if (!angles.list.empty() && std::ssize(angles.list) != NP) {
    return "the angle list does not hold one angle per projection";
  }
  return "";
}

// At most COUNT of PAIRS, spread evenly over them.
std::vector<std::pair<std::int32_t, std::int32_t>> spread(
    const std::vector<std::pair<std::int32_t, std::int32_t>>& pairs, std::int32_t count) {
  const auto n = static_cast<std::int64_t>(pairs.size());
  if (count <= 0 || n <= count) return pairs;
  std::vector<std::pair<std::int32_t, std::int32_t>> chosen;
  for (std::int64_t i = 0; i < count; ++i) chosen.push_back(pairs[((2 * i + 1) * n) / (2 * count)]);
  return chosen;
}

}  // namespace

double rav_projection_angle(const RavAngles& angles, std::int64_t j) {
  if (!angles.list.empty()) return angles.list[static_cast<std::size_t>(j)];
  return static_cast<double>(angles.START_ANGLE) +
         static_cast<double>(j) * static_cast<double>(angles.ANGLE_STEP);
}

std::vector<std::pair<std::int32_t, std::int32_t>> rav_opposite_pairs(std::int32_t NP,
                                                                      const RavAngles& angles,
                                                                      double tolerance) {
  constexpr double kTurn = 2.0 * std::numbers::pi;
  // Every angle within the turn, sorted; the partner of a projection is the one nearest to its
  // angle plus half a turn, on the circle.
  std::vector<std::pair<double, std::int32_t>> turn;
  for (std::int32_t j = 0; j < NP; ++j) {
    const double a = std::fmod(rav_projection_angle(angles, j), kTurn);
    turn.emplace_back(a < 0.0 ? a + kTurn : a, j);
  }
  std::sort(turn.begin(), turn.end());
  std::vector<std::pair<std::int32_t, std::int32_t>> pairs;
  for (const auto& [a, j] : turn) {
    const double target = std::fmod(a + std::numbers::pi, kTurn);
    const auto at = std::lower_bound(turn.begin(), turn.end(), std::pair{target, -1});
    std::int32_t k = -1;
    double nearest = tolerance;
    for (auto it : {at, at == turn.begin() ? turn.end() - 1 : at - 1}) {
      if (it == turn.end()) it = turn.begin();
      const double gap = std::abs(it->first - target);
      const double distance = std::min(gap, kTurn - gap);
      if (distance <= nearest && it->second != j) {
        nearest = distance;
        k = it->second;
      }
    }
    if (k > j) pairs.emplace_back(j, k);
  }
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}

RavAxisResult rav_find_axis(std::span<const float> sinograms, std::int32_t ROWS,
                            std::int32_t NUM_BINS, std::int32_t NUM_PROJECTIONS,
                            const RavAngles& angles, const RavAxisOptions& options) {
  const std::int32_t N = NUM_BINS, NP = NUM_PROJECTIONS;
  RavAxisResult result;
  result.reason = input_problem(std::ssize(sinograms), ROWS, N, NP, angles);
  if (!result.reason.empty()) return result;
  const RavAxisResult centroids = rav_axis_from_centroids(sinograms, ROWS, N, NP, angles);
  const auto pairs =
      spread(rav_opposite_pairs(NP, angles, options.pair_tolerance), options.max_pairs);
  if (pairs.empty()) return centroids;
  std::vector<RavRowPair> rows;
  for (std::int32_t row = 0; row < ROWS; ++row) {
    const float* sinogram = sinograms.data() + std::int64_t{row} * N * NP;
    for (const auto& [j, k] : pairs) {
      rows.push_back({sinogram + std::int64_t{j} * N, sinogram + std::int64_t{k} * N});
    }
  }
  double lo = 0.0, hi = 0.0;
  default_range(N, options, lo, hi);
  result = rav_register_mirrored(rows, N, ROWS, lo, hi, options.min_correlation);
  if (!result.decided && centroids.decided) return centroids;
  if (centroids.decided) result.check = centroids.axis;
  return result;
}

RavAxisResult rav_find_axis_pair(std::span<const float> first, std::span<const float> second,
                                 std::int32_t ROWS, std::int32_t NUM_BINS,
                                 const RavAxisOptions& options) {
  RavAxisResult result;
  const std::int64_t values = std::min(std::ssize(first), std::ssize(second));
  result.reason = input_problem(values, ROWS, NUM_BINS, 1, {});
  if (!result.reason.empty()) return result;
  std::vector<RavRowPair> rows;
  for (std::int32_t row = 0; row < ROWS; ++row) {
    const std::int64_t offset = std::int64_t{row} * NUM_BINS;
    rows.push_back({first.data() + offset, second.data() + offset});
  }
  double lo = 0.0, hi = 0.0;
  default_range(NUM_BINS, options, lo, hi);
  return rav_register_mirrored(rows, NUM_BINS, ROWS, lo, hi, options.min_correlation);
}
