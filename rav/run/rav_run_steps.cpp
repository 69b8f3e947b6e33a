// The steps both drivers take around their slices: the parameter checks, the output slice file
// of the run's ranks, and the end of the run with its timing report and volume info file.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "rav_drivers.h"
#include "rav_input_output.h"
#include "ut.h"

bool rav_run_usable(const ParameterSet& parameters, bool from_sinograms, std::string_view routine,
                    std::int32_t& status) {
  // Every rank checks the same parameters; the vote makes all of them stop together. Rank 0
  // alone looks at the files, for all of them (they must see the same files).
  bool usable = RAV_CHECK_PARAMETERS(parameters, from_sinograms, status);
  if (usable && rav_mpi_is_root()) usable = rav_check_outputs(parameters, from_sinograms, status);
  if (!usable) ST_SAVE(routine);
  return rav_mpi_vote(usable);
}

namespace {

std::string open_failure(const std::string& name, int error_number) {
  std::string message = "ERROR: Problem openning output file\n       " + name + "\nretstat = " +
                        ut_fmt_int(error_number, 6);
  if (error_number == EACCES || error_number == EPERM || error_number == EROFS) {
    message += "\n       The volume is written under a temporary name in the folder of the"
               "\n       output file and renamed when complete: that folder must be writable";
  }
  if (error_number == ENOTEMPTY || error_number == ENOTDIR) {
    message += "\n       OUTPUT_FORMAT = TIFF_SLICES writes a new folder of slices; it replaces"
               "\n       no file and no folder that holds anything: remove the earlier one, or"
               "\n       choose another OUTPUT_FILE";
  }
  return message;
}

// The name of OUTPUT_FILE as the run uses it.
std::string output_name(const std::string& OUTPUT_FILE) {
  return OUTPUT_FILE.substr(0, static_cast<std::size_t>(SLEN(OUTPUT_FILE)));
}

void print_minutes(const char* label, double seconds, int width) {
  std::printf("%s%s minutes\n", label,
              ut_fmt_real(static_cast<float>(seconds) * 0.016666668F, width, 2).c_str());
}

}  // namespace

void rav_create_output(SafeOutput& out, const std::string& OUTPUT_FILE,
                       std::int64_t record_bytes, std::int32_t& status) {
  if (status != ST_OK) return;
  std::int32_t bytes_per_unit = 1;
  UT_RECL(bytes_per_unit, status);
  const std::string name = output_name(OUTPUT_FILE);
  int error_number = 0;
  long holder = 0;
  const SafeOutput::Opened opened = out.create(name, record_bytes, error_number, holder);
  if (opened == SafeOutput::Opened::LOCKED) {
    throw RavFatalError("ERROR: Another run is writing the output file " + name +
                        (holder > 0 ? " (process " + std::to_string(holder) + ")" : "") +
                        "\n       Wait for it to end, or choose another OUTPUT_FILE");
  }
  if (opened == SafeOutput::Opened::NO) throw RavFatalError(open_failure(name, error_number));
  // Written in place (a device): the info file of an earlier volume under this name does not
  // describe what is written now.
  if (out.temporary().empty()) {
    std::remove((name + ".info").c_str());
    std::remove((name + ".mhd").c_str());
  }
}

bool rav_open_output(SafeOutput& out, const std::string& OUTPUT_FILE, std::int32_t NUM_X,
                     std::int32_t NUM_Y, bool has_slices, std::int32_t& status) {
  // Records are NUM_X x NUM_Y floats; the record-length unit only matters to record-oriented
  // file systems, the file itself is a plain byte stream.
  const std::int64_t record_bytes = std::int64_t{NUM_X} * NUM_Y * 4;
  // Rank 0 (which always has slices) creates the file before any other rank writes a record;
  // the vote keeps the others waiting until then, and then they learn its name.
  if (rav_mpi_is_root()) rav_create_output(out, OUTPUT_FILE, record_bytes, status);
  const bool go = rav_mpi_vote(status == ST_OK);
  if (!go) return false;
  std::string temporary = out.temporary();
  rav_mpi_share(temporary);
  if (has_slices && !rav_mpi_is_root()) {
    const std::string name = output_name(OUTPUT_FILE);
    int error_number = 0;
    if (!out.join(name, temporary, record_bytes, error_number)) {
      throw RavFatalError(open_failure(name, error_number));
    }
  }
  return true;
}

void rav_close_output(SafeOutput& out) {
  const std::string failure = out.close();
  if (!failure.empty()) throw RavFatalError(failure);
}

void rav_complete_volume(SafeOutput& out, const std::string& OUTPUT_FILE, std::int32_t NUM_X,
                         std::int32_t NUM_Y, std::int64_t NUM_Z,
                         const std::optional<RavVolumeGeometry>& header, std::int32_t& status) {
  const auto z = static_cast<std::int32_t>(NUM_Z);
  if (out.temporary().empty()) {
    // Written in place (a device): the info file as it goes.
    RAV_OUTPUT_INFO(OUTPUT_FILE, NUM_X, NUM_Y, z, status);
    return;
  }
  // Nothing is written into a folder that is no longer the output's.
  if (const std::string changed = out.check_unchanged(); !changed.empty()) {
    throw RavFatalError(changed);
  }
  if (!rav_write_info(out.temporary_info(), NUM_X, NUM_Y, z, status)) {
    throw RavFatalError("ERROR: The volume info file could not be written: " + out.name() +
                        ".info\n       " + std::strerror(ut_open_error()) +
                        "; the volume was not written");
  }
  if (status != ST_OK) return;  // a write failed (reported): the volume is not put in place
  if (header) rav_describe_volume(out.temporary_header(), out.name(), *header, z, status);
  const std::string failure = out.commit();
  if (!failure.empty()) throw RavFatalError(failure);
}

void rav_finish_run(const RunReport& report, SafeOutput* out, const std::string& OUTPUT_FILE,
                    std::int32_t NUM_X, std::int32_t NUM_Y, std::int32_t& status) {
  float elapsed_total = 0.0F, cpu_total = 0.0F;
  report.start.add_since(elapsed_total, cpu_total, status);
  // Every rank has finished its slab.
  const bool all_done = rav_mpi_vote(status == ST_OK);
  const ReconTimes& t = report.times;
  double sums[] = {cpu_total,         t.CPU_INPUT,  t.CPU_SINOGRAMS,
                   t.CPU_RECONSTRUCTION, t.CPU_OUTPUT, static_cast<double>(report.slices),
                   static_cast<double>(report.slices_from_input)};
  double maxima[] = {elapsed_total, t.ELAPSE_INPUT, t.ELAPSE_SINOGRAMS, t.ELAPSE_RECONSTRUCTION,
                     t.ELAPSE_OUTPUT};
  rav_mpi_sum(sums);
  rav_mpi_max(maxima);
  // A failure on another rank leaves this one's status good, but the volume incomplete: it is
  // not put in place, and the temporary file goes with the rank that created it.
  if (!all_done || status != ST_OK) return;
  if (!rav_mpi_is_root()) {
    if (out != nullptr) out->hand_over();
    return;
  }
  if (sums[5] > 0 && sums[6] == 0) {
    throw RavFatalError("ERROR: None of the " + std::to_string(static_cast<std::int64_t>(sums[5])) +
                        " slices had an input that could be read: no volume is written");
  }
  if (out != nullptr) {
    rav_complete_volume(*out, OUTPUT_FILE, NUM_X, NUM_Y, static_cast<std::int64_t>(sums[5]),
                        report.header, status);
  }
  if (status != ST_OK) return;
  std::printf(" \nTiming Information\n");
  print_minutes("Total CPU time = ", sums[0], 10);
  print_minutes("Total elapse time = ", maxima[0], 10);
  if (!report.full) return;
  print_minutes("CPU time for input = ", sums[1], 8);
  print_minutes("Elapse time for input = ", maxima[1], 8);
  print_minutes("CPU time for creating sinograms = ", sums[2], 8);
  print_minutes("Elapse time for creating sinograms = ", maxima[2], 8);
  print_minutes("CPU time for sinogram reconstruction = ", sums[3], 10);
  print_minutes("Elapse time for sinogram reconstruction = ", maxima[3], 10);
  print_minutes("CPU time for output = ", sums[4], 8);
  print_minutes("Elapse time for output = ", maxima[4], 8);
  const auto total = static_cast<float>(maxima[0]);
  const float percentage = total > 0.0F ? 100.0F * static_cast<float>(maxima[3]) / total : 0.0F;
  std::printf(" \nPercentage of elapse time for reconstructing sinograms = %s%%\n",
              ut_fmt_real(percentage, 6, 2).c_str());
}
