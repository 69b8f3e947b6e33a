#include <cstdio>
#include <cstdlib>
#include <string>

#include "rav_drivers.h"
#include "ut.h"

void rav_open_output(SliceFile& out, std::string_view output_file, std::int32_t NUM_X,
                     std::int32_t NUM_Y, std::int32_t& status) {
  if (status != ST_OK) return;
  std::int32_t bytes_per_unit = 1;
  UT_RECL(bytes_per_unit, status);
  // Records are NUM_X x NUM_Y floats; the record-length unit only matters to record-oriented
  // file systems, the file itself is a plain byte stream.
  const std::int64_t record_bytes = std::int64_t{NUM_X} * NUM_Y * 4;
  const std::string name(output_file.substr(0, SLEN(output_file)));
  int error_number = 0;
  if (!slice_file_open(out, name, record_bytes, error_number)) {
    UT_WRITE("ERROR: Problem openning output file", status);
    UT_WRITE("       " + name, status);
    std::printf("retstat = %s\n", ut_fmt_int(error_number, 6).c_str());
    std::fflush(stdout);
    std::exit(1);
  }
}
