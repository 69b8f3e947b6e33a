// A block of a slice with its reconstruction limits, and random test data, for the tests of the
// filter, the back-projections and the oversampled workers.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "rav_numerics.h"
#include "ut.h"

// The geometry of a block of NUM_X × NUM_Y pixels from (X_START, Y_START) with its limits.
struct Block {
  RavGeometry g;
  Block(std::int32_t bins, std::int32_t projections, float axis, std::int32_t x_start,
        std::int32_t y_start, std::int32_t num_x, std::int32_t num_y, float start_angle = 0.0f,
        float angle_step = 0.0f)
      : g(rav_geometry(bins, projections, axis, {start_angle, angle_step, {}},
                       {x_start, y_start, num_x, num_y})) {}
  bool inside(std::int32_t x, std::int32_t y) const {
    return y >= g.FIRST_ROW && y <= g.LAST_ROW && x >= g.X_STARTS[y - 1] && x <= g.X_ENDS[y - 1];
  }
  std::int64_t pixels() const { return g.pixels(); }
};

// The filter plan for projections of BINS bins.
inline RavFilterPlan filter_for(std::int32_t bins) { return RavFilterPlan(bins); }

// COUNT values drawn evenly from [LOW, HIGH) by a generator seeded with SEED.
inline std::vector<float> random_values(std::int64_t count, std::uint32_t seed, float low = -1.0f,
                                        float high = 2.0f) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<float> value(low, high);
  std::vector<float> values(static_cast<std::size_t>(count));
  for (float& v : values) v = value(engine);
  return values;
}
