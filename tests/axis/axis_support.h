// Sinograms of the phantom's head for the tests of the rotation axis: the analytic line
// integrals of rav_phantom's model, with Poisson noise, over a half or a whole turn.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "phantom.h"
#include "rav_axis.h"

namespace axis_test {

struct Scan {
  int bins = 256;
  int projections = 90;
  int rows = 2;
  double axis = 128.0;     // A, detector coordinates
  double turn = 180.0;     // degrees covered by the scan
  bool with_end = false;   // the last projection at the end of the turn (a pair 180 degrees apart)
  double photons = 0.0;    // per open-beam pixel; 0: no noise
  double fill_axis = 0.0;  // place the head for a circle about this axis in a detector of
  int fill_bins = 0;       // FILL_BINS bins (0: the scan's own), e.g. the joined detector
  std::uint64_t seed = 7;

  RavAngles angles() const {
    const double step = turn / (with_end ? projections - 1 : projections);
    return {0.0f, static_cast<float>(step * std::numbers::pi / 180.0), {}};
  }
};

// The head placed about the axis: it fills 70 % of the reconstruction circle of the scan (or of
// the detector of FILL_BINS bins about FILL_AXIS), over ROWS slices.
inline std::vector<PhantomEllipsoid> head(const Scan& s) {
  const int bins = s.fill_bins > 0 ? s.fill_bins : s.bins;
  const double fill_axis = s.fill_bins > 0 ? s.fill_axis : s.axis;
  PhantomPlacement placement = phantom_placement(bins, s.rows, fill_axis);
  placement.axis = s.axis;
  return phantom_place(phantom_head(), placement);
}

// ROWS sinograms of BINS x PROJECTIONS minus-log values (pixel size 0.01 cm).
inline std::vector<float> sinograms(const Scan& s) {
  const std::vector<PhantomEllipsoid> placed = head(s);
  const RavAngles angles = s.angles();
  std::mt19937_64 random(s.seed);
  std::vector<float> out;
  std::vector<double> p(static_cast<std::size_t>(s.bins));
  for (int row = 1; row <= s.rows; ++row) {
    std::vector<std::vector<PhantomEllipse>> sections;
    for (double z : phantom_slice_planes(row, 2))
      sections.push_back(phantom_cross_section(placed, z));
    for (int j = 0; j < s.projections; ++j) {
      phantom_projection_row(sections, rav_projection_angle(angles, j), s.axis, 2, 0.01, p);
      for (double value : p) {
        if (s.photons > 0.0) {
          const double counted = std::max<double>(
              1.0, std::poisson_distribution<std::int64_t>(s.photons * std::exp(-value))(random));
          value = -std::log(counted / s.photons);
        }
        out.push_back(static_cast<float>(value));
      }
    }
  }
  return out;
}

}  // namespace axis_test
