// Reconstruction limits and the back-projections: the worked geometry, the two interpolation
// methods, the two-slice routines against the one-slice ones, and the guarantee that no bin
// outside the projection is ever read.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "rav_numerics.h"
#include "test_data.h"
#include "ut.h"

namespace {


std::vector<float> backproject1(const Block& s, bool linear, const std::vector<float>& sino) {
  std::vector<float> slice(s.pixels(), 99.0f);  // the routine must clear it
  std::int32_t status = ST_OK;
  if (linear) {
    RAV_BACKPROJECT_1LINEAR(s.g, sino, slice, status);
  } else {
    RAV_BACKPROJECT_1NEAREST(s.g, sino, slice, status);
  }
  EXPECT_EQ(status, ST_OK);
  return slice;
}

TEST(Limits, AxisAtTheDetectorCentre) {
  Block s(100, 1, 50.0f, 1, 1, 100, 100);
  EXPECT_EQ(s.g.FIRST_ROW, 2);
  EXPECT_EQ(s.g.LAST_ROW, 97);
  EXPECT_EQ(s.g.X_STARTS[49], 2);  // row 50
  EXPECT_EQ(s.g.X_ENDS[49], 97);
  // Every visited pixel centre lies inside the circle of radius R = 49.499 about the axis
  // (48.5 left of it to 46.5 right of it on row 50), and the rows are symmetric in the same way.
  const double R = 49.499;
  for (std::int32_t y = s.g.FIRST_ROW; y <= s.g.LAST_ROW; ++y) {
    ASSERT_LE(s.g.X_STARTS[y - 1], s.g.X_ENDS[y - 1]) << y;
    for (std::int32_t x : {s.g.X_STARTS[y - 1], s.g.X_ENDS[y - 1]}) {
      EXPECT_LT(std::hypot(x - 0.5 - 50.0, y - 0.5 - 50.0), R) << x << " " << y;
    }
  }
  EXPECT_EQ(s.g.X_STARTS[49] - 0.5 - 50.0, -48.5);
  EXPECT_EQ(s.g.X_ENDS[49] - 0.5 - 50.0, 46.5);
}

TEST(Limits, NearerDetectorEndDecidesTheRadius) {
  Block s(100, 1, 30.0f, 1, 1, 100, 100);  // R = 29.499
  EXPECT_EQ(s.g.FIRST_ROW, 2);
  EXPECT_EQ(s.g.LAST_ROW, 57);
  // Row 30 (d = -0.5): columns INT(30 - h) + 2 .. INT(30 + h) - 2 with h just below 29.499.
  EXPECT_EQ(s.g.X_STARTS[29], 2);
  EXPECT_EQ(s.g.X_ENDS[29], 57);
}

TEST(Limits, SubBlocksSeeTheSameCircleInLocalNumbers) {
  const Block full(100, 1, 50.25f, 1, 1, 100, 100);
  const Block part(100, 1, 50.25f, 21, 31, 40, 50);
  ASSERT_LE(part.g.FIRST_ROW, part.g.LAST_ROW);
  EXPECT_EQ(part.g.FIRST_ROW, 1);
  EXPECT_EQ(part.g.LAST_ROW, std::min(50, full.g.LAST_ROW - 30));
  for (std::int32_t y = part.g.FIRST_ROW; y <= part.g.LAST_ROW; ++y) {
    EXPECT_EQ(part.g.X_STARTS[y - 1], std::max(1, full.g.X_STARTS[y + 29] - 20)) << y;
    EXPECT_EQ(part.g.X_ENDS[y - 1], std::min(40, full.g.X_ENDS[y + 29] - 20)) << y;
  }
}

TEST(Limits, BlocksOutsideTheCircleOrAbsurdAxesGiveNoRows) {
  // Rows 99 and 100 lie below the circle.
  const Block below(100, 1, 50.0f, 1, 99, 100, 2);
  EXPECT_LT(below.g.LAST_ROW, below.g.FIRST_ROW);
  std::vector<float> sino(100, 1.0f);
  for (bool linear : {false, true}) {
    EXPECT_EQ(backproject1(below, linear, sino), std::vector<float>(below.pixels(), 0.0f));
  }
  // An unset axis position (the parameter's default), infinities and NaN.
  for (float axis : {-1000000.0f, 1.0e30f, std::numeric_limits<float>::infinity(),
                     std::numeric_limits<float>::quiet_NaN(), 0.2f, 99.9f}) {
    const Block s(100, 1, axis, 1, 1, 100, 100);
    EXPECT_LT(s.g.LAST_ROW, s.g.FIRST_ROW) << axis;
  }
}

TEST(Limits, BadStatusWritesNothing) {
  std::vector<std::int32_t> starts(10, -7), ends(10, -7);
  std::int32_t first = -5, last = -5;
  std::int32_t status = 42;
  RAV_CALCULATE_LIMITS(10, 1, 1, 10, 10, 5.0f, first, last, starts, ends, status);
  EXPECT_EQ(status, 42);
  EXPECT_EQ(first, -5);
  EXPECT_EQ(starts, std::vector<std::int32_t>(10, -7));
}

TEST(Backprojection, AngleZeroCopiesTheBinOfTheColumn) {
  const Block s(100, 1, 50.0f, 1, 1, 100, 100);
  std::vector<float> sino(100);
  for (int k = 0; k < 100; ++k) sino[k] = 1.0f + 0.37f * k;  // P(i) = 1 + 0.37·(i - 1)
  for (bool linear : {false, true}) {
    const auto slice = backproject1(s, linear, sino);
    for (std::int32_t y = 1; y <= 100; ++y) {
      for (std::int32_t x = 1; x <= 100; ++x) {
        const float expected = s.inside(x, y) ? sino[x - 1] : 0.0f;
        ASSERT_EQ(slice[(y - 1) * 100 + (x - 1)], expected) << linear << " " << x << " " << y;
      }
    }
  }
}

TEST(Backprojection, AngleRightTakesTheMirroredRow) {
  const Block s(100, 1, 50.0f, 1, 1, 100, 100, std::numbers::pi_v<float> / 2);
  const auto sino = random_values(100, 3, -2.0f, 3.0f);
  for (bool linear : {false, true}) {
    const auto slice = backproject1(s, linear, sino);
    for (std::int32_t y = s.g.FIRST_ROW; y <= s.g.LAST_ROW; ++y) {
      for (std::int32_t x = s.g.X_STARTS[y - 1]; x <= s.g.X_ENDS[y - 1]; ++x) {
        const float value = slice[(y - 1) * 100 + (x - 1)];
        const float expected = sino[101 - y - 1];  // bin 101 - r
        if (linear) {
          ASSERT_NEAR(value, expected, 1e-4f) << x << " " << y;
        } else {
          ASSERT_EQ(value, expected) << x << " " << y;
        }
      }
    }
  }
}

TEST(Backprojection, ThirtyDegreesNearestAndLinear) {
  const Block s(100, 1, 50.0f, 1, 1, 100, 100, std::numbers::pi_v<float> / 6);
  const auto sino = random_values(100, 4, -2.0f, 3.0f);
  const float p58 = sino[57], p59 = sino[58];
  const std::int64_t pixel = (50 - 1) * 100 + (60 - 1);  // (i, r) = (60, 50): u ≈ 58.47724
  EXPECT_EQ(backproject1(s, false, sino)[pixel], p59);
  const float w = 0.97724f;
  EXPECT_NEAR(backproject1(s, true, sino)[pixel], (1 - w) * p58 + w * p59, 2e-4f);
}

TEST(Backprojection, ProjectionsAddUp) {
  // Two projections at the same angle: twice the single one, pixel by pixel.
  const Block one(64, 1, 31.7f, 1, 1, 64, 64, 0.4f, 0.0f);
  const Block two(64, 2, 31.7f, 1, 1, 64, 64, 0.4f, 0.0f);
  const auto p = random_values(64, 5, -2.0f, 3.0f);
  std::vector<float> pp(p);
  pp.insert(pp.end(), p.begin(), p.end());
  for (bool linear : {false, true}) {
    const auto a = backproject1(one, linear, p);
    const auto b = backproject1(two, linear, pp);
    for (std::size_t n = 0; n < a.size(); ++n) ASSERT_EQ(b[n], a[n] + a[n]);
  }
}

// The two-slice routines must give bitwise the slices of the one-slice routines.
TEST(Backprojection, TwoSlicesEqualOneSliceTwice) {
  const Block s(97, 45, 48.3f, 7, 3, 80, 90, 0.05f, std::numbers::pi_v<float> / 45);
  const auto s1 = random_values(97 * 45, 11, -2.0f, 3.0f);
  const auto s2 = random_values(97 * 45, 12, -2.0f, 3.0f);
  for (bool linear : {false, true}) {
    const auto a = backproject1(s, linear, s1);
    const auto b = backproject1(s, linear, s2);
    std::vector<float> c(s.pixels(), 5.0f), d(s.pixels(), 5.0f);
    std::int32_t status = ST_OK;
    if (linear) {
      RAV_BACKPROJECT_LINEAR(s.g, s1, s2, c, d, status);
    } else {
      RAV_BACKPROJECT_NEAREST(s.g, s1, s2, c, d, status);
    }
    ASSERT_EQ(status, ST_OK);
    EXPECT_EQ(c, a);
    EXPECT_EQ(d, b);
  }
}

// Guard values that are not numbers on both sides of every projection: any read outside
// 1 .. NUM_BINS (even with weight zero) would show as NaN in the slice. Many axis positions,
// blocks and angles, over full turns.
TEST(Backprojection, NoBinOutsideTheProjectionIsRead) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  std::mt19937 rng(21);
  std::uniform_real_distribution<float> frac(0.0f, 1.0f);
  struct Case {
    std::int32_t bins;
    float axis;
    std::int32_t x_start, y_start, num_x, num_y;
  };
  const Case cases[] = {
      {100, 50.0f, 1, 1, 100, 100},  {100, 30.0f, 1, 1, 100, 100},
      {101, 50.5f, 1, 1, 101, 101},  {64, 20.37f, 1, 1, 64, 64},
      {257, 140.91f, 30, 10, 200, 230}, {2048, 1023.5f, 1, 1, 2048, 40},
      {33, 16.501f, 1, 1, 33, 33},  {10, 4.999f, 1, 1, 10, 10},
  };
  for (const Case& c : cases) {
    const std::int32_t projections = 97;
    const float step = 2.0f * std::numbers::pi_v<float> / projections + 0.001f * frac(rng);
    Block s(c.bins, projections, c.axis, c.x_start, c.y_start, c.num_x, c.num_y, frac(rng), step);
    // Each projection sits between NaN guards, so the sinogram seen by the routine has a
    // stride of NUM_BINS + 2: emulate that by one projection per call.
    std::vector<float> buffer(c.bins + 2, nan);
    for (std::int32_t j = 0; j < projections; ++j) {
      for (std::int32_t k = 1; k <= c.bins; ++k) buffer[k] = frac(rng);
      Block one = s;
      one.g.NUM_PROJECTIONS = 1;
      one.g.angles.START_ANGLE = static_cast<float>(s.g.angles.START_ANGLE + static_cast<double>(j) * step);
      const std::span<const float> projection(buffer.data() + 1, c.bins);
      for (bool linear : {false, true}) {
        std::vector<float> slice(one.pixels());
        std::int32_t status = ST_OK;
        if (linear) {
          RAV_BACKPROJECT_1LINEAR(one.g, projection, slice, status);
        } else {
          RAV_BACKPROJECT_1NEAREST(one.g, projection, slice, status);
        }
        for (float v : slice) ASSERT_FALSE(std::isnan(v)) << c.bins << " " << c.axis << " " << j;
      }
    }
  }
}

TEST(Backprojection, NonFiniteAnglesAddNothingAndBadStatusWritesNothing) {
  Block s(100, 2, 50.0f, 1, 1, 100, 100, std::numeric_limits<float>::infinity(), 0.1f);
  std::vector<float> sino(200, 1.0f);
  for (bool linear : {false, true}) {
    EXPECT_EQ(backproject1(s, linear, sino), std::vector<float>(s.pixels(), 0.0f));
  }
  std::vector<float> slice(s.pixels(), 3.0f);
  std::int32_t status = 7;
  RAV_BACKPROJECT_1LINEAR(s.g, sino, slice, status);
  RAV_BACKPROJECT_NEAREST(s.g, sino, sino, slice, slice, status);
  EXPECT_EQ(status, 7);
  EXPECT_EQ(slice, std::vector<float>(s.pixels(), 3.0f));
}

#ifndef NDEBUG
// Limits that do not belong to the geometry reach outside the projection: the debug build
// stops at the first such read.
TEST(BackprojectionDeathTest, ReadOutsideTheProjectionIsCaught) {
  Block s(100, 1, 50.0f, 1, 1, 100, 100);
  s.g.X_STARTS[49] = 1;
  s.g.X_ENDS[49] = 100;  // row 50 across the whole block: bins beyond 100 at angle 0
  std::vector<float> sino(100, 1.0f);
  EXPECT_DEATH(backproject1(s, true, sino), "");
}
#endif

}  // namespace
