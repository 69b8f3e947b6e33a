// Device layer: system and workstation table, transforms, attribute checks, colours.
// The window workstation runs in PNG mode here, so no display is needed.
#include <cmath>

#include "dv_test_util.h"

namespace {

class DvLayer : public DvPngLayer {};

TEST_F(DvLayer, OpenSetsRangesColoursTransformAndDefaults) {
  const DvDbColours& c = DV_DB_COLOURS;
  EXPECT_EQ(c.first_basic, 41);
  EXPECT_EQ(c.last, 250);
  EXPECT_EQ(c.first_image, 49);
  EXPECT_EQ(c.last_image, 250);
  EXPECT_EQ(c.requested_low, 108);
  EXPECT_EQ(c.requested_high, 256);
  // Basic colours from the first basic index: black, white, red, ..., cyan.
  EXPECT_FLOAT_EQ(c.table[41][0], 0.0f);
  EXPECT_FLOAT_EQ(c.table[42][1], 1.0f);
  EXPECT_FLOAT_EQ(c.table[43][0], 1.0f);
  EXPECT_FLOAT_EQ(c.table[43][1], 0.0f);
  EXPECT_FLOAT_EQ(c.table[48][0], 0.0f);
  EXPECT_FLOAT_EQ(c.table[48][2], 1.0f);
  // The image range ends on the last control colour (white).
  EXPECT_FLOAT_EQ(c.table[250][0], 1.0f);
  EXPECT_FLOAT_EQ(c.table[250][1], 1.0f);
  EXPECT_EQ(DV_DB_RASTERMODE.x_scale, 707.0f);
  EXPECT_EQ(DV_DB_RASTERMODE.line_style, 1);
  EXPECT_EQ(DV_DB_RASTERMODE.marker_type, 2);
  EXPECT_EQ(DV_DB_TEXTATTS.colour, 2);
  float x0, y0, x1, y1;
  DV_INQ_VIEWPORT(x0, y0, x1, y1, status);
  EXPECT_FLOAT_EQ(x1, 0.7071f);
  EXPECT_FLOAT_EQ(y1, 1.0f);

  std::int32_t bad = ST_OK;
  DV_OPEN(1, bad);
  EXPECT_EQ(bad, DV_BAD_VALUE);
}

TEST_F(DvLayer, ClosedLayerWritesMessagesAndKeepsStatus) {
  DV_CLOSE(status);
  float width = 0.0f;
  const std::string out = captured_stdout([&] {
    const float x[2] = {0.0f, 1.0f};
    DV_POLYLINE(2, x, x, status);
    DV_INQ_TEXTWIDTH(3, "abc", width, status);
    DV_OPEN_WK(1, 0, DV_TYPE_WINDOW_PORTRAIT, status);
    DV_CLOSE(status);
  });
  EXPECT_EQ(status, ST_OK);
  EXPECT_EQ(out,
            "ERROR: Divect Graphics system is not open (DV_POLYLINE)\n"
            "ERROR: Divect Graphics system is not open (DV_INQ_TEXTWIDTH)\n"
            "WARNING: Divect Graphics system is not open (DV_OPEN_WK)\n"
            "WARNING: Divect Graphics system is already closed ! (DV_CLOSE)\n");
}

TEST_F(DvLayer, WorkstationTableOpensActivatesAndCloses) {
  open_window(1);
  EXPECT_EQ(DV_DB_SYSTEM.count, 1);
  EXPECT_EQ(DV_DB_OPENWK.windows, 1);
  EXPECT_EQ(DV_DB_SYSTEM.state[0], 2);
  // The window back-end's ranges replace the layer's.
  std::int32_t first = 0, last = 0;
  DV_INQ_IMAGERANGE(first, last, status);
  EXPECT_EQ(first, 9);
  EXPECT_EQ(last, 255);
  EXPECT_EQ(DV_DB_COLOURS.first_basic, 1);
  float w = 0, h = 0;
  DV_INQ_MAXPC(1, w, h, status);
  EXPECT_FLOAT_EQ(w, 0.7071f);
  EXPECT_FLOAT_EQ(h, 1.0f);
  DV_INQ_MAXPC(7, w, h, status);  // unknown: portrait page
  EXPECT_FLOAT_EQ(w, 0.7071f);

  const std::string out = captured_stdout([&] {
    DV_OPEN_WK(1, 0, DV_TYPE_WINDOW_PORTRAIT, status);   // same identifier
    DV_OPEN_WK(2, 0, DV_TYPE_WINDOW_LANDSCAPE, status);  // second window: slot still recorded
    DV_OPEN_WK(3, 0, 99, status);                        // unknown type
    DV_ACTIVATE_WK(2, status);
    DV_ACTIVATE_WK(2, status);
    DV_ACTIVATE_WK(9, status);
    DV_CLOSE_WK(9, status);
    DV_UPDATE(9, 0, status);
  });
  EXPECT_EQ(status, ST_OK);
  EXPECT_EQ(out,
            "WARNING: Workstation already open (DV_OPEN_WK)\n"
            "WARNING: Maximum number of X-11 workstations are already open (DV_OPEN_WK)\n"
            "WARNING: Unknown graphics device type (DV_OPEN_WK)\n"
            "WARNING: Workstation is already active (DV_ACTIVATE_WK)\n"
            "ERROR: Workstation ID is unknown (DV_ACTIVATE_WK)\n"
            "ERROR: Workstation ID is unknown (DV_CLOSE_WK)\n"
            "ERROR: Workstation ID is unknown (DV_UPDATE)\n");
  // The unknown type counted a slot that stays free; loops skip it.
  EXPECT_EQ(DV_DB_SYSTEM.count, 3);
  EXPECT_EQ(DV_DB_SYSTEM.state[2], 0);
  DV_INQ_MAXPC(2, w, h, status);
  EXPECT_FLOAT_EQ(w, 1.0f);  // the page of the second slot follows its own type
  EXPECT_FLOAT_EQ(h, 0.7071f);

  // Closing the first window slot moves the later ones down; the window stays for slot 2.
  DV_CLOSE_WK(1, status);
  EXPECT_EQ(DV_DB_SYSTEM.count, 2);
  EXPECT_EQ(DV_DB_SYSTEM.wk_id[0], 2);
  EXPECT_EQ(DV_DB_OPENWK.windows, 1);
  int width = 0, height = 0;
  EXPECT_TRUE(dv_x11_page_size(width, height));
  DV_CLOSE_WK(2, status);
  EXPECT_EQ(DV_DB_OPENWK.windows, 0);
  EXPECT_FALSE(dv_x11_page_size(width, height));
  EXPECT_EQ(status, ST_OK);

  captured_stdout([&] { DV_CLOSE_WK(0, status); });
  EXPECT_EQ(status, DV_BAD_VALUE);
}

TEST_F(DvLayer, WorkstationTableFull) {
  captured_stdout([&] {
    for (int id = 1; id <= 10; ++id) DV_OPEN_WK(id, 0, DV_TYPE_WINDOW_PORTRAIT, status);
  });
  ASSERT_EQ(status, ST_OK);
  EXPECT_EQ(DV_DB_SYSTEM.count, 10);
  const std::string out = captured_stdout([&] { DV_OPEN_WK(11, 0, 11, status); });
  EXPECT_NE(out.find("WARNING: Maximum number of workstations are already open (DV_OPEN_WK)\n"),
            std::string::npos);
  EXPECT_EQ(status, DV_NO_FREE_SLOT);
}

TEST_F(DvLayer, TransformChecksConversionsAndUnity) {
  const std::string out = captured_stdout([&] { DV_DATAWINDOW(1.0f, 0.0f, 1.0f, 1.0f, status); });
  EXPECT_EQ(status, DV_BAD_X_RANGE);
  EXPECT_EQ(out.rfind("ERROR: ", 0), 0u);
  status = ST_OK;
  captured_stdout([&] { DV_VIEWPORT(0.0f, 0.5f, 1.0f, 0.2f, status); });
  EXPECT_EQ(status, DV_BAD_Y_RANGE);
  status = ST_OK;

  DV_DATAWINDOW(0.0f, 0.0f, 100.0f, 50.0f, status);
  DV_VIEWPORT(0.1f, 0.2f, 0.6f, 0.7f, status);
  ASSERT_EQ(status, ST_OK);
  EXPECT_FLOAT_EQ(DV_DB_RASTERMODE.x_scale, 707.0f * 0.5f / 100.0f);
  EXPECT_FLOAT_EQ(DV_DB_RASTERMODE.x_offset, 0.1f * 707.0f);
  EXPECT_FLOAT_EQ(DV_DB_RASTERMODE.y_scale, 707.0f * 0.5f / 50.0f);
  float xs = 0, ys = 0;
  DV_INQ_SCALING(xs, ys, status);
  EXPECT_FLOAT_EQ(xs, 0.005f);
  EXPECT_FLOAT_EQ(ys, 0.01f);
  EXPECT_NEAR(DV_WC2PC(true, 50.0f), 0.35f, 1e-6);
  EXPECT_NEAR(DV_WC2PC(false, 25.0f), 0.45f, 1e-6);
  EXPECT_NEAR(DV_PC2WC(true, DV_WC2PC(true, 37.5f)), 37.5f, 1e-4);
  EXPECT_NEAR(DV_PC2WC(false, 0.2f), 0.0f, 1e-5);

  DV_UNITYTRANSFORM(true, status);
  float a, b, c, d;
  DV_INQ_DATAWINDOW(a, b, c, d, status);
  EXPECT_EQ(c, 1.0f);
  DV_INQ_VIEWPORT(a, b, c, d, status);
  EXPECT_EQ(a, 0.0f);
  EXPECT_EQ(d, 1.0f);
  DV_UNITYTRANSFORM(false, status);
  DV_INQ_DATAWINDOW(a, b, c, d, status);
  EXPECT_EQ(c, 100.0f);
  EXPECT_EQ(d, 50.0f);
  ASSERT_EQ(status, ST_OK);
  captured_stdout([&] { DV_UNITYTRANSFORM(false, status); });
  EXPECT_EQ(status, DV_NO_SAVED_TRANSFORM);
}

TEST_F(DvLayer, AttributeChecks) {
  const std::string out = captured_stdout([&] {
    std::int32_t s1 = ST_OK, s2 = ST_OK, s3 = ST_OK, s4 = ST_OK, s5 = ST_OK, s6 = ST_OK;
    DV_LINESTYLE(5, s1);
    DV_FILLCOLOUR(256, s2);
    DV_TEXTFONT(3, s3);
    DV_TEXTHEIGHT(0.0f, s4);
    DV_LINECOLOUR(-2, s5);
    DV_TEXTALIGNMENT(4, 0, s6);
    EXPECT_EQ(s1, DV_BAD_VALUE);
    EXPECT_EQ(s2, DV_BAD_VALUE);
    EXPECT_EQ(s3, DV_BAD_VALUE);
    EXPECT_EQ(s4, DV_BAD_HEIGHT);
    EXPECT_EQ(s5, DV_BAD_VALUE);
    EXPECT_EQ(s6, DV_BAD_VALUE);
  });
  EXPECT_NE(out.find("256"), std::string::npos);  // the rejected value is shown

  // Text height is kept in page units, at least 0.005.
  DV_DATAWINDOW(0.0f, 0.0f, 10.0f, 10.0f, status);
  DV_VIEWPORT(0.0f, 0.0f, 0.5f, 0.5f, status);
  DV_TEXTHEIGHT(0.4f, status);
  EXPECT_FLOAT_EQ(DV_DB_TEXTATTS.height, 0.02f);
  DV_TEXTHEIGHT(1e-6f, status);
  EXPECT_FLOAT_EQ(DV_DB_TEXTATTS.height, 0.005f);
  DV_LINECOLOUR(-1, status);  // inverse video is allowed
  EXPECT_EQ(status, ST_OK);
}

TEST_F(DvLayer, PrimitiveCountChecks) {
  open_window();
  const float x[3] = {0.1f, 0.2f, 0.3f};
  captured_stdout([&] { DV_POLYLINE(1, x, x, status); });
  EXPECT_EQ(status, DV_BAD_VALUE);
  status = ST_OK;
  captured_stdout([&] { DV_POLYMARKER(0, x, x, status); });
  EXPECT_EQ(status, DV_BAD_VALUE);
  status = ST_OK;

  std::vector<float> many(201, 0.3f);
  const std::string out =
      captured_stdout([&] { DV_FILLAREA(201, many.data(), many.data(), status); });
  EXPECT_EQ(status, DV_BACKEND_FAILURE);
  EXPECT_NE(out.find("ERROR: "), std::string::npos);
  status = ST_OK;

  const std::int32_t indices[4] = {1, 2, 3, 4};
  captured_stdout([&] {
    DV_CELLARRAY(0, 0, 1, 1, 0, 2, 1, 1, 2, 2, indices, status);
  });
  EXPECT_EQ(status, DV_BACKEND_FAILURE);  // first dimension below 1
  status = ST_OK;
  const float data[4] = {1, 2, 3, 4};
  captured_stdout([&] {
    DV_RMASKCELLARRAY(false, 0, 0, 1, 1, 2, 2, 1, 1, 0, 2, data, nullptr, 0, 1, 0, status);
  });
  EXPECT_EQ(status, DV_BAD_VALUE);
  status = ST_OK;
  captured_stdout([&] {
    DV_RMASKCELLARRAY(false, 0, 0, 1, 1, 2, 2, 1, 1, 2, 0, data, nullptr, 0, 1, 0, status);
  });
  EXPECT_EQ(status, DV_BAD_SECOND_COUNT);
  status = ST_OK;
  // A region that runs past the declared dimensions is refused instead of read.
  captured_stdout([&] {
    DV_RMASKCELLARRAY(false, 0, 0, 1, 1, 2, 2, 2, 1, 2, 2, data, nullptr, 0, 1, 0, status);
  });
  EXPECT_EQ(status, DV_BAD_VALUE);
}

TEST_F(DvLayer, ColourLoadingAndNearestColour) {
  open_window();
  // Pure red is the basic red index even when an image index holds the same colour.
  std::vector<float> table = index_ramp();
  table[3 * 200] = 1.0f;
  table[3 * 200 + 1] = 0.0f;
  table[3 * 200 + 2] = 0.0f;
  DV_COLOURS(256, 9, 255, table.data(), status);
  ASSERT_EQ(status, ST_OK);
  std::int32_t index = -5;
  DV_BESTCOLOUR(1.0f, 0.0f, 0.0f, index, status);
  EXPECT_EQ(index, 3);
  DV_BESTCOLOUR(0.0f, 1.0f, 1.0f, index, status);
  EXPECT_EQ(index, 8);
  EXPECT_FLOAT_EQ(DV_DB_COLOURS.table[100][0], table[300]);

  captured_stdout([&] { DV_COLOURS(0, 9, 255, table.data(), status); });
  EXPECT_EQ(status, DV_BAD_TABLE_SIZE);
  status = ST_OK;
  captured_stdout([&] { DV_COLOURS(256, 20, 10, table.data(), status); });
  EXPECT_EQ(status, DV_BAD_VALUE);
  status = ST_OK;
  captured_stdout([&] { DV_COLOURS(256, -1, 10, table.data(), status); });
  EXPECT_EQ(status, DV_BAD_VALUE);
}

TEST_F(DvLayer, DefaultImageColoursFollowTheControlTable) {
  open_window();
  // 247 image levels over 13 control colours: the last index is white, and the colours run
  // from black through blue.
  const DvDbColours& c = DV_DB_COLOURS;
  EXPECT_FLOAT_EQ(c.table[255][0], 1.0f);
  EXPECT_FLOAT_EQ(c.table[255][2], 1.0f);
  // Index 9 is level 1 of 246: position 1 + 12/246 between black and dark blue.
  EXPECT_NEAR(c.table[9][2], 0.6f * 12.0f / 246.0f, 1e-5);
  EXPECT_FLOAT_EQ(c.table[9][0], 0.0f);
  // Index 9 + 20: level 21, position 1 + 12 * 21 / 246 = 2.024...: just past dark blue.
  EXPECT_NEAR(c.table[29][2], 0.6f + 0.4f * (12.0f * 21.0f / 246.0f - 1.0f), 1e-5);
}

}  // namespace
