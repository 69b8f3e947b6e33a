// The dead and hot pixels of a pass: found in the flat field of each slice's row, replaced in
// every image of the pass before the correction, reported in one line.
#include <string>

#include "rav_accuracy.h"
#include "ut.h"

namespace {
constexpr std::size_t kShownPositions = 20;  // positions listed in the report; the rest counted
}  // namespace

std::int64_t RavDeadPixels::count() const {
  std::int64_t n = 0;
  for (const std::vector<std::int32_t>& row : bins) n += std::ssize(row);
  return n;
}

RavDeadPixels rav_find_dead_pixels(const RavPassRows& rows, std::span<const float> flat,
                                   float floor) {
  RavDeadPixels dead;
  std::vector<float> row(static_cast<std::size_t>(rows.NUM_BINS));
  for (std::int32_t k = 0; k < rows.NUM_SLICES; ++k) {
    const float* first = flat.data() + k * rows.SLICE_STEP;
    for (std::int32_t b = 0; b < rows.NUM_BINS; ++b) row[b] = first[b * rows.BIN_STEP];
    dead.bins.push_back(rav_find_bad_pixels(row, floor));
  }
  return dead;
}

void rav_fill_dead_pixels(const RavDeadPixels& dead, const RavPassRows& rows,
                          std::span<float> data) {
  if (data.empty()) return;
  for (std::size_t k = 0; k < dead.bins.size(); ++k) {
    if (dead.bins[k].empty()) continue;
    rav_fill_bad_pixels(data.data() + static_cast<std::int64_t>(k) * rows.SLICE_STEP,
                        rows.BIN_STEP, rows.NUM_BINS, dead.bins[k]);
  }
}

void rav_report_dead_pixels(const RavDeadPixels& dead, bool vertical, std::int32_t FIRST_SLICE,
                            std::int32_t& status) {
  const std::int64_t count = dead.count();
  if (count == 0) {
    UT_WRITE("INFO: No dead or hot pixels in the flat field", status);
    return;
  }
  std::string line = "INFO: " + std::to_string(count) +
                     " dead or hot pixels (image column, row) replaced by their neighbours "
                     "along the bins:";
  std::size_t shown = 0;
  for (std::size_t k = 0; k < dead.bins.size(); ++k) {
    for (const std::int32_t bin : dead.bins[k]) {
      if (shown == kShownPositions) break;
      ++shown;
      const std::int32_t slice = FIRST_SLICE + static_cast<std::int32_t>(k);
      const std::int32_t column = vertical ? bin + 1 : slice, row = vertical ? slice : bin + 1;
      line += " (" + std::to_string(column) + ", " + std::to_string(row) + ")";
    }
  }
  if (count > static_cast<std::int64_t>(kShownPositions)) {
    line += " and " + std::to_string(count - static_cast<std::int64_t>(kShownPositions)) +
            " more";
  }
  UT_WRITE(line, status);
}
