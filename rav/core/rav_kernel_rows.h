// What the vector kernels share whatever the width of their vectors: blocks of rows taken one
// row per lane, the interleaved copy of a block's pixels, and the placement of a window of bins
// that the lanes' positions stay inside for a known number of columns.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "rav_core.h"

// The most lanes a vector of floats can have (Arm SVE at 2048 bits).
inline constexpr int RAV_MAX_LANES = 64;

// A block of up to LANES consecutive rows of a slice, lane l holding row FIRST_ROW + l, and the
// columns its pixels occupy.
struct RavRowBlock {
  std::int32_t first_row = 0;             // local row of lane 0 (1-based)
  std::int32_t lanes = 0;                 // lanes of the vectors
  std::int32_t x_low = 0, x_high = -1;    // union of the rows' column ranges
  std::int32_t full_low = 0, full_high = -1;  // columns where every lane is inside its row
  // Per lane: the row's columns (a lane without pixels has an empty range far outside), and
  // (i - 0.5) - A of its first pixel and (r - 0.5) - A of its row.
  std::int32_t xs[RAV_MAX_LANES], xe[RAV_MAX_LANES];
  float ia[RAV_MAX_LANES], ra[RAV_MAX_LANES];
  float ra_low = 0.0f, ra_high = 0.0f;  // the smallest and largest ra
  double model_error = 0.0;             // E' of the window model below

  std::int64_t width() const { return std::int64_t{x_high} - x_low + 1; }
};

// Sets BLOCK up for LANES rows from local row FIRST (rows past LAST_ROW stay empty). False when
// no pixel of those rows lies inside the limits.
bool rav_row_block(const RavGeometry& g, std::int32_t first, int lanes, RavRowBlock& block);

// Copies the block's pixels of SLICE into T, column x (from x_low) of lane l at
// T[(x - x_low)·lanes + l] (zero where a row has no pixel), and back.
void rav_rows_in(const RavGeometry& g, const RavRowBlock& b, const float* slice, float* T);
void rav_rows_out(const RavGeometry& g, const RavRowBlock& b, const float* T, float* slice);

// A per-thread buffer of at least COUNT floats aligned to 256 bytes (the widest vector).
float* rav_row_buffer(std::int64_t count);

// Windows: WIDTH consecutive values of a projection of BINS values, from bin START (1-based),
// from which the lanes of a column pick their values at window index k - START (and k + REACH
// - START), k being a lane's bin. A window serves COLUMNS consecutive columns and is then placed
// again; its start comes from a model of the positions, not from the lanes, so no column needs a
// test.
//
// The model: the position of the pixel of column x in the row of lane l is, exactly,
// (X_START + x - 1.5 - A)·c - ra_l·s + A (ra_l the lane's (r - 0.5) - A in single precision);
// the running sums differ from it by at most E: the rounding of the first pixel's
// (i - 0.5) - A and of the four operations that form its position, each at most half a unit in
// the last place of a value below V (a bound on every magnitude involved), and of at most NUM_X
// additions, each at most half a unit of a position below the power of two above BINS + 2. A
// lane's bin, the truncation of its position plus OFFSET (itself rounded once), then lies
// between the truncations of the model ± E'. Over COLUMNS columns the model of all lanes spans
// (COLUMNS - 1)·|c| + (ra_max - ra_min)·|s|, so the bins span at most that + 2E' + 1, which the
// window must hold.
struct RavWindowPlan {
  double low = 0.0;            // lowest model bin (minus E') of a window placed at column x_ref
  double c = 0.0;              // its change per column
  std::int32_t x_ref = 0;
  std::int32_t highest = 0;    // the last start that keeps the window inside the projection
  std::int64_t columns = 0;    // columns a window serves (0: none can hold the lanes)

  // The start of the window that serves columns X .. X + columns - 1.
  std::int32_t start(std::int32_t x) const {
    const double bin = std::floor(low + static_cast<double>(x - x_ref) * c);
    return static_cast<std::int32_t>(std::clamp(bin, 1.0, static_cast<double>(highest)));
  }
};
RavWindowPlan rav_window_plan(const RavGeometry& g, const RavRowBlock& b, float c, float s,
                              float offset, std::int32_t reach, std::int32_t width);

