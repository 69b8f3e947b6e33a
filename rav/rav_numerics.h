// Reconstruction numerics: the real FFT and its twiddle table, the ramp filter, the
// reconstruction limits and the back-projections of one or two slices.
//
// Nothing here keeps mutable state between calls: every work array is an argument, so
// independent slices (or slice groups) may be reconstructed on several threads at once, each
// with its own WORK arrays and slices. The filter set and the limits are only read and may be
// shared.
//
// Arrays are spans; indices that the callers see (rows, columns, bins) are 1-based as in the rest
// of the program, element n of a span being index n + 1.
#pragma once

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

// ---------------------------------------------------------------------------------------------
// Real FFT (rav_fourier.cpp)
//
// Spectrum layout of a transform of N = 2^M reals, 1-based, X(k) = sum x(n+1)·exp(-2πi·n·k/N):
//   DATA(1) = X(0), DATA(2) = X(N/2) (both real),
//   DATA(2k+1) = Re X(k), DATA(2k+2) = -Im X(k) for k = 1 .. N/2-1.
// RAV_FFS8(RAV_FFA8(x)) = N·x: the synthesis is not normalised.
//
// The twiddle table of a transform of length N holds N complex values W(j) = (cos 2πj/N,
// sin 2πj/N), j = 0 .. N-1, as 2·N reals (cosine first): build it with
// RAV_EXPNT(2·N, 2·N, 8, TWIDDLE, status) and keep it for every transform of that length.
//
// A declared size (MAX_...) larger than the span passed counts as the span's size.

// Fills TWIDDLE(1 .. NUM_TWIDDLE) with NUM_TWIDDLE/2 complex exponentials, computing every
// EXACT_INTERVAL-th value with cosine and sine and the others by rotation. Errors: 20001
// (MAX_TWIDDLE < 1), 20005 (MAX_TWIDDLE < NUM_TWIDDLE), 20017 (EXACT_INTERVAL < 1).
void RAV_EXPNT(std::int64_t MAX_TWIDDLE, std::int64_t NUM_TWIDDLE, std::int32_t EXACT_INTERVAL,
               std::span<float> TWIDDLE, std::int32_t& status);

// Forward transform of DATA(1 .. NFFT) in place, result in the layout above. REORDER false
// skips the bit-reversal of the frequency pairs (then only RAV_FFS8 with REORDER false
// understands the result). Errors: 20001 (MAX_DATA < 1 or MAX_TWIDDLE < 2), 20005
// (NFFT > MAX_DATA), 20013 (MAX_TWIDDLE < 2·NFFT), 20025 (NFFT not a power of two); DATA is
// then untouched.
void RAV_FFA8(std::int64_t MAX_DATA, std::int64_t NFFT, std::int64_t MAX_TWIDDLE,
              std::span<const float> TWIDDLE, bool REORDER, std::span<float> DATA,
              std::int32_t& status);
// Synthesis in place from the layout above: NFFT times the inverse transform. Same arguments
// and errors as RAV_FFA8.
void RAV_FFS8(std::int64_t MAX_DATA, std::int64_t NFFT, std::int64_t MAX_TWIDDLE,
              std::span<const float> TWIDDLE, bool REORDER, std::span<float> DATA,
              std::int32_t& status);

// The passes of the transforms (no checks; INT values per view, views at DATA + q·INT).
// Between the passes the data are blocks of INT values laid out like the final spectrum with
// one block per slot (see rav_fourier.cpp).
void RAV_R2TR(std::int64_t INT, float* B0, float* B1);
void RAV_R4TR(std::int64_t INT, float* B0, float* B1, float* B2, float* B3);
void RAV_R4SYN(std::int64_t INT, float* B0, float* B1, float* B2, float* B3);
// Radix-8 analysis and synthesis passes. NN is the number of frequency classes after the
// analysis pass (before the synthesis pass), INT = NFFT/NN. B holds the eight views
// DATA(1), DATA(INT+1), ..., DATA(7·INT+1): they serve as the bases of both the real and the
// imaginary parts, which lie in different blocks of the same array.
void RAV_FRR8(std::int64_t INT, std::int64_t NN, float* const B[8], const float* TWIDDLE,
              std::int64_t NFFT);
void RAV_IHR8(std::int64_t INT, std::int64_t NN, float* const B[8], const float* TWIDDLE,
              std::int64_t NFFT);
// Reordering of DATA(1 .. N): RAV_ORD1 puts each imaginary part beside its real part (it
// reverses the imaginary slots within each octave of pairs); RAV_ORD2 is the bit-reversal
// permutation of the N/2 pairs. Both are their own inverses.
void RAV_ORD1(std::int64_t N, float* DATA);
void RAV_ORD2(std::int64_t N, float* DATA);

// ---------------------------------------------------------------------------------------------
// Ramp filter (rav_filter.cpp)

// Transform length for projections of NUM_BINS bins: the smallest power of two not below
// 2·NUM_BINS - 1 (computed as 2^INT(ln(2·NUM_BINS - 1)·1.442695 + 0.9999) in single
// precision), and never below 2.
std::int64_t rav_filter_nfft(std::int32_t NUM_BINS);

// What the filter set-up gives the slice routines; built once per pass, then only read.
struct RavFilterSet {
  std::int64_t NFFT = 0;        // transform length
  std::int64_t MAX_TWIDDLE = 0; // 2·NFFT
  std::vector<float> FILTER;    // NFFT weights in the spectrum layout; FILTER(2k+2) unused
  std::vector<float> TWIDDLE;   // 2·NFFT reals from RAV_EXPNT
};

// The filter set-up shared by every slice loop: NFFT from NUM_BINS, then FILTER and TWIDDLE
// allocated in that order (on failure "ERROR: Failed to allocated array for filter" /
// "... for twiddle factors" and the end of the process), FILTER(1) = 0, FILTER(2) = 1/NFFT,
// FILTER(2k+1) = 2k/NFFT², and RAV_EXPNT(2·NFFT, 2·NFFT, 8, TWIDDLE, status).
void rav_filter_setup(std::int32_t NUM_BINS, RavFilterSet& filter, std::int32_t& status);

// Filters one projection: copies PROJECTION(1 .. NUM_BINS) into WORK, pads it with zeros to
// NFFT, transforms, weights with FILTER and synthesises. WORK(1 .. NUM_BINS) then holds the
// filtered projection (WORK needs NFFT values). Errors are those of the transforms.
void rav_filter_projection(std::int32_t NUM_BINS, std::span<const float> PROJECTION,
                           const RavFilterSet& filter, std::span<float> WORK,
                           std::int32_t& status);

// ---------------------------------------------------------------------------------------------
// Geometry and limits (rav_calculate_limits.cpp)
//
// Detector bin k covers [k-1, k]; slice pixel (i, r) (global column and row) has its centre at
// (i - 0.5, r - 0.5); the rotation axis is the point (A, A), A = AXIS_POSITION. Projection j
// is at angle START_ANGLE + (j-1)·ANGLE_STEP and the pixel centre projects onto
//   u = (i - 0.5 - A)·cos θ - (r - 0.5 - A)·sin θ + A.

// Rows FIRST_ROW .. LAST_ROW (local, 1-based) and, for each, columns X_STARTS(y) .. X_ENDS(y)
// of the block X_START .. X_START+NUM_X-1, Y_START .. Y_START+NUM_Y-1 that lie inside the
// reconstruction circle. X_STARTS and X_ENDS need LAST_ROW entries (NUM_Y, or NUM_BINS, is
// always enough); entries outside FIRST_ROW .. LAST_ROW are not written. LAST_ROW < FIRST_ROW
// when no pixel is inside.
void RAV_CALCULATE_LIMITS(std::int32_t NUM_BINS, std::int32_t X_START, std::int32_t Y_START,
                          std::int32_t NUM_X, std::int32_t NUM_Y, float AXIS_POSITION,
                          std::int32_t& FIRST_ROW, std::int32_t& LAST_ROW,
                          std::span<std::int32_t> X_STARTS, std::span<std::int32_t> X_ENDS,
                          std::int32_t& status);

// The thirteen geometry arguments that the back-projections (and the slice routines) share.
struct RavGeometry {
  std::int32_t NUM_BINS = 0;
  std::int32_t NUM_PROJECTIONS = 0;
  std::int32_t X_START = 1, Y_START = 1;  // first global column and row of the block
  std::int32_t NUM_X = 0, NUM_Y = 0;      // block size = slice size
  std::int32_t FIRST_ROW = 1, LAST_ROW = 0;
  std::span<const std::int32_t> X_STARTS, X_ENDS;  // from RAV_CALCULATE_LIMITS, local row y at [y-1]
  float START_ANGLE = 0.0f;               // radians
  float ANGLE_STEP = 0.0f;                // radians
  float AXIS_POSITION = 0.0f;             // detector pixels
};

// ---------------------------------------------------------------------------------------------
// Back-projection (rav_backproject_*.cpp)
//
// Each routine zeroes the whole slice (NUM_X x NUM_Y, column fastest) and adds, for every
// projection and every pixel inside the limits, the value of the (filtered) projection at u.
// Reference arithmetic, which faster kernels must reproduce bit for bit:
//   θ: double, θ = START_ANGLE, then θ += ANGLE_STEP after each projection;
//   c = float(cos θ), s = float(sin θ);
//   row start: u = ((float(i) - 0.5f) - A)·c - ((float(r) - 0.5f) - A)·s + A, in float;
//   then per pixel, after its update, u += c (one float addition);
//   nearest: k = int(u + 1.0f), SLICE += P(k);
//   linear:  k = int(u + 0.50001f), w = (u - float(k)) + 0.5f,
//            SLICE += (1 - w)·P(k) + w·P(k+1)  (the value formed first, then added).
// Projections whose cos θ or sin θ is not finite (a non-finite angle) add nothing.
// The two-slice routines compute θ, u, k and w once for both sinograms and slices and give
// bitwise the same slices as the one-slice routines.
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

enum class RavInterpolation { NEAREST, LINEAR };

// The reference loop behind the four routines above, for NS (1 or 2) sinograms and slices at
// once; it checks no status. Kept plain on purpose: faster kernels are tested against it.
template <RavInterpolation METHOD, std::size_t NS>
void rav_backproject_reference(const RavGeometry& g,
                               const std::array<std::span<const float>, NS>& sinograms,
                               const std::array<std::span<float>, NS>& slices) {
  const std::int64_t num_x = std::max(g.NUM_X, 0);
  const std::int64_t num_pixels = num_x * std::max(g.NUM_Y, 0);
  const std::int64_t num_bins = g.NUM_BINS;
  for (std::size_t n = 0; n < NS; ++n) {
    assert(std::ssize(slices[n]) >= num_pixels);
    assert(std::ssize(sinograms[n]) >= num_bins * g.NUM_PROJECTIONS);
    std::fill_n(slices[n].begin(), num_pixels, 0.0f);
  }
  assert(g.LAST_ROW < g.FIRST_ROW ||
         (g.FIRST_ROW >= 1 && g.LAST_ROW <= g.NUM_Y && std::ssize(g.X_STARTS) >= g.LAST_ROW &&
          std::ssize(g.X_ENDS) >= g.LAST_ROW));
  const float A = g.AXIS_POSITION;
  double theta = g.START_ANGLE;  // running sum in double
  for (std::int64_t j = 0; j < g.NUM_PROJECTIONS; ++j, theta += g.ANGLE_STEP) {
    const auto c = static_cast<float>(std::cos(theta));
    const auto s = static_cast<float>(std::sin(theta));
    if (!std::isfinite(c) || !std::isfinite(s)) continue;
    std::array<const float*, NS> P;  // projection j; P[n][k - 1] is bin k
    for (std::size_t n = 0; n < NS; ++n) P[n] = sinograms[n].data() + j * num_bins;
    for (std::int32_t y = g.FIRST_ROW; y <= g.LAST_ROW; ++y) {
      const std::int32_t xs = g.X_STARTS[y - 1];
      const std::int32_t xe = g.X_ENDS[y - 1];
      if (xe < xs) continue;
      assert(xs >= 1 && xe <= g.NUM_X);
      const auto i = static_cast<float>(g.X_START + xs - 1);  // global column and row
      const auto r = static_cast<float>(g.Y_START + y - 1);
      float u = ((i - 0.5f) - A) * c - ((r - 0.5f) - A) * s + A;
      std::array<float*, NS> row;
      for (std::size_t n = 0; n < NS; ++n) row[n] = slices[n].data() + (y - 1) * num_x;
      for (std::int32_t x = xs; x <= xe; ++x) {
        if constexpr (METHOD == RavInterpolation::NEAREST) {
          const auto k = static_cast<std::int32_t>(u + 1.0f);
          assert(k >= 1 && k <= num_bins);
          for (std::size_t n = 0; n < NS; ++n) row[n][x - 1] += P[n][k - 1];
        } else {
          const auto k = static_cast<std::int32_t>(u + 0.50001f);
          assert(k >= 1 && k + 1 <= num_bins);
          const float w = (u - static_cast<float>(k)) + 0.5f;
          for (std::size_t n = 0; n < NS; ++n) {
            row[n][x - 1] += (1.0f - w) * P[n][k - 1] + w * P[n][k];
          }
        }
        u += c;
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Reconstruction of one slice, or of two adjacent slices (rav_recon_1slice.cpp,
// rav_recon_slice.cpp)
//
// Every projection of SINOGRAM is replaced by its filtered version (through WORK, NFFT values),
// then the slice is back-projected from it: METHOD 0 linear interpolation, 1 nearest bin. Any
// other METHOD filters the sinogram and leaves the slice as it was. A failed transform (only
// possible with an inconsistent filter set or a short WORK) leaves its status and the sinogram
// unspecified, the slice untouched.
void RAV_RECON_1SLICE(const RavGeometry& geometry, std::int32_t METHOD,
                      const RavFilterSet& filter, std::span<float> SINOGRAM,
                      std::span<float> SLICE, std::span<float> WORK, std::int32_t& status);
void RAV_RECON_SLICE(const RavGeometry& geometry, std::int32_t METHOD, const RavFilterSet& filter,
                     std::span<float> SINOGRAM_1, std::span<float> SINOGRAM_2,
                     std::span<float> SLICE_1, std::span<float> SLICE_2,
                     std::span<float> WORK_1, std::span<float> WORK_2, std::int32_t& status);
