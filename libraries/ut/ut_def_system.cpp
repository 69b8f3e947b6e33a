#include "ut.h"

void UT_DEF_SYSTEM(std::int32_t& status) {
  if (st_bad(status, "Subroutine UT_DEF_SYSTEM V0.5 ")) return;
}
