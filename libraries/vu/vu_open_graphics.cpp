// Opening the graphics: defaults, options, device layer, window workstation, colours.
#include <unistd.h>

#include <cstdio>

#include "dv.h"
#include "vu_internal.h"

namespace {
// The window type of the last open; a format code other than 0..3 keeps it.
std::int32_t g_last_device_type = DV_TYPE_WINDOW_PORTRAIT;
}  // namespace

void VU_OPEN_NOTERM(std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_OPEN_NOTERM V0.2 ";
  if (st_bad(status, kRoutine)) return;
  VU_DB_JCOLOURS = VuDbJColours{108, 210};
  VU_PNGOUTPUT.value = false;
  VU_DEF_GRAPHICS(status);
  VU_MSET_OPTIONS(status);
  DV_OPEN(0, status);
  if (st_bad(status, kRoutine)) return;
}

void VU_OPEN_GRAPHICS(std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_OPEN_GRAPHICS V0.6 ";
  if (st_bad(status, kRoutine)) return;
  VU_OPEN_NOTERM(status);
  if (st_bad(status, kRoutine)) return;

  std::int32_t format = 0;
  VU_INQ_WINDOWFORMAT(format);
  if (format == 0 || format == 2) {
    g_last_device_type = DV_TYPE_WINDOW_PORTRAIT;
  } else if (format == 1 || format == 3) {
    g_last_device_type = DV_TYPE_WINDOW_LANDSCAPE;
  }
  DV_SET_COLOURINDICES(VU_DB_JCOLOURS.low, VU_DB_JCOLOURS.high, status);

  // Without a display (+PNG) the pages go to numbered picture files instead of a window.
  dv_x11_set_png_mode(VU_PNGOUTPUT.value);
  DV_OPEN_WK(1, 0, g_last_device_type, status);
  DV_ACTIVATE_WK(1, status);
  if (st_bad(status, kRoutine)) return;
  if (VU_PNGOUTPUT.value) {
    char directory[4096] = ".";
    if (getcwd(directory, sizeof directory) == nullptr) std::snprintf(directory, 2, ".");
    char line[4200];
    std::snprintf(line, sizeof line,
                  "INFO: Graphics pages are written as PNG files rav_plot_0001.png, ... in %s",
                  directory);
    vu_message(line);
  }

  VU_DEF_LUTCHOICE(status);
  VU_DEF_COLOURS(status);
  constexpr std::string_view kReference = "iiii..MMWW";
  DV_INQ_TEXTWIDTH(10, kReference, VU_DOC_CONTROL.text_width, status);
  if (st_bad(status, kRoutine)) return;
}

void VU_UPDATE(std::int32_t& status) {
  constexpr std::string_view kRoutine = "Function VU_UPDATE V0.1 ";
  if (st_bad(status, kRoutine)) return;
  DV_UPDATE(1, 0, status);
  if (st_bad(status, kRoutine)) return;
}
