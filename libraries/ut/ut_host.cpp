// Small host services: record-length unit, platform names, heap, sleeping, swap, byte order.
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "ut.h"

void UT_SYSTEM_NAME(std::string& system, std::string& machine, std::int32_t& status) {
  if (st_bad(status, "Subroutine UT_SYSTEM_NAME V0.1 ")) return;
  system = "LINUX";
  machine = "PC";
}

void UT_RECL(std::int32_t& bytes_per_unit, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine UT_RECL V0.10";
  if (st_bad(status, kRoutine)) return;
  std::string system;
  std::string machine;
  UT_SYSTEM_NAME(system, machine, status);
  if (st_bad(status, kRoutine)) return;
  if (system == "LINUX" || system == "HP-UX-9" || system == "HP-UX-10" || system == "IBM-AIX") {
    bytes_per_unit = 1;
  } else if (system == "DEC-UNIX" || system == "DEC-VMS" || system == "SUN-OS" ||
             system == "SUN-SOLARIS" || system == "SG-IRIX" || system == "SG-IRIX64" ||
             system == "WINDOWS-NT") {
    bytes_per_unit = 4;
  } else {
    UT_WRITE(" ", status);
    UT_WRITE("ERROR: UT_RECL does not know the record-length unit of this system:", status);
    UT_WRITE("       " + system, status);
    UT_WRITE("       The number of bytes that one unit of the record length of a", status);
    UT_WRITE("       direct-access unformatted file stands for must be added to UT_RECL", status);
    UT_WRITE("       for this operating system, and the support library rebuilt.", status);
    UT_WRITE("       (Look up RECL= in the compiler's documentation.)", status);
    UT_WRITE(" ", status);
    ST_SAVE(kRoutine);
    status = 11009;
  }
}

void UT_MALLOC(std::int64_t nbytes, void*& pointer, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine UT_MALLOC V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (nbytes < 1) {
    ST_SAVE(kRoutine);
    status = 10017;
    return;
  }
  void* block = std::malloc(static_cast<std::size_t>(nbytes));
  if (block == nullptr) {
    ST_SAVE(kRoutine);
    status = 11002;
    return;
  }
  pointer = block;
}

void UT_FREE(void* pointer, std::int32_t& status) {
  if (st_bad(status, "Subroutine UT_FREE V0.1 ")) return;
  std::free(pointer);
}

void UT_SLEEP(float seconds, std::int32_t& status) {
  if (st_bad(status, "Subroutine UT_SLEEP V0.2 ")) return;
  const double milliseconds = std::trunc(static_cast<double>(seconds) * 1000.0);
  if (!(milliseconds >= 1.0)) return;  // also refuses NaN
  std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<std::int64_t>(milliseconds)));
}

void UT_ISWAP(std::int32_t& i1, std::int32_t& i2, std::int32_t& status) {
  if (st_bad(status, "Subroutine UT_ISWAP V0.1 ")) return;
  const std::int32_t keep = i1;
  i1 = i2;
  i2 = keep;
}

bool UT_BIG_ENDIAN(std::int32_t& /*status*/) {
  const unsigned char bytes[4] = {1, 0, 0, 0};
  std::int32_t value = 0;
  std::memcpy(&value, bytes, sizeof value);
  return value != 1;
}
