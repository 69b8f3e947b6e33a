#include "ut.h"

UtIoState& ut_io_state() {
  static UtIoState state;
  return state;
}

void UT_DEF_SYSTEM(std::int32_t& status) {
  if (st_bad(status, "Subroutine UT_DEF_SYSTEM V0.5 ")) return;
  ut_io_state() = UtIoState{};
  UT_DEF_SEPARATORS(status);
}
