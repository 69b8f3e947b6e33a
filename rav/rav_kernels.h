// Fast back-projection kernels and the choice between them and the plain reference loops.
//
// The kernels reproduce the reference loops of rav_numerics.h and rav_slice_loops.h bit for
// bit: every pixel receives the same single-precision values, formed by the same operations,
// added in the same order (projection by projection). They get their speed from the vector
// units: the lanes of a vector are sixteen consecutive rows of the slice, each lane with its own
// running position along its row, so the running sum of the reference is kept exactly (the
// position is never recomputed as start + x·cos θ). Inside the kernel a block of rows is held
// interleaved (column by column, one value per row), so that a column of sixteen pixels is one
// vector load and store; the rows are copied in before and back after the projections are added.
// The bins that a column of sixteen rows reads lie within about sixteen bins of each other, so
// the nearest and linear kernels pick them out of a window of 32 consecutive bins with one
// permutation, and keep the window while the bins stay inside it; gathers serve where they do not
// (the oversampled kernel, whose fine samples lie up to 16·OV apart, always gathers).
//
// Every file that computes something these kernels must match is built with
// -ffp-contract=off: a multiply and add fused into one rounding would change the results.
#pragma once

#include <cstdint>
#include <span>

#include "rav_numerics.h"

// Which code adds the projections to the slices.
enum class RavKernelTarget {
  REFERENCE,  // the plain loops, one pixel at a time
  AVX512,     // sixteen rows at a time with AVX-512 (chosen at run time when the CPU has it)
};

// The target in use. By default the fastest one the processor supports; a build with
// -DRAV_REFERENCE=ON uses the reference loops throughout.
RavKernelTarget rav_kernel_target();
// Whether this processor (and this build) can run TARGET.
bool rav_kernel_target_available(RavKernelTarget target);
// Selects TARGET for every later back-projection (tests and benchmarks compare the targets
// with this; the program never calls it). A target that is not available is ignored and false
// returned. Not to be called while back-projections run on other threads.
bool rav_set_kernel_target(RavKernelTarget target);
// "reference" or "avx512".
const char* rav_kernel_target_name(RavKernelTarget target);

// How a projection's value at a pixel is found.
enum class RavKernelMethod {
  NEAREST,  // bin int(u + 1.0f)
  LINEAR,   // bins k = int(u + 0.50001f) and k + 1, weighted by w = (u - k) + 0.5f
  FINE,     // oversampled: sample int(q) of the fine grid, q = (u - 0.5f)·OV + 0.99999f
};

// One projection as the kernels take it: its cosine and sine (finite) and, for each of the
// one or two sinograms in flight, a pointer to its values (bin 1 first; for FINE the OV·NUM_BINS
// fine samples).
struct RavKernelProjection {
  float c = 0.0f, s = 0.0f;
  const float* data[2] = {nullptr, nullptr};
};

// Adds PROJECTIONS, in their order, to the pixels inside the limits of GEOMETRY of the NS (1 or
// 2) slices SLICES[0..NS-1] (NUM_X x NUM_Y each, column fastest) with the target in use, as the
// reference loops would. OV is used by FINE only. The slices are not zeroed here.
void rav_kernel_backproject(RavKernelMethod method, const RavGeometry& geometry, std::int32_t OV,
                            std::span<const RavKernelProjection> projections, int NS,
                            float* const slices[2]);

// The projections of a back-projection without oversampling: angle θ_j as the reference loop
// forms it (a running sum in double), cosine and sine rounded to single precision, projections
// whose cosine or sine is not finite left out. DATA[n] is sinogram n + j·NUM_BINS.
void rav_kernel_projections(const RavGeometry& geometry, int NS, const float* const sinograms[2],
                            std::span<RavKernelProjection> out, std::int64_t& count);

// A whole back-projection without oversampling: zeroes the NS slices (NUM_X x NUM_Y each) and
// adds every projection of the NS filtered sinograms (NUM_BINS x NUM_PROJECTIONS each) with the
// target in use; the same slices as rav_backproject_reference.
void rav_kernel_backproject_slices(RavKernelMethod method, const RavGeometry& geometry, int NS,
                                   const float* const sinograms[2], float* const slices[2]);

// Kernel entry points of each target (rav_kernels_avx512.cpp); called through the above.
void rav_kernel_backproject_avx512(RavKernelMethod method, const RavGeometry& geometry,
                                   std::int32_t OV,
                                   std::span<const RavKernelProjection> projections, int NS,
                                   float* const slices[2]);
