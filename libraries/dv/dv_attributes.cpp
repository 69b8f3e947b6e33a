// Device layer: drawing attributes. Each is stored, and sent to the active workstations only
// when it differs from the stored value, so repeated style calls cost no device traffic.
#include <algorithm>
#include <cstdio>
#include <string>

#include "dv_internal.h"

namespace {

bool bad_value(bool bad, const std::string& what, std::string_view name, const std::string& value,
               std::int32_t& status, std::string_view routine) {
  if (!bad) return false;
  dv_message("ERROR: " + what + " out of range (" + std::string(name) + "): " + value);
  dv_fail(status, DV_BAD_VALUE, routine);
  return true;
}

const float* colour_of(std::int32_t index) {
  static const float kBlack[3] = {0.0f, 0.0f, 0.0f};
  if (index < 0 || index > 255) return kBlack;
  return DV_DB_COLOURS.table[index];
}

// Colour attribute for PostScript: inverse video (index below 1) cannot be drawn there.
template <typename Setter>
void send_ps_colour(std::int32_t index, Setter setter, std::int32_t& ps_status) {
  if (index < 1) {
    dv_message("WARNING: The PostScript driver does not support inverse video");
    return;
  }
  const float* rgb = colour_of(index);
  setter(rgb[0], rgb[1], rgb[2], ps_status);
}

}  // namespace

void DV_LINESTYLE(std::int32_t style, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_LINESTYLE V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (dv_not_open("DV_LINESTYLE")) return;
  if (bad_value(style < 0 || style > 4, "Line style", "DV_LINESTYLE", std::to_string(style),
                status, kRoutine))
    return;
  if (style == DV_DB_RASTERMODE.line_style) return;
  DV_DB_RASTERMODE.line_style = style;
  dv_send([&](std::int32_t& r) { DV_X11_LINESTYLE(style, r); },
          [&](std::int32_t& s) { DV_PS_LINESTYLE(style, s); }, DV_BACKEND_FAILURE, status,
          kRoutine);
}

void DV_LINEWIDTH(float width, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_LINEWIDTH V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (dv_not_open("DV_LINEWIDTH")) return;
  if (width == DV_DB_RASTERMODE.line_width) return;
  DV_DB_RASTERMODE.line_width = width;
  dv_send([&](std::int32_t& r) { DV_X11_LINEWIDTH(width, r); },
          [&](std::int32_t& s) { DV_PS_LINEWIDTH(width, s); }, DV_BACKEND_FAILURE, status,
          kRoutine);
}

void DV_LINECOLOUR(std::int32_t index, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_LINECOLOUR V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (dv_not_open("DV_LINECOLOUR")) return;
  // -1 is inverse video; the colour table holds indices 0..255.
  if (bad_value(index < -1 || index > 255, "Line colour index", "DV_LINECOLOUR",
                std::to_string(index), status, kRoutine))
    return;
  if (index == DV_DB_RASTERMODE.line_colour) return;
  DV_DB_RASTERMODE.line_colour = index;
  dv_send([&](std::int32_t& r) { DV_X11_LINECOLOUR(index, r); },
          [&](std::int32_t& s) { send_ps_colour(index, DV_PS_LINECOLOUR, s); }, DV_BACKEND_FAILURE,
          status, kRoutine);
}

void DV_FILLCOLOUR(std::int32_t index, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_FILLCOLOUR V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (dv_not_open("DV_FILLCOLOUR")) return;
  if (bad_value(index < 0 || index > 255, "Fill colour index", "DV_FILLCOLOUR",
                std::to_string(index), status, kRoutine))
    return;
  if (index == DV_DB_RASTERMODE.fill_colour) return;
  DV_DB_RASTERMODE.fill_colour = index;
  dv_send([&](std::int32_t& r) { DV_X11_FILLCOLOUR(index, r); },
          [&](std::int32_t& s) {
            const float* rgb = colour_of(index);
            DV_PS_FILLCOLOUR(rgb[0], rgb[1], rgb[2], s);
          },
          DV_BACKEND_FAILURE, status, kRoutine);
}

void DV_TEXTFONT(std::int32_t font, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_TEXTFONT V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (dv_not_open("DV_TEXTFONT")) return;
  if (bad_value(font < 1 || font > 2, "Text font", "DV_TEXTFONT", std::to_string(font), status,
                kRoutine))
    return;
  if (font == DV_DB_TEXTATTS.font) return;
  DV_DB_TEXTATTS.font = font;
  dv_send([&](std::int32_t& r) { DV_X11_TEXTFONT(font, r); },
          [&](std::int32_t& s) { DV_PS_TEXTFONT(font, s); }, DV_BACKEND_FAILURE, status, kRoutine);
}

void DV_TEXTCOLOUR(std::int32_t index, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_TEXTCOLOUR V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (dv_not_open("DV_TEXTCOLOUR")) return;
  if (bad_value(index < 0 || index > 255, "Text colour index", "DV_TEXTCOLOUR",
                std::to_string(index), status, kRoutine))
    return;
  if (index == DV_DB_TEXTATTS.colour) return;
  DV_DB_TEXTATTS.colour = index;
  dv_send([&](std::int32_t& r) { DV_X11_TEXTCOLOUR(index, r); },
          [&](std::int32_t& s) {
            const float* rgb = colour_of(index);
            DV_PS_TEXTCOLOUR(rgb[0], rgb[1], rgb[2], s);
          },
          DV_BACKEND_FAILURE, status, kRoutine);
}

void DV_TEXTHEIGHT(float height, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_TEXTHEIGHT V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (dv_not_open("DV_TEXTHEIGHT")) return;
  if (!(height > 0.0f)) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(height));
    dv_message("ERROR: Text height must be positive (DV_TEXTHEIGHT): " + std::string(buffer));
    dv_fail(status, DV_BAD_HEIGHT, kRoutine);
    return;
  }
  const DvDbTransform& t = DV_DB_TRANSFORM;
  float page_height =
      height * (t.viewport[3] - t.viewport[1]) / (t.data_window[3] - t.data_window[1]);
  page_height = std::max(page_height, 0.005f);
  if (page_height == DV_DB_TEXTATTS.height) return;
  DV_DB_TEXTATTS.height = page_height;
  dv_send([&](std::int32_t& r) { DV_X11_TEXTHEIGHT(page_height, r); },
          [&](std::int32_t& s) { DV_PS_TEXTHEIGHT(page_height, s); }, DV_BACKEND_FAILURE, status,
          kRoutine);
}

void DV_TEXTALIGNMENT(std::int32_t horizontal, std::int32_t vertical, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_TEXTALIGNMENT V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (dv_not_open("DV_TEXTALIGNMENT")) return;
  if (bad_value(horizontal < 0 || horizontal > 3 || vertical < 0 || vertical > 6,
                "Text alignment", "DV_TEXTALIGNMENT",
                std::to_string(horizontal) + " " + std::to_string(vertical), status, kRoutine))
    return;
  if (horizontal == DV_DB_TEXTATTS.h_align && vertical == DV_DB_TEXTATTS.v_align) return;
  DV_DB_TEXTATTS.h_align = horizontal;
  DV_DB_TEXTATTS.v_align = vertical;
  dv_send([&](std::int32_t& r) { DV_X11_TEXTALIGNMENT(horizontal, vertical, r); },
          [&](std::int32_t& s) { DV_PS_TEXTALIGNMENT(horizontal, vertical, s); },
          DV_DRAWING_FAILURE, status, kRoutine);
}

void DV_TEXTANGLE(float degrees, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_TEXTANGLE V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (dv_not_open("DV_TEXTANGLE")) return;
  if (degrees == DV_DB_TEXTATTS.angle) return;
  DV_DB_TEXTATTS.angle = degrees;
  const float radians = degrees * 3.1415925f / 180.0f;
  dv_send([&](std::int32_t& r) { DV_X11_TEXTANGLE(radians, r); },
          [&](std::int32_t& s) { DV_PS_TEXTANGLE(degrees, s); }, DV_BAD_ANGLE, status, kRoutine);
}

void DV_MARKERTYPE(std::int32_t type, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_MARKERTYPE V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (dv_not_open("DV_MARKERTYPE")) return;
  if (bad_value(type < 1 || type > 5, "Marker type", "DV_MARKERTYPE", std::to_string(type),
                status, kRoutine))
    return;
  if (type == DV_DB_RASTERMODE.marker_type) return;
  DV_DB_RASTERMODE.marker_type = type;
  dv_send([&](std::int32_t& r) { DV_X11_MARKERTYPE(type, r); },
          [&](std::int32_t& s) { DV_PS_MARKERTYPE(type, s); }, DV_BACKEND_FAILURE, status,
          kRoutine);
}

void DV_MARKERSCALE(float scale, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_MARKERSCALE V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (dv_not_open("DV_MARKERSCALE")) return;
  if (scale == DV_DB_RASTERMODE.marker_scale) return;
  DV_DB_RASTERMODE.marker_scale = scale;
  dv_send([&](std::int32_t& r) { DV_X11_MARKERSCALE(scale, r); },
          [&](std::int32_t& s) { DV_PS_MARKERSCALE(scale, s); }, DV_BACKEND_FAILURE, status,
          kRoutine);
}

void DV_MARKERCOLOUR(std::int32_t index, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_MARKERCOLOUR V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (dv_not_open("DV_MARKERCOLOUR")) return;
  if (bad_value(index < -1 || index > 255, "Marker colour index", "DV_MARKERCOLOUR",
                std::to_string(index), status, kRoutine))
    return;
  if (index == DV_DB_RASTERMODE.marker_colour) return;
  DV_DB_RASTERMODE.marker_colour = index;
  dv_send([&](std::int32_t& r) { DV_X11_MARKERCOLOUR(index, r); },
          [&](std::int32_t& s) { send_ps_colour(index, DV_PS_MARKERCOLOUR, s); },
          DV_BACKEND_FAILURE, status, kRoutine);
}
