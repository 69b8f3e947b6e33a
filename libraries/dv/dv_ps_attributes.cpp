// PostScript back-end: attribute lines, one line each: the value(s) and the operator.
#include <string>

#include "dv_ps_internal.h"

namespace {

void write(const std::string& line, std::int32_t& status, std::string_view routine) {
  dv_ps_line(line, status);
  if (status != ST_OK) ST_SAVE(routine);
}

void colour_line(float red, float green, float blue, const char* op, std::int32_t& status,
                 std::string_view routine) {
  if (st_bad(status, routine)) return;
  write(dv_ps_colour_text(dv_ps(), red, green, blue) + op, status, routine);
}

void font_line(std::int32_t& status, std::string_view routine) {
  const DvPsState& s = dv_ps();
  write(ut_fmt_int(dv_trunc(static_cast<float>(s.size) * s.text_height), 4) + " " +
            ut_fmt_int(s.font, 1) + " tf",
        status, routine);
}

}  // namespace

void DV_PS_LINESTYLE(std::int32_t style, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_PS_LINESTYLE V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (style < 0 || style > 4) {
    dv_message("ERROR: Bad line style for PostScript output: " + std::to_string(style));
    dv_fail(status, DV_BAD_HEIGHT, kRoutine);
    return;
  }
  write(ut_fmt_int(style, 4) + " pt", status, kRoutine);
}

void DV_PS_LINEWIDTH(float width, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_PS_LINEWIDTH V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (!(width > 0.0f)) {
    dv_message("WARNING: Attempt to set zero or negative line width");
    return;
  }
  write(ut_fmt_int(dv_trunc(static_cast<float>(dv_ps().size) * width / 1500.0f), 4) + " pw",
        status, kRoutine);
}

void DV_PS_LINECOLOUR(float red, float green, float blue, std::int32_t& status) {
  colour_line(red, green, blue, " pc", status, "Subroutine DV_PS_LINECOLOUR V0.1 ");
}

void DV_PS_FILLCOLOUR(float red, float green, float blue, std::int32_t& status) {
  colour_line(red, green, blue, " fc", status, "Subroutine DV_PS_FILLCOLOUR V0.1 ");
}

void DV_PS_TEXTCOLOUR(float red, float green, float blue, std::int32_t& status) {
  colour_line(red, green, blue, " tc", status, "Subroutine DV_PS_TEXTCOLOUR V0.1 ");
}

void DV_PS_MARKERCOLOUR(float red, float green, float blue, std::int32_t& status) {
  colour_line(red, green, blue, " mc", status, "Subroutine DV_PS_MARKERCOLOUR V0.1 ");
}

void DV_PS_MARKERTYPE(std::int32_t type, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_PS_MARKERTYPE V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (type < 1 || type > 5) {
    dv_message("ERROR: Bad marker type for PostScript output: " + std::to_string(type));
    dv_fail(status, DV_BAD_HEIGHT, kRoutine);
    return;
  }
  write(ut_fmt_int(type, 4) + " mt", status, kRoutine);
}

void DV_PS_MARKERSCALE(float scale, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_PS_MARKERSCALE V0.1 ";
  if (st_bad(status, kRoutine)) return;
  write(ut_fmt_int(dv_trunc(static_cast<float>(dv_ps().size) * scale / 150.0f), 4) + " ms",
        status, kRoutine);
}

void DV_PS_MARKERWIDTH(float width, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_PS_MARKERWIDTH V0.1 ";
  if (st_bad(status, kRoutine)) return;
  write(ut_fmt_int(dv_trunc(static_cast<float>(dv_ps().size) * width / 1500.0f), 4) + " mw",
        status, kRoutine);
}

void DV_PS_TEXTFONT(std::int32_t font, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_PS_TEXTFONT V0.1 ";
  if (st_bad(status, kRoutine)) return;
  dv_ps().font = font == 2 ? 2 : 1;
  font_line(status, kRoutine);
}

void DV_PS_TEXTHEIGHT(float height, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_PS_TEXTHEIGHT V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (!(height > 0.0f)) {
    dv_message("WARNING: Attempt to set zero or negative height text characters");
    return;
  }
  dv_ps().text_height = height;
  font_line(status, kRoutine);
}

void DV_PS_TEXTALIGNMENT(std::int32_t horizontal, std::int32_t vertical, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_PS_TEXTALIGNMENT V0.1 ";
  if (st_bad(status, kRoutine)) return;
  write(ut_fmt_int(horizontal, 2) + " " + ut_fmt_int(vertical, 2) + " ta", status, kRoutine);
}

void DV_PS_TEXTANGLE(float degrees, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_PS_TEXTANGLE V0.1 ";
  if (st_bad(status, kRoutine)) return;
  write(ut_fmt_real(degrees, 10, 4) + " td", status, kRoutine);
}
