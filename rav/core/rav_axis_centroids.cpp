// The rotation axis from the centres of mass of the projections. In parallel beam the total
// absorption of a slice is the same in every projection, and its centre of mass projects onto
// the detector as a point of the slice does: at u = A + X cos θ - Y sin θ, with (X, Y) the
// centre of mass relative to the axis. A least-squares fit of A + X cos θ + Y' sin θ to the
// centroids of all projections gives A (S. G. Azevedo, D. J. Schneberk, J. P. Fitch and
// H. E. Martz, "Calculation of the rotational centers in computed tomography sinograms", IEEE
// Transactions on Nuclear Science 37(4), 1990). It needs the whole sample inside the field of
// view in every projection: rows whose projections absorb at the ends of the detector, or whose
// total absorption changes over the scan, are not used.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

#include "rav_axis_internal.h"

namespace {

// Relative change of the total absorption over the scan above which a row is not used.
constexpr double kMaxMassChange = 0.02;
// Absorption at the ends of the detector, relative to the highest of the row, above which the
// sample is taken to reach beyond them (the mean of the three outermost bins at each end).
constexpr double kMaxEdge = 0.03;
// Standard error of the axis (pixels) above which the centroids do not decide it.
constexpr double kMaxError = 0.1;

// The least-squares fit of one row's centroids: the axis, its standard error, and the relative
// change of the total absorption; ERROR is infinite when the row cannot be fitted.
struct RowFit {
  double axis = 0.0, error = std::numeric_limits<double>::infinity(), mass_change = 1.0;
  double edge = 1.0;  // the absorption at the ends of the detector relative to the highest
};

// The absorption at the ends of the detector (the mean over the projections of the higher of
// the two ends, each the mean of its three outermost bins), relative to the highest absorption
// of the row. Noise averages out; a sample that reaches beyond the detector does not.
double edge_absorption(const float* sinogram, std::int32_t N, std::int32_t NP) {
  double edge = 0.0, peak = 0.0;
  const std::int32_t width = std::min(3, N / 2);
  for (std::int32_t j = 0; j < NP; ++j) {
    const float* p = sinogram + std::int64_t{j} * N;
    double left = 0.0, right = 0.0;
    for (std::int32_t k = 0; k < width; ++k) {
      left += p[k] / width;
      right += p[N - 1 - k] / width;
    }
    edge += std::max(left, right) / NP;
    for (std::int32_t k = 0; k < N; ++k) peak = std::max(peak, double{p[k]});
  }
  return peak > 0.0 ? std::abs(edge) / peak : 1.0;
}

// Solves the 3 x 3 system M x = R (Gaussian elimination with partial pivoting) and gives the
// first element of the first column of M's inverse in INVERSE00. False when M is singular.
bool solve3(std::array<std::array<double, 3>, 3> M, std::array<double, 3> r,
            std::array<double, 3>& x, double& inverse00) {
  std::array<std::array<double, 3>, 3> I{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  for (int c = 0; c < 3; ++c) {
    int pivot = c;
    for (int i = c + 1; i < 3; ++i) pivot = std::abs(M[i][c]) > std::abs(M[pivot][c]) ? i : pivot;
    if (!(std::abs(M[pivot][c]) > 1e-300)) return false;
    std::swap(M[c], M[pivot]);
    std::swap(I[c], I[pivot]);
    std::swap(r[c], r[pivot]);
    for (int i = 0; i < 3; ++i) {
      if (i == c) continue;
      const double f = M[i][c] / M[c][c];
      for (int k = 0; k < 3; ++k) {
        M[i][k] -= f * M[c][k];
        I[i][k] -= f * I[c][k];
      }
      r[i] -= f * r[c];
    }
  }
  for (int i = 0; i < 3; ++i) x[i] = r[i] / M[i][i];
  inverse00 = I[0][0] / M[0][0];
  return true;
}

RowFit fit_row(const float* sinogram, std::int32_t N, std::int32_t NP, const RavAngles& angles) {
  RowFit fit;
  fit.edge = edge_absorption(sinogram, N, NP);
  std::vector<double> mass, centroid, theta;
  for (std::int32_t j = 0; j < NP; ++j) {
    const float* p = sinogram + std::int64_t{j} * N;
    double m = 0.0, first = 0.0;
    for (std::int32_t k = 0; k < N; ++k) {
      m += p[k];
      first += (k + 0.5) * p[k];
    }
    if (!(m > 0.0)) continue;
    mass.push_back(m);
    centroid.push_back(first / m);
    theta.push_back(rav_projection_angle(angles, j));
  }
  const auto n = std::ssize(mass);
  if (n < 4) return fit;
  double mean = 0.0, spread = 0.0;
  for (double m : mass) mean += m / static_cast<double>(n);
  for (double m : mass) spread += (m - mean) * (m - mean) / static_cast<double>(n);
  fit.mass_change = std::sqrt(spread) / mean;
  std::array<std::array<double, 3>, 3> M{};
  std::array<double, 3> r{}, x{};
  for (std::int64_t j = 0; j < n; ++j) {
    const std::array<double, 3> basis{1.0, std::cos(theta[j]), std::sin(theta[j])};
    for (int a = 0; a < 3; ++a) {
      for (int b = 0; b < 3; ++b) M[a][b] += basis[a] * basis[b];
      r[a] += basis[a] * centroid[j];
    }
  }
  double inverse00 = 0.0;
  if (!solve3(M, r, x, inverse00)) return fit;
  double residual = 0.0;
  for (std::int64_t j = 0; j < n; ++j) {
    const double e = centroid[j] - x[0] - x[1] * std::cos(theta[j]) - x[2] * std::sin(theta[j]);
    residual += e * e;
  }
  fit.axis = x[0];
  fit.error = std::sqrt(residual / static_cast<double>(n - 3) * std::max(inverse00, 0.0));
  return fit;
}

}  // namespace

RavAxisResult rav_axis_from_centroids(std::span<const float> sinograms, std::int32_t ROWS,
                                      std::int32_t N, std::int32_t NP, const RavAngles& angles) {
  RavAxisResult result;
  result.method = RavAxisMethod::CENTROIDS;
  double weights = 0.0, sum = 0.0, change = 0.0, least_change = 1.0e300;
  bool at_edge = false;
  for (std::int32_t row = 0; row < ROWS; ++row) {
    const RowFit fit = fit_row(sinograms.data() + std::int64_t{row} * N * NP, N, NP, angles);
    if (!(fit.edge <= kMaxEdge)) {
      at_edge = true;
      continue;
    }
    least_change = std::min(least_change, fit.mass_change);
    if (!(fit.mass_change <= kMaxMassChange) || !std::isfinite(fit.error)) continue;
    const double w = 1.0 / std::max(fit.error * fit.error, 1.0e-12);
    weights += w;
    sum += w * fit.axis;
    change += w * fit.mass_change;
    ++result.rows;
  }
  if (result.rows == 0) {
    result.reason = at_edge && !(least_change < 1.0e300)
                        ? "the sample reaches the ends of the detector (it is wider than the field "
                          "of view)"
                    : least_change < 1.0e300
                        ? "the total absorption changes by " +
                              rav_axis_number(100.0 * least_change, 1) +
                              " % or more over the scan (the sample leaves the field of view)"
                        : "no projection absorbs";
    return result;
  }
  result.axis = sum / weights;
  result.confidence = std::clamp(1.0 - change / weights / kMaxMassChange, 0.0, 1.0);
  const double error = 1.0 / std::sqrt(weights);
  if (!(error <= kMaxError)) {
    result.reason = "the centroids scatter too much (the axis is uncertain by " +
                    rav_axis_number(error, 2) + " pixels)";
  }
  result.decided = result.reason.empty();
  return result;
}

std::string rav_axis_number(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}
