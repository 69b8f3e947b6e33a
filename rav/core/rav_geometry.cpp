// The geometry of a slice block: sizes, axis, angles and the limits of the reconstruction circle.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "rav_allocate.h"
#include "rav_numerics.h"

RavMethod RavMethod::from_factor(std::int32_t factor) {
  if (factor == 0) return {LINEAR, 1};
  if (factor == 1) return {NEAREST, 1};
  return {OVERSAMPLED, factor};
}

RavGeometry rav_geometry(std::int32_t NUM_BINS, std::int32_t NUM_PROJECTIONS, float AXIS_POSITION,
                         RavAngles angles, RavBlock block) {
  RavGeometry g;
  g.NUM_BINS = NUM_BINS;
  g.NUM_PROJECTIONS = NUM_PROJECTIONS;
  g.AXIS_POSITION = AXIS_POSITION;
  g.angles = std::move(angles);
  g.X_START = block.X_START;
  g.Y_START = block.Y_START;
  g.NUM_X = block.NUM_X;
  g.NUM_Y = block.NUM_Y;
  // One entry per local row.
  const std::int64_t rows = std::max(block.NUM_Y, 0);
  rav_allocate(g.X_STARTS, rows, "ERROR: Failed to allocated array for start pixels of lines");
  rav_allocate(g.X_ENDS, rows, "ERROR: Failed to allocated array for end pixels of lines");
  rav_limits(NUM_BINS, block, AXIS_POSITION, g.FIRST_ROW, g.LAST_ROW, g.X_STARTS, g.X_ENDS);
  return g;
}

std::string rav_geometry_problem(std::int32_t NUM_BINS, std::int32_t NUM_PROJECTIONS,
                                 float AXIS_POSITION, const RavAngles& angles,
                                 const RavBlock& block) {
  const auto text = [](double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", value);
    return std::string(buffer);
  };
  if (NUM_BINS < 1) return "the sinogram has no bins";
  if (NUM_PROJECTIONS < 1) return "the sinogram has no projections";
  if (block.NUM_X < 1 || block.NUM_Y < 1) return "the slice block has no pixels";
  if (!angles.list.empty() && std::ssize(angles.list) != NUM_PROJECTIONS) {
    return std::to_string(angles.list.size()) + " angles for " +
           std::to_string(NUM_PROJECTIONS) + " projections";
  }
  for (double angle : angles.list) {
    if (!std::isfinite(angle)) return "the angle " + text(angle) + " is not finite";
  }
  if (angles.list.empty() &&
      (!std::isfinite(angles.START_ANGLE) || !std::isfinite(angles.ANGLE_STEP))) {
    return "the angles are not finite";
  }
  const float radius =
      std::min(AXIS_POSITION - 0.501f, static_cast<float>(NUM_BINS) - AXIS_POSITION - 0.501f);
  if (!(radius > 0.0f)) {
    return "the rotation axis at " + text(AXIS_POSITION) +
           " leaves no reconstruction circle on " + std::to_string(NUM_BINS) + " bins";
  }
  return "";
}
