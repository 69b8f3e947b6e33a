// The vector back-projection kernels, written once over Google Highway's vectors and compiled
// for every target Highway has for this processor family (foreach_target.h: AVX-512, AVX2,
// SSE4 and scalar on x86; NEON, SVE and SVE2 on Arm), one of which Highway's dispatch table
// picks at run time. Reached only through rav_kernel_backproject.
//
// The lanes of a vector are consecutive rows of the slice (a block of rows), each lane with its
// own running position along its row, so that every pixel gets the reference loop's values, by
// the same operations, in the same order. The block's pixels are copied into an interleaved
// buffer (column x of the block is one vector), every projection is added, and they go back.
// Per projection each lane starts at its row's first pixel inside the limits and advances by one
// addition per column; lanes whose row has not started, or has ended, are masked off and keep
// their position. Where the registers hold two projections, two go through the columns where
// every lane is inside together, so that the pixels are loaded and stored once for both (each
// pixel still receives them in their order).
//
// The bins a column reads lie close together: N rows span at most N·|sin θ| bins, plus the
// rounding of the running sums. Targets with a fast permutation of two vectors (AVX-512, AVX2)
// therefore pick each lane's value out of a window of 2N consecutive values held in registers.
// A window serves a number of columns worked out in advance from a model of the positions
// (rav_window_plan), then is placed anew, so that no column needs a test. The other targets,
// the oversampled method (whose fine samples lie OV times further apart), and projections whose
// lanes no window can hold gather the values.
//
// Vectors are never members of a struct or elements of an array (those of SVE cannot be): what
// a projection carries from loop to loop is kept as arrays of floats (Flight).
//
// Two steps are not Highway's, on x86 only: the truncation of positions to bins uses the vector
// extensions' conversion (Highway's ConvertTo adds a fix-up of out-of-range values that positions
// inside the limits never need), and the AVX-512 window lookup uses the vector extensions'
// two-input shuffle (vpermt2ps), for which Highway 1.0 has no operation.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "rav_kernels_hwy.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
// Must come after foreach_target.h.
#include <hwy/cache_control.h>
#include <hwy/highway.h>

#include <algorithm>
#include <cstdint>
#include <utility>

#include "rav_kernel_rows.h"
#include "rav_kernels.h"

HWY_BEFORE_NAMESPACE();
namespace rav_kernels {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using D = hn::ScalableTag<float>;
using DI = hn::RebindToSigned<D>;
using V = hn::Vec<D>;
using VI = hn::Vec<DI>;

#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL || HWY_TARGET == HWY_AVX2
constexpr bool kWindowTarget = true;
#else
constexpr bool kWindowTarget = false;
#endif
// Whether two projections go through the columns together (the registers of AVX2 do not hold
// two projections' windows and positions).
constexpr bool kPairs = HWY_TARGET != HWY_AVX2;

#if HWY_ARCH_X86 && HWY_TARGET != HWY_SCALAR
// The raw x86 vectors as vector-extension types.
typedef float RawF __attribute__((vector_size(sizeof(V))));
typedef std::int32_t RawI __attribute__((vector_size(sizeof(V))));
#endif

// V truncated toward zero, as static_cast<std::int32_t> does for the positions here (all within
// the detector).
HWY_INLINE VI truncate(V v) {
#if HWY_ARCH_X86 && HWY_TARGET != HWY_SCALAR
  return VI{(decltype(std::declval<VI>().raw))__builtin_convertvector((RawF)v.raw, RawI)};
#else
  return hn::ConvertTo(DI(), v);
#endif
}

// The values of the window LO:HI (2N values) at IDX + N, IDX in -N .. N - 1 in the lanes that
// count: LO[IDX + N] where IDX < 0, HI[IDX] elsewhere.
HWY_INLINE V lookup2(V lo, V hi, VI idx) {
#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
  // One instruction (vpermt2ps), which takes IDX modulo 2N: HI first.
  return V{(decltype(std::declval<V>().raw))__builtin_shuffle((RawF)hi.raw, (RawF)lo.raw,
                                                               (RawI)idx.raw)};
#else
  const D d;
  const DI di;
#if HWY_TARGET == HWY_AVX2 && !HWY_IS_DEBUG_BUILD
  const VI lane = idx;  // the permutation reads the low three bits only
#else
  const VI lane = hn::And(idx, hn::Set(di, static_cast<std::int32_t>(hn::Lanes(d)) - 1));
#endif
  const auto i = hn::IndicesFromVec(d, lane);
  // A blend by the sign of IDX (one instruction on x86 besides the comparison).
  return hn::IfThenElse(hn::RebindMask(d, hn::Lt(idx, hn::Zero(di))), hn::TableLookupLanes(lo, i),
                        hn::TableLookupLanes(hi, i));
#endif
}

// The bins K (1-based) that the positions U pick and, for LINEAR, the weights W1 and W of bins K
// and K + 1 (the reference's k, 1 - w and w).
template <RavKernelMethod METHOD>
HWY_INLINE VI pick(V u, V& w1, V& w) {
  const D d;
  if constexpr (METHOD == RavKernelMethod::LINEAR) {
    const VI k = truncate(hn::Add(u, hn::Set(d, 0.50001f)));
    w = hn::Add(hn::Sub(u, hn::ConvertTo(d, k)), hn::Set(d, 0.5f));
    w1 = hn::Sub(hn::Set(d, 1.0f), w);
    return k;
  } else if constexpr (METHOD == RavKernelMethod::NEAREST) {
    return truncate(hn::Add(u, hn::Set(d, 1.0f)));
  } else {
    return truncate(u);
  }
}

// The value from the value(s) at bin k (LEFT) and k + 1 (RIGHT): the reference's
// (1 - w)·P(k) + w·P(k + 1), formed before it is added.
template <RavKernelMethod METHOD>
HWY_INLINE V combine(V w1, V w, V left, V right) {
  if constexpr (METHOD == RavKernelMethod::LINEAR) {
    return hn::Add(hn::Mul(w1, left), hn::Mul(w, right));
  } else {
    (void)w1, (void)w, (void)right;
    return left;
  }
}

// A projection in flight through a block. Vectors are kept here as arrays of floats (the vectors
// of some targets cannot be members of a struct); the column loops hold them in registers.
constexpr std::size_t kMaxLanes = HWY_MAX_BYTES / sizeof(float);
template <int NS>
struct Flight {
  HWY_ALIGN float u[kMaxLanes];  // running positions of the lanes
  // The window (window targets): 2N values of the projection of each slice from its first bin,
  // and (LINEAR) from the bin after it, its first bin + N, and the columns it still serves.
  HWY_ALIGN float lo[NS][kMaxLanes];
  HWY_ALIGN float hi[NS][kMaxLanes];
  HWY_ALIGN float lo1[NS][kMaxLanes];
  HWY_ALIGN float hi1[NS][kMaxLanes];
  std::int32_t centre = 0;
  std::int64_t left = 0;
  float step = 0.0f;        // the step of the positions per column
  const float* data[NS];    // bin 1 of the projection of each slice
  RavWindowPlan plan;       // where its windows go (window targets)
};

// DATA shifted back by one value, so that 1-based bins index it (only ever read at bins >= 1).
HWY_INLINE const float* one_before(const float* data) {
  return reinterpret_cast<const float*>(reinterpret_cast<std::uintptr_t>(data) - sizeof(float));
}

// The values of BASE at indices K.
HWY_INLINE V gather(const float* base, VI k) {
  const D d;
#if HWY_TARGET == HWY_AVX2
  // AVX2's gather instruction is slower than eight loads one at a time (half as fast on AMD Zen 5;
  // AVX-512's is not).
  HWY_ALIGN std::int32_t index[kMaxLanes];
  HWY_ALIGN float values[kMaxLanes];
  hn::Store(k, DI(), index);
  for (std::size_t l = 0; l < hn::Lanes(d); ++l) values[l] = base[index[l]];
  return hn::Load(d, values);
#else
  return hn::GatherIndex(d, base, k);
#endif
}

// The window of F that serves columns X onwards (left 0 when none can hold the lanes: the values
// are then gathered).
template <RavKernelMethod METHOD, int NS>
HWY_INLINE void place(Flight<NS>& f, std::int32_t x) {
  const D d;
  const auto N = static_cast<std::int32_t>(hn::Lanes(d));
  f.left = f.plan.columns;
  if (f.left == 0) return;
  const std::int32_t start = f.plan.start(x);
  f.centre = start + N;
  for (int n = 0; n < NS; ++n) {
    hn::Store(hn::LoadU(d, f.data[n] + start - 1), d, f.lo[n]);
    hn::Store(hn::LoadU(d, f.data[n] + start - 1 + N), d, f.hi[n]);
    if constexpr (METHOD == RavKernelMethod::LINEAR) {
      hn::Store(hn::LoadU(d, f.data[n] + start), d, f.lo1[n]);
      hn::Store(hn::LoadU(d, f.data[n] + start + N), d, f.hi1[n]);
    }
  }
}

// Keeps the window of F serving column X: placed anew when it has served its LEFT columns, with
// CENTRE its first bin + N in every lane. Only for flights whose windows can hold their lanes.
template <RavKernelMethod METHOD, int NS, bool WINDOWED>
HWY_INLINE void keep_window(Flight<NS>& f, std::int32_t x, std::int64_t& left, VI& centre) {
  if constexpr (WINDOWED) {
    if (HWY_UNLIKELY(left == 0)) {
      place<METHOD, NS>(f, x);
      left = f.left;
      centre = hn::Set(DI(), f.centre);
    }
    --left;
  }
}

// The value of F for slice N at bins K (window index IDX when WINDOWED) with weights W1, W.
template <RavKernelMethod METHOD, int NS, bool WINDOWED>
HWY_INLINE V value(const Flight<NS>& f, int n, VI k, VI idx, V w1, V w) {
  const D d;
  if constexpr (WINDOWED) {
    (void)k;
    const V left = lookup2(hn::Load(d, f.lo[n]), hn::Load(d, f.hi[n]), idx);
    if constexpr (METHOD != RavKernelMethod::LINEAR) return left;
    return combine<METHOD>(w1, w, left, lookup2(hn::Load(d, f.lo1[n]), hn::Load(d, f.hi1[n]), idx));
  } else {
    (void)idx;
    const float* base = one_before(f.data[n]);
    const V left = gather(base, k);
    if constexpr (METHOD != RavKernelMethod::LINEAR) return left;
    return combine<METHOD>(w1, w, left, gather(base + 1, k));
  }
}

// Columns FROM .. TO (inclusive) of one projection, each lane only where its row has pixels.
template <RavKernelMethod METHOD, int NS, bool WINDOWED>
HWY_INLINE void masked_columns(Flight<NS>& f, const RavRowBlock& b, std::int32_t from,
                               std::int32_t to, float* HWY_RESTRICT T, std::int64_t stride) {
  const D d;
  const DI di;
  const std::int64_t N = static_cast<std::int64_t>(hn::Lanes(d));
  const VI xs = hn::LoadU(di, b.xs);
  const VI xe = hn::LoadU(di, b.xe);
  const V step = hn::Set(d, f.step);
  V u = hn::Load(d, f.u);
  VI centre = hn::Set(di, f.centre);
  std::int64_t left = f.left;
  float* HWY_RESTRICT t = T + (from - b.x_low) * N;
  for (std::int32_t x = from; x <= to; ++x, t += N) {
    const VI xv = hn::Set(di, x);
    const auto active = hn::RebindMask(d, hn::Not(hn::Or(hn::Gt(xs, xv), hn::Gt(xv, xe))));
    V w1, w;
    const VI k = pick<METHOD>(u, w1, w);
    keep_window<METHOD, NS, WINDOWED>(f, x, left, centre);
    const VI idx = hn::Sub(k, centre);
    for (int n = 0; n < NS; ++n) {
      float* tn = t + n * stride;
      const V old = hn::Load(d, tn);
      const V v = value<METHOD, NS, WINDOWED>(f, n, k, idx, w1, w);
      hn::Store(hn::IfThenElse(active, hn::Add(old, v), old), d, tn);
    }
    u = hn::IfThenElse(active, hn::Add(u, step), u);
  }
  hn::Store(u, d, f.u);
  f.left = left;
}

// Columns FROM .. TO where every lane is inside its row, for G (1 or 2) projections F0, F1 whose
// values are added one after the other, in their order.
template <RavKernelMethod METHOD, int NS, int G, bool WINDOWED>
HWY_INLINE void full_columns(Flight<NS>& f0, Flight<NS>& f1, const RavRowBlock& b,
                             std::int32_t from, std::int32_t to, float* HWY_RESTRICT T,
                             std::int64_t stride) {
  const D d;
  const DI di;
  const std::int64_t N = static_cast<std::int64_t>(hn::Lanes(d));
  const V step0 = hn::Set(d, f0.step), step1 = hn::Set(d, f1.step);
  V u0 = hn::Load(d, f0.u), u1 = hn::Load(d, f1.u);
  VI centre0 = hn::Set(di, f0.centre), centre1 = hn::Set(di, f1.centre);
  std::int64_t left0 = f0.left, left1 = f1.left;
  float* HWY_RESTRICT t = T + (from - b.x_low) * N;
  for (std::int32_t x = from; x <= to; ++x, t += N) {
    V w1_0, w_0, w1_1, w_1;
    const VI k0 = pick<METHOD>(u0, w1_0, w_0);
    keep_window<METHOD, NS, WINDOWED>(f0, x, left0, centre0);
    const VI idx0 = hn::Sub(k0, centre0);
    VI k1 = k0, idx1 = idx0;
    if constexpr (G == 2) {
      k1 = pick<METHOD>(u1, w1_1, w_1);
      keep_window<METHOD, NS, WINDOWED>(f1, x, left1, centre1);
      idx1 = hn::Sub(k1, centre1);
    }
    for (int n = 0; n < NS; ++n) {
      float* tn = t + n * stride;
      V sum = hn::Add(hn::Load(d, tn), value<METHOD, NS, WINDOWED>(f0, n, k0, idx0, w1_0, w_0));
      if constexpr (G == 2) {
        sum = hn::Add(sum, value<METHOD, NS, WINDOWED>(f1, n, k1, idx1, w1_1, w_1));
      }
      hn::Store(sum, d, tn);
    }
    u0 = hn::Add(u0, step0);
    if constexpr (G == 2) u1 = hn::Add(u1, step1);
  }
  hn::Store(u0, d, f0.u);
  f0.left = left0;
  if constexpr (G == 2) {
    hn::Store(u1, d, f1.u);
    f1.left = left1;
  }
}

// Projection P in flight for block B: each lane at its row's first pixel, as the reference forms
// the position (for FINE the fine sample index q), and its step per column.
template <RavKernelMethod METHOD, int NS>
HWY_INLINE void take_off(const RavKernelProjection& p, const RavRowBlock& b, const RavGeometry& g,
                         std::int32_t OV, Flight<NS>& f) {
  const D d;
  const V c = hn::Set(d, p.c);
  const V s = hn::Set(d, p.s);
  V u = hn::Add(hn::Sub(hn::Mul(hn::LoadU(d, b.ia), c), hn::Mul(hn::LoadU(d, b.ra), s)),
                hn::Set(d, g.AXIS_POSITION));
  f.step = p.c;
  if constexpr (METHOD == RavKernelMethod::FINE) {
    const float ov = static_cast<float>(OV);
    u = hn::Add(hn::Mul(hn::Sub(u, hn::Set(d, 0.5f)), hn::Set(d, ov)), hn::Set(d, 0.99999f));
    f.step = p.c * ov;
  }
  hn::Store(u, d, f.u);
  f.left = 0;
  for (int n = 0; n < NS; ++n) f.data[n] = p.data[n];
  if constexpr (METHOD != RavKernelMethod::FINE) {
    const auto N = static_cast<std::int32_t>(hn::Lanes(d));
    const bool linear = METHOD == RavKernelMethod::LINEAR;
    // LINEAR reads bin k + 1 from the window one bin on: 2N + 1 bins in all.
    f.plan = rav_window_plan(g, b, p.c, p.s, linear ? 0.50001f : 1.0f, linear ? 1 : 0,
                             linear ? 2 * N + 1 : 2 * N);
  }
}

// Brings projections FROM .. TO - 1 (those that exist), VALUES values each, towards the core.
template <int NS>
HWY_INLINE void prefetch(std::span<const RavKernelProjection> projections, std::size_t from,
                         std::size_t to, std::int64_t values) {
  for (std::size_t q = from; q < std::min(projections.size(), to); ++q) {
    for (int n = 0; n < NS; ++n) {
      for (std::int64_t i = 0; i < values; i += 16) hwy::Prefetch(projections[q].data[n] + i);
    }
  }
}

// Projections P .. P + COUNT - 1 added to the block B held in T (NS slices STRIDE apart), with
// windows when WINDOWED (every flight's windows can hold its lanes) or gathered values.
template <RavKernelMethod METHOD, int NS, bool WINDOWED>
void add_group(Flight<NS>* flights, std::size_t count, const RavRowBlock& b, float* T,
               std::int64_t stride) {
  // Columns where some lane is outside its row come before and after those where all are inside.
  const std::int32_t ramp_end = std::min(b.full_low - 1, b.x_high);
  const std::int32_t tail = std::max(b.full_high + 1, ramp_end + 1);
  for (std::size_t q = 0; q < count; ++q) {
    masked_columns<METHOD, NS, WINDOWED>(flights[q], b, b.x_low, ramp_end, T, stride);
  }
  if (count == 2) {
    full_columns<METHOD, NS, 2, WINDOWED>(flights[0], flights[1], b, b.full_low, b.full_high, T,
                                          stride);
  } else {
    full_columns<METHOD, NS, 1, WINDOWED>(flights[0], flights[0], b, b.full_low, b.full_high, T,
                                          stride);
  }
  for (std::size_t q = 0; q < count; ++q) {
    masked_columns<METHOD, NS, WINDOWED>(flights[q], b, tail, b.x_high, T, stride);
  }
}

// Every projection added to the block B held in T (NS slices STRIDE apart): two at a time
// through the columns where every lane is inside its row (where the target's registers hold
// two), with windows where the target has them and they can hold the lanes.
template <RavKernelMethod METHOD, int NS>
void backproject_block(const RavGeometry& g, std::int32_t OV, const RavRowBlock& b,
                       std::span<const RavKernelProjection> projections, float* T,
                       std::int64_t stride) {
  const std::int64_t values = std::int64_t{METHOD == RavKernelMethod::FINE ? OV : 1} * g.NUM_BINS;
  const std::size_t G = kPairs && b.full_low <= b.full_high ? 2 : 1;
  Flight<NS> flights[2];
  for (std::size_t p = 0; p < projections.size(); p += G) {
    const std::size_t count = std::min(G, projections.size() - p);
    prefetch<NS>(projections, p + count, p + 2 * count, values);
    bool windows = kWindowTarget && METHOD != RavKernelMethod::FINE;
    for (std::size_t q = 0; q < count; ++q) {
      take_off<METHOD, NS>(projections[p + q], b, g, OV, flights[q]);
      windows = windows && flights[q].plan.columns > 0;
    }
    if (windows) {
      add_group<METHOD, NS, kWindowTarget>(flights, count, b, T, stride);
    } else {
      add_group<METHOD, NS, false>(flights, count, b, T, stride);
    }
  }
}

template <RavKernelMethod METHOD, int NS>
void backproject_rows(const RavGeometry& g, std::int32_t OV,
                      std::span<const RavKernelProjection> projections, float* const slices[2]) {
  const D d;
  const auto N = static_cast<int>(hn::Lanes(d));
  RavRowBlock block;
  for (std::int32_t first = g.FIRST_ROW; first <= g.LAST_ROW; first += N) {
    if (!rav_row_block(g, first, N, block)) continue;
    const std::int64_t stride = block.width() * N;
    float* T = rav_row_buffer(stride * NS);
    for (int n = 0; n < NS; ++n) rav_rows_in(g, block, slices[n], T + n * stride);
    backproject_block<METHOD, NS>(g, OV, block, projections, T, stride);
    for (int n = 0; n < NS; ++n) rav_rows_out(g, block, T + n * stride, slices[n]);
  }
}

template <RavKernelMethod METHOD>
void backproject_method(const RavGeometry& g, std::int32_t OV,
                        std::span<const RavKernelProjection> projections, int NS,
                        float* const slices[2]) {
  if (NS == 2) {
    backproject_rows<METHOD, 2>(g, OV, projections, slices);
  } else {
    backproject_rows<METHOD, 1>(g, OV, projections, slices);
  }
}

void Backproject(RavKernelMethod method, const RavGeometry& g, std::int32_t OV,
                 std::span<const RavKernelProjection> projections, int NS,
                 float* const slices[2]) {
  switch (method) {
    case RavKernelMethod::NEAREST:
      backproject_method<RavKernelMethod::NEAREST>(g, OV, projections, NS, slices);
      break;
    case RavKernelMethod::LINEAR:
      backproject_method<RavKernelMethod::LINEAR>(g, OV, projections, NS, slices);
      break;
    case RavKernelMethod::FINE:
      backproject_method<RavKernelMethod::FINE>(g, OV, projections, NS, slices);
      break;
  }
}

// NOLINTNEXTLINE(google-readability-namespace-comments)
}  // namespace HWY_NAMESPACE
}  // namespace rav_kernels
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace rav_kernels {
HWY_EXPORT(Backproject);
}  // namespace rav_kernels

void rav_kernel_backproject_hwy(RavKernelMethod method, const RavGeometry& geometry,
                                std::int32_t OV, std::span<const RavKernelProjection> projections,
                                int NS, float* const slices[2]) {
  HWY_DYNAMIC_DISPATCH(rav_kernels::Backproject)(method, geometry, OV, projections, NS, slices);
}
#endif  // HWY_ONCE
