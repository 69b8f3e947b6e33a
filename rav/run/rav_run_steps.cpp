// The steps both drivers take around their slices: the parameter checks, the output slice file
// of the run's ranks, and the end of the run with its timing report and volume info file.
#include <cstdio>
#include <string>

#include "rav_drivers.h"
#include "rav_input_output.h"
#include "ut.h"

bool rav_run_usable(const ParameterSet& parameters, bool from_sinograms, std::string_view routine,
                    std::int32_t& status) {
  // Every rank checks the same parameters; the vote makes all of them stop together.
  const bool usable = RAV_CHECK_PARAMETERS(parameters, from_sinograms, status);
  if (!usable) ST_SAVE(routine);
  return rav_mpi_vote(usable);
}

namespace {

// Opens the file (cut to nothing unless KEEP), or ends the run with the drivers' message. The
// info file of an older run would describe the cut file, and stay beside it if this run stops
// before the end: it goes now and is written again when the volume is complete.
void open_or_end(SliceFile& out, const std::string& OUTPUT_FILE, std::int32_t NUM_X,
                 std::int32_t NUM_Y, bool keep, std::int32_t& status) {
  if (status != ST_OK) return;
  std::int32_t bytes_per_unit = 1;
  UT_RECL(bytes_per_unit, status);
  // Records are NUM_X x NUM_Y floats; the record-length unit only matters to record-oriented
  // file systems, the file itself is a plain byte stream.
  const std::int64_t record_bytes = std::int64_t{NUM_X} * NUM_Y * 4;
  const std::string name = OUTPUT_FILE.substr(0, static_cast<std::size_t>(SLEN(OUTPUT_FILE)));
  int error_number = 0;
  if (!out.open(name, record_bytes, error_number, keep)) {
    throw RavFatalError("ERROR: Problem openning output file\n       " + name + "\nretstat = " +
                        ut_fmt_int(error_number, 6));
  }
  if (!keep) std::remove((name + ".info").c_str());
  if (!keep) std::remove((name + ".mhd").c_str());
}

void print_minutes(const char* label, double seconds, int width) {
  std::printf("%s%s minutes\n", label,
              ut_fmt_real(static_cast<float>(seconds) * 0.016666668F, width, 2).c_str());
}

}  // namespace

bool rav_open_output(SliceFile& out, const std::string& OUTPUT_FILE, std::int32_t NUM_X,
                     std::int32_t NUM_Y, bool has_slices, std::int32_t& status) {
  // Rank 0 (which always has slices) cuts an older file before any other rank writes a record;
  // the vote keeps the others waiting until then.
  if (rav_mpi_is_root()) open_or_end(out, OUTPUT_FILE, NUM_X, NUM_Y, false, status);
  const bool go = rav_mpi_vote(status == ST_OK);
  if (go && has_slices && !rav_mpi_is_root()) {
    open_or_end(out, OUTPUT_FILE, NUM_X, NUM_Y, true, status);
  }
  if (!go) rav_close_output(out);
  return go;
}

void rav_close_output(SliceFile& out) {
  const std::string failure = out.close();
  if (!failure.empty()) throw RavFatalError(failure);
}

void rav_finish_run(const RunReport& report, bool info, const std::string& OUTPUT_FILE,
                    std::int32_t NUM_X, std::int32_t NUM_Y, std::int64_t SLICES_HERE,
                    std::int32_t& status) {
  float elapsed_total = 0.0F, cpu_total = 0.0F;
  report.start.add_since(elapsed_total, cpu_total, status);
  // Every rank has finished its slab.
  const bool all_done = rav_mpi_vote(status == ST_OK);
  const ReconTimes& t = report.times;
  double sums[] = {cpu_total, t.CPU_INPUT, t.CPU_SINOGRAMS, t.CPU_RECONSTRUCTION, t.CPU_OUTPUT,
                   static_cast<double>(SLICES_HERE)};
  double maxima[] = {elapsed_total, t.ELAPSE_INPUT, t.ELAPSE_SINOGRAMS, t.ELAPSE_RECONSTRUCTION,
                     t.ELAPSE_OUTPUT};
  rav_mpi_sum(sums);
  rav_mpi_max(maxima);
  // A failure on another rank leaves this one's status good, but the volume incomplete.
  if ((!all_done && status == ST_OK) || !rav_mpi_is_root()) return;
  if (status == ST_OK) {
    std::printf(" \nTiming Information\n");
    print_minutes("Total CPU time = ", sums[0], 10);
    print_minutes("Total elapse time = ", maxima[0], 10);
  }
  if (status == ST_OK && report.full) {
    print_minutes("CPU time for input = ", sums[1], 8);
    print_minutes("Elapse time for input = ", maxima[1], 8);
    print_minutes("CPU time for creating sinograms = ", sums[2], 8);
    print_minutes("Elapse time for creating sinograms = ", maxima[2], 8);
    print_minutes("CPU time for sinogram reconstruction = ", sums[3], 10);
    print_minutes("Elapse time for sinogram reconstruction = ", maxima[3], 10);
    print_minutes("CPU time for output = ", sums[4], 8);
    print_minutes("Elapse time for output = ", maxima[4], 8);
    // The elapsed clock counts whole seconds: a run shorter than one has no elapsed time.
    const auto total = static_cast<float>(maxima[0]);
    const float percentage =
        total > 0.0F ? 100.0F * static_cast<float>(maxima[3]) / total : 0.0F;
    std::printf(" \nPercentage of elapse time for reconstructing sinograms = %s%%\n",
                ut_fmt_real(percentage, 6, 2).c_str());
  }
  if (info) RAV_OUTPUT_INFO(OUTPUT_FILE, NUM_X, NUM_Y, static_cast<std::int32_t>(sums[5]), status);
  if (info && report.header) {
    rav_describe_volume(OUTPUT_FILE, *report.header, static_cast<std::int32_t>(sums[5]), status);
  }
}
