// Every kernel target against the reference loops, bit for bit: the back-projection (nearest,
// linear and oversampled, one and two slices, odd sizes, off-centre axes, blocks that start inside
// the slice or lie partly outside the circle, angles all round the circle, rows long enough for
// many windows), the sinogram correction (every option, awkward values, odd lengths, in place)
// and the filter of sixteen projections at once.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "perf_support.h"
#include "rav_kernels.h"
#include "rav_numerics.h"
#include "ut.h"

namespace {

using perf::bits_equal;
using perf::TargetScope;

// A slice block and its limits, with random filtered sinograms.
struct Case {
  std::string name;
  std::int32_t bins, projections, x_start, y_start, num_x, num_y;
  float axis, start_angle, angle_step;
};

struct Scene {
  RavGeometry g;
  std::vector<float> sinogram_1, sinogram_2;

  explicit Scene(const Case& c, unsigned seed)
      : g(rav_geometry(c.bins, c.projections, c.axis, {c.start_angle, c.angle_step, {}},
                       {c.x_start, c.y_start, c.num_x, c.num_y})) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    const std::int64_t size = std::int64_t{c.bins} * c.projections;
    sinogram_1.resize(static_cast<std::size_t>(size));
    sinogram_2.resize(static_cast<std::size_t>(size));
    for (float& v : sinogram_1) v = value(rng);
    for (float& v : sinogram_2) v = value(rng);
  }
  std::int64_t pixels() const { return g.pixels(); }
};

const float kPi = std::numbers::pi_v<float>;

std::vector<Case> cases() {
  return {
      {"centred_even", 64, 45, 1, 1, 64, 64, 32.0f, 0.0f, kPi / 45},
      {"odd_sizes_off_centre", 77, 31, 1, 1, 77, 77, 35.3f, 0.13f, kPi / 31},
      {"partial_block", 91, 23, 12, 7, 61, 53, 47.75f, -0.4f, 0.137f},
      {"block_past_circle", 50, 17, 30, 2, 33, 41, 24.6f, 1.0f, 0.21f},
      {"narrow_rows", 40, 13, 18, 1, 5, 40, 20.0f, 0.3f, 0.5f},
      {"full_turn_many_angles", 33, 200, 1, 1, 33, 33, 16.5f, 0.01f, 2.0f * kPi / 200},
      {"axis_near_edge", 100, 19, 1, 1, 100, 100, 30.0f, 2.5f, -0.31f},
      {"wider_than_detector", 24, 11, 1, 1, 40, 35, 12.0f, 0.7f, 0.4f},
      {"one_projection_at_zero", 57, 1, 1, 1, 57, 57, 28.5f, 0.0f, 0.1f},
      {"outside_circle", 40, 9, 1, 1, 40, 3, 20.0f, 0.0f, 0.3f},
      // Rows long enough for windows to be placed many times over, and a block far from the
      // slice's origin.
      {"wide_detector", 1500, 7, 1, 700, 1500, 37, 750.3f, 0.05f, 0.45f},
      {"block_far_out", 700, 5, 401, 331, 250, 21, 356.6f, -0.2f, 0.7f},
  };
}

class KernelTargets : public testing::TestWithParam<RavKernelTarget> {};

TEST_P(KernelTargets, NearestAndLinearOneAndTwoSlicesEqualTheReference) {
  unsigned seed = 1;
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    Scene s(c, seed++);
    const std::size_t pixels = static_cast<std::size_t>(s.pixels());
    for (const bool linear : {false, true}) {
      SCOPED_TRACE(linear ? "linear" : "nearest");
      std::vector<float> ref_1(pixels, 7.0f), ref_2(pixels, 7.0f), one(pixels, 7.0f);
      std::vector<float> fast_1(pixels, -3.0f), fast_2(pixels, -3.0f);
      std::int32_t status = ST_OK;
      {
        TargetScope scope(RavKernelTarget::REFERENCE);
        if (linear) {
          RAV_BACKPROJECT_LINEAR(s.g, s.sinogram_1, s.sinogram_2, ref_1, ref_2, status);
        } else {
          RAV_BACKPROJECT_NEAREST(s.g, s.sinogram_1, s.sinogram_2, ref_1, ref_2, status);
        }
      }
      {
        TargetScope scope(GetParam());
        if (linear) {
          RAV_BACKPROJECT_LINEAR(s.g, s.sinogram_1, s.sinogram_2, fast_1, fast_2, status);
          RAV_BACKPROJECT_1LINEAR(s.g, s.sinogram_2, one, status);
        } else {
          RAV_BACKPROJECT_NEAREST(s.g, s.sinogram_1, s.sinogram_2, fast_1, fast_2, status);
          RAV_BACKPROJECT_1NEAREST(s.g, s.sinogram_2, one, status);
        }
      }
      ASSERT_EQ(status, ST_OK);
      EXPECT_TRUE(bits_equal(ref_1, fast_1));
      EXPECT_TRUE(bits_equal(ref_2, fast_2));
      EXPECT_TRUE(bits_equal(ref_2, one));
    }
  }
}

TEST_P(KernelTargets, OversampledProjectionsEqualTheReferenceLoop) {
  unsigned seed = 100;
  for (const Case& c : cases()) {
    for (const std::int32_t OV : {2, 3, 4, 8}) {
      SCOPED_TRACE(c.name + " OV " + std::to_string(OV));
      Scene s(c, seed++);
      const std::size_t pixels = static_cast<std::size_t>(s.pixels());
      const std::int64_t fine = std::int64_t{OV} * c.bins;
      // Resampled projections made from the random sinograms.
      std::vector<float> fine_1(static_cast<std::size_t>(fine * c.projections));
      std::vector<float> fine_2(fine_1.size());
      for (std::int32_t j = 0; j < c.projections; ++j) {
        rav_oversample_projection(
            std::span<const float>(s.sinogram_1).subspan(std::size_t(j) * c.bins, c.bins), OV,
            std::span<float>(fine_1).subspan(std::size_t(j * fine), fine));
        rav_oversample_projection(
            std::span<const float>(s.sinogram_2).subspan(std::size_t(j) * c.bins, c.bins), OV,
            std::span<float>(fine_2).subspan(std::size_t(j * fine), fine));
      }
      std::vector<RavKernelProjection> list;
      double theta = c.start_angle;
      for (std::int32_t j = 0; j < c.projections; ++j) {
        RavKernelProjection p;
        if (!rav_projection_trig(s.g.angles, RavKernelMethod::FINE, j, theta, p.c, p.s)) continue;
        p.data[0] = fine_1.data() + j * fine;
        p.data[1] = fine_2.data() + j * fine;
        list.push_back(p);
      }
      std::vector<float> ref_1(pixels, 0.5f), ref_2(pixels, 0.5f);
      {
        TargetScope scope(RavKernelTarget::REFERENCE);
        float* both[2] = {ref_1.data(), ref_2.data()};
        rav_kernel_backproject(RavKernelMethod::FINE, s.g, OV, list, 2, both);
      }
      TargetScope scope(GetParam());
      std::vector<float> fast_1(pixels, 0.5f), fast_2(pixels, 0.5f), one(pixels, 0.5f);
      float* both[2] = {fast_1.data(), fast_2.data()};
      // In two batches, as the oversampled workers hand them over.
      const std::size_t half = list.size() / 2;
      rav_kernel_backproject(RavKernelMethod::FINE, s.g, OV,
                             std::span<const RavKernelProjection>(list).first(half), 2, both);
      rav_kernel_backproject(RavKernelMethod::FINE, s.g, OV,
                             std::span<const RavKernelProjection>(list).subspan(half), 2, both);
      for (RavKernelProjection& p : list) p.data[0] = p.data[1];
      float* single[2] = {one.data(), nullptr};
      rav_kernel_backproject(RavKernelMethod::FINE, s.g, OV, list, 1, single);
      EXPECT_TRUE(bits_equal(ref_1, fast_1));
      EXPECT_TRUE(bits_equal(ref_2, fast_2));
      EXPECT_TRUE(bits_equal(ref_2, one));
    }
  }
}

// Rows of image values with everything a detector and a division can produce: negative,
// zero, tiny, huge, infinite and NaN values, in images and in flat fields.
std::vector<float> awkward_row(std::mt19937& rng, std::int32_t n) {
  std::uniform_real_distribution<float> value(-0.2f, 3.0f);
  const float special[] = {0.0f, -0.0f, 1e-30f, 1e30f, std::numeric_limits<float>::infinity(),
                           -std::numeric_limits<float>::infinity(),
                           std::numeric_limits<float>::quiet_NaN(), RAV_LOG_FLOOR};
  std::vector<float> row(static_cast<std::size_t>(n));
  for (float& v : row) v = rng() % 7 == 0 ? special[rng() % 8] : value(rng);
  return row;
}

TEST_P(KernelTargets, CorrectionEqualsTheReferenceLoop) {
  TargetScope scope(GetParam());
  std::mt19937 rng(5);
  for (const std::int32_t n : {1, 7, 16, 33, 1000}) {
    const std::vector<float> image = awkward_row(rng, n), background = awkward_row(rng, n);
    const std::vector<float> flat = awkward_row(rng, n), flat2 = awkward_row(rng, n);
    for (int options = 0; options < 16; ++options) {
      SCOPED_TRACE(std::to_string(n) + " values, options " + std::to_string(options));
      RavCorrection c;
      c.background = options & 1 ? background.data() : nullptr;
      c.flat = options & 6 ? flat.data() : nullptr;
      c.flat2 = (options & 6) == 6 ? flat2.data() : nullptr;
      c.flat_weight = 0.3f;
      c.take_logarithm = (options & 8) != 0;
      c.scale = 1.7e-3f;
      std::vector<float> expected(image.size()), actual(image.size()), in_place = image;
      std::int64_t ref_bad = 0, bad = 0, in_place_bad = 0;
      const std::int64_t ref_raised =
          rav_correct_row_reference(image.data(), c, n, expected.data(), ref_bad);
      EXPECT_EQ(rav_correct_row(image.data(), c, n, actual.data(), bad), ref_raised);
      EXPECT_EQ(rav_correct_row(in_place.data(), c, n, in_place.data(), in_place_bad), ref_raised);
      EXPECT_EQ(bad, ref_bad);
      EXPECT_EQ(in_place_bad, ref_bad);
      EXPECT_TRUE(bits_equal(expected, actual));
      EXPECT_TRUE(bits_equal(expected, in_place));
    }
  }
}

TEST_P(KernelTargets, FilterOfSixteenProjectionsAtOnceEqualsTheFilterOfEach) {
  TargetScope scope(GetParam());
  std::mt19937 rng(9);
  std::uniform_real_distribution<float> value(-1.0f, 1.0f);
  // The original filter, and a window with each padding (the padding fills the batch too); with
  // EDGE, each projection with a mass of its own: none (the edges repeated) or more than it
  // holds (the edges continued down to zero).
  RavFilterOptions hann_edge, zero;
  hann_edge.window = RavFilterOptions::HANN;
  hann_edge.padding = RavFilterOptions::EDGE;
  zero.padding = RavFilterOptions::ZERO;
  for (const auto& [bins, options] :
       {std::pair{1, RavFilterOptions{}}, std::pair{2, hann_edge}, std::pair{5, zero},
        std::pair{64, hann_edge}, std::pair{1023, RavFilterOptions{}}, std::pair{1023, hann_edge}}) {
    const RavFilterPlan plan(bins, options);
    std::vector<float> projections(static_cast<std::size_t>(bins) * RavFilterPlan::kBatch);
    for (float& v : projections) v = value(rng);
    std::vector<float> work(static_cast<std::size_t>(plan.batch_work_values()));
    std::vector<double> masses;
    for (int l = 0; l < RavFilterPlan::kBatch; ++l) masses.push_back(0.3 * bins * (l % 3));
    for (const std::size_t count : {std::size_t{1}, std::size_t{7}, std::size_t{16}}) {
      SCOPED_TRACE(std::to_string(bins) + " bins, " + std::to_string(count) + " projections");
      std::vector<float> expected = projections, actual = projections;
      std::vector<const float*> in;
      std::vector<float*> out;
      for (std::size_t l = 0; l < count; ++l) {
        float* one = expected.data() + l * bins;
        plan.filter(std::span<const float>(one, static_cast<std::size_t>(bins)), work, masses[l]);
        std::copy_n(work.begin(), bins, one);
        in.push_back(actual.data() + l * bins);
        out.push_back(actual.data() + l * bins);  // in place
      }
      plan.filter_batch(in, out, work, std::span(masses).first(count));
      EXPECT_TRUE(bits_equal(expected, actual));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Every, KernelTargets, testing::ValuesIn(perf::available_targets()),
                         [](const testing::TestParamInfo<RavKernelTarget>& info) {
                           return std::string(rav_kernel_target_name(info.param));
                         });

TEST(KernelChoice, DefaultIsTheBestAvailableAndUnavailableTargetsAreRefused) {
  const std::vector<RavKernelTarget> targets = rav_kernel_targets();
  ASSERT_FALSE(targets.empty());
  EXPECT_EQ(targets.front(), RavKernelTarget::REFERENCE);
#ifdef RAV_REFERENCE
  EXPECT_EQ(targets.size(), 1u);
  EXPECT_EQ(rav_kernel_target(), RavKernelTarget::REFERENCE);
#else
  // Some vector target runs on every processor (at least the one the build assumes, or
  // scalar); the best comes first after the reference.
  ASSERT_GE(targets.size(), 2u);
  EXPECT_EQ(rav_kernel_target(), targets[1]);
#endif
  for (const RavKernelTarget other : {RavKernelTarget::AVX512, RavKernelTarget::NEON}) {
    if (rav_kernel_target_available(other)) continue;
    EXPECT_FALSE(rav_set_kernel_target(other));
    EXPECT_EQ(rav_kernel_target(), targets.size() > 1 ? targets[1] : targets[0]);
  }
}

}  // namespace
