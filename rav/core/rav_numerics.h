// The numerical routines of the design under their own names and arguments, with the status
// convention: the real FFT and its twiddle table, the reconstruction limits, the back-projections
// and the reconstruction of one or two slices, with and without oversampling. Each is a thin
// layer over the array routines of rav_core.h.
//
// Arrays are spans; indices that the callers see (rows, columns, bins) are 1-based, element n of
// a span being index n + 1.
#pragma once

#include <cstdint>
#include <span>

#include "rav_core.h"
#include "rav_fourier.h"

// ---------------------------------------------------------------------------------------------
// Filter and limits

// Transform length for projections of NUM_BINS bins: the smallest power of two not below
// 2·NUM_BINS - 1 (computed as 2^INT(ln(2·NUM_BINS - 1)·1.442695 + 0.9999) in single
// precision), and never below 2.
std::int64_t rav_filter_nfft(std::int32_t NUM_BINS);

// The weights of a filter plan of NFFT (a power of two, at least 2) with OPTIONS, in the
// spectrum layout (FILTER: NFFT values, the even slots 0): the ramp of the options' padding
// times the window at the frequency over the cutoff, divided by NFFT for the synthesis.
void rav_filter_weights(const RavFilterOptions& options, std::int64_t NFFT,
                        std::span<float> FILTER);

// The EDGE padding of PROJECTION (BINS values) in a transform of NFFT, with the sample's MASS
// (see rav_sample_mass; not above 0: the edge values repeated): NFFT - BINS values at OUT,
// OUT + STRIDE, ..., for the transform's samples BINS + 1 .. NFFT.
void rav_edge_padding(const float* projection, std::int32_t bins, std::int64_t NFFT, double mass,
                      float* out, std::int64_t stride);

// The limits of the reconstruction circle (see rav_geometry): rows FIRST_ROW .. LAST_ROW and,
// for each, columns X_STARTS(y) .. X_ENDS(y) of the block. X_STARTS and X_ENDS need LAST_ROW
// entries (NUM_Y is always enough); LAST_ROW is cut to their length, and entries outside
// FIRST_ROW .. LAST_ROW are not written.
void rav_limits(std::int32_t NUM_BINS, const RavBlock& block, float AXIS_POSITION,
                std::int32_t& FIRST_ROW, std::int32_t& LAST_ROW, std::span<std::int32_t> X_STARTS,
                std::span<std::int32_t> X_ENDS);

// The same with the status convention.
void RAV_CALCULATE_LIMITS(std::int32_t NUM_BINS, std::int32_t X_START, std::int32_t Y_START,
                          std::int32_t NUM_X, std::int32_t NUM_Y, float AXIS_POSITION,
                          std::int32_t& FIRST_ROW, std::int32_t& LAST_ROW,
                          std::span<std::int32_t> X_STARTS, std::span<std::int32_t> X_ENDS,
                          std::int32_t& status);

// ---------------------------------------------------------------------------------------------
// Back-projection (rav_backproject.cpp): each routine zeroes the whole slice (NUM_X x NUM_Y) and
// adds, for every projection and every pixel inside the limits, the value of the (filtered)
// projection at the pixel's position (the reference arithmetic of rav_kernels.h). The two-slice
// routines give bitwise the slices of two one-slice calls.
void RAV_BACKPROJECT_1NEAREST(const RavGeometry& geometry, std::span<const float> SINOGRAM,
                              std::span<float> SLICE, std::int32_t& status);
void RAV_BACKPROJECT_1LINEAR(const RavGeometry& geometry, std::span<const float> SINOGRAM,
                             std::span<float> SLICE, std::int32_t& status);
void RAV_BACKPROJECT_NEAREST(const RavGeometry& geometry, std::span<const float> SINOGRAM_1,
                             std::span<const float> SINOGRAM_2, std::span<float> SLICE_1,
                             std::span<float> SLICE_2, std::int32_t& status);
void RAV_BACKPROJECT_LINEAR(const RavGeometry& geometry, std::span<const float> SINOGRAM_1,
                            std::span<const float> SINOGRAM_2, std::span<float> SLICE_1,
                            std::span<float> SLICE_2, std::int32_t& status);

// ---------------------------------------------------------------------------------------------
// Reconstruction of one slice, or of two adjacent slices (rav_recon_slice.cpp).
//
// Every projection of SINOGRAM is replaced by its filtered version (through WORK,
// plan.work_values() values), then the slice is back-projected from it: METHOD 0 linear
// interpolation, 1 nearest bin. Any other METHOD filters the sinogram and leaves the slice as it
// was.
void RAV_RECON_1SLICE(const RavGeometry& geometry, std::int32_t METHOD, const RavFilterPlan& plan,
                      std::span<float> SINOGRAM, std::span<float> SLICE, std::span<float> WORK,
                      std::int32_t& status);
void RAV_RECON_SLICE(const RavGeometry& geometry, std::int32_t METHOD, const RavFilterPlan& plan,
                     std::span<float> SINOGRAM_1, std::span<float> SINOGRAM_2,
                     std::span<float> SLICE_1, std::span<float> SLICE_2,
                     std::span<float> WORK_1, std::span<float> WORK_2, std::int32_t& status);

// ---------------------------------------------------------------------------------------------
// Oversampled reconstruction (rav_recon_over.cpp, rav_oversample.cpp).
//
// Each filtered projection is resampled onto a grid OV times finer than the bins; element n
// (from 1) of OVERSAMPLED stands for detector coordinate 0.5 + (n - 1)/OV. The back-projection
// then takes, for every pixel, the fine sample at or just left of its projected position.

// Linear resampling of one filtered projection (its NUM_BINS = PROJECTION.size() values) onto
// OVERSAMPLED (OV·NUM_BINS values): the bin centres keep their values, the OV - 1 samples
// between two centres are ((OV - m)·P(i) + m·P(i+1))·(1/OV), and the last OV samples repeat the
// last bin.
void rav_oversample_projection(std::span<const float> PROJECTION, std::int32_t OV,
                               std::span<float> OVERSAMPLED);

// Reconstructs one slice from SINOGRAM (left unchanged): SLICE is zeroed, then every projection
// is filtered into WORK (NFFT values), resampled into OVERSAMPLED (at least OV·NUM_BINS values;
// more hold a batch of projections) and back-projected. Errors: 20017 for an OV or NUM_BINS below
// 1, 20005 for an array shorter than its size above (nothing is done then).
void RAV_RECON_1OVER(const RavGeometry& geometry, std::int32_t OV, const RavFilterPlan& plan,
                     std::span<const float> SINOGRAM, std::span<float> SLICE,
                     std::span<float> OVERSAMPLED, std::span<float> WORK, std::int32_t& status);
// The same for two sinograms at once, sharing the position computations.
void RAV_RECON_OVER(const RavGeometry& geometry, std::int32_t OV, const RavFilterPlan& plan,
                    std::span<const float> SINOGRAM_1, std::span<const float> SINOGRAM_2,
                    std::span<float> SLICE_1, std::span<float> SLICE_2,
                    std::span<float> OVERSAMPLED_1, std::span<float> OVERSAMPLED_2,
                    std::span<float> WORK_1, std::span<float> WORK_2, std::int32_t& status);

// The oversampled reconstruction of NS (1 or 2) slices from SINOGRAMS (left unchanged), with
// WORK[n] for slice n: the body of RAV_RECON_1OVER, RAV_RECON_OVER and rav_reconstruct_slices.
void rav_reconstruct_over(const RavGeometry& geometry, std::int32_t OV, const RavFilterPlan& plan,
                          std::span<const float* const> sinograms, std::span<float* const> slices,
                          std::span<const RavWork> work);

// Values of an OVERSAMPLED array that holds a batch of resampled projections: the slices are
// swept once per batch rather than once per projection.
std::int64_t rav_oversampled_values(std::int32_t OV, std::int32_t NUM_BINS);
