// The back-projection kernels: the plain reference loop, written once, and the one dispatch point
// that chooses between it and the fast kernels of the processor at hand.
//
// A kernel adds a list of projections, in their order, to the pixels inside the limits of one
// or two slices. Every kernel gives the reference loop's results bit for bit: every pixel
// receives the same single-precision values, formed by the same operations, added in the same
// order (projection by projection). The fast kernels get their speed from the vector units: the
// lanes of a vector are consecutive rows of the slice, each lane with its own running position
// along its row, so the running sum of the reference is kept exactly (the position is never
// recomputed as start + x·cos θ).
//
// Every file that computes something these kernels must match is built with
// -ffp-contract=off: a multiply and add fused into one rounding would change the results (and
// the vector kernels never use Highway's MulAdd, which fuses).
#pragma once

#include <cassert>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include <hwy/detect_targets.h>

#include "rav_core.h"

// How a projection's value at a pixel is found.
enum class RavKernelMethod {
  NEAREST,  // bin int(u + 1.0f)
  LINEAR,   // bins k = int(u + 0.50001f) and k + 1, weighted by w = (u - k) + 0.5f
  FINE,     // oversampled: fine sample int(q), q = (u - 0.5f)·OV + 0.99999f
};

// One projection as the kernels take it: its cosine and sine (finite) and, for each of the one
// or two slices in flight, a pointer to its values (bin 1 first; for FINE the OV·NUM_BINS fine
// samples).
struct RavKernelProjection {
  float c = 0.0f, s = 0.0f;
  const float* data[2] = {nullptr, nullptr};
};

// The cosine and sine of projection J (from 0) as the reference arithmetic of METHOD forms them:
// for NEAREST and LINEAR from θ = START_ANGLE + ANGLE_STEP + ... (J additions in double), for
// FINE from θ = START_ANGLE + float(J)·ANGLE_STEP in single precision; from the angle list when
// there is one. THETA carries the running sum from projection J - 1 (start it at START_ANGLE).
// False when the cosine or the sine is not finite: the projection then adds nothing.
bool rav_projection_trig(const RavAngles& angles, RavKernelMethod method, std::int64_t j,
                         double& theta, float& c, float& s);

// The reference loop: adds PROJECTIONS, in order, to the pixels inside the limits of the NS
// slices (NUM_X x NUM_Y each, column fastest), one pixel at a time. Per projection and row:
//   u = ((float(i) - 0.5f) - A)·c - ((float(r) - 0.5f) - A)·s + A for the row's first pixel,
//   FINE: q = (u - 0.5f)·float(OV) + 0.99999f, advanced by c·float(OV);
//   then per pixel, after its update, u += c (one float addition);
//   NEAREST: SLICE += P(int(u + 1.0f));
//   LINEAR:  k = int(u + 0.50001f), w = (u - float(k)) + 0.5f, SLICE += (1 - w)·P(k) + w·P(k+1)
//            (the value formed first, then added);
//   FINE:    SLICE += P(int(q)).
template <RavKernelMethod METHOD, int NS>
void rav_backproject_reference(const RavGeometry& g, std::int32_t OV,
                               std::span<const RavKernelProjection> projections,
                               float* const slices[2]) {
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
      const auto i = static_cast<float>(g.X_START + xs - 1);  // global column and row
      const auto r = static_cast<float>(g.Y_START + y - 1);
      float u = ((i - 0.5f) - A) * c - ((r - 0.5f) - A) * s + A;
      if constexpr (METHOD == RavKernelMethod::FINE) u = (u - 0.5f) * ov + 0.99999f;
      const std::int64_t row = static_cast<std::int64_t>(y - 1) * g.NUM_X;
      for (std::int32_t x = xs; x <= xe; ++x) {
        if constexpr (METHOD == RavKernelMethod::LINEAR) {
          const auto k = static_cast<std::int32_t>(u + 0.50001f);
          assert(k >= 1 && k + 1 <= g.NUM_BINS);  // the limits keep both bins inside
          const float w = (u - static_cast<float>(k)) + 0.5f;
          for (int n = 0; n < NS; ++n) {
            slices[n][row + x - 1] += (1.0f - w) * p.data[n][k - 1] + w * p.data[n][k];
          }
        } else {
          const auto k = METHOD == RavKernelMethod::NEAREST ? static_cast<std::int32_t>(u + 1.0f)
                                                            : static_cast<std::int32_t>(u);
          assert(k >= 1 && k <= (METHOD == RavKernelMethod::FINE ? OV : 1) * g.NUM_BINS);
          for (int n = 0; n < NS; ++n) slices[n][row + x - 1] += p.data[n][k - 1];
        }
        u += step;
      }
    }
  }
}

// Which code adds the projections to the slices: the plain loop, or the vector kernels compiled
// for one of Highway's targets (the values are Highway's target bits).
enum class RavKernelTarget : std::int64_t {
  REFERENCE = 0,         // the plain loop, one pixel at a time
  AVX512 = HWY_AVX3,     // x86 with AVX-512 (F, VL, DQ, BW): sixteen rows at a time
  AVX2 = HWY_AVX2,       // x86 with AVX2, FMA, BMI2, F16C: eight rows
  SSE4 = HWY_SSE4,       // x86 with SSE4.2, CLMUL, AES: four rows
  NEON = HWY_NEON,       // Arm Advanced SIMD (AArch64): four rows
  SVE = HWY_SVE,         // Arm SVE, any vector length
  SVE2 = HWY_SVE2,       // Arm SVE2, any vector length
  SCALAR = HWY_SCALAR,   // Highway's one-lane target, on any processor
  EMU128 = HWY_EMU128,   // Highway's portable four-lane target (compilers that build it)
};

// The one dispatch point: adds PROJECTIONS to the NS (1 or 2) slices with the target in use.
// OV is used by FINE only. The slices are not zeroed here.
void rav_kernel_backproject(RavKernelMethod method, const RavGeometry& geometry, std::int32_t OV,
                            std::span<const RavKernelProjection> projections, int NS,
                            float* const slices[2]);

// The target in use: the best this processor supports among those compiled, or REFERENCE in a
// build with -DRAV_REFERENCE=ON.
RavKernelTarget rav_kernel_target();
// Every target this processor (and this build) can run, the reference first, then the vector
// targets from the best.
std::vector<RavKernelTarget> rav_kernel_targets();
// Whether this processor (and this build) can run TARGET.
bool rav_kernel_target_available(RavKernelTarget target);
// Selects TARGET for every later back-projection, sinogram correction and batch of filtered
// projections (tests and benchmarks compare the targets with this; the program never calls it).
// A vector target is chosen by restricting the targets Highway's dispatch may pick to it;
// REFERENCE makes all three use their plain loops. A target that is not available is
// ignored and false returned. Not to be called while kernels run on other threads.
bool rav_set_kernel_target(RavKernelTarget target);
// "reference", "avx512", "avx2", "sse4", "neon", "sve", "sve2", "scalar" or "emu128".
const char* rav_kernel_target_name(RavKernelTarget target);

// Whether the plain loops are in use (REFERENCE): the correction and the filter ask, to follow
// the choice.
bool rav_reference_loops();

// The vector kernels (rav_kernels_hwy.cpp) through Highway's dispatch table, reached only
// through the dispatch point.
void rav_kernel_backproject_hwy(RavKernelMethod method, const RavGeometry& geometry,
                                std::int32_t OV,
                                std::span<const RavKernelProjection> projections, int NS,
                                float* const slices[2]);
