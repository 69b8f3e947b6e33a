#include "rav.h"
#include "ut.h"

// The driver of a run from stored sinograms; for now it only honours the status convention.
void RAV_SINORECONSTRUCTION(const ParameterSet& /*parameters*/, std::int32_t& status) {
  if (st_bad(status, "Subroutine RAV_SINORECONSTRUCTION V0.1 ")) return;
}
