// The slice loops of a pass and what they share with the drivers: the time accumulators, the
// output slice file and the description of a pass.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rav_numerics.h"

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
// Opens NAME for records of RECORD_BYTES bytes, created if needed and truncated unless KEEP (other
// processes of the run write into it too); on failure returns false with the system's error
// number in ERROR_NUMBER.
bool slice_file_open(SliceFile& out, const std::string& name, std::int64_t record_bytes,
                     int& error_number, bool keep = false);
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

// Reconstructs every slice of the pass from SINOGRAMS (NUM_BINS x NUM_PROJECTIONS per slice,
// sinogram k for slice FIRST_SLICE + k - 1) and writes them at NEXT_RECORD onwards, in ascending
// slice order, advancing NEXT_RECORD by the number of slices of the pass. Groups are taken one,
// two (RAV_RECON_SLICES with TWO_SLICES) or four at a time; the last group may reach up to three
// sinograms beyond the pass: the driver's storage (a multiple of four) normally holds them, and
// any that lie beyond SINOGRAMS are taken as zero (their slices are never written).
// RAV_RECON_SLICES filters the sinograms in place; RAV_RECON_OVERSLICES leaves them unchanged.
// Slice buffers needed by the grouping and still empty are allocated here.
void RAV_RECON_SLICES(const SlicePass& pass, std::span<float> SINOGRAMS, ReconTimes& times,
                      SliceBuffers& slices, SliceFile& out, std::int32_t& NEXT_RECORD,
                      std::int32_t& status);
void RAV_RECON_OVERSLICES(const SlicePass& pass, std::span<float> SINOGRAMS, ReconTimes& times,
                          SliceBuffers& slices, SliceFile& out, std::int32_t& NEXT_RECORD,
                          std::int32_t& status);

// ---------------------------------------------------------------------------------------------
// Oversampled reconstruction (OVERSAMPLING_FACTOR OV of 2 or more).
//
// Each filtered projection is resampled onto a grid OV times finer than the bins; element n
// (from 1) of OVERSAMPLED stands for detector coordinate 0.5 + (n - 1)/OV. The back-projection
// then takes, for every pixel, the fine sample at or just left of its projected position.
//
// Reference arithmetic, which faster kernels must reproduce bit for bit (all single precision):
//   theta of projection j (from 0): START_ANGLE for j = 0, else START_ANGLE + float(j)·ANGLE_STEP
//     (computed afresh for every projection, see rav_over_angle);
//   a = cos theta, b = sin theta, D = a·float(OV);
//   row start: u = ((float(i) - 0.5f) - A)·a - ((float(r) - 0.5f) - A)·b + A,
//              q = (u - 0.5f)·float(OV) + 0.99999f;
//   per pixel: SLICE(x, y) += OVERSAMPLED(int(q)), then q += D.
// A projection whose cos or sin is not finite adds nothing.

// Angle of projection J (counted from 0) in the oversampled back-projection.
float rav_over_angle(float START_ANGLE, float ANGLE_STEP, std::int64_t j);

// Linear resampling of one filtered projection (its NUM_BINS = PROJECTION.size() values) onto
// OVERSAMPLED (OV·NUM_BINS values): the bin centres keep their values, the OV - 1 samples
// between two centres are ((OV - m)·P(i) + m·P(i+1))·(1/OV), and the last OV samples repeat the
// last bin.
void rav_oversample_projection(std::span<const float> PROJECTION, std::int32_t OV,
                               std::span<float> OVERSAMPLED);

// Adds one oversampled projection taken at angle THETA to SLICE, pixel by pixel inside the
// limits of GEOMETRY (the reference loop). The two-slice form computes each position once for
// both slices and gives bitwise the slices of two one-slice calls.
void rav_backproject_1over(const RavGeometry& geometry, std::int32_t OV, float THETA,
                           std::span<const float> OVERSAMPLED, std::span<float> SLICE);
void rav_backproject_over(const RavGeometry& geometry, std::int32_t OV, float THETA,
                          std::span<const float> OVERSAMPLED_1,
                          std::span<const float> OVERSAMPLED_2, std::span<float> SLICE_1,
                          std::span<float> SLICE_2);

// Values of each OVERSAMPLED array that the slice loops allocate: OV·NUM_BINS for the reference
// loops, a batch of several projections for the fast kernels (RAV_RECON_1OVER and RAV_RECON_OVER
// fill as many resampled projections as the arrays hold before they add them to the slices; with
// room for only a few they use the reference loop, one projection at a time). Callers that want
// the fast kernels size their OVERSAMPLED arrays with this.
std::int64_t rav_over_work_values(std::int32_t OV, std::int32_t NUM_BINS);
// The entry of a batch of resampled projections for angle THETA: false when its cosine or sine
// is not finite, so that it adds nothing.
struct RavKernelProjection;
bool rav_over_batch_entry(float THETA, RavKernelProjection& entry);

// The body of RAV_RECON_1OVER (NS = 1, the second element of each array unused) and
// RAV_RECON_OVER (NS = 2); ROUTINE is recorded with the argument errors.
void rav_recon_over_slices(const RavGeometry& geometry, std::int32_t OV,
                           const RavFilterSet& filter, int NS,
                           const std::array<std::span<const float>, 2>& SINOGRAMS,
                           const std::array<std::span<float>, 2>& SLICES,
                           const std::array<std::span<float>, 2>& OVERSAMPLED,
                           const std::array<std::span<float>, 2>& WORK, std::int32_t& status,
                           std::string_view routine);

// Reconstructs one slice from SINOGRAM (left unchanged): SLICE is zeroed, then every projection
// is filtered into WORK (NFFT values), resampled into OVERSAMPLED (OV·NUM_BINS values) and
// back-projected. Errors: those of the transforms (the slice is then incomplete); 20017 for an
// OV below 1, 20005 for an array shorter than its size above (nothing is done then).
void RAV_RECON_1OVER(const RavGeometry& geometry, std::int32_t OV, const RavFilterSet& filter,
                     std::span<const float> SINOGRAM, std::span<float> SLICE,
                     std::span<float> OVERSAMPLED, std::span<float> WORK, std::int32_t& status);
// The same for two sinograms at once, sharing the position computations; gives bitwise the
// slices of two RAV_RECON_1OVER calls.
void RAV_RECON_OVER(const RavGeometry& geometry, std::int32_t OV, const RavFilterSet& filter,
                    std::span<const float> SINOGRAM_1, std::span<const float> SINOGRAM_2,
                    std::span<float> SLICE_1, std::span<float> SLICE_2,
                    std::span<float> OVERSAMPLED_1, std::span<float> OVERSAMPLED_2,
                    std::span<float> WORK_1, std::span<float> WORK_2, std::int32_t& status);

// ---------------------------------------------------------------------------------------------
// What the two slice loops share (rav_recon_slices.cpp). Every group of slices is computed from
// its own sinograms, slice buffers and work arrays; the tables below are the only things the
// groups share, and they are only read once the slice loop has started.

// The read-only tables of a pass. GEOMETRY refers to X_STARTS and X_ENDS: do not copy.
struct SliceLoopTables {
  std::vector<std::int32_t> X_STARTS, X_ENDS;  // limits, one entry per local row
  std::vector<float> XAXIS, YAXIS;             // display axes, NUM_X and NUM_Y pixel centres
  RavFilterSet filter;                         // NFFT, FILTER, TWIDDLE
  RavGeometry geometry;                        // the pass's geometry with the limits
  SliceLoopTables() = default;
  SliceLoopTables(const SliceLoopTables&) = delete;
  SliceLoopTables& operator=(const SliceLoopTables&) = delete;
};
// Allocates X_STARTS, X_ENDS, XAXIS and YAXIS (each failure is fatal with its message) and
// performs the filter set-up (FILTER, TWIDDLE).
void rav_loop_tables(const SlicePass& pass, SliceLoopTables& tables, std::int32_t& status);
// Computes the limits, fills the axes and says "INFO: Fourier filter initialised".
void rav_loop_limits(const SlicePass& pass, SliceLoopTables& tables, std::int32_t& status);

// The sinograms a pass's groups read: sinogram k (from 1) of SINOGRAMS, or, for one that lies
// beyond the storage (read by the last group only, its slice never written), a zero sinogram.
// Storage for fewer sinograms than the slices of the pass is fatal ("ERROR: " line, exit 1).
class PassSinograms {
 public:
  // COUNT_READ: how many sinograms the groups read in all.
  PassSinograms(std::span<float> SINOGRAMS, const SlicePass& pass, std::int64_t count_read);
  std::span<float> operator()(std::int64_t k);

 private:
  std::span<float> all_;
  std::int64_t size_ = 0;  // values per sinogram
  std::vector<float> zero_;
};

// Makes sure BUFFER holds at least PIXELS values (allocating it with MESSAGE on failure).
void rav_loop_slice_buffer(std::vector<float>& buffer, std::int64_t pixels,
                           std::string_view message);
// "INFO: Reconstructing slice " with S in 5 columns and " (and onwards)".
void rav_loop_progress(std::int32_t s, std::int32_t& status);
// Shows SLICE (slice number S) in the graphics window, titled "Slice " with S in 6 columns.
void rav_loop_display(const SlicePass& pass, const SliceLoopTables& tables,
                      std::span<const float> SLICE, std::int32_t s, std::int32_t& status);
// UT_TIMES into ELAPSED and CPU (both 0 when the status is bad).
void rav_loop_clock(float& elapsed, float& cpu, std::int32_t& status);

// Threads the slice groups of a pass run on: the OpenMP runtime's count (OMP_NUM_THREADS, all
// cores by default), at most one per group.
int rav_loop_threads(std::int32_t groups);

// What one slice loop does with group G (from 0) on thread T (from 0), each thread with its own
// work arrays and slice buffers.
struct GroupSteps {
  // Progress line before the group, if its number calls for one.
  std::function<void(std::int32_t G, std::int32_t& status)> progress;
  // Reconstructs the group into thread T's slice buffers.
  std::function<void(int T, std::int32_t G, std::int32_t& status)> reconstruct;
  // Shows the group's first slice, if its number calls for it.
  std::function<void(int T, std::int32_t G, std::int32_t& status)> display;
  // Writes the group's slices as the next records.
  std::function<void(int T, std::int32_t G)> write;
};
// Runs GROUPS groups on THREADS threads. The console lines, the displays and the records come
// in ascending group order whatever the number of threads: with one thread in the order progress,
// reconstruct, display, write for each group; with several, the groups are reconstructed
// concurrently and each then takes its turn for progress line, display and records. A group
// reconstructs with the status the loop started with; a failure in it becomes the loop's status
// at the group's turn, as if the groups had run one after another. Adds the time spent to the
// reconstruction and output accumulators of TIMES (with several threads: the loop's time less
// that of the writes and displays as reconstruction time).
void rav_loop_groups(std::int32_t groups, int threads, const GroupSteps& steps, ReconTimes& times,
                     std::int32_t& status);
