// The projection filter: transform length, filter weights and twiddle table as a plan, and the
// filtering of a projection (padded) by multiplication in the frequency domain.
#include <algorithm>
#include <cassert>
#include <cmath>
#include <iterator>

#include <hwy/highway.h>

#include "rav_allocate.h"
#include "rav_fourier-inl.h"
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

RavFilterPlan::RavFilterPlan(std::int32_t NUM_BINS, const RavFilterOptions& options)
    : options_(options), num_bins_(std::max(NUM_BINS, 0)), nfft_(rav_filter_nfft(NUM_BINS)) {
  const std::int64_t NFFT = nfft_;
  rav_allocate(filter_, NFFT, "ERROR: Failed to allocated array for filter");
  rav_allocate(twiddle_, 2 * NFFT, "ERROR: Failed to allocated array for twiddle factors");
  std::int32_t status = ST_OK;  // the sizes are consistent: the table cannot fail
  RAV_EXPNT(2 * NFFT, 2 * NFFT, 8, twiddle_, status);
  if (!options.is_default()) {
    rav_filter_weights(options, NFFT, filter_);
    return;
  }

  // The ramp |f|/f_Nyquist with the synthesis's factor NFFT divided out: FILTER(1) = 0 (the
  // mean goes), FILTER(2) = 1/NFFT, FILTER(2k+1) = 2k/NFFT². Every step is in single
  // precision; the factors are powers of two, so the weights are exact.
  std::vector<float>& F = filter_;
  F[1] = 0.5f;
  const float R = 1.0f / static_cast<float>(NFFT / 2);
  for (std::int64_t k = 1; k <= NFFT / 2 - 1; ++k) F[2 * k] = static_cast<float>(k) * R * 0.5f;
  const float S = 1.0f / static_cast<float>(NFFT);
  const float scale = S * 2.0f;
  for (float& weight : F) weight *= scale;
}

void RavFilterPlan::filter(std::span<const float> projection, std::span<float> work,
                           double mass) const {
  const std::int64_t NFFT = nfft_;
  assert(std::ssize(work) >= NFFT && std::ssize(projection) >= num_bins_);
  if (projection.data() != work.data()) std::copy_n(projection.begin(), num_bins_, work.begin());
  float* W = work.data();
  if (options_.padding == RavFilterOptions::EDGE && num_bins_ > 0) {
    rav_edge_padding(W, num_bins_, NFFT, mass, W + num_bins_, 1);
  } else {
    std::fill(W + num_bins_, W + NFFT, 0.0f);
  }

  rav_fft_analyse(NFFT, twiddle_.data(), true, W);
  rav_fft::HWY_NAMESPACE::weigh(NFFT, filter_.data(), W);
  rav_fft_synthesise(NFFT, twiddle_.data(), true, W);
}

void rav_filter_sinogram(const RavFilterPlan& plan, std::int32_t NUM_PROJECTIONS,
                         std::span<float> sinogram, std::span<float> work) {
  const std::int64_t bins = plan.num_bins();
  const RavFilterOptions& options = plan.options();
  const double mass = options.padding == RavFilterOptions::EDGE
                          ? rav_sample_mass(plan.num_bins(), NUM_PROJECTIONS, sinogram, options)
                          : 0.0;
  if (std::ssize(work) >= plan.batch_work_values()) {
    // Sixteen projections at a time, in place.
    for (std::int64_t first = 0; first < NUM_PROJECTIONS; first += RavFilterPlan::kBatch) {
      float* batch[RavFilterPlan::kBatch];
      double masses[RavFilterPlan::kBatch];
      const auto count = static_cast<std::size_t>(
          std::min<std::int64_t>(RavFilterPlan::kBatch, NUM_PROJECTIONS - first));
      for (std::size_t l = 0; l < count; ++l) {
        batch[l] = sinogram.data() + (first + l) * bins;
        masses[l] = mass * options.weight(first + static_cast<std::int64_t>(l));
      }
      plan.filter_batch(std::span<const float* const>(batch, count),
                        std::span<float* const>(batch, count), work, std::span(masses, count));
    }
    return;
  }
  for (std::int64_t j = 0; j < NUM_PROJECTIONS; ++j) {
    const auto projection = sinogram.subspan(static_cast<std::size_t>(j * bins),
                                             static_cast<std::size_t>(bins));
    plan.filter(projection, work, mass * options.weight(j));
    std::copy_n(work.begin(), bins, projection.begin());
  }
}
