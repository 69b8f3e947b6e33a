// The analytic phantom: ellipsoids, their cross-sections, chords and voxel averages.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "phantom.h"

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

// First and last sub-sample index g (positions (g + 0.5) / SUB) strictly inside (LO, HI),
// clipped to 0 .. COUNT - 1. Empty when first > last.
void inside_range(double lo, double hi, int sub, std::int64_t count, std::int64_t& first,
                  std::int64_t& last) {
  const double limit = static_cast<double>(count);
  const double g_lo = std::floor(std::clamp(lo * sub - 0.5, -2.0, limit + 1.0)) + 1.0;
  const double g_hi = std::ceil(std::clamp(hi * sub - 0.5, -2.0, limit + 1.0)) - 1.0;
  first = std::max<std::int64_t>(0, static_cast<std::int64_t>(g_lo));
  last = std::min<std::int64_t>(count - 1, static_cast<std::int64_t>(g_hi));
}

}  // namespace

std::vector<PhantomEllipsoid> phantom_head() {
  // Centre x, y, z; semi-axes a, b, c; rotation about z in degrees; attenuation added (1/cm).
  struct Row {
    double x, y, z, a, b, c, phi, mu;
  };
  static constexpr Row kRows[] = {
      {0.0, 0.0, 0.0, 0.69, 0.92, 0.90, 0.0, 0.50},           // skull
      {0.0, -0.0184, 0.0, 0.6624, 0.874, 0.88, 0.0, -0.30},   // brain
      {0.22, 0.0, 0.0, 0.11, 0.31, 0.22, -18.0, -0.05},       // right ventricle
      {-0.22, 0.0, 0.0, 0.16, 0.41, 0.28, 18.0, -0.05},       // left ventricle
      {0.0, 0.35, -0.15, 0.21, 0.25, 0.41, 0.0, 0.03},        // large lesion
      {0.0, 0.10, 0.25, 0.046, 0.046, 0.05, 0.0, 0.03},       // small spheres, upper slices
      {0.0, -0.10, 0.25, 0.046, 0.046, 0.05, 0.0, 0.03},
      {-0.08, -0.605, 0.0, 0.046, 0.023, 0.05, 0.0, 0.03},    // tiny features, middle slices
      {0.0, -0.606, 0.0, 0.023, 0.023, 0.02, 0.0, 0.03},
      {0.06, -0.605, 0.0, 0.023, 0.046, 0.02, 0.0, 0.03},
  };
  std::vector<PhantomEllipsoid> head;
  for (const Row& row : kRows) {
    head.push_back({row.x, row.y, row.z, row.a, row.b, row.c, row.phi * kDegree, row.mu});
  }
  return head;
}

PhantomPlacement phantom_placement(int bins, int slices, double axis) {
  // The reconstruction visits pixels up to about two pixels inside the circle of radius
  // min(A, bins - A) - 0.501; the skull's largest semi-axis is 0.92 head units.
  const double circle = std::min(axis, bins - axis) - 0.501;
  PhantomPlacement placement;
  placement.axis = axis;
  placement.radius = std::max(0.0, 0.7 * (circle - 2.0) / 0.92);
  placement.z_centre = 0.5 * slices;
  placement.z_scale = slices;
  return placement;
}

std::vector<PhantomEllipsoid> phantom_place(const std::vector<PhantomEllipsoid>& head,
                                            const PhantomPlacement& placement) {
  std::vector<PhantomEllipsoid> placed;
  placed.reserve(head.size());
  for (const PhantomEllipsoid& e : head) {
    placed.push_back({placement.axis + e.x * placement.radius,
                      placement.axis + e.y * placement.radius,
                      placement.z_centre + e.z * placement.z_scale, e.a * placement.radius,
                      e.b * placement.radius, e.c * placement.z_scale, e.phi, e.mu});
  }
  return placed;
}

std::vector<PhantomEllipse> phantom_cross_section(const std::vector<PhantomEllipsoid>& ellipsoids,
                                                  double z) {
  std::vector<PhantomEllipse> section;
  for (const PhantomEllipsoid& e : ellipsoids) {
    const double t = (z - e.z) / e.c;
    if (t * t >= 1.0) continue;
    const double f = std::sqrt(1.0 - t * t);
    section.push_back({e.x, e.y, e.a * f, e.b * f, e.phi, e.mu});
  }
  return section;
}

double phantom_attenuation(const std::vector<PhantomEllipsoid>& ellipsoids, double x, double y,
                           double z) {
  double mu = 0.0;
  for (const PhantomEllipsoid& e : ellipsoids) {
    const double dx = x - e.x, dy = y - e.y, dz = z - e.z;
    const double c = std::cos(e.phi), s = std::sin(e.phi);
    const double xr = (dx * c + dy * s) / e.a;
    const double yr = (-dx * s + dy * c) / e.b;
    const double zr = dz / e.c;
    if (xr * xr + yr * yr + zr * zr < 1.0) mu += e.mu;
  }
  return mu;
}

// The ray of detector coordinate u at angle theta has the unit normal n = (cos theta,
// -sin theta) and lies at u - A from the axis along n, so its offset from the ellipse centre is
// s = u - uc with uc the centre's own detector coordinate. The ellipse's half-width along n is
// r = sqrt(a^2 cos^2(theta + phi) + b^2 sin^2(theta + phi)), and the chord at offset s is
// 2ab sqrt(r^2 - s^2) / r^2.
double phantom_chord(const PhantomEllipse& e, double theta, double u, double axis) {
  const double uc = axis + (e.x - axis) * std::cos(theta) - (e.y - axis) * std::sin(theta);
  const double cp = std::cos(theta + e.phi), sp = std::sin(theta + e.phi);
  const double r2 = e.a * e.a * cp * cp + e.b * e.b * sp * sp;
  const double s = u - uc;
  const double d = r2 - s * s;
  return d > 0.0 ? 2.0 * e.a * e.b * std::sqrt(d) / r2 : 0.0;
}

double phantom_line_sum(const std::vector<PhantomEllipse>& ellipses, double theta, double u,
                        double axis) {
  double sum = 0.0;
  for (const PhantomEllipse& e : ellipses) sum += e.mu * phantom_chord(e, theta, u, axis);
  return sum;
}

void phantom_projection_row(const std::vector<std::vector<PhantomEllipse>>& sections,
                            double theta, double axis, int sub, double pixel_cm,
                            std::span<double> p) {
  std::fill(p.begin(), p.end(), 0.0);
  if (sections.empty() || sub < 1) return;
  const std::int64_t count = static_cast<std::int64_t>(p.size()) * sub;
  const double ct = std::cos(theta), st = std::sin(theta);
  for (const std::vector<PhantomEllipse>& section : sections) {
    for (const PhantomEllipse& e : section) {
      // Only the sub-samples under the ellipse's shadow are visited.
      const double uc = axis + (e.x - axis) * ct - (e.y - axis) * st;
      const double cp = std::cos(theta + e.phi), sp = std::sin(theta + e.phi);
      const double r2 = e.a * e.a * cp * cp + e.b * e.b * sp * sp;
      const double r = std::sqrt(r2);
      const double weight = e.mu * 2.0 * e.a * e.b / r2;
      std::int64_t first = 0, last = -1;
      inside_range(uc - r, uc + r, sub, count, first, last);
      for (std::int64_t g = first; g <= last; ++g) {
        const double s = (static_cast<double>(g) + 0.5) / sub - uc;
        const double d = r2 - s * s;
        if (d > 0.0) p[static_cast<std::size_t>(g / sub)] += weight * std::sqrt(d);
      }
    }
  }
  const double scale = pixel_cm / (static_cast<double>(sub) * static_cast<double>(sections.size()));
  for (double& value : p) value *= scale;
}

std::vector<double> phantom_slice_planes(int slice, int sub) {
  std::vector<double> planes;
  for (int q = 0; q < sub; ++q) planes.push_back(slice - 1 + (q + 0.5) / sub);
  return planes;
}

void phantom_truth_slice(const std::vector<PhantomEllipsoid>& ellipsoids, int slice, int num,
                         int sub, std::span<float> truth) {
  const std::size_t n = static_cast<std::size_t>(num);
  std::vector<double> sum(n * n, 0.0);
  const std::int64_t count = static_cast<std::int64_t>(num) * sub;
  // Per row of sub-samples, each ellipse adds its attenuation over one run of sub-samples:
  // marked at both ends of the run and summed once along the row.
  std::vector<double> marks(static_cast<std::size_t>(count) + 1, 0.0);
  for (double z : phantom_slice_planes(slice, sub)) {
    const std::vector<PhantomEllipse> section = phantom_cross_section(ellipsoids, z);
    for (std::int64_t h = 0; h < count; ++h) {
      const double y = (static_cast<double>(h) + 0.5) / sub;
      std::int64_t touched_first = count, touched_last = -1;
      for (const PhantomEllipse& e : section) {
        // Points (x, y) of the ellipse: A dx^2 + B dx + C < 0 with dx = x - centre.
        const double c = std::cos(e.phi), s = std::sin(e.phi);
        const double dy = y - e.y;
        const double ia = 1.0 / (e.a * e.a), ib = 1.0 / (e.b * e.b);
        const double qa = c * c * ia + s * s * ib;
        const double qb = 2.0 * dy * c * s * (ia - ib);
        const double qc = dy * dy * (s * s * ia + c * c * ib) - 1.0;
        const double disc = qb * qb - 4.0 * qa * qc;
        if (disc <= 0.0) continue;
        const double root = std::sqrt(disc);
        const double x1 = e.x + (-qb - root) / (2.0 * qa);
        const double x2 = e.x + (-qb + root) / (2.0 * qa);
        std::int64_t first = 0, last = -1;
        inside_range(x1, x2, sub, count, first, last);
        if (first > last) continue;
        marks[static_cast<std::size_t>(first)] += e.mu;
        marks[static_cast<std::size_t>(last + 1)] -= e.mu;
        touched_first = std::min(touched_first, first);
        touched_last = std::max(touched_last, last);
      }
      if (touched_last < touched_first) continue;
      double run = 0.0;
      double* row = sum.data() + static_cast<std::size_t>(h / sub) * n;
      for (std::int64_t g = touched_first; g <= touched_last + 1; ++g) {
        run += marks[static_cast<std::size_t>(g)];
        marks[static_cast<std::size_t>(g)] = 0.0;
        if (g <= touched_last) row[g / sub] += run;
      }
    }
  }
  const double scale = 1.0 / (static_cast<double>(sub) * sub * sub);
  for (std::size_t k = 0; k < n * n; ++k) truth[k] = static_cast<float>(sum[k] * scale);
}
