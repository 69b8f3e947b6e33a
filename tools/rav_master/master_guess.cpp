// What the projections say of the scan: the angle it covers, the angular step, the rotation axis.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "master.h"
#include "rav_axis.h"
#include "rav_axis_run.h"
#include "ut.h"

namespace {
// Rows of the sample: up to 32 in the middle of the slices.
constexpr std::int32_t kRows = 32;

// The correlation of projection 0 with projection OTHER mirrored (the finder's confidence over
// the middle rows); -1 when they cannot be compared.
double mirrored_match(const ParameterSet& p, std::int32_t other) {
  const std::int32_t slices = p.ROTATION_VERTICAL ? p.NUM_IMAGE_2 : p.NUM_IMAGE_1;
  const std::int32_t NUM_BINS = p.ROTATION_VERTICAL ? p.NUM_IMAGE_1 : p.NUM_IMAGE_2;
  const std::int32_t rows = std::min(kRows, slices);
  const std::int32_t first_slice = (slices - rows) / 2 + 1;
  const std::vector<float> s =
      master_read_sample(p, 0, other, 2, first_slice, first_slice + rows - 1);
  if (s.empty()) return -1.0;
  std::vector<float> a, b;
  for (std::int32_t r = 0; r < rows; ++r) {
    const auto row = s.begin() + static_cast<std::ptrdiff_t>(r) * 2 * NUM_BINS;
    a.insert(a.end(), row, row + NUM_BINS);
    b.insert(b.end(), row + NUM_BINS, row + 2 * NUM_BINS);
  }
  const RavAxisResult result = rav_find_axis_pair(a, b, rows, NUM_BINS);
  return result.decided ? result.confidence : -1.0;
}

std::string number_text(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}
}  // namespace

std::string master_guess_turn(const ParameterSet& p) {
  const std::int32_t count = (p.NUM_LAST_IMAGE - p.NUM_FIRST_IMAGE) / p.FILE_INTERVAL + 1;
  if (count < 4) return {};
  const double middle = mirrored_match(p, count / 2), last = mirrored_match(p, count - 1);
  std::int32_t status = ST_OK;
  // Projections half a turn apart match their mirror closely; a quarter turn apart (the middle
  // of a half turn) or a whole turn apart (the end of a whole one) they match it less, unless
  // the sample looks the same from every side.
  constexpr double kMargin = 0.01;
  if (middle < 0.0 && last < 0.0) return {};
  const std::string how = " (mirrored correlation " + rav_axis_number(std::max(middle, last), 3) +
                          " against " + rav_axis_number(std::min(middle, last), 3) + ")";
  if (middle > last + kMargin) {
    UT_WRITE("INFO: The middle projection mirrors the first: a 360-degree scan" + how, status);
    return "360";
  }
  if (last > middle + kMargin) {
    UT_WRITE("INFO: The last projection mirrors the first: a 180-degree scan" + how, status);
    return "180";
  }
  return {};
}

std::string master_step_text(double turn, std::int32_t count) {
  auto round = [](double step) {
    return std::abs(step * 10000.0 - std::round(step * 10000.0)) < 1.0e-6;
  };
  const double plain = turn / count;
  if (!round(plain) && count > 1 && round(turn / (count - 1))) {
    return number_text(turn / (count - 1));
  }
  return number_text(plain);
}

std::string master_find_axis(const ParameterSet& parameters) {
  ParameterSet p = parameters;
  p.ROTATION_AXIS_AUTO = true;
  ReconTimes times;
  std::int32_t status = ST_OK;
  try {
    if (rav_find_run_axis(p, times, status)) return rav_axis_number(p.ROTATION_AXIS_POSITION, 2);
  } catch (const RavFatalError& e) {
    UT_WRITE(e.what(), status);
  }
  return {};
}
