// State of the PostScript back-end, shared by its source files (not part of the public
// interface). Coordinates in the file are tenths of a point.
#pragma once

#include <cstdint>
#include <string>

#include "dv_internal.h"

struct DvPsState {
  std::int32_t unit = 0;
  std::int32_t orientation = 0;  // 0 portrait, 1 landscape
  bool colour = true;            // false: grey
  bool functions = false;        // the cell-array operators have been written
  // Page region: x min, y min, x max, y max.
  int region[4] = {180, 230, 5690, 8100};
  int width = 5511;
  int height = 7871;
  int size = 7871;
  float x_scale = 7871.0f, x_offset = 180.0f, y_scale = 7871.0f, y_offset = 230.0f;
  // Kept for the " tf" line, which carries both.
  std::int32_t font = 1;
  float text_height = 0.0166667f;
};

DvPsState& dv_ps();

// One line to the PostScript file (UT_WRITE_FILE on the back-end's unit).
void dv_ps_line(const std::string& text, std::int32_t& status);

// A world point in the file's integer units.
inline int dv_ps_x(const DvPsState& s, float x) {
  return dv_trunc(static_cast<float>(dv_trunc(s.x_scale * x)) + s.x_offset);
}
inline int dv_ps_y(const DvPsState& s, float y) {
  return dv_trunc(static_cast<float>(dv_trunc(s.y_scale * y)) + s.y_offset);
}

// "r g b" (colour) or the grey value "g" of a colour, each as F6.4.
std::string dv_ps_colour_text(const DvPsState& s, float red, float green, float blue);

// Landscape rotation line: 2 * region x min + width, " 0 translate 90 rotate".
std::string dv_ps_rotation_line(const DvPsState& s);
