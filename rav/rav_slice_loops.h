// The slice loops of a pass and what they share with the drivers: the time accumulators, the
// output slice file and the description of a pass.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

// Seconds spent, only ever added to. "CPU" values are differences of the processor clock,
// "ELAPSE" values of the time of day (UT_TIMES).
struct ReconTimes {
  float CPU_INPUT = 0.0f, ELAPSE_INPUT = 0.0f;                    // reading projection images
  float CPU_SINOGRAMS = 0.0f, ELAPSE_SINOGRAMS = 0.0f;            // correcting and storing
  float CPU_RECONSTRUCTION = 0.0f, ELAPSE_RECONSTRUCTION = 0.0f;  // filtering and back-projection
  float CPU_OUTPUT = 0.0f, ELAPSE_OUTPUT = 0.0f;                  // writing slices
};

// The output slice file: headerless fixed-length records of NUM_X x NUM_Y little-endian floats,
// record 1 first. Opening truncates an older file of the same name, so the file always ends with
// the records written.
struct SliceFile {
  std::FILE* file = nullptr;
  std::string name;
  std::int64_t record_bytes = 0;
};
// Opens NAME for records of RECORD_BYTES bytes; on failure returns false with the system's
// error number in ERROR_NUMBER.
bool slice_file_open(SliceFile& out, const std::string& name, std::int64_t record_bytes,
                     int& error_number);
// Writes SLICE as record RECORD (from 1). A record that cannot be written is fatal: an
// "ERROR: " line and the end of the process with exit code 1.
void slice_file_write(SliceFile& out, std::int32_t record, std::span<const float> slice);
// Closes the file; a failed close (data not reaching the disk) is fatal like a failed write.
void slice_file_close(SliceFile& out);

// One pass of slices as the driver hands it to the slice loops.
struct SlicePass {
  bool DISPLAY_GRAPHICS = false;
  std::int32_t METHOD = 0;  // OVERSAMPLING_FACTOR: 0 linear, 1 nearest, 2 or more oversampled
  std::int32_t X_START = 1, Y_START = 1, NUM_X = 0, NUM_Y = 0;
  bool TWO_SLICES = false, MULTI_PROCESSORS = false, FOUR_SLICES = false;
  float AXIS_POSITION = 0.0f, START_ANGLE = 0.0f, ANGLE_STEP = 0.0f;
  std::int32_t FIRST_SLICE = 1, LAST_SLICE = 1;
  std::int32_t NUM_BINS = 0, NUM_PROJECTIONS = 0;
};

// The slice buffers of the driver, NUM_X x NUM_Y each; SLICE_2..SLICE_4 are empty when their
// mode is off.
struct SliceBuffers {
  std::vector<float> SLICE_1, SLICE_2, SLICE_3, SLICE_4;
};

// Reconstructs every slice of the pass from SINOGRAMS (NUM_BINS x NUM_PROJECTIONS per slice, at
// least as many sinograms as the last group reads) and writes them at NEXT_RECORD onwards.
void RAV_RECON_SLICES(const SlicePass& pass, std::span<float> SINOGRAMS, ReconTimes& times,
                      SliceBuffers& slices, SliceFile& out, std::int32_t& NEXT_RECORD,
                      std::int32_t& status);
void RAV_RECON_OVERSLICES(const SlicePass& pass, std::span<float> SINOGRAMS, ReconTimes& times,
                          SliceBuffers& slices, SliceFile& out, std::int32_t& NEXT_RECORD,
                          std::int32_t& status);
