// The volume info file: four lines that give the dimensions of the headerless slice file.
#include <cstdio>
#include <string>

#include "rav_drivers.h"
#include "ut.h"

bool rav_write_info(const std::string& file_name, std::int32_t NUM_X, std::int32_t NUM_Y,
                    std::int32_t NUM_Z, std::int32_t& status) {
  constexpr std::int32_t kUnit = 10;
  std::int32_t retstat = 0;
  UT_OPEN_ASCIIFILE(false, "WRITE", kUnit, file_name, retstat, status);
  if (status != ST_OK) return true;
  if (retstat != 0) return false;
  UT_WRITE_FILE(kUnit, "! RAV_VUZAV VOLUME INFO FILE", status);
  UT_WRITE_FILE(kUnit, "NUM_X = " + ut_fmt_int(NUM_X, 8), status);
  UT_WRITE_FILE(kUnit, "NUM_Y = " + ut_fmt_int(NUM_Y, 8), status);
  UT_WRITE_FILE(kUnit, "NUM_Z = " + ut_fmt_int(NUM_Z, 8), status);
  if (status != ST_OK) {
    // A write failed (the failure is reported): a partial info file would misdescribe the
    // volume, so none is left.
    std::int32_t local = ST_OK;
    UT_CLOSE_ASCIIFILE(kUnit, local);
    std::remove(file_name.c_str());
    return true;
  }
  UT_CLOSE_ASCIIFILE(kUnit, status);
  return true;
}

void RAV_OUTPUT_INFO(std::string_view output_file, std::int32_t NUM_X, std::int32_t NUM_Y,
                     std::int32_t NUM_Z, std::int32_t& status) {
  if (st_bad(status, "Subroutine RAV_OUTPUT_INFO V0.1 ")) return;
  const std::string name = std::string(output_file.substr(0, SLEN(output_file))) + ".info";
  if (!rav_write_info(name, NUM_X, NUM_Y, NUM_Z, status)) {
    // The slice file is complete without it, but other programs need it to read the volume.
    UT_WRITE("WARNING: The volume info file could not be written: " + name, status);
  }
}
