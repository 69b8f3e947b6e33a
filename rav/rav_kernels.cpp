// Choice of the back-projection kernels, the projection tables they take, and the scalar loop
// used where no vector unit serves.
#include "rav_kernels.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <vector>

namespace {

bool cpu_has_avx512() {
#if defined(__x86_64__) && !defined(RAV_REFERENCE)
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") != 0;
#else
  return false;
#endif
}

RavKernelTarget best_target() {
  if (rav_kernel_target_available(RavKernelTarget::AVX512)) return RavKernelTarget::AVX512;
  return RavKernelTarget::REFERENCE;
}

std::atomic<RavKernelTarget>& current_target() {
  static std::atomic<RavKernelTarget> target{best_target()};
  return target;
}

// The reference arithmetic for a list of projections, one pixel at a time.
template <RavKernelMethod METHOD, int NS>
void scalar_backproject(const RavGeometry& g, std::int32_t OV,
                        std::span<const RavKernelProjection> projections, float* const slices[2]) {
  const float A = g.AXIS_POSITION;
  const float ov = static_cast<float>(OV);
  for (const RavKernelProjection& p : projections) {
    const float c = p.c;
    const float s = p.s;
    const float step = METHOD == RavKernelMethod::FINE ? c * ov : c;
    for (std::int32_t y = g.FIRST_ROW; y <= g.LAST_ROW; ++y) {
      const std::int32_t xs = g.X_STARTS[static_cast<std::size_t>(y - 1)];
      const std::int32_t xe = g.X_ENDS[static_cast<std::size_t>(y - 1)];
      if (xe < xs) continue;
      const auto i = static_cast<float>(g.X_START + xs - 1);
      const auto r = static_cast<float>(g.Y_START + y - 1);
      float u = ((i - 0.5f) - A) * c - ((r - 0.5f) - A) * s + A;
      if constexpr (METHOD == RavKernelMethod::FINE) u = (u - 0.5f) * ov + 0.99999f;
      const std::int64_t row = static_cast<std::int64_t>(y - 1) * g.NUM_X;
      for (std::int32_t x = xs; x <= xe; ++x) {
        if constexpr (METHOD == RavKernelMethod::LINEAR) {
          const auto k = static_cast<std::int32_t>(u + 0.50001f);
          const float w = (u - static_cast<float>(k)) + 0.5f;
          for (int n = 0; n < NS; ++n) {
            slices[n][row + x - 1] += (1.0f - w) * p.data[n][k - 1] + w * p.data[n][k];
          }
        } else {
          const auto k = METHOD == RavKernelMethod::NEAREST ? static_cast<std::int32_t>(u + 1.0f)
                                                            : static_cast<std::int32_t>(u);
          for (int n = 0; n < NS; ++n) slices[n][row + x - 1] += p.data[n][k - 1];
        }
        u += step;
      }
    }
  }
}

template <RavKernelMethod METHOD>
void scalar_dispatch(const RavGeometry& g, std::int32_t OV,
                     std::span<const RavKernelProjection> projections, int NS,
                     float* const slices[2]) {
  if (NS == 2) {
    scalar_backproject<METHOD, 2>(g, OV, projections, slices);
  } else {
    scalar_backproject<METHOD, 1>(g, OV, projections, slices);
  }
}

}  // namespace

bool rav_kernel_target_available(RavKernelTarget target) {
  switch (target) {
    case RavKernelTarget::REFERENCE:
      return true;
    case RavKernelTarget::AVX512: {
      static const bool available = cpu_has_avx512();
      return available;
    }
  }
  return false;
}

RavKernelTarget rav_kernel_target() {
#ifdef RAV_REFERENCE
  return RavKernelTarget::REFERENCE;
#else
  return current_target().load(std::memory_order_relaxed);
#endif
}

bool rav_set_kernel_target(RavKernelTarget target) {
  if (!rav_kernel_target_available(target)) return false;
  current_target().store(target, std::memory_order_relaxed);
  return true;
}

const char* rav_kernel_target_name(RavKernelTarget target) {
  return target == RavKernelTarget::AVX512 ? "avx512" : "reference";
}

void rav_kernel_projections(const RavGeometry& g, int NS, const float* const sinograms[2],
                            std::span<RavKernelProjection> out, std::int64_t& count) {
  count = 0;
  double theta = g.START_ANGLE;  // running sum in double, as in the reference loop
  for (std::int64_t j = 0; j < g.NUM_PROJECTIONS; ++j, theta += g.ANGLE_STEP) {
    const auto c = static_cast<float>(std::cos(theta));
    const auto s = static_cast<float>(std::sin(theta));
    if (!std::isfinite(c) || !std::isfinite(s)) continue;
    RavKernelProjection& p = out[static_cast<std::size_t>(count++)];
    p.c = c;
    p.s = s;
    for (int n = 0; n < NS; ++n) p.data[n] = sinograms[n] + j * g.NUM_BINS;
  }
}

void rav_kernel_backproject(RavKernelMethod method, const RavGeometry& geometry, std::int32_t OV,
                            std::span<const RavKernelProjection> projections, int NS,
                            float* const slices[2]) {
  if (projections.empty() || geometry.LAST_ROW < geometry.FIRST_ROW) return;
  if (rav_kernel_target() == RavKernelTarget::AVX512) {
    rav_kernel_backproject_avx512(method, geometry, OV, projections, NS, slices);
    return;
  }
  switch (method) {
    case RavKernelMethod::NEAREST:
      scalar_dispatch<RavKernelMethod::NEAREST>(geometry, OV, projections, NS, slices);
      break;
    case RavKernelMethod::LINEAR:
      scalar_dispatch<RavKernelMethod::LINEAR>(geometry, OV, projections, NS, slices);
      break;
    case RavKernelMethod::FINE:
      scalar_dispatch<RavKernelMethod::FINE>(geometry, OV, projections, NS, slices);
      break;
  }
}

void rav_kernel_backproject_slices(RavKernelMethod method, const RavGeometry& geometry, int NS,
                                   const float* const sinograms[2], float* const slices[2]) {
  const std::int64_t pixels =
      static_cast<std::int64_t>(std::max(geometry.NUM_X, 0)) * std::max(geometry.NUM_Y, 0);
  for (int n = 0; n < NS; ++n) std::fill_n(slices[n], pixels, 0.0f);
  thread_local std::vector<RavKernelProjection> projections;
  projections.resize(static_cast<std::size_t>(std::max(geometry.NUM_PROJECTIONS, 0)));
  std::int64_t count = 0;
  rav_kernel_projections(geometry, NS, sinograms, projections, count);
  rav_kernel_backproject(method, geometry, 0,
                         std::span<const RavKernelProjection>(projections).first(
                             static_cast<std::size_t>(count)),
                         NS, slices);
}
