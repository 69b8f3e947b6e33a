// What the routines of the rotation axis share inside the core.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "rav_axis.h"

// One row of a projection and the same row of its partner half a turn away (N values each).
struct RavRowPair {
  const float* first = nullptr;
  const float* second = nullptr;
};

// The axis from the registration of every row pair of PAIRS (ROWS of them per pair of
// projections) with N bins, looked for between MIN_AXIS and MAX_AXIS; undecided below
// MIN_CORRELATION, at the end of the range, or with two almost equal matches.
RavAxisResult rav_register_mirrored(std::span<const RavRowPair> pairs, std::int32_t N,
                                    std::int64_t rows, double min_axis, double max_axis,
                                    double min_correlation);

// The axis from the centroids of every projection of ROWS sinograms (rav_find_axis).
RavAxisResult rav_axis_from_centroids(std::span<const float> sinograms, std::int32_t ROWS,
                                      std::int32_t NUM_BINS, std::int32_t NUM_PROJECTIONS,
                                      const RavAngles& angles);
