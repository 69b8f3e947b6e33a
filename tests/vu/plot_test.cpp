// Where plots land on the page, what the page shows, and the plot's failure paths.
#include <algorithm>
#include <cmath>
#include <limits>

#include "vu_test_support.h"

using namespace vu_test;

namespace {

// Page units to pixels of the portrait page (707 pixels on the long side, rows downward).
int column_of(float x) { return static_cast<int>(x * 707.0f); }
int row_of(float y) { return static_cast<int>(707.0f - y * 707.0f); }

// The darkest red component within a small box around a page point.
int darkest(int column, int row, int radius) {
  int best = 256;
  for (int c = column - radius; c <= column + radius; ++c) {
    for (int r = row - radius; r <= row + radius; ++r) {
      const Rgb8 p = page_pixel(c, r);
      if (p.r >= 0) best = std::min(best, p.r);
    }
  }
  return best;
}

void expect_region(const VuRegion& r, float x_min, float y_min, float x_max, float y_max) {
  EXPECT_NEAR(r.x_min, x_min, 1e-4f);
  EXPECT_NEAR(r.y_min, y_min, 1e-4f);
  EXPECT_NEAR(r.x_max, x_max, 1e-4f);
  EXPECT_NEAR(r.y_max, y_max, 1e-4f);
}

class Plot : public ::testing::Test {
 protected:
  void SetUp() override {
    std::int32_t status;
    open_graphics({"+PNG"}, status);
    ASSERT_EQ(status, ST_OK);
    VU_SET_LUTCHOICE(4, 200, status);
    VU_COLOURS(status);
    ASSERT_EQ(status, ST_OK);
  }
  void TearDown() override { close_graphics(); }
};

}  // namespace

TEST_F(Plot, SliceFillsASquareUnderThePageTop) {
  // A 2048 x 2048 slice, left half 0 and right half 1, with the program's axis values.
  const int n = 2048;
  std::vector<float> data(static_cast<std::size_t>(n) * n);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) data[static_cast<std::size_t>(y) * n + x] = x < n / 2 ? 0.0f : 1.0f;
  }
  const std::vector<float> axis = centres(n);
  std::int32_t status = fresh_status();
  VU_PLOT(n, n, data.data(), axis.data(), axis.data(), 1, 1, n, n, "Slice 1", "X-axis", "Y-axis",
          "Absorption", status);
  ASSERT_EQ(status, ST_OK);

  expect_region(VU_IDR, 0.0f, 0.0f, 2048.0f, 2048.0f);
  expect_region(VU_DDDR, 0.0f, 0.0f, 2048.0f, 2048.0f);
  // A square of 0.5071 page units whose top edge is 0.1 below the page top.
  expect_region(VU_GPP.drawn, 0.1f, 0.3929f, 0.6071f, 0.9f);
  // The colour scale bar under the reserved rectangle.
  EXPECT_TRUE(VU_DLUTPC.drawn);
  expect_region(VU_DLUTPC.region, 0.1f, 0.2679f, 0.6071f, 0.2929f);
  // The device transform is the image's again after the bar.
  float x0, y0, x1, y1;
  DV_INQ_VIEWPORT(x0, y0, x1, y1, status);
  EXPECT_NEAR(y1, 0.9f, 1e-5f);
  DV_INQ_DATAWINDOW(x0, y0, x1, y1, status);
  EXPECT_EQ(x1, 2048.0f);

  int width = 0, height = 0;
  ASSERT_TRUE(dv_x11_page_size(width, height));
  EXPECT_EQ(width, 500);
  EXPECT_EQ(height, 707);
  const int mid_row = row_of(0.6464f);
  // White page outside the plot.
  const Rgb8 corner = page_pixel(5, 5);
  EXPECT_EQ(corner.r, 255);
  EXPECT_EQ(corner.b, 255);
  EXPECT_EQ(page_pixel(250, row_of(0.1f)).r, 255);
  // The image: value 0 is LUT 4's level 1 (grey 0.99497), value 1 black.
  EXPECT_EQ(page_pixel(column_of(0.2f), mid_row).r, 253);
  EXPECT_EQ(page_pixel(column_of(0.5f), mid_row).r, 0);
  // The frame's left edge (beside light image pixels) and the plot's top edge.
  EXPECT_LT(darkest(column_of(0.1f), mid_row, 1), 100);
  EXPECT_LT(darkest(column_of(0.2f), row_of(0.9f), 1), 100);
  // The title over the frame, centred.
  int title_dark = 0;
  for (int r = row_of(0.975f); r <= row_of(0.948f); ++r) {
    for (int c = column_of(0.30f); c <= column_of(0.41f); ++c) title_dark += page_pixel(c, r).r < 128;
  }
  EXPECT_GT(title_dark, 20);
  // The bar runs from light at its left end to black at its right end.
  const int bar_row = row_of(0.28f);
  EXPECT_GT(page_pixel(column_of(0.11f), bar_row).r, 200);
  EXPECT_LT(page_pixel(column_of(0.597f), bar_row).r, 20);
}

TEST_F(Plot, SinogramKeepsTheFullWidth) {
  const int bins = 2048, projections = 1500;
  std::vector<float> data(static_cast<std::size_t>(bins) * projections);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<float>(i % 97);
  const std::vector<float> x_axis = centres(bins), y_axis = centres(projections);
  std::int32_t status = fresh_status();
  VU_PLOT(bins, projections, data.data(), x_axis.data(), y_axis.data(), 1, 1, bins, projections,
          "First Sinogram of pass", "Bins", "Projections", "Absorption", status);
  ASSERT_EQ(status, ST_OK);
  const float height = 0.5071f * 1500.0f / 2048.0f;
  const float centre = 0.5f * (0.3929f + 0.9f);
  expect_region(VU_GPP.drawn, 0.1f, centre - height / 2, 0.6071f, centre + height / 2);
  // The bar does not move with the image's shape.
  expect_region(VU_DLUTPC.region, 0.1f, 0.2679f, 0.6071f, 0.2929f);
  EXPECT_EQ(VU_YLTICKS.step, 200.0f);
  EXPECT_EQ(VU_YLTICKS.number, 8);

  // A tall image keeps the height and narrows instead.
  status = fresh_status();
  VU_PLOT(bins, projections, data.data(), x_axis.data(), y_axis.data(), 1, 1, 100, projections,
          "", "", "", "", status);
  ASSERT_EQ(status, ST_OK);
  const float width = 0.5071f * 100.0f / 1500.0f;
  const float middle = 0.5f * (0.1f + 0.6071f);
  expect_region(VU_GPP.drawn, middle - width / 2, 0.3929f, middle + width / 2, 0.9f);
}

TEST_F(Plot, OneColumnOrOneRowDrawsACurve) {
  const int nx = 5, ny = 40;
  std::vector<float> data(static_cast<std::size_t>(nx) * ny);
  for (int y = 0; y < ny; ++y) {
    for (int x = 0; x < nx; ++x) data[static_cast<std::size_t>(y) * nx + x] = 10.0f * x + y;
  }
  const std::vector<float> x_axis = centres(nx), y_axis = centres(ny);
  std::int32_t status = fresh_status();
  // Column 3, rows 1..40: values 20..59 against 0.5..39.5.
  VU_PLOT(nx, ny, data.data(), x_axis.data(), y_axis.data(), 3, 1, 3, ny, "Column", "X", "Y",
          "Z", status);
  ASSERT_EQ(status, ST_OK);
  // The curve's range: the points widened by 5 % each side; no aspect rule, no LUT bar.
  expect_region(VU_DDDR, 0.5f - 1.95f, 20.0f - 1.95f, 39.5f + 1.95f, 59.0f + 1.95f);
  expect_region(VU_GPP.drawn, 0.1f, 0.3929f, 0.6071f, 0.9f);
  EXPECT_FALSE(VU_DLUTPC.drawn);
  // Error bars and the display range are as before the curve.
  EXPECT_TRUE(VU_ERRORBARS.x);
  expect_region(VU_DDR, 0.0f, 0.0f, 1.0f, 1.0f);
  // Something dark was drawn inside the frame (the curve), not an image.
  int dark = 0;
  for (int c = column_of(0.12f); c < column_of(0.59f); ++c) {
    for (int r = row_of(0.88f); r < row_of(0.41f); ++r) dark += page_pixel(c, r).r < 128;
  }
  EXPECT_GT(dark, 100);
  EXPECT_LT(dark, 5000);

  // Row 2, columns 1..5: values 1, 11, ..., 41 against 0.5..4.5.
  VU_PLOT(nx, ny, data.data(), x_axis.data(), y_axis.data(), 1, 2, nx, 2, "Row", "X", "Y", "Z",
          status);
  ASSERT_EQ(status, ST_OK);
  expect_region(VU_DDDR, 0.5f - 0.2f, 1.0f - 2.0f, 4.5f + 0.2f, 41.0f + 2.0f);

  // A single element is a one-point curve against the y axis, shown as a marker.
  VU_PLOT(nx, ny, data.data(), x_axis.data(), y_axis.data(), 2, 2, 2, 2, "", "", "", "", status);
  ASSERT_EQ(status, ST_OK);
  expect_region(VU_DDDR, 1.5f - 0.01f, 11.0f - 0.01f, 1.5f + 0.01f, 11.0f + 0.01f);
}

TEST_F(Plot, ConstantAndNonFiniteImagesStillPlot) {
  const int n = 16;
  std::vector<float> data(static_cast<std::size_t>(n) * n, 5.0f);
  const std::vector<float> axis = centres(n);
  std::int32_t status = fresh_status();
  VU_PLOT(n, n, data.data(), axis.data(), axis.data(), 1, 1, n, n, "", "", "", "", status);
  ASSERT_EQ(status, ST_OK);
  std::int32_t mode = -1;
  float min = 0, max = 0;
  VU_INQ_IMAGESCALE(mode, min, max, status);
  EXPECT_EQ(min, 5.0f);
  EXPECT_EQ(max, 5.0f);
  // Drawn with the range 4.5 .. 5.5: the middle grey of the table.
  const Rgb8 mid = page_pixel(column_of(0.35f), row_of(0.65f));
  EXPECT_NEAR(mid.r, 127, 3);
  EXPECT_TRUE(VU_DLUTPC.drawn);

  // All zero: widened to -0.1 .. 0.1; negative constants too.
  std::fill(data.begin(), data.end(), 0.0f);
  VU_PLOT(n, n, data.data(), axis.data(), axis.data(), 1, 1, n, n, "", "", "", "", status);
  std::fill(data.begin(), data.end(), -3.0f);
  VU_PLOT(n, n, data.data(), axis.data(), axis.data(), 1, 1, n, n, "", "", "", "", status);
  ASSERT_EQ(status, ST_OK);

  // Infinities and NaNs (dead pixels after the logarithm) leave the finite values' range.
  for (int i = 0; i < n * n; ++i) data[static_cast<std::size_t>(i)] = static_cast<float>(i % 7);
  data[3] = std::numeric_limits<float>::infinity();
  data[4] = -std::numeric_limits<float>::infinity();
  data[5] = std::numeric_limits<float>::quiet_NaN();
  VU_PLOT(n, n, data.data(), axis.data(), axis.data(), 1, 1, n, n, "", "", "", "", status);
  ASSERT_EQ(status, ST_OK);
  VU_INQ_IMAGESCALE(mode, min, max, status);
  EXPECT_EQ(min, 0.0f);
  EXPECT_EQ(max, 6.0f);
  // Nothing finite at all: drawn as zeros.
  std::fill(data.begin(), data.end(), std::numeric_limits<float>::quiet_NaN());
  VU_PLOT(n, n, data.data(), axis.data(), axis.data(), 1, 1, n, n, "", "", "", "", status);
  EXPECT_EQ(status, ST_OK);
}

TEST_F(Plot, UserRangeThatIsEmptyDrawsNoImage) {
  const int n = 8;
  std::vector<float> data(static_cast<std::size_t>(n) * n, 2.0f);
  const std::vector<float> axis = centres(n);
  std::int32_t status = fresh_status();
  VU_SET_IMAGESCALE(1, 3.0f, 3.0f, status);
  ASSERT_EQ(status, ST_OK);
  testing::internal::CaptureStdout();
  VU_PLOT(n, n, data.data(), axis.data(), axis.data(), 1, 1, n, n, "", "", "", "", status);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(status, ST_OK);
  EXPECT_EQ(out,
            "WARNING: The minimum data value is greater than the user input maximum\n"
            "         Z-value (intensity)\n"
            "         Use \"Z-SCALE\" to change values or scaling mode\n");
  std::int32_t mode = -1;
  float min = 0, max = 0;
  VU_INQ_IMAGESCALE(mode, min, max, status);
  EXPECT_EQ(mode, 1);
  EXPECT_EQ(min, 3.0f);
  EXPECT_EQ(max, 1003.0f);
  // No image: the page inside the frame stays white.
  EXPECT_EQ(page_pixel(column_of(0.35f), row_of(0.65f)).r, 255);

  // Mode 2: the data maximum (2) below the user's minimum (3).
  VU_SET_IMAGESCALE(2, 3.0f, 0.0f, status);
  testing::internal::CaptureStdout();
  VU_PLOT(n, n, data.data(), axis.data(), axis.data(), 1, 1, n, n, "", "", "", "", status);
  out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.substr(0, 73),
            "WARNING: The maximum data value is less than the user input minimum\n"
            "     ");
  VU_INQ_IMAGESCALE(mode, min, max, status);
  EXPECT_EQ(max, 2.0f);
  EXPECT_EQ(min, -998.0f);
  EXPECT_EQ(status, ST_OK);
}

TEST_F(Plot, BadRegionsSetTheirStatus) {
  std::vector<float> data(12, 1.0f);
  const std::vector<float> axis = centres(4);
  struct Case {
    std::int32_t xmax, ymax, xs, ys, xe, ye, expected;
  };
  const Case cases[] = {
      {0, 3, 1, 1, 1, 1, 140001}, {4, 0, 1, 1, 1, 1, 140002}, {4, 3, 1, 1, 5, 3, 140005},
      {4, 3, 0, 1, 4, 3, 140005}, {4, 3, 3, 1, 2, 3, 140005}, {4, 3, 1, 1, 4, 4, 140006},
      {4, 3, 1, 3, 4, 2, 140006},
  };
  for (const Case& c : cases) {
    std::int32_t status = fresh_status();
    VU_PLOT(c.xmax, c.ymax, data.data(), axis.data(), axis.data(), c.xs, c.ys, c.xe, c.ye, "", "",
            "", "", status);
    EXPECT_EQ(status, c.expected);
    EXPECT_EQ(st_position().substr(0, 24), "Subroutine VU_PLOT V0.2 ");
  }
  // The image routine itself refuses a single column.
  std::int32_t status = fresh_status();
  VU_2DIMAGE(4, 3, data.data(), axis.data(), axis.data(), 2, 1, 2, 3, "", "", "", "", status);
  EXPECT_EQ(status, 140005);
}
