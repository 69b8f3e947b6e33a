// Intensity scaling and drawing of an image region.
#include <cmath>

#include "dv.h"
#include "nu.h"
#include "vu_internal.h"

namespace {

// The smallest and largest finite values of the region (FOUND false when there are none).
// Automatic scaling falls back on it when infinities or NaNs in the data (dead detector pixels
// after the logarithm) would leave no usable range.
void finite_range(std::int32_t xmaxdat, const float* data, std::int32_t xstrelm,
                  std::int32_t ystrelm, std::int32_t xendelm, std::int32_t yendelm, float& min,
                  float& max, bool& found) {
  found = false;
  for (std::int64_t y = ystrelm - 1; y < yendelm; ++y) {
    vu_finite_extent(data + y * static_cast<std::int64_t>(xmaxdat) + (xstrelm - 1),
                     xendelm - xstrelm + 1, min, max, found);
  }
}

}  // namespace

void VU_2DMCELLARRAY(bool masked, std::int32_t xmaxdat, std::int32_t ymaxdat, const float* data,
                     const std::uint8_t* mask, std::int32_t xstrelm, std::int32_t ystrelm,
                     std::int32_t xendelm, std::int32_t yendelm, std::int32_t mode, float& min,
                     float& max, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_2DMCELLARRAY V0.4 ";
  if (st_bad(status, kRoutine)) return;
  if (masked && mask == nullptr) masked = false;

  float region_min = 0.0f, region_max = 0.0f;
  if (mode != 1) {
    NU_REBINMINMAX(xmaxdat, ymaxdat, data, xstrelm, ystrelm, xendelm, yendelm, 1, 1, region_min,
                   region_max, status);
    if (st_bad(status, kRoutine)) return;
    if (!std::isfinite(region_min) || !std::isfinite(region_max) || region_min > region_max) {
      bool found = false;
      finite_range(xmaxdat, data, xstrelm, ystrelm, xendelm, yendelm, region_min, region_max,
                   found);
      if (!found) region_min = region_max = 0.0f;
    }
  }
  switch (mode) {
    case 1:
      break;
    case 2:
      max = region_max;
      break;
    case 3:
      min = region_min;
      break;
    default:
      // Mode 0, and mode 4 whose difference-based scaling this library does not offer.
      min = region_min;
      max = region_max;
      break;
  }

  if (mode != 0 && !(min < max)) {
    if (mode == 2) {
      vu_message("WARNING: The maximum data value is less than the user input minimum");
      min = max - 1000.0f;
    } else {
      vu_message("WARNING: The minimum data value is greater than the user input maximum");
      max = min + 1000.0f;
    }
    vu_message("         Z-value (intensity)");
    vu_message("         Use \"Z-SCALE\" to change values or scaling mode");
    return;
  }

  const VuRegion& r = VU_IDR;
  DV_RMASKCELLARRAY(masked, r.x_min, r.y_min, r.x_max, r.y_max, xmaxdat, ymaxdat, xstrelm,
                    ystrelm, xendelm - xstrelm + 1, yendelm - ystrelm + 1, data, mask, min, max,
                    vu_colour_index(VU_MASKCOLOUR), status);
  if (st_bad(status, kRoutine)) return;
}
