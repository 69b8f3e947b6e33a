// rav_master FOLDER: the scan inspected, the values chosen, the parameter file checked by the
// worker's own routines and written.
#include "master.h"
#include "rav_drivers.h"
#include "ut.h"

namespace {
void message(const std::string& line) {
  std::int32_t status = ST_OK;
  UT_WRITE(line, status);
}

// A changing flat field is changed every FF_FILE_INTERVAL projections, its numbers counted in
// projections: a series numbered otherwise would be spread wrongly over the scan.
void check_flat_numbers(const MasterScan& scan) {
  if (!scan.flats) return;
  const MasterSeries& f = *scan.flats;
  const std::int32_t projections = scan.projections.count();
  if (f.last - f.first >= projections - 1 - f.interval) return;
  message("WARNING: The flat fields " + f.name(f.first) + " to " + f.name(f.last) +
          " are numbered over " + std::to_string(f.last - f.first) + " projections of " +
          std::to_string(projections) + ": the worker takes a flat field's number as the");
  message("         projection it was taken before (FF_FILE_INTERVAL projections apart); "
          "rename them or edit the FF_ values");
}
}  // namespace

int master_inspect(const MasterOptions& o) {
  MasterScan scan;
  if (!master_find_scan(o, scan)) return 1;
  check_flat_numbers(scan);
  MasterLines lines = master_scan_lines(scan, o.horizontal);
  std::string parameter_file;
  if (!master_choose(o, scan, lines, parameter_file)) return 1;
  ParameterSet p = master_parameters(lines);
  p.PARAMETER_FILE = parameter_file;
  std::int32_t status = ST_OK;
  if (!RAV_CHECK_PARAMETERS(p, false, status) || !rav_check_outputs(p, false, status)) {
    message("ERROR: No parameter file written");
    return 1;
  }
  if (!master_write_file(parameter_file, master_text(lines), true)) return 1;
  message("INFO: Parameter file written: " + parameter_file);
  message("INFO: Check it with: rav_master --check " + parameter_file);
  message("INFO: Reconstruct with: rav_vuzav " + parameter_file);
  return 0;
}
