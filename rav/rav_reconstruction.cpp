#include "rav.h"
#include "ut.h"

// The driver of a run from projection images; for now it only honours the status convention.
void RAV_RECONSTRUCTION(const ParameterSet& /*parameters*/, std::int32_t& status) {
  if (st_bad(status, "Subroutine RAV_RECONSTRUCTION V0.20")) return;
}
