// The angles of the projections of an HDF5 file (/exchange/theta, in degrees): checked against
// the parameter file's, or, with ANGLES_FROM_FILE, used instead of them.
//
// Filtered back-projection sums the filtered projections over the half turn, each standing for
// the angular interval around it (A. C. Kak and M. Slaney, Principles of Computerized
// Tomographic Imaging, IEEE Press, 1988, ch. 3: the integral over the angle approximated by a
// sum). With evenly spaced angles every interval is the same and the design's weight
// pi / (2 NUM_PROJECTIONS) serves them all. Angles that are not evenly spaced are given to the
// back-projection one by one, and each projection's share of the range is put into its weight:
// half the distance between its neighbours (the whole distance to its one neighbour at either
// end), divided by the mean share, so that the weights still add up to NUM_PROJECTIONS.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <string>

#include "rav_in_hdf5.h"
#include "rav_input_output.h"
#include "ut.h"

namespace {

constexpr std::string_view kTheta = "/exchange/theta";
constexpr float kDegree = 0.017453292F;  // the parameter file's degrees to radians
constexpr double kPi = 3.14159265358979323846;

std::string trimmed(const std::string& text) {
  return text.substr(0, static_cast<std::size_t>(SLEN(text)));
}

std::string degrees_text(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

// The file's angles of the run's projections, image NUM_FIRST_IMAGE + j FILE_INTERVAL for
// projection j. False with PROBLEM empty when STACK_FILE is not an HDF5 file with angles.
bool file_angles(const ParameterSet& p, std::int32_t count, std::vector<double>& degrees,
                 std::string& problem) {
  const std::string stack = trimmed(p.STACK_FILE);
  problem.clear();
  if (stack.empty() || rav_input_format(p, stack) != RavImageFormat::HDF5) return false;
  std::vector<double> all;
  if (!rav_hdf5_values(stack, kTheta, all, problem)) return false;
  degrees.clear();
  for (std::int64_t j = 0; j < count; ++j) {
    const std::int64_t image = p.NUM_FIRST_IMAGE + j * std::int64_t{p.FILE_INTERVAL};
    if (image < 0 || image >= std::ssize(all) || !std::isfinite(all[static_cast<std::size_t>(image)])) {
      problem = std::string(kTheta) + " of " + stack + " has no usable angle for image " +
                std::to_string(image);
      return false;
    }
    degrees.push_back(all[static_cast<std::size_t>(image)]);
  }
  return true;
}

// The step of evenly spaced angles, or NaN when they are not evenly spaced (every angle within
// a hundredth of the step, and a ten-thousandth of a degree, of its place).
double even_step(const std::vector<double>& degrees) {
  if (degrees.size() < 2) return 0.0;
  const double step = (degrees.back() - degrees.front()) / static_cast<double>(degrees.size() - 1);
  const double tolerance = 1e-4 + 0.01 * std::abs(step);
  for (std::size_t j = 0; j < degrees.size(); ++j) {
    if (std::abs(degrees[j] - (degrees.front() + static_cast<double>(j) * step)) > tolerance) {
      return std::nan("");
    }
  }
  return step;
}

// Each angle's share of the range against the mean share (see the top of the file).
std::vector<float> angle_weights(const std::vector<double>& radians) {
  const std::size_t n = radians.size();
  std::vector<std::size_t> order(n);
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return radians[a] < radians[b];
  });
  std::vector<double> share(n, 1.0);
  for (std::size_t k = 0; n > 1 && k < n; ++k) {
    const double before = radians[order[k == 0 ? 0 : k - 1]];
    const double after = radians[order[k + 1 == n ? n - 1 : k + 1]];
    share[order[k]] = (after - before) / (k == 0 || k + 1 == n ? 1.0 : 2.0);
  }
  const double mean = std::accumulate(share.begin(), share.end(), 0.0) / static_cast<double>(n);
  std::vector<float> weights(n);
  for (std::size_t j = 0; j < n; ++j) weights[j] = static_cast<float>(share[j] / mean);
  return weights;
}

// Evenly spaced DEGREES put into P as the parameter file would give them (the first angle and
// the step); answers the step, NaN (P unchanged) when they are not evenly spaced.
double put_even_angles(ParameterSet& p, const std::vector<double>& degrees) {
  const double step = even_step(degrees);
  if (!std::isnan(step)) {
    p.ANGLE_OFFSET = static_cast<float>(degrees.front()) * kDegree;
    p.ANGLE_BETWEEN_PROJECTIONS = static_cast<float>(step) * kDegree;
  }
  return step;
}

}  // namespace

std::string rav_angles_problem(const ParameterSet& p, std::int32_t NUM_PROJECTIONS) {
  std::vector<double> degrees;
  std::string problem;
  const bool found = file_angles(p, NUM_PROJECTIONS, degrees, problem);
  if (!problem.empty()) return problem;
  const std::string where = std::string(kTheta) + " of " + trimmed(p.STACK_FILE);
  if (!found) {
    return p.ANGLES_FROM_FILE ? "ANGLES_FROM_FILE = YES, but there is no " + where +
                                    " (STACK_FILE must be an HDF5 file with the angles)"
                              : "";
  }
  const auto [lowest, highest] = std::minmax_element(degrees.begin(), degrees.end());
  if (p.ANGLES_FROM_FILE) {
    if (degrees.size() > 1 && *lowest == *highest) {
      return "The angles of " + where + " are all " + degrees_text(*lowest) + " degrees";
    }
    // The axis finder, the sweep and the joining of half-acquisition scans take evenly spaced
    // angles.
    const bool needs_even = p.ROTATION_AXIS_AUTO || p.AXIS_SWEEP.given || p.HALF_ACQUISITION;
    return needs_even && std::isnan(even_step(degrees))
               ? "The angles of " + where + " are not evenly spaced: ROTATION_AXIS_POSITION = "
                 "AUTO, AXIS_SWEEP and HALF_ACQUISITION = YES need evenly spaced angles"
               : "";
  }
  const double offset = p.ANGLE_OFFSET / static_cast<double>(kDegree);
  const double step = p.ANGLE_BETWEEN_PROJECTIONS / static_cast<double>(kDegree);
  const double tolerance = 1e-4 + 0.01 * std::abs(step);
  for (std::size_t j = 0; j < degrees.size(); ++j) {
    const double expected = offset + static_cast<double>(j) * step;
    if (std::abs(degrees[j] - expected) > tolerance) {
      return "Projection " + std::to_string(j + 1) + " is at " + degrees_text(degrees[j]) +
             " degrees in " + where + ", at " + degrees_text(expected) + " degrees" +
             " by ANGLE_OFFSET and ANGLE_BETWEEN_PROJECTIONS (give the file's angles there, or "
             "ANGLES_FROM_FILE = YES)";
    }
  }
  return "";
}

void rav_even_file_angles(ParameterSet& p, std::int32_t NUM_PROJECTIONS) {
  std::vector<double> degrees;
  std::string problem;
  if (p.ANGLES_FROM_FILE && file_angles(p, NUM_PROJECTIONS, degrees, problem)) {
    put_even_angles(p, degrees);
  }
}

std::vector<double> rav_file_angles(ParameterSet& p, std::int32_t NUM_PROJECTIONS,
                                    std::vector<float>& weights, std::int32_t& status) {
  weights.clear();
  std::vector<double> degrees, radians;
  std::string problem;
  if (!p.ANGLES_FROM_FILE || !file_angles(p, NUM_PROJECTIONS, degrees, problem)) return radians;
  const std::string where = std::string(kTheta) + " of " + trimmed(p.STACK_FILE);
  const double step = put_even_angles(p, degrees);
  if (!std::isnan(step)) {
    UT_WRITE("INFO: Angles from " + where + ": from " + degrees_text(degrees.front()) +
                 " degrees in steps of " + degrees_text(step),
             status);
    return radians;
  }
  for (double angle : degrees) radians.push_back(angle * kPi / 180.0);
  weights = angle_weights(radians);
  UT_WRITE("INFO: Angles from " + where + ": not evenly spaced, each projection weighted by",
           status);
  UT_WRITE("      its share of the angular range", status);
  return radians;
}
