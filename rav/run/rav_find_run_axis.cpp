// ROTATION_AXIS_POSITION = AUTO: what the finder reads, its answer as the run prints and uses
// it, and the same value on every rank.
#include <algorithm>
#include <cmath>
#include <string>

#include "rav_allocate.h"
#include "rav_axis_run.h"
#include "ut.h"

namespace {
constexpr std::string_view kRoutine = "Subroutine RAV_FIND_RUN_AXIS V1.0";
constexpr std::int32_t kAxisNotFound = 31;  // status: the axis could not be found
// Slices read: over two projections, or (all projections) as sinograms.
constexpr std::int32_t kPairSlices = 64, kSinogramSlices = 16;

// Up to COUNT slices in the middle of the block, as a pass of NUM_PROJECTIONS projections.
SinogramPass middle_slices(const ParameterSet& p, std::int32_t count,
                           std::int32_t NUM_PROJECTIONS) {
  const bool vertical = p.ROTATION_VERTICAL;
  // With the axis horizontal the slices are image columns: voxel axis 1 before the exchange.
  const std::int32_t first = vertical ? p.START_VOXEL_3 : p.START_VOXEL_1;
  const std::int32_t last = vertical ? p.END_VOXEL_3 : p.END_VOXEL_1;
  const std::int32_t n = std::max(1, std::min(count, last - first + 1));
  SinogramPass pass;
  pass.FIRST_SLICE = first + (last - first + 1 - n) / 2;
  pass.LAST_SLICE = pass.FIRST_SLICE + n - 1;
  pass.NUM_BINS = vertical ? p.NUM_IMAGE_1 : p.NUM_IMAGE_2;
  pass.NUM_PROJECTIONS = NUM_PROJECTIONS;
  pass.SLICES_PER_PASS = n;
  pass.DATA_DIM_1 = vertical ? pass.NUM_BINS : n;
  pass.DATA_DIM_2 = vertical ? n : pass.NUM_BINS;
  return pass;
}

// The sinograms of PASS, read and corrected as a pass of the run reads them (without display
// or sinogram files).
std::vector<float> read_pass(ParameterSet p, const SinogramPass& pass, ReconTimes& times,
                             std::int32_t& status) {
  p.OUTPUT_SINOGRAMS = false;
  p.DISPLAY_GRAPHICS = false;
  ImageBuffers images;
  rav_allocate_images(p, std::int64_t{pass.DATA_DIM_1} * pass.DATA_DIM_2, images);
  std::vector<float> sinograms;
  rav_allocate(sinograms, std::int64_t{pass.NUM_BINS} * pass.NUM_PROJECTIONS * pass.SLICES_PER_PASS,
               "ERROR: Failed to allocate memory for storing the sinograms");
  RAV_CREATE_SINOGRAMS(p, pass, times, images, sinograms, status);
  return sinograms;
}

std::string slices_text(const SinogramPass& pass) {
  return "slices " + std::to_string(pass.FIRST_SLICE) + " to " + std::to_string(pass.LAST_SLICE);
}

// Projections in steps of STEP from FIRST (from 0), COUNT of them, read as a series of their own.
struct Series {
  std::int32_t first = 0, step = 1, count = 2;
};

// The projections 180 degrees apart that are read: up to kPairs pairs spread over the first half
// turn when the scan holds a whole turn (every one of them has its partner), else the pair in
// the middle of the scan.
Series opposite_series(std::int32_t NP,
                       const std::vector<std::pair<std::int32_t, std::int32_t>>& pairs) {
  constexpr std::int32_t kPairs = 8;
  const auto [j, k] = pairs.front();
  const std::int32_t m = k - j;
  if (j == 0 && NP >= 2 * m) {
    std::int32_t q = std::min(kPairs, m);
    while (m % q != 0) --q;
    return {0, m / q, 2 * q};
  }
  const auto [jm, km] = pairs[pairs.size() / 2];
  return {jm, km - jm, 2};
}

// What rank 0 reads and looks at: projections 180 degrees apart when the scan holds them (and a
// single flat field, so that they can be read alone), else sinograms.
bool find_on_root(const ParameterSet& p, ReconTimes& times, float& axis, std::int32_t& status) {
  const std::int32_t NP = (p.NUM_LAST_IMAGE - p.NUM_FIRST_IMAGE + 1) / std::abs(p.FILE_INTERVAL);
  RavAngles angles = rav_run_angles(p);
  const auto pairs = rav_opposite_pairs(NP, angles);
  UT_WRITE(" ", status);
  if (!pairs.empty() && !(p.CORRECT_FLATFIELD && p.FLATFIELD_CHANGING)) {
    const Series series = opposite_series(NP, pairs);
    ParameterSet some = p;
    some.NUM_FIRST_IMAGE = p.NUM_FIRST_IMAGE + series.first * p.FILE_INTERVAL;
    some.FILE_INTERVAL = series.step * p.FILE_INTERVAL;
    some.NUM_LAST_IMAGE = some.NUM_FIRST_IMAGE + (series.count - 1) * some.FILE_INTERVAL;
    const SinogramPass pass = middle_slices(p, kPairSlices, series.count);
    RavAngles read_angles;
    for (std::int32_t n = 0; n < series.count; ++n) {
      read_angles.list.push_back(rav_projection_angle(angles, series.first + n * series.step));
    }
    const std::string which =
        series.count == 2
            ? "projections " + std::to_string(series.first + 1) + " and " +
                  std::to_string(series.first + series.step + 1) + " (180 degrees apart)"
            : std::to_string(series.count) + " projections (" + std::to_string(series.count / 2) +
                  " pairs 180 degrees apart)";
    UT_WRITE("INFO: Finding the rotation axis from " + which + ", " + slices_text(pass), status);
    const std::vector<float> read = read_pass(some, pass, times, status);
    return rav_decide_axis(read, pass.SLICES_PER_PASS, pass.NUM_BINS, series.count, read_angles,
                           axis, status);
  }
  const std::int32_t N = p.ROTATION_VERTICAL ? p.NUM_IMAGE_1 : p.NUM_IMAGE_2;
  const std::int64_t budget =
      std::int64_t{p.SINOGRAM_MEGABYTES} * 1048576 / (std::int64_t{N} * NP * 4);
  const SinogramPass pass = middle_slices(
      p, static_cast<std::int32_t>(std::clamp<std::int64_t>(budget, 1, kSinogramSlices)), NP);
  UT_WRITE("INFO: Finding the rotation axis from the sinograms of " + slices_text(pass), status);
  const std::vector<float> read = read_pass(p, pass, times, status);
  return rav_decide_axis(read, pass.SLICES_PER_PASS, N, NP, angles, axis, status);
}

void report_found(const RavAxisResult& r, const std::string& text, std::int32_t NUM_BINS,
                  std::int32_t& status) {
  const double centre = 0.5 * NUM_BINS;
  UT_WRITE("INFO: Rotation axis found at " + text, status);
  const std::string how = r.method == RavAxisMethod::MIRRORED_PAIRS
                              ? "projections 180 degrees apart, " + std::to_string(r.pairs) +
                                    (r.pairs == 1 ? " pair" : " pairs")
                              : std::string("centres of mass of the projections");
  UT_WRITE("      = image centre " + rav_axis_number(centre, 2) + " - offset " +
               rav_axis_number(centre - std::stod(text), 2) + " (" + how + " over " +
               std::to_string(r.rows) + " slices; confidence " + rav_axis_number(r.confidence, 2) +
               ")",
           status);
  if (!std::isnan(r.check) && std::abs(r.check - r.axis) > 0.5) {
    UT_WRITE("WARNING: The centres of mass of the projections put the axis at " +
                 rav_axis_number(r.check, 2) + ": check it with AXIS_SWEEP",
             status);
  }
}

}  // namespace

RavAngles rav_run_angles(const ParameterSet& p) {
  return {p.ANGLE_OFFSET, p.ANGLE_BETWEEN_PROJECTIONS, {}};
}

void rav_allocate_images(const ParameterSet& p, std::int64_t size, ImageBuffers& images) {
  const char* flat_message = "ERROR: Failed to allocate memory for storing the flat field data";
  rav_allocate(images.IMAGE_DATA, size,
               "ERROR: Failed to allocate memory for storing the image data");
  if (p.SUBTRACT_BACKGROUND) {
    rav_allocate(images.BACKGROUND_DATA, size,
                 "ERROR: Failed to allocate memory for storing the background data");
  }
  if (p.CORRECT_FLATFIELD) rav_allocate(images.FLATFIELD_DATA, size, flat_message);
  if (p.CORRECT_FLATFIELD && p.FLATFIELD_CHANGING) {
    rav_allocate(images.FLATFIELD2_DATA, size, flat_message);
  }
}

bool rav_find_run_axis(ParameterSet& p, ReconTimes& times, std::int32_t& status) {
  float axis = p.ROTATION_AXIS_POSITION;
  // Only rank 0 reads and decides; the others wait for its answer in rav_decide_axis.
  const bool found = rav_mpi_is_root() ? find_on_root(p, times, axis, status)
                                       : rav_decide_axis({}, 0, 0, 0, {}, axis, status);
  if (found) p.ROTATION_AXIS_POSITION = axis;
  return found;
}

bool rav_decide_axis(std::span<const float> sinograms, std::int32_t ROWS, std::int32_t NUM_BINS,
                     std::int32_t NUM_PROJECTIONS, const RavAngles& angles, float& axis,
                     std::int32_t& status) {
  double shared[2] = {1.0, 0.0};  // found, axis
  if (rav_mpi_is_root() && status == ST_OK) {
    const RavAxisResult r = rav_find_axis(sinograms, ROWS, NUM_BINS, NUM_PROJECTIONS, angles);
    const std::string text = rav_axis_number(r.axis, 2);
    bool ok = r.decided;
    float value = 0.0f;
    if (ok) UT_TOKTR(text, ok, value, status);  // the value as a parameter file gives it
    if (ok) {
      report_found(r, text, NUM_BINS, status);
      shared[1] = value;
    } else {
      UT_WRITE("ERROR: The rotation axis could not be found: " + r.reason, status);
      UT_WRITE("       Give it by hand (ROTATION_AXIS_POSITION = pixels), or sweep it", status);
      UT_WRITE("       (AXIS_SWEEP = FIRST LAST STEP) and take the sharpest slice", status);
      status = kAxisNotFound;
      ST_SAVE(kRoutine);
      shared[0] = 0.0;
    }
  } else if (status != ST_OK) {
    shared[0] = 0.0;
  }
  const bool found = rav_mpi_vote(shared[0] == 1.0);
  rav_mpi_broadcast(shared);
  if (found) axis = static_cast<float>(shared[1]);
  return found;
}
