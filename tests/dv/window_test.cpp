// Window back-end on a real X server: a private Xvfb started for this test program (the tests
// are skipped when there is no Xvfb). The window must show exactly the page after each update,
// and repaint itself when uncovered. Without a display the open fails as the layer reports it.
// gtest first: Xlib defines macros (None, Bool, Status) that clash with its names.
#include "dv_test_util.h"

#include <utility>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "../support/xvfb_server.h"

namespace {

class DvWindow : public test_support::XvfbTest {
 protected:
  void SetUp() override {
    XvfbTest::SetUp();
    if (IsSkipped()) return;
    ST_DEF_SYSTEM(status);
    dv_reset();
    DV_OPEN(0, status);
    ASSERT_EQ(status, ST_OK);
    viewer = XOpenDisplay(nullptr);
    ASSERT_NE(viewer, nullptr);
  }
  void TearDown() override {
    if (viewer != nullptr) XCloseDisplay(viewer);
    dv_reset();
    XvfbTest::TearDown();
  }

  void open_window(std::int32_t type) {
    DV_OPEN_WK(1, 0, type, status);
    DV_ACTIVATE_WK(1, status);
    ASSERT_EQ(status, ST_OK);
    void* display = nullptr;
    ASSERT_TRUE(dv_x11_window(display, window));
  }

  // Pixels of the window that differ from the page, read back through a second connection.
  int differences_from_page() {
    XSync(viewer, False);
    int width = 0, height = 0;
    EXPECT_TRUE(dv_x11_page_size(width, height));
    XImage* image = XGetImage(viewer, window, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) return -1;
    int differences = 0;
    for (int r = 0; r < height; ++r) {
      for (int c = 0; c < width; ++c) {
        const unsigned long pixel = XGetPixel(image, c, r);
        const std::uint32_t rgb = static_cast<std::uint32_t>(
            ((pixel & image->red_mask) >> 16 << 16) | ((pixel & image->green_mask) >> 8 << 8) |
            (pixel & image->blue_mask));
        if (rgb != page_pixel(c, r)) ++differences;
      }
    }
    XDestroyImage(image);
    return differences;
  }

  std::uint32_t window_pixel(int c, int r) {
    XImage* image = XGetImage(viewer, window, c, r, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return 0xDEADBEEF;
    const auto pixel = static_cast<std::uint32_t>(XGetPixel(image, 0, 0) & 0xFFFFFF);
    XDestroyImage(image);
    return pixel;
  }

  void draw_something() {
    const std::vector<float> table = index_ramp();
    DV_COLOURS(256, 9, 255, table.data(), status);
    DV_DATAWINDOW(0.0f, 0.0f, 100.0f, 100.0f, status);
    DV_VIEWPORT(0.05f, 0.1f, 0.65f, 0.6f, status);
    DV_FILLCOLOUR(5, status);
    const float fx[4] = {5.0f, 30.0f, 30.0f, 5.0f};
    const float fy[4] = {5.0f, 5.0f, 30.0f, 30.0f};
    DV_FILLAREA(4, fx, fy, status);
    std::vector<float> data(64 * 48);
    for (std::size_t k = 0; k < data.size(); ++k) data[k] = static_cast<float>(k % 97);
    DV_RMASKCELLARRAY(false, 40.0f, 10.0f, 95.0f, 60.0f, 64, 48, 1, 1, 64, 48, data.data(),
                      nullptr, 0.0f, 96.0f, 3, status);
    const float lx[3] = {0.0f, 50.0f, 100.0f};
    const float ly[3] = {0.0f, 90.0f, 20.0f};
    DV_LINECOLOUR(3, status);
    DV_POLYLINE(3, lx, ly, status);
    DV_TEXTCOLOUR(1, status);
    DV_TEXTHEIGHT(3.0f, status);
    DV_TEXT(10.0f, 80.0f, "Divect 123", status);
    ASSERT_EQ(status, ST_OK);
  }

  std::int32_t status = ST_OK;
  Display* viewer = nullptr;
  unsigned long window = 0;
};

TEST_F(DvWindow, OpensATitledWindowWithTheClientSizeOfThePage) {
  open_window(DV_TYPE_WINDOW_PORTRAIT);
  XWindowAttributes attributes;
  ASSERT_NE(XGetWindowAttributes(viewer, window, &attributes), 0);
  EXPECT_EQ(attributes.width, 500);
  EXPECT_EQ(attributes.height, 707);
  EXPECT_EQ(attributes.map_state, IsViewable);
  char* name = nullptr;
  ASSERT_NE(XFetchName(viewer, window, &name), 0);
  EXPECT_STREQ(name, "Divect Graphics Window");
  XFree(name);
  EXPECT_EQ(window_pixel(250, 350), 0xFFFFFFu);  // a white page from the start
}

TEST_F(DvWindow, LandscapeWindow) {
  open_window(DV_TYPE_WINDOW_LANDSCAPE);
  XWindowAttributes attributes;
  ASSERT_NE(XGetWindowAttributes(viewer, window, &attributes), 0);
  EXPECT_EQ(attributes.width, 707);
  EXPECT_EQ(attributes.height, 500);
  float w = 0, h = 0;
  DV_INQ_MAXPC(1, w, h, status);
  EXPECT_FLOAT_EQ(w, 1.0f);
  EXPECT_FLOAT_EQ(h, 0.7071f);
}

TEST_F(DvWindow, UpdatePutsThePageOnTheScreen) {
  open_window(DV_TYPE_WINDOW_PORTRAIT);
  draw_something();
  // Drawing goes to the page; the window shows it at the update.
  const PixelTransform pixels(DV_DB_TRANSFORM.data_window, DV_DB_TRANSFORM.viewport, 500, 707);
  const int c = pixels.column(15.0f), r = pixels.row(15.0f);
  EXPECT_EQ(page_pixel(c, r), 0x0000FFu);
  EXPECT_EQ(window_pixel(c, r), 0xFFFFFFu);
  DV_UPDATE(1, 0, status);
  ASSERT_EQ(status, ST_OK);
  EXPECT_EQ(window_pixel(c, r), 0x0000FFu);
  EXPECT_EQ(differences_from_page(), 0);
}

TEST_F(DvWindow, UncoveredWindowRepaintsItself) {
  open_window(DV_TYPE_WINDOW_PORTRAIT);
  draw_something();
  DV_UPDATE(1, 0, status);
  // Cover most of the window with another one, then take it away again. No message loop runs
  // in the program: the server repaints from the window's background.
  const Window cover = XCreateSimpleWindow(viewer, DefaultRootWindow(viewer), 0, 0, 400, 600, 0,
                                           0, 0x00FF00);
  XMapRaised(viewer, cover);
  XSync(viewer, False);
  XDestroyWindow(viewer, cover);
  XSync(viewer, False);
  EXPECT_EQ(differences_from_page(), 0);
}

// Without a display the window cannot open: the layer warns and sets 132001.
class DvNoDisplay : public testing::Test {
 protected:
  void SetUp() override {
    ST_DEF_SYSTEM(status);
    dv_reset();
    DV_OPEN(0, status);
  }
  void TearDown() override { dv_reset(); }
  std::int32_t status = ST_OK;
};

TEST_F(DvNoDisplay, UnsetOrRefusedDisplayFailsTheOpen) {
  // Why the window did not open is said on standard output, with the run's other messages.
  for (const auto& [display, reason] :
       {std::pair<const char*, const char*>{"", "WARNING: Cannot open the X display: DISPLAY is not set\n"},
        {":987", "WARNING: Cannot open the X display \":987\"\n"}}) {
    const test_support::ScopedEnv env("DISPLAY", display);
    status = ST_OK;
    const std::string out = captured_stdout([&] { DV_OPEN_WK(1, 0, 11, status); });
    EXPECT_EQ(out, std::string(reason) +
                       "WARNING: X-11 workstation not opened successfully (DV_OPEN_WK)\n");
    EXPECT_EQ(status, DV_WINDOW_NOT_OPENED);
    EXPECT_EQ(DV_DB_OPENWK.windows, 0);
    int width = 0, height = 0;
    EXPECT_FALSE(dv_x11_page_size(width, height));
  }
}

}  // namespace
