// Ring removal in the sinogram: stripes found and corrected in the sorted sinogram.
//
// The method is the sorting-based stripe removal of N. T. Vo, R. C. Atwood and
// M. Drakopoulos, "Superior techniques for eliminating ring artifacts in X-ray
// micro-tomography", Optics Express 26(22), 28396-28412 (2018), restricted, as their removal of
// large stripes is, to the columns where stripes are detected:
//
//  1. Each detector column of the sinogram is sorted along the angle. A column's response error
//     (a gain or offset the flat field did not correct) shifts its values whatever the sample
//     shows, while the sorted columns of good neighbours change smoothly from one bin to the next:
//     sorting turns the sample's structure into something a filter across the bins leaves alone.
//  2. Each column's stripe signal is the median over the ranks of the difference between its
//     sorted value and what its neighbours make of that rank, in two ways (W = the strength,
//     the widest stripe removed): (a) the median of the 2W + 1 sorted columns around it, which
//     follows the sample's edges but not a slope steeper, from one bin to the next, than the
//     stripe is high; (b) the straight lines through the two columns W and W + 1 bins away on
//     either side, continued to the column, and the mean of the two columns W bins away: the
//     signal is the smallest of the three differences when all have the same sign (else none),
//     which sees stripes on slopes, where (a) does not, and nothing at a corner of the profile
//     (at an edge one of the three agrees, at a peak they differ in sign).
//  3. A column is a stripe where either signal exceeds three times its noise over all columns
//     (1.4826 median absolute deviations, of the signal (a), of the difference from the mean of
//     the columns W bins away (b); for data without noise, at least a thousandth of the
//     sinogram's RMS value). The paper likewise detects stripes by a multiple of such a noise
//     level.
//  4. The sorted values of a stripe column are replaced, rank by rank, by linear interpolation
//     between the nearest columns that are not stripes, and put back in the column's own order.
//
// Only stripe columns change. Median-filtering every sorted column instead (the paper's removal
// of small stripes) also flattens the sorted sinogram's peak at the rotation axis, which darkens
// the centre of the slice by a few percent on a sample centred on the axis; the correction
// restricted to detected stripes leaves a sinogram without stripes as it is.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "rav_core.h"

namespace {

constexpr double kThreshold = 3.0;        // noise levels that make a stripe
constexpr double kMadToSigma = 1.4826;    // median absolute deviation to standard deviation
constexpr double kRelativeFloor = 1.0e-3; // least noise level, as a fraction of the RMS value

float median_of(std::vector<float>& values) {
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

// The median of the N values at VALUES (reordered): insertion sort for the few values of a
// window, selection otherwise.
float median_of_few(float* values, std::size_t n) {
  if (n > 16) {
    std::nth_element(values, values + n / 2, values + n);
    return values[n / 2];
  }
  for (std::size_t i = 1; i < n; ++i) {
    const float v = values[i];
    std::size_t k = i;
    for (; k > 0 && values[k - 1] > v; --k) values[k] = values[k - 1];
    values[k] = v;
  }
  return values[n / 2];
}

// A key that sorts as the finite value V does, with the projection J to break ties (so that
// the order is the same every time).
std::uint64_t sort_key(float v, std::int32_t j) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  bits = (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
  return (std::uint64_t{bits} << 32) | static_cast<std::uint32_t>(j);
}

// The value of a sort key.
float key_value(std::uint64_t key) {
  auto bits = static_cast<std::uint32_t>(key >> 32);
  bits = (bits & 0x80000000u) != 0 ? bits & 0x7FFFFFFFu : ~bits;
  float v = 0.0f;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

// The sinogram's columns sorted along the angle: column b's values ascending at
// SORTED[b·NP ..], with the projection each came from in ORDER. The arrays are kept by each
// thread from one sinogram to the next (sinograms of a run have one size).
struct SortedColumns {
  std::int64_t NP = 0;
  std::vector<float> sorted;
  std::vector<std::int32_t> order;
  std::vector<std::uint64_t> keys;
  const float* column(std::int64_t b) const { return sorted.data() + b * NP; }
};

const SortedColumns& sort_columns(std::int32_t NB, std::int32_t NP,
                                  std::span<const float> sinogram) {
  thread_local SortedColumns s;
  s.NP = NP;
  const auto size = static_cast<std::size_t>(std::int64_t{NB} * NP);
  s.sorted.resize(size);
  s.order.resize(size);
  // A tile of columns at a time, read along the rows of the sinogram.
  constexpr std::int32_t kTile = 16;
  std::vector<std::uint64_t>& keys = s.keys;
  keys.resize(static_cast<std::size_t>(kTile) * NP);
  for (std::int32_t b0 = 0; b0 < NB; b0 += kTile) {
    const std::int32_t width = std::min(kTile, NB - b0);
    for (std::int32_t j = 0; j < NP; ++j) {
      const float* row = sinogram.data() + j * std::int64_t{NB} + b0;
      for (std::int32_t c = 0; c < width; ++c) keys[c * std::int64_t{NP} + j] = sort_key(row[c], j);
    }
    for (std::int32_t c = 0; c < width; ++c) {
      std::uint64_t* column = keys.data() + c * std::int64_t{NP};
      std::sort(column, column + NP);
      const std::int64_t b = b0 + c;
      for (std::int32_t r = 0; r < NP; ++r) {
        s.order[b * NP + r] = static_cast<std::int32_t>(column[r] & 0xFFFFFFFFu);
        s.sorted[b * NP + r] = key_value(column[r]);
      }
    }
  }
  return s;
}

// Step 2 (a): the difference from the median of the sorted columns around.
std::vector<float> median_signals(const SortedColumns& s, std::int32_t NB, std::int32_t W) {
  std::vector<float> signal(static_cast<std::size_t>(NB)), differences(s.NP);
  std::vector<float> window(2 * static_cast<std::size_t>(W) + 1);
  for (std::int32_t b = 0; b < NB; ++b) {
    const std::int32_t first = std::max(0, b - W), last = std::min(NB - 1, b + W);
    for (std::int64_t r = 0; r < s.NP; ++r) {
      std::size_t n = 0;
      for (std::int32_t c = first; c <= last; ++c) window[n++] = s.column(c)[r];
      differences[r] = s.column(b)[r] - median_of_few(window.data(), n);
    }
    signal[b] = median_of(differences);
  }
  return signal;
}

// Step 2 (b): the difference from the lines continued from either side and from the mean of
// the columns W bins away, where they agree. SPREAD gets the difference from the mean alone
// (where there is one), whose spread over the columns is the noise of the signal: the signal
// is 0 wherever the three disagree, as they mostly do on noise alone.
std::vector<float> trend_signals(const SortedColumns& s, std::int32_t NB, std::int32_t W,
                                 std::vector<float>& spread) {
  std::vector<float> signal(static_cast<std::size_t>(NB), 0.0f), differences(s.NP);
  spread.clear();
  const auto median_difference = [&](const float* value, auto predicted) {
    for (std::int64_t r = 0; r < s.NP; ++r) differences[r] = value[r] - predicted(r);
    return median_of(differences);
  };
  const auto w = static_cast<float>(W);
  for (std::int32_t b = 0; b < NB; ++b) {
    const float* x = s.column(b);
    std::vector<float> found;
    if (b - W - 1 >= 0) {
      const float *near = s.column(b - W), *far = s.column(b - W - 1);
      found.push_back(median_difference(x, [&](std::int64_t r) {
        return near[r] + w * (near[r] - far[r]);
      }));
    }
    if (b + W + 1 < NB) {
      const float *near = s.column(b + W), *far = s.column(b + W + 1);
      found.push_back(median_difference(x, [&](std::int64_t r) {
        return near[r] + w * (near[r] - far[r]);
      }));
    }
    if (b - W >= 0 && b + W < NB) {
      const float *left = s.column(b - W), *right = s.column(b + W);
      found.push_back(median_difference(x, [&](std::int64_t r) {
        return 0.5f * (left[r] + right[r]);
      }));
      spread.push_back(found.back());
    }
    if (found.empty()) continue;
    const auto [low, high] = std::minmax_element(found.begin(), found.end());
    signal[b] = *low > 0.0f ? *low : *high < 0.0f ? *high : 0.0f;
  }
  return signal;
}

// Step 3: marks as stripes the columns whose SIGNAL stands out from its noise, the spread of
// SPREAD over the columns (changed).
void find_stripes(const std::vector<float>& signal, std::vector<float>& spread, double rms,
                  std::vector<bool>& stripe) {
  for (float& value : spread) value = std::abs(value);
  const double mad = spread.empty() ? 0.0 : median_of(spread);
  const double noise = std::max(kMadToSigma * mad, kRelativeFloor * rms);
  for (std::size_t b = 0; b < signal.size(); ++b) {
    if (std::abs(signal[b]) > kThreshold * noise) stripe[b] = true;
  }
}

double rms_of(std::span<const float> values) {
  double squares = 0.0;
  for (float v : values) squares += static_cast<double>(v) * v;
  return std::sqrt(squares / static_cast<double>(values.size()));
}

}  // namespace

std::int32_t rav_remove_rings(const RavRingOptions& options, std::int32_t NUM_BINS,
                              std::int32_t NUM_PROJECTIONS, std::span<float> sinogram) {
  const std::int32_t NB = NUM_BINS, NP = NUM_PROJECTIONS;
  if (options.method == RavRingOptions::NONE || NB < 3 || NP < 1) return 0;
  const std::span<float> values = sinogram.first(static_cast<std::size_t>(std::int64_t{NB} * NP));
  const SortedColumns& s = sort_columns(NB, NP, values);
  const std::int32_t W = std::max(options.strength, 1);
  const double rms = rms_of(values);
  std::vector<bool> stripe(static_cast<std::size_t>(NB), false);
  const std::vector<float> median = median_signals(s, NB, W);
  std::vector<float> spread = median;
  find_stripes(median, spread, rms, stripe);
  const std::vector<float> trend = trend_signals(s, NB, W, spread);
  find_stripes(trend, spread, rms, stripe);
  const std::int64_t good = std::count(stripe.begin(), stripe.end(), false);
  if (good == 0) return 0;  // nothing to interpolate from

  // Step 4, one run of neighbouring stripe columns between good columns LEFT and RIGHT at a time.
  std::int32_t corrected = 0;
  for (std::int32_t b = 0; b < NB; ++b) {
    if (!stripe[b]) continue;
    std::int32_t left = b - 1, right = b + 1;
    while (right < NB && stripe[right]) ++right;
    for (; b < right; ++b, ++corrected) {
      const float t = left < 0 || right >= NB
                          ? (left < 0 ? 1.0f : 0.0f)
                          : static_cast<float>(b - left) / static_cast<float>(right - left);
      const float* lower = s.column(left < 0 ? right : left);
      const float* upper = s.column(right >= NB ? left : right);
      const std::int32_t* order = s.order.data() + std::int64_t{b} * NP;
      for (std::int32_t r = 0; r < NP; ++r) {
        values[order[r] * std::int64_t{NB} + b] = (1.0f - t) * lower[r] + t * upper[r];
      }
    }
  }
  return corrected;
}
