// The part of a slice block inside the reconstruction circle: the circle about the rotation
// axis that every projection covers, kept 0.501 inside both ends of the detector and then two
// pixels inside its truncated edge, so that the back-projections never read outside a
// projection (for linear interpolation, including the right-hand neighbour).
#include <algorithm>
#include <cmath>
#include <iterator>
#include <string_view>

#include "rav_numerics.h"
#include "ut.h"

namespace {
constexpr std::string_view kRoutine = "Subroutine RAV_CALCULATE_LIMITS V0.2 ";

// Truncation toward zero. An absurd axis position (huge, infinite, not a number) would make
// the conversion undefined; saturating keeps the limits empty instead.
std::int64_t truncate(float value) {
  constexpr float kBound = 1.0e9f;
  if (std::isnan(value)) return 0;
  if (value >= kBound) return 1000000000;
  if (value <= -kBound) return -1000000000;
  return static_cast<std::int64_t>(value);
}

std::int32_t narrow(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}
}  // namespace

void rav_limits(std::int32_t NUM_BINS, const RavBlock& block, float AXIS_POSITION,
                std::int32_t& FIRST_ROW, std::int32_t& LAST_ROW, std::span<std::int32_t> X_STARTS,
                std::span<std::int32_t> X_ENDS) {
  const float A = AXIS_POSITION;
  // The nearer end of the detector decides the radius.
  const float R = std::min(A - 0.501f, static_cast<float>(NUM_BINS) - A - 0.501f);
  FIRST_ROW = narrow(std::max<std::int64_t>(1, truncate(A - R) - block.Y_START + 3));
  LAST_ROW = narrow(std::min<std::int64_t>(block.NUM_Y, truncate(A + R) - block.Y_START - 1));
  // Never write past the arrays.
  LAST_ROW = narrow(std::min<std::int64_t>(
      LAST_ROW, std::min(std::ssize(X_STARTS), std::ssize(X_ENDS))));
  for (std::int32_t y = FIRST_ROW; y <= LAST_ROW; ++y) {
    // Distance of the row centre from the axis, and the half chord of the circle there.
    const float d = static_cast<float>(y + block.Y_START) - A - 1.5f;
    const float h = std::sqrt(R * R - d * d);
    X_STARTS[y - 1] = narrow(std::max<std::int64_t>(1, truncate(A - h) - block.X_START + 3));
    X_ENDS[y - 1] = narrow(std::min<std::int64_t>(block.NUM_X, truncate(A + h) - block.X_START - 1));
  }
}

void RAV_CALCULATE_LIMITS(std::int32_t NUM_BINS, std::int32_t X_START, std::int32_t Y_START,
                          std::int32_t NUM_X, std::int32_t NUM_Y, float AXIS_POSITION,
                          std::int32_t& FIRST_ROW, std::int32_t& LAST_ROW,
                          std::span<std::int32_t> X_STARTS, std::span<std::int32_t> X_ENDS,
                          std::int32_t& status) {
  if (st_bad(status, kRoutine)) return;
  rav_limits(NUM_BINS, {X_START, Y_START, NUM_X, NUM_Y}, AXIS_POSITION, FIRST_ROW, LAST_ROW,
             X_STARTS, X_ENDS);
}
