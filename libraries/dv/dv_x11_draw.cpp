// Window back-end: polylines, markers and fill areas.
//
// Lines run through pixel centres with square caps, so every transformed point (and both ends
// of a line) is set; fill areas run through pixel corners, so a filled rectangle covers its
// left and top edges but not its right and bottom ones, as a filled polygon on a raster should.
#include <algorithm>
#include <cmath>

#include "dv_x11_internal.h"

namespace {

constexpr int kPointBuffer = 200;

void set_rgb(cairo_t* cr, std::uint32_t rgb) {
  cairo_set_source_rgb(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0,
                       (rgb & 0xFF) / 255.0);
}

// Source for drawing in colour INDEX; -1 (inverse video) inverts what lies underneath.
void set_colour(DvX11State& s, int index) {
  if (index < 0) {
    cairo_set_operator(s.cr, CAIRO_OPERATOR_DIFFERENCE);
    cairo_set_source_rgb(s.cr, 1.0, 1.0, 1.0);
    return;
  }
  cairo_set_operator(s.cr, CAIRO_OPERATOR_OVER);
  set_rgb(s.cr, s.screen[std::min(index, 255)]);
}

// The line pen: a solid normal-width line in colour 1 uses the stock black pen; otherwise the
// pen has the line style, the integer part of the line width (at least one pixel) and the
// line colour.
void select_line_pen(DvX11State& s) {
  cairo_t* cr = s.cr;
  const bool solid = s.line_style <= 1;
  const double relative = static_cast<double>(s.size) * s.line_width / 1500.0;
  const bool normal_width = !(std::lround(std::isfinite(relative) ? relative : 0.0) > 1);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  if (solid && normal_width && s.line_colour == 1) {
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_set_source_rgb(cr, 0.0, 0.0, 0.0);
    cairo_set_line_width(cr, 1.0);
    cairo_set_dash(cr, nullptr, 0, 0.0);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    return;
  }
  set_colour(s, s.line_colour);
  cairo_set_line_width(cr, std::clamp(dv_trunc(s.line_width), 1, 100));
  static const double kDash[] = {18.0, 6.0};
  static const double kDot[] = {3.0, 3.0};
  static const double kDashDot[] = {9.0, 6.0, 3.0, 6.0};
  switch (s.line_style) {
    case 2:
      cairo_set_dash(cr, kDash, 2, 0.0);
      break;
    case 3:
      cairo_set_dash(cr, kDot, 2, 0.0);
      break;
    case 4:
      cairo_set_dash(cr, kDashDot, 4, 0.0);
      break;
    default:
      cairo_set_dash(cr, nullptr, 0, 0.0);
      break;
  }
  cairo_set_line_cap(cr, solid ? CAIRO_LINE_CAP_SQUARE : CAIRO_LINE_CAP_BUTT);
}

void segment(cairo_t* cr, int x0, int y0, int x1, int y1) {
  cairo_move_to(cr, x0 + 0.5, y0 + 0.5);
  cairo_line_to(cr, x1 + 0.5, y1 + 0.5);
}

std::uint32_t brush_colour(const DvX11State& s) {
  // Indices 1 to 8 use the stock and prepared brushes, whatever the colour map says.
  static const std::uint32_t kPrepared[9] = {0,        0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00,
                                             0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF};
  const int index = s.fill_colour;
  if (index >= 1 && index <= 8) return kPrepared[index];
  return s.screen[std::clamp(index, 0, 255)];
}

// The checks every drawing call makes: fewer than MIN_POINTS points gives RESULT 2, a closed
// window 1. True (RESULT 0) when drawing may go ahead.
bool may_draw(const DvX11State& s, std::int32_t n, std::int32_t min_points,
              std::int32_t& result) {
  if (n < min_points) {
    result = 2;
    return false;
  }
  if (!s.open) {
    result = 1;
    return false;
  }
  result = 0;
  return true;
}

// A new path through points FIRST..END-1, each SHIFT pixels right of and below the corner of
// its pixel (0.5: through the pixel centres).
void trace(DvX11State& s, const float* x, const float* y, int first, int end, double shift) {
  cairo_new_path(s.cr);
  for (int k = first; k < end; ++k) {
    const double px = dv_x11_column(s, x[k]) + shift;
    const double py = dv_x11_row(s, y[k]) + shift;
    if (k == first) {
      cairo_move_to(s.cr, px, py);
    } else {
      cairo_line_to(s.cr, px, py);
    }
  }
}

}  // namespace

void DV_X11_PL(std::int32_t n, const float* x, const float* y, std::int32_t& result) {
  DvX11State& s = dv_x11();
  if (!may_draw(s, n, 2, result)) return;
  cairo_t* cr = s.cr;
  cairo_save(cr);
  select_line_pen(s);
  // Pieces of at most 200 points; each piece starts at the last point of the one before.
  for (int start = 0; start < n - 1; start += kPointBuffer - 1) {
    trace(s, x, y, start, std::min(start + kPointBuffer, n), 0.5);
    cairo_stroke(cr);
  }
  cairo_restore(cr);
}

void DV_X11_PM(std::int32_t n, const float* x, const float* y, std::int32_t& result) {
  DvX11State& s = dv_x11();
  if (!may_draw(s, n, 1, result)) return;
  cairo_t* cr = s.cr;
  cairo_save(cr);
  set_colour(s, s.marker_colour);
  cairo_set_line_width(cr, 1.0);
  cairo_set_dash(cr, nullptr, 0, 0.0);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
  const int h = std::clamp(dv_trunc(static_cast<float>(s.size) * s.marker_scale / 150.0f), 0, 10000);
  const int d = static_cast<int>(0.707 * h);
  for (int k = 0; k < n; ++k) {
    const int px = dv_x11_column(s, x[k]);
    const int py = dv_x11_row(s, y[k]);
    cairo_new_path(cr);
    switch (s.marker_type) {
      case 1:
        cairo_rectangle(cr, px, py, 1.0, 1.0);
        cairo_fill(cr);
        continue;
      case 2:
        segment(cr, px - h, py, px + h, py);
        segment(cr, px, py - h, px, py + h);
        break;
      case 3:
        segment(cr, px - h, py, px + h, py);
        segment(cr, px, py - h, px, py + h);
        segment(cr, px - d, py - d, px + d, py + d);
        segment(cr, px - d, py + d, px + d, py - d);
        break;
      case 4:
        cairo_arc(cr, px + 0.5, py + 0.5, h, 0.0, 2.0 * M_PI);
        break;
      case 5:
        segment(cr, px - h, py - h, px + h, py + h);
        segment(cr, px - h, py + h, px + h, py - h);
        break;
      default:
        break;
    }
    cairo_stroke(cr);
  }
  cairo_restore(cr);
}

void DV_X11_FA(std::int32_t n, const float* x, const float* y, std::int32_t& result) {
  DvX11State& s = dv_x11();
  if (n > kPointBuffer) {
    result = 1;
    return;
  }
  if (!may_draw(s, n, 2, result)) return;
  cairo_t* cr = s.cr;
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  set_rgb(cr, brush_colour(s));
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  trace(s, x, y, 0, n, 0.0);
  cairo_close_path(cr);
  cairo_fill(cr);
  cairo_restore(cr);
}
