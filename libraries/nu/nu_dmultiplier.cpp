// Power of ten of a value: axis tick steps and the scaling of axis numbers.
#include <cmath>

#include "nu.h"

double NU_DMULTIPLIER(double x) {
  double v = std::fabs(x);
  // Zero has no power of ten and the loops below would never end on it (or on a NaN or an
  // infinity); a neutral factor keeps a constant or empty data range plottable.
  if (v == 0.0 || !std::isfinite(v)) return 1.0;
  double m = 1.0;
  while (v >= 10.0) {
    v /= 10.0;
    m *= 10.0;
  }
  while (v < 1.0) {
    v *= 10.0;
    m /= 10.0;
  }
  return m;
}
