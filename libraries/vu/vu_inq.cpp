// The inquiry family: each returns the values of the record of the same name, in the order
// its setter takes them.
#include "vu_internal.h"

namespace {
void get_region(const VuRegion& record, float& x_min, float& y_min, float& x_max, float& y_max) {
  x_min = record.x_min;
  y_min = record.y_min;
  x_max = record.x_max;
  y_max = record.y_max;
}
void get_text_style(const VuTextStyle& record, bool& display, std::int32_t& font,
                    std::int32_t& colour, float& size, float& aspect, float& angle) {
  display = record.display;
  font = record.font;
  colour = record.colour;
  size = record.size;
  aspect = record.aspect;
  angle = record.angle;
}
void get_axis_style(const VuAxisLineStyle& record, std::int32_t& line_style, float& line_width,
                    std::int32_t& colour, float& major_length, float& minor_length,
                    std::int32_t& minor_ticks) {
  line_style = record.line_style;
  line_width = record.line_width;
  colour = record.colour;
  major_length = record.major_length;
  minor_length = record.minor_length;
  minor_ticks = record.minor_ticks;
}
void get_ticks(const VuTicks& record, bool& automatic, float& first, float& step,
               std::int32_t& number) {
  automatic = record.automatic;
  first = record.first;
  step = record.step;
  number = record.number;
}
void get_axis_enum(const VuAxisEnum& record, bool& display, std::int32_t& font,
                   std::int32_t& colour, float& size, float& aspect, float& angle,
                   std::int32_t& max_chars, std::int32_t& decimals, bool& automatic_decimals,
                   bool& automatic_factor) {
  display = record.display;
  font = record.font;
  colour = record.colour;
  size = record.size;
  aspect = record.aspect;
  angle = record.angle;
  max_chars = record.max_chars;
  decimals = record.decimals;
  automatic_decimals = record.automatic_decimals;
  automatic_factor = record.automatic_factor;
}
void get_grid_style(const VuGridStyle& record, std::int32_t& line_style, float& line_width,
                    std::int32_t& colour) {
  line_style = record.line_style;
  line_width = record.line_width;
  colour = record.colour;
}
}  // namespace

void VU_INQ_WINDOWFORMAT(std::int32_t& format) { format = VU_WINDOWFORMAT.format; }
void VU_INQ_PSFILE(bool& open) { open = VU_PSFILE.open; }

void VU_INQ_BACKGROUND(bool& fill, std::int32_t& colour, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_BACKGROUND V0.1 ")) return;
  fill = VU_BACKGROUND_STYLE.fill;
  colour = VU_BACKGROUND_STYLE.colour;
}

void VU_INQ_GRAPHLAYOUT(float& x_enum_gap, float& y_enum_gap, float& title_gap,
                        float& xlabel_gap, float& ylabel_gap, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_GRAPHLAYOUT V0.1 ")) return;
  x_enum_gap = VU_GRAPHLAYOUT.x_enum_gap;
  y_enum_gap = VU_GRAPHLAYOUT.y_enum_gap;
  title_gap = VU_GRAPHLAYOUT.title_gap;
  xlabel_gap = VU_GRAPHLAYOUT.xlabel_gap;
  ylabel_gap = VU_GRAPHLAYOUT.ylabel_gap;
}

void VU_INQ_AUTODDR(bool& x_min, bool& y_min, bool& x_max, bool& y_max, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_AUTODDR V0.1 ")) return;
  x_min = VU_AUTODDR.x_min;
  y_min = VU_AUTODDR.y_min;
  x_max = VU_AUTODDR.x_max;
  y_max = VU_AUTODDR.y_max;
}

void VU_INQ_ERRORBARS(bool& x, bool& y, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_ERRORBARS V0.1 ")) return;
  x = VU_ERRORBARS.x;
  y = VU_ERRORBARS.y;
}

void VU_INQ_DATALOGLIN(bool& x_linear, bool& y_linear, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_DATALOGLIN V0.1 ")) return;
  x_linear = VU_DATALOGLIN.x;
  y_linear = VU_DATALOGLIN.y;
}

void VU_INQ_TITLESTYLE(bool& display, std::int32_t& font, std::int32_t& colour, float& size,
                       float& aspect, float& angle, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_TITLESTYLE V0.1 ")) return;
  get_text_style(VU_TITLESTYLE, display, font, colour, size, aspect, angle);
}
void VU_INQ_XLABELSTYLE(bool& display, std::int32_t& font, std::int32_t& colour, float& size,
                        float& aspect, float& angle, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_XLABELSTYLE V0.1 ")) return;
  get_text_style(VU_XLABELSTYLE, display, font, colour, size, aspect, angle);
}
void VU_INQ_YLABELSTYLE(bool& display, std::int32_t& font, std::int32_t& colour, float& size,
                        float& aspect, float& angle, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_YLABELSTYLE V0.1 ")) return;
  get_text_style(VU_YLABELSTYLE, display, font, colour, size, aspect, angle);
}

void VU_INQ_YLABELORIENTATION(std::int32_t& orientation, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_YLABELORIENTATION V0.1 ")) return;
  orientation = VU_YLABELORIENTATION;
}

void VU_INQ_ATEXTSTYLE(bool& display, float& x, float& y, std::int32_t& font,
                       std::int32_t& colour, float& size, float& aspect, float& angle,
                       float& spacing, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_ATEXTSTYLE V0.1 ")) return;
  const VuATextStyle& r = VU_ATEXTSTYLE;
  display = r.display;
  x = r.x;
  y = r.y;
  font = r.font;
  colour = r.colour;
  size = r.size;
  aspect = r.aspect;
  angle = r.angle;
  spacing = r.spacing;
}

void VU_INQ_KEY(std::int32_t& mode, float& x_min, float& y_min, float& x_max, float& y_max,
                bool& frame, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_KEY V0.1 ")) return;
  mode = VU_KEY.mode;
  get_region(VU_KEY.region, x_min, y_min, x_max, y_max);
  frame = VU_KEY.frame;
}

void VU_INQ_LUT(bool& display, std::int32_t& orientation, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_LUT V0.1 ")) return;
  display = VU_COM_LUT.display;
  orientation = VU_COM_LUT.orientation;
}

void VU_INQ_KEYSTYLE(std::int32_t& font, std::int32_t& colour, float& size, float& aspect,
                     float& angle, std::int32_t& line_style, float& line_width,
                     std::int32_t& line_colour, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_KEYSTYLE V0.1 ")) return;
  const VuKeyStyle& r = VU_KEYSTYLE;
  font = r.font;
  colour = r.colour;
  size = r.size;
  aspect = r.aspect;
  angle = r.angle;
  line_style = r.line_style;
  line_width = r.line_width;
  line_colour = r.line_colour;
}

void VU_INQ_AXESLOGLIN(bool& x_linear, bool& y_linear, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_AXESLOGLIN V0.1 ")) return;
  x_linear = VU_AXESLOGLIN.x;
  y_linear = VU_AXESLOGLIN.y;
}

void VU_INQ_AXESSTYLE(std::int32_t& x, std::int32_t& y, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_AXESSTYLE V0.1 ")) return;
  x = VU_AXESSTYLE.x;
  y = VU_AXESSTYLE.y;
}

void VU_INQ_FRAMESTYLE(std::int32_t& x_style, bool& x_frame, std::int32_t& y_style,
                       bool& y_frame, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_FRAMESTYLE V0.1 ")) return;
  x_style = VU_FRAMESTYLE.x_style;
  x_frame = VU_FRAMESTYLE.x_frame;
  y_style = VU_FRAMESTYLE.y_style;
  y_frame = VU_FRAMESTYLE.y_frame;
}

void VU_INQ_HAXESSTYLE(std::int32_t& line_style, float& line_width, std::int32_t& colour,
                       float& major_length, float& minor_length, std::int32_t& minor_ticks,
                       std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_HAXESSTYLE V0.1 ")) return;
  get_axis_style(VU_HAXESSTYLE, line_style, line_width, colour, major_length, minor_length,
                 minor_ticks);
}
void VU_INQ_VAXESSTYLE(std::int32_t& line_style, float& line_width, std::int32_t& colour,
                       float& major_length, float& minor_length, std::int32_t& minor_ticks,
                       std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_VAXESSTYLE V0.1 ")) return;
  get_axis_style(VU_VAXESSTYLE, line_style, line_width, colour, major_length, minor_length,
                 minor_ticks);
}

void VU_INQ_XLTICKS(bool& automatic, float& first, float& step, std::int32_t& number,
                    std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_XLTICKS V0.1 ")) return;
  get_ticks(VU_XLTICKS, automatic, first, step, number);
}
void VU_INQ_YLTICKS(bool& automatic, float& first, float& step, std::int32_t& number,
                    std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_YLTICKS V0.1 ")) return;
  get_ticks(VU_YLTICKS, automatic, first, step, number);
}

void VU_INQ_XAXISENUM(bool& display, std::int32_t& font, std::int32_t& colour, float& size,
                      float& aspect, float& angle, std::int32_t& max_chars,
                      std::int32_t& decimals, bool& automatic_decimals, bool& automatic_factor,
                      std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_XAXISENUM V0.1 ")) return;
  get_axis_enum(VU_XAXISENUM, display, font, colour, size, aspect, angle, max_chars, decimals,
                automatic_decimals, automatic_factor);
}
void VU_INQ_YAXISENUM(bool& display, std::int32_t& font, std::int32_t& colour, float& size,
                      float& aspect, float& angle, std::int32_t& max_chars,
                      std::int32_t& decimals, bool& automatic_decimals, bool& automatic_factor,
                      std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_YAXISENUM V0.1 ")) return;
  get_axis_enum(VU_YAXISENUM, display, font, colour, size, aspect, angle, max_chars, decimals,
                automatic_decimals, automatic_factor);
}

void VU_INQ_DDR(float& x_min, float& y_min, float& x_max, float& y_max, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_DDR V0.1 ")) return;
  get_region(VU_DDR, x_min, y_min, x_max, y_max);
}
void VU_INQ_DDDR(float& x_min, float& y_min, float& x_max, float& y_max, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_DDDR V0.1 ")) return;
  get_region(VU_DDDR, x_min, y_min, x_max, y_max);
}
void VU_INQ_IDR(float& x_min, float& y_min, float& x_max, float& y_max, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_IDR V0.1 ")) return;
  get_region(VU_IDR, x_min, y_min, x_max, y_max);
}
void VU_INQ_GPP(float& x_min, float& y_min, float& x_max, float& y_max, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_GPP V0.1 ")) return;
  get_region(VU_GPP.reserved, x_min, y_min, x_max, y_max);
}
void VU_INQ_DGPP(float& x_min, float& y_min, float& x_max, float& y_max, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_DGPP V0.1 ")) return;
  get_region(VU_GPP.drawn, x_min, y_min, x_max, y_max);
}
void VU_INQ_GUIREGION(float& x_min, float& y_min, float& x_max, float& y_max,
                      std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_GUIREGION V0.1 ")) return;
  get_region(VU_GUIREGION, x_min, y_min, x_max, y_max);
}
void VU_INQ_MESSAGE(float& x_min, float& y_min, float& x_max, float& y_max,
                    std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_MESSAGE V0.1 ")) return;
  get_region(VU_MESSAGE, x_min, y_min, x_max, y_max);
}

void VU_INQ_IASPECT(bool& keep, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_IASPECT V0.1 ")) return;
  keep = VU_IASPECT.value;
}

void VU_INQ_DLUTPC(bool& drawn, float& x_min, float& y_min, float& x_max, float& y_max,
                   std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_DLUTPC V0.1 ")) return;
  drawn = VU_DLUTPC.drawn;
  get_region(VU_DLUTPC.region, x_min, y_min, x_max, y_max);
}

void VU_INQ_GRID(bool& h_coarse, bool& v_coarse, bool& h_fine, bool& v_fine,
                 std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_GRID V0.1 ")) return;
  h_coarse = VU_GRID_FLAGS.h_coarse;
  v_coarse = VU_GRID_FLAGS.v_coarse;
  h_fine = VU_GRID_FLAGS.h_fine;
  v_fine = VU_GRID_FLAGS.v_fine;
}

void VU_INQ_HCOARSEGRID(std::int32_t& line_style, float& line_width, std::int32_t& colour,
                        std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_HCOARSEGRID V0.1 ")) return;
  get_grid_style(VU_HCOARSEGRID, line_style, line_width, colour);
}
void VU_INQ_VCOARSEGRID(std::int32_t& line_style, float& line_width, std::int32_t& colour,
                        std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_VCOARSEGRID V0.1 ")) return;
  get_grid_style(VU_VCOARSEGRID, line_style, line_width, colour);
}
void VU_INQ_HFINEGRID(std::int32_t& line_style, float& line_width, std::int32_t& colour,
                      std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_HFINEGRID V0.1 ")) return;
  get_grid_style(VU_HFINEGRID, line_style, line_width, colour);
}
void VU_INQ_VFINEGRID(std::int32_t& line_style, float& line_width, std::int32_t& colour,
                      std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_VFINEGRID V0.1 ")) return;
  get_grid_style(VU_VFINEGRID, line_style, line_width, colour);
}

void VU_INQ_3DSTYLE(std::int32_t& mode, std::int32_t& lines, float& scale, bool& hidden,
                    bool& frame, std::int32_t& colour, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_3DSTYLE V0.1 ")) return;
  mode = VU_3DSTYLE.mode;
  lines = VU_3DSTYLE.lines;
  scale = VU_3DSTYLE.scale;
  hidden = VU_3DSTYLE.hidden;
  frame = VU_3DSTYLE.frame;
  colour = VU_3DSTYLE.colour;
}
void VU_INQ_3DSIMAGE(std::int32_t& mode, std::int32_t& colour, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_3DSIMAGE V0.1 ")) return;
  mode = VU_3DSIMAGE.mode;
  colour = VU_3DSIMAGE.colour;
}
void VU_INQ_3DAXES(std::int32_t& x, std::int32_t& y, std::int32_t& z, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_3DAXES V0.1 ")) return;
  x = VU_3DAXES.x;
  y = VU_3DAXES.y;
  z = VU_3DAXES.z;
}

void VU_INQ_IMAGESCALE(std::int32_t& mode, float& min, float& max, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_IMAGESCALE V0.1 ")) return;
  mode = VU_COM_LUT.scale_mode;
  min = VU_COM_LUT.scale_min;
  max = VU_COM_LUT.scale_max;
}

void VU_INQ_PIXELLIMITS(std::int32_t& first, std::int32_t& second, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_PIXELLIMITS V0.1 ")) return;
  first = VU_COM_PIXELLIMITS.first;
  second = VU_COM_PIXELLIMITS.second;
}

void VU_INQ_MASKCOLOUR(std::int32_t& colour, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_MASKCOLOUR V0.1 ")) return;
  colour = VU_MASKCOLOUR;
}

void VU_INQ_POSTSCRIPT(bool& allowed, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_POSTSCRIPT V0.1 ")) return;
  allowed = VU_POSTSCRIPT.value;
}

void VU_INQ_PROGRESS(float& x_min, float& y_min, float& x_max, float& y_max, std::int32_t& mode,
                     std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_PROGRESS V0.1 ")) return;
  get_region(VU_DB_PROGRESS.region, x_min, y_min, x_max, y_max);
  mode = VU_DB_PROGRESS.mode;
}
