// The rotation axis on arrays: finding it from the projections, reconstructing one slice for
// many trial axes (a sweep), and joining the two halves of a half-acquisition scan. No parameter
// file, no console, no files: the program, the companion program and the Python module call these.
//
// Convention (the one of rav_core.h): detector bin k (from 1) covers [k - 1, k]; the rotation
// axis is the detector coordinate A = AXIS_POSITION, and the point (A, A) of the slice, whose
// pixel (i, r) has its centre at (i - 0.5, r - 0.5). A projection at θ + π is the projection at
// θ mirrored about A: P(θ + π, u) = P(θ, 2A - u). The image centre of N bins is N / 2, and the
// offset of the axis is IMAGE CENTRE - A (positive when the axis lies toward bin 1).
#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "rav_core.h"

// ---------------------------------------------------------------------------------------------
// Finding the axis

// How the axis was found.
enum class RavAxisMethod {
  NONE,            // it was not: the data do not decide it
  MIRRORED_PAIRS,  // registration of projections 180 degrees apart, one of them mirrored
  CENTROIDS,       // the sinusoid that the centre of mass of every projection follows
};

struct RavAxisOptions {
  // The range in which the axis is looked for (detector coordinates). NaN: the default range,
  // in which a projection and its mirrored partner overlap over a quarter of the detector or
  // more (N/8 to 7N/8 for N bins). Whatever the range, they must share 16 bins or more.
  double min_axis = std::numeric_limits<double>::quiet_NaN();
  double max_axis = std::numeric_limits<double>::quiet_NaN();
  // Two projections count as 180 degrees apart when their angles differ from π (modulo 2π) by
  // at most this many radians.
  double pair_tolerance = 1.0e-4;
  // At most this many pairs are used (spread evenly over those the scan holds).
  std::int32_t max_pairs = 32;
  // Below this correlation of the mirrored projections the pairs do not decide the axis.
  double min_correlation = 0.3;
};

struct RavAxisResult {
  bool decided = false;  // false: AXIS is meaningless, REASON says why
  double axis = 0.0;     // AXIS_POSITION, detector coordinates
  RavAxisMethod method = RavAxisMethod::NONE;
  // 0 .. 1. Mirrored pairs: the normalised correlation of the projections with their mirrored
  // partners at the axis found. Centroids: 1 - the relative change of the total absorption of
  // a projection over the scan divided by its limit (the method needs it constant).
  double confidence = 0.0;
  std::int32_t pairs = 0;  // pairs of projections used (mirrored pairs)
  std::int32_t rows = 0;   // rows (slices) that contributed
  // The centroid method's answer when the pairs decided and the centroids could be used too
  // (a check: the two agree within a few tenths of a pixel on good data); NaN otherwise.
  double check = std::numeric_limits<double>::quiet_NaN();
  std::string reason;  // why it was not decided (empty when it was)
};

// The axis of a scan from sinograms of ROWS slices: SINOGRAMS holds ROWS sinograms of
// NUM_BINS x NUM_PROJECTIONS values one after another (bin fastest), projection j at the angle
// ANGLES gives it. When the angles hold projections 180 degrees apart, the axis comes from the
// registration of each with its mirrored partner (mirrored pairs; at most options.max_pairs
// pairs), and the centroids check it; otherwise, or when the pairs do not decide it, from the
// centroids, which need the sample inside the field of view in every projection. Not decided:
// REASON says why. The sinograms are read only; the pairs are compared on the threads of the
// process, with the same result whatever their number.
RavAxisResult rav_find_axis(std::span<const float> sinograms, std::int32_t ROWS,
                            std::int32_t NUM_BINS, std::int32_t NUM_PROJECTIONS,
                            const RavAngles& angles, const RavAxisOptions& options = {});

// The axis from two projections 180 degrees apart over ROWS rows: FIRST and SECOND hold ROWS
// rows of NUM_BINS values each (bin fastest), row by row, SECOND taken half a turn after (or
// before) FIRST.
RavAxisResult rav_find_axis_pair(std::span<const float> first, std::span<const float> second,
                                 std::int32_t ROWS, std::int32_t NUM_BINS,
                                 const RavAxisOptions& options = {});

// The pairs of projections 180 degrees apart among NUM_PROJECTIONS at ANGLES: (j, k) from 0, each
// pair once, j the earlier index, in increasing j.
std::vector<std::pair<std::int32_t, std::int32_t>> rav_opposite_pairs(std::int32_t NUM_PROJECTIONS,
                                                                      const RavAngles& angles,
                                                                      double tolerance = 1.0e-4);

// The angle of projection J (from 0) as the back-projection takes it.
double rav_projection_angle(const RavAngles& angles, std::int64_t j);

// VALUE with DECIMALS decimals (as the messages about the axis write positions).
std::string rav_axis_number(double value, int decimals);

// ---------------------------------------------------------------------------------------------
// Half acquisition

// How a 360-degree scan with the axis off centre becomes a sinogram of twice the width over a
// half turn: projection DIRECT[n] is joined with PARTNER[n], taken half a turn later and
// mirrored about the axis, with linear weights over the part of the detector both see. The
// detector's own bins become bins SHIFT + 1 .. SHIFT + N of the joined sinogram (SHIFT is N when
// the axis lies in the first half of the detector, so that the mirrored part goes before them,
// and 0 otherwise), and the axis lies at AXIS_POSITION = A + SHIFT there.
struct RavHalfAcquisition {
  std::int32_t DETECTOR_BINS = 0;  // N
  float DETECTOR_AXIS = 0.0f;      // A
  std::int32_t NUM_BINS = 0;       // 2N
  std::int32_t NUM_PROJECTIONS = 0;
  std::int32_t SHIFT = 0;
  float AXIS_POSITION = 0.0f;
  RavAngles angles;                           // of the joined projections (those of DIRECT)
  std::vector<std::int32_t> DIRECT, PARTNER;  // from 0
  // Every joined value is multiplied by WEIGHT = (projections of the scan) / NUM_PROJECTIONS:
  // sinograms weighted by 1 / (projections of the scan), as the program's are, then carry the
  // weight of a projection of the half turn.
  float WEIGHT = 1.0f;
};

// The plan for a scan of NUM_BINS x NUM_PROJECTIONS at ANGLES with the axis at AXIS_POSITION, or
// (an empty plan and) what makes it impossible, in one line: an axis outside the detector, or
// angles without a partner half a turn later for every projection of a half turn.
RavHalfAcquisition rav_half_acquisition(std::int32_t NUM_BINS, std::int32_t NUM_PROJECTIONS,
                                        float AXIS_POSITION, const RavAngles& angles,
                                        std::string& problem);

// Joins SINOGRAM (the detector's NUM_BINS x projections of the scan, as planned) into JOINED
// (plan.NUM_BINS x plan.NUM_PROJECTIONS values), every value times plan.WEIGHT. Joined bins that
// neither half covers are 0.
void rav_join_half_acquisition(const RavHalfAcquisition& plan, std::span<const float> sinogram,
                               std::span<float> joined);

// ---------------------------------------------------------------------------------------------
// Axis sweep

// One slice of BLOCK for every trial axis, from one SINOGRAM of NUM_BINS x NUM_PROJECTIONS at
// ANGLES, by METHOD. The sinogram is copied and filtered once, when the sweep is made; each slice
// is then bitwise the one a reconstruction with that axis gives. With HALF_ACQUISITION the
// sinogram is a 360-degree one, joined about each trial axis first (and then filtered for each),
// and the block lies in the frame of the joined sinogram (rav_half_acquisition), which must be
// the same for every trial: the axes on one side of the detector's centre.
// Running out of memory throws RavFatalError; arrays smaller than their sizes, and a trial axis
// that leaves no reconstruction circle (or, with half acquisition, lies off the detector), throw
// std::invalid_argument with the problem.
class RavAxisSweep {
 public:
  RavAxisSweep(std::span<const float> sinogram, std::int32_t NUM_BINS, std::int32_t NUM_PROJECTIONS,
               RavAngles angles, const RavBlock& block, RavMethod method,
               bool half_acquisition = false);
  // SLICES holds AXES.size() slices of BLOCK.NUM_X x BLOCK.NUM_Y values one after another; the
  // trials run on the threads of the process.
  void reconstruct(std::span<const float> axes, std::span<float> slices) const;
  // The pixels of the block (NUM_X x NUM_Y, 1 inside) inside the reconstruction circle of every
  // trial axis of AXES.
  std::vector<std::uint8_t> common_region(std::span<const float> axes) const;

 private:
  // The geometry of the slices of trial AXIS; with half acquisition that of the joined
  // sinogram, whose plan goes into HALF.
  RavGeometry trial(float axis, RavHalfAcquisition& half) const;

  std::int32_t num_bins_, num_projections_;
  RavAngles angles_;
  RavBlock block_;
  RavMethod method_;
  bool half_acquisition_;
  RavFilterPlan plan_;
  std::vector<float> sinogram_;  // filtered, unless the trials join it first
};

// The same in one call.
void rav_axis_sweep(std::span<const float> sinogram, std::int32_t NUM_BINS,
                    std::int32_t NUM_PROJECTIONS, const RavAngles& angles, const RavBlock& block,
                    RavMethod method, std::span<const float> axes, bool half_acquisition,
                    std::span<float> slices);

// The trial axes FIRST, FIRST + STEP, ... up to LAST (within a thousandth of a step), each the
// single-precision value of FIRST + n·STEP computed in double; empty for a STEP that is not above
// 0 or a LAST below FIRST.
std::vector<float> rav_sweep_axes(double first, double last, double step);

// How sharp the slices of a sweep are, to compare them: the slice is summed over blocks of 2 x 2
// pixels (those wholly inside REGION, the reconstruction circle of every trial, 1 inside, from
// common_region), and the sum of the squared differences of neighbouring blocks (along rows and
// columns) is divided by the sum of their absolute values. For an edge of height h spread over w
// pixels that is about h / w, the steepness of the edges; a wrong axis blurs, doubles or bends
// every edge into arcs and lowers it. Noise adds to both sums alike. 0 for a flat slice.
double rav_sharpness(std::span<const float> slice, const RavBlock& block,
                     std::span<const std::uint8_t> region);
