// Correction of projection rows into sinogram values: background, flat field, minus the
// logarithm, scale. The plain loops are the reference; the same loops compiled for the vector
// units of the processor at hand (function multi-versioning) are what the run uses.
#include <cmath>

#include "rav_core.h"

namespace {

// The correction, written so that the compiler can vectorise every loop: the same operations per
// element as the reference, so the same values.
__attribute__((target_clones("avx512f", "avx2", "default"))) std::int64_t correct_vectorised(
    const float* image, const float* background, const float* flat, const float* flat2,
    float flat_weight, bool take_logarithm, float scale, std::int32_t n, float* out,
    std::int64_t& not_finite) {
  if (background != nullptr) {
    for (std::int32_t i = 0; i < n; ++i) out[i] = image[i] - background[i];
  } else if (out != image) {
    for (std::int32_t i = 0; i < n; ++i) out[i] = image[i];
  }
  if (flat2 != nullptr) {
    const float f = flat_weight;
    for (std::int32_t i = 0; i < n; ++i) out[i] = out[i] / ((1.0F - f) * flat[i] + f * flat2[i]);
  } else if (flat != nullptr) {
    for (std::int32_t i = 0; i < n; ++i) out[i] = out[i] / flat[i];
  }
  std::int64_t raised = 0;
  if (take_logarithm) {
    for (std::int32_t i = 0; i < n; ++i) {
      const bool low = !(out[i] > RAV_LOG_FLOOR);
      raised += low ? 1 : 0;
      out[i] = low ? RAV_LOG_FLOOR : out[i];
    }
    for (std::int32_t i = 0; i < n; ++i) out[i] = -std::log(out[i]) * scale;
  } else {
    for (std::int32_t i = 0; i < n; ++i) out[i] = out[i] * scale;
  }
  std::int64_t zeroed = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    const bool bad = !std::isfinite(out[i]);
    zeroed += bad ? 1 : 0;
    out[i] = bad ? 0.0F : out[i];
  }
  not_finite += zeroed;
  return raised;
}

}  // namespace

std::int64_t rav_correct_row_reference(const float* image, const RavCorrection& c,
                                       std::int32_t n, float* out, std::int64_t& not_finite) {
  std::int64_t raised = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    float value = image[i];
    if (c.background != nullptr) value = value - c.background[i];
    if (c.flat2 != nullptr) {
      const float f = c.flat_weight;
      value = value / ((1.0F - f) * c.flat[i] + f * c.flat2[i]);
    } else if (c.flat != nullptr) {
      value = value / c.flat[i];
    }
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

std::int64_t rav_correct_row(const float* image, const RavCorrection& c, std::int32_t n,
                             float* out, std::int64_t& not_finite) {
#ifdef RAV_REFERENCE
  return rav_correct_row_reference(image, c, n, out, not_finite);
#else
  return correct_vectorised(image, c.background, c.flat, c.flat2, c.flat_weight,
                            c.take_logarithm, c.scale, n, out, not_finite);
#endif
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
