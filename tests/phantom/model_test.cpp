// The analytic phantom: chords and line integrals against closed forms and against numerical
// integration of the phantom's own attenuation, sub-sampling, ground truth and orientation.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "phantom.h"

namespace {

constexpr double kPi = std::numbers::pi;

// The line integral of ELLIPSOIDS (1/cm x pixels) along the ray (theta, u) in the plane z,
// by the midpoint rule over the point attenuation: independent of the chord formula.
double integrate_ray(const std::vector<PhantomEllipsoid>& ellipsoids, double theta, double u,
                     double axis, double z, double half_length, int steps) {
  // Points of the ray: (A, A) + (u - A) n + t d, n = (cos, -sin), d = (sin, cos).
  const double nx = std::cos(theta), ny = -std::sin(theta);
  const double dx = std::sin(theta), dy = std::cos(theta);
  const double h = 2.0 * half_length / steps;
  double sum = 0.0;
  for (int k = 0; k < steps; ++k) {
    const double t = -half_length + (k + 0.5) * h;
    const double x = axis + (u - axis) * nx + t * dx;
    const double y = axis + (u - axis) * ny + t * dy;
    sum += phantom_attenuation(ellipsoids, x, y, z);
  }
  return sum * h;
}

std::vector<PhantomEllipsoid> placed_head(int bins, int slices, double axis) {
  return phantom_place(phantom_head(), phantom_placement(bins, slices, axis));
}

}  // namespace

TEST(PhantomChord, CircleAndEllipseClosedForms) {
  // A circle whose centre is the pixel centre (59.5, 49.5): at 30 degrees about the axis 50 it
  // projects to u = 9.5 cos + 0.5 sin + 50, the back-projection's own example.
  const PhantomEllipse circle{59.5, 49.5, 3.0, 3.0, 0.0, 1.0};
  const double theta = 30.0 * kPi / 180.0;
  const double uc = 9.5 * std::cos(theta) + 0.5 * std::sin(theta) + 50.0;
  EXPECT_NEAR(uc, 58.47724, 1e-5);
  EXPECT_NEAR(phantom_chord(circle, theta, uc, 50.0), 6.0, 1e-12);
  EXPECT_NEAR(phantom_chord(circle, theta, uc + 1.8, 50.0), 2.0 * std::sqrt(9.0 - 1.8 * 1.8),
              1e-12);
  EXPECT_EQ(phantom_chord(circle, theta, uc - 3.0001, 50.0), 0.0);

  // At angle 0 the rays are the columns x = u; at 90 degrees the rows y = 2A - u.
  const PhantomEllipse e{40.0, 70.0, 10.0, 5.0, 0.0, 1.0};
  for (double u : {31.0, 35.5, 40.0, 44.0, 49.9}) {
    const double s = (u - 40.0) / 10.0;
    EXPECT_NEAR(phantom_chord(e, 0.0, u, 50.0), 2.0 * 5.0 * std::sqrt(1.0 - s * s), 1e-12) << u;
  }
  for (double y : {66.0, 70.0, 74.5}) {
    const double s = (y - 70.0) / 5.0;
    EXPECT_NEAR(phantom_chord(e, kPi / 2.0, 100.0 - y, 50.0), 2.0 * 10.0 * std::sqrt(1.0 - s * s),
                1e-9)
        << y;
  }
  EXPECT_EQ(phantom_chord(e, 0.0, 29.9, 50.0), 0.0);
  EXPECT_EQ(phantom_chord(e, kPi / 2.0, 100.0 - 75.1, 50.0), 0.0);

  // A sphere cut at height dz: chord 2 sqrt(R^2 - s^2 - dz^2); nothing above it.
  const std::vector<PhantomEllipsoid> sphere = {{50.0, 50.0, 0.0, 5.0, 5.0, 5.0, 0.0, 1.0}};
  EXPECT_NEAR(phantom_line_sum(phantom_cross_section(sphere, 3.0), 0.3, 51.0, 50.0),
              2.0 * std::sqrt(25.0 - 1.0 - 9.0), 1e-12);
  EXPECT_TRUE(phantom_cross_section(sphere, 5.01).empty());
}

TEST(PhantomChord, HeadLineIntegralsMatchNumericalIntegration) {
  // The whole head (rotated and overlapping ellipsoids) cut at several heights, off-centre axis.
  const double axis = 70.5;
  const std::vector<PhantomEllipsoid> head = placed_head(128, 8, axis);
  for (double z : {3.9, 4.05, 7.2}) {
    const std::vector<PhantomEllipse> section = phantom_cross_section(head, z);
    for (double degrees : {0.0, 33.0, 90.0, 161.0}) {
      const double theta = degrees * kPi / 180.0;
      for (double u : {20.25, 48.0, 70.5, 93.7, 118.0}) {
        EXPECT_NEAR(phantom_line_sum(section, theta, u, axis),
                    integrate_ray(head, theta, u, axis, z, 80.0, 40000), 5e-3)
            << "z " << z << " angle " << degrees << " u " << u;
      }
    }
  }
}

TEST(PhantomProjection, BinsAverageSubSamplesAndPlanes) {
  const double axis = 64.0;
  const std::vector<PhantomEllipsoid> head = placed_head(128, 8, axis);
  const int slice = 4;
  const double pixel_cm = 0.02;
  for (int sub : {1, 3, 4}) {
    std::vector<std::vector<PhantomEllipse>> sections;
    for (double z : phantom_slice_planes(slice, sub)) sections.push_back(phantom_cross_section(head, z));
    for (double degrees : {0.0, 47.0, 90.0}) {
      const double theta = degrees * kPi / 180.0;
      std::vector<double> p(128);
      phantom_projection_row(sections, theta, axis, sub, pixel_cm, p);
      for (int k = 1; k <= 128; ++k) {
        double expected = 0.0;
        for (const auto& section : sections) {
          for (int m = 0; m < sub; ++m) {
            expected += phantom_line_sum(section, theta, k - 1 + (m + 0.5) / sub, axis);
          }
        }
        expected *= pixel_cm / (sub * static_cast<double>(sections.size()));
        ASSERT_NEAR(p[k - 1], expected, 1e-12) << "sub " << sub << " angle " << degrees << " bin " << k;
      }
    }
  }
  const std::vector<double> planes = phantom_slice_planes(3, 4);
  ASSERT_EQ(planes.size(), 4U);
  EXPECT_DOUBLE_EQ(planes[0], 2.125);
  EXPECT_DOUBLE_EQ(planes[3], 2.875);
}

TEST(PhantomTruth, VoxelsAverageThePointAttenuation) {
  const int num = 40, slices = 3, sub = 3;
  const std::vector<PhantomEllipsoid> head = placed_head(num, slices, 20.0);
  for (int slice = 1; slice <= slices; ++slice) {
    std::vector<float> truth(static_cast<std::size_t>(num) * num);
    phantom_truth_slice(head, slice, num, sub, truth);
    for (int r = 1; r <= num; ++r) {
      for (int i = 1; i <= num; ++i) {
        double sum = 0.0;
        for (double z : phantom_slice_planes(slice, sub)) {
          for (int a = 0; a < sub; ++a) {
            for (int b = 0; b < sub; ++b) {
              sum += phantom_attenuation(head, i - 1 + (a + 0.5) / sub, r - 1 + (b + 0.5) / sub, z);
            }
          }
        }
        ASSERT_NEAR(truth[(i - 1) + (r - 1) * num], sum / (sub * sub * sub), 1e-6)
            << "slice " << slice << " pixel " << i << ", " << r;
      }
    }
  }
}

TEST(PhantomTruth, HeadValuesAndPlacement) {
  // Attenuation in 1/cm: 0.5 in the skull, 0.2 in the brain, nothing outside; centred on the
  // axis and inside the reconstruction circle.
  const int num = 128;
  const double axis = 60.0;
  const PhantomPlacement placement = phantom_placement(num, 8, axis);
  const std::vector<PhantomEllipsoid> head = phantom_place(phantom_head(), placement);
  EXPECT_NEAR(phantom_attenuation(head, axis + 0.45 * placement.radius, axis, 4.0), 0.2, 1e-12);
  EXPECT_NEAR(phantom_attenuation(head, axis + 0.68 * placement.radius, axis, 4.0), 0.5, 1e-12);
  EXPECT_EQ(phantom_attenuation(head, axis + 0.70 * placement.radius, axis, 4.0), 0.0);
  EXPECT_NEAR(phantom_attenuation(head, axis + 0.22 * placement.radius, axis, 4.0), 0.15, 1e-12);
  const double circle = std::min(axis, num - axis) - 0.501;
  EXPECT_LE(0.92 * placement.radius, circle - 2.0);
  EXPECT_GE(0.92 * placement.radius, 0.6 * circle);

  // The slices differ: the ventricles lie in the middle slices only.
  std::vector<float> lower(num * num), upper(num * num);
  phantom_truth_slice(head, 1, num, 2, lower);
  phantom_truth_slice(head, 4, num, 2, upper);
  const int i = static_cast<int>(axis + 0.22 * placement.radius) + 1;
  const int r = static_cast<int>(axis) + 1;
  EXPECT_NEAR(upper[(i - 1) + (r - 1) * num], 0.15, 1e-6);
  EXPECT_NEAR(lower[(i - 1) + (r - 1) * num], 0.20, 1e-6);
  float outside = 0.0F;
  for (int k = 0; k < num; ++k) outside = std::max({outside, upper[k], upper[k * num]});
  EXPECT_EQ(outside, 0.0F);
}

TEST(PhantomOrientation, ProjectionsAgreeWithTheTruthSlice) {
  // At angle 0 bin k sees column k of the slice, at 90 degrees row 2A + 1 - k: the column and
  // row sums of the ground truth approximate the projections, so a mirrored or turned
  // projection would stand out (the head is not symmetric top to bottom).
  const int num = 96, slice = 2, sub = 4;
  const double axis = 46.0, pixel_cm = 0.05;
  const std::vector<PhantomEllipsoid> head = placed_head(num, 4, axis);
  std::vector<float> truth(num * num);
  phantom_truth_slice(head, slice, num, sub, truth);
  std::vector<std::vector<PhantomEllipse>> sections;
  for (double z : phantom_slice_planes(slice, sub)) sections.push_back(phantom_cross_section(head, z));

  std::vector<double> p0(num), p90(num);
  phantom_projection_row(sections, 0.0, axis, sub, pixel_cm, p0);
  phantom_projection_row(sections, kPi / 2.0, axis, sub, pixel_cm, p90);
  double largest = 0.0, worst0 = 0.0, worst90 = 0.0;
  for (int k = 1; k <= num; ++k) {
    double column = 0.0, row = 0.0;
    const int r90 = static_cast<int>(2 * axis) + 1 - k;
    for (int n = 1; n <= num; ++n) {
      column += truth[(k - 1) + (n - 1) * num];
      if (r90 >= 1 && r90 <= num) row += truth[(n - 1) + (r90 - 1) * num];
    }
    largest = std::max(largest, p0[k - 1]);
    worst0 = std::max(worst0, std::fabs(p0[k - 1] - column * pixel_cm));
    worst90 = std::max(worst90, std::fabs(p90[k - 1] - row * pixel_cm));
  }
  EXPECT_GT(largest, 0.5);
  EXPECT_LT(worst0, 0.01 * largest);
  EXPECT_LT(worst90, 0.01 * largest);
}
