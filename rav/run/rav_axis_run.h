// The rotation axis in a run: finding it (ROTATION_AXIS_POSITION = AUTO), reconstructing one
// slice per trial axis (AXIS_SWEEP), and joining the sinograms of a half-acquisition scan
// (HALF_ACQUISITION = YES). The arithmetic is in rav/core (rav_axis.h); here are the reading,
// the messages, the ranks, the records and the pictures.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "rav_axis.h"
#include "rav_drivers.h"

// The angles of the projections (or of the rows of a stored sinogram) of a run.
RavAngles rav_run_angles(const ParameterSet& parameters);

// The geometry of the slices of BLOCK for sinograms of NUM_BINS x NUM_PROJECTIONS: with
// HALF_ACQUISITION (and no sweep, which joins for each trial axis) that of the joined sinograms,
// with the plan of the joining in HALF; otherwise the plain one (and HALF empty).
RavGeometry rav_run_geometry(const ParameterSet& parameters, std::int32_t NUM_BINS,
                             std::int32_t NUM_PROJECTIONS, const RavBlock& block,
                             std::optional<RavHalfAcquisition>& half);

// With AXIS_SWEEP, the block cut to its first slice (before any exchange of the voxel axes).
void rav_sweep_first_slice(ParameterSet& parameters);

// The image arrays of a pass, SIZE values each, those the parameters use (the drivers' messages
// when memory runs out).
void rav_allocate_images(const ParameterSet& parameters, std::int64_t size, ImageBuffers& images);

// ROTATION_AXIS_POSITION = AUTO in a run from projections: rank 0 reads what the finder needs
// (two projections 180 degrees apart over up to 64 slices in the middle of the block when the
// scan holds such a pair and a single flat field; otherwise the sinograms of up to 16 slices
// there) and finds the axis; on every rank ROTATION_AXIS_POSITION then holds it. False on every
// rank, with an "ERROR: " line saying what to do on rank 0 (whose status is then bad), when it
// could not be found. The time spent reading is added to TIMES.
bool rav_find_run_axis(ParameterSet& parameters, ReconTimes& times, std::int32_t& status);

// The decision from ROWS sinograms of NUM_BINS x NUM_PROJECTIONS at ANGLES, read by rank 0 (the
// other ranks pass none): "INFO: Rotation axis found at " and the value, which is exactly what
// AXIS then holds on every rank (the value as printed, read back as a parameter file would), or
// the "ERROR: " lines.
bool rav_decide_axis(std::span<const float> sinograms, std::int32_t ROWS, std::int32_t NUM_BINS,
                     std::int32_t NUM_PROJECTIONS, const RavAngles& angles, float& axis,
                     std::int32_t& status);

// AXIS_SWEEP: one slice of BLOCK for every trial axis from SINOGRAM (NUM_BINS x NUM_PROJECTIONS,
// slice number SLICE), written as records NEXT_RECORD onwards (one per trial, in the order of the
// axes), with a line per trial and, with DISPLAY_GRAPHICS, montage pages of the slices with the
// trial axis under each. Returns the number of records written.
std::int64_t rav_sweep_slices(const ParameterSet& parameters, const RavBlock& block,
                              std::span<const float> sinogram, std::int32_t NUM_BINS,
                              std::int32_t NUM_PROJECTIONS, std::int32_t slice, SliceFile& out,
                              std::int32_t& NEXT_RECORD, ReconTimes& times, std::int32_t& status);

// The joining of COUNT sinograms of a pass in place: sinogram k (STRIDE values from k·STRIDE, as
// the pass stored it) becomes joined sinogram k (plan.NUM_BINS x plan.NUM_PROJECTIONS values
// from k times that).
void rav_join_pass(const RavHalfAcquisition& plan, std::span<float> SINOGRAMS, std::int64_t count,
                   std::int64_t stride);
// "INFO: " lines that say how a half-acquisition scan is joined.
void rav_report_half_acquisition(const RavHalfAcquisition& plan, std::int32_t& status);

// Montage pages of the slices of a sweep (rav_sweep_montage.cpp): SLICES holds AXES.size()
// slices of NUM_X x NUM_Y values, drawn as small pictures on as few pages as needed, each with
// "axis " and its trial axis under it, all on one scale of values; each page is shown
// (VU_UPDATE). The plot settings are as they were afterwards.
void rav_sweep_montage(std::span<const float> slices, std::int32_t NUM_X, std::int32_t NUM_Y,
                       std::span<const float> axes, std::int32_t& status);
// Pictures on one montage page.
inline constexpr std::int32_t kRavMontageColumns = 4, kRavMontageRows = 5;
