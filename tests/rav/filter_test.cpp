// The ramp filter: transform length, weights, the filtered projections against a convolution
// in double precision, and the one- and two-slice reconstructions built on it.
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

// A whole square slice of BINS pixels scanned over half a turn from 0.1.
Block scene_of(std::int32_t bins, std::int32_t projections, float axis) {
  return Block(bins, projections, axis, 1, 1, bins, bins, 0.1f,
               std::numbers::pi_v<float> / static_cast<float>(projections));
}


TEST(FilterSetup, TransformLengthFromBins) {
  EXPECT_EQ(rav_filter_nfft(1024), 2048);
  EXPECT_EQ(rav_filter_nfft(1025), 4096);
  EXPECT_EQ(rav_filter_nfft(512), 1024);
  EXPECT_EQ(rav_filter_nfft(513), 2048);
  EXPECT_EQ(rav_filter_nfft(3), 8);
  EXPECT_EQ(rav_filter_nfft(2), 4);
  EXPECT_EQ(rav_filter_nfft(1), 2);  // room for the Nyquist weight
  EXPECT_EQ(rav_filter_nfft(0), 2);
  EXPECT_EQ(rav_filter_nfft(2048), 4096);
}

TEST(FilterSetup, WeightsAreTheRampOverNfft) {
  const auto f2 = filter_for(2);
  EXPECT_EQ(f2.NFFT(), 4);
  EXPECT_EQ(f2.TWIDDLE().size(), 8u);
  EXPECT_EQ(std::vector<float>(f2.FILTER().begin(), f2.FILTER().end()),
            (std::vector<float>{0.0f, 0.25f, 0.125f, 0.0f}));
  const auto f = filter_for(700);
  ASSERT_EQ(f.NFFT(), 2048);
  ASSERT_EQ(f.TWIDDLE().size(), 4096u);
  EXPECT_EQ(f.FILTER()[0], 0.0f);
  EXPECT_EQ(f.FILTER()[1], 1.0f / 2048);
  for (std::int64_t k = 1; k < 1024; ++k) {
    ASSERT_EQ(f.FILTER()[2 * k], 2.0f * k / (2048.0f * 2048.0f)) << k;
    ASSERT_EQ(f.FILTER()[2 * k + 1], 0.0f) << k;
  }
  // The twiddle table is the one of RAV_EXPNT for this length.
  std::vector<float> table(4096);
  std::int32_t status = ST_OK;
  RAV_EXPNT(4096, 4096, 8, table, status);
  EXPECT_EQ(std::vector<float>(f.TWIDDLE().begin(), f.TWIDDLE().end()), table);
}

TEST(FilterProjection, TwoBinsWorkedExample) {
  const auto f = filter_for(2);
  Block scene = scene_of(2, 1, 1.0f);
  std::vector<float> sino{1.0f, 0.0f};
  std::vector<float> slice(4, 0.0f), work(f.NFFT());
  std::int32_t status = ST_OK;
  RAV_RECON_1SLICE(scene.g, 1, f, sino, slice, work, status);
  ASSERT_EQ(status, ST_OK);
  EXPECT_EQ(sino, (std::vector<float>{0.5f, -0.25f}));
  std::vector<float> ab{3.0f, -5.0f};  // ((2a - b)/4, (2b - a)/4)
  RAV_RECON_1SLICE(scene.g, 0, f, ab, slice, work, status);
  EXPECT_EQ(ab, (std::vector<float>{2.75f, -3.25f}));
}

// The filtered projection is the periodic convolution of the zero-padded projection with the
// ramp H(k) = 2|k|/NFFT (H(NFFT/2) = 1, H(0) = 0), computed here by DFT in double.
TEST(FilterProjection, AgreesWithTheRampInDoublePrecision) {
  for (std::int32_t bins : {5, 100, 333}) {
    const auto f = filter_for(bins);
    const std::int64_t n = f.NFFT();
    const auto p = random_values(bins, 40 + bins, 0.0f, 2.0f);
    std::vector<float> work(n, 123.0f);
    f.filter(p, work);

    std::vector<double> re(n / 2 + 1), im(n / 2 + 1);
    for (std::int64_t k = 0; k <= n / 2; ++k) {
      for (std::int32_t j = 0; j < bins; ++j) {
        const double angle = 2.0 * std::numbers::pi * static_cast<double>((j * k) % n) / n;
        re[k] += p[j] * std::cos(angle);
        im[k] -= p[j] * std::sin(angle);
      }
    }
    double scale = 0.0, sum = 0.0;
    for (float v : work) {
      scale = std::max(scale, std::abs(static_cast<double>(v)));
      sum += v;
    }
    for (std::int64_t j = 0; j < n; ++j) {
      double y = re[n / 2] * ((j % 2 == 0) ? 1.0 : -1.0);  // H(NFFT/2) = 1
      for (std::int64_t k = 1; k < n / 2; ++k) {
        const double angle = 2.0 * std::numbers::pi * static_cast<double>((j * k) % n) / n;
        const double h = 2.0 * k / n;
        y += 2.0 * h * (re[k] * std::cos(angle) - im[k] * std::sin(angle));
      }
      y /= n;
      ASSERT_NEAR(work[j], y, 1e-5 * scale) << bins << " " << j;
    }
    // No DC: the kept and the discarded samples together sum to zero.
    EXPECT_NEAR(sum, 0.0, 1e-5 * scale * n);
  }
}

TEST(FilterProjection, EvenWeightSlotsAreNeverRead) {
  auto f = filter_for(90);
  const Block scene = scene_of(90, 30, 45.2f);
  const auto original = random_values(90 * 30, 8, 0.0f, 2.0f);
  auto sino_a = original;
  std::vector<float> slice_a(90 * 90), work(f.NFFT());
  std::int32_t status = ST_OK;
  RAV_RECON_1SLICE(scene.g, 0, f, sino_a, slice_a, work, status);
  // The plan's own weights, poked from outside: FILTER(2k+2) set to NaN.
  float* weights = const_cast<float*>(f.FILTER().data());
  for (std::int64_t k = 1; k < f.NFFT() / 2; ++k) {
    weights[2 * k + 1] = std::numeric_limits<float>::quiet_NaN();
  }
  auto sino_b = original;
  std::vector<float> slice_b(90 * 90);
  RAV_RECON_1SLICE(scene.g, 0, f, sino_b, slice_b, work, status);
  ASSERT_EQ(status, ST_OK);
  EXPECT_EQ(sino_b, sino_a);
  EXPECT_EQ(slice_b, slice_a);
}

// The two-sinogram routine filters and back-projects exactly as two one-sinogram calls.
TEST(ReconSlice, TwoSinogramsEqualTwoSingleCalls) {
  const auto f = filter_for(75);
  const Block scene = scene_of(75, 40, 37.8f);
  const auto s1 = random_values(75 * 40, 1, 0.0f, 2.0f);
  const auto s2 = random_values(75 * 40, 2, 0.0f, 2.0f);
  for (std::int32_t method : {0, 1}) {
    auto a1 = s1, a2 = s2, b1 = s1, b2 = s2;
    std::vector<float> sa1(75 * 75), sa2(75 * 75), sb1(75 * 75, 4.0f), sb2(75 * 75, 4.0f);
    std::vector<float> w1(f.NFFT()), w2(f.NFFT());
    std::int32_t status = ST_OK;
    RAV_RECON_1SLICE(scene.g, method, f, a1, sa1, w1, status);
    RAV_RECON_1SLICE(scene.g, method, f, a2, sa2, w1, status);
    RAV_RECON_SLICE(scene.g, method, f, b1, b2, sb1, sb2, w1, w2, status);
    ASSERT_EQ(status, ST_OK);
    EXPECT_EQ(b1, a1);
    EXPECT_EQ(b2, a2);
    EXPECT_EQ(sb1, sa1) << method;
    EXPECT_EQ(sb2, sa2) << method;
  }
}

// A uniform disc of attenuation 1 centred on the axis, projections sampled at bin centres
// over half a turn: the plain sum over projections of the ramp-filtered values is
// 2·NUM_PROJECTIONS/π times the attenuation (the filter is 2|f| and no angular weight is
// applied), on top of the uniform offset that a ramp sampled in frequency (H(0) = 0 on a
// finite, zero-padded period) leaves; outside the disc the slice is flat at that offset.
TEST(ReconSlice, UniformDiscComesBackFlat) {
  const std::int32_t bins = 128, projections = 180;
  const float axis = 64.0f;
  const double radius = 40.0;
  const auto f = filter_for(bins);
  Block scene = scene_of(bins, projections, axis);
  scene.g.angles.START_ANGLE = 0.0f;
  std::vector<float> sino(bins * projections);
  for (std::int32_t j = 0; j < projections; ++j) {
    for (std::int32_t k = 1; k <= bins; ++k) {
      const double t = k - 0.5 - axis;
      sino[j * bins + k - 1] =
          std::abs(t) < radius ? static_cast<float>(2.0 * std::sqrt(radius * radius - t * t)) : 0.0f;
    }
  }
  for (std::int32_t method : {0, 1}) {
    auto s = sino;
    std::vector<float> slice(bins * bins), work(f.NFFT());
    std::int32_t status = ST_OK;
    RAV_RECON_1SLICE(scene.g, method, f, s, slice, work, status);
    ASSERT_EQ(status, ST_OK);
    const double expected = 2.0 * projections / std::numbers::pi;
    double inside = 0.0, outside = 0.0, outside_squares = 0.0;
    int n_inside = 0, n_outside = 0;
    for (std::int32_t y = 1; y <= bins; ++y) {
      for (std::int32_t x = 1; x <= bins; ++x) {
        const double r = std::hypot(x - 0.5 - axis, y - 0.5 - axis);
        const double v = slice[(y - 1) * bins + x - 1];
        if (r < 0.8 * radius) {
          inside += v;
          ++n_inside;
        } else if (r > 1.2 * radius && r < 0.95 * (axis - 2)) {
          outside += v;
          outside_squares += v * v;
          ++n_outside;
        }
      }
    }
    const double offset = outside / n_outside;
    const double spread = std::sqrt(outside_squares / n_outside - offset * offset);
    EXPECT_NEAR(inside / n_inside - offset, expected, 0.02 * expected) << method;
    EXPECT_LT(std::abs(offset), 0.05 * expected) << method;
    EXPECT_LT(spread, 0.03 * expected) << method;
  }
}

TEST(ReconSlice, FailuresAndUnknownMethods) {
  const auto f = filter_for(50);
  const Block scene = scene_of(50, 10, 25.0f);
  const auto original = random_values(50 * 10, 3, 0.0f, 2.0f);
  // A work array shorter than the transform: the transform's status, the slice untouched.
  {
    auto sino = original;
    std::vector<float> slice(50 * 50, 6.0f), work(f.NFFT() - 1);
    std::int32_t status = ST_OK;
    RAV_RECON_1SLICE(scene.g, 0, f, sino, slice, work, status);
    EXPECT_EQ(status, 20005);
    EXPECT_EQ(slice, std::vector<float>(50 * 50, 6.0f));
  }
  // A method that is neither 0 nor 1: filtered, not back-projected.
  {
    auto sino = original, reference = original;
    std::vector<float> slice(50 * 50, 6.0f), scratch(50 * 50), work(f.NFFT());
    std::int32_t status = ST_OK;
    RAV_RECON_1SLICE(scene.g, -1000000, f, sino, slice, work, status);
    RAV_RECON_1SLICE(scene.g, 0, f, reference, scratch, work, status);
    EXPECT_EQ(status, ST_OK);
    EXPECT_EQ(slice, std::vector<float>(50 * 50, 6.0f));
    EXPECT_EQ(sino, reference);
  }
  // A bad status on entry: nothing is touched.
  {
    auto sino = original;
    std::vector<float> slice(50 * 50, 6.0f), work(f.NFFT());
    std::int32_t status = 99;
    RAV_RECON_SLICE(scene.g, 1, f, sino, sino, slice, slice, work, work, status);
    EXPECT_EQ(status, 99);
    EXPECT_EQ(sino, original);
    EXPECT_EQ(slice, std::vector<float>(50 * 50, 6.0f));
  }
}

}  // namespace
