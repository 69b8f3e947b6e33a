// The reconstruction on arrays: the geometry of a slice block and its reconstruction limits, the
// projection filter as a plan, the back-projection by every method, and the reconstruction of
// slices from sinograms on the threads of the process. No parameter file, no console, no files:
// the program's drivers, the companion program and the Python module all call this.
//
// Arrays are spans of single-precision values. A sinogram is NUM_BINS x NUM_PROJECTIONS values,
// bin fastest (projection j is the run of NUM_BINS values from j·NUM_BINS); a slice is
// NUM_X x NUM_Y values, column fastest. Coordinates that callers see (bins, columns, rows) are
// 1-based and inclusive as in the rest of the program.
//
// Geometry: detector bin k covers [k-1, k]; slice pixel (i, r) (global column and row) has its
// centre at (i - 0.5, r - 0.5); the rotation axis is the point (A, A), A = AXIS_POSITION; a
// pixel centre projects at angle θ onto u = (i - 0.5 - A)·cos θ - (r - 0.5 - A)·sin θ + A.
//
// Running out of memory is reported by throwing RavFatalError with the program's message for the
// array concerned; nothing here ends the process.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------------------------
// Errors

// A failure that ends the run (an array that cannot be allocated): WHAT is the "ERROR: " line.
struct RavFatalError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// ---------------------------------------------------------------------------------------------
// Methods

// How a filtered projection's value at a pixel's position is found.
struct RavMethod {
  enum Kind {
    LINEAR,       // interpolated between the two bins whose centres enclose the position
    NEAREST,      // the bin that contains the position
    OVERSAMPLED,  // resampled onto a grid OV times finer than the bins, then nearest fine sample
  };
  Kind kind = LINEAR;
  std::int32_t OV = 1;  // fine samples per bin (OVERSAMPLED only)

  // The method that OVERSAMPLING_FACTOR selects: 0 linear, 1 nearest, OV >= 2 oversampled.
  // Negative factors are not methods: the caller refuses them first.
  static RavMethod from_factor(std::int32_t factor);
};

// ---------------------------------------------------------------------------------------------
// Geometry

// The projection angles, in radians.
struct RavAngles {
  // Projection j (from 0) at START_ANGLE + j·ANGLE_STEP: summed in double for the linear and
  // nearest methods, computed afresh in single precision for the oversampled one (the reference
  // arithmetic of each method).
  float START_ANGLE = 0.0f;
  float ANGLE_STEP = 0.0f;
  // When not empty, the angle of every projection instead (one per projection).
  std::vector<double> list;
};

// A block of a slice: columns X_START .. X_START + NUM_X - 1, rows Y_START .. Y_START + NUM_Y - 1
// (global, from 1).
struct RavBlock {
  std::int32_t X_START = 1, Y_START = 1;
  std::int32_t NUM_X = 0, NUM_Y = 0;
};

// Everything the reconstruction needs to know of where things are: sizes, axis, angles, the
// block, and the part of the block inside the reconstruction circle (the limits). Built by
// rav_geometry, never field by field.
struct RavGeometry {
  std::int32_t NUM_BINS = 0, NUM_PROJECTIONS = 0;
  float AXIS_POSITION = 0.0f;
  RavAngles angles;
  std::int32_t X_START = 1, Y_START = 1, NUM_X = 0, NUM_Y = 0;
  // Local rows FIRST_ROW .. LAST_ROW (from 1) hold pixels inside the circle; row y from column
  // X_STARTS[y - 1] to X_ENDS[y - 1] (local, from 1; empty when the end is below the start).
  // LAST_ROW < FIRST_ROW when no pixel of the block is inside.
  std::int32_t FIRST_ROW = 1, LAST_ROW = 0;
  std::vector<std::int32_t> X_STARTS, X_ENDS;

  std::int64_t pixels() const { return std::int64_t{NUM_X} * NUM_Y; }
  std::int64_t sinogram_values() const { return std::int64_t{NUM_BINS} * NUM_PROJECTIONS; }
};

// The geometry of BLOCK for sinograms of NUM_BINS x NUM_PROJECTIONS with the rotation axis at
// AXIS_POSITION, with the limits of the reconstruction circle: the circle about the axis that
// stays 0.501 inside both ends of the detector, truncated to whole pixels two inside its edge,
// so that no visited pixel reads outside a projection.
RavGeometry rav_geometry(std::int32_t NUM_BINS, std::int32_t NUM_PROJECTIONS, float AXIS_POSITION,
                         RavAngles angles, RavBlock block);

// What is wrong with arguments for rav_geometry, in one line, or an empty text when they can be
// used: sizes below 1, an angle list of the wrong length or with an angle that is not finite, an
// axis that leaves no reconstruction circle.
std::string rav_geometry_problem(std::int32_t NUM_BINS, std::int32_t NUM_PROJECTIONS,
                                 float AXIS_POSITION, const RavAngles& angles,
                                 const RavBlock& block);

// ---------------------------------------------------------------------------------------------
// Filter

// How projections are filtered. The default is the ramp sampled in the frequency domain (zero
// weight at the zero frequency), with no window and no padding beyond the transform's zeros:
// the plan's weights and results are then exactly those of the program's original filter.
struct RavFilterOptions {
  // The window that multiplies the ramp, a function of x = f / (cutoff · f_Nyquist) (f in
  // cycles per bin, f_Nyquist = 1/2), zero for x > 1:
  //   RAMP         1
  //   SHEPP_LOGAN  sin(πx/2) / (πx/2)
  //   COSINE       cos(πx/2)
  //   HAMMING      0.54 + 0.46·cos(πx)
  //   HANN         0.5 + 0.5·cos(πx)
  //   PARZEN       1 - 6x² + 6x³ for x <= 1/2, 2·(1 - x)³ above
  // In this order each passes less of the high frequencies than the one before, so less noise.
  enum Window { RAMP, SHEPP_LOGAN, COSINE, HAMMING, HANN, PARZEN };
  // What fills the transform beyond the projection. NONE: zeros, with the ramp sampled in the
  // frequency domain (the program's original filter). ZERO: zeros, with the ramp taken as the
  // transform of the discrete spatial-domain ramp h(0) = 1/4, h(n) = -1/(π²n²) for odd n,
  // 0 for even n, whose weight at the zero frequency is right. EDGE: as ZERO, for samples
  // wider than the field of view, with a padding that continues the edges: where some
  // projections of the sinogram see the whole sample (rav_sample_mass), each projection goes
  // on from its edge values down to zero so that it holds the sample's mass; where none does,
  // the first half of the padding repeats the last bin and the second half the first bin (the
  // transform is periodic).
  enum Padding { NONE, ZERO, EDGE };
  Window window = RAMP;
  float cutoff = 1.0f;  // fraction of the Nyquist frequency, in (0, 1]; not above 0: 1
  Padding padding = NONE;
  // The factor each projection of the sinograms carries (a weight of its own for angles that
  // are not evenly spaced; none: 1). EDGE gives projection j the sample's mass times its weight.
  std::vector<float> weights;

  float weight(std::int64_t j) const {
    return weights.empty() ? 1.0f : weights[static_cast<std::size_t>(j)];
  }

  bool is_default() const { return window == RAMP && cutoff == 1.0f && padding == NONE; }
};

// The window's weight at X (see RavFilterOptions; 0 for X > 1).
double rav_filter_window(RavFilterOptions::Window window, double x);

// The filter of projections of NUM_BINS bins: transform length, filter weights and twiddle
// table, built once and then shared (read only) by every thread.
class RavFilterPlan {
 public:
  RavFilterPlan() = default;
  explicit RavFilterPlan(std::int32_t NUM_BINS, const RavFilterOptions& options = {});

  std::int32_t num_bins() const { return num_bins_; }
  const RavFilterOptions& options() const { return options_; }
  // The transform length: the smallest power of two not below 2·NUM_BINS - 1 (which is also the
  // smallest one at least twice NUM_BINS, the padded length).
  std::int64_t NFFT() const { return nfft_; }
  // Values of a work array for filter().
  std::int64_t work_values() const { return nfft_; }
  // The weights in the spectrum layout of the transform (FILTER(2k+2) unused) and the table of
  // NFFT complex exponentials (2·NFFT values).
  std::span<const float> FILTER() const { return filter_; }
  std::span<const float> TWIDDLE() const { return twiddle_; }

  // Filters PROJECTION (NUM_BINS values) through WORK (work_values() values), padding included:
  // WORK(1..NUM_BINS) then holds the filtered projection. PROJECTION may lie inside WORK's
  // first NUM_BINS values. MASS: the sample's mass for EDGE (rav_sample_mass of its sinogram).
  void filter(std::span<const float> projection, std::span<float> work, double mass = 0.0) const;

  // Filters up to kBatch PROJECTIONS at once into OUT (OUT[l] may be PROJECTIONS[l]) through
  // WORK (batch_work_values() values), each exactly as filter() does with MASSES[l] (none: 0):
  // the vector units take one projection per lane.
  static constexpr int kBatch = 16;
  std::int64_t batch_work_values() const;
  void filter_batch(std::span<const float* const> projections, std::span<float* const> out,
                    std::span<float> work, std::span<const double> masses = {}) const;

 private:
  RavFilterOptions options_;
  std::int32_t num_bins_ = 0;
  std::int64_t nfft_ = 0;
  std::vector<float> filter_;
  std::vector<float> twiddle_;
};

// The mass of the sample in SINOGRAM (NUM_BINS x NUM_PROJECTIONS), which EDGE padding gives to
// every projection (times its weight): the largest integral over its weight of a projection
// that sees the whole sample (both edge values at most 2 % of the sinogram's largest value);
// 0 when none does.
double rav_sample_mass(std::int32_t NUM_BINS, std::int32_t NUM_PROJECTIONS,
                       std::span<const float> sinogram, const RavFilterOptions& options);

// Filters every projection of SINOGRAM (NUM_BINS x NUM_PROJECTIONS) in place through WORK
// (kBatch projections at a time when WORK holds batch_work_values() values).
void rav_filter_sinogram(const RavFilterPlan& plan, std::int32_t NUM_PROJECTIONS,
                         std::span<float> sinogram, std::span<float> work);

// ---------------------------------------------------------------------------------------------
// Back-projection and reconstruction

// Back-projects filtered sinograms into slices: each slice is set to zero and every projection
// of its sinogram added at every pixel inside the limits, by METHOD (the oversampled method
// resamples each projection first). SINOGRAMS and SLICES are pointers of the same count (one or
// two: two slices share the geometric work), sinograms of geometry.sinogram_values() values and
// slices of geometry.pixels() values. The sinograms are left as they are.
void rav_backproject(const RavGeometry& geometry, RavMethod method,
                     std::span<const float* const> sinograms, std::span<float* const> slices);

// The work arrays of one slice in flight (views), and arrays that own them.
struct RavWork {
  std::span<float> filtered;     // RavFilterPlan::work_values()
  std::span<float> oversampled;  // a batch of resampled projections (oversampled method only)
};
struct RavWorkArrays {
  std::vector<float> filtered, oversampled;
  RavWork view() { return {filtered, oversampled}; }
};
// Allocates the work arrays of one slice in flight, with the program's messages for the first
// (SECOND false) or second (true) slice of a pair.
RavWorkArrays rav_work_arrays(const RavGeometry& geometry, RavMethod method,
                              const RavFilterPlan& plan, bool second);

// Reconstructs NS (1 or 2) slices on the calling thread: every sinogram is filtered and
// back-projected into its slice, with WORK[n] for slice n. With the linear and nearest methods
// the sinograms hold the filtered sinograms afterwards; the oversampled method leaves them
// unchanged.
void rav_reconstruct_slices(const RavGeometry& geometry, RavMethod method,
                            const RavFilterPlan& plan, std::span<float* const> sinograms,
                            std::span<float* const> slices, std::span<const RavWork> work);

// Reconstructs slices from sinograms on the threads of the process, as rav_reconstruct_slices
// does for each. With at least as many slices (or pairs) as threads, each thread takes its own;
// with fewer, they are taken one (pair) at a time, every thread filtering some of the projections
// and then adding all of them to some of the rows. Every slice is bitwise the same whatever the
// number of threads, the pairing or the kernel target.
class RavReconstructor {
 public:
  // PAIRS: reconstruct two slices at a time where there are two (they share the geometric work
  // of the back-projection). THREADS: 0 for the OpenMP runtime's count.
  RavReconstructor(RavGeometry geometry, RavMethod method, const RavFilterOptions& options = {},
                   bool pairs = false, int threads = 0);

  const RavGeometry& geometry() const { return geometry_; }
  const RavFilterPlan& plan() const { return plan_; }
  RavMethod method() const { return method_; }
  int threads() const { return threads_; }

  // SINOGRAMS[n] into SLICES[n] for every n.
  void reconstruct(std::span<float* const> sinograms, std::span<float* const> slices);

 private:
  RavGeometry geometry_;
  RavMethod method_;
  RavFilterPlan plan_;
  bool pairs_ = false;
  int threads_ = 1;
  std::vector<RavWorkArrays> arrays_;  // one (or a pair) per thread
  std::vector<RavWork> work_;
  std::vector<RavGeometry> parts_;     // the geometry of each thread's rows, for a shared group
  std::vector<float> filtered_;        // the filtered sinograms of a shared group (oversampled)

  // One group (a slice or a pair) on every thread.
  void reconstruct_shared(std::span<float* const> sinograms, std::span<float* const> slices);
};

// ---------------------------------------------------------------------------------------------
// Sinogram correction

// Corrects N values of one image row into OUT (which may be IMAGE itself): background
// subtracted, divided by the flat field (or by (1 - F)·FLAT + F·FLAT2 between two flat fields),
// minus the natural logarithm (values not above RAV_LOG_FLOOR raised to it first) or not, times
// SCALE. BACKGROUND, FLAT and FLAT2 are null when not used. Results that are not finite are set
// to 0. Returns the values raised to the floor; adds the values set to 0 to NOT_FINITE.
inline constexpr float RAV_LOG_FLOOR = 1.0e-6f;
struct RavCorrection {
  const float* background = nullptr;
  const float* flat = nullptr;
  const float* flat2 = nullptr;
  float flat_weight = 0.0f;  // F
  bool take_logarithm = true;
  float scale = 1.0f;
};
std::int64_t rav_correct_row(const float* image, const RavCorrection& correction, std::int32_t n,
                             float* out, std::int64_t& not_finite);
// The plain loops that rav_correct_row reproduces bit for bit.
std::int64_t rav_correct_row_reference(const float* image, const RavCorrection& correction,
                                       std::int32_t n, float* out, std::int64_t& not_finite);

// Sets the values of VALUES that are not finite (infinite or NaN) to 0; returns how many.
std::int64_t rav_zero_non_finite(std::span<float> values);

// ---------------------------------------------------------------------------------------------
// Dead and hot pixels

// The pixels of one detector row that the flat field cannot correct, as positions (from 0,
// ascending) in OPEN, the row's flat field minus background (N values): those at or below FLOOR
// (dead: no light), and those further from the median of the five pixels around them than ten
// median absolute deviations of the row's such differences, and than 1 % of that median (stuck,
// hot, or nearly dead pixels).
std::vector<std::int32_t> rav_find_bad_pixels(std::span<const float> open, float floor);

// Replaces the values at positions BAD (from 0, ascending) of a row of N values, VALUES[0],
// VALUES[STRIDE], ..., by linear interpolation between the nearest good pixels on either side
// (the nearest one alone at an end of the row). A row without a good pixel is left as it is.
void rav_fill_bad_pixels(float* values, std::int64_t stride, std::int32_t n,
                         std::span<const std::int32_t> bad);

// ---------------------------------------------------------------------------------------------
// Ring removal

// How stripes (detector columns that read consistently high or low, which make rings) are
// removed from sinograms before filtering.
struct RavRingOptions {
  // NONE: not at all. SORTING: the sorting-based stripe detection and correction of Vo, Atwood
  // and Drakopoulos (see rav_remove_rings.cpp).
  enum Method { NONE, SORTING };
  Method method = NONE;
  std::int32_t strength = 2;  // the widest stripe removed, in bins (at least 1)
};

// Removes the stripes of SINOGRAM (NUM_BINS x NUM_PROJECTIONS) in place; only the columns found
// to be stripes change. Returns how many columns were corrected.
std::int32_t rav_remove_rings(const RavRingOptions& options, std::int32_t NUM_BINS,
                              std::int32_t NUM_PROJECTIONS, std::span<float> sinogram);
