// The setter family: each copies its arguments into the record of the same name, after the
// checks of rectangles (13, 14), sizes (21) and choices (17) that apply to it.
#include <string>

#include "vu_internal.h"

void VU_SET_WINDOWFORMAT(std::int32_t format) { VU_WINDOWFORMAT.format = format; }
void VU_SET_PSFILE(bool open) { VU_PSFILE.open = open; }

void VU_SET_BACKGROUND(bool fill, std::int32_t colour, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_SET_BACKGROUND V0.1 ")) return;
  VU_BACKGROUND_STYLE = VuBackground{fill, colour};
}

void VU_SET_GRAPHLAYOUT(float x_enum_gap, float y_enum_gap, float title_gap, float xlabel_gap,
                        float ylabel_gap, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_SET_GRAPHLAYOUT V0.1 ")) return;
  VU_GRAPHLAYOUT = VuGraphLayout{x_enum_gap, y_enum_gap, title_gap, xlabel_gap, ylabel_gap};
}

void VU_SET_AUTODDR(bool x_min, bool y_min, bool x_max, bool y_max, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_SET_AUTODDR V0.1 ")) return;
  VU_AUTODDR = VuAutoDdr{x_min, y_min, x_max, y_max};
}

void VU_SET_ERRORBARS(bool x, bool y, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_SET_ERRORBARS V0.1 ")) return;
  VU_ERRORBARS = VuXyFlags{x, y};
}

void VU_SET_DATALOGLIN(bool x_linear, bool y_linear, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_SET_DATALOGLIN V0.1 ")) return;
  VU_DATALOGLIN = VuXyFlags{x_linear, y_linear};
}

namespace {
void set_text_style(VuTextStyle& record, bool display, std::int32_t font, std::int32_t colour,
                    float size, float aspect, float angle, std::string_view routine,
                    std::int32_t& status) {
  if (st_bad(status, routine)) return;
  if (vu_bad_size(size, routine, status)) return;
  record = VuTextStyle{display, font, colour, size, aspect, angle};
}
}  // namespace

void VU_SET_TITLESTYLE(bool display, std::int32_t font, std::int32_t colour, float size,
                       float aspect, float angle, std::int32_t& status) {
  set_text_style(VU_TITLESTYLE, display, font, colour, size, aspect, angle,
                 "Subroutine VU_SET_TITLESTYLE V0.1 ", status);
}
void VU_SET_XLABELSTYLE(bool display, std::int32_t font, std::int32_t colour, float size,
                        float aspect, float angle, std::int32_t& status) {
  set_text_style(VU_XLABELSTYLE, display, font, colour, size, aspect, angle,
                 "Subroutine VU_SET_XLABELSTYLE V0.1 ", status);
}
void VU_SET_YLABELSTYLE(bool display, std::int32_t font, std::int32_t colour, float size,
                        float aspect, float angle, std::int32_t& status) {
  set_text_style(VU_YLABELSTYLE, display, font, colour, size, aspect, angle,
                 "Subroutine VU_SET_YLABELSTYLE V0.1 ", status);
}

void VU_SET_YLABELORIENTATION(std::int32_t orientation, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_SET_YLABELORIENTATION V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (orientation < 0 || orientation > 2) return vu_fail(status, 17, kRoutine);
  VU_YLABELORIENTATION = orientation;
}

void VU_SET_ATEXTSTYLE(bool display, float x, float y, std::int32_t font, std::int32_t colour,
                       float size, float aspect, float angle, float spacing,
                       std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_SET_ATEXTSTYLE V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (vu_bad_size(size, kRoutine, status)) return;
  VU_ATEXTSTYLE = VuATextStyle{display, x, y, font, colour, size, aspect, angle, spacing};
}

void VU_SET_KEY(std::int32_t mode, float x_min, float y_min, float x_max, float y_max, bool frame,
                std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_SET_KEY V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (vu_bad_rectangle(x_min, y_min, x_max, y_max, kRoutine, status)) return;
  VU_KEY = VuKey{mode, vu_region(x_min, y_min, x_max, y_max), frame};
}

void VU_SET_LUT(bool display, std::int32_t orientation, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_SET_LUT V0.1 ")) return;
  VU_COM_LUT.display = display;
  VU_COM_LUT.orientation = orientation;
}

void VU_SET_KEYSTYLE(std::int32_t font, std::int32_t colour, float size, float aspect,
                     float angle, std::int32_t line_style, float line_width,
                     std::int32_t line_colour, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_SET_KEYSTYLE V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (vu_bad_size(size, kRoutine, status)) return;
  VU_KEYSTYLE = VuKeyStyle{font, colour, size, aspect, angle, line_style, line_width, line_colour};
}

void VU_SET_AXESLOGLIN(bool x_linear, bool y_linear, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_SET_AXESLOGLIN V0.1 ")) return;
  VU_AXESLOGLIN = VuXyFlags{x_linear, y_linear};
}

void VU_SET_AXESSTYLE(std::int32_t x, std::int32_t y, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_SET_AXESSTYLE V0.1 ")) return;
  VU_AXESSTYLE = VuAxesStyle{x, y};
}

void VU_SET_FRAMESTYLE(std::int32_t x_style, bool x_frame, std::int32_t y_style, bool y_frame,
                       std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_SET_FRAMESTYLE V0.1 ")) return;
  VU_FRAMESTYLE = VuFrameStyle{x_style, x_frame, y_style, y_frame};
}

namespace {
void set_axis_style(VuAxisLineStyle& record, std::int32_t line_style, float line_width,
                    std::int32_t colour, float major_length, float minor_length,
                    std::int32_t minor_ticks, std::string_view routine, std::int32_t& status) {
  if (st_bad(status, routine)) return;
  if (minor_ticks < 0) return vu_fail(status, 17, routine);
  record = VuAxisLineStyle{line_style, line_width, colour, major_length, minor_length,
                           minor_ticks};
}
}  // namespace

void VU_SET_HAXESSTYLE(std::int32_t line_style, float line_width, std::int32_t colour,
                       float major_length, float minor_length, std::int32_t minor_ticks,
                       std::int32_t& status) {
  set_axis_style(VU_HAXESSTYLE, line_style, line_width, colour, major_length, minor_length,
                 minor_ticks, "Subroutine VU_SET_HAXESSTYLE V0.1 ", status);
}
void VU_SET_VAXESSTYLE(std::int32_t line_style, float line_width, std::int32_t colour,
                       float major_length, float minor_length, std::int32_t minor_ticks,
                       std::int32_t& status) {
  set_axis_style(VU_VAXESSTYLE, line_style, line_width, colour, major_length, minor_length,
                 minor_ticks, "Subroutine VU_SET_VAXESSTYLE V0.1 ", status);
}

void VU_SET_XLTICKS(bool automatic, float first, float step, std::int32_t number,
                    std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_SET_XLTICKS V0.1 ")) return;
  VU_XLTICKS = VuTicks{automatic, first, step, number};
}
void VU_SET_YLTICKS(bool automatic, float first, float step, std::int32_t number,
                    std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_SET_YLTICKS V0.1 ")) return;
  VU_YLTICKS = VuTicks{automatic, first, step, number};
}

namespace {
void set_axis_enum(VuAxisEnum& record, bool display, std::int32_t font, std::int32_t colour,
                   float size, float aspect, float angle, std::int32_t max_chars,
                   std::int32_t decimals, bool automatic_decimals, bool automatic_factor,
                   std::string_view routine, std::int32_t& status) {
  if (st_bad(status, routine)) return;
  if (vu_bad_size(size, routine, status)) return;
  record = VuAxisEnum{display, font,      colour,   size,
                      aspect,  angle,     max_chars, decimals,
                      automatic_decimals, automatic_factor};
}
}  // namespace

void VU_SET_XAXISENUM(bool display, std::int32_t font, std::int32_t colour, float size,
                      float aspect, float angle, std::int32_t max_chars, std::int32_t decimals,
                      bool automatic_decimals, bool automatic_factor, std::int32_t& status) {
  set_axis_enum(VU_XAXISENUM, display, font, colour, size, aspect, angle, max_chars, decimals,
                automatic_decimals, automatic_factor, "Subroutine VU_SET_XAXISENUM V0.1 ",
                status);
}
void VU_SET_YAXISENUM(bool display, std::int32_t font, std::int32_t colour, float size,
                      float aspect, float angle, std::int32_t max_chars, std::int32_t decimals,
                      bool automatic_decimals, bool automatic_factor, std::int32_t& status) {
  set_axis_enum(VU_YAXISENUM, display, font, colour, size, aspect, angle, max_chars, decimals,
                automatic_decimals, automatic_factor, "Subroutine VU_SET_YAXISENUM V0.1 ",
                status);
}

namespace {
void set_region(VuRegion& record, float x_min, float y_min, float x_max, float y_max,
                std::string_view routine, std::int32_t& status) {
  if (st_bad(status, routine)) return;
  if (vu_bad_rectangle(x_min, y_min, x_max, y_max, routine, status)) return;
  record = vu_region(x_min, y_min, x_max, y_max);
}
}  // namespace

void VU_SET_DDR(float x_min, float y_min, float x_max, float y_max, std::int32_t& status) {
  set_region(VU_DDR, x_min, y_min, x_max, y_max, "Subroutine VU_SET_DDR V0.1 ", status);
}
void VU_SET_DDDR(float x_min, float y_min, float x_max, float y_max, std::int32_t& status) {
  set_region(VU_DDDR, x_min, y_min, x_max, y_max, "Subroutine VU_SET_DDDR V0.1 ", status);
}
void VU_SET_GPP(float x_min, float y_min, float x_max, float y_max, std::int32_t& status) {
  set_region(VU_GPP.reserved, x_min, y_min, x_max, y_max, "Subroutine VU_SET_GPP V0.1 ",
             status);
}
void VU_SET_DGPP(float x_min, float y_min, float x_max, float y_max, std::int32_t& status) {
  set_region(VU_GPP.drawn, x_min, y_min, x_max, y_max, "Subroutine VU_SET_DGPP V0.1 ", status);
}
void VU_SET_GUIREGION(float x_min, float y_min, float x_max, float y_max, std::int32_t& status) {
  set_region(VU_GUIREGION, x_min, y_min, x_max, y_max, "Subroutine VU_SET_GUIREGION V0.1 ",
             status);
}
void VU_SET_MESSAGE(float x_min, float y_min, float x_max, float y_max, std::int32_t& status) {
  set_region(VU_MESSAGE, x_min, y_min, x_max, y_max, "Subroutine VU_SET_MESSAGE V0.1 ", status);
}

void VU_SET_IDR(float x_min, float y_min, float x_max, float y_max, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_SET_IDR V0.1 ";
  if (st_bad(status, kRoutine)) return;
  // A single column of image pixels may have no width; only a reversed range is refused.
  if (x_min > x_max || !(y_min < y_max)) {
    vu_message("ERROR: Bad image data region: X_MIN, Y_MIN, X_MAX, Y_MAX = " +
               ut_fmt_real(x_min, 14, 5) + ut_fmt_real(y_min, 14, 5) +
               ut_fmt_real(x_max, 14, 5) + ut_fmt_real(y_max, 14, 5));
    return vu_fail(status, x_min > x_max ? 13 : 14, kRoutine);
  }
  VU_IDR = vu_region(x_min, y_min, x_max, y_max);
}

void VU_SET_IASPECT(bool keep, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_SET_IASPECT V0.1 ")) return;
  VU_IASPECT.value = keep;
}

void VU_SET_DLUTPC(bool drawn, float x_min, float y_min, float x_max, float y_max,
                   std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_SET_DLUTPC V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (drawn && vu_bad_rectangle(x_min, y_min, x_max, y_max, kRoutine, status)) return;
  VU_DLUTPC = VuDlutpc{drawn, vu_region(x_min, y_min, x_max, y_max)};
}

void VU_SET_GRID(bool h_coarse, bool v_coarse, bool h_fine, bool v_fine, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_SET_GRID V0.1 ")) return;
  VU_GRID_FLAGS = VuGrid{h_coarse, v_coarse, h_fine, v_fine};
}

namespace {
void set_grid_style(VuGridStyle& record, std::int32_t line_style, float line_width,
                    std::int32_t colour, std::string_view routine, std::int32_t& status) {
  if (st_bad(status, routine)) return;
  if (line_style < 0 || line_style > 4) return vu_fail(status, 17, routine);
  record = VuGridStyle{line_style, line_width, colour};
}
}  // namespace

void VU_SET_HCOARSEGRID(std::int32_t line_style, float line_width, std::int32_t colour,
                        std::int32_t& status) {
  set_grid_style(VU_HCOARSEGRID, line_style, line_width, colour,
                 "Subroutine VU_SET_HCOARSEGRID V0.1 ", status);
}
void VU_SET_VCOARSEGRID(std::int32_t line_style, float line_width, std::int32_t colour,
                        std::int32_t& status) {
  set_grid_style(VU_VCOARSEGRID, line_style, line_width, colour,
                 "Subroutine VU_SET_VCOARSEGRID V0.1 ", status);
}
void VU_SET_HFINEGRID(std::int32_t line_style, float line_width, std::int32_t colour,
                      std::int32_t& status) {
  set_grid_style(VU_HFINEGRID, line_style, line_width, colour,
                 "Subroutine VU_SET_HFINEGRID V0.1 ", status);
}
void VU_SET_VFINEGRID(std::int32_t line_style, float line_width, std::int32_t colour,
                      std::int32_t& status) {
  set_grid_style(VU_VFINEGRID, line_style, line_width, colour,
                 "Subroutine VU_SET_VFINEGRID V0.1 ", status);
}

void VU_SET_3DSTYLE(std::int32_t mode, std::int32_t lines, float scale, bool hidden, bool frame,
                    std::int32_t colour, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_SET_3DSTYLE V0.1 ")) return;
  VU_3DSTYLE = Vu3dStyle{mode, lines, scale, hidden, frame, colour};
}
void VU_SET_3DSIMAGE(std::int32_t mode, std::int32_t colour, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_SET_3DSIMAGE V0.1 ")) return;
  VU_3DSIMAGE = Vu3dSImage{mode, colour};
}
void VU_SET_3DAXES(std::int32_t x, std::int32_t y, std::int32_t z, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_SET_3DAXES V0.1 ")) return;
  VU_3DAXES = Vu3dAxes{x, y, z};
}

void VU_SET_IMAGESCALE(std::int32_t mode, float min, float max, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_SET_IMAGESCALE V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (mode < 0 || mode > 4) return vu_fail(status, 17, kRoutine);
  if (mode == 1 && min > max) return vu_fail(status, 13, kRoutine);
  VU_COM_LUT.scale_mode = mode;
  VU_COM_LUT.scale_min = min;
  VU_COM_LUT.scale_max = max;
}

void VU_SET_PIXELLIMITS(std::int32_t first, std::int32_t second, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_SET_PIXELLIMITS V0.1 ")) return;
  VU_COM_PIXELLIMITS = VuPixelLimits{first, second};
}

void VU_SET_MASKCOLOUR(std::int32_t colour, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_SET_MASKCOLOUR V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (colour < 1 || colour > VU_NUM_COLOUR_CODES) return vu_fail(status, 17, kRoutine);
  VU_MASKCOLOUR = colour;
}

void VU_SET_POSTSCRIPT(bool allowed, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_SET_POSTSCRIPT V0.1 ")) return;
  VU_POSTSCRIPT.value = allowed;
}

void VU_SET_PROGRESS(float x_min, float y_min, float x_max, float y_max, std::int32_t mode,
                     std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_SET_PROGRESS V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (vu_bad_rectangle(x_min, y_min, x_max, y_max, kRoutine, status)) return;
  if (mode != 0) return vu_fail(status, 17, kRoutine);
  VU_DB_PROGRESS = VuProgress{vu_region(x_min, y_min, x_max, y_max), mode};
}
