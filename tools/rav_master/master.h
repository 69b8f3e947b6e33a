// rav_master, the companion program of rav_vuzav: from a scan folder to a checked parameter
// file (inspection, questions, the file), the check of a parameter file with an estimate of the
// run, and the sharing of a run among several workers (split and join).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "rav.h"

// ---------------------------------------------------------------------------------------------
// Command line.

struct MasterOptions {
  enum class Mode { INSPECT, CHECK, SPLIT, JOIN, HELP };
  Mode mode = Mode::INSPECT;
  std::string source;          // scan folder or pattern (inspect), parameter file (the others)
  std::int32_t parts = 0;      // --split N
  bool yes = false;            // take every default, ask nothing
  bool horizontal = false;     // rotation axis along the image's first axis
  // The values that are asked (empty: not given on the command line). Option names in
  // master_values.cpp.
  std::string prefix, background, flat, turn, angle_step, angle_offset, pixel_size, axis, method,
      slices, sinogram_mb, cache_kb, output, parameter_file;
};

// Reads ARGS (program name excluded); false with ERROR (without "ERROR: ") on a bad option.
bool master_parse_options(const std::vector<std::string>& args, MasterOptions& options,
                          std::string& error);
// The --help text.
std::vector<std::string> master_help();

// ---------------------------------------------------------------------------------------------
// Images and numbered series.

// What an image header says. Reading it is the one place that knows the file formats.
struct MasterImageHeader {
  std::int32_t DIM_1 = -1, DIM_2 = -1;
  std::string pixel_type;   // "unsigned 16-bit", "32-bit float", ...
  bool big_endian = false;
  std::int64_t pixel_bytes = 0;  // bytes of one pixel
};
// Reads the header of image file NAME. False with PROBLEM (one line that names the file) when
// it cannot be opened, has no usable header, or is shorter than its pixels.
bool master_read_header(const std::string& name, MasterImageHeader& header, std::string& problem);

// A numbered series: PREFIX + number + POSTFIX for FIRST, FIRST + INTERVAL, ... LAST, the number
// written with LENGTH digits (leading zeros) or, when LENGTH_VARIES, with as many as it needs.
struct MasterSeries {
  std::string prefix, postfix;
  std::int32_t first = 0, last = 0, interval = 1;
  bool length_varies = false;
  std::int32_t length = 0;
  std::int32_t count() const { return (last - first) / interval + 1; }
  std::string name(std::int32_t number) const;
};

// What a scan folder holds: the projections, and a background and flat fields if any. The
// projections of an HDF5 file are its images 0 to N - 1 (PROJECTIONS.prefix is then the file).
struct MasterScan {
  MasterSeries projections;
  std::string background;                // empty: none
  std::string flat;                      // a single flat field (empty: none)
  std::optional<MasterSeries> flats;     // a changing flat field
  MasterImageHeader header;              // of the projections (all agree)
  std::string stack;                     // the HDF5 file holding every projection (empty: none)
  std::vector<double> theta;             // its angles in degrees, one per projection (or none)
};
// Finds the series of OPTIONS.source (a folder, a pattern, or a prefix; or an HDF5 file of the
// DataExchange layout, through master_find_hdf5_scan) and checks every image's header. False
// after "ERROR: " lines naming the file.
bool master_find_scan(const MasterOptions& options, MasterScan& scan);
// The scan of an HDF5 file FILE: the images of /exchange/data, the means of
// /exchange/data_dark and /exchange/data_white as background and flat field (unless the options
// name others, or none), the angles of /exchange/theta. False after an "ERROR: " line.
bool master_find_hdf5_scan(const MasterOptions& options, const std::string& file,
                           MasterScan& scan);

// ---------------------------------------------------------------------------------------------
// The parameter file.

// One line: "KEYWORD = VALUE ! COMMENT", or "! COMMENT" alone when KEYWORD is empty.
struct MasterLine {
  std::string keyword, value, comment;
};
using MasterLines = std::vector<MasterLine>;

// Sets KEYWORD's value (and comment, when given) in LINES, appending the line when missing.
void master_set(MasterLines& lines, const std::string& keyword, const std::string& value,
                const std::string& comment = {});
// The value of KEYWORD in LINES (empty when missing).
std::string master_value(const MasterLines& lines, const std::string& keyword);
// The values as the worker reads them (each line through its own parser).
ParameterSet master_parameters(const MasterLines& lines);
// The file's text, the header line first.
std::string master_text(const MasterLines& lines);
// Writes TEXT into FILE_NAME through a temporary file renamed into place; an earlier file of
// that name is kept as FILE_NAME~. False after an "ERROR: " line.
bool master_write_file(const std::string& file_name, const std::string& text, bool keep_earlier);

// The lines that the scan decides (series, sizes, background, flat fields, fixed choices).
MasterLines master_scan_lines(const MasterScan& scan, bool horizontal);

// The angle a scan covers from its projections: "360" when the projection in the middle of the
// series mirrors the first, "180" when the last one does, empty when they do not tell. P: the
// values of the scan's lines.
std::string master_guess_turn(const ParameterSet& p);
// The angular step in degrees of COUNT projections over TURN degrees: TURN / COUNT, or
// TURN / (COUNT - 1) when only that is a round number (the last projection ends the turn).
std::string master_step_text(double turn, std::int32_t count);
// The rotation axis found by the worker's finder from the projections of P (which has its
// angles and slices), as the text a parameter file holds; empty (after its messages) when the
// data do not decide it.
std::string master_find_axis(const ParameterSet& p);

// The lines of a scan with the values chosen (interactively or by the options).
bool master_choose(const MasterOptions& options, const MasterScan& scan, MasterLines& lines,
                   std::string& parameter_file);

// ---------------------------------------------------------------------------------------------
// The machine.

// Megabytes of memory available now (MemAvailable), 0 when unknown.
std::int64_t master_available_megabytes();
// Kilobytes of the processor's level-2 cache (the level-3 one without it), 0 when unknown.
std::int64_t master_cache_kilobytes();

// ---------------------------------------------------------------------------------------------
// The programs' modes. Each returns the exit code.

int master_inspect(const MasterOptions& options);
int master_check(const std::string& parameter_file);
int master_split(const std::string& parameter_file, std::int32_t parts);
int master_join(const std::string& parameter_file);

// Prints the estimate of memory per process and run time on this machine of the run of P
// (accepted by the worker's checks): the arrays the worker allocates, a timed reading of a few
// projections, a timed back-projection of a few slices of the run's size through the core, and a
// timed write. False when the sample cannot be read.
bool master_estimate(const ParameterSet& p);

// Samples the projections of P (a ParameterSet the worker accepts): COUNT projections from
// index FIRST (from 0) in steps of STEP, rows FIRST_SLICE to LAST_SLICE, read and corrected as a
// pass of the worker reads them. The sinograms (NUM_BINS x COUNT per slice) are returned.
std::vector<float> master_read_sample(const ParameterSet& p, std::int32_t first, std::int32_t step,
                                      std::int32_t count, std::int32_t FIRST_SLICE,
                                      std::int32_t LAST_SLICE);

// A program of this build (beside rav_master), or its bare name.
std::string master_program(const std::string& name);

// The names of the parts of a split run: FILE_partK.par and OUTPUT_FILE.partK (K from 1).
std::string master_part_file(const std::string& parameter_file, std::int32_t k);
std::string master_part_output(const std::string& output_file, std::int32_t k);
