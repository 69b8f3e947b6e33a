// Helpers for the device-layer tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "../support/capture.h"
#include "dv.h"
#include "ut.h"

using test_support::captured_stdout;

// Closes every workstation and the layer, leaving the window back-end closed.
inline void dv_reset() {
  std::int32_t status = ST_OK;
  while (DV_DB_SYSTEM.count > 0) {
    const int before = DV_DB_SYSTEM.count;
    for (int slot = 0; slot < DV_DB_SYSTEM.count; ++slot) {
      if (DV_DB_SYSTEM.state[slot] != 0) {
        DV_CLOSE_WK(DV_DB_SYSTEM.wk_id[slot], status);
        break;
      }
    }
    if (DV_DB_SYSTEM.count == before) break;  // only free slots left
  }
  DV_X11_CLOSE();
  DV_DB_OPENWK = DvDbOpenWk{};
  DV_DB_SYSTEM.open = 0;
  dv_x11_set_png_mode(false);
}

// Fixture of the tests on the layer with the window back-end in PNG mode, so that no display is
// needed: the layer open for each test and closed after it.
class DvPngLayer : public testing::Test {
 protected:
  void SetUp() override {
    ST_DEF_SYSTEM(status);
    dv_reset();
    dv_x11_set_png_mode(true);
    DV_OPEN(0, status);
    ASSERT_EQ(status, ST_OK);
  }
  void TearDown() override { dv_reset(); }

  // Opens and activates workstation ID of TYPE.
  void open_window(std::int32_t id = 1, std::int32_t type = DV_TYPE_WINDOW_PORTRAIT) {
    DV_OPEN_WK(id, 0, type, status);
    ASSERT_EQ(status, ST_OK);
    DV_ACTIVATE_WK(id, status);
    ASSERT_EQ(status, ST_OK);
  }

  std::int32_t status = ST_OK;
};

// Colour table in which index i has red byte i, green byte 255 - i and blue byte 128, so that a
// page pixel tells which index painted it.
inline std::vector<float> index_ramp() {
  std::vector<float> table(3 * 256);
  for (int i = 0; i < 256; ++i) {
    table[3 * i] = (static_cast<float>(i) + 0.5f) / 255.0f;
    table[3 * i + 1] = (static_cast<float>(255 - i) + 0.5f) / 255.0f;
    table[3 * i + 2] = 128.5f / 255.0f;
  }
  return table;
}
inline std::uint32_t ramp_colour(int index) {
  return (static_cast<std::uint32_t>(index) << 16) | (static_cast<std::uint32_t>(255 - index) << 8) |
         128u;
}

// The window transform, computed independently: pixel column and row of a world point for a
// page of WIDTH x HEIGHT pixels.
struct PixelTransform {
  float x_scale, x_offset, y_scale, y_offset;
  int height;
  PixelTransform(const float dw[4], const float vp[4], int width, int page_height)
      : height(page_height) {
    const float size = static_cast<float>(width > page_height ? width : page_height);
    x_scale = (vp[2] - vp[0]) * size / (dw[2] - dw[0]);
    x_offset = vp[0] * size - dw[0] * x_scale;
    y_scale = (vp[3] - vp[1]) * size / (dw[3] - dw[1]);
    y_offset = vp[1] * size - dw[1] * y_scale;
  }
  int column(float x) const { return static_cast<int>(x_scale * x + x_offset); }
  int row(float y) const {
    return static_cast<int>(static_cast<float>(height) - (y_scale * y + y_offset));
  }
};

inline std::uint32_t page_pixel(int column, int row) {
  std::uint32_t rgb = 0xDEADBEEF;
  EXPECT_TRUE(dv_x11_page_pixel(column, row, rgb)) << column << ", " << row;
  return rgb;
}
