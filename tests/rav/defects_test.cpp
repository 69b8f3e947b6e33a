// Corrections of detector defects on arrays: dead and hot pixels found in a flat-field row and
// interpolated over in an image row, and stripes found and removed from a sinogram.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "rav_core.h"

namespace {

constexpr float kFloor = 0.1f;

TEST(DeadPixels, FoundByTheFloorAndByTheirDistanceFromTheLocalMedian) {
  // A smooth beam profile with noise of about 1 %, a dead pixel, one that sees a little light,
  // a hot one, two dead neighbours and a dead pixel at the end of the row.
  std::mt19937 engine(3);
  std::normal_distribution<float> noise(0.0f, 400.0f);
  std::vector<float> open(200);
  for (int i = 0; i < 200; ++i) {
    open[i] = 40000.0f + 8000.0f * std::sin(0.02f * static_cast<float>(i)) + noise(engine);
  }
  open[17] = kFloor;
  open[50] = 1500.0f;
  open[90] *= 1.5f;
  open[120] = open[121] = kFloor;
  open[199] = kFloor;
  EXPECT_EQ(rav_find_bad_pixels(open, kFloor),
            (std::vector<std::int32_t>{17, 50, 90, 120, 121, 199}));

  // Without noise, a pixel 0.5 % off its neighbours is a gain the flat field corrects; 3 % off
  // is not.
  std::vector<float> smooth(64, 30000.0f);
  smooth[10] *= 1.005f;
  smooth[40] *= 1.03f;
  EXPECT_EQ(rav_find_bad_pixels(smooth, kFloor), (std::vector<std::int32_t>{40}));
  EXPECT_TRUE(rav_find_bad_pixels(std::vector<float>(3, 5.0f), kFloor).empty());
}

TEST(DeadPixels, FilledFromTheNearestGoodNeighboursAlongTheRow) {
  // A strided row (every third value) with a run of two bad pixels, and bad pixels at both ends.
  std::vector<float> data(3 * 8, -7.0f);
  const float row[8] = {99, 2, 3, 99, 99, 9, 10, 99};
  for (int i = 0; i < 8; ++i) data[3 * i] = row[i];
  const std::vector<std::int32_t> bad{0, 3, 4, 7};
  rav_fill_bad_pixels(data.data(), 3, 8, bad);
  const float expected[8] = {2, 2, 3, 5, 7, 9, 10, 10};
  for (int i = 0; i < 8; ++i) EXPECT_FLOAT_EQ(data[3 * i], expected[i]) << i;
  EXPECT_EQ(data[1], -7.0f);  // values between the row's are not touched

  std::vector<float> all_bad{1, 2};
  rav_fill_bad_pixels(all_bad.data(), 1, 2, std::vector<std::int32_t>{0, 1});
  EXPECT_EQ(all_bad, (std::vector<float>{1, 2}));
}

// The sinogram of an off-centre pair of discs, 96 bins x 120 projections.
std::vector<float> discs_sinogram(std::int32_t bins, std::int32_t projections) {
  std::vector<float> s(static_cast<std::size_t>(bins) * projections);
  for (std::int32_t j = 0; j < projections; ++j) {
    const double theta = std::numbers::pi * j / projections;
    for (std::int32_t b = 0; b < bins; ++b) {
      double value = 0.0;
      for (const auto [x, y, r, mu] : {std::array{0.0, 0.0, 38.0, 0.2}, {12.0, -5.0, 9.0, 0.3}}) {
        const double u = b + 0.5 - bins / 2.0 - (x * std::cos(theta) - y * std::sin(theta));
        if (std::abs(u) < r) value += mu * 2.0 * std::sqrt(r * r - u * u);
      }
      s[j * bins + b] = static_cast<float>(value);
    }
  }
  return s;
}

TEST(RingRemoval, StripesAreFoundAndOnlyTheirColumnsChange) {
  constexpr std::int32_t bins = 96, projections = 120;
  const std::vector<float> clean = discs_sinogram(bins, projections);
  RavRingOptions rings;
  rings.method = RavRingOptions::SORTING;

  // A sinogram without stripes stays as it is.
  std::vector<float> untouched = clean;
  EXPECT_EQ(rav_remove_rings(rings, bins, projections, untouched), 0);
  EXPECT_EQ(untouched, clean);

  // Offsets in three columns (two of them neighbours), as a gain error of a few percent makes.
  std::vector<float> striped = clean;
  const std::int32_t columns[] = {20, 47, 48};  // 20 lies where the sinogram falls steeply
  for (std::int32_t j = 0; j < projections; ++j) {
    striped[j * bins + 20] += 0.4f;
    striped[j * bins + 47] -= 0.3f;
    striped[j * bins + 48] -= 0.3f;
  }
  std::vector<float> corrected = striped;
  const std::int32_t count = rav_remove_rings(rings, bins, projections, corrected);
  EXPECT_GE(count, 3);
  EXPECT_LE(count, 9);
  for (std::int32_t b = 0; b < bins; ++b) {
    double error = 0.0, distance = bins;
    for (std::int32_t j = 0; j < projections; ++j) {
      error += std::abs(static_cast<double>(corrected[j * bins + b]) - clean[j * bins + b]);
    }
    error /= projections;
    for (const std::int32_t c : columns) distance = std::min<double>(distance, std::abs(b - c));
    // The stripes come back to a small part of their offsets (the one on the steep side of the
    // large disc, 20, as well); columns beside them may be interpolated too, columns away from
    // them are kept.
    if (distance <= 2 * rings.strength + 1) {
      EXPECT_LT(error, 0.1) << b;
    } else {
      EXPECT_EQ(error, 0.0) << b;
    }
  }

  // Options NONE leave every value.
  std::vector<float> kept = striped;
  EXPECT_EQ(rav_remove_rings(RavRingOptions{}, bins, projections, kept), 0);
  EXPECT_EQ(kept, striped);
}

}  // namespace
