// Correction of projection rows into sinogram values: background, flat field, minus the
// logarithm, scale. The plain loop is the reference (in use with the reference kernels); the run
// uses the same operations written once with Highway's vectors, compiled for every target and
// chosen by Highway's dispatch, which give the same values. The logarithm alone stays the C library's, one value at a time: Highway's
// Log differs from it in the last bit.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "rav_correct.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
// Must come after foreach_target.h.
#include <hwy/highway.h>

#include <cmath>

#include "rav_core.h"
#include "rav_kernels.h"

#ifndef RAV_CORRECT_ONCE
#define RAV_CORRECT_ONCE
namespace {

// Value I of a row up to the logarithm or the scale: background subtracted, divided by the flat
// field (or by (1 - F)·FLAT + F·FLAT2).
inline float flattened(const float* image, const RavCorrection& c, std::int32_t i) {
  float value = image[i];
  if (c.background != nullptr) value = value - c.background[i];
  if (c.flat2 != nullptr) {
    const float f = c.flat_weight;
    value = value / ((1.0F - f) * c.flat[i] + f * c.flat2[i]);
  } else if (c.flat != nullptr) {
    value = value / c.flat[i];
  }
  return value;
}

// Values I .. N - 1 corrected as the reference does, one at a time.
std::int64_t correct_values(const float* image, const RavCorrection& c, std::int32_t i,
                            std::int32_t n, float* out, std::int64_t& not_finite) {
  std::int64_t raised = 0;
  for (; i < n; ++i) {
    float value = flattened(image, c, i);
    if (c.take_logarithm) {
      if (!(value > RAV_LOG_FLOOR)) {
        value = RAV_LOG_FLOOR;
        ++raised;
      }
      value = -std::log(value) * c.scale;
    } else {
      value = value * c.scale;
    }
    if (!std::isfinite(value)) {
      value = 0.0F;
      ++not_finite;
    }
    out[i] = value;
  }
  return raised;
}

}  // namespace
#endif  // RAV_CORRECT_ONCE

HWY_BEFORE_NAMESPACE();
namespace rav_correct {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using D = hn::ScalableTag<float>;
using V = hn::Vec<D>;

// The values at I of the row flattened (background, flat field), as flattened() forms them.
HWY_INLINE V flattened_at(const float* image, const RavCorrection& c, std::int32_t i) {
  const D d;
  V value = hn::LoadU(d, image + i);
  if (c.background != nullptr) value = hn::Sub(value, hn::LoadU(d, c.background + i));
  if (c.flat2 != nullptr) {
    const V kept = hn::Set(d, 1.0F - c.flat_weight);
    const V weight = hn::Set(d, c.flat_weight);
    const V flat = hn::Add(hn::Mul(kept, hn::LoadU(d, c.flat + i)),
                           hn::Mul(weight, hn::LoadU(d, c.flat2 + i)));
    value = hn::Div(value, flat);
  } else if (c.flat != nullptr) {
    value = hn::Div(value, hn::LoadU(d, c.flat + i));
  }
  return value;
}

// Scales the values at I (after the logarithm, if any) and sets those that are not finite to 0;
// returns how many were.
HWY_INLINE std::size_t scaled_at(const RavCorrection& c, std::int32_t i, V value, float* out) {
  const D d;
  value = hn::Mul(value, hn::Set(d, c.scale));
  const auto finite = hn::IsFinite(value);
  hn::StoreU(hn::IfThenElseZero(finite, value), d, out + i);
  return hn::CountTrue(d, hn::Not(finite));
}

std::int64_t CorrectRow(const float* image, const RavCorrection& c, std::int32_t n, float* out,
                        std::int64_t& not_finite) {
  const D d;
  const auto N = static_cast<std::int32_t>(hn::Lanes(d));
  const std::int32_t whole = n - n % N;  // the rest one value at a time
  std::int64_t raised = 0, zeroed = 0;
  if (!c.take_logarithm) {
    for (std::int32_t i = 0; i < whole; i += N) zeroed += scaled_at(c, i, flattened_at(image, c, i), out);
  } else {
    const V floor = hn::Set(d, RAV_LOG_FLOOR);
    for (std::int32_t i = 0; i < whole; i += N) {
      const V value = flattened_at(image, c, i);
      const auto above = hn::Gt(value, floor);  // false for NaN too
      raised += static_cast<std::int64_t>(hn::CountTrue(d, hn::Not(above)));
      hn::StoreU(hn::IfThenElse(above, value, floor), d, out + i);
    }
    for (std::int32_t i = 0; i < whole; ++i) out[i] = -std::log(out[i]);
    for (std::int32_t i = 0; i < whole; i += N) zeroed += scaled_at(c, i, hn::LoadU(d, out + i), out);
  }
  not_finite += zeroed;
  return raised + correct_values(image, c, whole, n, out, not_finite);
}

// NOLINTNEXTLINE(google-readability-namespace-comments)
}  // namespace HWY_NAMESPACE
}  // namespace rav_correct
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace rav_correct {
HWY_EXPORT(CorrectRow);
}  // namespace rav_correct

std::int64_t rav_correct_row_reference(const float* image, const RavCorrection& c,
                                       std::int32_t n, float* out, std::int64_t& not_finite) {
  return correct_values(image, c, 0, n, out, not_finite);
}

std::int64_t rav_correct_row(const float* image, const RavCorrection& c, std::int32_t n,
                             float* out, std::int64_t& not_finite) {
  if (rav_reference_loops()) return rav_correct_row_reference(image, c, n, out, not_finite);
  return HWY_DYNAMIC_DISPATCH(rav_correct::CorrectRow)(image, c, n, out, not_finite);
}

std::int64_t rav_zero_non_finite(std::span<float> values) {
  std::int64_t count = 0;
  for (float& value : values) {
    if (!std::isfinite(value)) {
      value = 0.0F;
      ++count;
    }
  }
  return count;
}
#endif  // HWY_ONCE
