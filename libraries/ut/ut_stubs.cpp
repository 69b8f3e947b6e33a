// Temporary bodies, replaced routine by routine as the library is completed.
#include "ut.h"

void UT_VTOC(float, std::int32_t, std::int32_t, bool, bool, bool, bool& fits, std::string&,
             std::int32_t&) {
  fits = true;
}
std::string UT_RTOC(float) { return "0.0"; }
