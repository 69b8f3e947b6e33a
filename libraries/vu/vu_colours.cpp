#include "ut.h"
#include "vu.h"

// No colour table is computed yet: only the status convention is honoured.
void VU_COLOURS(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_COLOURS V0.3")) return;
}
