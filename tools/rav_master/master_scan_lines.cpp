// The lines of a parameter file that the scan itself decides: the series, the image sizes, the
// background and the flat fields. The values that are chosen follow in master_choose.cpp.
#include "master.h"
#include "rav_in_image.h"

namespace {
std::string yes_no(bool value) { return value ? "YES" : "NO"; }

void series_lines(MasterLines& lines, const MasterSeries& s) {
  master_set(lines, "FILE_PREFIX", s.prefix, "projections: prefix + number + postfix");
  master_set(lines, "NUM_FIRST_IMAGE", std::to_string(s.first), "number of the first projection");
  master_set(lines, "NUM_LAST_IMAGE", std::to_string(s.last), "number of the last projection");
  master_set(lines, "FILE_INTERVAL", std::to_string(s.interval),
             "step between projection numbers (" + std::to_string(s.count()) + " projections)");
  master_set(lines, "NUMBER_LENGTH_VARIES", yes_no(s.length_varies),
             s.length_varies ? "numbers written with as many digits as they need"
                             : "numbers written with a fixed count of digits");
  master_set(lines, "LENGTH_OF_NUMERICAL_PART", std::to_string(s.length),
             s.length_varies ? "not used: the length varies" : "digits of every number");
  master_set(lines, "FILE_POSTFIX", s.postfix, "after the number, extension included");
}

void flat_lines(MasterLines& lines, const MasterScan& scan) {
  const bool series = scan.flats.has_value();
  master_set(lines, "CORRECT_FLATFIELD", yes_no(series || !scan.flat.empty()),
             "divide every projection by a flat field");
  master_set(lines, "FLATFIELD_CHANGING", yes_no(series),
             series ? "a numbered series of flat fields, interpolated along the scan"
                    : "one flat field for the whole scan");
  master_set(lines, "FLATFIELD_FILE", scan.flat.empty() ? "N.A." : scan.flat,
             scan.flat.empty()            ? "not used"
             : scan.flat == scan.stack ? "the mean of its /exchange/data_white"
                                         : "the flat field");
  const MasterSeries s = series ? *scan.flats : MasterSeries{};
  auto number = [&](std::int32_t value) { return series ? std::to_string(value) : "N.A."; };
  const std::string unused = series ? "" : "not used";
  master_set(lines, "FF_NUM_FIRST_IMAGE", number(s.first),
             series ? "number of the first flat field" : unused);
  master_set(lines, "FF_NUM_LAST_IMAGE", number(s.last),
             series ? "number of the last flat field" : unused);
  master_set(lines, "FF_FILE_INTERVAL", number(s.interval),
             series ? "step between flat fields, in projections" : unused);
  master_set(lines, "FF_PREFIX", series ? s.prefix : "N.A.",
             series ? "flat fields: prefix + number + postfix" : unused);
  master_set(lines, "FF_NUMBER_LENGTH_VARIES", series ? yes_no(s.length_varies) : "N.A.",
             series ? "as NUMBER_LENGTH_VARIES" : unused);
  master_set(lines, "FF_LENGTH_OF_NUMERICAL_PART", number(s.length),
             series ? "digits of every flat-field number" : unused);
  master_set(lines, "FF_POSTFIX", series ? s.postfix : "N.A.", series ? "after the number" : unused);
}
}  // namespace

MasterLines master_scan_lines(const MasterScan& scan, bool horizontal) {
  const bool hdf5 = !scan.stack.empty() && rav_image_format_of(scan.stack) == RavImageFormat::HDF5;
  MasterLines lines;
  lines.push_back({"", "", "Written by rav_master from the scan in " + scan.projections.prefix});
  lines.push_back({"", "", ""});
  lines.push_back({"", "", "--- Projection series"});
  if (scan.stack.empty()) {
    series_lines(lines, scan.projections);
  } else {
    master_set(lines, "STACK_FILE", scan.stack,
               hdf5 ? "every projection: the images of /exchange/data"
                    : "every projection: the pages of the file");
    master_set(lines, "NUM_FIRST_IMAGE", "0", "first image of the file (from 0)");
    master_set(lines, "NUM_LAST_IMAGE", std::to_string(scan.projections.last),
               "last image (" + std::to_string(scan.projections.count()) + " projections)");
    master_set(lines, "FILE_INTERVAL", "1", "every image");
  }
  master_set(lines, "NUM_IMAGE_1", std::to_string(scan.header.DIM_1),
             "pixels along the first image axis (" + scan.header.pixel_type + ")");
  master_set(lines, "NUM_IMAGE_2", std::to_string(scan.header.DIM_2),
             "pixels along the second image axis");
  for (const char* keyword : {"IMAGE_PIXEL_SIZE_1", "IMAGE_PIXEL_SIZE_2"}) {
    master_set(lines, keyword, "", "");
  }
  lines.push_back({"", "", ""});
  lines.push_back({"", "", "--- Background and flat field"});
  master_set(lines, "SUBTRACT_BACKGROUND", yes_no(!scan.background.empty()),
             "subtract the background from projections and flat fields");
  master_set(lines, "BACKGROUND_FILE", scan.background.empty() ? "N.A." : scan.background,
             scan.background.empty()            ? "not used"
             : scan.background == scan.stack ? "the mean of its /exchange/data_dark"
                                               : "the background (dark) image");
  flat_lines(lines, scan);
  lines.push_back({"", "", ""});
  lines.push_back({"", "", "--- Reconstruction"});
  master_set(lines, "TAKE_LOGARITHM", "YES", "minus the natural logarithm of the intensity");
  if (hdf5) {
    master_set(lines, "ANGLES_FROM_FILE", scan.theta.empty() ? "NO" : "YES",
               scan.theta.empty() ? "the file has no /exchange/theta"
                                  : "the angles of /exchange/theta (the two below agree)");
  }
  // Chosen later (master_choose), in this order.
  for (const char* keyword : {"ANGLE_OFFSET", "ANGLE_BETWEEN_PROJECTIONS"}) {
    master_set(lines, keyword, "", "");
  }
  master_set(lines, "ROTATION_VERTICAL", yes_no(!horizontal),
             horizontal ? "the axis runs along the first image axis: an image column per slice"
                        : "the axis runs along the second image axis: an image row per slice");
  for (const char* keyword : {"ROTATION_AXIS_POSITION", "OVERSAMPLING_FACTOR", "CACHE_KILOBYTES",
                              "SINOGRAM_MEGABYTES"}) {
    master_set(lines, keyword, "", "");
  }
  master_set(lines, "RECONSTRUCT_FROM_SINOGRAMS", "NO", "from the projections");
  master_set(lines, "HALF_ACQUISITION", "NO", "the axis lies within the detector's middle");
  lines.push_back({"", "", ""});
  lines.push_back({"", "", "--- Accuracy"});
  master_set(lines, "FILTER", "RAMP", "or SHEPP_LOGAN, COSINE, HAMMING, HANN, PARZEN against noise");
  master_set(lines, "FILTER_CUTOFF", "1.0", "the window's cutoff, a fraction of the Nyquist frequency");
  master_set(lines, "PADDING", "EDGE",
             "padded ramp: values in 1/cm, also for samples wider than the field");
  master_set(lines, "CORRECT_DEAD_PIXELS", "NO", "YES: dead and hot pixels of the flat field mended");
  master_set(lines, "RING_REMOVAL", "NONE", "SORTING: rings of miscalibrated columns removed");
  master_set(lines, "RING_STRENGTH", "2", "widest stripe removed, in bins");
  lines.push_back({"", "", ""});
  lines.push_back({"", "", "--- Output"});
  master_set(lines, "OUTPUT_SINOGRAMS", "NO", "YES: every sinogram as sino_NNNN.zlf");
  master_set(lines, "OUTPUT_RECONSTRUCTION", "YES", "reconstruct and write the slices");
  master_set(lines, "DISPLAY_GRAPHICS", "NO", "YES: show sinograms and slices in a window");
  master_set(lines, "OUTPUT_FILE", "", "");
  for (const char* keyword : {"START_VOXEL_1", "END_VOXEL_1", "START_VOXEL_2", "END_VOXEL_2",
                              "START_VOXEL_3", "END_VOXEL_3"}) {
    master_set(lines, keyword, "", "");
  }
  return lines;
}
