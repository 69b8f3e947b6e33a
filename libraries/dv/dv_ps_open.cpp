// PostScript back-end: the prologue, transform, page end, clearing and clipping.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "dv_ps_internal.h"

namespace {

// Prologue operators common to colour and grey output. The colour-dependent ones (pc, mc, fc,
// tc and the *_col helpers that set the current colour) are added by the caller.
const char* const kFunctions[] = {
    "/pw {/pl_w exch def} def",
    "/pt {/pl_t exch def} def",
    "/mt {/pm_t exch def} def",
    "/ms {/pm_s exch def} def",
    "/mw {/pm_w exch def} def",
    "/ta {/tx_v exch def /tx_h exch def} def",
    "/td {/tx_a exch def /c_a tx_a cos def /s_a tx_a sin def} def",
    "/tf {/fi exch def /size exch def",
    "  fi 1 eq {/Times-Roman findfont size scalefont setfont} if",
    "  fi 2 eq {/Courier findfont size scalefont setfont} if} def",
    "/l_type {pl_t 2 lt {[] 0 setdash} if",
    "  pl_t 2 eq {[dash dash] dash 2 div setdash} if",
    "  pl_t 3 eq {[dot gap] 0 setdash} if",
    "  pl_t 4 eq {[dash gap dot gap] dash 2 div setdash} if} def",
    "/pl_set {pl_col pl_w setlinewidth l_type} def",
    "/pl_path {/n exch def newpath moveto n 1 sub {lineto} repeat} def",
    "/pl {pl_path pl_set stroke} def",
    "/cl {pl_path closepath pl_set stroke} def",
    "/hl {/len exch def newpath moveto len 0 rlineto pl_set stroke} def",
    "/vl {/len exch def newpath moveto 0 len rlineto pl_set stroke} def",
    "/dt {newpath moveto 2 0 rlineto stroke} def",
    "/plus {/y exch def /x exch def newpath x pm_s sub y moveto x pm_s add y lineto",
    "  x y pm_s sub moveto x y pm_s add lineto stroke} def",
    "/cross {/y exch def /x exch def newpath x pm_s sub y pm_s sub moveto",
    "  x pm_s add y pm_s add lineto x pm_s sub y pm_s add moveto",
    "  x pm_s add y pm_s sub lineto stroke} def",
    "/star {/y exch def /x exch def x y plus /d pm_s 0.707 mul def newpath",
    "  x d sub y d sub moveto x d add y d add lineto",
    "  x d sub y d add moveto x d add y d sub lineto stroke} def",
    "/cir {/y exch def /x exch def newpath x pm_s add y moveto x y pm_s 0 360 arc stroke} def",
    "/pm {/n exch def gsave pm_col pm_w setlinewidth [] 0 setdash",
    "  pm_t 1 eq {10 setlinewidth 1 setlinecap} if",
    "  n {pm_t 1 eq {dt} {pm_t 2 eq {plus} {pm_t 3 eq {star}",
    "    {pm_t 4 eq {cir} {cross} ifelse} ifelse} ifelse} ifelse} repeat grestore} def",
    "/fa {pl_path closepath fa_col fill} def",
    "/tx_box {gsave newpath 0 0 moveto false charpath flattenpath pathbbox grestore} def",
    "/tx_bb {tx_box /b_ury exch def pop /b_lly exch def pop} def",
    "/tx {/ty exch def /tx_x exch def /s exch def",
    "  /dx 0 def",
    "  tx_h 2 eq {/dx s stringwidth pop 2 div neg def} if",
    "  tx_h 3 eq {/dx s stringwidth pop neg def} if",
    "  /dy 0 def",
    "  tx_v 1 eq {(l) tx_bb /dy b_ury neg def} if",
    "  tx_v 2 eq {(X) tx_bb /dy b_ury neg def} if",
    "  tx_v 3 eq {(Xg) tx_bb /dy b_lly b_ury add 2 div neg def} if",
    "  tx_v 5 eq {(g) tx_bb /dy b_lly neg def} if",
    "  tx_v 6 eq {(X) tx_bb /dy b_ury 2 div neg def} if",
    "  gsave tx_col tx_x ty translate tx_a rotate dx dy moveto s show grestore} def",
};

void write_lines(const std::vector<std::string>& lines, std::int32_t& status) {
  for (const std::string& line : lines) {
    dv_ps_line(line, status);
    if (status != ST_OK) return;
  }
}

bool bad_rectangle(const float r[4], std::string_view what, std::int32_t& status,
                   std::string_view routine) {
  if (!(r[0] < r[2])) {
    dv_message("ERROR: " + std::string(what) + " X minimum not less than X maximum");
    dv_fail(status, DV_BAD_X_RANGE, routine);
    return true;
  }
  if (!(r[1] < r[3])) {
    dv_message("ERROR: " + std::string(what) + " Y minimum not less than Y maximum");
    dv_fail(status, DV_BAD_Y_RANGE, routine);
    return true;
  }
  return false;
}

const float* colour_of(std::int32_t index) {
  static const float kBlack[3] = {0.0f, 0.0f, 0.0f};
  if (index < 1 || index > 255) return kBlack;
  return DV_DB_COLOURS.table[index];
}

}  // namespace

DvPsState& dv_ps() {
  static DvPsState state;
  return state;
}

void dv_ps_line(const std::string& text, std::int32_t& status) {
  UT_WRITE_FILE(dv_ps().unit, text, status);
}

std::string dv_ps_colour_text(const DvPsState& s, float red, float green, float blue) {
  if (s.colour) {
    return ut_fmt_real(red, 6, 4) + " " + ut_fmt_real(green, 6, 4) + " " +
           ut_fmt_real(blue, 6, 4);
  }
  return ut_fmt_real(0.3f * red + 0.59f * green + 0.11f * blue, 6, 4);
}

std::string dv_ps_rotation_line(const DvPsState& s) {
  return ut_fmt_int(2 * s.region[0] + s.width, 4) + " 0 translate 90 rotate";
}

void DV_PS_OPEN(std::int32_t unit, std::int32_t region_set, std::int32_t orientation,
                bool colour, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_PS_OPEN V0.11 ";
  if (st_bad(status, kRoutine)) return;
  DvPsState& s = dv_ps();
  s.unit = unit;
  s.orientation = orientation == 1 ? 1 : 0;
  s.colour = colour;
  s.functions = false;
  if (region_set == 0) {
    s.region[0] = 180;
    s.region[1] = 230;
    s.region[2] = 5690;
    s.region[3] = 8100;
  }
  s.width = s.region[2] - s.region[0] + 1;
  s.height = s.region[3] - s.region[1] + 1;
  s.size = std::max(s.width, s.height);
  const int size = s.size;
  const std::string line_width = ut_fmt_int(size / 1500, 4);

  std::vector<std::string> lines = {
      "%!PS-Adobe-2.0",
      "%%BoundingBox: 18 23 569 810",
      "%%Creator: Produced by the \"Divect Graphics\" system",
      "%%Title: \"Divect Graphics\" V1.5 PostScript Output",
      " ",
      "% Definition of variables",
  };
  if (colour) {
    lines.push_back("/pl_r 0 def /pl_g 0 def /pl_b 0 def /pl_w" + line_width +
                    " def /pl_t 0 def");
    lines.push_back("/pm_r 0 def /pm_g 0 def /pm_b 0 def /pm_t 5 def /pm_s" +
                    ut_fmt_int(size / 150, 4) + " def/pm_w" + line_width + " def");
  } else {
    lines.push_back("/pl_g 0 def /pl_w" + line_width + " def /pl_t 0 def");
    lines.push_back("/pm_g 0 def /pm_t 5 def /pm_s" + ut_fmt_int(size / 150, 4) + " def/pm_w" +
                    line_width + " def");
  }
  // Round line joins: set with the operator, not by redefining its name.
  lines.push_back("1 setlinejoin /dash" + ut_fmt_int(size / 100, 4) + " def /dot" +
                  ut_fmt_int(size / 750, 4) + " def /gap" + ut_fmt_int(size / 250, 4) + " def");
  if (colour) {
    lines.push_back("/fa_r 1 def /fa_g 1 def /fa_b 1 def");
    lines.push_back("/tx_r 0 def /tx_g 0 def /tx_b 0 def /tx_h 0 def /tx_v 0 def");
  } else {
    lines.push_back("/fa_g 1 def");
    lines.push_back("/tx_g 0 def /tx_h 0 def /tx_v 0 def");
  }
  lines.push_back("/tx_a 0 def /c_a 1 def /s_a 0 def");
  lines.push_back(" ");
  lines.push_back("% Definition of functions");
  if (colour) {
    lines.push_back("/pc {/pl_b exch def /pl_g exch def /pl_r exch def} def");
    lines.push_back("/mc {/pm_b exch def /pm_g exch def /pm_r exch def} def");
    lines.push_back("/fc {/fa_b exch def /fa_g exch def /fa_r exch def} def");
    lines.push_back("/tc {/tx_b exch def /tx_g exch def /tx_r exch def} def");
    lines.push_back("/pl_col {pl_r pl_g pl_b setrgbcolor} def");
    lines.push_back("/pm_col {pm_r pm_g pm_b setrgbcolor} def");
    lines.push_back("/fa_col {fa_r fa_g fa_b setrgbcolor} def");
    lines.push_back("/tx_col {tx_r tx_g tx_b setrgbcolor} def");
  } else {
    lines.push_back("/pc {/pl_g exch def} def");
    lines.push_back("/mc {/pm_g exch def} def");
    lines.push_back("/fc {/fa_g exch def} def");
    lines.push_back("/tc {/tx_g exch def} def");
    lines.push_back("/pl_col {pl_g setgray} def");
    lines.push_back("/pm_col {pm_g setgray} def");
    lines.push_back("/fa_col {fa_g setgray} def");
    lines.push_back("/tx_col {tx_g setgray} def");
  }
  for (const char* line : kFunctions) lines.emplace_back(line);
  const std::string white = colour ? "1 1 1 setrgbcolor" : "1 setgray";
  lines.push_back("/ca {/y2 exch def /x2 exch def /y1 exch def /x1 exch def gsave newpath");
  lines.push_back("  x1 y1 moveto x2 y1 lineto x2 y2 lineto x1 y2 lineto closepath " + white +
                  " fill grestore} def");
  lines.push_back("/cp {/y2 exch def /x2 exch def /y1 exch def /x1 exch def initclip newpath");
  lines.push_back("  x1 y1 moveto x2 y1 lineto x2 y2 lineto x1 y2 lineto closepath clip newpath} "
                  "def");
  lines.push_back("0.1 0.1 scale");
  lines.push_back(ut_fmt_int(size / 60, 4) + " 1 tf");
  if (s.orientation == 1) lines.push_back(dv_ps_rotation_line(s));
  lines.push_back("% End of prologue");
  lines.push_back(" ");
  lines.push_back("% Define current graphics state");
  write_lines(lines, status);
  if (st_bad(status, kRoutine)) return;

  // The device layer's current attributes.
  const DvDbRasterMode& r = DV_DB_RASTERMODE;
  const DvDbTextAtts& t = DV_DB_TEXTATTS;
  const float* line_rgb = colour_of(r.line_colour);
  const float* fill_rgb = colour_of(r.fill_colour);
  const float* marker_rgb = colour_of(r.marker_colour);
  const float* text_rgb = colour_of(t.colour);
  s.font = t.font;
  s.text_height = t.height;
  DV_PS_LINESTYLE(r.line_style, status);
  DV_PS_LINECOLOUR(line_rgb[0], line_rgb[1], line_rgb[2], status);
  DV_PS_LINEWIDTH(r.line_width, status);
  DV_PS_FILLCOLOUR(fill_rgb[0], fill_rgb[1], fill_rgb[2], status);
  DV_PS_MARKERTYPE(r.marker_type, status);
  DV_PS_MARKERCOLOUR(marker_rgb[0], marker_rgb[1], marker_rgb[2], status);
  DV_PS_MARKERSCALE(r.marker_scale, status);
  DV_PS_MARKERWIDTH(r.marker_width, status);
  DV_PS_TEXTFONT(t.font, status);
  DV_PS_TEXTHEIGHT(t.height, status);
  DV_PS_TEXTCOLOUR(text_rgb[0], text_rgb[1], text_rgb[2], status);
  DV_PS_TEXTALIGNMENT(t.h_align, t.v_align, status);
  DV_PS_TEXTANGLE(t.angle, status);
  dv_ps_line(" ", status);
  if (st_bad(status, kRoutine)) return;
}

void DV_PS_TRANSFORM(const float data_window[4], const float viewport[4], std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_PS_TRANSFORM V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (bad_rectangle(data_window, "PostScript data window:", status, kRoutine)) return;
  if (bad_rectangle(viewport, "PostScript viewport:", status, kRoutine)) return;
  DvPsState& s = dv_ps();
  const float size = static_cast<float>(s.size);
  s.x_scale = (viewport[2] - viewport[0]) * size / (data_window[2] - data_window[0]);
  s.x_offset = static_cast<float>(s.region[0]) + viewport[0] * size - s.x_scale * data_window[0];
  s.y_scale = (viewport[3] - viewport[1]) * size / (data_window[3] - data_window[1]);
  s.y_offset = static_cast<float>(s.region[1]) + viewport[1] * size - s.y_scale * data_window[1];
}

void DV_PS_UPDATE(std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_PS_UPDATE V0.1 ";
  if (st_bad(status, kRoutine)) return;
  const DvPsState& s = dv_ps();
  dv_ps_line("showpage", status);
  dv_ps_line("0.1 0.1 scale", status);
  if (s.orientation == 1) dv_ps_line(dv_ps_rotation_line(s), status);
  if (st_bad(status, kRoutine)) return;
}

void DV_PS_CLEAR(std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_PS_CLEAR V0.1 ";
  if (st_bad(status, kRoutine)) return;
  const DvPsState& s = dv_ps();
  dv_ps_line(std::to_string(s.region[0]) + " " + std::to_string(s.region[1]) + " " +
                 std::to_string(s.region[2]) + " " + std::to_string(s.region[3]) + " ca",
             status);
  if (st_bad(status, kRoutine)) return;
}

void DV_PS_CLIP(bool on, float x_min, float y_min, float x_max, float y_max,
                std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_PS_CLIP V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (!on) {
    dv_ps_line("initclip", status);
    if (st_bad(status, kRoutine)) return;
    return;
  }
  const float r[4] = {x_min, y_min, x_max, y_max};
  if (bad_rectangle(r, "PostScript clip window:", status, kRoutine)) return;
  const DvPsState& s = dv_ps();
  dv_ps_line(std::to_string(dv_ps_x(s, x_min)) + " " + std::to_string(dv_ps_y(s, y_min)) + " " +
                 std::to_string(dv_ps_x(s, x_max)) + " " + std::to_string(dv_ps_y(s, y_max)) +
                 " cp",
             status);
  if (st_bad(status, kRoutine)) return;
}
