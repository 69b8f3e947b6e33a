// Window back-end drawing, checked on the pixels of its page. The back-end runs in PNG mode
// (no X window), which draws exactly as the window does.
#include <cairo.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "dv_test_util.h"

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kRed = 0xFF0000;

class DvPage : public DvPngLayer {
 protected:
  void SetUp() override {
    DvPngLayer::SetUp();
    if (!HasFatalFailure()) open_window();
  }

  // Data window and viewport, remembered for the independent pixel transform.
  void transform(float dx0, float dy0, float dx1, float dy1, float vx0, float vy0, float vx1,
                 float vy1) {
    DV_DATAWINDOW(dx0, dy0, dx1, dy1, status);
    DV_VIEWPORT(vx0, vy0, vx1, vy1, status);
    ASSERT_EQ(status, ST_OK);
    const float dw[4] = {dx0, dy0, dx1, dy1};
    const float vp[4] = {vx0, vy0, vx1, vy1};
    pixels = PixelTransform(dw, vp, 500, 707);
  }

  // Bounding box of the pixels that are not white: left, top, right, bottom (inclusive).
  bool ink_box(int box[4]) {
    box[0] = box[1] = 1 << 20;
    box[2] = box[3] = -1;
    for (int r = 0; r < 707; ++r) {
      for (int c = 0; c < 500; ++c) {
        if (page_pixel(c, r) == kWhite) continue;
        box[0] = std::min(box[0], c);
        box[1] = std::min(box[1], r);
        box[2] = std::max(box[2], c);
        box[3] = std::max(box[3], r);
      }
    }
    return box[2] >= 0;
  }

  void load_ramp() {
    const std::vector<float> table = index_ramp();
    DV_COLOURS(256, 9, 255, table.data(), status);
    ASSERT_EQ(status, ST_OK);
  }

  const float unit_dw[4] = {0.0f, 0.0f, 0.7071f, 1.0f};
  PixelTransform pixels{unit_dw, unit_dw, 500, 707};
};

TEST_F(DvPage, PageStartsWhite) {
  int width = 0, height = 0;
  ASSERT_TRUE(dv_x11_page_size(width, height));
  EXPECT_EQ(width, 500);
  EXPECT_EQ(height, 707);
  EXPECT_EQ(page_pixel(0, 0), kWhite);
  EXPECT_EQ(page_pixel(499, 706), kWhite);
}

TEST_F(DvPage, PolylinePointsLandOnTheTransformedPixels) {
  transform(0.0f, 0.0f, 100.0f, 100.0f, 0.05f, 0.1f, 0.65f, 0.9f);
  // 450 points: drawn in pieces of 200 points that share their end points.
  std::vector<float> x(450), y(450);
  std::uint32_t seed = 12345;
  for (int k = 0; k < 450; ++k) {
    seed = seed * 1103515245u + 12345u;
    x[k] = static_cast<float>((seed >> 8) % 100000) / 1000.0f;
    seed = seed * 1103515245u + 12345u;
    y[k] = static_cast<float>((seed >> 8) % 100000) / 1000.0f;
  }
  DV_POLYLINE(450, x.data(), y.data(), status);
  ASSERT_EQ(status, ST_OK);
  for (int k = 0; k < 450; ++k) {
    EXPECT_EQ(page_pixel(pixels.column(x[k]), pixels.row(y[k])), kBlack) << "point " << k;
  }
}

TEST_F(DvPage, HorizontalLineCoversItsEndsAndNothingElse) {
  transform(0.0f, 0.0f, 100.0f, 100.0f, 0.05f, 0.1f, 0.65f, 0.9f);
  const float x[2] = {10.0f, 90.0f};
  const float y[2] = {50.0f, 50.0f};
  DV_POLYLINE(2, x, y, status);
  const int row = pixels.row(50.0f);
  for (int c = pixels.column(10.0f); c <= pixels.column(90.0f); ++c) {
    EXPECT_EQ(page_pixel(c, row), kBlack) << c;
  }
  EXPECT_EQ(page_pixel(pixels.column(10.0f) - 1, row), kWhite);
  EXPECT_EQ(page_pixel(pixels.column(90.0f) + 1, row), kWhite);
  EXPECT_EQ(page_pixel(pixels.column(50.0f), row - 1), kWhite);
  EXPECT_EQ(page_pixel(pixels.column(50.0f), row + 1), kWhite);

  // Dashed and in another colour: a gap follows the first dash.
  DV_LINESTYLE(2, status);
  DV_LINECOLOUR(3, status);
  const float y2[2] = {20.0f, 20.0f};
  DV_POLYLINE(2, x, y2, status);
  const int row2 = pixels.row(20.0f);
  const int start = pixels.column(10.0f);
  EXPECT_EQ(page_pixel(start + 2, row2), kRed);
  int white = 0;
  for (int c = start; c < start + 40; ++c) white += page_pixel(c, row2) == kWhite ? 1 : 0;
  EXPECT_GT(white, 3);
}

TEST_F(DvPage, InverseVideoInvertsThePage) {
  transform(0.0f, 0.0f, 100.0f, 100.0f, 0.05f, 0.1f, 0.65f, 0.9f);
  DV_LINECOLOUR(-1, status);
  const float x[2] = {10.0f, 90.0f};
  const float y[2] = {50.0f, 50.0f};
  DV_POLYLINE(2, x, y, status);
  EXPECT_EQ(page_pixel(pixels.column(50.0f), pixels.row(50.0f)), kBlack);  // white inverted
}

TEST_F(DvPage, MarkersHaveTheirHalfSize) {
  transform(0.0f, 0.0f, 100.0f, 100.0f, 0.05f, 0.1f, 0.65f, 0.9f);
  DV_MARKERCOLOUR(1, status);
  // The layer's default marker type 2 (plus) reaches the window although it never changed;
  // half-size trunc(707 / 150) = 4 pixels.
  const float x[1] = {30.0f};
  const float y[1] = {60.0f};
  DV_POLYMARKER(1, x, y, status);
  ASSERT_EQ(status, ST_OK);
  const int c = pixels.column(30.0f);
  const int r = pixels.row(60.0f);
  EXPECT_EQ(page_pixel(c, r), kBlack);
  EXPECT_EQ(page_pixel(c - 4, r), kBlack);
  EXPECT_EQ(page_pixel(c + 4, r), kBlack);
  EXPECT_EQ(page_pixel(c, r - 4), kBlack);
  EXPECT_EQ(page_pixel(c, r + 4), kBlack);
  EXPECT_EQ(page_pixel(c + 6, r), kWhite);
  EXPECT_EQ(page_pixel(c + 2, r + 2), kWhite);
}

TEST_F(DvPage, FillAreaCoversItsInteriorInTheFillColour) {
  transform(0.0f, 0.0f, 100.0f, 100.0f, 0.05f, 0.1f, 0.65f, 0.9f);
  DV_FILLCOLOUR(3, status);
  const float x[4] = {20.0f, 40.0f, 40.0f, 20.0f};
  const float y[4] = {20.0f, 20.0f, 40.0f, 40.0f};
  DV_FILLAREA(4, x, y, status);
  ASSERT_EQ(status, ST_OK);
  const int left = pixels.column(20.0f), right = pixels.column(40.0f);
  const int top = pixels.row(40.0f), bottom = pixels.row(20.0f);
  EXPECT_EQ(page_pixel(left, top), kRed);
  EXPECT_EQ(page_pixel(right - 1, bottom - 1), kRed);
  EXPECT_EQ(page_pixel((left + right) / 2, (top + bottom) / 2), kRed);
  EXPECT_EQ(page_pixel(right, (top + bottom) / 2), kWhite);
  EXPECT_EQ(page_pixel(left - 1, (top + bottom) / 2), kWhite);
  EXPECT_EQ(page_pixel((left + right) / 2, bottom), kWhite);
}

TEST_F(DvPage, IntegerCellArrayPaintsSampledIndicesThroughThePalette) {
  load_ramp();
  transform(0.0f, 0.0f, 100.0f, 100.0f, 0.05f, 0.1f, 0.65f, 0.9f);
  // 5 x 4 array; the region is columns 2..4, rows 2..4.
  std::int32_t indices[20];
  for (int k = 0; k < 20; ++k) indices[k] = 20 + 7 * k + 256 * 3;  // only the low byte counts
  DV_CELLARRAY(10.0f, 10.0f, 50.0f, 40.0f, 5, 4, 2, 2, 3, 3, indices, status);
  ASSERT_EQ(status, ST_OK);
  const int left = pixels.column(10.0f);
  const int width = pixels.column(50.0f) - left + 1;
  const int top = pixels.row(40.0f);
  const int height = pixels.row(10.0f) - top - 1;
  for (int r = 0; r < height; ++r) {
    const int i = height - 1 - r;  // bitmap rows count from the bottom
    const int data_row = 2 + static_cast<int>((i + 0.5) * 3 / height);
    for (int j = 0; j < width; ++j) {
      const int data_column = 2 + static_cast<int>((j + 0.5) * 3 / width);
      const int index = indices[(data_row - 1) * 5 + data_column - 1] & 0xFF;
      ASSERT_EQ(page_pixel(left + j, top + r), ramp_colour(index)) << j << ", " << r;
    }
  }
  EXPECT_EQ(page_pixel(left + width, top), kWhite);
  EXPECT_EQ(page_pixel(left, top + height), kWhite);
  EXPECT_EQ(page_pixel(left - 1, top), kWhite);
}

TEST_F(DvPage, LargeImageIsThinnedToThePixelUnderEachCentre) {
  load_ramp();
  transform(0.0f, 0.0f, 2048.0f, 2048.0f, 0.1f, 0.3929f, 0.6071f, 0.9f);
  const std::int32_t n = 2048;
  // Colour index 9 + data column modulo 240 in the first image, the same of the data row in
  // the second (the ramp covers the image indices only).
  std::vector<std::int32_t> by_column(static_cast<std::size_t>(n) * n);
  std::vector<std::int32_t> by_row(by_column.size());
  for (int r = 0; r < n; ++r) {
    for (int c = 0; c < n; ++c) {
      by_column[static_cast<std::size_t>(r) * n + c] = 9 + c % 240;
      by_row[static_cast<std::size_t>(r) * n + c] = 9 + r % 240;
    }
  }
  const int left = pixels.column(0.0f);
  const int width = pixels.column(2048.0f) - left + 1;
  const int top = pixels.row(2048.0f);
  const int height = pixels.row(0.0f) - top - 1;
  EXPECT_NEAR(width, 359, 2);  // about 358 pixels

  DV_CELLARRAY(0.0f, 0.0f, 2048.0f, 2048.0f, n, n, 1, 1, n, n, by_column.data(), status);
  ASSERT_EQ(status, ST_OK);
  int steps[8] = {};
  int previous = -1;
  for (int j = 0; j < width; ++j) {
    const int data_column = static_cast<int>((j + 0.5) * n / width);  // 0-based
    ASSERT_EQ(page_pixel(left + j, top + 10), ramp_colour(9 + data_column % 240)) << j;
    if (previous >= 0 && data_column - previous < 8) ++steps[data_column - previous];
    previous = data_column;
  }
  EXPECT_EQ(steps[5] + steps[6], width - 1);  // every 5th or 6th data pixel

  DV_CELLARRAY(0.0f, 0.0f, 2048.0f, 2048.0f, n, n, 1, 1, n, n, by_row.data(), status);
  for (int r = 0; r < height; ++r) {
    const int data_row = static_cast<int>((height - 1 - r + 0.5) * n / height);
    ASSERT_EQ(page_pixel(left + 10, top + r), ramp_colour(9 + data_row % 240)) << r;
  }
}

TEST_F(DvPage, RealCellArrayScalesMasksAndWidensAFlatRange) {
  load_ramp();
  transform(0.0f, 0.0f, 4.0f, 1.0f, 0.1f, 0.1f, 0.5f, 0.2f);
  // One row of four values, each shown as a block of pixels.
  const float data[4] = {-3.0f, 0.0f, 5.0f, 10.0f};
  const std::uint8_t mask[4] = {0, 0, 1, 0};
  auto block_index = [&](int k) {
    const std::uint32_t rgb = page_pixel(pixels.column(k + 0.5f), pixels.row(0.5f));
    return static_cast<int>(rgb >> 16);
  };
  DV_RMASKCELLARRAY(false, 0.0f, 0.0f, 4.0f, 1.0f, 4, 1, 1, 1, 4, 1, data, nullptr, 0.0f, 10.0f,
                    3, status);
  ASSERT_EQ(status, ST_OK);
  EXPECT_EQ(block_index(0), 9);    // below MIN: first image index
  EXPECT_EQ(block_index(1), 9);    // MIN itself
  EXPECT_EQ(block_index(2), 9 + static_cast<int>(5.0 * 247 / 10 + 0.5));
  EXPECT_EQ(block_index(3), 255);  // MAX: last image index

  DV_RMASKCELLARRAY(true, 0.0f, 0.0f, 4.0f, 1.0f, 4, 1, 1, 1, 4, 1, data, mask, 0.0f, 10.0f, 3,
                    status);
  EXPECT_EQ(page_pixel(pixels.column(2.5f), pixels.row(0.5f)), kRed);  // mask colour 3
  EXPECT_EQ(block_index(3), 255);

  // MIN = MAX = 5: the range becomes 4.5 .. 5.5, so 5 lands in the middle.
  const float flat[4] = {4.5f, 5.0f, 5.5f, 0.0f};
  DV_RMASKCELLARRAY(false, 0.0f, 0.0f, 4.0f, 1.0f, 4, 1, 1, 1, 4, 1, flat, nullptr, 5.0f, 5.0f,
                    3, status);
  EXPECT_EQ(block_index(0), 9);
  EXPECT_EQ(block_index(1), 9 + 124);
  EXPECT_EQ(block_index(2), 255);
  // MIN = MAX = 0: -0.1 .. 0.1.
  DV_RMASKCELLARRAY(false, 0.0f, 0.0f, 4.0f, 1.0f, 4, 1, 1, 1, 4, 1, flat, nullptr, 0.0f, 0.0f,
                    3, status);
  EXPECT_EQ(block_index(3), 9 + 124);
  EXPECT_EQ(block_index(0), 255);
  ASSERT_EQ(status, ST_OK);
}

TEST_F(DvPage, ClippingLimitsFillsAndCellArrays) {
  transform(0.0f, 0.0f, 100.0f, 100.0f, 0.05f, 0.1f, 0.65f, 0.9f);
  DV_CLIPWINDOW(20.0f, 20.0f, 60.0f, 60.0f, status);
  DV_CLIP(true, status);
  DV_FILLCOLOUR(3, status);
  const float x[4] = {0.0f, 100.0f, 100.0f, 0.0f};
  const float y[4] = {0.0f, 0.0f, 100.0f, 100.0f};
  DV_FILLAREA(4, x, y, status);
  EXPECT_EQ(page_pixel(pixels.column(40.0f), pixels.row(40.0f)), kRed);
  EXPECT_EQ(page_pixel(pixels.column(70.0f), pixels.row(40.0f)), kWhite);
  EXPECT_EQ(page_pixel(pixels.column(40.0f), pixels.row(10.0f)), kWhite);

  const std::int32_t indices[1] = {4};  // green basic colour
  DV_CELLARRAY(0.0f, 0.0f, 100.0f, 100.0f, 1, 1, 1, 1, 1, 1, indices, status);
  EXPECT_EQ(page_pixel(pixels.column(40.0f), pixels.row(40.0f)), 0x00FF00u);
  EXPECT_EQ(page_pixel(pixels.column(80.0f), pixels.row(80.0f)), kWhite);

  DV_CLIP(false, status);
  DV_FILLAREA(4, x, y, status);
  EXPECT_EQ(page_pixel(pixels.column(80.0f), pixels.row(80.0f)), kRed);
  ASSERT_EQ(status, ST_OK);
}

TEST_F(DvPage, TextSitsInItsAlignmentBox) {
  DV_TEXTCOLOUR(1, status);
  DV_TEXTHEIGHT(0.03f, status);  // 21 pixels: the 20-pixel font
  float width = 0.0f;
  DV_INQ_TEXTWIDTH(5, "Hello", width, status);
  const int width_px = static_cast<int>(width * 707.0f);
  EXPECT_GT(width_px, 30);
  EXPECT_LT(width_px, 80);

  // Left aligned on the base line.
  DV_TEXT(0.2f, 0.5f, "Hello   ", status);
  ASSERT_EQ(status, ST_OK);
  int box[4];
  ASSERT_TRUE(ink_box(box));
  const int c = pixels.column(0.2f), r = pixels.row(0.5f);
  EXPECT_GE(box[0], c - 1);
  EXPECT_LE(box[2], c + width_px + 1);
  EXPECT_LE(box[3], r);  // nothing below the base line in "Hello"
  EXPECT_GE(box[1], r - 20);
  EXPECT_LE(box[1], r - 10);

  // Centred both ways (half of "Xg").
  dv_reset();
  SetUp();
  DV_TEXTCOLOUR(1, status);
  DV_TEXTHEIGHT(0.03f, status);
  DV_TEXTALIGNMENT(2, 3, status);
  DV_TEXT(0.35f, 0.5f, "Hello", status);
  ASSERT_TRUE(ink_box(box));
  const int cc = pixels.column(0.35f), rr = pixels.row(0.5f);
  EXPECT_NEAR((box[0] + box[2]) / 2.0, cc, 3.0);
  EXPECT_LT(box[1], rr);
  EXPECT_GT(box[3], rr - 3);

  // Rotated by 90 degrees: reads upwards, left of the point's column.
  dv_reset();
  SetUp();
  DV_TEXTCOLOUR(1, status);
  DV_TEXTHEIGHT(0.03f, status);
  DV_TEXTANGLE(90.0f, status);
  DV_TEXT(0.35f, 0.5f, "Hello", status);
  ASSERT_EQ(status, ST_OK);
  ASSERT_TRUE(ink_box(box));
  EXPECT_GT(box[3] - box[1], box[2] - box[0]);  // taller than wide
  EXPECT_LE(box[2], cc + 1);
  EXPECT_GE(box[0], cc - 20);
  EXPECT_LE(box[3], rr + 1);
  EXPECT_GE(box[1], rr - width_px - 2);
}

TEST_F(DvPage, TextHeightPicksOneOfTheSixFonts) {
  auto width_at = [&](float height) {
    DV_TEXTHEIGHT(height, status);
    float width = 0.0f;
    DV_INQ_TEXTWIDTH(10, "iiii..MMWW", width, status);
    return width;
  };
  const float at_20 = width_at(20.5f / 707.0f);
  EXPECT_EQ(width_at(0.03f), at_20);           // 21 pixels: the 20-pixel font
  EXPECT_EQ(width_at(23.5f / 707.0f), at_20);  // 23 pixels: still 20
  EXPECT_GT(width_at(24.5f / 707.0f), at_20);  // 24 and above: the 24-pixel font
  EXPECT_LT(width_at(19.5f / 707.0f), at_20);  // 19: the 16-pixel font
  EXPECT_EQ(width_at(16.5f / 707.0f), width_at(18.5f / 707.0f));
  ASSERT_EQ(status, ST_OK);
}

TEST_F(DvPage, UpdateWritesNumberedPngFiles) {
  const std::filesystem::path before = std::filesystem::current_path();
  char pattern[] = "/tmp/dv_png_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::filesystem::current_path(pattern);
  DV_FILLCOLOUR(3, status);
  const float x[4] = {0.1f, 0.3f, 0.3f, 0.1f};
  const float y[4] = {0.1f, 0.1f, 0.3f, 0.3f};
  DV_FILLAREA(4, x, y, status);
  DV_UPDATE(1, 0, status);
  DV_UPDATE(1, 0, status);
  ASSERT_EQ(status, ST_OK);
  EXPECT_TRUE(std::filesystem::exists("rav_plot_0002.png"));
  cairo_surface_t* png = cairo_image_surface_create_from_png("rav_plot_0001.png");
  ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(cairo_image_surface_get_width(png), 500);
  EXPECT_EQ(cairo_image_surface_get_height(png), 707);
  const unsigned char* data = cairo_image_surface_get_data(png);
  const int stride = cairo_image_surface_get_stride(png);
  int differences = 0;
  for (int r = 0; r < 707; ++r) {
    const auto* line = reinterpret_cast<const std::uint32_t*>(data + r * stride);
    for (int c = 0; c < 500; ++c) differences += (line[c] & 0xFFFFFF) != page_pixel(c, r);
  }
  EXPECT_EQ(differences, 0);
  cairo_surface_destroy(png);
  std::filesystem::current_path(before);
  std::filesystem::remove_all(pattern);
}

}  // namespace
