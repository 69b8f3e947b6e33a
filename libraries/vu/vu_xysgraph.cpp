// A single curve with frame, axes, title and labels.
#include <cmath>

#include "dv.h"
#include "vu_internal.h"

namespace {

// Automatic display range of one coordinate: the values' extent widened by 5 % each side,
// 0..1 without values, and at least a little width around a constant.
void auto_range(const float* values, std::int32_t strelm, std::int32_t endelm, float& lo,
                float& hi) {
  bool found = false;
  vu_finite_extent(values + (strelm - 1), endelm - strelm + 1, lo, hi, found);
  if (!found) {
    lo = 0.0f;
    hi = 1.0f;
    return;
  }
  const float margin = 0.05f * (hi - lo);
  lo -= margin;
  hi += margin;
  if (hi - lo < 0.00001f) {
    lo -= 0.01f;
    hi += 0.01f;
  }
  // Large constants: 0.01 is lost in their precision, so widen relatively.
  if (!(lo < hi)) {
    const float wide = 0.01f * std::fabs(lo);
    lo -= wide;
    hi += wide;
  }
}

}  // namespace

void VU_XYSGRAPH(std::int32_t maxdat, std::int32_t strelm, std::int32_t endelm, const float* x,
                 const float* y, std::string_view title, std::string_view xlabel,
                 std::string_view ylabel, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_XYSGRAPH V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (maxdat < 1 || x == nullptr || y == nullptr) return vu_fail(status, 1, kRoutine);
  if (strelm < 1 || endelm > maxdat || endelm < strelm) return vu_fail(status, 5, kRoutine);

  // Error bars are off for a single curve; the display range is restored afterwards.
  const VuXyFlags saved_errorbars = VU_ERRORBARS;
  const VuRegion saved_ddr = VU_DDR;
  VU_ERRORBARS = VuXyFlags{false, false};

  VuRegion range = VU_DDR;
  if (VU_AUTODDR.x_min || VU_AUTODDR.x_max) {
    float lo = 0.0f, hi = 1.0f;
    auto_range(x, strelm, endelm, lo, hi);
    if (VU_AUTODDR.x_min) range.x_min = lo;
    if (VU_AUTODDR.x_max) range.x_max = hi;
  }
  if (VU_AUTODDR.y_min || VU_AUTODDR.y_max) {
    float lo = 0.0f, hi = 1.0f;
    auto_range(y, strelm, endelm, lo, hi);
    if (VU_AUTODDR.y_min) range.y_min = lo;
    if (VU_AUTODDR.y_max) range.y_max = hi;
  }
  VU_SET_DDR(range.x_min, range.y_min, range.x_max, range.y_max, status);
  VU_SET_DDDR(range.x_min, range.y_min, range.x_max, range.y_max, status);
  const VuRegion plot = VU_GPP.reserved;
  VU_SET_DGPP(plot.x_min, plot.y_min, plot.x_max, plot.y_max, status);
  DV_DATAWINDOW(range.x_min, range.y_min, range.x_max, range.y_max, status);
  DV_VIEWPORT(plot.x_min, plot.y_min, plot.x_max, plot.y_max, status);

  VU_BACKGROUND(status);
  VU_AXISFRAME(status);

  // The curve, clipped to the frame.
  DV_CLIPWINDOW(range.x_min, range.y_min, range.x_max, range.y_max, status);
  DV_CLIP(true, status);
  vu_line_attributes(VU_CURVESTYLES.line_style[0], VU_CURVESTYLES.line_width[0],
                     VU_CURVESTYLES.colour[0], status);
  const std::int32_t n = endelm - strelm + 1;
  if (n >= 2) {
    DV_POLYLINE(n, x + (strelm - 1), y + (strelm - 1), status);
  } else {
    // A line needs two points; a single value is shown as a marker.
    DV_MARKERCOLOUR(vu_colour_index(VU_CURVESTYLES.colour[0]), status);
    DV_MARKERTYPE(VU_CURVEMARKERS.type[0] > 0 ? VU_CURVEMARKERS.type[0] : 2, status);
    DV_POLYMARKER(1, x + (strelm - 1), y + (strelm - 1), status);
  }
  DV_CLIP(false, status);

  VU_GRID(status);
  VU_TITLE(title, status);
  VU_XLABEL(xlabel, status);
  VU_YLABEL(ylabel, status);
  VU_ERRORBARS = saved_errorbars;
  VU_DDR = saved_ddr;
  if (st_bad(status, kRoutine)) return;
}
