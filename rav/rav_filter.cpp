// The ramp filter: transform length, filter weights and twiddle table, and the filtering of
// one projection by multiplication in the frequency domain.
#include <algorithm>
#include <cassert>
#include <cmath>
#include <iterator>

#include "rav_allocate.h"
#include "rav_numerics.h"
#include "ut.h"

std::int64_t rav_filter_nfft(std::int32_t NUM_BINS) {
  // The smallest power of two not below 2·NUM_BINS - 1, so that the wrap-around of the
  // periodic convolution stays out of the NUM_BINS samples kept. One bin (or none) would give
  // a transform of length 1 without room for the Nyquist weight: two is the least.
  if (NUM_BINS <= 1) return 2;
  const float bits = std::log(static_cast<float>(2 * static_cast<std::int64_t>(NUM_BINS) - 1)) *
                         1.442695f + 0.9999f;
  const auto P = static_cast<int>(bits);
  return std::max<std::int64_t>(2, std::int64_t{1} << P);
}

void rav_filter_setup(std::int32_t NUM_BINS, RavFilterSet& filter, std::int32_t& status) {
  const std::int64_t NFFT = rav_filter_nfft(NUM_BINS);
  filter.NFFT = NFFT;
  filter.MAX_TWIDDLE = 2 * NFFT;
  rav_allocate(filter.FILTER, NFFT, "ERROR: Failed to allocated array for filter");
  rav_allocate(filter.TWIDDLE, 2 * NFFT, "ERROR: Failed to allocated array for twiddle factors");

  // The ramp |f|/f_Nyquist with the synthesis's factor NFFT divided out: FILTER(1) = 0 (the
  // mean goes), FILTER(2) = 1/NFFT, FILTER(2k+1) = 2k/NFFT². Every step is in single
  // precision; the factors are powers of two, so the weights are exact.
  std::vector<float>& F = filter.FILTER;
  std::fill(F.begin(), F.end(), 0.0f);
  F[1] = 0.5f;
  const float R = 1.0f / static_cast<float>(NFFT / 2);
  for (std::int64_t k = 1; k <= NFFT / 2 - 1; ++k) F[2 * k] = static_cast<float>(k) * R * 0.5f;
  const float S = 1.0f / static_cast<float>(NFFT);
  const float scale = S * 2.0f;
  for (float& weight : F) weight *= scale;

  RAV_EXPNT(2 * NFFT, 2 * NFFT, 8, filter.TWIDDLE, status);
}

void rav_filter_projection(std::int32_t NUM_BINS, std::span<const float> PROJECTION,
                           const RavFilterSet& filter, std::span<float> WORK,
                           std::int32_t& status) {
  const std::int64_t NFFT = filter.NFFT;
  assert(std::ssize(filter.FILTER) >= NFFT && std::ssize(PROJECTION) >= NUM_BINS);
  // A work array shorter than NFFT is the transform's error 20005; never write past it.
  const std::int64_t room = std::min<std::int64_t>(NFFT, std::ssize(WORK));
  const std::int64_t bins = std::clamp<std::int64_t>(NUM_BINS, 0, room);
  std::copy_n(PROJECTION.begin(), bins, WORK.begin());
  std::fill(WORK.begin() + bins, WORK.begin() + room, 0.0f);

  RAV_FFA8(NFFT, NFFT, filter.MAX_TWIDDLE, filter.TWIDDLE, true, WORK, status);
  if (status != ST_OK) return;
  // DC and Nyquist, then both slots of each frequency with the weight of its real slot.
  const float* F = filter.FILTER.data();
  float* W = WORK.data();
  W[0] *= F[0];
  W[1] *= F[1];
  for (std::int64_t k = 1; k <= (NFFT - 1) / 2; ++k) {
    W[2 * k] *= F[2 * k];
    W[2 * k + 1] *= F[2 * k];
  }
  RAV_FFS8(NFFT, NFFT, filter.MAX_TWIDDLE, filter.TWIDDLE, true, WORK, status);
}
