// The AVX-512 back-projection kernels: sixteen rows of a slice at a time, one row per lane.
//
// For a block of sixteen rows the pixels are copied into an interleaved buffer (column x of the
// block is sixteen consecutive floats, one per row), every projection is added, and the pixels go
// back. Per projection each lane starts at the position of its row's first pixel inside the
// limits and advances by one addition per column, exactly as the reference loop does; lanes
// whose row has not started, or has ended, at the current column are masked off and keep their
// position. Only the functions marked RAV_AVX512 use the instruction set, and they are reached
// only when the processor reports it.
//
// GCC 12 takes the deliberately undefined source of the unmasked intrinsics for an uninitialised
// value.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "rav_kernels.h"

#define RAV_AVX512 __attribute__((target("avx512f")))

namespace {

constexpr int kLanes = 16;
// Projections added together in one sweep over the columns where all lanes are inside (a pair).
constexpr int kGroup = 2;
constexpr std::int32_t kNever = std::numeric_limits<std::int32_t>::max() / 2;

// A block of up to sixteen rows and the columns its pixels occupy.
struct RowBlock {
  std::int32_t first_row = 0;  // local row of lane 0 (1-based)
  std::int32_t rows = 0;       // lanes holding a row of the block
  std::int32_t x_low = 0, x_high = -1;   // union of the rows' column ranges
  std::int32_t full_low = 0, full_high = -1;  // columns where every lane is inside its row
  alignas(64) std::int32_t xs[kLanes];
  alignas(64) std::int32_t xe[kLanes];
  alignas(64) float ia[kLanes];  // (i - 0.5) - A of each row's first pixel
  alignas(64) float ra[kLanes];  // (r - 0.5) - A of each row
};

// Sets up BLOCK for the rows FIRST .. FIRST + 15 (at most LAST_ROW). False when no pixel of
// those rows lies inside the limits.
bool prepare_block(const RavGeometry& g, std::int32_t first, RowBlock& block) {
  block.first_row = first;
  block.rows = std::min(kLanes, g.LAST_ROW - first + 1);
  block.x_low = kNever;
  block.x_high = -kNever;
  std::int32_t max_start = -kNever, min_end = kNever;
  const float A = g.AXIS_POSITION;
  for (int l = 0; l < kLanes; ++l) {
    std::int32_t xs = kNever, xe = -kNever;
    if (l < block.rows) {
      const std::int32_t y = first + l;
      xs = g.X_STARTS[static_cast<std::size_t>(y - 1)];
      xe = g.X_ENDS[static_cast<std::size_t>(y - 1)];
      if (xe < xs) {
        xs = kNever;
        xe = -kNever;
      }
    }
    block.xs[l] = xs;
    block.xe[l] = xe;
    max_start = std::max(max_start, xs);
    min_end = std::min(min_end, xe);
    if (xe >= xs) {
      block.x_low = std::min(block.x_low, xs);
      block.x_high = std::max(block.x_high, xe);
      const auto i = static_cast<float>(g.X_START + xs - 1);
      const auto r = static_cast<float>(g.Y_START + first + l - 1);
      block.ia[l] = (i - 0.5f) - A;
      block.ra[l] = (r - 0.5f) - A;
    } else {
      block.ia[l] = 0.0f;
      block.ra[l] = 0.0f;
    }
  }
  if (block.x_high < block.x_low) return false;
  if (max_start <= min_end) {
    block.full_low = max_start;
    block.full_high = min_end;
  } else {  // some lane never active: every column is masked
    block.full_low = block.x_high + 1;
    block.full_high = block.x_high;
  }
  return true;
}

// Interleaved pixels of a block: column x (from x_low) of lane l at T[(x - x_low)·16 + l].
void gather_rows(const RavGeometry& g, const RowBlock& b, const float* slice, float* T) {
  const std::int64_t width = b.x_high - b.x_low + 1;
  std::memset(T, 0, static_cast<std::size_t>(width) * kLanes * sizeof(float));
  for (int l = 0; l < b.rows; ++l) {
    if (b.xe[l] < b.xs[l]) continue;
    const float* row = slice + static_cast<std::int64_t>(b.first_row + l - 1) * g.NUM_X;
    for (std::int32_t x = b.xs[l]; x <= b.xe[l]; ++x) {
      T[static_cast<std::int64_t>(x - b.x_low) * kLanes + l] = row[x - 1];
    }
  }
}

void scatter_rows(const RavGeometry& g, const RowBlock& b, const float* T, float* slice) {
  for (int l = 0; l < b.rows; ++l) {
    if (b.xe[l] < b.xs[l]) continue;
    float* row = slice + static_cast<std::int64_t>(b.first_row + l - 1) * g.NUM_X;
    for (std::int32_t x = b.xs[l]; x <= b.xe[l]; ++x) {
      row[x - 1] = T[static_cast<std::int64_t>(x - b.x_low) * kLanes + l];
    }
  }
}

// The address one float before P: gathers with 1-based bin numbers as indices read from it.
const float* one_before(const float* p) {
  return reinterpret_cast<const float*>(reinterpret_cast<std::uintptr_t>(p) - sizeof(float));
}

// Along a column of sixteen rows the bins read lie close together (sixteen rows span at most
// sixteen bins, plus the small drift between the lanes' running sums), so they can be picked out
// of a window of 32 consecutive values by one permutation instead of a gather. The window is
// centred on the bin of lane 8 and kept inside the projection; a column with a bin outside it
// (near the ends of the detector, where the window cannot be centred) is gathered instead.
struct Window {
  std::int32_t lowest;   // first allowed window start (bin 1)
  std::int32_t highest;  // last allowed window start (bins - 31)
};

// Whether the window indices IDX of the lanes in MASK (or all) lie in 0 .. LAST.
template <bool MASKED>
RAV_AVX512 inline bool window_holds(__m512i idx, __mmask16 mask, int last) {
  if constexpr (MASKED) {
    return _mm512_mask_cmpgt_epu32_mask(mask, idx, _mm512_set1_epi32(last)) == 0;
  } else {
    return _mm512_cmpgt_epu32_mask(idx, _mm512_set1_epi32(last)) == 0;
  }
}

// The values of one projection at the positions U, for the lanes in MASK (all when not MASKED;
// the other lanes' values are left unspecified), one vector per sinogram, gathered.
template <RavKernelMethod METHOD, int NS, bool MASKED>
RAV_AVX512 inline void column_values(__m512 u, __mmask16 mask, const float* const base[2],
                                     __m512 value[2]) {
  const __m512 zero = _mm512_setzero_ps();
  if constexpr (METHOD == RavKernelMethod::LINEAR) {
    const __m512i k = _mm512_cvttps_epi32(_mm512_add_ps(u, _mm512_set1_ps(0.50001f)));
    const __m512 w =
        _mm512_add_ps(_mm512_sub_ps(u, _mm512_cvtepi32_ps(k)), _mm512_set1_ps(0.5f));
    const __m512 w1 = _mm512_sub_ps(_mm512_set1_ps(1.0f), w);
    for (int n = 0; n < NS; ++n) {
      // base[n] is bin 0: P(k) at base[n] + k, P(k + 1) one further.
      __m512 left, right;
      if constexpr (MASKED) {
        left = _mm512_mask_i32gather_ps(zero, mask, k, base[n], 4);
        right = _mm512_mask_i32gather_ps(zero, mask, k, base[n] + 1, 4);
      } else {
        left = _mm512_i32gather_ps(k, base[n], 4);
        right = _mm512_i32gather_ps(k, base[n] + 1, 4);
      }
      value[n] = _mm512_add_ps(_mm512_mul_ps(w1, left), _mm512_mul_ps(w, right));
    }
  } else {
    const __m512i k = METHOD == RavKernelMethod::NEAREST
                          ? _mm512_cvttps_epi32(_mm512_add_ps(u, _mm512_set1_ps(1.0f)))
                          : _mm512_cvttps_epi32(u);
    for (int n = 0; n < NS; ++n) {
      if constexpr (MASKED) {
        value[n] = _mm512_mask_i32gather_ps(zero, mask, k, base[n], 4);
      } else {
        value[n] = _mm512_i32gather_ps(k, base[n], 4);
      }
    }
  }
}

// A window kept from column to column: as long as the bins of a column lie inside it, its
// values need not be loaded again. OFFSET places a new window around the bin of lane 8 so that
// the bins, which move by cos θ per column, stay inside it for as many columns as can be.
struct HeldWindow {
  __m512i start_v;
  std::int32_t start;
  std::int32_t offset;
  bool forward;  // the bins grow from column to column
  __m512 low[2], high[2];
};

RAV_AVX512 inline void hold_window(HeldWindow& h, float c, float s, bool linear) {
  const auto half = static_cast<std::int32_t>(8.0f * std::abs(s)) + 2;  // lanes 0 .. 15 about lane 8
  h.forward = c >= 0.0f;
  h.offset = h.forward ? half : 29 - half - (linear ? 1 : 0);
  h.offset = std::clamp(h.offset, 0, 31);
  h.start = -(1 << 29);  // holds nothing yet
  h.start_v = _mm512_set1_epi32(h.start);
}

// The values of one projection at the positions U for the lanes in MASK (all when not MASKED)
// through the held window H, placing a new window when the bins have left it.
template <RavKernelMethod METHOD, int NS, bool MASKED>
RAV_AVX512 inline void held_values(__m512 u, __mmask16 mask, HeldWindow& h,
                                   const float* const base[2], const Window& range,
                                   __m512 value[2]) {
  constexpr bool kLinear = METHOD == RavKernelMethod::LINEAR;
  constexpr int kLast = kLinear ? 30 : 31;  // idx and, for linear, idx + 1 in 0 .. 31
  __m512i k;
  __m512 w, w1;
  if constexpr (kLinear) {
    k = _mm512_cvttps_epi32(_mm512_add_ps(u, _mm512_set1_ps(0.50001f)));
    w = _mm512_add_ps(_mm512_sub_ps(u, _mm512_cvtepi32_ps(k)), _mm512_set1_ps(0.5f));
    w1 = _mm512_sub_ps(_mm512_set1_ps(1.0f), w);
  } else {
    k = _mm512_cvttps_epi32(_mm512_add_ps(u, _mm512_set1_ps(1.0f)));
  }
  __m512i idx = _mm512_sub_epi32(k, h.start_v);
  if (!window_holds<MASKED>(idx, mask, kLast)) {
    std::int32_t start;
    if constexpr (MASKED) {
      // The lanes that count may lie anywhere: start from their lowest or highest bin.
      start = h.forward ? _mm512_mask_reduce_min_epi32(mask, k) - 1
                        : _mm512_mask_reduce_max_epi32(mask, k) - 30;
    } else {
      start = _mm_cvtsi128_si32(_mm512_extracti32x4_epi32(k, 2)) - h.offset;
    }
    h.start = std::clamp(start, range.lowest, range.highest);
    h.start_v = _mm512_set1_epi32(h.start);
    for (int n = 0; n < NS; ++n) {
      h.low[n] = _mm512_loadu_ps(base[n] + h.start);
      h.high[n] = _mm512_loadu_ps(base[n] + h.start + 16);
    }
    idx = _mm512_sub_epi32(k, h.start_v);
    if (!window_holds<MASKED>(idx, mask, kLast)) {  // near the ends of the detector
      for (int n = 0; n < NS; ++n) {
        const __m512 zero = _mm512_setzero_ps();
        if constexpr (kLinear) {
          const __m512 left = _mm512_mask_i32gather_ps(zero, mask, k, base[n], 4);
          const __m512 right = _mm512_mask_i32gather_ps(zero, mask, k, base[n] + 1, 4);
          value[n] = _mm512_add_ps(_mm512_mul_ps(w1, left), _mm512_mul_ps(w, right));
        } else {
          value[n] = _mm512_mask_i32gather_ps(zero, mask, k, base[n], 4);
        }
      }
      return;
    }
  }
  for (int n = 0; n < NS; ++n) {
    if constexpr (kLinear) {
      const __m512i idx1 = _mm512_add_epi32(idx, _mm512_set1_epi32(1));
      const __m512 left = _mm512_permutex2var_ps(h.low[n], idx, h.high[n]);
      const __m512 right = _mm512_permutex2var_ps(h.low[n], idx1, h.high[n]);
      value[n] = _mm512_add_ps(_mm512_mul_ps(w1, left), _mm512_mul_ps(w, right));
    } else {
      value[n] = _mm512_permutex2var_ps(h.low[n], idx, h.high[n]);
    }
  }
}

// Columns FROM .. TO (inclusive) of one projection, each lane only where its row has pixels.
template <RavKernelMethod METHOD, int NS, bool WINDOWED>
RAV_AVX512 inline __m512 masked_columns(__m512 u, __m512 step, const RowBlock& b, std::int32_t from,
                                        std::int32_t to, const float* const base[2], float* T,
                                        std::int64_t stride, const Window* range,
                                        HeldWindow& held) {
  const __m512i xs = _mm512_load_si512(b.xs);
  const __m512i xe = _mm512_load_si512(b.xe);
  HeldWindow h = held;  // in registers through the loop
  float* t = T + static_cast<std::int64_t>(from - b.x_low) * kLanes;
  for (std::int32_t x = from; x <= to; ++x, t += kLanes) {
    const __m512i xv = _mm512_set1_epi32(x);
    const __mmask16 mask = _mm512_cmple_epi32_mask(xs, xv) & _mm512_cmple_epi32_mask(xv, xe);
    __m512 value[2];
    if constexpr (WINDOWED) {
      held_values<METHOD, NS, true>(u, mask, h, base, *range, value);
    } else {
      column_values<METHOD, NS, true>(u, mask, base, value);
    }
    for (int n = 0; n < NS; ++n) {
      float* tn = t + n * stride;
      const __m512 old = _mm512_load_ps(tn);
      _mm512_store_ps(tn, _mm512_mask_add_ps(old, mask, old, value[n]));
    }
    u = _mm512_mask_add_ps(u, mask, u, step);
  }
  held = h;
  return u;
}

// Columns FROM .. TO where every lane is inside its row, for PAIR projections (U[q]) whose values
// are added one after the other, in their order. WINDOWED: through windows held from column to
// column (HELD, one per projection).
template <RavKernelMethod METHOD, int NS, int PAIR, bool WINDOWED>
RAV_AVX512 inline void full_columns(__m512 u[kGroup], const __m512 step[kGroup], const RowBlock& b,
                                    std::int32_t from, std::int32_t to,
                                    const float* const base[kGroup][2], float* T, std::int64_t stride,
                                    const Window* range, HeldWindow held[kGroup]) {
  // The running positions and windows live in registers through the loop (locals, not the
  // arrays, which the compiler would keep in memory).
  __m512 u0 = u[0], u1 = u[PAIR - 1];
  const __m512 step0 = step[0], step1 = step[PAIR - 1];
  HeldWindow h0 = held[0], h1 = held[PAIR - 1];
  float* t = T + static_cast<std::int64_t>(from - b.x_low) * kLanes;
  for (std::int32_t x = from; x <= to; ++x, t += kLanes) {
    __m512 value0[2], value1[2];
    if constexpr (WINDOWED) {
      held_values<METHOD, NS, false>(u0, 0xFFFF, h0, base[0], *range, value0);
      if constexpr (PAIR == 2) held_values<METHOD, NS, false>(u1, 0xFFFF, h1, base[1], *range, value1);
    } else {
      column_values<METHOD, NS, false>(u0, 0xFFFF, base[0], value0);
      if constexpr (PAIR == 2) {
        column_values<METHOD, NS, false>(u1, 0xFFFF, base[1], value1);
      }
    }
    for (int n = 0; n < NS; ++n) {
      float* tn = t + n * stride;
      __m512 sum = _mm512_add_ps(_mm512_load_ps(tn), value0[n]);
      if constexpr (PAIR == 2) sum = _mm512_add_ps(sum, value1[n]);
      _mm512_store_ps(tn, sum);
    }
    u0 = _mm512_add_ps(u0, step0);
    if constexpr (PAIR == 2) u1 = _mm512_add_ps(u1, step1);
  }
  u[0] = u0;
  u[PAIR - 1] = PAIR == 2 ? u1 : u0;
  held[0] = h0;
  held[PAIR - 1] = PAIR == 2 ? h1 : h0;
}

// Brings projections FROM .. TO - 1 (those that exist) of VALUES values each towards the core.
template <int NS>
RAV_AVX512 void prefetch(std::span<const RavKernelProjection> projections, std::size_t from,
                         std::size_t to, std::int64_t values) {
  for (std::size_t q = from; q < std::min(projections.size(), to); ++q) {
    for (int n = 0; n < NS; ++n) {
      const char* next = reinterpret_cast<const char*>(projections[q].data[n]);
      for (std::int64_t off = 0; off < values * 4; off += 64) _mm_prefetch(next + off, _MM_HINT_T0);
    }
  }
}

// The position U of each lane's first pixel for projection PROJ and its step from column to
// column, as the reference forms them (for FINE the fine sample index q).
template <RavKernelMethod METHOD>
RAV_AVX512 void row_starts(const RavKernelProjection& proj, __m512 ia, __m512 ra, __m512 A,
                           float ov, __m512& u, __m512& step) {
  const __m512 c = _mm512_set1_ps(proj.c);
  const __m512 s = _mm512_set1_ps(proj.s);
  u = _mm512_add_ps(_mm512_sub_ps(_mm512_mul_ps(ia, c), _mm512_mul_ps(ra, s)), A);
  step = c;
  if constexpr (METHOD == RavKernelMethod::FINE) {
    u = _mm512_add_ps(_mm512_mul_ps(_mm512_sub_ps(u, _mm512_set1_ps(0.5f)), _mm512_set1_ps(ov)),
                      _mm512_set1_ps(0.99999f));
    step = _mm512_set1_ps(proj.c * ov);
  }
}

template <RavKernelMethod METHOD, int NS>
RAV_AVX512 void backproject_block(const RavGeometry& g, std::int32_t OV, const RowBlock& b,
                                  std::span<const RavKernelProjection> projections, float* T,
                                  std::int64_t stride) {
  const __m512 ia = _mm512_load_ps(b.ia);
  const __m512 ra = _mm512_load_ps(b.ra);
  const __m512 A = _mm512_set1_ps(g.AXIS_POSITION);
  const float ov = static_cast<float>(OV);
  const std::int64_t bins = g.NUM_BINS;
  // Windows of 32 bins for the nearest and linear kernels (the fine samples of the oversampled
  // one lie too far apart along a column); window starts keep the 32 values inside the
  // projection.
  constexpr bool kWindowed = METHOD != RavKernelMethod::FINE;
  const bool windowed = kWindowed && bins >= 32;
  const Window range{1, static_cast<std::int32_t>(bins) - 31};
  // Columns where some lane is outside its row come before and after those where all are inside.
  const std::int32_t ramp_end = std::min(b.full_low - 1, b.x_high);
  const std::int32_t tail = std::max(b.full_high + 1, ramp_end + 1);
  // Two projections at a time through the columns where all lanes are inside (nearest and
  // linear): the pixels are loaded and stored once for both.
  const int pair = windowed && b.full_low <= b.full_high ? kGroup : 1;
  for (std::size_t p = 0; p < projections.size(); p += static_cast<std::size_t>(pair)) {
    const int count = static_cast<int>(std::min<std::size_t>(pair, projections.size() - p));
    // Bring the next projections towards the core while these are added.
    prefetch<NS>(projections, p + static_cast<std::size_t>(count),
                 p + static_cast<std::size_t>(2 * count),
                 METHOD == RavKernelMethod::FINE ? bins * OV : bins);
    __m512 u[kGroup], step[kGroup];
    const float* base[kGroup][2] = {};
    HeldWindow held[kGroup];
    for (int q = 0; q < count; ++q) {
      const RavKernelProjection& proj = projections[p + static_cast<std::size_t>(q)];
      row_starts<METHOD>(proj, ia, ra, A, ov, u[q], step[q]);
      for (int n = 0; n < NS; ++n) base[q][n] = one_before(proj.data[n]);
      hold_window(held[q], proj.c, proj.s, METHOD == RavKernelMethod::LINEAR);
      if (windowed) {
        u[q] = masked_columns<METHOD, NS, kWindowed>(u[q], step[q], b, b.x_low, ramp_end, base[q],
                                                    T, stride, &range, held[q]);
      } else {
        u[q] = masked_columns<METHOD, NS, false>(u[q], step[q], b, b.x_low, ramp_end, base[q], T,
                                                 stride, &range, held[q]);
      }
    }
    if (count == 2) {
      full_columns<METHOD, NS, 2, kWindowed>(u, step, b, b.full_low, b.full_high, base, T, stride,
                                             &range, held);
    } else if (windowed) {
      full_columns<METHOD, NS, 1, kWindowed>(u, step, b, b.full_low, b.full_high, base, T, stride,
                                             &range, held);
    } else {
      full_columns<METHOD, NS, 1, false>(u, step, b, b.full_low, b.full_high, base, T, stride,
                                         &range, held);
    }
    for (int q = 0; q < count; ++q) {
      if (windowed) {
        masked_columns<METHOD, NS, kWindowed>(u[q], step[q], b, tail, b.x_high, base[q], T,
                                              stride, &range, held[q]);
      } else {
        masked_columns<METHOD, NS, false>(u[q], step[q], b, tail, b.x_high, base[q], T, stride,
                                          &range, held[q]);
      }
    }
  }
}

// A per-thread buffer of at least COUNT floats aligned to 64 bytes.
float* block_buffer(std::int64_t count) {
  thread_local std::vector<float> storage;
  const std::size_t need = static_cast<std::size_t>(count) + kLanes;
  if (storage.size() < need) storage.assign(need, 0.0f);
  auto address = reinterpret_cast<std::uintptr_t>(storage.data());
  address = (address + 63) & ~std::uintptr_t{63};
  return reinterpret_cast<float*>(address);
}

template <RavKernelMethod METHOD, int NS>
void backproject(const RavGeometry& g, std::int32_t OV,
                 std::span<const RavKernelProjection> projections, float* const slices[2]) {
  RowBlock block;
  for (std::int32_t first = g.FIRST_ROW; first <= g.LAST_ROW; first += kLanes) {
    if (!prepare_block(g, first, block)) continue;
    const std::int64_t stride = static_cast<std::int64_t>(block.x_high - block.x_low + 1) * kLanes;
    float* T = block_buffer(stride * NS);
    for (int n = 0; n < NS; ++n) gather_rows(g, block, slices[n], T + n * stride);
    backproject_block<METHOD, NS>(g, OV, block, projections, T, stride);
    for (int n = 0; n < NS; ++n) scatter_rows(g, block, T + n * stride, slices[n]);
  }
}

template <RavKernelMethod METHOD>
void backproject_ns(const RavGeometry& g, std::int32_t OV,
                    std::span<const RavKernelProjection> projections, int NS,
                    float* const slices[2]) {
  if (NS == 2) {
    backproject<METHOD, 2>(g, OV, projections, slices);
  } else {
    backproject<METHOD, 1>(g, OV, projections, slices);
  }
}

}  // namespace

void rav_kernel_backproject_avx512(RavKernelMethod method, const RavGeometry& geometry,
                                   std::int32_t OV,
                                   std::span<const RavKernelProjection> projections, int NS,
                                   float* const slices[2]) {
  switch (method) {
    case RavKernelMethod::NEAREST:
      backproject_ns<RavKernelMethod::NEAREST>(geometry, OV, projections, NS, slices);
      break;
    case RavKernelMethod::LINEAR:
      backproject_ns<RavKernelMethod::LINEAR>(geometry, OV, projections, NS, slices);
      break;
    case RavKernelMethod::FINE:
      backproject_ns<RavKernelMethod::FINE>(geometry, OV, projections, NS, slices);
      break;
  }
}
