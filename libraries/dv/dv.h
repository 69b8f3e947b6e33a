// Graphics device layer: device-independent workstations, transforms, attributes and
// primitives, with a window back-end (DV_X11_, Xlib + cairo) and a PostScript back-end (DV_PS_).
//
// Conventions: the status is the last argument; world coordinates are 32-bit floats; colour
// indices and counts are 32-bit integers; logical arguments are bool. Cell-array data is passed
// as a pointer with its declared dimensions XMAXDAT x YMAXDAT (first index fastest) and a
// 1-based region inside it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// ---------------------------------------------------------------------------------------------
// Status values of the layer.
constexpr std::int32_t DV_BACKEND_FAILURE = 130001;  // back-end failure or bad first dimension
constexpr std::int32_t DV_BAD_TABLE_SIZE = 130002;
constexpr std::int32_t DV_BAD_X_RANGE = 130013;
constexpr std::int32_t DV_BAD_Y_RANGE = 130014;
constexpr std::int32_t DV_BAD_VALUE = 130017;        // bad count, identifier or value
constexpr std::int32_t DV_BAD_SECOND_COUNT = 130018;
constexpr std::int32_t DV_BAD_HEIGHT = 130021;
constexpr std::int32_t DV_BAD_ANGLE = 131002;
constexpr std::int32_t DV_NO_SAVED_TRANSFORM = 131007;
constexpr std::int32_t DV_WINDOW_NOT_OPENED = 132001;
constexpr std::int32_t DV_NO_FREE_SLOT = 132002;
constexpr std::int32_t DV_DRAWING_FAILURE = 139999;

// Device types and classes.
constexpr std::int32_t DV_TYPE_WINDOW_PORTRAIT = 11;
constexpr std::int32_t DV_TYPE_WINDOW_LANDSCAPE = 12;
constexpr std::int32_t DV_TYPE_PS_PORTRAIT_COLOUR = 21;
constexpr std::int32_t DV_TYPE_PS_LANDSCAPE_COLOUR = 22;
constexpr std::int32_t DV_TYPE_PS_PORTRAIT_GREY = 23;
constexpr std::int32_t DV_TYPE_PS_LANDSCAPE_GREY = 24;
constexpr std::int32_t DV_CLASS_WINDOW = 10;
constexpr std::int32_t DV_CLASS_POSTSCRIPT = 20;

constexpr int DV_MAX_WORKSTATIONS = 10;

// ---------------------------------------------------------------------------------------------
// Records of the layer (one instance each). Slot arrays are 0-based here: workstation slot k
// is element k - 1.
struct DvDbSystem {
  std::int32_t open = 0;   // 1 = open
  std::int32_t count = 0;  // workstation slots in use (0..10), loops run over 0..count-1
  std::int32_t wk_id[DV_MAX_WORKSTATIONS] = {};
  std::int32_t connection[DV_MAX_WORKSTATIONS] = {};
  std::int32_t device_type[DV_MAX_WORKSTATIONS] = {};
  std::int32_t device_class[DV_MAX_WORKSTATIONS] = {};
  std::int32_t state[DV_MAX_WORKSTATIONS] = {};  // 0 free, 1 open, 2 active
  float page_width[DV_MAX_WORKSTATIONS] = {};
  float page_height[DV_MAX_WORKSTATIONS] = {};
};
// Open back-ends: a second window (or PostScript) slot shares the one back-end, which stops
// when the last slot of its class closes.
struct DvDbOpenWk {
  std::int32_t windows = 0;
  std::int32_t postscript = 0;
};
struct DvDbTransform {
  float data_window[4] = {0.0f, 0.0f, 0.7071f, 1.0f};  // x min, y min, x max, y max
  float viewport[4] = {0.0f, 0.0f, 0.7071f, 1.0f};
  float clip_window[4] = {0.0f, 0.0f, 0.7071f, 1.0f};
};
struct DvDbRasterMode {
  std::int32_t resolution = 707;
  float x_scale = 707.0f, x_offset = 0.0f, y_scale = 707.0f, y_offset = 0.0f;
  std::int32_t line_colour = 1;
  std::int32_t line_style = 1;
  float line_width = 1.0f;
  std::int32_t fill_colour = 2;
  std::int32_t marker_type = 2;
  float marker_scale = 1.0f;
  std::int32_t marker_colour = 2;
  float marker_width = 1.0f;
};
struct DvDbTextAtts {
  std::int32_t font = 1;
  float height = 0.0166667f;  // page units
  std::int32_t h_align = 0;
  std::int32_t v_align = 0;
  float angle = 0.0f;  // degrees
  std::int32_t colour = 2;
};
struct DvDbColours {
  float table[256][3] = {};  // red, green, blue 0..1 per index
  std::int32_t first_basic = 41;
  std::int32_t last = 250;
  std::int32_t first_image = 49;
  std::int32_t last_image = 250;
  bool log_intensity = false;
  std::int32_t requested_low = 108;
  std::int32_t requested_high = 256;
};

extern DvDbSystem DV_DB_SYSTEM;
extern DvDbOpenWk DV_DB_OPENWK;
extern DvDbTransform DV_DB_TRANSFORM;
extern DvDbRasterMode DV_DB_RASTERMODE;
extern std::int32_t DV_DB_RESOLUTION;
extern DvDbTextAtts DV_DB_TEXTATTS;
extern DvDbColours DV_DB_COLOURS;

// ---------------------------------------------------------------------------------------------
// System and workstations.
void DV_OPEN(std::int32_t mode, std::int32_t& status);
void DV_CLOSE(std::int32_t& status);
void DV_OPEN_WK(std::int32_t wk_id, std::int32_t connection, std::int32_t type,
                std::int32_t& status);
void DV_ACTIVATE_WK(std::int32_t wk_id, std::int32_t& status);
void DV_CLOSE_WK(std::int32_t wk_id, std::int32_t& status);
void DV_UPDATE(std::int32_t wk_id, std::int32_t ignored, std::int32_t& status);
void DV_CLEAR(std::int32_t& status);

// Transforms and coordinates.
void DV_DATAWINDOW(float x_min, float y_min, float x_max, float y_max, std::int32_t& status);
void DV_VIEWPORT(float x_min, float y_min, float x_max, float y_max, std::int32_t& status);
void DV_CLIPWINDOW(float x_min, float y_min, float x_max, float y_max, std::int32_t& status);
void DV_CLIP(bool on, std::int32_t& status);
void DV_UNITYTRANSFORM(bool on, std::int32_t& status);
void DV_INQ_DATAWINDOW(float& x_min, float& y_min, float& x_max, float& y_max,
                       std::int32_t& status);
void DV_INQ_VIEWPORT(float& x_min, float& y_min, float& x_max, float& y_max,
                     std::int32_t& status);
void DV_INQ_SCALING(float& x_scale, float& y_scale, std::int32_t& status);
void DV_INQ_MAXPC(std::int32_t wk_id, float& x_max, float& y_max, std::int32_t& status);
float DV_PC2WC(bool x_direction, float value);
float DV_WC2PC(bool x_direction, float value);

// Attributes: each is stored and sent to the active workstations only when it changed.
void DV_LINESTYLE(std::int32_t style, std::int32_t& status);
void DV_LINEWIDTH(float width, std::int32_t& status);
void DV_LINECOLOUR(std::int32_t index, std::int32_t& status);
void DV_FILLCOLOUR(std::int32_t index, std::int32_t& status);
void DV_TEXTFONT(std::int32_t font, std::int32_t& status);
void DV_TEXTCOLOUR(std::int32_t index, std::int32_t& status);
void DV_TEXTHEIGHT(float height, std::int32_t& status);  // world y units
void DV_TEXTALIGNMENT(std::int32_t horizontal, std::int32_t vertical, std::int32_t& status);
void DV_TEXTANGLE(float degrees, std::int32_t& status);
void DV_MARKERTYPE(std::int32_t type, std::int32_t& status);
void DV_MARKERSCALE(float scale, std::int32_t& status);
void DV_MARKERCOLOUR(std::int32_t index, std::int32_t& status);

// Primitives (to every active workstation).
void DV_POLYLINE(std::int32_t n, const float* x, const float* y, std::int32_t& status);
void DV_POLYMARKER(std::int32_t n, const float* x, const float* y, std::int32_t& status);
void DV_FILLAREA(std::int32_t n, const float* x, const float* y, std::int32_t& status);
void DV_TEXT(float x, float y, std::string_view text, std::int32_t& status);
void DV_CELLARRAY(float x1, float y1, float x2, float y2, std::int32_t xmaxdat,
                  std::int32_t ymaxdat, std::int32_t xstrelm, std::int32_t ystrelm,
                  std::int32_t xnumelm, std::int32_t ynumelm, const std::int32_t* indices,
                  std::int32_t& status);
void DV_RMASKCELLARRAY(bool masked, float x1, float y1, float x2, float y2, std::int32_t xmaxdat,
                       std::int32_t ymaxdat, std::int32_t xstrelm, std::int32_t ystrelm,
                       std::int32_t xnumelm, std::int32_t ynumelm, const float* data,
                       const std::uint8_t* mask, float min, float max, std::int32_t mask_colour,
                       std::int32_t& status);

// Colours. TABLE holds red, green, blue per index, index 0 first (MAX_COLOURS entries).
void DV_SET_COLOURINDICES(std::int32_t low, std::int32_t high, std::int32_t& status);
void DV_COLOURS(std::int32_t max_colours, std::int32_t first, std::int32_t last,
                const float* table, std::int32_t& status);
void DV_DEF_COLOURS(std::int32_t& status);
void DV_BESTCOLOUR(float red, float green, float blue, std::int32_t& index,
                   std::int32_t& status);
void DV_INQ_IMAGERANGE(std::int32_t& first, std::int32_t& last, std::int32_t& status);
void DV_INQ_LOGZSCALING(bool& flag, std::int32_t& status);
// Width in page units of the first N characters of TEXT in the window's current font.
void DV_INQ_TEXTWIDTH(std::int32_t n, std::string_view text, float& width, std::int32_t& status);

// ---------------------------------------------------------------------------------------------
// Window back-end (device class 10). RESULT is 0 for success.
void DV_X11_OPEN(std::int32_t orientation, std::int32_t low, std::int32_t high,
                 std::int32_t width, std::int32_t height, std::int32_t& result);
void DV_X11_COLOURRANGE(std::int32_t& first, std::int32_t& last, std::int32_t& first_image,
                        std::int32_t& last_image);
// TABLE is indexed by colour index (red, green, blue per index, index 0 first).
void DV_X11_COLOURMAP(std::int32_t ignored, std::int32_t first, std::int32_t last,
                      const float* table, std::int32_t first_image, std::int32_t last_image,
                      std::int32_t& result);
void DV_X11_TRANSFORM(const float data_window[4], const float viewport[4], std::int32_t& result);
void DV_X11_CLIP(bool on, float x_min, float y_min, float x_max, float y_max,
                 std::int32_t& result);
void DV_X11_UPDATE();
void DV_X11_CLEAR(std::int32_t& result);
void DV_X11_CLOSE();
void DV_X11_PL(std::int32_t n, const float* x, const float* y, std::int32_t& result);
void DV_X11_PM(std::int32_t n, const float* x, const float* y, std::int32_t& result);
void DV_X11_FA(std::int32_t n, const float* x, const float* y, std::int32_t& result);
void DV_X11_TEXT(float x, float y, std::string_view text, std::int32_t& result);
void DV_X11_TEXTWIDTH(std::int32_t n, float& width, std::string_view text);
void DV_X11_CA(float x1, float y1, float x2, float y2, std::int32_t xmaxdat, std::int32_t ymaxdat,
               std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xnumelm,
               std::int32_t ynumelm, const std::int32_t* indices, std::int32_t& result);
void DV_X11_RMCA(bool masked, float x1, float y1, float x2, float y2, std::int32_t xmaxdat,
                 std::int32_t ymaxdat, std::int32_t xstrelm, std::int32_t ystrelm,
                 std::int32_t xnumelm, std::int32_t ynumelm, const float* data,
                 const std::uint8_t* mask, float min, float max, std::int32_t mask_colour,
                 std::int32_t& result);
void DV_X11_ZSCALING(bool flag);
void DV_X11_LINESTYLE(std::int32_t style, std::int32_t& result);
void DV_X11_LINEWIDTH(float width, std::int32_t& result);
void DV_X11_LINECOLOUR(std::int32_t index, std::int32_t& result);
void DV_X11_FILLCOLOUR(std::int32_t index, std::int32_t& result);
void DV_X11_TEXTCOLOUR(std::int32_t index, std::int32_t& result);
void DV_X11_TEXTFONT(std::int32_t font, std::int32_t& result);
void DV_X11_TEXTHEIGHT(float height, std::int32_t& result);  // page units
void DV_X11_TEXTANGLE(float radians, std::int32_t& result);
void DV_X11_TEXTALIGNMENT(std::int32_t horizontal, std::int32_t vertical, std::int32_t& result);
void DV_X11_MARKERTYPE(std::int32_t type, std::int32_t& result);
void DV_X11_MARKERSCALE(float scale, std::int32_t& result);
void DV_X11_MARKERCOLOUR(std::int32_t index, std::int32_t& result);

// PNG mode of the window back-end: when on (set it before the window workstation opens), the
// back-end draws into its page without any X window, and every DV_X11_UPDATE writes the page as
// rav_plot_0001.png, rav_plot_0002.png, ... in the working directory. Switching it on restarts
// the numbering at 0001.
void dv_x11_set_png_mode(bool on);
bool dv_x11_png_mode();
// Writes the current page as a PNG file now; false (with an "ERROR: " line) when it cannot.
bool dv_x11_write_png(const std::string& file_name);
// The page as it stands (for tests and tools): its size, and one pixel as 0xRRGGBB.
// False when the back-end is not open or the pixel lies outside the page.
bool dv_x11_page_size(int& width, int& height);
bool dv_x11_page_pixel(int column, int row, std::uint32_t& rgb);
// The X display (a Display*) and window of the open window, for tests that read it back.
// False in PNG mode or when no window is open.
bool dv_x11_window(void*& display, unsigned long& window);

// ---------------------------------------------------------------------------------------------
// PostScript back-end (device class 20), writing to the text file open on UNIT.
void DV_PS_OPEN(std::int32_t unit, std::int32_t region_set, std::int32_t orientation,
                bool colour, std::int32_t& status);
void DV_PS_TRANSFORM(const float data_window[4], const float viewport[4], std::int32_t& status);
void DV_PS_UPDATE(std::int32_t& status);
void DV_PS_CLEAR(std::int32_t& status);
void DV_PS_CLIP(bool on, float x_min, float y_min, float x_max, float y_max,
                std::int32_t& status);
void DV_PS_PL(std::int32_t n, const float* x, const float* y, std::int32_t& status);
void DV_PS_FA(std::int32_t n, const float* x, const float* y, std::int32_t& status);
void DV_PS_PM(std::int32_t n, const float* x, const float* y, std::int32_t& status);
void DV_PS_TEXT(float x, float y, std::string_view text, std::int32_t& status);
void DV_PS_CA(float x1, float y1, float x2, float y2, std::int32_t xmaxdat, std::int32_t ymaxdat,
              std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xnumelm,
              std::int32_t ynumelm, const std::int32_t* indices, std::int32_t& status);
void DV_PS_RMCA(bool masked, float x1, float y1, float x2, float y2, std::int32_t xmaxdat,
                std::int32_t ymaxdat, std::int32_t xstrelm, std::int32_t ystrelm,
                std::int32_t xnumelm, std::int32_t ynumelm, const float* data,
                const std::uint8_t* mask, float min, float max, std::int32_t mask_colour,
                std::int32_t& status);
void DV_PS_LINESTYLE(std::int32_t style, std::int32_t& status);
void DV_PS_LINEWIDTH(float width, std::int32_t& status);
void DV_PS_LINECOLOUR(float red, float green, float blue, std::int32_t& status);
void DV_PS_FILLCOLOUR(float red, float green, float blue, std::int32_t& status);
void DV_PS_TEXTCOLOUR(float red, float green, float blue, std::int32_t& status);
void DV_PS_MARKERCOLOUR(float red, float green, float blue, std::int32_t& status);
void DV_PS_MARKERTYPE(std::int32_t type, std::int32_t& status);
void DV_PS_MARKERSCALE(float scale, std::int32_t& status);
void DV_PS_MARKERWIDTH(float width, std::int32_t& status);
void DV_PS_TEXTFONT(std::int32_t font, std::int32_t& status);
void DV_PS_TEXTHEIGHT(float height, std::int32_t& status);  // page units
void DV_PS_TEXTALIGNMENT(std::int32_t horizontal, std::int32_t vertical, std::int32_t& status);
void DV_PS_TEXTANGLE(float degrees, std::int32_t& status);
