// The checks of the format keywords: what cannot work is refused before anything is allocated,
// read or written, each with one "ERROR: " line.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "rav_in_hdf5.h"
#include "rav_in_tiff.h"
#include "rav_input_output.h"
#include "rav_mpi.h"
#include "ut.h"

namespace {

// Error kind of a refused text value: "badly defined character variable".
constexpr std::int32_t kBadText = 33;

std::string trimmed(const std::string& text) {
  return text.substr(0, static_cast<std::size_t>(SLEN(text)));
}

bool refuse(const std::string& message, std::int32_t& status) {
  UT_WRITE("ERROR: " + message, status);
  status = kBadText;
  return false;
}

bool check_names(const ParameterSet& p, std::int32_t& status) {
  RavImageFormat input = RavImageFormat::KEYWORD_HEADER;
  if (!trimmed(p.INPUT_FORMAT).empty() && !rav_image_format_named(p.INPUT_FORMAT, input)) {
    return refuse("INPUT_FORMAT = " + trimmed(p.INPUT_FORMAT) +
                      " is not KEYWORD_HEADER, TIFF or HDF5",
                  status);
  }
  RavVolumeFormat output = RavVolumeFormat::RAW;
  if (!rav_volume_format_named(p.OUTPUT_FORMAT, output)) {
    return refuse("OUTPUT_FORMAT = " + trimmed(p.OUTPUT_FORMAT) +
                      " is not RAW, TIFF, TIFF_SLICES or HDF5",
                  status);
  }
  // The ranks of a run on several processes write their slices into one file at once: only
  // the raw records allow that.
  if (output != RavVolumeFormat::RAW && rav_mpi_size() > 1) {
    return refuse("OUTPUT_FORMAT = " + UT_UPPER(p.OUTPUT_FORMAT) +
                      " is written by one process; run on one, or write OUTPUT_FORMAT = RAW",
                  status);
  }
  // The slices of a sweep are one per trial axis, not a volume.
  if (output != RavVolumeFormat::RAW && p.AXIS_SWEEP.given) {
    return refuse("AXIS_SWEEP writes its trial slices as raw records: write OUTPUT_FORMAT = RAW",
                  status);
  }
  return true;
}

// The images of the series, NUM_FIRST_IMAGE to NUM_LAST_IMAGE in steps of FILE_INTERVAL, must
// all be in STACK_FILE: numbers from 0 to one less than its number of images.
bool check_stack(const ParameterSet& p, bool from_sinograms, std::int32_t& status) {
  const std::string stack = trimmed(p.STACK_FILE);
  if (stack.empty()) return true;
  const RavImageFormat format = rav_input_format(p, stack);
  if (format == RavImageFormat::KEYWORD_HEADER) {
    return refuse("STACK_FILE = " + stack +
                      " is not a TIFF or HDF5 file (give INPUT_FORMAT, or name a .tif or .h5 file)",
                  status);
  }
  const std::int64_t count =
      from_sinograms ? (std::int64_t{p.NUM_LAST_IMAGE} - p.NUM_FIRST_IMAGE + p.FILE_INTERVAL) /
                           p.FILE_INTERVAL
                     : (std::int64_t{p.NUM_LAST_IMAGE} - p.NUM_FIRST_IMAGE + 1) /
                           std::abs(std::int64_t{p.FILE_INTERVAL});
  const std::int64_t last = p.NUM_FIRST_IMAGE + (count - 1) * p.FILE_INTERVAL;
  std::int32_t retstat = 0, local = ST_OK;
  const std::int64_t images = format == RavImageFormat::TIFF
                                  ? rav_tiff_pages(stack, retstat, local)
                                  : rav_hdf5_images(stack, trimmed(p.HDF5_DATASET), retstat, local);
  if (local != ST_OK) return refuse("STACK_FILE = " + stack + " cannot be opened", status);
  if (retstat != 0) return refuse("STACK_FILE = " + stack + " cannot be input", status);
  const std::int64_t lowest = std::min<std::int64_t>(p.NUM_FIRST_IMAGE, last);
  const std::int64_t highest = std::max<std::int64_t>(p.NUM_FIRST_IMAGE, last);
  if (lowest < 0 || highest >= images) {
    return refuse("STACK_FILE = " + stack + " holds images 0 to " + std::to_string(images - 1) +
                      ", the series asks for " + std::to_string(lowest) + " to " +
                      std::to_string(highest),
                  status);
  }
  return true;
}

}  // namespace

bool rav_check_formats(const ParameterSet& p, bool from_sinograms, std::int32_t& status) {
  if (status != ST_OK) return false;
  if (!check_names(p, status)) return false;
  if (!check_stack(p, from_sinograms, status)) return false;
  if (from_sinograms) return true;
  const std::int32_t NUM_PROJECTIONS =
      (p.NUM_LAST_IMAGE - p.NUM_FIRST_IMAGE + 1) / std::abs(p.FILE_INTERVAL);
  const std::string problem = rav_angles_problem(p, NUM_PROJECTIONS);
  return problem.empty() || refuse(problem, status);
}
