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

// The slice buffers of one group, PIXELS values each.
void allocate_group_slices(const Grouping& g, std::int64_t pixels, SliceBuffers& set) {
  rav_loop_slice_buffer(set.SLICE_1, pixels, "ERROR: Failed to allocate memory for output slice");
  if (g.two) {
    rav_loop_slice_buffer(set.SLICE_2, pixels,
                          "ERROR: Failed to allocate memory for output slice 2");
  }
  if (g.multi) {
    rav_loop_slice_buffer(set.SLICE_3, pixels,
                          "ERROR: Failed to allocate memory for output slice 3");
  }
  if (g.four) {
    rav_loop_slice_buffer(set.SLICE_4, pixels,
                          "ERROR: Failed to allocate memory for output slice 4");
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
  const std::int64_t num_oversampled = rav_over_work_values(OV, pass.NUM_BINS);
  allocate_group_work(g, tables.filter.NFFT, num_oversampled, work);
  rav_loop_limits(pass, tables, status);

  const std::int64_t pixels =
      static_cast<std::int64_t>(std::max(pass.NUM_X, 0)) * std::max(pass.NUM_Y, 0);
  allocate_group_slices(g, pixels, slices);
  const auto buffer = [pixels](std::vector<float>& values) {
    return std::span<float>(values).first(values.empty() ? 0 : pixels);
  };
  // Slice k + p of a group in slice[p]: with MULTI_PROCESSORS alone the second slice is SLICE_3.
  const auto group_slices = [&](SliceBuffers& set) {
    GroupSlices slice{buffer(set.SLICE_1), {}, {}, {}};
    if (g.four) {
      slice = {buffer(set.SLICE_1), buffer(set.SLICE_2), buffer(set.SLICE_3),
               buffer(set.SLICE_4)};
    } else if (g.two) {
      slice[1] = buffer(set.SLICE_2);
    } else if (g.multi) {
      slice[1] = buffer(set.SLICE_3);
    }
    return slice;
  };

  // The loop: groups of STEP slices, k the pass-relative number of a group's first slice.
  const std::int32_t STEP = g.STEP;
  const std::int32_t N = pass.LAST_SLICE - pass.FIRST_SLICE + 1;
  const std::int32_t iterations = std::max((STEP + pass.LAST_SLICE - pass.FIRST_SLICE) / STEP, 0);
  PassSinograms sinogram(SINOGRAMS, pass, static_cast<std::int64_t>(iterations) * STEP);

  // Thread 0 works in the driver's slice buffers and the work arrays above; every further
  // thread gets a set of its own.
  const int threads = rav_loop_threads(iterations);
  std::vector<GroupWork> extra_work(static_cast<std::size_t>(threads - 1));
  std::vector<SliceBuffers> extra_slices(static_cast<std::size_t>(threads - 1));
  for (std::size_t t = 0; t + 1 < static_cast<std::size_t>(threads); ++t) {
    allocate_group_work(g, tables.filter.NFFT, num_oversampled, extra_work[t]);
    allocate_group_slices(g, pixels, extra_slices[t]);
  }
  std::vector<GroupSlices> slice_sets{group_slices(slices)};
  for (SliceBuffers& set : extra_slices) slice_sets.push_back(group_slices(set));
  const auto work_of = [&](int T) -> GroupWork& {
    return T == 0 ? work : extra_work[static_cast<std::size_t>(T - 1)];
  };

  GroupSteps steps;
  steps.progress = [&](std::int32_t G, std::int32_t& st) {
    const std::int32_t k = 1 + G * STEP;
    if (k % 16 == 1) rav_loop_progress(pass.FIRST_SLICE + k - 1, st);
  };
  steps.reconstruct = [&](int T, std::int32_t G, std::int32_t& st) {
    const std::int32_t k = 1 + G * STEP;
    std::array<std::span<const float>, 4> sino{};
    for (std::int32_t p = 0; p < STEP; ++p) sino[static_cast<std::size_t>(p)] = sinogram(k + p);
    recon_overgroup(tables, OV, g, sino, slice_sets[static_cast<std::size_t>(T)], work_of(T), st);
  };
  steps.display = [&](int T, std::int32_t G, std::int32_t& st) {
    const std::int32_t k = 1 + G * STEP;
    if (pass.DISPLAY_GRAPHICS && k % 20 == 1) {
      rav_loop_display(pass, tables, slice_sets[static_cast<std::size_t>(T)][0],
                       pass.FIRST_SLICE + k - 1, st);
    }
  };
  steps.write = [&](int T, std::int32_t G) {
    // Ascending slice order; slices of sinograms beyond the pass are not written.
    const std::int32_t k = 1 + G * STEP;
    const GroupSlices& slice = slice_sets[static_cast<std::size_t>(T)];
    for (std::int32_t p = 0; p < STEP && k + p <= N; ++p) {
      slice_file_write(out, NEXT_RECORD, slice[static_cast<std::size_t>(p)]);
      ++NEXT_RECORD;
    }
  };
  rav_loop_groups(iterations, threads, steps, times, status);
  // The tables and work arrays are released on return.
}
