// Helpers shared by the device layer and its back-ends (not part of the public interface).
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "dv.h"
#include "ut.h"

// Writes "ERROR: Divect Graphics system is not open (NAME)" ("WARNING: " when asked) and
// answers true when the layer is closed; the status is left as it is.
inline bool dv_not_open(std::string_view name, bool warning = false) {
  if (DV_DB_SYSTEM.open == 1) return false;
  std::int32_t local = ST_OK;
  UT_WRITE(std::string(warning ? "WARNING: " : "ERROR: ") +
               "Divect Graphics system is not open (" + std::string(name) + ")",
           local);
  return true;
}

// Records the routine text and sets the layer's status code.
inline void dv_fail(std::int32_t& status, std::int32_t code, std::string_view routine) {
  ST_SAVE(routine);
  status = code;
}

// Writes one message line with a status of its own (messages come before the status is set).
inline void dv_message(const std::string& text) {
  std::int32_t local = ST_OK;
  UT_WRITE(text, local);
}

// Takes the status of one back-end call (made with a status of its own, so that a failing
// workstation does not stop the loop over the others) into the caller's status.
inline void dv_merge(std::int32_t& status, std::int32_t backend_status, std::string_view routine) {
  if (backend_status == ST_OK || status != ST_OK) return;
  ST_SAVE(routine);
  status = backend_status;
}

// True for a slot (0-based) that holds an open or active workstation of CLASS.
inline bool dv_slot_open(int slot, std::int32_t device_class) {
  return DV_DB_SYSTEM.state[slot] != 0 && DV_DB_SYSTEM.device_class[slot] == device_class;
}
inline bool dv_slot_active(int slot, std::int32_t device_class) {
  return DV_DB_SYSTEM.state[slot] == 2 && DV_DB_SYSTEM.device_class[slot] == device_class;
}

// Calls WINDOW(result) for every active window and POSTSCRIPT(status) for every active
// PostScript workstation, each with a result or status of its own; a window failure sets
// WINDOW_FAILURE, a PostScript failure its own status (dv_merge).
template <typename Window, typename PostScript>
void dv_send(Window window, PostScript postscript, std::int32_t window_failure,
             std::int32_t& status, std::string_view routine) {
  for (int slot = 0; slot < DV_DB_SYSTEM.count; ++slot) {
    if (dv_slot_active(slot, DV_CLASS_WINDOW)) {
      std::int32_t result = 0;
      window(result);
      if (result != 0) dv_merge(status, window_failure, routine);
    } else if (dv_slot_active(slot, DV_CLASS_POSTSCRIPT)) {
      std::int32_t ps_status = ST_OK;
      postscript(ps_status);
      dv_merge(status, ps_status, routine);
    }
  }
}

// Colour index of one value of a real cell array: the range MIN..MAX spread linearly over the
// image index range, limited to it. NaN values take the first image index.
inline std::int32_t dv_cell_index(float value, float min, float max, std::int32_t first_image,
                                  std::int32_t last_image) {
  const double levels = static_cast<double>(last_image) - first_image + 1;
  double range = static_cast<double>(max) - static_cast<double>(min);
  if (range < 1e-36) range = 1.0;
  double position = (static_cast<double>(value) - min) * levels / range + 0.5;
  // Limit before converting so that huge or NaN values stay defined.
  if (!(position > 0.0)) position = 0.0;
  if (position > levels) position = levels;
  std::int32_t index = static_cast<std::int32_t>(position) + first_image;
  if (index < first_image) index = first_image;
  if (index > last_image) index = last_image;
  return index;
}

// The real-to-integer conversion of pixel positions, limited so that wild world coordinates
// cannot overflow the integer (far outside any page either way).
inline int dv_trunc(double value) {
  if (!(value > -1.0e6)) return -1000000;
  if (value > 1.0e6) return 1000000;
  return static_cast<int>(value);
}

// Fills TABLE(FIRST..LAST) (only indices 0..255) from ENTRIES control colours by linear
// interpolation quantised to LEVELS levels.
void dv_interpolate_table(const float control[][3], int entries, int first, int last, int levels,
                          float table[256][3]);

// Recomputes the layer's combined transform and passes data window and viewport to every open
// workstation (window failure: 130001).
void dv_send_transform(std::int32_t& status, std::string_view routine);
