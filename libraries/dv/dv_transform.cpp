// Device layer: data window, viewport, clip window and coordinate conversions.
#include <cstdio>
#include <string>

#include "dv_internal.h"

namespace {

struct SavedTransform {
  bool saved = false;
  float data_window[4] = {};
  float viewport[4] = {};
};
SavedTransform g_saved;

std::string real_text(float value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(value));
  return buffer;
}

// Rejects a rectangle whose minimum is not below its maximum, printing the two values.
bool bad_rectangle(std::string_view name, float x_min, float y_min, float x_max, float y_max,
                   std::int32_t& status, std::string_view routine) {
  if (!(x_min < x_max)) {
    dv_message("ERROR: X minimum not less than X maximum (" + std::string(name) + ")");
    dv_message("       X minimum = " + real_text(x_min) + ", X maximum = " + real_text(x_max));
    dv_fail(status, DV_BAD_X_RANGE, routine);
    return true;
  }
  if (!(y_min < y_max)) {
    dv_message("ERROR: Y minimum not less than Y maximum (" + std::string(name) + ")");
    dv_message("       Y minimum = " + real_text(y_min) + ", Y maximum = " + real_text(y_max));
    dv_fail(status, DV_BAD_Y_RANGE, routine);
    return true;
  }
  return false;
}

void store(float target[4], float x_min, float y_min, float x_max, float y_max) {
  target[0] = x_min;
  target[1] = y_min;
  target[2] = x_max;
  target[3] = y_max;
}

void load(const float source[4], float& x_min, float& y_min, float& x_max, float& y_max) {
  x_min = source[0];
  y_min = source[1];
  x_max = source[2];
  y_max = source[3];
}

// The body of the three rectangle setters: ROUTINE is the setter's text, NAME its name in the
// messages. The checked rectangle goes to TARGET, and with SEND the transform is sent on.
void set_rectangle(std::string_view routine, std::string_view name, float target[4], bool send,
                   float x_min, float y_min, float x_max, float y_max, std::int32_t& status) {
  if (st_bad(status, routine)) return;
  if (dv_not_open(name)) return;
  if (bad_rectangle(name, x_min, y_min, x_max, y_max, status, routine)) return;
  store(target, x_min, y_min, x_max, y_max);
  if (send) dv_send_transform(status, routine);
}

}  // namespace

void dv_send_transform(std::int32_t& status, std::string_view routine) {
  const DvDbTransform& t = DV_DB_TRANSFORM;
  DvDbRasterMode& raster = DV_DB_RASTERMODE;
  const float resolution = static_cast<float>(raster.resolution);
  raster.x_scale =
      resolution * (t.viewport[2] - t.viewport[0]) / (t.data_window[2] - t.data_window[0]);
  raster.x_offset = t.viewport[0] * resolution - raster.x_scale * t.data_window[0];
  raster.y_scale =
      resolution * (t.viewport[3] - t.viewport[1]) / (t.data_window[3] - t.data_window[1]);
  raster.y_offset = t.viewport[1] * resolution - raster.y_scale * t.data_window[1];

  for (int slot = 0; slot < DV_DB_SYSTEM.count; ++slot) {
    if (dv_slot_open(slot, DV_CLASS_WINDOW)) {
      std::int32_t result = 0;
      DV_X11_TRANSFORM(t.data_window, t.viewport, result);
      if (result != 0) dv_merge(status, DV_BACKEND_FAILURE, routine);
    } else if (dv_slot_open(slot, DV_CLASS_POSTSCRIPT)) {
      std::int32_t ps_status = ST_OK;
      DV_PS_TRANSFORM(t.data_window, t.viewport, ps_status);
      dv_merge(status, ps_status, routine);
    }
  }
}

void DV_DATAWINDOW(float x_min, float y_min, float x_max, float y_max, std::int32_t& status) {
  set_rectangle("Subroutine DV_DATAWINDOW V0.1 ", "DV_DATAWINDOW", DV_DB_TRANSFORM.data_window,
                true, x_min, y_min, x_max, y_max, status);
}

void DV_VIEWPORT(float x_min, float y_min, float x_max, float y_max, std::int32_t& status) {
  set_rectangle("Subroutine DV_VIEWPORT V0.1 ", "DV_VIEWPORT", DV_DB_TRANSFORM.viewport, true,
                x_min, y_min, x_max, y_max, status);
}

void DV_CLIPWINDOW(float x_min, float y_min, float x_max, float y_max, std::int32_t& status) {
  set_rectangle("Subroutine DV_CLIPWINDOW V0.1 ", "DV_CLIPWINDOW", DV_DB_TRANSFORM.clip_window,
                false, x_min, y_min, x_max, y_max, status);
}

void DV_CLIP(bool on, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_CLIP V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (dv_not_open("DV_CLIP")) return;
  const float* c = DV_DB_TRANSFORM.clip_window;
  dv_send([&](std::int32_t& r) { DV_X11_CLIP(on, c[0], c[1], c[2], c[3], r); },
          [&](std::int32_t& s) { DV_PS_CLIP(on, c[0], c[1], c[2], c[3], s); }, DV_BACKEND_FAILURE,
          status, kRoutine);
}

void DV_UNITYTRANSFORM(bool on, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_UNITYTRANSFORM V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (dv_not_open("DV_UNITYTRANSFORM")) return;
  DvDbTransform& t = DV_DB_TRANSFORM;
  if (on) {
    for (int k = 0; k < 4; ++k) {
      g_saved.data_window[k] = t.data_window[k];
      g_saved.viewport[k] = t.viewport[k];
    }
    g_saved.saved = true;
    store(t.data_window, 0.0f, 0.0f, 1.0f, 1.0f);
    store(t.viewport, 0.0f, 0.0f, 1.0f, 1.0f);
  } else {
    if (!g_saved.saved) {
      dv_message("ERROR: No saved transform to restore (DV_UNITYTRANSFORM)");
      dv_fail(status, DV_NO_SAVED_TRANSFORM, kRoutine);
      return;
    }
    for (int k = 0; k < 4; ++k) {
      t.data_window[k] = g_saved.data_window[k];
      t.viewport[k] = g_saved.viewport[k];
    }
    g_saved.saved = false;
  }
  dv_send_transform(status, kRoutine);
}

void DV_INQ_DATAWINDOW(float& x_min, float& y_min, float& x_max, float& y_max,
                       std::int32_t& status) {
  if (st_bad(status, "Subroutine DV_INQ_DATAWINDOW V0.1 ")) return;
  load(DV_DB_TRANSFORM.data_window, x_min, y_min, x_max, y_max);
}

void DV_INQ_VIEWPORT(float& x_min, float& y_min, float& x_max, float& y_max,
                     std::int32_t& status) {
  if (st_bad(status, "Subroutine DV_INQ_VIEWPORT V0.1 ")) return;
  load(DV_DB_TRANSFORM.viewport, x_min, y_min, x_max, y_max);
}

void DV_INQ_SCALING(float& x_scale, float& y_scale, std::int32_t& status) {
  if (st_bad(status, "Subroutine DV_INQ_SCALING V0.1 ")) return;
  const DvDbTransform& t = DV_DB_TRANSFORM;
  const float* d = t.data_window;
  if (d[2] == d[0] || d[3] == d[1]) {
    dv_message("WARNING: Data window has no extent (DV_INQ_SCALING)");
    dv_message("         Limits = " + real_text(d[0]) + " " + real_text(d[1]) + " " +
               real_text(d[2]) + " " + real_text(d[3]));
    return;
  }
  x_scale = (t.viewport[2] - t.viewport[0]) / (d[2] - d[0]);
  y_scale = (t.viewport[3] - t.viewport[1]) / (d[3] - d[1]);
}

void DV_INQ_MAXPC(std::int32_t wk_id, float& x_max, float& y_max, std::int32_t& status) {
  if (st_bad(status, "Subroutine DV_INQ_MAXPC V0.1 ")) return;
  for (int slot = 0; slot < DV_DB_SYSTEM.count; ++slot) {
    if (DV_DB_SYSTEM.state[slot] != 0 && DV_DB_SYSTEM.wk_id[slot] == wk_id) {
      x_max = DV_DB_SYSTEM.page_width[slot];
      y_max = DV_DB_SYSTEM.page_height[slot];
      return;
    }
  }
  x_max = 0.7071f;
  y_max = 1.0f;
}

float DV_PC2WC(bool x_direction, float value) {
  const DvDbTransform& t = DV_DB_TRANSFORM;
  const int k = x_direction ? 0 : 1;
  return (value - t.viewport[k]) * (t.data_window[k + 2] - t.data_window[k]) /
             (t.viewport[k + 2] - t.viewport[k]) +
         t.data_window[k];
}

float DV_WC2PC(bool x_direction, float value) {
  const DvDbTransform& t = DV_DB_TRANSFORM;
  const int k = x_direction ? 0 : 1;
  return (value - t.data_window[k]) * (t.viewport[k + 2] - t.viewport[k]) /
             (t.data_window[k + 2] - t.data_window[k]) +
         t.viewport[k];
}
