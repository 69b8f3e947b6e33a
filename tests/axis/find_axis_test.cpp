// Finding the rotation axis on arrays: the accuracy on noisy scans of 1024 bins with the axis up
// to 100 pixels off centre, over half and whole turns, with and without projections 180 degrees
// apart; the pairs it finds; and the scans it refuses to decide.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "axis_support.h"

namespace {

using axis_test::Scan;

// Offsets of the axis from the centre of 1024 bins, none of them whole.
constexpr double kOffsets[] = {-100.0, -61.37, -7.5, 0.42, 33.81, 99.65};

RavAxisResult find(const Scan& s) {
  return rav_find_axis(axis_test::sinograms(s), s.rows, s.bins, s.projections, s.angles());
}

Scan noisy_1024(double offset) {
  Scan s;
  s.bins = 1024;
  s.rows = 2;
  s.projections = 60;
  s.axis = 512.0 - offset;
  s.photons = 20000.0;
  return s;
}

TEST(FindAxis, WithinATenthOfAPixelFromProjections180DegreesApart) {
  for (const double offset : kOffsets) {
    for (const double turn : {180.0, 360.0}) {
      Scan s = noisy_1024(offset);
      s.turn = turn;
      s.with_end = turn == 180.0;  // 0 and 180 degrees both taken; a whole turn pairs every one
      s.seed = static_cast<std::uint64_t>(offset * 100 + turn);
      const RavAxisResult r = find(s);
      SCOPED_TRACE("offset " + std::to_string(offset) + ", turn " + std::to_string(turn));
      ASSERT_TRUE(r.decided) << r.reason;
      EXPECT_EQ(r.method, RavAxisMethod::MIRRORED_PAIRS);
      EXPECT_NEAR(r.axis, s.axis, 0.1);
      EXPECT_GT(r.confidence, 0.9);
      EXPECT_EQ(r.pairs, turn == 180.0 ? 1 : 30);
      // A whole turn also lets the centroids check the answer.
      if (turn == 360.0) {
        EXPECT_NEAR(r.check, s.axis, 0.25);
      }
    }
  }
}

TEST(FindAxis, WithinAQuarterOfAPixelWithoutAPair) {
  for (const double offset : kOffsets) {
    Scan s = noisy_1024(offset);  // 0 to 177 degrees
    s.seed = static_cast<std::uint64_t>(offset * 100 + 1);
    const RavAxisResult r = find(s);
    SCOPED_TRACE("offset " + std::to_string(offset));
    ASSERT_TRUE(r.decided) << r.reason;
    EXPECT_EQ(r.method, RavAxisMethod::CENTROIDS);
    EXPECT_NEAR(r.axis, s.axis, 0.25);
  }
}

TEST(FindAxis, FromTwoProjectionsOverTheRowsOfABlock) {
  Scan s = noisy_1024(-41.3);
  s.rows = 3;
  s.projections = 2;
  s.turn = 180.0;
  s.with_end = true;
  const std::vector<float> sinograms = axis_test::sinograms(s);
  // Row r of the first projection, then of the second: two images of three rows.
  std::vector<float> first, second;
  for (int row = 0; row < s.rows; ++row) {
    const auto start = sinograms.begin() + row * 2 * s.bins;
    first.insert(first.end(), start, start + s.bins);
    second.insert(second.end(), start + s.bins, start + 2 * s.bins);
  }
  const RavAxisResult r = rav_find_axis_pair(first, second, s.rows, s.bins);
  ASSERT_TRUE(r.decided) << r.reason;
  EXPECT_NEAR(r.axis, s.axis, 0.1);
  // The same the other way round: which of the two came first does not matter.
  EXPECT_NEAR(rav_find_axis_pair(second, first, s.rows, s.bins).axis, s.axis, 0.1);
}

TEST(FindAxis, SaysWhenItCannotDecide) {
  // Noise only: nothing to register, and nothing absorbs on average.
  std::vector<float> noise(4 * 128 * 64);
  std::mt19937 random(3);
  std::normal_distribution<float> value(0.0f, 1.0f);
  for (float& v : noise) v = value(random);
  RavAngles half{0.0f, static_cast<float>(std::numbers::pi / 64), {}};
  RavAxisResult r = rav_find_axis(noise, 4, 128, 64, half);
  EXPECT_FALSE(r.decided);
  EXPECT_FALSE(r.reason.empty());
  // A sample wider than the field of view and no pair: the centroids cannot be trusted.
  Scan wide;
  wide.axis = 40.0;
  wide.fill_axis = 128.0;
  wide.fill_bins = 256;
  r = find(wide);
  EXPECT_FALSE(r.decided);
  EXPECT_NE(r.reason.find("reaches the ends of the detector"), std::string::npos) << r.reason;
  // Arrays that do not hold what their sizes say.
  r = rav_find_axis(std::vector<float>(10), 1, 128, 64, half);
  EXPECT_FALSE(r.decided);
}

TEST(FindAxis, PairsOfProjectionsHalfATurnApart) {
  // 0, 45, ..., 315 degrees: four pairs; a list in any order pairs the same way.
  const float step = static_cast<float>(std::numbers::pi / 4);
  auto pairs = rav_opposite_pairs(8, {0.0f, step, {}});
  ASSERT_EQ(pairs.size(), 4u);
  EXPECT_EQ(pairs[0], std::make_pair(0, 4));
  EXPECT_EQ(pairs[3], std::make_pair(3, 7));
  RavAngles list{
      0.0f,
      0.0f,
      {3.0 * std::numbers::pi / 2, 0.1, std::numbers::pi / 2, 0.7, 0.1 + std::numbers::pi}};
  pairs = rav_opposite_pairs(5, list);
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[0], std::make_pair(0, 2));
  EXPECT_EQ(pairs[1], std::make_pair(1, 4));
  // Half a turn in 90 steps without its end: none.
  EXPECT_TRUE(
      rav_opposite_pairs(90, {0.0f, static_cast<float>(std::numbers::pi / 90), {}}).empty());
}

}  // namespace
