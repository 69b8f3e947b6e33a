// The slice loop of a pass with oversampling: groups of one, two or four slices, each group
// reconstructed from its own sinograms into its own slice buffers with its own work arrays, then
// written in ascending slice order.
#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "rav_allocate.h"
#include "rav_numerics.h"
#include "rav_slice_loops.h"
#include "ut.h"

namespace {
constexpr std::string_view kRoutine = "Subroutine RAV_RECON_OVERSLICES V0.4 ";

// How a pass is grouped. FOUR_SLICES implies the other two flags; TWO_SLICES with
// MULTI_PROCESSORS but without FOUR_SLICES (never supplied by the driver) works in pairs like
// TWO_SLICES alone.
struct Grouping {
  bool two = false;    // pairs through RAV_RECON_OVER (SLICE_2, WORK_2, OVERSAMPLED_2)
  bool multi = false;  // a second worker set (SLICE_3, WORK_3, OVERSAMPLED_3)
  bool four = false;   // two pairs (SLICE_4, WORK_4, OVERSAMPLED_4 too)
  std::int32_t STEP = 1;
};

Grouping grouping_of(const SlicePass& pass) {
  Grouping g;
  g.four = pass.FOUR_SLICES;
  g.two = pass.TWO_SLICES || g.four;
  g.multi = pass.MULTI_PROCESSORS || g.four;
  g.STEP = g.four ? 4 : (g.two || g.multi) ? 2 : 1;
  return g;
}

// The work arrays of one group.
struct GroupWork {
  std::vector<float> WORK_1, WORK_2, WORK_3, WORK_4;
  std::vector<float> OVERSAMPLED_1, OVERSAMPLED_2, OVERSAMPLED_3, OVERSAMPLED_4;
};

void allocate_group_work(const Grouping& g, std::int64_t nfft, std::int64_t num_oversampled,
                         GroupWork& w) {
  rav_allocate(w.WORK_1, nfft, "ERROR: Failed to allocated arrays for work space for filtering");
  if (g.two) {
    rav_allocate(w.WORK_2, nfft, "ERROR: Failed to allocated arrays for work space 2 for filtering");
  }
  if (g.multi) {
    rav_allocate(w.WORK_3, nfft, "ERROR: Failed to allocated arrays for work space 3 for filtering");
  }
  if (g.four) {
    rav_allocate(w.WORK_4, nfft, "ERROR: Failed to allocated arrays for work space 4 for filtering");
  }
  rav_allocate(w.OVERSAMPLED_1, num_oversampled,
               "ERROR: Failed to allocated arrays for work space for oversampled projection");
  if (g.two) {
    rav_allocate(w.OVERSAMPLED_2, num_oversampled,
                 "ERROR: Failed to allocated arrays for work space for oversampled projection 2");
  }
  if (g.multi) {
    rav_allocate(w.OVERSAMPLED_3, num_oversampled,
                 "ERROR: Failed to allocated arrays for work space for oversampled projection 3");
  }
  if (g.four) {
    rav_allocate(w.OVERSAMPLED_4, num_oversampled,
                 "ERROR: Failed to allocated arrays for work space for oversampled projection 4");
  }
}

// The slices of one group in ascending slice order: slice k + p of the pass is held in
// slice[p], p = 0 .. STEP-1.
using GroupSlices = std::array<std::span<float>, 4>;

// One group: the sinograms SINO[p] of its slices into SLICE[p] (the table of groupings: one
// slice; two single-sinogram calls into SLICE_1 and SLICE_3; one pair into SLICE_1, SLICE_2;
// two pairs into SLICE_1..SLICE_4).
void recon_overgroup(const SliceLoopTables& tables, std::int32_t OV, const Grouping& g,
                     const std::array<std::span<const float>, 4>& sino, const GroupSlices& slice,
                     GroupWork& w, std::int32_t& status) {
  const RavGeometry& geometry = tables.geometry;
  const RavFilterSet& filter = tables.filter;
  if (g.four) {
    RAV_RECON_OVER(geometry, OV, filter, sino[0], sino[1], slice[0], slice[1], w.OVERSAMPLED_1,
                   w.OVERSAMPLED_2, w.WORK_1, w.WORK_2, status);
    RAV_RECON_OVER(geometry, OV, filter, sino[2], sino[3], slice[2], slice[3], w.OVERSAMPLED_3,
                   w.OVERSAMPLED_4, w.WORK_3, w.WORK_4, status);
  } else if (g.two) {
    RAV_RECON_OVER(geometry, OV, filter, sino[0], sino[1], slice[0], slice[1], w.OVERSAMPLED_1,
                   w.OVERSAMPLED_2, w.WORK_1, w.WORK_2, status);
  } else if (g.multi) {
    RAV_RECON_1OVER(geometry, OV, filter, sino[0], slice[0], w.OVERSAMPLED_1, w.WORK_1, status);
    RAV_RECON_1OVER(geometry, OV, filter, sino[1], slice[1], w.OVERSAMPLED_3, w.WORK_3, status);
  } else {
    RAV_RECON_1OVER(geometry, OV, filter, sino[0], slice[0], w.OVERSAMPLED_1, w.WORK_1, status);
  }
}

}  // namespace

void RAV_RECON_OVERSLICES(const SlicePass& pass, std::span<float> SINOGRAMS, ReconTimes& times,
                          SliceBuffers& slices, SliceFile& out, std::int32_t& NEXT_RECORD,
                          std::int32_t& status) {
  if (st_bad(status, kRoutine)) return;
  const Grouping g = grouping_of(pass);
  const std::int32_t OV = pass.METHOD;

  // Set-up: tables, filter, work arrays, limits.
  SliceLoopTables tables;
  rav_loop_tables(pass, tables, status);
  GroupWork work;
  allocate_group_work(g, tables.filter.NFFT,
                      static_cast<std::int64_t>(std::max(OV, 0)) * std::max(pass.NUM_BINS, 0),
                      work);
  rav_loop_limits(pass, tables, status);

  const std::int64_t pixels =
      static_cast<std::int64_t>(std::max(pass.NUM_X, 0)) * std::max(pass.NUM_Y, 0);
  rav_loop_slice_buffer(slices.SLICE_1, pixels, "ERROR: Failed to allocate memory for output slice");
  if (g.two) {
    rav_loop_slice_buffer(slices.SLICE_2, pixels,
                          "ERROR: Failed to allocate memory for output slice 2");
  }
  if (g.multi) {
    rav_loop_slice_buffer(slices.SLICE_3, pixels,
                          "ERROR: Failed to allocate memory for output slice 3");
  }
  if (g.four) {
    rav_loop_slice_buffer(slices.SLICE_4, pixels,
                          "ERROR: Failed to allocate memory for output slice 4");
  }
  const auto buffer = [pixels](std::vector<float>& values) {
    return std::span<float>(values).first(values.empty() ? 0 : pixels);
  };
  // Slice k + p of a group in slice[p]: with MULTI_PROCESSORS alone the second slice is SLICE_3.
  GroupSlices slice{buffer(slices.SLICE_1), {}, {}, {}};
  if (g.four) {
    slice = {buffer(slices.SLICE_1), buffer(slices.SLICE_2), buffer(slices.SLICE_3),
             buffer(slices.SLICE_4)};
  } else if (g.two) {
    slice[1] = buffer(slices.SLICE_2);
  } else if (g.multi) {
    slice[1] = buffer(slices.SLICE_3);
  }

  // The loop: groups of STEP slices, k the pass-relative number of a group's first slice.
  const std::int32_t STEP = g.STEP;
  const std::int32_t N = pass.LAST_SLICE - pass.FIRST_SLICE + 1;
  const std::int32_t iterations = (STEP + pass.LAST_SLICE - pass.FIRST_SLICE) / STEP;
  PassSinograms sinogram(SINOGRAMS, pass, static_cast<std::int64_t>(std::max(iterations, 0)) * STEP);
  for (std::int32_t iteration = 0; iteration < iterations; ++iteration) {
    const std::int32_t k = 1 + iteration * STEP;
    const std::int32_t s = pass.FIRST_SLICE + k - 1;
    if (k % 16 == 1) rav_loop_progress(s, status);

    float elapse_0, cpu_0, elapse_1, cpu_1;
    rav_loop_clock(elapse_0, cpu_0, status);
    std::array<std::span<const float>, 4> sino{};
    for (std::int32_t p = 0; p < STEP; ++p) sino[static_cast<std::size_t>(p)] = sinogram(k + p);
    recon_overgroup(tables, OV, g, sino, slice, work, status);
    rav_loop_clock(elapse_1, cpu_1, status);
    times.CPU_RECONSTRUCTION += cpu_1 - cpu_0;
    times.ELAPSE_RECONSTRUCTION += elapse_1 - elapse_0;

    if (pass.DISPLAY_GRAPHICS && k % 20 == 1) rav_loop_display(pass, tables, slice[0], s, status);

    // Ascending slice order; slices of sinograms beyond the pass are not written.
    rav_loop_clock(elapse_0, cpu_0, status);
    for (std::int32_t p = 0; p < STEP && k + p <= N; ++p) {
      slice_file_write(out, NEXT_RECORD, slice[static_cast<std::size_t>(p)]);
      ++NEXT_RECORD;
    }
    rav_loop_clock(elapse_1, cpu_1, status);
    times.CPU_OUTPUT += cpu_1 - cpu_0;
    times.ELAPSE_OUTPUT += elapse_1 - elapse_0;
  }
  // The tables and work arrays are released on return.
}
