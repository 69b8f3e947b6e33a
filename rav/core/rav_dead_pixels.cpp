// Dead and hot detector pixels: found in a row of the flat field, and replaced in a row of any
// image by interpolation from the good pixels beside them.
#include <algorithm>
#include <cmath>
#include <vector>

#include "rav_core.h"

namespace {

constexpr std::int32_t kHalfWindow = 2;      // the median of the 5 pixels around a pixel
constexpr double kDeviations = 10.0;         // median absolute deviations that make an outlier
constexpr double kRelativeDeviation = 0.01;  // ... and at least this fraction of the median

// The median of VALUES (reordered); the upper one of the middle two for an even count.
float median_of(std::vector<float>& values) {
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

}  // namespace

std::vector<std::int32_t> rav_find_bad_pixels(std::span<const float> open, float floor) {
  const auto n = static_cast<std::int32_t>(open.size());
  std::vector<float> local(open.size()), deviation(open.size()), window;
  for (std::int32_t i = 0; i < n; ++i) {
    const std::int32_t first = std::max(0, i - kHalfWindow);
    const std::int32_t last = std::min(n - 1, i + kHalfWindow);
    window.assign(open.begin() + first, open.begin() + last + 1);
    local[i] = median_of(window);
    deviation[i] = std::abs(open[i] - local[i]);
  }
  std::vector<float> spread = deviation;
  const double mad = spread.empty() ? 0.0 : median_of(spread);
  std::vector<std::int32_t> bad;
  for (std::int32_t i = 0; i < n; ++i) {
    const double limit = std::max(kDeviations * mad, kRelativeDeviation * std::abs(local[i]));
    // NaN flat-field values are bad as well: neither test below passes for them.
    if (!(open[i] > floor) || !(deviation[i] <= limit)) bad.push_back(i);
  }
  return bad;
}

void rav_fill_bad_pixels(float* values, std::int64_t stride, std::int32_t n,
                         std::span<const std::int32_t> bad) {
  if (std::ssize(bad) >= n) return;  // no good pixel to take values from
  const auto at = [&](std::int32_t i) -> float& { return values[i * stride]; };
  for (std::size_t first = 0; first < bad.size();) {
    // A run of neighbouring bad pixels between the good pixels LEFT and RIGHT.
    std::size_t last = first;
    while (last + 1 < bad.size() && bad[last + 1] == bad[last] + 1) ++last;
    const std::int32_t left = bad[first] - 1, right = bad[last] + 1;
    for (std::size_t b = first; b <= last; ++b) {
      const std::int32_t i = bad[b];
      if (left < 0) {
        at(i) = at(right);
      } else if (right >= n) {
        at(i) = at(left);
      } else {
        const float t = static_cast<float>(i - left) / static_cast<float>(right - left);
        at(i) = (1.0f - t) * at(left) + t * at(right);
      }
    }
    first = last + 1;
  }
}
