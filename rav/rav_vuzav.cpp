#include "rav.h"
#include "ut.h"

int RAV_VUZAV(int /*argc*/, char** /*argv*/) {
  std::int32_t status;
  ST_DEF_SYSTEM(status);
  return status == ST_OK ? 0 : 1;
}
