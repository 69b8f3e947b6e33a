// The projection filter for sixteen projections at once: the transforms of the filter plan run on
// vectors of sixteen floats, one projection per lane, each lane with exactly the operations of
// the filter of one projection, so that every projection comes out the same, bit for bit.
// Written once (the vector extensions' sixteen-float type over the templates of
// rav_fourier-inl.h) and compiled for every Highway target; Highway's dispatch picks one. With
// the reference loops in use, the plain transforms filter one projection at a time.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "rav_filter_batch.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
// Must come after foreach_target.h.
#include <hwy/highway.h>

#include <algorithm>
#include <cassert>
#include <cstdint>

#include "rav_core.h"
#include "rav_fourier-inl.h"
#include "rav_kernels.h"
#include "rav_numerics.h"

HWY_BEFORE_NAMESPACE();
namespace rav_fft {
namespace HWY_NAMESPACE {

typedef float Sixteen __attribute__((vector_size(64)));

// PROJECTIONS[l] (COUNT of them, BINS values each) filtered into OUT[l] (which may be
// PROJECTIONS[l]) through W (NFFT vectors of sixteen floats, aligned to 64 bytes). EDGE: the
// padding continues the edges as RavFilterPlan::filter pads with EDGE and MASSES[l]; zeros
// otherwise.
void FilterBatch(std::int64_t NFFT, std::int32_t bins, const float* FILTER, const float* TWIDDLE,
                 const float* const* projections, float* const* out, int count, bool edge,
                 const double* masses, float* w) {
  Sixteen* W = reinterpret_cast<Sixteen*>(w);
  for (std::int32_t k = 0; k < bins; ++k) {
    for (int l = 0; l < 16; ++l) w[16 * k + l] = l < count ? projections[l][k] : 0.0f;
  }
  std::fill(w + 16 * std::int64_t{bins}, w + 16 * NFFT, 0.0f);
  if (edge && bins > 0) {
    for (int l = 0; l < count; ++l) {
      rav_edge_padding(projections[l], bins, NFFT, masses[l], w + 16 * std::int64_t{bins} + l, 16);
    }
  }
  analyse(NFFT, TWIDDLE, true, W);
  weigh(NFFT, FILTER, W);
  synthesise(NFFT, TWIDDLE, true, W);
  for (int l = 0; l < count; ++l) {
    for (std::int32_t k = 0; k < bins; ++k) out[l][k] = w[16 * k + l];
  }
}

// NOLINTNEXTLINE(google-readability-namespace-comments)
}  // namespace HWY_NAMESPACE
}  // namespace rav_fft
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace rav_fft {
HWY_EXPORT(FilterBatch);
}  // namespace rav_fft

std::int64_t RavFilterPlan::batch_work_values() const { return kBatch * nfft_ + kBatch; }

void RavFilterPlan::filter_batch(std::span<const float* const> projections,
                                 std::span<float* const> out, std::span<float> work,
                                 std::span<const double> masses) const {
  assert(projections.size() == out.size() && projections.size() <= kBatch &&
         std::ssize(work) >= batch_work_values() &&
         (masses.empty() || masses.size() == projections.size()));
  double mass[kBatch] = {};
  std::copy(masses.begin(), masses.end(), mass);
  if (rav_reference_loops()) {  // the plain transforms, one projection at a time
    for (std::size_t l = 0; l < projections.size(); ++l) {
      filter(std::span<const float>(projections[l], static_cast<std::size_t>(num_bins_)), work,
             mass[l]);
      std::copy_n(work.begin(), num_bins_, out[l]);
    }
    return;
  }
  // The vectors of sixteen floats are aligned to 64 bytes.
  auto address = reinterpret_cast<std::uintptr_t>(work.data());
  address = (address + 63) & ~std::uintptr_t{63};
  HWY_DYNAMIC_DISPATCH(rav_fft::FilterBatch)
  (nfft_, num_bins_, filter_.data(), twiddle_.data(), projections.data(), out.data(),
   static_cast<int>(projections.size()), options_.padding == RavFilterOptions::EDGE, mass,
   reinterpret_cast<float*>(address));
}
#endif  // HWY_ONCE
