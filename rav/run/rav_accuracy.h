// The run's options for accurate slices from real scans: the filter window and cutoff, the
// padding, dead and hot pixels, ring removal. The keywords' words, the core's options made from
// the parameters, the dead pixels of a pass, and the ring removal of the sinograms of a pass.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rav.h"
#include "rav_core.h"

// The words of FILTER, PADDING and RING_REMOVAL, in the order of the core's enumerations.
inline constexpr std::array<std::string_view, 6> RAV_FILTER_WORDS{
    "RAMP", "SHEPP_LOGAN", "COSINE", "HAMMING", "HANN", "PARZEN"};
inline constexpr std::array<std::string_view, 3> RAV_PADDING_WORDS{"NONE", "ZERO", "EDGE"};
inline constexpr std::array<std::string_view, 2> RAV_RING_WORDS{"NONE", "SORTING"};

// The position of WORD in WORDS, or -1.
int rav_word_index(std::span<const std::string_view> words, std::string_view word);
// WORDS as "A, B, C".
std::string rav_words_text(std::span<const std::string_view> words);

// The filter and the ring removal that the parameters ask for (words that are not in the lists,
// which RAV_CHECK_PARAMETERS refuses, count as the defaults).
RavFilterOptions rav_filter_options(const ParameterSet& parameters);
RavRingOptions rav_ring_options(const ParameterSet& parameters);

// "INFO: " lines naming a filter or a ring removal other than the default (nothing otherwise).
void rav_report_filter(const RavFilterOptions& filter, const RavRingOptions& rings,
                       std::int32_t& status);

// Removes the stripes of the COUNT sinograms at SINOGRAMS (each SIZE values of GEOMETRY's
// bins and projections) on THREADS threads; returns the number of columns corrected.
std::int64_t rav_remove_rings_of(const RavRingOptions& rings, const RavGeometry& geometry,
                                 std::span<float* const> sinograms, int threads);
// "INFO: Ring removal corrected N stripe columns in M sinograms".
void rav_report_rings(std::int64_t columns, std::int64_t sinograms, std::int32_t& status);

// The dead and hot pixels of a pass, found in its flat field: for slice k of the pass (from 0),
// the bins (from 0) that its flat field cannot correct.
struct RavDeadPixels {
  std::vector<std::vector<std::int32_t>> bins;
  std::int64_t count() const;
};

// The region of a pass's image arrays that its slices use: slice k's bins are NUM_BINS values
// from FIRST + k·SLICE_STEP, BIN_STEP apart (a row of the array with the rotation axis vertical,
// a column otherwise).
struct RavPassRows {
  std::int32_t NUM_SLICES = 0, NUM_BINS = 0;
  std::int64_t SLICE_STEP = 0, BIN_STEP = 1;
};

// Finds the bad pixels of every slice's row of FLAT (flat field minus background, floored at
// FLOOR).
RavDeadPixels rav_find_dead_pixels(const RavPassRows& rows, std::span<const float> flat,
                                   float floor);
// Replaces the bad pixels of every slice's row of DATA (an image, background or flat field of
// the pass) by interpolation along the row.
void rav_fill_dead_pixels(const RavDeadPixels& dead, const RavPassRows& rows,
                          std::span<float> data);
// One "INFO: " line with the count and the image positions (column, row, from 1) of the pass's
// bad pixels; the slices are image rows from FIRST_SLICE (axis vertical) or columns.
void rav_report_dead_pixels(const RavDeadPixels& dead, bool vertical, std::int32_t FIRST_SLICE,
                            std::int32_t& status);
