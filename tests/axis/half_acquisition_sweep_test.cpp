// Half acquisition and the axis sweep on arrays: the plan of the joining, the joined sinogram
// against that of a detector twice as wide, the slices of a sweep against ordinary
// reconstructions, and the sharpest slice of a sweep at the true axis.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "axis_support.h"

namespace {

using axis_test::Scan;

RavAngles whole_turn(int projections) {
  return {0.0f, static_cast<float>(2.0 * std::numbers::pi / projections), {}};
}

TEST(HalfAcquisition, PairsTheFirstHalfTurnWithTheSecond) {
  std::string problem;
  RavHalfAcquisition plan = rav_half_acquisition(100, 200, 90.3f, whole_turn(200), problem);
  ASSERT_TRUE(problem.empty()) << problem;
  EXPECT_EQ(plan.NUM_BINS, 200);
  EXPECT_EQ(plan.NUM_PROJECTIONS, 100);
  EXPECT_EQ(plan.SHIFT, 0);
  EXPECT_EQ(plan.AXIS_POSITION, 90.3f);
  EXPECT_EQ(plan.WEIGHT, 2.0f);
  EXPECT_EQ(plan.DIRECT.back(), 99);
  EXPECT_EQ(plan.PARTNER.front(), 100);
  // An axis in the first half of the detector: the mirrored half goes before the detector's own.
  plan = rav_half_acquisition(100, 201, 9.7f,
                              {0.0f, static_cast<float>(std::numbers::pi / 100), {}}, problem);
  ASSERT_TRUE(problem.empty()) << problem;
  EXPECT_EQ(plan.SHIFT, 100);
  EXPECT_EQ(plan.AXIS_POSITION, 109.7f);
  EXPECT_EQ(plan.NUM_PROJECTIONS, 100);  // 0 to 360 degrees: the last projection is not needed
  EXPECT_FLOAT_EQ(plan.WEIGHT, 2.01f);
  // Half a turn has no partners; an axis off the detector has no overlap.
  rav_half_acquisition(100, 100, 90.3f, {0.0f, static_cast<float>(std::numbers::pi / 100), {}},
                       problem);
  EXPECT_NE(problem.find("no partner half a turn later"), std::string::npos) << problem;
  rav_half_acquisition(100, 200, 100.3f, whole_turn(200), problem);
  EXPECT_NE(problem.find("must lie on the detector"), std::string::npos) << problem;
}

// The joined sinogram of a sample twice as wide as the detector, scanned over a whole turn with
// the axis at 94 % of the detector, against the sinogram of a detector twice as wide over the
// first half turn: the same, but for the interpolation of the mirrored half, with no step where
// the halves meet, and the noise of the blended part lower than elsewhere.
TEST(HalfAcquisition, JoinedSinogramIsThatOfADetectorTwiceAsWide) {
  for (const double photons : {0.0, 20000.0}) {
    Scan half;
    half.bins = 128;
    half.projections = 240;
    half.turn = 360.0;
    half.rows = 1;
    half.axis = 0.94 * 128;
    half.fill_axis = half.axis;
    half.fill_bins = 256;
    half.photons = photons;
    Scan wide = half;
    wide.bins = 256;
    wide.projections = 120;
    wide.turn = 180.0;
    wide.photons = 0.0;
    std::string problem;
    const RavHalfAcquisition plan = rav_half_acquisition(
        half.bins, half.projections, static_cast<float>(half.axis), half.angles(), problem);
    ASSERT_TRUE(problem.empty()) << problem;
    std::vector<float> joined(static_cast<std::size_t>(plan.NUM_BINS) * plan.NUM_PROJECTIONS);
    rav_join_half_acquisition(plan, axis_test::sinograms(half), joined);
    const std::vector<float> expected = axis_test::sinograms(wide);
    // Columns (detector coordinates) where both halves are blended, and where one alone counts.
    const double lo = 2.0 * half.axis - half.bins, hi = half.bins;
    double blended = 0.0, single = 0.0, peak = 0.0;
    std::int64_t n_blended = 0, n_single = 0;
    for (int j = 0; j < plan.NUM_PROJECTIONS; ++j) {
      for (int b = 0; b < 2 * static_cast<int>(std::ceil(half.axis)) - 1; ++b) {
        const std::size_t i = static_cast<std::size_t>(j) * 256 + b;
        const double error = joined[i] / plan.WEIGHT - expected[i];
        peak = std::max<double>(peak, expected[i]);
        const bool in_overlap = b + 0.5 > lo && b + 0.5 < hi;
        (in_overlap ? blended : single) += error * error;
        ++(in_overlap ? n_blended : n_single);
      }
    }
    const double rms_blended = std::sqrt(blended / n_blended),
                 rms_single = std::sqrt(single / n_single);
    SCOPED_TRACE("photons " + std::to_string(photons));
    EXPECT_LT(rms_single, (photons > 0.0 ? 0.05 : 0.01) * peak);
    // Blending two noisy halves with weights w and 1 - w lowers the noise (a hard switch from one
    // to the other at the axis would not).
    EXPECT_LT(rms_blended, 0.95 * rms_single);
  }
}

// Every slice of a sweep is the slice an ordinary reconstruction with its axis gives, for every
// method, and with half acquisition too.
TEST(AxisSweep, SlicesAreThoseOfReconstructionsWithEachAxis) {
  Scan s;
  s.bins = 48;
  s.projections = 40;
  s.rows = 1;
  s.axis = 23.3;
  s.photons = 20000.0;
  const std::vector<float> sinogram = axis_test::sinograms(s);
  const RavBlock block{3, 2, 41, 44};
  const std::vector<float> axes = rav_sweep_axes(21.3, 25.3, 1.0);
  ASSERT_EQ(axes.size(), 5u);
  for (const std::int32_t factor : {0, 1, 3}) {
    const RavMethod method = RavMethod::from_factor(factor);
    std::vector<float> swept(axes.size() * block.NUM_X * block.NUM_Y);
    rav_axis_sweep(sinogram, s.bins, s.projections, s.angles(), block, method, axes, false, swept);
    for (std::size_t t = 0; t < axes.size(); ++t) {
      RavReconstructor one(rav_geometry(s.bins, s.projections, axes[t], s.angles(), block), method);
      std::vector<float> in = sinogram, out(static_cast<std::size_t>(block.NUM_X) * block.NUM_Y);
      float* sinograms[] = {in.data()};
      float* slices[] = {out.data()};
      one.reconstruct(sinograms, slices);
      EXPECT_TRUE(std::equal(out.begin(), out.end(), swept.begin() + t * out.size()))
          << "method " << factor << ", axis " << axes[t];
    }
  }
  // Half acquisition: each trial joined about its own axis, then reconstructed.
  Scan turn = s;
  turn.turn = 360.0;
  turn.projections = 80;
  turn.axis = 44.2;
  const std::vector<float> whole = axis_test::sinograms(turn);
  const std::vector<float> trial{44.0f};
  std::vector<float> swept(static_cast<std::size_t>(block.NUM_X) * block.NUM_Y);
  rav_axis_sweep(whole, turn.bins, turn.projections, turn.angles(), block, {}, trial, true, swept);
  std::string problem;
  const RavHalfAcquisition plan =
      rav_half_acquisition(turn.bins, turn.projections, 44.0f, turn.angles(), problem);
  std::vector<float> joined(static_cast<std::size_t>(plan.NUM_BINS) * plan.NUM_PROJECTIONS);
  rav_join_half_acquisition(plan, whole, joined);
  RavReconstructor one(
      rav_geometry(plan.NUM_BINS, plan.NUM_PROJECTIONS, plan.AXIS_POSITION, plan.angles, block),
      RavMethod{});
  std::vector<float> out(swept.size());
  float* sinograms[] = {joined.data()};
  float* slices[] = {out.data()};
  one.reconstruct(sinograms, slices);
  EXPECT_EQ(out, swept);
  // A trial axis without a reconstruction circle is refused.
  const std::vector<float> outside{47.9f};
  EXPECT_THROW(
      rav_axis_sweep(sinogram, s.bins, s.projections, s.angles(), block, {}, outside, false, swept),
      std::invalid_argument);
}

TEST(AxisSweep, TheSliceAtTheTrueAxisIsTheSharpest) {
  for (const double turn : {180.0, 360.0}) {
    Scan s;
    s.bins = 256;
    s.projections = 360;
    s.rows = 1;
    s.turn = turn;
    s.axis = 124.7;
    s.photons = 20000.0;
    const RavBlock block{1, 1, 256, 256};
    const std::vector<float> axes = rav_sweep_axes(120.7, 128.7, 1.0);
    const RavAxisSweep sweep(axis_test::sinograms(s), s.bins, s.projections, s.angles(), block,
                             RavMethod{});
    std::vector<float> slices(axes.size() * 256 * 256);
    sweep.reconstruct(axes, slices);
    const std::vector<std::uint8_t> region = sweep.common_region(axes);
    std::vector<double> sharpness;
    for (std::size_t t = 0; t < axes.size(); ++t) {
      sharpness.push_back(
          rav_sharpness(std::span<const float>(slices).subspan(t * 65536, 65536), block, region));
    }
    const auto best = std::max_element(sharpness.begin(), sharpness.end()) - sharpness.begin();
    EXPECT_EQ(axes[static_cast<std::size_t>(best)], 124.7f) << "turn " << turn;
  }
}

}  // namespace
