// Window back-end: opening and closing the window and its page, update, PNG output, colour
// map, transform and clipping.
#include <cairo-xlib.h>
#include <fontconfig/fontconfig.h>
#include <poll.h>

#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <utility>

#include "dv_x11_internal.h"

namespace {

// How long opening waits for the window's first Expose. A window manager that maps the window
// late does not stop the run: the page is its background and appears when it is mapped.
constexpr int kExposeWaitMilliseconds = 10000;

int g_x_error = 0;

// Protocol errors are recorded instead of ending the process (Xlib's default).
int record_x_error(Display*, XErrorEvent* event) {
  g_x_error = event->error_code;
  return 0;
}

std::uint32_t rgb_of(const float* rgb) {
  std::uint32_t value = 0;
  for (int c = 0; c < 3; ++c) {
    float component = rgb[c];
    if (!(component > 0.0f)) component = 0.0f;
    if (component > 1.0f) component = 1.0f;
    value = (value << 8) | static_cast<std::uint32_t>(component * 255.0f);
  }
  return value;
}

void compute_transform(DvX11State& s) {
  const float* d = s.data_window;
  const float* v = s.viewport;
  const float size = static_cast<float>(s.size);
  s.x_scale = (v[2] - v[0]) * size / (d[2] - d[0]);
  s.x_offset = v[0] * size - d[0] * s.x_scale;
  s.y_scale = (v[3] - v[1]) * size / (d[3] - d[1]);
  s.y_offset = v[1] * size - d[1] * s.y_scale;
}

void free_window(DvX11State& s) {
  if (s.window_surface != nullptr) {
    cairo_surface_destroy(s.window_surface);
    s.window_surface = nullptr;
  }
  if (s.display != nullptr) {
    if (s.pixmap != 0) XFreePixmap(s.display, s.pixmap);
    if (s.window != 0) XDestroyWindow(s.display, s.window);
    XCloseDisplay(s.display);
  }
  s.display = nullptr;
  s.window = 0;
  s.pixmap = 0;
}

void free_page(DvX11State& s) {
  if (s.cr != nullptr) cairo_destroy(s.cr);
  if (s.page != nullptr) cairo_surface_destroy(s.page);
  s.cr = nullptr;
  s.page = nullptr;
}

// Copies the page into the window's background pixmap.
void page_to_pixmap(DvX11State& s) {
  cairo_surface_flush(s.page);
  cairo_t* c = cairo_create(s.window_surface);
  cairo_set_operator(c, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(c, s.page, 0.0, 0.0);
  cairo_paint(c);
  cairo_destroy(c);
  cairo_surface_flush(s.window_surface);
}

// Waits for the first Expose of the window, up to the time limit.
void wait_for_expose(DvX11State& s) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kExposeWaitMilliseconds);
  for (;;) {
    while (XPending(s.display) > 0) {
      XEvent event;
      XNextEvent(s.display, &event);
      if (event.type == Expose && event.xexpose.window == s.window) return;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) {
      dv_message("WARNING: The graphics window was not shown within " +
                 std::to_string(kExposeWaitMilliseconds / 1000) + " seconds");
      return;
    }
    pollfd fd{ConnectionNumber(s.display), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(left));
  }
}

bool open_window(DvX11State& s) {
  s.display = XOpenDisplay(nullptr);
  if (s.display == nullptr) {
    const char* name = XDisplayName(nullptr);
    if (name == nullptr || *name == '\0') {
      dv_message("WARNING: Cannot open the X display: DISPLAY is not set");
    } else {
      dv_message("WARNING: Cannot open the X display \"" + std::string(name) + "\"");
    }
    return false;
  }
  XSetErrorHandler(record_x_error);
  g_x_error = 0;
  const int screen = DefaultScreen(s.display);
  const Window root = RootWindow(s.display, screen);
  const unsigned width = static_cast<unsigned>(s.width);
  const unsigned height = static_cast<unsigned>(s.height);
  s.window = XCreateSimpleWindow(s.display, root, 0, 0, width, height, 0,
                                 BlackPixel(s.display, screen), WhitePixel(s.display, screen));
  XStoreName(s.display, s.window, "Divect Graphics Window");
  XSizeHints* hints = XAllocSizeHints();
  if (hints != nullptr) {
    hints->flags = PPosition | PSize | PMinSize | PMaxSize;
    hints->x = 0;
    hints->y = 0;
    hints->width = hints->min_width = hints->max_width = s.width;
    hints->height = hints->min_height = hints->max_height = s.height;
    XSetWMNormalHints(s.display, s.window, hints);
    XFree(hints);
  }
  // Closing from the window manager then sends a message nobody reads, instead of cutting the
  // program's connection: the reconstruction goes on.
  Atom delete_window = XInternAtom(s.display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(s.display, s.window, &delete_window, 1);

  s.pixmap = XCreatePixmap(s.display, s.window, width, height,
                           static_cast<unsigned>(DefaultDepth(s.display, screen)));
  s.window_surface = cairo_xlib_surface_create(s.display, s.pixmap,
                                               DefaultVisual(s.display, screen), s.width,
                                               s.height);
  if (cairo_surface_status(s.window_surface) != CAIRO_STATUS_SUCCESS) {
    dv_message("WARNING: Cannot draw into the graphics window's pixmap");
    free_window(s);
    return false;
  }
  page_to_pixmap(s);
  XSetWindowBackgroundPixmap(s.display, s.window, s.pixmap);
  XSelectInput(s.display, s.window, ExposureMask);
  XMapRaised(s.display, s.window);
  XSync(s.display, False);
  if (g_x_error != 0) {
    dv_message("WARNING: The X server refused the graphics window (error code " +
               std::to_string(g_x_error) + ")");
    free_window(s);
    return false;
  }
  wait_for_expose(s);
  XSelectInput(s.display, s.window, NoEventMask);
  XSync(s.display, True);
  return true;
}

}  // namespace

DvX11State& dv_x11() {
  static DvX11State state;
  return state;
}

void DV_X11_OPEN(std::int32_t orientation, std::int32_t /*low*/, std::int32_t /*high*/,
                 std::int32_t width, std::int32_t height, std::int32_t& result) {
  DvX11State& s = dv_x11();
  if (s.open) DV_X11_CLOSE();
  result = 0;
  if (width < 1 || height < 1 || width > 8192 || height > 8192) {
    dv_message("WARNING: Bad graphics window size " + std::to_string(width) + " by " +
               std::to_string(height));
    result = 1;
    return;
  }

  // Attribute, transform and colour-map defaults.
  const bool png_mode = s.png_mode;
  const int png_number = s.png_number;
  s = DvX11State{};
  s.png_mode = png_mode;
  s.png_number = png_number;
  s.orientation = orientation;
  s.width = width;
  s.height = height;
  s.size = std::max(width, height);
  compute_transform(s);
  s.screen[0] = 0xFFFFFF;
  s.screen[1] = 0x000000;

  s.page = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  if (cairo_surface_status(s.page) != CAIRO_STATUS_SUCCESS) {
    dv_message("WARNING: Cannot allocate the graphics page");
    free_page(s);
    result = 1;
    return;
  }
  s.cr = cairo_create(s.page);
  cairo_set_antialias(s.cr, CAIRO_ANTIALIAS_NONE);
  cairo_set_source_rgb(s.cr, 1.0, 1.0, 1.0);
  cairo_paint(s.cr);

  if (!s.png_mode && !open_window(s)) {
    free_page(s);
    result = 1;
    return;
  }
  dv_x11_make_fonts(s);
  s.open = true;
}

void DV_X11_COLOURRANGE(std::int32_t& first, std::int32_t& last, std::int32_t& first_image,
                        std::int32_t& last_image) {
  first = 1;
  last = 255;
  first_image = 9;
  last_image = 255;
}

void DV_X11_COLOURMAP(std::int32_t /*ignored*/, std::int32_t first, std::int32_t last,
                      const float* table, std::int32_t first_image, std::int32_t last_image,
                      std::int32_t& result) {
  DvX11State& s = dv_x11();
  result = 0;
  if (last >= 256 || first < 0 || table == nullptr) {
    result = 1;
    return;
  }
  s.first_image = first_image;
  s.last_image = last_image;
  for (int index = first; index <= last; ++index) {
    const std::uint32_t rgb = rgb_of(table + 3 * index);
    s.screen[index] = rgb;
    s.palette[index] = rgb;
  }
}

void DV_X11_TRANSFORM(const float data_window[4], const float viewport[4], std::int32_t& result) {
  DvX11State& s = dv_x11();
  result = 0;
  if (!(data_window[0] != data_window[2]) || !(data_window[1] != data_window[3])) {
    result = 1;
    return;
  }
  for (int k = 0; k < 4; ++k) {
    s.data_window[k] = data_window[k];
    s.viewport[k] = viewport[k];
  }
  compute_transform(s);
}

void DV_X11_CLIP(bool on, float x_min, float y_min, float x_max, float y_max,
                 std::int32_t& result) {
  DvX11State& s = dv_x11();
  result = 0;
  s.clip_on = on;
  if (on) {
    int left = dv_x11_column(s, x_min);
    int right = dv_x11_column(s, x_max);
    int top = dv_x11_row(s, y_max);
    int bottom = dv_x11_row(s, y_min);
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    s.clip[0] = left;
    s.clip[1] = top;
    s.clip[2] = right;
    s.clip[3] = bottom;
  }
  if (s.cr == nullptr) return;
  cairo_reset_clip(s.cr);
  if (on) {
    cairo_rectangle(s.cr, s.clip[0], s.clip[1], s.clip[2] - s.clip[0], s.clip[3] - s.clip[1]);
    cairo_clip(s.cr);
  }
}

void DV_X11_UPDATE() {
  DvX11State& s = dv_x11();
  if (!s.open) return;
  if (s.png_mode) {
    char name[64];
    std::snprintf(name, sizeof name, "rav_plot_%04d.png", ++s.png_number);
    dv_x11_write_png(name);
    return;
  }
  page_to_pixmap(s);
  XClearWindow(s.display, s.window);
  // The round trip makes sure the server has painted the window before the program goes on.
  XSync(s.display, True);
}

void DV_X11_CLEAR(std::int32_t& result) {
  dv_x11().interactive_overlay = false;
  result = 0;
}

void DV_X11_CLOSE() {
  DvX11State& s = dv_x11();
  const bool had_fonts = s.face != nullptr;
  dv_x11_free_fonts(s);
  free_page(s);
  free_window(s);
  s.open = false;
  // Nothing else in the program draws with cairo: give back the font caches that cairo and
  // fontconfig keep (they are rebuilt if a window opens again).
  if (had_fonts) {
    cairo_debug_reset_static_data();
    FcFini();
  }
}

void DV_X11_ZSCALING(bool flag) { dv_x11().log_z = flag; }

void dv_x11_set_png_mode(bool on) {
  DvX11State& s = dv_x11();
  s.png_mode = on;
  if (on) s.png_number = 0;
}

bool dv_x11_png_mode() { return dv_x11().png_mode; }

bool dv_x11_write_png(const std::string& file_name) {
  DvX11State& s = dv_x11();
  if (s.page == nullptr) return false;
  cairo_surface_flush(s.page);
  if (cairo_surface_write_to_png(s.page, file_name.c_str()) != CAIRO_STATUS_SUCCESS) {
    dv_message("ERROR: Failed to write the graphics page to the file " + file_name);
    return false;
  }
  return true;
}

bool dv_x11_page_size(int& width, int& height) {
  const DvX11State& s = dv_x11();
  if (s.page == nullptr) return false;
  width = s.width;
  height = s.height;
  return true;
}

bool dv_x11_page_pixel(int column, int row, std::uint32_t& rgb) {
  const DvX11State& s = dv_x11();
  if (s.page == nullptr || column < 0 || row < 0 || column >= s.width || row >= s.height) {
    return false;
  }
  cairo_surface_flush(s.page);
  const unsigned char* data = cairo_image_surface_get_data(s.page);
  const int stride = cairo_image_surface_get_stride(s.page);
  const auto* line = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(row) * stride);
  rgb = line[column] & 0xFFFFFFu;
  return true;
}

bool dv_x11_window(void*& display, unsigned long& window) {
  const DvX11State& s = dv_x11();
  if (!s.open || s.display == nullptr) return false;
  display = s.display;
  window = s.window;
  return true;
}
