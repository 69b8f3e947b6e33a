// The choice of the back-projection kernel and the angles the kernels take.
#include "rav_kernels.h"

#include <atomic>

#include <hwy/targets.h>

namespace {

// Whether the reference loop is in use instead of the vector kernels.
std::atomic<bool>& reference_in_use() {
#ifdef RAV_REFERENCE
  static std::atomic<bool> in_use{true};
#else
  static std::atomic<bool> in_use{false};
#endif
  return in_use;
}

// The vector targets from the best, and their names.
struct TargetName {
  RavKernelTarget target;
  const char* name;
};
constexpr TargetName kTargets[] = {
    {RavKernelTarget::AVX512, "avx512"}, {RavKernelTarget::AVX2, "avx2"},
    {RavKernelTarget::SSE4, "sse4"},     {RavKernelTarget::SVE2, "sve2"},
    {RavKernelTarget::SVE, "sve"},       {RavKernelTarget::NEON, "neon"},
    {RavKernelTarget::EMU128, "emu128"}, {RavKernelTarget::SCALAR, "scalar"},
};

// The vector targets this build compiled (every file built with Highway shares the set) that the
// processor supports, before any test restricted them.
std::int64_t runnable_targets() {
#ifdef RAV_REFERENCE
  return 0;
#else
  static const std::int64_t runnable = hwy::SupportedTargets() & HWY_TARGETS;
  return runnable;
#endif
}

RavKernelTarget best_of(std::int64_t targets) {
  for (const TargetName& t : kTargets) {
    if ((targets & static_cast<std::int64_t>(t.target)) != 0) return t.target;
  }
  return RavKernelTarget::REFERENCE;
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

bool rav_reference_loops() { return reference_in_use().load(std::memory_order_relaxed); }

bool rav_kernel_target_available(RavKernelTarget target) {
  return target == RavKernelTarget::REFERENCE ||
         (runnable_targets() & static_cast<std::int64_t>(target)) != 0;
}

std::vector<RavKernelTarget> rav_kernel_targets() {
  std::vector<RavKernelTarget> targets{RavKernelTarget::REFERENCE};
  for (const TargetName& t : kTargets) {
    if (rav_kernel_target_available(t.target)) targets.push_back(t.target);
  }
  return targets;
}

RavKernelTarget rav_kernel_target() {
  if (rav_reference_loops()) return RavKernelTarget::REFERENCE;
  return best_of(hwy::SupportedTargets() & runnable_targets());
}

bool rav_set_kernel_target(RavKernelTarget target) {
  if (!rav_kernel_target_available(target)) return false;
  const bool reference = target == RavKernelTarget::REFERENCE;
#ifndef RAV_REFERENCE
  // Highway's dispatch picks the best target it is told the processor supports: the chosen one
  // alone, or (0) all of them again.
  const bool best = reference || target == best_of(runnable_targets());
  hwy::SetSupportedTargetsForTest(best ? 0 : static_cast<std::int64_t>(target));
  hwy::GetChosenTarget().Update(hwy::SupportedTargets());
#endif
  reference_in_use().store(reference, std::memory_order_relaxed);
  return true;
}

const char* rav_kernel_target_name(RavKernelTarget target) {
  for (const TargetName& t : kTargets) {
    if (t.target == target) return t.name;
  }
  return "reference";
}

void rav_kernel_backproject(RavKernelMethod method, const RavGeometry& geometry, std::int32_t OV,
                            std::span<const RavKernelProjection> projections, int NS,
                            float* const slices[2]) {
  if (projections.empty() || geometry.LAST_ROW < geometry.FIRST_ROW) return;
  if (!rav_reference_loops()) {
    rav_kernel_backproject_hwy(method, geometry, OV, projections, NS, slices);
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
