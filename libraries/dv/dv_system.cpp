// Device layer: the system records, opening and closing the layer and its workstations.
#include <string>

#include "dv_internal.h"

DvDbSystem DV_DB_SYSTEM;
DvDbOpenWk DV_DB_OPENWK;
DvDbTransform DV_DB_TRANSFORM;
DvDbRasterMode DV_DB_RASTERMODE;
std::int32_t DV_DB_RESOLUTION = 600;
DvDbTextAtts DV_DB_TEXTATTS;
DvDbColours DV_DB_COLOURS;

namespace {

// Slot (0-based) holding workstation WK_ID, or -1. Free slots are skipped.
int find_slot(std::int32_t wk_id) {
  for (int slot = 0; slot < DV_DB_SYSTEM.count; ++slot) {
    if (DV_DB_SYSTEM.state[slot] != 0 && DV_DB_SYSTEM.wk_id[slot] == wk_id) return slot;
  }
  return -1;
}

// Another open slot of the same class besides SKIP?
bool class_still_open(std::int32_t device_class, int skip) {
  for (int slot = 0; slot < DV_DB_SYSTEM.count; ++slot) {
    if (slot != skip && dv_slot_open(slot, device_class)) return true;
  }
  return false;
}

// The window starts with its own attribute defaults (marker type 5, text colour 1, ...), while
// the layer sends an attribute only when it changes: without this, DV_MARKERTYPE(2) on a new
// window would keep drawing crosses. The window takes the layer's current attributes, as the
// PostScript prologue does.
void send_attributes_to_window(std::int32_t& result) {
  const DvDbRasterMode& r = DV_DB_RASTERMODE;
  const DvDbTextAtts& t = DV_DB_TEXTATTS;
  std::int32_t failures = 0;
  auto check = [&] { failures += result != 0 ? 1 : 0; };
  DV_X11_LINESTYLE(r.line_style, result);
  check();
  DV_X11_LINEWIDTH(r.line_width, result);
  check();
  DV_X11_LINECOLOUR(r.line_colour, result);
  check();
  DV_X11_FILLCOLOUR(r.fill_colour, result);
  check();
  DV_X11_MARKERTYPE(r.marker_type, result);
  check();
  DV_X11_MARKERSCALE(r.marker_scale, result);
  check();
  DV_X11_MARKERCOLOUR(r.marker_colour, result);
  check();
  DV_X11_TEXTFONT(t.font, result);
  check();
  DV_X11_TEXTHEIGHT(t.height, result);
  check();
  DV_X11_TEXTCOLOUR(t.colour, result);
  check();
  DV_X11_TEXTALIGNMENT(t.h_align, t.v_align, result);
  check();
  DV_X11_TEXTANGLE(t.angle * 3.1415925f / 180.0f, result);
  check();
  result = failures == 0 ? 0 : 1;
}

void bad_identifier(std::string_view name, std::int32_t wk_id) {
  dv_message("ERROR: Workstation ID must be 1 or more (" + std::string(name) +
             "): " + std::to_string(wk_id));
}

}  // namespace

void DV_OPEN(std::int32_t mode, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_OPEN V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (mode != 0) {
    dv_message("ERROR: Unknown mode for opening the graphics system (DV_OPEN): " +
               std::to_string(mode));
    dv_fail(status, DV_BAD_VALUE, kRoutine);
    return;
  }
  // A window left open by an earlier session of the layer would otherwise be lost.
  if (DV_DB_OPENWK.windows > 0) DV_X11_CLOSE();
  DV_DB_SYSTEM = DvDbSystem{};
  DV_DB_OPENWK = DvDbOpenWk{};
  DV_DB_TRANSFORM = DvDbTransform{};
  DV_DB_RASTERMODE = DvDbRasterMode{};
  DV_DB_TEXTATTS = DvDbTextAtts{};
  DV_DB_SYSTEM.open = 1;

  std::string system;
  std::string machine;
  UT_SYSTEM_NAME(system, machine, status);
  if (st_bad(status, kRoutine)) return;
  DvDbColours& colours = DV_DB_COLOURS;
  if (system.rfind("WIN", 0) == 0) {
    colours.first_basic = 1;
    colours.last = 256;
  } else {
    colours.first_basic = 41;
    colours.last = 250;
  }
  colours.first_image = colours.first_basic + 8;
  colours.last_image = colours.last;
  colours.log_intensity = false;
  colours.requested_low = 108;
  colours.requested_high = 256;
  DV_DEF_COLOURS(status);
  if (st_bad(status, kRoutine)) return;
}

void DV_CLOSE(std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_CLOSE V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (DV_DB_SYSTEM.open != 1) {
    dv_message("WARNING: Divect Graphics system is already closed ! (DV_CLOSE)");
  }
  DV_DB_SYSTEM.open = 0;
}

void DV_OPEN_WK(std::int32_t wk_id, std::int32_t connection, std::int32_t type,
                std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_OPEN_WK V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (wk_id < 1) {
    bad_identifier("DV_OPEN_WK", wk_id);
    dv_fail(status, DV_BAD_VALUE, kRoutine);
    return;
  }
  if (dv_not_open("DV_OPEN_WK", true)) return;
  if (find_slot(wk_id) >= 0) {
    dv_message("WARNING: Workstation already open (DV_OPEN_WK)");
    return;
  }

  DvDbSystem& sys = DV_DB_SYSTEM;
  if (sys.count < DV_MAX_WORKSTATIONS) {
    ++sys.count;
  } else {
    dv_message("WARNING: Maximum number of workstations are already open (DV_OPEN_WK)");
  }
  int slot = -1;
  for (int k = 0; k < DV_MAX_WORKSTATIONS; ++k) {
    if (sys.state[k] == 0) {
      slot = k;
      break;
    }
  }
  if (slot < 0) {
    dv_message("ERROR: No free workstation slot (DV_OPEN_WK)");
    dv_fail(status, DV_NO_FREE_SLOT, kRoutine);
    return;
  }

  std::int32_t device_class = 0;
  if (type == DV_TYPE_WINDOW_PORTRAIT || type == DV_TYPE_WINDOW_LANDSCAPE) {
    device_class = DV_CLASS_WINDOW;
  } else if (type >= DV_TYPE_PS_PORTRAIT_COLOUR && type <= DV_TYPE_PS_LANDSCAPE_GREY) {
    device_class = DV_CLASS_POSTSCRIPT;
  } else {
    dv_message("WARNING: Unknown graphics device type (DV_OPEN_WK)");
    return;
  }
  const bool portrait = type == DV_TYPE_WINDOW_PORTRAIT || type == DV_TYPE_PS_PORTRAIT_COLOUR ||
                        type == DV_TYPE_PS_PORTRAIT_GREY;
  const std::int32_t orientation = portrait ? 1 : 2;
  DvDbColours& colours = DV_DB_COLOURS;

  if (device_class == DV_CLASS_WINDOW) {
    if (DV_DB_OPENWK.windows == 0) {
      std::int32_t result = 0;
      DV_X11_OPEN(orientation, colours.requested_low, colours.requested_high,
                  portrait ? 500 : 707, portrait ? 707 : 500, result);
      if (result != 0) {
        dv_message("WARNING: X-11 workstation not opened successfully (DV_OPEN_WK)");
        dv_fail(status, DV_WINDOW_NOT_OPENED, kRoutine);
        return;
      }
      ++DV_DB_OPENWK.windows;
      DV_X11_COLOURRANGE(colours.first_basic, colours.last, colours.first_image,
                         colours.last_image);
      DV_DEF_COLOURS(status);
      if (st_bad(status, kRoutine)) return;
      DV_X11_COLOURMAP(0, colours.first_basic, colours.last, &colours.table[0][0],
                       colours.first_image, colours.last_image, result);
      if (result == 0) {
        DV_X11_TRANSFORM(DV_DB_TRANSFORM.data_window, DV_DB_TRANSFORM.viewport, result);
      }
      if (result == 0) send_attributes_to_window(result);
      if (result != 0) {
        dv_fail(status, DV_BACKEND_FAILURE, kRoutine);
        return;
      }
    } else {
      dv_message("WARNING: Maximum number of X-11 workstations are already open (DV_OPEN_WK)");
    }
  } else {
    if (DV_DB_OPENWK.postscript == 0) {
      const bool colour =
          type == DV_TYPE_PS_PORTRAIT_COLOUR || type == DV_TYPE_PS_LANDSCAPE_COLOUR;
      DV_PS_OPEN(connection, 0, portrait ? 0 : 1, colour, status);
      if (st_bad(status, kRoutine)) return;
      ++DV_DB_OPENWK.postscript;
      DV_PS_TRANSFORM(DV_DB_TRANSFORM.data_window, DV_DB_TRANSFORM.viewport, status);
      if (st_bad(status, kRoutine)) return;
    } else {
      dv_message(
          "WARNING: Maximum number of PostScript workstations are already open (DV_OPEN_WK)");
    }
  }

  sys.wk_id[slot] = wk_id;
  sys.connection[slot] = connection;
  sys.device_type[slot] = type;
  sys.device_class[slot] = device_class;
  sys.state[slot] = 1;
  sys.page_width[slot] = portrait ? 0.7071f : 1.0f;
  sys.page_height[slot] = portrait ? 1.0f : 0.7071f;
}

void DV_ACTIVATE_WK(std::int32_t wk_id, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_ACTIVATE_WK V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (wk_id < 1) {
    bad_identifier("DV_ACTIVATE_WK", wk_id);
    dv_fail(status, DV_BAD_VALUE, kRoutine);
    return;
  }
  if (dv_not_open("DV_ACTIVATE_WK")) return;
  int slot = -1;
  for (int k = 0; k < DV_DB_SYSTEM.count; ++k) {
    if (DV_DB_SYSTEM.wk_id[k] == wk_id) {
      slot = k;
      break;
    }
  }
  if (slot < 0) {
    dv_message("ERROR: Workstation ID is unknown (DV_ACTIVATE_WK)");
  } else if (DV_DB_SYSTEM.state[slot] == 2) {
    dv_message("WARNING: Workstation is already active (DV_ACTIVATE_WK)");
  } else if (DV_DB_SYSTEM.state[slot] == 1) {
    DV_DB_SYSTEM.state[slot] = 2;
  } else {
    dv_message("ERROR: Workstation is not open (DV_ACTIVATE_WK)");
  }
}

void DV_CLOSE_WK(std::int32_t wk_id, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_CLOSE_WK V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (wk_id < 1) {
    bad_identifier("DV_CLOSE_WK", wk_id);
    dv_fail(status, DV_BAD_VALUE, kRoutine);
    return;
  }
  if (dv_not_open("DV_CLOSE_WK")) return;
  const int slot = find_slot(wk_id);
  if (slot < 0) {
    dv_message("ERROR: Workstation ID is unknown (DV_CLOSE_WK)");
    return;
  }
  DvDbSystem& sys = DV_DB_SYSTEM;
  const std::int32_t device_class = sys.device_class[slot];
  // The shared back-end stops with the last slot that uses it.
  if (!class_still_open(device_class, slot)) {
    if (device_class == DV_CLASS_WINDOW && DV_DB_OPENWK.windows > 0) {
      --DV_DB_OPENWK.windows;
      DV_X11_CLOSE();
    } else if (device_class == DV_CLASS_POSTSCRIPT && DV_DB_OPENWK.postscript > 0) {
      --DV_DB_OPENWK.postscript;
    }
  }
  for (int k = slot; k + 1 < sys.count; ++k) {
    sys.wk_id[k] = sys.wk_id[k + 1];
    sys.connection[k] = sys.connection[k + 1];
    sys.device_type[k] = sys.device_type[k + 1];
    sys.device_class[k] = sys.device_class[k + 1];
    sys.state[k] = sys.state[k + 1];
    sys.page_width[k] = sys.page_width[k + 1];
    sys.page_height[k] = sys.page_height[k + 1];
  }
  const int last = sys.count - 1;
  sys.wk_id[last] = 0;
  sys.connection[last] = 0;
  sys.device_type[last] = 0;
  sys.device_class[last] = 0;
  sys.state[last] = 0;
  sys.page_width[last] = 0.0f;
  sys.page_height[last] = 0.0f;
  --sys.count;
}

void DV_UPDATE(std::int32_t wk_id, std::int32_t /*ignored*/, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_UPDATE V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (dv_not_open("DV_UPDATE")) return;
  const int slot = find_slot(wk_id);
  if (slot < 0) {
    dv_message("ERROR: Workstation ID is unknown (DV_UPDATE)");
    return;
  }
  if (DV_DB_SYSTEM.device_class[slot] == DV_CLASS_WINDOW) {
    DV_X11_UPDATE();
  } else {
    DV_PS_UPDATE(status);
    if (st_bad(status, kRoutine)) return;
  }
}

void DV_CLEAR(std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_CLEAR V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (dv_not_open("DV_CLEAR")) return;
  dv_send(DV_X11_CLEAR, DV_PS_CLEAR, DV_DRAWING_FAILURE, status, kRoutine);
}
