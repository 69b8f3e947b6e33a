// Tick values of a linear axis.
#include <cmath>

#include "nu.h"
#include "vu_internal.h"

void VU_CAL_TICKS(float min, float max, float& first, float& step, std::int32_t& number,
                  std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_CAL_TICKS V0.1 ";
  if (st_bad(status, kRoutine)) return;
  // Infinite ends would give no usable ticks at all; treat them as an empty range.
  if (!(max > min) || !std::isfinite(min) || !std::isfinite(max)) {
    return vu_fail(status, 13, kRoutine);
  }
  const double range = static_cast<double>(max) - static_cast<double>(min);
  const double d = range / 10.0;
  const double m = NU_DMULTIPLIER(d);
  const double q = d / m;
  double factor = 10.0;
  if (q <= 1.05) {
    factor = 1.0;
  } else if (q <= 2.1) {
    factor = 2.0;
  } else if (q <= 5.25) {
    factor = 5.0;
  }
  const double s = m * factor;
  double f = static_cast<double>(vu_nint(static_cast<double>(min) / s)) * s;
  if (static_cast<double>(min) - f > range / 10000.0) f += s;
  first = static_cast<float>(f);
  step = static_cast<float>(s);
  number = static_cast<std::int32_t>((static_cast<double>(max) - f) / s + 0.00001) + 1;
}
