// The choice of the back-projection kernel and the angles the kernels take.
#include "rav_kernels.h"

#include <atomic>

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

template <RavKernelMethod METHOD>
void reference(const RavGeometry& g, std::int32_t OV,
               std::span<const RavKernelProjection> projections, int NS, float* const slices[2]) {
  if (NS == 2) {
    rav_backproject_reference<METHOD, 2>(g, OV, projections, slices);
  } else {
    rav_backproject_reference<METHOD, 1>(g, OV, projections, slices);
  }
}

}  // namespace

bool rav_projection_trig(const RavAngles& angles, RavKernelMethod method, std::int64_t j,
                         double& theta, float& c, float& s) {
  if (!angles.list.empty()) {
    theta = angles.list[static_cast<std::size_t>(j)];
    c = static_cast<float>(std::cos(theta));
    s = static_cast<float>(std::sin(theta));
  } else if (method == RavKernelMethod::FINE) {
    const float angle = j == 0 ? angles.START_ANGLE
                               : angles.START_ANGLE + static_cast<float>(j) * angles.ANGLE_STEP;
    c = std::cos(angle);
    s = std::sin(angle);
  } else {
    if (j > 0) theta += angles.ANGLE_STEP;  // the running sum, in double
    c = static_cast<float>(std::cos(theta));
    s = static_cast<float>(std::sin(theta));
  }
  return std::isfinite(c) && std::isfinite(s);
}

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

RavKernelTarget rav_kernel_target() { return current_target().load(std::memory_order_relaxed); }

bool rav_set_kernel_target(RavKernelTarget target) {
  if (!rav_kernel_target_available(target)) return false;
  current_target().store(target, std::memory_order_relaxed);
  return true;
}

const char* rav_kernel_target_name(RavKernelTarget target) {
  return target == RavKernelTarget::AVX512 ? "avx512" : "reference";
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
      reference<RavKernelMethod::NEAREST>(geometry, OV, projections, NS, slices);
      break;
    case RavKernelMethod::LINEAR:
      reference<RavKernelMethod::LINEAR>(geometry, OV, projections, NS, slices);
      break;
    case RavKernelMethod::FINE:
      reference<RavKernelMethod::FINE>(geometry, OV, projections, NS, slices);
      break;
  }
}
