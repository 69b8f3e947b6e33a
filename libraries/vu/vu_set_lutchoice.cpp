// The colour table choice: which table and how many levels.
#include "dv.h"
#include "vu_internal.h"

void VU_SET_LUTCHOICE(std::int32_t lut, std::int32_t levels, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_SET_LUTCHOICE V0.3 ";
  if (st_bad(status, kRoutine)) return;
  if (lut < 0 || lut > 11) {
    // This routine has always answered a bad table number with the bare kind.
    ST_SAVE(kRoutine);
    status = 17;
    return;
  }
  VU_COM_LUT.choice = lut;
  VU_COM_LUT.levels = levels;
}

void VU_INQ_LUTCHOICE(std::int32_t& lut, std::int32_t& levels, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_INQ_LUTCHOICE V0.2 ")) return;
  lut = VU_COM_LUT.choice;
  levels = VU_COM_LUT.levels;
}

void VU_DEF_LUTCHOICE(std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_DEF_LUTCHOICE V0.1 ";
  if (st_bad(status, kRoutine)) return;
  std::int32_t first = 0, last = 0;
  DV_INQ_IMAGERANGE(first, last, status);
  if (st_bad(status, kRoutine)) return;
  VU_COM_LUT.choice = 2;
  VU_COM_LUT.levels = last - first + 1;
}
