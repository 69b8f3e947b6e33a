// State of the window back-end, shared by its source files (not part of the public interface).
//
// The picture is drawn into a cairo image surface, the page, without antialiasing, so that each
// point lands on exactly the pixel the transform gives. DV_X11_UPDATE copies the page into a
// pixmap that is the X window's background, so the X server repaints an uncovered window by
// itself and the program never runs a message loop. In PNG mode there is no X window at all.
#pragma once

#include <X11/Xlib.h>
#include <cairo.h>

#include <cstdint>

#include "dv_internal.h"

constexpr int kDvX11FontHeights[6] = {10, 12, 14, 16, 20, 24};

struct DvX11State {
  bool open = false;
  bool png_mode = false;
  int png_number = 0;

  // Window (absent in PNG mode).
  Display* display = nullptr;
  Window window = 0;
  Pixmap pixmap = 0;
  cairo_surface_t* window_surface = nullptr;  // cairo view of the pixmap

  // The page.
  cairo_surface_t* page = nullptr;
  cairo_t* cr = nullptr;
  int width = 500;
  int height = 707;
  int size = 707;  // the larger of width and height
  int orientation = 1;

  // Transform.
  float data_window[4] = {0.0f, 0.0f, 1.0f, 1.0f};
  float viewport[4] = {0.0f, 0.0f, 1.0f, 1.0f};
  float x_scale = 707.0f, x_offset = 0.0f, y_scale = 707.0f, y_offset = 0.0f;
  bool clip_on = false;
  int clip[4] = {0, 0, 0, 0};  // left, top, right, bottom; right and bottom excluded

  // Colour map: screen colours and bitmap palette, both 0xRRGGBB.
  std::uint32_t screen[256] = {};
  std::uint32_t palette[256] = {};
  int first_image = 9;
  int last_image = 255;
  bool log_z = false;

  // Attributes.
  int line_style = 1;
  float line_width = 1.0f;
  int line_colour = 1;
  int fill_colour = 2;
  int marker_type = 5;
  float marker_scale = 1.0f;
  float marker_width = 1.0f;
  int marker_colour = 1;
  int text_colour = 1;
  float text_height = 0.0166667f;  // page units
  float text_angle = 0.0f;         // radians
  int h_align = 0;
  int v_align = 0;
  int text_font = 1;
  bool interactive_overlay = false;  // nothing draws overlays here; DV_X11_CLEAR resets it

  // Fonts: six heights, horizontal [0] and rotated by 90 degrees [1], each with its horizontal
  // twin for measuring; one extra font for any other angle.
  cairo_font_face_t* face = nullptr;
  cairo_font_face_t* fixed_face = nullptr;
  cairo_scaled_font_t* fonts[6][2] = {};
  cairo_scaled_font_t* extra = nullptr;
  cairo_scaled_font_t* extra_metrics = nullptr;
  int extra_pixels = -1;
  int extra_tenths = 0;
  int extra_code = 0;
  // The font chosen for the current height, angle and code.
  bool font_dirty = true;
  cairo_scaled_font_t* current = nullptr;
  cairo_scaled_font_t* current_metrics = nullptr;
  double current_angle = 0.0;  // radians, counter-clockwise on the screen
};

DvX11State& dv_x11();

// Pixel column and row of a world point.
inline int dv_x11_column(const DvX11State& s, float x) {
  return dv_trunc(s.x_scale * x + s.x_offset);
}
inline int dv_x11_row(const DvX11State& s, float y) {
  return dv_trunc(static_cast<float>(s.height) - (s.y_scale * y + s.y_offset));
}

// Creates the faces and the twelve prepared fonts when they are missing (warning for each
// that cannot be made); releases them all.
void dv_x11_make_fonts(DvX11State& s);
void dv_x11_free_fonts(DvX11State& s);
// Chooses the font for the current text height, angle and code when one of them changed.
void dv_x11_choose_font(DvX11State& s);
