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
// their position. Two projections go through the columns where every lane is inside together,
// so that the pixels are loaded and stored once for both (each pixel still receives them in
// their order).
//
// The bins a column reads lie close together: N rows span at most N·|sin θ| bins, plus the
// rounding of the running sums. Targets with a fast permutation of two vectors (AVX-512, AVX2)
// therefore hold a window of 2N consecutive values in registers and pick each lane's value out of
// it; the window moves only when the lanes leave it, and in the columns where every lane is inside
// its row it is placed for a number of columns worked out in advance (rav_window_place), so that
// no column needs a test. The other targets, and the oversampled method (whose fine samples lie
// OV times further apart), gather the values.
//
// Two steps are not Highway's: the truncation of positions to bins uses the vector extensions'
// conversion on x86 (Highway's ConvertTo adds a fix-up of out-of-range values that positions
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
using MI = hn::Mask<DI>;

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

// What a vector of positions picks: bins K (1-based) and, for LINEAR, the weights of bins K
// and K + 1 (the reference's k, 1 - w and w).
struct Picks {
  VI k;
  V w1, w;
};

template <RavKernelMethod METHOD>
HWY_INLINE Picks pick(V u) {
  const D d;
  Picks p{hn::Zero(DI()), hn::Zero(d), hn::Zero(d)};
  if constexpr (METHOD == RavKernelMethod::LINEAR) {
    p.k = truncate(hn::Add(u, hn::Set(d, 0.50001f)));
    p.w = hn::Add(hn::Sub(u, hn::ConvertTo(d, p.k)), hn::Set(d, 0.5f));
    p.w1 = hn::Sub(hn::Set(d, 1.0f), p.w);
  } else if constexpr (METHOD == RavKernelMethod::NEAREST) {
    p.k = truncate(hn::Add(u, hn::Set(d, 1.0f)));
  } else {
    p.k = truncate(u);
  }
  return p;
}

// The value at the picks from the value(s) at bin K (LEFT) and K + 1 (RIGHT): the reference's
// (1 - w)·P(k) + w·P(k + 1), formed before it is added.
template <RavKernelMethod METHOD>
HWY_INLINE V combine(const Picks& p, V left, V right) {
  if constexpr (METHOD == RavKernelMethod::LINEAR) {
    return hn::Add(hn::Mul(p.w1, left), hn::Mul(p.w, right));
  } else {
    (void)right;
    return left;
  }
}

// A projection in flight through a block: what changes from column to column (kept in
// registers), and what does not.
template <int NS>
struct Hot {
  V u, step;          // running positions of the lanes, and the step per column
  VI centre;          // the window (window targets): its first bin + N (1-based),
  V lo[NS], hi[NS];   // 2N values of the projection of each slice from there,
  V lo1[NS], hi1[NS]; // and (LINEAR) from the bin after it,
  std::int64_t left;  // and the columns it serves, the current one included
};
template <int NS>
struct Course {
  const float* data[NS];  // bin 1 of the projection of each slice
  RavWindowPlan plan;     // where its windows go (window targets)
};

// DATA shifted back by one value, so that 1-based bins index it (only ever read at bins >= 1).
HWY_INLINE const float* one_before(const float* data) {
  return reinterpret_cast<const float*>(reinterpret_cast<std::uintptr_t>(data) - sizeof(float));
}

template <RavKernelMethod METHOD, int NS>
HWY_INLINE void gather_values(const Course<NS>& course, const Picks& p, V value[NS]) {
  const D d;
  for (int n = 0; n < NS; ++n) {
    const float* base = one_before(course.data[n]);
    const V left = hn::GatherIndex(d, base, p.k);
    const V right =
        METHOD == RavKernelMethod::LINEAR ? hn::GatherIndex(d, base + 1, p.k) : left;
    value[n] = combine<METHOD>(p, left, right);
  }
}

template <RavKernelMethod METHOD, int NS>
HWY_INLINE void window_values(const Hot<NS>& w, const Picks& p, V value[NS]) {
  const VI idx = hn::Sub(p.k, w.centre);
  for (int n = 0; n < NS; ++n) {
    const V left = lookup2(w.lo[n], w.hi[n], idx);
    const V right = METHOD == RavKernelMethod::LINEAR ? lookup2(w.lo1[n], w.hi1[n], idx) : left;
    value[n] = combine<METHOD>(p, left, right);
  }
}

// Places the window of H that serves columns X onwards (none when no window can hold the lanes:
// the values are then gathered).
template <RavKernelMethod METHOD, int NS>
HWY_INLINE void place(Hot<NS>& h, const Course<NS>& course, std::int32_t x) {
  const D d;
  const auto N = static_cast<std::int32_t>(hn::Lanes(d));
  h.left = course.plan.columns;
  if (h.left == 0) return;
  const std::int32_t start = course.plan.start(x);
  h.centre = hn::Set(DI(), start + N);
  for (int n = 0; n < NS; ++n) {
    h.lo[n] = hn::LoadU(d, course.data[n] + start - 1);
    h.hi[n] = hn::LoadU(d, course.data[n] + start - 1 + N);
    if constexpr (METHOD == RavKernelMethod::LINEAR) {
      h.lo1[n] = hn::LoadU(d, course.data[n] + start);
      h.hi1[n] = hn::LoadU(d, course.data[n] + start + N);
    }
  }
}

// The values of H at its positions in column X (those of lanes outside their rows are
// unspecified: they are still positions inside the detector).
template <RavKernelMethod METHOD, int NS, bool WINDOWED>
HWY_INLINE void values(Hot<NS>& h, const Course<NS>& course, std::int32_t x, V value[NS]) {
  const Picks p = pick<METHOD>(h.u);
  if constexpr (WINDOWED) {
    if (HWY_UNLIKELY(h.left == 0)) place<METHOD, NS>(h, course, x);
    if (HWY_LIKELY(h.left != 0)) {
      --h.left;
      window_values<METHOD, NS>(h, p, value);
      return;
    }
  }
  gather_values<METHOD, NS>(course, p, value);
}

// Columns FROM .. TO (inclusive) of one projection, each lane only where its row has pixels.
template <RavKernelMethod METHOD, int NS, bool WINDOWED>
HWY_INLINE void masked_columns(Hot<NS>& hot, const Course<NS>& course, const RavRowBlock& b,
                               std::int32_t from, std::int32_t to, float* T,
                               std::int64_t stride) {
  const D d;
  const DI di;
  const std::int64_t N = static_cast<std::int64_t>(hn::Lanes(d));
  const VI xs = hn::LoadU(di, b.xs);
  const VI xe = hn::LoadU(di, b.xe);
  Hot<NS> h = hot;
  float* t = T + (from - b.x_low) * N;
  for (std::int32_t x = from; x <= to; ++x, t += N) {
    const VI xv = hn::Set(di, x);
    const MI active = hn::Not(hn::Or(hn::Gt(xs, xv), hn::Gt(xv, xe)));
    const auto m = hn::RebindMask(d, active);
    V value[NS];
    values<METHOD, NS, WINDOWED>(h, course, x, value);
    for (int n = 0; n < NS; ++n) {
      float* tn = t + n * stride;
      const V old = hn::Load(d, tn);
      hn::Store(hn::IfThenElse(m, hn::Add(old, value[n]), old), d, tn);
    }
    h.u = hn::IfThenElse(m, hn::Add(h.u, h.step), h.u);
  }
  hot = h;
}

// Columns FROM .. TO where every lane is inside its row, for G (1 or 2) projections whose values
// are added one after the other, in their order.
template <RavKernelMethod METHOD, int NS, int G, bool WINDOWED>
HWY_INLINE void full_columns(Hot<NS>* hots, const Course<NS>* courses, const RavRowBlock& b,
                             std::int32_t from, std::int32_t to, float* T,
                             std::int64_t stride) {
  const D d;
  const std::int64_t N = static_cast<std::int64_t>(hn::Lanes(d));
  // Locals, not the array, so that the compiler keeps them in registers.
  Hot<NS> f0 = hots[0], f1 = hots[G - 1];
  float* t = T + (from - b.x_low) * N;
  for (std::int32_t x = from; x <= to; ++x, t += N) {
    V v0[NS], v1[NS];
    values<METHOD, NS, WINDOWED>(f0, courses[0], x, v0);
    if constexpr (G == 2) values<METHOD, NS, WINDOWED>(f1, courses[G - 1], x, v1);
    for (int n = 0; n < NS; ++n) {
      float* tn = t + n * stride;
      V sum = hn::Add(hn::Load(d, tn), v0[n]);
      if constexpr (G == 2) sum = hn::Add(sum, v1[n]);
      hn::Store(sum, d, tn);
    }
    f0.u = hn::Add(f0.u, f0.step);
    if constexpr (G == 2) f1.u = hn::Add(f1.u, f1.step);
  }
  hots[0] = f0;
  if constexpr (G == 2) hots[1] = f1;
}

// Projection P in flight for block B: each lane at its row's first pixel, as the reference forms
// the position (for FINE the fine sample index q), and its step per column.
template <RavKernelMethod METHOD, int NS>
HWY_INLINE void take_off(const RavKernelProjection& p, const RavRowBlock& b, const RavGeometry& g,
                         std::int32_t OV, Hot<NS>& h, Course<NS>& course) {
  const D d;
  const V c = hn::Set(d, p.c);
  const V s = hn::Set(d, p.s);
  h.u = hn::Add(hn::Sub(hn::Mul(hn::LoadU(d, b.ia), c), hn::Mul(hn::LoadU(d, b.ra), s)),
                hn::Set(d, g.AXIS_POSITION));
  h.step = c;
  if constexpr (METHOD == RavKernelMethod::FINE) {
    const float ov = static_cast<float>(OV);
    h.u = hn::Add(hn::Mul(hn::Sub(h.u, hn::Set(d, 0.5f)), hn::Set(d, ov)), hn::Set(d, 0.99999f));
    h.step = hn::Set(d, p.c * ov);
  }
  h.centre = hn::Zero(DI());
  h.left = 0;
  for (int n = 0; n < NS; ++n) {
    h.lo[n] = h.hi[n] = h.lo1[n] = h.hi1[n] = hn::Zero(d);
    course.data[n] = p.data[n];
  }
  if constexpr (METHOD != RavKernelMethod::FINE) {
    const auto N = static_cast<std::int32_t>(hn::Lanes(d));
    const bool linear = METHOD == RavKernelMethod::LINEAR;
    // LINEAR reads bin k + 1 from the window one bin on: 2N + 1 bins in all.
    course.plan = rav_window_plan(g, b, p.c, p.s, linear ? 0.50001f : 1.0f, linear ? 1 : 0,
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

// Every projection added to the block B held in T (NS slices STRIDE apart).
template <RavKernelMethod METHOD, int NS, bool WINDOWED>
void backproject_block(const RavGeometry& g, std::int32_t OV, const RavRowBlock& b,
                       std::span<const RavKernelProjection> projections, float* T,
                       std::int64_t stride) {
  const std::int64_t values = std::int64_t{METHOD == RavKernelMethod::FINE ? OV : 1} * g.NUM_BINS;
  // Columns where some lane is outside its row come before and after those where all are inside.
  const std::int32_t ramp_end = std::min(b.full_low - 1, b.x_high);
  const std::int32_t tail = std::max(b.full_high + 1, ramp_end + 1);
  const std::size_t G = kPairs && b.full_low <= b.full_high ? 2 : 1;
  for (std::size_t p = 0; p < projections.size(); p += G) {
    const std::size_t count = std::min(G, projections.size() - p);
    prefetch<NS>(projections, p + count, p + 2 * count, values);
    Hot<NS> hots[2];
    Course<NS> courses[2];
    for (std::size_t q = 0; q < count; ++q) {
      take_off<METHOD, NS>(projections[p + q], b, g, OV, hots[q], courses[q]);
      masked_columns<METHOD, NS, WINDOWED>(hots[q], courses[q], b, b.x_low, ramp_end, T, stride);
    }
    if (count == 2) {
      full_columns<METHOD, NS, 2, WINDOWED>(hots, courses, b, b.full_low, b.full_high, T, stride);
    } else {
      full_columns<METHOD, NS, 1, WINDOWED>(hots, courses, b, b.full_low, b.full_high, T, stride);
    }
    for (std::size_t q = 0; q < count; ++q) {
      masked_columns<METHOD, NS, WINDOWED>(hots[q], courses[q], b, tail, b.x_high, T, stride);
    }
  }
}

template <RavKernelMethod METHOD, int NS>
void backproject_rows(const RavGeometry& g, std::int32_t OV,
                      std::span<const RavKernelProjection> projections, float* const slices[2]) {
  const D d;
  const auto N = static_cast<int>(hn::Lanes(d));
  // The window holds 2N values: the projection must be longer.
  const bool windowed =
      kWindowTarget && METHOD != RavKernelMethod::FINE && g.NUM_BINS > 2 * N;
  RavRowBlock block;
  for (std::int32_t first = g.FIRST_ROW; first <= g.LAST_ROW; first += N) {
    if (!rav_row_block(g, first, N, block)) continue;
    const std::int64_t stride = block.width() * N;
    float* T = rav_row_buffer(stride * NS);
    for (int n = 0; n < NS; ++n) rav_rows_in(g, block, slices[n], T + n * stride);
    if (windowed) {
      backproject_block<METHOD, NS, kWindowTarget>(g, OV, block, projections, T, stride);
    } else {
      backproject_block<METHOD, NS, false>(g, OV, block, projections, T, stride);
    }
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
