// The scan of one HDF5 file of the DataExchange layout (what TomoPy and tomocupy read): the
// projections, the background and flat-field images and the angles in their datasets.
#include "master.h"
#include "rav_in_hdf5.h"
#include "ut.h"

namespace {
constexpr const char* kData = "/exchange/data";
constexpr const char* kDark = "/exchange/data_dark";
constexpr const char* kWhite = "/exchange/data_white";
constexpr const char* kTheta = "/exchange/theta";

void say(const std::string& text) {
  std::int32_t status = ST_OK;
  UT_WRITE(text, status);
}

// FILE when it holds images of DATASET as large as the projections' (which the worker then
// averages), empty otherwise (with a warning when it holds some that cannot be used). OPTION:
// the option's value ("none", another file, or empty).
std::string corrections(const std::string& file, const char* dataset, const std::string& option,
                        const RavHdf5Shape& projections) {
  if (!option.empty()) return option == "none" ? std::string() : option;
  RavHdf5Shape shape;
  std::string problem;
  if (rav_hdf5_shape(file, dataset, shape, problem) && shape.rows == projections.rows &&
      shape.columns == projections.columns && shape.images > 0) {
    return file;
  }
  if (!problem.empty() || shape.images > 0) {
    say("WARNING: " + std::string(dataset) + " of " + file + " cannot be used" +
        (problem.empty() ? " (its images are not of the projections' size)" : ": " + problem));
  }
  return {};
}
}  // namespace

bool master_find_hdf5_scan(const MasterOptions& o, const std::string& file, MasterScan& scan) {
  RavHdf5Shape shape;
  std::string problem;
  if (!rav_hdf5_shape(file, kData, shape, problem)) {
    say("ERROR: " + (problem.empty() ? file + " has no dataset " + kData +
                                           " (the projections of the DataExchange layout)"
                                     : problem));
    return false;
  }
  if (shape.images < 2 || shape.images > INT32_MAX || shape.rows > INT32_MAX ||
      shape.columns > INT32_MAX) {
    say("ERROR: " + std::string(kData) + " of " + file + " holds " +
        std::to_string(shape.images) + " images of " + std::to_string(shape.columns) + " x " +
        std::to_string(shape.rows) + " pixels: not a scan");
    return false;
  }
  scan.stack = file;
  scan.projections = MasterSeries{file, "", 0, static_cast<std::int32_t>(shape.images - 1), 1,
                                  false, 0};
  scan.header.DIM_1 = static_cast<std::int32_t>(shape.columns);
  scan.header.DIM_2 = static_cast<std::int32_t>(shape.rows);
  scan.header.pixel_type = shape.real ? "floating-point" : "integer";
  scan.background = corrections(file, kDark, o.background, shape);
  scan.flat = corrections(file, kWhite, o.flat, shape);
  if (rav_hdf5_values(file, kTheta, scan.theta, problem) &&
      std::ssize(scan.theta) < shape.images) {
    problem = std::string(kTheta) + " holds " + std::to_string(scan.theta.size()) +
              " angles for " + std::to_string(shape.images) + " projections";
  }
  if (!problem.empty()) {
    say("WARNING: The angles of " + file + " are not used: " + problem);
    scan.theta.clear();
  }
  scan.theta.resize(std::min(scan.theta.size(), static_cast<std::size_t>(shape.images)));
  const auto mean_of = [&](const std::string& name, const char* dataset) {
    return name.empty() ? std::string("none")
           : name == file ? "the mean of " + std::string(dataset) + " of " + file
                          : name;
  };
  say("INFO: Projections: " + file + ", " + kData + ", images 0 to " +
      std::to_string(shape.images - 1) + " (" + std::to_string(shape.columns) + " x " +
      std::to_string(shape.rows) + " " + scan.header.pixel_type + " pixels)");
  say("INFO: Background: " + mean_of(scan.background, kDark));
  say("INFO: Flat field: " + mean_of(scan.flat, kWhite));
  say("INFO: Angles: " + (scan.theta.empty() ? std::string("not in the file")
                                            : std::string(kTheta) + " of the file"));
  return true;
}
