#include "ut.h"
#include "vu.h"

// The window is not drawn yet: opening only honours the status convention.
void VU_OPEN_GRAPHICS(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_OPEN_GRAPHICS V0.6")) return;
}
