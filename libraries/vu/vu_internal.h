// Helpers shared by the presentation library's routines (not part of its interface).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ut.h"
#include "vu.h"

constexpr std::int32_t kVuModule = 140000;

// Writes one message line with a status of its own (messages come before the status is set).
inline void vu_message(const std::string& text) {
  std::int32_t local = ST_OK;
  UT_WRITE(text, local);
}

// Records the routine text and sets the library's status for error KIND.
inline void vu_fail(std::int32_t& status, std::int32_t kind, std::string_view routine) {
  ST_SAVE(routine);
  status = kVuModule + kind;
}

// Rectangle check of the setters: 13 when x min is not below x max, 14 likewise for y.
inline bool vu_bad_rectangle(float x_min, float y_min, float x_max, float y_max,
                             std::string_view routine, std::int32_t& status) {
  if (!(x_min < x_max)) {
    vu_fail(status, 13, routine);
    return true;
  }
  if (!(y_min < y_max)) {
    vu_fail(status, 14, routine);
    return true;
  }
  return false;
}

// Size check of the setters: 21 when SIZE is not above zero.
inline bool vu_bad_size(float size, std::string_view routine, std::int32_t& status) {
  if (size > 0.0f) return false;
  vu_fail(status, 21, routine);
  return true;
}

inline VuRegion vu_region(float x_min, float y_min, float x_max, float y_max) {
  return VuRegion{x_min, y_min, x_max, y_max};
}

// Nearest integer, halves away from zero.
inline long long vu_nint(double value) {
  return static_cast<long long>(value < 0.0 ? value - 0.5 : value + 0.5);
}

// A page-unit length in world units along x (X_DIRECTION) or y, with the device layer's current
// transform.
float vu_page_to_world(bool x_direction, float page_length, std::int32_t& status);

// Sets the device layer's text attributes for one text: font, colour code, height in page
// units, alignment codes and angle in degrees.
void vu_text_attributes(std::int32_t font, std::int32_t colour_code, float page_height,
                        std::int32_t h_align, std::int32_t v_align, float angle,
                        std::int32_t& status);
// Sets the line attributes: style, width, colour code.
void vu_line_attributes(std::int32_t style, float width, std::int32_t colour_code,
                        std::int32_t& status);
// One straight line in world units.
void vu_line(float x1, float y1, float x2, float y2, std::int32_t& status);
// The line of a horizontal or vertical axis at POSITION across it, from LO to HI along it, in
// the axes line style of its direction.
void vu_axis_line(bool horizontal, float position, float lo, float hi, std::int32_t& status);

// Takes the finite ones of COUNT VALUES into the range MIN..MAX; FOUND tells whether one has
// been seen (the range starts with the first when it is false).
void vu_finite_extent(const float* values, std::int64_t count, float& min, float& max,
                      bool& found);

// The standard text heights in page units, multiplied by the style sizes.
constexpr float kVuTitleHeight = 0.02f;
constexpr float kVuLabelHeight = 0.0166667f;
