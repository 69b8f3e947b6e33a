// Small helpers shared by the plotting routines.
#include <cmath>

#include "dv.h"
#include "vu_internal.h"

namespace {
constexpr std::string_view kHelpers = "Subroutine VU_DRAW_HELPERS V0.1 ";
}

float vu_page_to_world(bool x_direction, float page_length, std::int32_t& status) {
  if (st_bad(status, kHelpers)) return 0.0f;
  float x_scale = 0.0f, y_scale = 0.0f;
  DV_INQ_SCALING(x_scale, y_scale, status);
  const float scale = x_direction ? x_scale : y_scale;
  if (st_bad(status, kHelpers) || scale == 0.0f) return 0.0f;
  return page_length / scale;
}

void vu_text_attributes(std::int32_t font, std::int32_t colour_code, float page_height,
                        std::int32_t h_align, std::int32_t v_align, float angle,
                        std::int32_t& status) {
  if (st_bad(status, kHelpers)) return;
  DV_TEXTFONT(font == 2 ? 2 : 1, status);
  DV_TEXTCOLOUR(vu_colour_index(colour_code), status);
  const float height = vu_page_to_world(false, page_height, status);
  if (height > 0.0f) DV_TEXTHEIGHT(height, status);
  DV_TEXTALIGNMENT(h_align, v_align, status);
  DV_TEXTANGLE(angle, status);
  if (st_bad(status, kHelpers)) return;
}

void vu_line_attributes(std::int32_t style, float width, std::int32_t colour_code,
                        std::int32_t& status) {
  if (st_bad(status, kHelpers)) return;
  DV_LINESTYLE(style, status);
  DV_LINEWIDTH(width, status);
  DV_LINECOLOUR(vu_colour_index(colour_code), status);
  if (st_bad(status, kHelpers)) return;
}

void vu_line(float x1, float y1, float x2, float y2, std::int32_t& status) {
  const float x[2] = {x1, x2};
  const float y[2] = {y1, y2};
  DV_POLYLINE(2, x, y, status);
}

void vu_finite_extent(const float* values, std::int64_t count, float& min, float& max,
                      bool& found) {
  for (std::int64_t i = 0; i < count; ++i) {
    const float v = values[i];
    if (!std::isfinite(v)) continue;
    if (!found) {
      min = max = v;
      found = true;
    } else {
      if (v < min) min = v;
      if (v > max) max = v;
    }
  }
}
