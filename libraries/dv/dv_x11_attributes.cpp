// Window back-end: attribute setters. Each stores its value; pens, brushes and fonts are
// derived from the stored values when something is drawn.
#include "dv_x11_internal.h"

void DV_X11_LINESTYLE(std::int32_t style, std::int32_t& result) {
  dv_x11().line_style = style;
  result = 0;
}

void DV_X11_LINEWIDTH(float width, std::int32_t& result) {
  dv_x11().line_width = width;
  result = 0;
}

void DV_X11_LINECOLOUR(std::int32_t index, std::int32_t& result) {
  dv_x11().line_colour = index;
  result = 0;
}

void DV_X11_FILLCOLOUR(std::int32_t index, std::int32_t& result) {
  dv_x11().fill_colour = index;
  result = 0;
}

void DV_X11_TEXTCOLOUR(std::int32_t index, std::int32_t& result) {
  dv_x11().text_colour = index;
  result = 0;
}

void DV_X11_TEXTFONT(std::int32_t font, std::int32_t& result) {
  DvX11State& s = dv_x11();
  if (font != s.text_font) s.font_dirty = true;
  s.text_font = font;
  result = 0;
}

void DV_X11_TEXTHEIGHT(float height, std::int32_t& result) {
  DvX11State& s = dv_x11();
  if (height != s.text_height) s.font_dirty = true;
  s.text_height = height;
  result = 0;
}

void DV_X11_TEXTANGLE(float radians, std::int32_t& result) {
  DvX11State& s = dv_x11();
  if (radians != s.text_angle) s.font_dirty = true;
  s.text_angle = radians;
  result = 0;
}

void DV_X11_TEXTALIGNMENT(std::int32_t horizontal, std::int32_t vertical, std::int32_t& result) {
  DvX11State& s = dv_x11();
  result = 0;
  if (horizontal < 0 || horizontal > 3 || vertical < 0 || vertical > 6) {
    result = 1;
    return;
  }
  s.h_align = horizontal;
  s.v_align = vertical;
}

void DV_X11_MARKERTYPE(std::int32_t type, std::int32_t& result) {
  dv_x11().marker_type = type;
  result = 0;
}

void DV_X11_MARKERSCALE(float scale, std::int32_t& result) {
  dv_x11().marker_scale = scale;
  result = 0;
}

void DV_X11_MARKERCOLOUR(std::int32_t index, std::int32_t& result) {
  dv_x11().marker_colour = index;
  result = 0;
}
