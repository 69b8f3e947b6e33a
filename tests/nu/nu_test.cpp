#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "nu.h"
#include "ut.h"

namespace {

std::int32_t fresh_status() {
  std::int32_t status;
  ST_DEF_SYSTEM(status);
  return status;
}

}  // namespace

TEST(Rebin, PlainMinimumAndMaximumOfRegion) {
  // 4 x 3 array, first index fastest; the region 2..3 x 2..3 excludes the extremes around it.
  const std::vector<float> data = {100, 100, 100, 100,  //
                                   100, 5, -2, -100,    //
                                   -100, 7, 3, 100};
  std::int32_t status = fresh_status();
  float min = 0, max = 0;
  NU_REBINMINMAX(4, 3, data.data(), 2, 2, 3, 3, 1, 1, min, max, status);
  ASSERT_EQ(status, ST_OK);
  EXPECT_EQ(min, -2.0f);
  EXPECT_EQ(max, 7.0f);

  float only_max = 0, only_min = 0;
  NU_REBINMAX(4, 3, data.data(), 2, 2, 3, 3, 1, 1, only_max, status);
  NU_REBINMIN(4, 3, data.data(), 2, 2, 3, 3, 1, 1, only_min, status);
  ASSERT_EQ(status, ST_OK);
  EXPECT_EQ(only_max, 7.0f);
  EXPECT_EQ(only_min, -2.0f);

  // One element is both ends of the range.
  NU_REBINMINMAX(4, 3, data.data(), 3, 2, 3, 2, 1, 1, min, max, status);
  EXPECT_EQ(min, -2.0f);
  EXPECT_EQ(max, -2.0f);
}

TEST(Rebin, BlockMeansIgnoreTheLastPartialBlock) {
  // Five columns, one row; blocks of two use columns 1..4 only, so the 1000 is never seen.
  const std::vector<float> data = {1, 3, 10, 20, 1000};
  std::int32_t status = fresh_status();
  float min = 0, max = 0;
  NU_REBINMINMAX(5, 1, data.data(), 1, 1, 5, 1, 2, 1, min, max, status);
  ASSERT_EQ(status, ST_OK);
  EXPECT_EQ(min, 2.0f);
  EXPECT_EQ(max, 15.0f);

  // 2 x 2 blocks of a 4 x 2 array.
  const std::vector<float> grid = {1, 2, 5, 5,  //
                                   3, 4, 5, 9};
  NU_REBINMINMAX(4, 2, grid.data(), 1, 1, 4, 2, 2, 2, min, max, status);
  ASSERT_EQ(status, ST_OK);
  EXPECT_EQ(min, 2.5f);
  EXPECT_EQ(max, 6.0f);
}

TEST(Rebin, BadArgumentsSetStatusInCheckOrder) {
  const std::vector<float> data(12, 1.0f);
  struct Case {
    std::int32_t xmax, ymax, xs, ys, xe, ye, xb, yb, expected;
  };
  const Case cases[] = {
      {0, 3, 1, 1, 1, 1, 1, 1, 20001},   // first dimension empty
      {4, 0, 1, 1, 1, 1, 1, 1, 20002},   // second dimension empty
      {4, 3, 0, 1, 4, 3, 1, 1, 20005},   // x start below 1
      {4, 3, 3, 1, 2, 3, 1, 1, 20005},   // x end before start
      {4, 3, 1, 1, 5, 3, 1, 1, 20005},   // x end beyond the array
      {4, 3, 1, 2, 4, 4, 1, 1, 20006},   // y end beyond the array
      {4, 3, 1, 1, 4, 3, 5, 1, 20017},   // block wider than the region
      {4, 3, 1, 1, 4, 3, 1, 0, 20018},   // empty block height
      {0, 0, 0, 0, 0, 0, 0, 0, 20001},   // first failing check wins
  };
  for (const Case& c : cases) {
    std::int32_t status = fresh_status();
    float min = 42, max = 42;
    NU_REBINMINMAX(c.xmax, c.ymax, data.data(), c.xs, c.ys, c.xe, c.ye, c.xb, c.yb, min, max,
                   status);
    EXPECT_EQ(status, c.expected);
    EXPECT_EQ(min, 42.0f);  // outputs untouched on failure
    EXPECT_EQ(st_position().substr(0, 31), "Subroutine NU_REBINMINMAX V0.1 ");
  }
  std::int32_t status = fresh_status();
  float max = 0;
  NU_REBINMAX(4, 3, data.data(), 1, 1, 4, 3, 1, 4, max, status);
  EXPECT_EQ(status, 20018);
  EXPECT_EQ(st_position().substr(0, 28), "Subroutine NU_REBINMAX V0.1 ");
}

TEST(Rebin, BadStatusOnEntryDoesNothing) {
  const std::vector<float> data = {1, 2};
  std::int32_t status = fresh_status();
  status = 20017;
  float min = 42, max = 42;
  NU_REBINMINMAX(2, 1, data.data(), 1, 1, 2, 1, 1, 1, min, max, status);
  EXPECT_EQ(status, 20017);
  EXPECT_EQ(min, 42.0f);
  EXPECT_EQ(max, 42.0f);
}

TEST(PowerOfTen, Examples) {
  EXPECT_DOUBLE_EQ(NU_DMULTIPLIER(204.8), 100.0);
  EXPECT_NEAR(NU_DMULTIPLIER(0.004), 0.001, 1e-18);
  EXPECT_DOUBLE_EQ(NU_DMULTIPLIER(10.0), 10.0);
  EXPECT_DOUBLE_EQ(NU_DMULTIPLIER(9.999), 1.0);
  EXPECT_DOUBLE_EQ(NU_DMULTIPLIER(1.0), 1.0);
  EXPECT_DOUBLE_EQ(NU_DMULTIPLIER(-3500.0), 1000.0);
  EXPECT_NEAR(NU_DMULTIPLIER(0.99), 0.1, 1e-17);
}

TEST(PowerOfTen, ZeroAndNonFiniteValuesReturnOne) {
  EXPECT_EQ(NU_DMULTIPLIER(0.0), 1.0);
  EXPECT_EQ(NU_DMULTIPLIER(-0.0), 1.0);
  EXPECT_EQ(NU_DMULTIPLIER(std::numeric_limits<double>::infinity()), 1.0);
  EXPECT_EQ(NU_DMULTIPLIER(std::nan("")), 1.0);
  // Tiny magnitudes still end.
  EXPECT_NEAR(NU_DMULTIPLIER(3e-300) / 1e-300, 1.0, 1e-9);
}
