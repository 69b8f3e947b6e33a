// The colour scale bar under an image plot.
#include <vector>

#include "dv.h"
#include "vu_internal.h"

void VU_LUTSCALE(float min, float max, std::string_view label, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_LUTSCALE V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (!VU_COM_LUT.display) return;
  if (max < min) return vu_fail(status, 13, kRoutine);

  // Under the reserved graph plot position, whatever the shape of the image above it.
  const VuRegion& gpp = VU_GPP.reserved;
  const VuRegion bar = vu_region(gpp.x_min, gpp.y_min - 0.125f, gpp.x_max, gpp.y_min - 0.1f);

  // The range made usable as the device layer does for the image itself.
  if (min == max) {
    min *= 0.9f;
    max *= 1.1f;
    if (min == max) {
      min -= 0.1f;
      max += 0.1f;
    }
  }
  // A negative constant turns round under the widening above.
  if (min > max) std::swap(min, max);

  // What the image plot set up, restored at the end.
  const VuRegion saved_dddr = VU_DDDR;
  const VuRegion saved_dgpp = VU_GPP.drawn;
  float window[4] = {}, viewport[4] = {};
  DV_INQ_DATAWINDOW(window[0], window[1], window[2], window[3], status);
  DV_INQ_VIEWPORT(viewport[0], viewport[1], viewport[2], viewport[3], status);
  if (st_bad(status, kRoutine)) return;

  DV_DATAWINDOW(min, 0.0f, max, 1.0f, status);
  DV_VIEWPORT(bar.x_min, bar.y_min, bar.x_max, bar.y_max, status);
  if (st_bad(status, kRoutine)) return;
  VU_DDDR = vu_region(min, 0.0f, max, 1.0f);
  VU_GPP.drawn = bar;

  // One row holding every image colour index, stretched over the bar.
  std::int32_t first = 0, last = 0;
  DV_INQ_IMAGERANGE(first, last, status);
  if (st_bad(status, kRoutine)) return;
  std::vector<std::int32_t> indices;
  for (std::int32_t index = first; index <= last; ++index) indices.push_back(index);
  const auto n = static_cast<std::int32_t>(indices.size());
  if (n > 0) DV_CELLARRAY(min, 0.0f, max, 1.0f, n, 1, 1, 1, n, 1, indices.data(), status);

  // Ends in the vertical-axes style, then the axis along the bottom (ticks both ways, numbers
  // below) and the top (ticks down into the bar).
  const VuAxisLineStyle& v = VU_VAXESSTYLE;
  vu_line_attributes(v.line_style, v.line_width, v.colour, status);
  vu_line(min, 0.0f, min, 1.0f, status);
  vu_line(max, 0.0f, max, 1.0f, status);
  float tick_first = 0.0f, tick_step = 0.0f;
  std::int32_t tick_number = 0;
  VU_CAL_TICKS(min, max, tick_first, tick_step, tick_number, status);
  VU_LINAXIS(true, 0.0f, min, max, tick_first, tick_step, tick_number, VuSide::kBoth, true,
             VuSide::kLow, true, status);
  VU_LINAXIS(true, 1.0f, min, max, tick_first, tick_step, tick_number, VuSide::kLow, false,
             VuSide::kLow, false, status);
  VU_XLABEL(label, status);
  if (st_bad(status, kRoutine)) return;

  VU_DDDR = saved_dddr;
  VU_GPP.drawn = saved_dgpp;
  DV_DATAWINDOW(window[0], window[1], window[2], window[3], status);
  DV_VIEWPORT(viewport[0], viewport[1], viewport[2], viewport[3], status);
  VU_SET_DLUTPC(true, bar.x_min, bar.y_min, bar.x_max, bar.y_max, status);
  if (st_bad(status, kRoutine)) return;
}
