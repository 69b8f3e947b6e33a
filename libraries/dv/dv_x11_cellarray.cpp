// Window back-end: cell arrays.
//
// Each display pixel of the target rectangle shows exactly one data pixel, the one under its
// centre; nothing is averaged. The 8-bit colour indices are painted pixel for pixel through the
// 256-entry bitmap palette. Only the part of the rectangle that lies on the page (and inside the
// clip rectangle) is computed, so a rectangle far larger than the page costs nothing extra.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "dv_x11_internal.h"

namespace {

struct Target {
  int left = 0;
  int top = 0;
  int width = 0;   // W
  int height = 0;  // H
};

Target target_of(const DvX11State& s, float x1, float y1, float x2, float y2) {
  Target t;
  t.left = dv_x11_column(s, x1);
  const int right = dv_x11_column(s, x2);
  t.top = dv_x11_row(s, y2);
  const int bottom = dv_x11_row(s, y1);
  t.width = right - t.left + 1;
  t.height = bottom - t.top - 1;
  return t;
}

// Paints the W x H bitmap whose colour index at column j, bitmap row i (0 = bottom) is
// INDEX_AT(data column, data row) with 1-based data indices. False when memory is short.
template <typename IndexAt>
bool paint(DvX11State& s, const Target& t, std::int32_t xstrelm, std::int32_t ystrelm,
           std::int32_t xnumelm, std::int32_t ynumelm, IndexAt index_at) {
  int x_lo = std::max(t.left, 0);
  int x_hi = std::min(t.left + t.width, s.width);  // excluded
  int y_lo = std::max(t.top, 0);
  int y_hi = std::min(t.top + t.height, s.height);  // excluded
  if (s.clip_on) {
    x_lo = std::max(x_lo, s.clip[0]);
    y_lo = std::max(y_lo, s.clip[1]);
    x_hi = std::min(x_hi, s.clip[2]);
    y_hi = std::min(y_hi, s.clip[3]);
  }
  if (x_lo >= x_hi || y_lo >= y_hi) return true;

  std::vector<std::int32_t> columns;
  try {
    columns.resize(static_cast<std::size_t>(x_hi - x_lo));
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (int x = x_lo; x < x_hi; ++x) {
    const std::int64_t j = x - t.left;
    columns[static_cast<std::size_t>(x - x_lo)] =
        xstrelm + static_cast<std::int32_t>(static_cast<double>(j + 0.5) * xnumelm / t.width);
  }

  cairo_surface_flush(s.page);
  unsigned char* data = cairo_image_surface_get_data(s.page);
  const int stride = cairo_image_surface_get_stride(s.page);
  for (int y = y_lo; y < y_hi; ++y) {
    const std::int64_t i = t.height - 1 - (y - t.top);  // bitmap rows count from the bottom
    const std::int32_t data_row =
        ystrelm + static_cast<std::int32_t>(static_cast<double>(i + 0.5) * ynumelm / t.height);
    auto* line = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = x_lo; x < x_hi; ++x) {
      const std::uint8_t index = index_at(columns[static_cast<std::size_t>(x - x_lo)], data_row);
      line[x] = s.palette[index];
    }
  }
  cairo_surface_mark_dirty(s.page);
  return true;
}

}  // namespace

void DV_X11_CA(float x1, float y1, float x2, float y2, std::int32_t xmaxdat,
               std::int32_t /*ymaxdat*/, std::int32_t xstrelm, std::int32_t ystrelm,
               std::int32_t xnumelm, std::int32_t ynumelm, const std::int32_t* indices,
               std::int32_t& result) {
  DvX11State& s = dv_x11();
  result = 0;
  if (!s.open || indices == nullptr || xnumelm < 1 || ynumelm < 1) {
    result = 1;
    return;
  }
  // The integer cell array takes the rectangle as computed: an empty one has no bitmap.
  const Target t = target_of(s, x1, y1, x2, y2);
  if (t.width < 1 || t.height < 1) {
    dv_message("ERROR: Failed to create bitmap section: the rectangle has no pixels");
    dv_message("       x_width_pixels, y_height_pixels = " + std::to_string(t.width) + " " +
               std::to_string(t.height));
    result = 1;
    return;
  }
  const auto index_at = [&](std::int32_t column, std::int32_t row) {
    const std::int64_t offset =
        (static_cast<std::int64_t>(row) - 1) * xmaxdat + (static_cast<std::int64_t>(column) - 1);
    return static_cast<std::uint8_t>(indices[offset] & 0xFF);
  };
  if (!paint(s, t, xstrelm, ystrelm, xnumelm, ynumelm, index_at)) {
    dv_message("ERROR: Failed to allocate memory for bitmap info header");
    result = 1;
  }
}

void DV_X11_RMCA(bool masked, float x1, float y1, float x2, float y2, std::int32_t xmaxdat,
                 std::int32_t /*ymaxdat*/, std::int32_t xstrelm, std::int32_t ystrelm,
                 std::int32_t xnumelm, std::int32_t ynumelm, const float* data,
                 const std::uint8_t* mask, float min, float max, std::int32_t mask_colour,
                 std::int32_t& result) {
  DvX11State& s = dv_x11();
  result = 0;
  if (!std::isfinite(min) || !std::isfinite(max)) {
    result = 2;
    return;
  }
  if (!s.open || data == nullptr || (masked && mask == nullptr) || xnumelm < 1 || ynumelm < 1) {
    result = 1;
    return;
  }
  Target t = target_of(s, x1, y1, x2, y2);
  t.width = std::max(t.width, 1);
  t.height = std::max(t.height, 1);
  const int first = s.first_image;
  const int last = s.last_image;
  const auto mask_index = static_cast<std::uint8_t>(mask_colour & 0xFF);
  const auto index_at = [&](std::int32_t column, std::int32_t row) {
    const std::int64_t offset =
        (static_cast<std::int64_t>(row) - 1) * xmaxdat + (static_cast<std::int64_t>(column) - 1);
    if (masked && mask[offset] != 0) return mask_index;
    return static_cast<std::uint8_t>(dv_cell_index(data[offset], min, max, first, last) & 0xFF);
  };
  if (!paint(s, t, xstrelm, ystrelm, xnumelm, ynumelm, index_at)) {
    dv_message("ERROR: Failed to allocate memory for bitmap info header");
    result = 1;
  }
}
