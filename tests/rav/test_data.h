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

// The geometry of a block of NUM_X × NUM_Y pixels from (X_START, Y_START) with the limits of
// RAV_CALCULATE_LIMITS. The block owns the limits its geometry refers to, so a copy refers to
// its own.
struct Block {
  std::vector<std::int32_t> x_starts, x_ends;
  RavGeometry g;
  Block(std::int32_t bins, std::int32_t projections, float axis, std::int32_t x_start,
        std::int32_t y_start, std::int32_t num_x, std::int32_t num_y, float start_angle = 0.0f,
        float angle_step = 0.0f)
      : x_starts(std::max(num_y, 1), -7), x_ends(std::max(num_y, 1), -7) {
    g.NUM_BINS = bins;
    g.NUM_PROJECTIONS = projections;
    g.X_START = x_start;
    g.Y_START = y_start;
    g.NUM_X = num_x;
    g.NUM_Y = num_y;
    g.START_ANGLE = start_angle;
    g.ANGLE_STEP = angle_step;
    g.AXIS_POSITION = axis;
    std::int32_t status = ST_OK;
    RAV_CALCULATE_LIMITS(bins, x_start, y_start, num_x, num_y, axis, g.FIRST_ROW, g.LAST_ROW,
                         x_starts, x_ends, status);
    EXPECT_EQ(status, ST_OK);
    g.X_STARTS = x_starts;
    g.X_ENDS = x_ends;
  }
  Block(const Block& other) : x_starts(other.x_starts), x_ends(other.x_ends), g(other.g) {
    g.X_STARTS = x_starts;
    g.X_ENDS = x_ends;
  }
  Block& operator=(const Block&) = delete;
  bool inside(std::int32_t x, std::int32_t y) const {
    return y >= g.FIRST_ROW && y <= g.LAST_ROW && x >= x_starts[y - 1] && x <= x_ends[y - 1];
  }
  std::int64_t pixels() const { return std::int64_t{g.NUM_X} * g.NUM_Y; }
};

// COUNT values drawn evenly from [LOW, HIGH) by a generator seeded with SEED.
inline std::vector<float> random_values(std::int64_t count, std::uint32_t seed, float low = -1.0f,
                                        float high = 2.0f) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<float> value(low, high);
  std::vector<float> values(static_cast<std::size_t>(count));
  for (float& v : values) v = value(engine);
  return values;
}
