#include "ut.h"
#include "vu.h"

// The colour-table record is not kept yet: the choice only honours the status convention.
void VU_SET_LUTCHOICE(std::int32_t /*lut*/, std::int32_t /*levels*/, std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_SET_LUTCHOICE V0.3")) return;
}
