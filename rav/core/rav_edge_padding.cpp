// The padding of a projection with EDGE: what the sample would have shown beyond the detector.
//
// Every parallel projection of a sample has the same integral, its mass (times the weight the
// projection carries, for angles that are not evenly spaced). Where some projections
// see the whole sample, that mass is known, and a projection cut by the detector lacks the
// difference. Its padding continues both edges from their values down to zero, each as the
// quarter of an ellipse (the way the projection of a rounded body ends), both as long as puts the
// missing mass beyond the edges. Where every projection is cut, the mass is unknown and the
// padding repeats the edge values.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "rav_numerics.h"

namespace {

// A projection sees the whole sample when both its edge values are at most this share of the
// largest value of the sinogram.
constexpr float kOpenEdge = 0.02f;

double integral(const float* projection, std::int64_t bins) {
  double sum = 0.0;
  for (std::int64_t k = 0; k < bins; ++k) sum += projection[k];
  return sum;
}

}  // namespace

double rav_sample_mass(std::int32_t NUM_BINS, std::int32_t NUM_PROJECTIONS,
                       std::span<const float> sinogram, const RavFilterOptions& options) {
  const std::int64_t bins = NUM_BINS;
  if (bins < 2 || NUM_PROJECTIONS < 1) return 0.0;
  const std::span<const float> used =
      sinogram.first(static_cast<std::size_t>(bins * NUM_PROJECTIONS));
  const float top = *std::max_element(used.begin(), used.end());
  if (!(top > 0.0f)) return 0.0;
  double mass = 0.0;
  for (std::int64_t j = 0; j < NUM_PROJECTIONS; ++j) {
    const float* projection = used.data() + j * bins;
    if (std::max(projection[0], projection[bins - 1]) <= kOpenEdge * top) {
      mass = std::max(mass, integral(projection, bins) / options.weight(j));
    }
  }
  return mass;
}

void rav_edge_padding(const float* projection, std::int32_t bins, std::int64_t NFFT, double mass,
                      float* out, std::int64_t stride) {
  // OUT(i·STRIDE) is sample BINS + i of the periodic transform: the first AFTER continue the
  // last bin, the others (read backwards from the end) lead up to the first bin.
  const std::int64_t room = NFFT - bins;
  const std::int64_t after = (room + 1) / 2;
  const float first = projection[0], last = projection[bins - 1];
  if (!(mass > 0.0)) {
    for (std::int64_t i = 0; i < room; ++i) out[i * stride] = i < after ? last : first;
    return;
  }
  const double left = std::max(first, 0.0f), right = std::max(last, 0.0f);
  const double missing = mass - integral(projection, bins);
  // A quarter ellipse of height E and length L holds π/4·E·L: one length for both edges.
  const double length = left + right > 0.0 && missing > 0.0
                            ? missing / (left + right) * 4.0 / std::numbers::pi
                            : 0.0;
  for (std::int64_t i = 0; i < room; ++i) {
    const std::int64_t x = i < after ? i : room - 1 - i;  // bins beyond the edge, less one
    const double t = length > 0.0 ? (static_cast<double>(x) + 0.5) / length : 1.0;
    const double edge = i < after ? right : left;
    out[i * stride] = t < 1.0 ? static_cast<float>(edge * std::sqrt(1.0 - t * t)) : 0.0f;
  }
}
