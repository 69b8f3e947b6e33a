// What the two reconstruction drivers share: the parameter checks, the plan of a run, the output
// slice file of the run's ranks, the timing report, and the sinogram assembly of a pass.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rav.h"
#include "rav_mpi.h"
#include "rav_safe_output.h"
#include "rav_slice_loops.h"

// The number of processors the slice loops run on: the threads of the OpenMP runtime
// (OMP_NUM_THREADS when it is set).
void RAV_NUM_PROCESSORS(std::int32_t& count, std::int32_t& status);

// Refuses parameters that cannot describe a run (sizes below 1, an interval of 0, an empty
// voxel range, a negative method, a pixel size not above 0, an axis leaving no reconstruction
// circle, a sinogram budget too small for one sinogram) with one "ERROR: " line naming the
// keyword and its value. Returns false after such a line; nothing has been allocated or
// written then. FROM_SINOGRAMS selects the checks of a run from stored sinograms.
bool RAV_CHECK_PARAMETERS(const ParameterSet& parameters, bool from_sinograms,
                          std::int32_t& status);

// Refuses (one "ERROR: " line and its remedy, status 1010) a run whose outputs (the output file,
// its info and lock files, the sinogram files) include one of its inputs (the parameter file,
// the projections or stored sinograms, the background, the flat fields) or one another.
// Nothing has been written then.
bool rav_check_outputs(const ParameterSet& parameters, bool from_sinograms, std::int32_t& status);

// The checks of a driver, by every rank of the run: false (ROUTINE recorded when this rank's
// parameters were refused) when some rank cannot go on.
bool rav_run_usable(const ParameterSet& parameters, bool from_sinograms, std::string_view routine,
                    std::int32_t& status);

// Creates the output of a run (the lock of OUTPUT_FILE and the temporary file beside it, for
// records of RECORD_BYTES), or ends the run with the drivers' message (RavFatalError). An
// earlier volume and its info file stay as they are until the new volume is complete.
void rav_create_output(SafeOutput& out, const std::string& OUTPUT_FILE, std::int64_t record_bytes,
                       std::int32_t& status);
// Completes the volume of NUM_Z slices written into OUT: its info file (and the MetaImage
// header HEADER of a raw volume), then the renaming into place; a volume written in place (a
// device) gets its info file only. Nothing is put in place after a failed write (STATUS bad);
// a folder or file replaced during the run, or a failed rename, ends the run (RavFatalError).
void rav_complete_volume(SafeOutput& out, const std::string& OUTPUT_FILE, std::int32_t NUM_X,
                         std::int32_t NUM_Y, std::int64_t NUM_Z,
                         const std::optional<RavVolumeGeometry>& header, std::int32_t& status);
// The output slice file of a run for slices of NUM_X x NUM_Y, written under a temporary name
// beside OUTPUT_FILE: rank 0 takes the lock of OUTPUT_FILE and creates the file, and only then
// do the other ranks with slices open it to write their records into it. Returns false when
// some rank cannot go on. A file that cannot be created, or an output file that another run is
// writing, ends the run with the drivers' message (RavFatalError).
bool rav_open_output(SafeOutput& out, const std::string& OUTPUT_FILE, std::int32_t NUM_X,
                     std::int32_t NUM_Y, bool has_slices, std::int32_t& status);
// Closes the output slice file; a failed close ends the run (RavFatalError).
void rav_close_output(SafeOutput& out);

// The end of a run on every rank, after the output file is closed: the vote on the status,
// then on rank 0, unless another rank failed and when the status is good, the volume put in
// place (with OUT: its info file written, then both renamed over the earlier ones) and the
// timing report over all ranks since START (processor times summed, elapsed times of the
// slowest rank; with FULL the times of TIMES too, otherwise only the two total lines). A run
// whose SLICES (over every rank) had no input that could be read, or whose volume cannot be
// put in place, ends with an error (RavFatalError); nothing of an earlier volume is lost.
struct RunReport {
  RunClock start;
  ReconTimes times;
  bool full = true;
  std::int64_t slices = 0;             // slices written by this rank
  std::int64_t slices_from_input = 0;  // of these, slices whose input could be read
  // Output formats: the geometry of a raw volume, for its MetaImage header beside the info file.
  std::optional<RavVolumeGeometry> header = std::nullopt;
};
void rav_finish_run(const RunReport& report, SafeOutput* out, const std::string& OUTPUT_FILE,
                    std::int32_t NUM_X, std::int32_t NUM_Y, std::int32_t& status);

// The image arrays of a pass, DATA_DIM_1 x DATA_DIM_2 each; the background and flat-field
// arrays are empty when not used.
struct ImageBuffers {
  std::vector<float> IMAGE_DATA, BACKGROUND_DATA, FLATFIELD_DATA, FLATFIELD2_DATA;
};

// The block of slices of one pass and the sizes that go with it.
struct SinogramPass {
  std::int32_t FIRST_SLICE = 1, LAST_SLICE = 1;
  std::int32_t DATA_DIM_1 = 0, DATA_DIM_2 = 0;
  std::int32_t NUM_BINS = 0, NUM_PROJECTIONS = 0, SLICES_PER_PASS = 0;
  // Input formats: each projection's weight when an HDF5 file's angles are not evenly spaced
  // (empty: every projection weighs 1).
  std::vector<float> PROJECTION_WEIGHTS;
};

// Reads the pass's rows (or columns) of every projection, corrects them and stores sinogram k
// of SINOGRAMS for slice FIRST_SLICE + k - 1. An unreadable background or flat field ends the
// run (RavFatalError).
void RAV_CREATE_SINOGRAMS(const ParameterSet& parameters, const SinogramPass& pass,
                          ReconTimes& times, ImageBuffers& images, std::span<float> SINOGRAMS,
                          std::int32_t& status);

// "WARNING: Problem inputting from", then NAME and, when the file could not be OPENED, the
// system's reason ("No such file or directory", "Permission denied"), whatever the status.
void rav_input_warning(const std::string& name, bool opened);

// Writes OUTPUT_FILE".info", the four lines that describe the volume (a warning when it cannot
// be created).
void RAV_OUTPUT_INFO(std::string_view output_file, std::int32_t NUM_X, std::int32_t NUM_Y,
                     std::int32_t NUM_Z, std::int32_t& status);
// Writes the four lines into FILE_NAME; false when the file cannot be created (ut_open_error()
// says why). A line that cannot be written is reported, sets the status and leaves no file.
bool rav_write_info(const std::string& file_name, std::int32_t NUM_X, std::int32_t NUM_Y,
                    std::int32_t NUM_Z, std::int32_t& status);
