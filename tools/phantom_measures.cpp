// Measures of a reconstructed slice against a reference: the amplitude of its rings.
#include <cmath>
#include <vector>

#include "phantom.h"

double phantom_ring_amplitude(std::span<const float> slice, std::span<const float> reference,
                              int num) {
  const int rings = num / 2 - 2;  // radii 0 .. num / 2 - 3
  if (rings < 1) return 0.0;
  std::vector<double> difference(static_cast<std::size_t>(rings), 0.0);
  std::vector<int> count(static_cast<std::size_t>(rings), 0);
  const double centre = 0.5 * num;
  for (int y = 0; y < num; ++y) {
    for (int x = 0; x < num; ++x) {
      const auto ring = static_cast<int>(std::hypot(x + 0.5 - centre, y + 0.5 - centre));
      if (ring >= rings) continue;
      const std::size_t i = static_cast<std::size_t>(y) * num + x;
      difference[ring] += static_cast<double>(slice[i]) - reference[i];
      ++count[ring];
    }
  }
  double squares = 0.0;
  for (int r = 0; r < rings; ++r) {
    const double mean = difference[r] / count[r];
    squares += mean * mean;
  }
  return std::sqrt(squares / rings);
}
