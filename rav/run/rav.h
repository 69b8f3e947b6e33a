// The program's own routines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A sweep of the rotation axis (AXIS_SWEEP = FIRST LAST STEP): trial axes FIRST, FIRST + STEP,
// ... up to LAST, in pixels like ROTATION_AXIS_POSITION.
struct AxisSweep {
  bool given = false;
  float FIRST = 0.0F, LAST = 0.0F, STEP = 0.0F;
};

// ---------------------------------------------------------------------------------------------
// The values of one parameter file. Every field is named after the keyword that sets it; the
// initialisers are the defaults a field keeps when the file does not set it. -1000000 marks a
// value the file is expected to supply (nothing tests for it). Angles are kept in radians and
// pixel sizes in metres (the file gives degrees and micrometres).
struct ParameterSet {
  // Projection series (also set by the SINOGRAM_ keywords for a run from stored sinograms).
  std::string FILE_PREFIX;                    // text 256; also SINOGRAM_PREFIX
  std::int32_t NUM_FIRST_IMAGE = -1000000;    // also NUM_FIRST_SINOGRAM
  std::int32_t NUM_LAST_IMAGE = -1000000;     // also NUM_LAST_SINOGRAM
  std::int32_t FILE_INTERVAL = -1000000;      // also SINOGRAM_INTERVAL
  bool NUMBER_LENGTH_VARIES = false;
  std::int32_t LENGTH_OF_NUMERICAL_PART = 0;
  std::string FILE_POSTFIX;                   // text 80; also SINOGRAM_POSTFIX
  std::int32_t NUM_IMAGE_1 = -1000000;
  std::int32_t NUM_IMAGE_2 = -1000000;
  float IMAGE_PIXEL_SIZE_1 = -1.0F;           // metres
  float IMAGE_PIXEL_SIZE_2 = -1.0F;           // metres

  // Background and flat field.
  bool SUBTRACT_BACKGROUND = false;
  std::string BACKGROUND_FILE;                // text 256
  bool CORRECT_FLATFIELD = false;
  bool FLATFIELD_CHANGING = false;
  std::string FLATFIELD_FILE;                 // text 256
  std::int32_t FF_NUM_FIRST_IMAGE = 0;
  std::int32_t FF_NUM_LAST_IMAGE = 900;
  std::int32_t FF_FILE_INTERVAL = 100;
  std::string FF_PREFIX;                      // text 256
  bool FF_NUMBER_LENGTH_VARIES = false;
  std::int32_t FF_LENGTH_OF_NUMERICAL_PART = 4;
  std::string FF_POSTFIX;                     // text 80

  // Reconstruction and output.
  bool TAKE_LOGARITHM = true;
  float ANGLE_OFFSET = 0.0F;                  // radians
  float ANGLE_BETWEEN_PROJECTIONS = -1000000.0F;  // radians
  bool ROTATION_VERTICAL = true;
  bool OUTPUT_SINOGRAMS = false;
  bool OUTPUT_RECONSTRUCTION = true;
  float ROTATION_AXIS_POSITION = -1000000.0F; // pixels from the edge of the first pixel
  std::int32_t OVERSAMPLING_FACTOR = -1000000;
  std::int32_t CACHE_KILOBYTES = 4096;
  std::int32_t SINOGRAM_MEGABYTES = 800;
  std::string OUTPUT_FILE;                    // text 256
  bool DISPLAY_GRAPHICS = false;
  std::int32_t START_VOXEL_1 = -1000000;
  std::int32_t START_VOXEL_2 = -1000000;
  std::int32_t START_VOXEL_3 = -1000000;
  std::int32_t END_VOXEL_1 = -1000000;
  std::int32_t END_VOXEL_2 = -1000000;
  std::int32_t END_VOXEL_3 = -1000000;
  bool RECONSTRUCT_FROM_SINOGRAMS = false;

  // Safe runs: the parameter file these values were read from (set by RAV_READ_PARAMETERS, not
  // a keyword), so that no output of the run can be written over it.
  std::string PARAMETER_FILE;

  // The rotation axis: found automatically, swept, half acquisition.
  bool ROTATION_AXIS_AUTO = false;            // ROTATION_AXIS_POSITION = AUTO
  AxisSweep AXIS_SWEEP;                       // one slice per trial axis instead of the volume
  bool HALF_ACQUISITION = false;              // 360 degrees, axis off centre: halves joined
};

// Declared lengths of the text fields: longer values are cut to them.
constexpr std::size_t RAV_LONG_TEXT = 256;   // file names and prefixes
constexpr std::size_t RAV_SHORT_TEXT = 80;   // postfixes

// ---------------------------------------------------------------------------------------------
// The whole run: banner, parameter file, reconstruction, status report. Returns the exit code:
// 0 when the run did what was asked, 1 when the status is bad at the end or the parameter file
// could not be used, 2 after the usage text.
int RAV_VUZAV(int argc, char** argv);

// Reads the parameter file FILE_NAME into PARAMETERS. Fields the file does not set keep the
// values they had on entry. RETSTAT: 0 read and understood, 1 file not found or unreadable or a
// value not understood, 2 first line missing or not the header line (each reported with an
// "ERROR: " line).
void RAV_READ_PARAMETERS(std::string_view file_name, std::int32_t& retstat,
                         ParameterSet& parameters, std::int32_t& status);

// Treats one parameter line "KEYWORD = VALUE": sets at most one field; sets RETSTAT to 1 (and
// reports it) when a value cannot be interpreted or is too long, or when tokens that are not a
// "!" comment follow it; never back to 0. An unknown keyword is reported with a warning.
void RAV_PARSE_LINE(std::string_view line, std::int32_t& retstat, ParameterSet& parameters,
                    std::int32_t& status);

// A whole reconstruction from projection images into the output slice file.
void RAV_RECONSTRUCTION(const ParameterSet& parameters, std::int32_t& status);

// A whole reconstruction from stored sinogram images into the output slice file.
void RAV_SINORECONSTRUCTION(const ParameterSet& parameters, std::int32_t& status);

// Safe runs: the descriptors 0 to 2 opened on /dev/null where they are closed (so that no file of
// the run takes their place) and standard output written a line at a time (so that a log of the
// run holds every line printed before it was stopped). Call first thing in main.
void rav_standard_streams();
