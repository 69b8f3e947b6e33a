// Computing and loading the chosen colour table.
#include "dv.h"
#include "vu_internal.h"

void VU_COLOURS(std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_COLOURS V0.3 ";
  if (st_bad(status, kRoutine)) return;
  std::int32_t lut = 0, levels = 0;
  VU_INQ_LUTCHOICE(lut, levels, status);
  std::int32_t first = 0, last = 0;
  DV_INQ_IMAGERANGE(first, last, status);
  if (st_bad(status, kRoutine)) return;
  // Choice 0 is no table: whatever was computed last (black at first) is loaded again.
  std::int32_t entries = 0;
  if (const float* control = vu_control_table(lut, entries)) {
    VU_CAL_COLOURTABLE(entries, entries, control, first, last, levels, 256,
                       &VU_COM_COLOURTABLE[0][0], status);
    if (st_bad(status, kRoutine)) return;
  }
  DV_COLOURS(256, first, last, &VU_COM_COLOURTABLE[0][0], status);
  if (st_bad(status, kRoutine)) return;
}
