#include <cstdio>
#include <cstdlib>
#include <string>

#include "rav_drivers.h"
#include "rav_mpi.h"
#include "ut.h"

namespace {

// Opens the file (cut to nothing unless KEEP), or ends the process with the drivers' message.
void open_or_end(SliceFile& out, std::string_view output_file, std::int32_t NUM_X,
                 std::int32_t NUM_Y, bool keep, std::int32_t& status) {
  if (status != ST_OK) return;
  std::int32_t bytes_per_unit = 1;
  UT_RECL(bytes_per_unit, status);
  // Records are NUM_X x NUM_Y floats; the record-length unit only matters to record-oriented
  // file systems, the file itself is a plain byte stream.
  const std::int64_t record_bytes = std::int64_t{NUM_X} * NUM_Y * 4;
  const std::string name(output_file.substr(0, SLEN(output_file)));
  int error_number = 0;
  if (!slice_file_open(out, name, record_bytes, error_number, keep)) {
    UT_WRITE("ERROR: Problem openning output file", status);
    UT_WRITE("       " + name, status);
    std::printf("retstat = %s\n", ut_fmt_int(error_number, 6).c_str());
    std::fflush(stdout);
    std::exit(1);
  }
  // The info file of an older run would describe the cut file, and stay beside it if this run
  // stops before the end: it goes now and is written again when the volume is complete.
  std::remove((name + ".info").c_str());
}

}  // namespace

void rav_open_output(SliceFile& out, std::string_view output_file, std::int32_t NUM_X,
                     std::int32_t NUM_Y, std::int32_t& status) {
  open_or_end(out, output_file, NUM_X, NUM_Y, false, status);
}

bool rav_open_slab_output(SliceFile& out, std::string_view output_file, std::int32_t NUM_X,
                          std::int32_t NUM_Y, bool has_slices, std::int32_t& status) {
  // Rank 0 (which always has slices) cuts an older file before any other rank writes a record;
  // the vote keeps the others waiting until then.
  if (rav_mpi_is_root()) open_or_end(out, output_file, NUM_X, NUM_Y, false, status);
  const bool go = rav_mpi_vote(status == ST_OK);
  if (go && has_slices && !rav_mpi_is_root()) {
    open_or_end(out, output_file, NUM_X, NUM_Y, true, status);
  }
  if (!go && out.file != nullptr) slice_file_close(out);
  return go;
}
