// Device layer: primitives (polylines, markers, fill areas, text, cell arrays), sent to every
// active workstation.
#include <string>
#include <utility>

#include "dv_internal.h"

namespace {

bool bad_count(bool bad, const std::string& text, std::int32_t code, std::int32_t& status,
               std::string_view routine) {
  if (!bad) return false;
  dv_message(text);
  dv_fail(status, code, routine);
  return true;
}

// Checks the declared dimensions and the region of a cell array; reading outside the array
// would take pixels from unrelated memory.
bool bad_cell_region(std::string_view name, std::int32_t xmaxdat, std::int32_t ymaxdat,
                     std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xnumelm,
                     std::int32_t ynumelm, const void* data, std::int32_t& status,
                     std::string_view routine) {
  const std::string where = " (" + std::string(name) + ")";
  if (bad_count(xmaxdat < 1, "ERROR: First dimension of the cell array below 1" + where,
                DV_BACKEND_FAILURE, status, routine))
    return true;
  if (bad_count(xnumelm < 1, "ERROR: Number of cell-array columns below 1" + where, DV_BAD_VALUE,
                status, routine))
    return true;
  if (bad_count(ynumelm < 1, "ERROR: Number of cell-array rows below 1" + where,
                DV_BAD_SECOND_COUNT, status, routine))
    return true;
  if (bad_count(xstrelm < 1 || static_cast<std::int64_t>(xstrelm) + xnumelm - 1 > xmaxdat,
                "ERROR: Cell-array columns lie outside the data array" + where, DV_BAD_VALUE,
                status, routine))
    return true;
  if (bad_count(ystrelm < 1 || static_cast<std::int64_t>(ystrelm) + ynumelm - 1 > ymaxdat,
                "ERROR: Cell-array rows lie outside the data array" + where, DV_BAD_SECOND_COUNT,
                status, routine))
    return true;
  if (bad_count(data == nullptr, "ERROR: No cell-array data" + where, DV_BAD_VALUE, status,
                routine))
    return true;
  return false;
}

}  // namespace

void DV_POLYLINE(std::int32_t n, const float* x, const float* y, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_POLYLINE V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (dv_not_open("DV_POLYLINE")) return;
  if (bad_count(n < 2 || x == nullptr || y == nullptr,
                "ERROR: A polyline needs at least 2 points (DV_POLYLINE)", DV_BAD_VALUE, status,
                kRoutine))
    return;
  dv_send([&](std::int32_t& r) { DV_X11_PL(n, x, y, r); },
          [&](std::int32_t& s) { DV_PS_PL(n, x, y, s); }, DV_BACKEND_FAILURE, status, kRoutine);
}

void DV_POLYMARKER(std::int32_t n, const float* x, const float* y, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_POLYMARKER V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (dv_not_open("DV_POLYMARKER")) return;
  if (bad_count(n < 1 || x == nullptr || y == nullptr,
                "ERROR: Markers need at least 1 point (DV_POLYMARKER)", DV_BAD_VALUE, status,
                kRoutine))
    return;
  dv_send([&](std::int32_t& r) { DV_X11_PM(n, x, y, r); },
          [&](std::int32_t& s) { DV_PS_PM(n, x, y, s); }, DV_BACKEND_FAILURE, status, kRoutine);
}

void DV_FILLAREA(std::int32_t n, const float* x, const float* y, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_FILLAREA V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (dv_not_open("DV_FILLAREA")) return;
  if (bad_count(n < 2 || x == nullptr || y == nullptr,
                "ERROR: A fill area needs at least 2 points (DV_FILLAREA)", DV_BAD_VALUE, status,
                kRoutine))
    return;
  dv_send(
      [&](std::int32_t& r) {
        DV_X11_FA(n, x, y, r);
        if (r == 1) {
          dv_message("ERROR: The window can fill areas of at most 200 points (DV_FILLAREA)");
        }
      },
      [&](std::int32_t& s) { DV_PS_FA(n, x, y, s); }, DV_BACKEND_FAILURE, status, kRoutine);
}

void DV_TEXT(float x, float y, std::string_view text, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_TEXT V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (dv_not_open("DV_TEXT")) return;
  dv_send([&](std::int32_t& r) { DV_X11_TEXT(x, y, text, r); },
          [&](std::int32_t& s) { DV_PS_TEXT(x, y, text, s); }, DV_DRAWING_FAILURE, status,
          kRoutine);
}

void DV_CELLARRAY(float x1, float y1, float x2, float y2, std::int32_t xmaxdat,
                  std::int32_t ymaxdat, std::int32_t xstrelm, std::int32_t ystrelm,
                  std::int32_t xnumelm, std::int32_t ynumelm, const std::int32_t* indices,
                  std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_CELLARRAY V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (dv_not_open("DV_CELLARRAY")) return;
  if (bad_cell_region("DV_CELLARRAY", xmaxdat, ymaxdat, xstrelm, ystrelm, xnumelm, ynumelm,
                      indices, status, kRoutine))
    return;
  dv_send(
      [&](std::int32_t& r) {
        DV_X11_CA(x1, y1, x2, y2, xmaxdat, ymaxdat, xstrelm, ystrelm, xnumelm, ynumelm, indices, r);
      },
      [&](std::int32_t& s) {
        DV_PS_CA(x1, y1, x2, y2, xmaxdat, ymaxdat, xstrelm, ystrelm, xnumelm, ynumelm, indices, s);
      },
      DV_DRAWING_FAILURE, status, kRoutine);
}

void DV_RMASKCELLARRAY(bool masked, float x1, float y1, float x2, float y2, std::int32_t xmaxdat,
                       std::int32_t ymaxdat, std::int32_t xstrelm, std::int32_t ystrelm,
                       std::int32_t xnumelm, std::int32_t ynumelm, const float* data,
                       const std::uint8_t* mask, float min, float max, std::int32_t mask_colour,
                       std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_RMASKCELLARRAY V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (dv_not_open("DV_RMASKCELLARRAY")) return;
  if (bad_cell_region("DV_RMASKCELLARRAY", xmaxdat, ymaxdat, xstrelm, ystrelm, xnumelm, ynumelm,
                      data, status, kRoutine))
    return;
  if (bad_count(masked && mask == nullptr, "ERROR: No mask for a masked cell array "
                "(DV_RMASKCELLARRAY)", DV_BAD_VALUE, status, kRoutine))
    return;

  // Make the intensity range usable.
  if (min == max) {
    min = min * 0.9f;
    max = max * 1.1f;
    if (min == max) {
      min = min - 0.1f;
      max = max + 0.1f;
    }
    // A negative value gives 0.9 * MIN above 1.1 * MAX; keep the range the right way round.
    if (min > max) std::swap(min, max);
  }

  for (int slot = 0; slot < DV_DB_SYSTEM.count; ++slot) {
    if (dv_slot_active(slot, DV_CLASS_WINDOW)) {
      std::int32_t result = 0;
      DV_X11_RMCA(masked, x1, y1, x2, y2, xmaxdat, ymaxdat, xstrelm, ystrelm, xnumelm, ynumelm,
                  data, mask, min, max, mask_colour, result);
      if (result == 1) {
        dv_message("ERROR: Function DV_X11_RMCA failed to allocate memory for image display");
      } else if (result == 2) {
        dv_message("ERROR: Function DV_X11_RMCA failed because of bad data scaling range");
      }
      if (result != 0 && status == ST_OK) {
        ST_SAVE("Function DV_X11_RMCA");
        status = DV_DRAWING_FAILURE;
      }
    } else if (dv_slot_active(slot, DV_CLASS_POSTSCRIPT)) {
      std::int32_t ps_status = ST_OK;
      DV_PS_RMCA(masked, x1, y1, x2, y2, xmaxdat, ymaxdat, xstrelm, ystrelm, xnumelm, ynumelm,
                 data, mask, min, max, mask_colour, ps_status);
      dv_merge(status, ps_status, kRoutine);
    }
  }
}
