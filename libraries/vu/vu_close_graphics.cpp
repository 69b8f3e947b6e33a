#include "ut.h"
#include "vu.h"

// Nothing is open yet: closing only honours the status convention.
void VU_CLOSE_GRAPHICS(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_CLOSE_GRAPHICS V0.2")) return;
}
