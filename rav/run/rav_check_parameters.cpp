#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <span>
#include <string>
#include <utility>

#include "rav_axis.h"
#include "rav_accuracy.h"
#include "rav_core.h"
#include "rav_drivers.h"
#include "rav_input_output.h"
#include "ut.h"

namespace {
// Error kinds of a refused parameter: an integer or a real value out of its range.
constexpr std::int32_t kBadInteger = 17;
constexpr std::int32_t kBadReal = 21;

std::string real_text(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

std::string integer_text(std::int32_t value) { return std::to_string(value); }

// Writes the refusal and sets the status; answers false so that callers can return it.
bool refuse(const std::string& message, std::int32_t code, std::int32_t& status) {
  UT_WRITE("ERROR: " + message, status);
  status = code;
  return false;
}

bool check_size(const char* keyword, std::int32_t value, std::int32_t& status) {
  if (value >= 1) return true;
  return refuse(std::string(keyword) + " = " + integer_text(value) +
                    " is not a number of pixels (at least 1)",
                kBadInteger, status);
}

bool check_range(int axis, std::int32_t start, std::int32_t end, std::int32_t& status) {
  const std::string n = std::to_string(axis);
  if (end < start) {
    return refuse("END_VOXEL_" + n + " = " + integer_text(end) + " is below START_VOXEL_" + n +
                      " = " + integer_text(start),
                  kBadInteger, status);
  }
  // The voxel counts are 32-bit numbers.
  if (std::int64_t{end} - start + 1 > INT32_MAX) {
    return refuse("START_VOXEL_" + n + " = " + integer_text(start) + " to END_VOXEL_" + n +
                      " = " + integer_text(end) + " is more than " +
                      integer_text(INT32_MAX) + " voxels",
                  kBadInteger, status);
  }
  return true;
}

// The series FIRST, FIRST + INTERVAL, ... up to LAST must hold at least one number. The loop
// visits (LAST - FIRST + INTERVAL) / INTERVAL files; a run from projections holds
// (LAST - FIRST + 1) / |INTERVAL| of them.
bool check_series(const ParameterSet& p, bool from_sinograms, std::int32_t& status) {
  if (p.FILE_INTERVAL == 0) {
    return refuse("FILE_INTERVAL = 0 is not an interval between file numbers", kBadInteger,
                  status);
  }
  const std::int64_t span = std::int64_t{p.NUM_LAST_IMAGE} - p.NUM_FIRST_IMAGE;
  // The drivers count the series in 32 bits (LAST - FIRST + INTERVAL).
  if (std::abs(span) + std::abs(std::int64_t{p.FILE_INTERVAL}) > INT32_MAX) {
    return refuse("NUM_FIRST_IMAGE = " + integer_text(p.NUM_FIRST_IMAGE) + " to NUM_LAST_IMAGE = " +
                      integer_text(p.NUM_LAST_IMAGE) + " in steps of " +
                      integer_text(p.FILE_INTERVAL) + " is too long a series",
                  kBadInteger, status);
  }
  std::int64_t count = (span + p.FILE_INTERVAL) / p.FILE_INTERVAL;
  if (!from_sinograms) count = std::min(count, (span + 1) / std::abs(std::int64_t{p.FILE_INTERVAL}));
  if (count >= 1) return true;
  return refuse("FILE_INTERVAL = " + integer_text(p.FILE_INTERVAL) + " gives no file from " +
                    integer_text(p.NUM_FIRST_IMAGE) + " to " + integer_text(p.NUM_LAST_IMAGE),
                kBadInteger, status);
}

bool check_method(std::int32_t OVERSAMPLING_FACTOR, std::int32_t& status) {
  if (OVERSAMPLING_FACTOR >= 0) return true;
  return refuse("OVERSAMPLING_FACTOR = " + integer_text(OVERSAMPLING_FACTOR) +
                    " is not a method (0 linear, 1 nearest bin, 2 or more oversampled)",
                kBadInteger, status);
}

// Every visited pixel must project inside the detector: the circle about the axis needs a
// positive radius.
bool check_axis(float AXIS, std::int32_t NUM_BINS, std::int32_t& status,
                const std::string& keyword = "ROTATION_AXIS_POSITION") {
  const float radius = std::min(AXIS - 0.501F, static_cast<float>(NUM_BINS) - AXIS - 0.501F);
  if (radius > 0.0F) return true;
  return refuse(keyword + " = " + real_text(AXIS) +
                    " leaves no reconstruction circle on " + integer_text(NUM_BINS) + " bins",
                kBadReal, status);
}

// The block of a slice must hold at least one voxel inside the reconstruction circle: every
// slice would be 0 otherwise. X and Y name the keywords of the block's two axes.
bool check_block_inside(float AXIS, std::int32_t NUM_BINS, int x, std::int32_t x_start,
                        std::int32_t x_end, std::int32_t y_start, std::int32_t y_end,
                        std::int32_t& status) {
  const RavGeometry g = rav_geometry(NUM_BINS, 1, AXIS, {},
                                     {x_start, y_start, x_end - x_start + 1, y_end - y_start + 1});
  for (std::int32_t row = g.FIRST_ROW; row <= g.LAST_ROW; ++row) {
    const auto r = static_cast<std::size_t>(row - 1);
    if (g.X_ENDS[r] >= g.X_STARTS[r]) return true;
  }
  const std::string n = std::to_string(x);
  UT_WRITE("ERROR: ROTATION_AXIS_POSITION = " + real_text(AXIS) +
               " leaves no voxel of the block inside the reconstruction circle",
           status);
  UT_WRITE("       (START_VOXEL_" + n + " = " + integer_text(x_start) + " to END_VOXEL_" + n +
               " = " + integer_text(x_end) + ", START_VOXEL_2 = " + integer_text(y_start) +
               " to END_VOXEL_2 = " + integer_text(y_end) + ");",
           status);
  UT_WRITE("       every slice would be 0: move the block or the axis", status);
  status = kBadReal;
  return false;
}

// The slices are image rows (axis vertical) or image columns (axis horizontal), numbered from 1
// to the image's extent along that axis.
bool check_slices(int axis, std::int32_t start, std::int32_t end, int image_axis,
                  std::int32_t extent, std::int32_t& status) {
  const std::string voxel = std::to_string(axis);
  if (start < 1) {
    return refuse("START_VOXEL_" + voxel + " = " + integer_text(start) +
                      " lies before the first image " + (image_axis == 1 ? "column" : "row"),
                  kBadInteger, status);
  }
  if (end > extent) {
    return refuse("END_VOXEL_" + voxel + " = " + integer_text(end) + " lies beyond NUM_IMAGE_" +
                      std::to_string(image_axis) + " = " + integer_text(extent),
                  kBadInteger, status);
  }
  return true;
}

// The options for accurate slices: words from their lists, a cutoff inside the band, a stripe
// width that fits the detector, dead pixels found only where there is a flat field.
bool check_accuracy(const ParameterSet& p, bool from_sinograms, std::int32_t& status) {
  const std::pair<const char*, const std::string*> words[] = {
      {"FILTER", &p.FILTER}, {"PADDING", &p.PADDING}, {"RING_REMOVAL", &p.RING_REMOVAL}};
  const std::span<const std::string_view> lists[] = {RAV_FILTER_WORDS, RAV_PADDING_WORDS,
                                                     RAV_RING_WORDS};
  for (std::size_t n = 0; n < std::size(words); ++n) {
    if (rav_word_index(lists[n], *words[n].second) < 0) {
      return refuse(std::string(words[n].first) + " = " + *words[n].second + " is not one of " +
                        rav_words_text(lists[n]),
                    kBadInteger, status);
    }
  }
  if (!(p.FILTER_CUTOFF > 0.0F && p.FILTER_CUTOFF <= 1.0F)) {
    return refuse("FILTER_CUTOFF = " + real_text(p.FILTER_CUTOFF) +
                      " is not a fraction of the Nyquist frequency (above 0, at most 1)",
                  kBadReal, status);
  }
  const std::int32_t bins = from_sinograms || p.ROTATION_VERTICAL ? p.NUM_IMAGE_1 : p.NUM_IMAGE_2;
  if (p.RING_REMOVAL != "NONE" &&
      (p.RING_STRENGTH < 1 || std::int64_t{p.RING_STRENGTH} * 2 + 1 > bins)) {
    return refuse("RING_STRENGTH = " + integer_text(p.RING_STRENGTH) +
                      " is not a stripe width in bins (at least 1, and 2 x RING_STRENGTH + 1 at "
                      "most the " + integer_text(bins) + " bins)",
                  kBadInteger, status);
  }
  if (!from_sinograms && p.CORRECT_DEAD_PIXELS && !p.CORRECT_FLATFIELD) {
    return refuse("CORRECT_DEAD_PIXELS = YES needs a flat field to find the dead pixels in "
                  "(CORRECT_FLATFIELD = YES)",
                  kBadInteger, status);
  }
  return true;
}

// The trial axes of a sweep: a step above 0, at most kMaxTrials of them, each leaving a
// reconstruction circle (the radius is largest between the ends, so the ends decide), and with
// half acquisition all on one side of the detector's centre (the joined sinogram takes the
// mirrored half on the other side of the axis).
constexpr std::size_t kMaxTrials = 1000;

bool check_sweep(const ParameterSet& p, std::int32_t NUM_BINS, std::int32_t& status) {
  const AxisSweep& s = p.AXIS_SWEEP;
  const std::string text = "AXIS_SWEEP = " + real_text(s.FIRST) + " " + real_text(s.LAST) + " " +
                           real_text(s.STEP);
  if (!(s.STEP > 0.0F) || !(s.LAST >= s.FIRST)) {
    return refuse(text + " is not a sweep: the step must be above 0 and the last axis not below "
                         "the first",
                  kBadReal, status);
  }
  const std::size_t trials = rav_sweep_axes(s.FIRST, s.LAST, s.STEP).size();
  if (trials > kMaxTrials) {
    return refuse(text + " gives " + std::to_string(trials) + " trial axes, more than " +
                      std::to_string(kMaxTrials),
                  kBadReal, status);
  }
  if (!check_axis(s.FIRST, NUM_BINS, status, "AXIS_SWEEP")) return false;
  if (!check_axis(s.LAST, NUM_BINS, status, "AXIS_SWEEP")) return false;
  const float centre = 0.5F * static_cast<float>(NUM_BINS);
  if (p.HALF_ACQUISITION && (s.FIRST < centre) != (s.LAST < centre)) {
    return refuse(text + " crosses the centre of the detector (" + real_text(centre) +
                      "): with HALF_ACQUISITION every trial axis must lie on one side of it",
                  kBadReal, status);
  }
  return true;
}

// The rotation axis: a position (unless it is to be found, or swept), the sweep, and angles that
// pair every projection of a half turn with one half a turn later for half acquisition.
bool check_axis_keywords(const ParameterSet& p, std::int32_t NUM_BINS,
                         std::int64_t NUM_PROJECTIONS, std::int32_t& status) {
  const AxisSweep& sweep = p.AXIS_SWEEP;
  if (!p.ROTATION_AXIS_AUTO && !sweep.given &&
      !check_axis(p.ROTATION_AXIS_POSITION, NUM_BINS, status)) {
    return false;
  }
  if (sweep.given && !check_sweep(p, NUM_BINS, status)) return false;
  if (!p.HALF_ACQUISITION) return true;
  // The halves overlap over too narrow a part of the detector for the finder to be trusted.
  if (p.ROTATION_AXIS_AUTO) {
    return refuse("ROTATION_AXIS_POSITION = AUTO cannot find the axis of a half-acquisition scan: "
                  "sweep it (AXIS_SWEEP = FIRST LAST STEP) and give it by hand",
                  kBadReal, status);
  }
  const float axis = sweep.given ? sweep.FIRST : p.ROTATION_AXIS_POSITION;
  std::string problem;
  const auto projections =
      static_cast<std::int32_t>(std::min<std::int64_t>(NUM_PROJECTIONS, INT32_MAX));
  // The angles the run will take: those of an HDF5 file with ANGLES_FROM_FILE.
  ParameterSet angles = p;
  rav_even_file_angles(angles, projections);
  rav_half_acquisition(NUM_BINS, projections, axis,
                       {angles.ANGLE_OFFSET, angles.ANGLE_BETWEEN_PROJECTIONS, {}}, problem);
  if (problem.empty()) return true;
  return refuse("HALF_ACQUISITION = YES: " + problem, kBadReal, status);
}

// The block against an axis given by hand. A found or swept axis, or the joined sinogram of half
// acquisition, has its circle only once the run knows it.
bool check_known_block(const ParameterSet& p, std::int32_t NUM_BINS, int x, std::int32_t x_start,
                       std::int32_t x_end, std::int32_t& status) {
  if (p.ROTATION_AXIS_AUTO || p.AXIS_SWEEP.given || p.HALF_ACQUISITION) return true;
  return check_block_inside(p.ROTATION_AXIS_POSITION, NUM_BINS, x, x_start, x_end,
                            p.START_VOXEL_2, p.END_VOXEL_2, status);
}
}  // namespace

bool RAV_CHECK_PARAMETERS(const ParameterSet& p, bool from_sinograms, std::int32_t& status) {
  if (status != ST_OK) return false;
  if (!check_size("NUM_IMAGE_1", p.NUM_IMAGE_1, status)) return false;
  if (!check_size("NUM_IMAGE_2", p.NUM_IMAGE_2, status)) return false;
  if (!check_series(p, from_sinograms, status)) return false;
  if (!check_range(1, p.START_VOXEL_1, p.END_VOXEL_1, status)) return false;
  if (!check_range(2, p.START_VOXEL_2, p.END_VOXEL_2, status)) return false;
  if (!check_method(p.OVERSAMPLING_FACTOR, status)) return false;
  if (!check_accuracy(p, from_sinograms, status)) return false;
  if (from_sinograms) {
    return check_axis_keywords(p, p.NUM_IMAGE_1, p.NUM_IMAGE_2, status) &&
           check_known_block(p, p.NUM_IMAGE_1, 1, p.START_VOXEL_1, p.END_VOXEL_1, status) &&
           rav_check_formats(p, true, status);
  }

  if (!check_range(3, p.START_VOXEL_3, p.END_VOXEL_3, status)) return false;
  // A changing flat field is interpolated over FF_FILE_INTERVAL projections: 0 would divide by
  // zero (every corrected value NaN), a negative interval would weigh the flat fields wrongly.
  if (p.CORRECT_FLATFIELD && p.FLATFIELD_CHANGING &&
      (p.FF_FILE_INTERVAL < 1 ||
       std::max(std::int64_t{p.FF_NUM_FIRST_IMAGE}, std::int64_t{p.FF_NUM_LAST_IMAGE}) +
               p.FF_FILE_INTERVAL > INT32_MAX)) {
    return refuse("FF_FILE_INTERVAL = " + integer_text(p.FF_FILE_INTERVAL) +
                      " is not an interval between flat fields from " +
                      integer_text(p.FF_NUM_FIRST_IMAGE) + " to " +
                      integer_text(p.FF_NUM_LAST_IMAGE),
                  kBadInteger, status);
  }
  const bool vertical = p.ROTATION_VERTICAL;
  const std::int32_t NUM_BINS = vertical ? p.NUM_IMAGE_1 : p.NUM_IMAGE_2;
  const bool slices_ok =
      vertical ? check_slices(3, p.START_VOXEL_3, p.END_VOXEL_3, 2, p.NUM_IMAGE_2, status)
               : check_slices(1, p.START_VOXEL_1, p.END_VOXEL_1, 1, p.NUM_IMAGE_1, status);
  if (!slices_ok) return false;
  const float pixel_size = vertical ? p.IMAGE_PIXEL_SIZE_1 : p.IMAGE_PIXEL_SIZE_2;
  if (!(pixel_size > 0.0F)) {
    return refuse(std::string(vertical ? "IMAGE_PIXEL_SIZE_1" : "IMAGE_PIXEL_SIZE_2") + " = " +
                      real_text(pixel_size * 1.0e6) + " is not a pixel size above 0",
                  kBadReal, status);
  }
  const std::int64_t NUM_PROJECTIONS =
      (std::int64_t{p.NUM_LAST_IMAGE} - p.NUM_FIRST_IMAGE + 1) / std::abs(p.FILE_INTERVAL);
  if (!check_axis_keywords(p, NUM_BINS, NUM_PROJECTIONS, status)) return false;
  // With the axis horizontal the slice's first axis is volume axis 3 (the axes are exchanged).
  const bool inside =
      vertical ? check_known_block(p, NUM_BINS, 1, p.START_VOXEL_1, p.END_VOXEL_1, status)
               : check_known_block(p, NUM_BINS, 3, p.START_VOXEL_3, p.END_VOXEL_3, status);
  if (!inside) return false;
  const std::int64_t sinogram_bytes = std::int64_t{NUM_BINS} * NUM_PROJECTIONS * 4;
  if (std::int64_t{p.SINOGRAM_MEGABYTES} * 1048576 < sinogram_bytes) {
    return refuse("SINOGRAM_MEGABYTES = " + integer_text(p.SINOGRAM_MEGABYTES) +
                      " is too small for one sinogram of " + std::to_string(sinogram_bytes) +
                      " bytes",
                  kBadInteger, status);
  }
  return rav_check_formats(p, false, status);
}
