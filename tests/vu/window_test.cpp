// The graphics window on a private Xvfb (skipped when there is none), and the open failing
// cleanly without a display.
// gtest first: Xlib defines macros (None, Bool, Status) that clash with its names.
#include "vu_test_support.h"
#include "../support/xvfb_server.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

using namespace vu_test;

namespace {

class GraphicsWindow : public test_support::XvfbTest {};

// The window's pixel at (column, row) as 0xRRGGBB, read back from the X server.
std::uint32_t window_pixel(Display* display, ::Window window, int column, int row) {
  XImage* image = XGetImage(display, window, column, row, 1, 1, AllPlanes, ZPixmap);
  if (image == nullptr) return 0xFFFFFFFFu;
  const unsigned long pixel = XGetPixel(image, 0, 0);
  XDestroyImage(image);
  return static_cast<std::uint32_t>(pixel & 0xFFFFFF);
}

}  // namespace

TEST_F(GraphicsWindow, OpensShowsThePlotAndCloses) {
  std::int32_t status;
  open_graphics({"params.txt"}, status);
  ASSERT_EQ(status, ST_OK);
  void* handle = nullptr;
  unsigned long window = 0;
  ASSERT_TRUE(dv_x11_window(handle, window));
  auto* display = static_cast<Display*>(handle);
  char* name = nullptr;
  ASSERT_NE(XFetchName(display, window, &name), 0);
  EXPECT_STREQ(name, "Divect Graphics Window");
  XFree(name);
  XWindowAttributes attributes;
  ASSERT_NE(XGetWindowAttributes(display, window, &attributes), 0);
  EXPECT_EQ(attributes.width, 500);
  EXPECT_EQ(attributes.height, 707);

  // The program's sequence: table 4 with 200 levels, a slice, an update.
  VU_SET_LUTCHOICE(4, 200, status);
  VU_COLOURS(status);
  const int n = 256;
  std::vector<float> data(static_cast<std::size_t>(n) * n);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) data[static_cast<std::size_t>(y) * n + x] = x < n / 2 ? 0.0f : 1.0f;
  }
  const std::vector<float> axis = centres(n);
  VU_PLOT(n, n, data.data(), axis.data(), axis.data(), 1, 1, n, n, "Slice 20", "X-axis", "Y-axis",
          "Absorption", status);
  VU_UPDATE(status);
  ASSERT_EQ(status, ST_OK);
  XSync(display, False);
  // The window shows the page: light and black image halves, the bar, the white margin.
  const int row = 250;
  for (int column : {140, 350, 5}) {
    std::uint32_t page = 0;
    ASSERT_TRUE(dv_x11_page_pixel(column, row, page));
    EXPECT_EQ(window_pixel(display, window, column, row), page) << column;
  }
  std::uint32_t page = 0;
  ASSERT_TRUE(dv_x11_page_pixel(140, row, page));
  EXPECT_EQ(page, 0xFDFDFDu);
  ASSERT_TRUE(dv_x11_page_pixel(350, row, page));
  EXPECT_EQ(page, 0x000000u);

  close_graphics();
  EXPECT_FALSE(dv_x11_window(handle, window));
}

TEST_F(GraphicsWindow, LandscapeWindow) {
  std::int32_t status;
  open_graphics({"params.txt", "LANDSCAPE"}, status);
  ASSERT_EQ(status, ST_OK);
  void* handle = nullptr;
  unsigned long window = 0;
  ASSERT_TRUE(dv_x11_window(handle, window));
  XWindowAttributes attributes;
  ASSERT_NE(XGetWindowAttributes(static_cast<Display*>(handle), window, &attributes), 0);
  EXPECT_EQ(attributes.width, 707);
  EXPECT_EQ(attributes.height, 500);
  close_graphics();
}

TEST(NoDisplay, OpenStopsWithTheWindowStatus) {
  const test_support::ScopedEnv display("DISPLAY", ":9999");  // no server there
  std::int32_t status;
  testing::internal::CaptureStdout();
  open_graphics({"params.txt"}, status);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(status, 132001);
  EXPECT_NE(out.find("WARNING: X-11 workstation not opened successfully (DV_OPEN_WK)"),
            std::string::npos);
  // The layer was opened before the window failed; close it for the next test.
  status = fresh_status();
  VU_CLOSE_GRAPHICS(status);
}
