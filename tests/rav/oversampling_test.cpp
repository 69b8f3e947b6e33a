// Oversampled reconstruction: the resampling onto the fine grid, the fine sample each pixel
// takes, and the one- and two-sinogram workers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

#include "rav_kernels.h"
#include "rav_numerics.h"
#include "test_data.h"
#include "ut.h"

namespace {

std::int32_t good_status() {
  std::int32_t status;
  ST_DEF_SYSTEM(status);
  return status;
}

bool bitwise_equal(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// Adds the fine samples FINE of one projection taken at THETA to SLICE.
void add_fine(const RavGeometry& g, std::int32_t OV, float theta, const std::vector<float>& fine,
              std::vector<float>& slice) {
  RavKernelProjection p;
  p.c = std::cos(theta);
  p.s = std::sin(theta);
  p.data[0] = fine.data();
  float* slices[2] = {slice.data(), nullptr};
  rav_kernel_backproject(RavKernelMethod::FINE, g, OV, {&p, 1}, 1, slices);
}


TEST(Oversampling, ResamplingKeepsBinCentresAndInterpolatesBetweenThem) {
  // OV = 2: bins i, i+1 holding 4.0 and 6.0 give 4.0 at the centre of bin i and 5.0 after it.
  std::vector<float> fine(8, -7.0f);
  rav_oversample_projection(std::vector<float>{1.0f, 4.0f, 6.0f, 3.0f}, 2, fine);
  EXPECT_EQ(fine[2], 4.0f);
  EXPECT_EQ(fine[3], 5.0f);
  EXPECT_EQ((std::vector<float>(fine.begin() + 6, fine.end())), (std::vector<float>{3.0f, 3.0f}));

  // OV = 4, three bins: the last OV samples repeat the last bin.
  std::vector<float> fine4(12, -7.0f);
  rav_oversample_projection(std::vector<float>{1.0f, 5.0f, 9.0f}, 4, fine4);
  EXPECT_EQ(fine4, (std::vector<float>{1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 9, 9}));

  // One bin: OV copies of it.
  std::vector<float> single(3, 0.0f);
  rav_oversample_projection(std::vector<float>{2.5f}, 3, single);
  EXPECT_EQ(single, (std::vector<float>{2.5f, 2.5f, 2.5f}));
}

TEST(Oversampling, PixelTakesTheFineSampleAtOrLeftOfItsPosition) {
  // OV = 4, axis 50, 30 degrees, pixel (60, 50): u = 58.47724, q = 232.90895, so the pixel
  // takes OVERSAMPLED(232), the fine sample at detector coordinate 58.25.
  const std::int32_t OV = 4;
  std::vector<float> fine(static_cast<std::size_t>(OV * 100));
  std::iota(fine.begin(), fine.end(), 1.0f);  // OVERSAMPLED(n) = n
  const RavGeometry geometry = rav_geometry(100, 1, 50.0f, {}, {60, 50, 1, 1});
  ASSERT_EQ(geometry.LAST_ROW, 1);
  std::vector<float> slice{0.0f};
  const float theta = 30.0f * 3.14159265f / 180.0f;
  add_fine(geometry, OV, theta, fine, slice);
  EXPECT_EQ(slice[0], 232.0f);
}

TEST(Oversampling, PixelOnAFineSampleTakesTheSampleBefore) {
  // At angle 0 pixel column i projects exactly onto the centre of bin i, fine sample
  // (i-1)·OV + 1; the 0.99999 offset makes it take (i-1)·OV, one fine step to the left.
  for (std::int32_t OV : {2, 3, 4}) {
    Block block(20, 1, 10.0f, 1, 1, 20, 20, 0.0f, 0.0f);
    const RavGeometry& g = block.g;
    std::vector<float> fine(static_cast<std::size_t>(OV * 20));
    std::iota(fine.begin(), fine.end(), 1.0f);
    std::vector<float> slice(400, 0.0f);
    add_fine(g, OV, 0.0f, fine, slice);
    std::int32_t visited = 0;
    for (std::int32_t y = 1; y <= 20; ++y) {
      for (std::int32_t x = 1; x <= 20; ++x) {
        const bool inside = y >= g.FIRST_ROW && y <= g.LAST_ROW && x >= block.g.X_STARTS[y - 1] &&
                            x <= block.g.X_ENDS[y - 1];
        const float expected = inside ? static_cast<float>((x - 1) * OV) : 0.0f;
        EXPECT_EQ(slice[static_cast<std::size_t>((y - 1) * 20 + x - 1)], expected)
            << "OV " << OV << " pixel " << x << ", " << y;
        visited += inside ? 1 : 0;
      }
    }
    EXPECT_GT(visited, 100);
  }
}

TEST(Oversampling, OneProjectionAtAngleZeroGoesThroughFilterAndResampling) {
  // Pixel column i takes sample (i-1)·OV, the last fine sample before the centre of bin i:
  // (W(i-1) + (OV-1)·W(i))·(1/OV) of the filtered projection W.
  const std::int32_t num_bins = 24, OV = 3;
  Block block(num_bins, 1, 12.0f, 1, 1, num_bins, num_bins, 0.0f, 0.1f);
  const RavFilterPlan filter(num_bins);
  std::int32_t status = good_status();
  const std::vector<float> sinogram = random_values(num_bins, 7);
  std::vector<float> filtered(static_cast<std::size_t>(filter.NFFT()));
  filter.filter(sinogram, filtered);

  std::vector<float> slice(num_bins * num_bins, -1.0f), fine(OV * num_bins);
  std::vector<float> work(static_cast<std::size_t>(filter.NFFT()));
  const std::vector<float> before = sinogram;
  RAV_RECON_1OVER(block.g, OV, filter, sinogram, slice, fine, work, status);
  ASSERT_EQ(status, ST_OK);
  EXPECT_TRUE(bitwise_equal(sinogram, before)) << "the sinogram stays unfiltered";
  const float R = 1.0f / static_cast<float>(OV);
  const RavGeometry& g = block.g;
  for (std::int32_t y = 1; y <= num_bins; ++y) {
    for (std::int32_t x = 1; x <= num_bins; ++x) {
      const bool inside = y >= g.FIRST_ROW && y <= g.LAST_ROW && x >= block.g.X_STARTS[y - 1] &&
                          x <= block.g.X_ENDS[y - 1];
      const float expected =
          inside ? (1.0f * filtered[x - 2] + static_cast<float>(OV - 1) * filtered[x - 1]) * R
                 : 0.0f;
      EXPECT_EQ(slice[(y - 1) * num_bins + x - 1], expected) << x << ", " << y;
    }
  }
}

TEST(Oversampling, TwoSinogramWorkerEqualsTwoSingleCalls) {
  // Odd sizes, an off-centre axis, a partial block and an angle far from zero.
  const std::int32_t num_bins = 37, num_projections = 29, OV = 3;
  Block block(num_bins, num_projections, 17.3f, 4, 3, 30, 27, 0.7f, 0.11f);
  const RavFilterPlan filter(num_bins);
  std::int32_t status = good_status();
  const std::size_t sino = num_bins * num_projections, pixels = 30 * 27;
  const std::vector<float> s1 = random_values(sino, 1), s2 = random_values(sino, 2);
  std::vector<float> fine_1(OV * num_bins), fine_2(OV * num_bins);
  std::vector<float> work_1(filter.NFFT()), work_2(filter.NFFT());
  std::vector<float> one_1(pixels), one_2(pixels), pair_1(pixels, 5.0f), pair_2(pixels, 5.0f);
  RAV_RECON_1OVER(block.g, OV, filter, s1, one_1, fine_1, work_1, status);
  RAV_RECON_1OVER(block.g, OV, filter, s2, one_2, fine_1, work_1, status);
  RAV_RECON_OVER(block.g, OV, filter, s1, s2, pair_1, pair_2, fine_1, fine_2, work_1,
                 work_2, status);
  ASSERT_EQ(status, ST_OK);
  EXPECT_TRUE(bitwise_equal(one_1, pair_1));
  EXPECT_TRUE(bitwise_equal(one_2, pair_2));
  EXPECT_NE(one_1, one_2);
  EXPECT_NE(std::count(one_1.begin(), one_1.end(), 0.0f), static_cast<long>(pixels));
}

TEST(Oversampling, AnglesAreComputedAfreshNotSummed) {
  const RavAngles angles{0.3f, 0.0123f, {}};
  const auto cosine = [&](std::int64_t j) {
    double theta = angles.START_ANGLE;
    float c = 0.0f, s = 0.0f;
    EXPECT_TRUE(rav_projection_trig(angles, RavKernelMethod::FINE, j, theta, c, s));
    return c;
  };
  EXPECT_EQ(cosine(0), std::cos(0.3f));
  EXPECT_EQ(cosine(1000), std::cos(0.3f + 1000.0f * 0.0123f));
  float sum = 0.3f;
  for (int j = 0; j < 1000; ++j) sum += 0.0123f;
  EXPECT_NE(cosine(1000), std::cos(sum));  // the running sum drifts
}

TEST(Oversampling, BadArgumentsAndBadStatus) {
  Block block(16, 4, 8.0f, 1, 1, 16, 16, 0.0f, 0.5f);
  const RavFilterPlan filter(16);
  std::int32_t status = good_status();
  const std::vector<float> sinogram = random_values(64, 3);
  std::vector<float> slice(256, 9.0f), fine(64), work(filter.NFFT());

  RAV_RECON_1OVER(block.g, 0, filter, sinogram, slice, fine, work, status);
  EXPECT_EQ(status, 20017);
  EXPECT_EQ(slice[0], 9.0f);

  status = good_status();
  std::vector<float> short_fine(63);
  RAV_RECON_1OVER(block.g, 4, filter, sinogram, slice, short_fine, work, status);
  EXPECT_EQ(status, 20005);
  EXPECT_EQ(slice[0], 9.0f);

  // A bad status on entry: nothing is done and the routine text is recorded.
  status = good_status();
  status = 12345;
  RAV_RECON_OVER(block.g, 4, filter, sinogram, sinogram, slice, slice, fine, fine, work,
                 work, status);
  EXPECT_EQ(status, 12345);
  EXPECT_EQ(slice[0], 9.0f);
  EXPECT_EQ(st_position().substr(0, 31), "Subroutine RAV_RECON_OVER V0.7 ");
}

}  // namespace
