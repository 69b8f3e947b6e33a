// Filtering and back-projection of one or two slices, and of many slices on the threads of the
// process.
#include <omp.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <vector>

#include "rav_allocate.h"
#include "rav_kernels.h"
#include "rav_numerics.h"

namespace {

RavKernelMethod kernel_method(RavMethod method) {
  switch (method.kind) {
    case RavMethod::LINEAR:
      return RavKernelMethod::LINEAR;
    case RavMethod::NEAREST:
      return RavKernelMethod::NEAREST;
    case RavMethod::OVERSAMPLED:
      break;
  }
  return RavKernelMethod::FINE;
}

// The sample's mass in each of the (one or two) SINOGRAMS, for EDGE padding; 0 otherwise.
template <typename Sinogram>
std::array<double, 2> sample_masses(const RavGeometry& g, const RavFilterPlan& plan,
                                    std::span<Sinogram* const> sinograms) {
  std::array<double, 2> masses{};
  if (plan.options().padding != RavFilterOptions::EDGE) return masses;
  for (std::size_t n = 0; n < sinograms.size(); ++n) {
    masses[n] = rav_sample_mass(g.NUM_BINS, g.NUM_PROJECTIONS,
                                std::span<const float>(sinograms[n], static_cast<std::size_t>(
                                                                         g.sinogram_values())),
                                plan.options());
  }
  return masses;
}

void zero_slices(const RavGeometry& g, std::span<float* const> slices) {
  for (float* slice : slices) std::fill_n(slice, g.pixels(), 0.0f);
}

// Adds every projection of the filtered SINOGRAMS to SLICES by the nearest or linear method.
void add_projections(const RavGeometry& g, RavKernelMethod method,
                     std::span<const float* const> sinograms, float* const slices[2]) {
  thread_local std::vector<RavKernelProjection> list;
  list.resize(static_cast<std::size_t>(std::max(g.NUM_PROJECTIONS, 0)));
  std::size_t count = 0;
  double theta = g.angles.START_ANGLE;
  for (std::int64_t j = 0; j < g.NUM_PROJECTIONS; ++j) {
    RavKernelProjection& p = list[count];
    if (!rav_projection_trig(g.angles, method, j, theta, p.c, p.s)) continue;
    for (std::size_t n = 0; n < sinograms.size(); ++n) p.data[n] = sinograms[n] + j * g.NUM_BINS;
    ++count;
  }
  rav_kernel_backproject(method, g, 0, std::span<const RavKernelProjection>(list).first(count),
                         static_cast<int>(sinograms.size()), slices);
}

// Adds every projection to SLICES by the oversampled method. FILTERED(n, j) gives projection j of
// slice n filtered (NUM_BINS values, valid until its next call); it is resampled into a slot of
// WORK[n].oversampled, and the projections are added a batch at a time.
template <typename Filtered>
void add_oversampled(const RavGeometry& g, std::int32_t OV, Filtered filtered,
                     std::span<const RavWork> work, float* const slices[2]) {
  const std::size_t NS = work.size();
  const std::int64_t fine = std::int64_t{OV} * g.NUM_BINS;
  std::int64_t slots = std::ssize(work[0].oversampled) / fine;
  for (const RavWork& w : work) slots = std::min(slots, std::ssize(w.oversampled) / fine);
  assert(slots >= 1);
  thread_local std::vector<RavKernelProjection> pending;
  pending.resize(static_cast<std::size_t>(slots));
  std::int64_t count = 0;
  const auto add = [&] {
    rav_kernel_backproject(RavKernelMethod::FINE, g, OV,
                           std::span<const RavKernelProjection>(pending).first(
                               static_cast<std::size_t>(count)),
                           static_cast<int>(NS), slices);
    count = 0;
  };
  double theta = g.angles.START_ANGLE;
  for (std::int64_t j = 0; j < g.NUM_PROJECTIONS; ++j) {
    RavKernelProjection& p = pending[static_cast<std::size_t>(count)];
    if (!rav_projection_trig(g.angles, RavKernelMethod::FINE, j, theta, p.c, p.s)) continue;
    for (std::size_t n = 0; n < NS; ++n) {
      const auto slot = std::span<float>(work[n].oversampled).subspan(
          static_cast<std::size_t>(count * fine), static_cast<std::size_t>(fine));
      rav_oversample_projection(filtered(n, j), OV, slot);
      p.data[n] = slot.data();
    }
    if (++count == slots) add();
  }
  if (count > 0) add();
}

std::array<float*, 2> two(std::span<float* const> slices) {
  return {slices[0], slices.size() > 1 ? slices[1] : nullptr};
}

// GEOMETRY's rows inside the limits cut into PARTS consecutive ranges of about as many pixels
// each, the cuts at multiples of 16 rows (whole vector blocks): one geometry per range (a range
// may be empty).
std::vector<RavGeometry> row_parts(const RavGeometry& g, int parts) {
  std::int64_t total = 0;
  for (std::int32_t y = g.FIRST_ROW; y <= g.LAST_ROW; ++y) {
    total += std::max(0, g.X_ENDS[static_cast<std::size_t>(y - 1)] -
                             g.X_STARTS[static_cast<std::size_t>(y - 1)] + 1);
  }
  std::vector<RavGeometry> result;
  std::int32_t first = g.FIRST_ROW;
  std::int64_t done = 0;
  for (int part = 1; part <= parts; ++part) {
    const std::int64_t goal = total * part / parts;
    std::int32_t last = first - 1;
    while (last < g.LAST_ROW && (done < goal || (last + 1 - g.FIRST_ROW) % 16 != 0)) {
      ++last;
      done += std::max(0, g.X_ENDS[static_cast<std::size_t>(last - 1)] -
                              g.X_STARTS[static_cast<std::size_t>(last - 1)] + 1);
    }
    if (part == parts) last = g.LAST_ROW;
    RavGeometry piece = g;
    piece.FIRST_ROW = first;
    piece.LAST_ROW = last;
    result.push_back(std::move(piece));
    first = last + 1;
  }
  return result;
}

}  // namespace

RavWorkArrays rav_work_arrays(const RavGeometry& geometry, RavMethod method,
                              const RavFilterPlan& plan, bool second) {
  RavWorkArrays work;
  rav_allocate(work.filtered, std::max(plan.work_values(), plan.batch_work_values()),
               second ? "ERROR: Failed to allocated arrays for work space 2 for filtering"
                      : "ERROR: Failed to allocated arrays for work space for filtering");
  if (method.kind == RavMethod::OVERSAMPLED) {
    rav_allocate(work.oversampled, rav_oversampled_values(method.OV, geometry.NUM_BINS),
                 second ? "ERROR: Failed to allocated arrays for work space for oversampled "
                          "projection 2"
                        : "ERROR: Failed to allocated arrays for work space for oversampled "
                          "projection");
  }
  return work;
}

void rav_backproject(const RavGeometry& geometry, RavMethod method,
                     std::span<const float* const> sinograms, std::span<float* const> slices) {
  assert(sinograms.size() == slices.size() && (slices.size() == 1 || slices.size() == 2));
  zero_slices(geometry, slices);
  const auto out = two(slices);
  if (method.kind != RavMethod::OVERSAMPLED) {
    add_projections(geometry, kernel_method(method), sinograms, out.data());
    return;
  }
  std::vector<float> fine[2];
  std::array<RavWork, 2> work;
  for (std::size_t n = 0; n < sinograms.size(); ++n) {
    rav_allocate(fine[n], rav_oversampled_values(method.OV, geometry.NUM_BINS),
                 "ERROR: Failed to allocated arrays for work space for oversampled projection");
    work[n].oversampled = fine[n];
  }
  const std::int64_t bins = geometry.NUM_BINS;
  add_oversampled(geometry, method.OV,
                  [&](std::size_t n, std::int64_t j) {
                    return std::span<const float>(sinograms[n] + j * bins,
                                                  static_cast<std::size_t>(bins));
                  },
                  std::span<const RavWork>(work).first(sinograms.size()), out.data());
}

void rav_reconstruct_over(const RavGeometry& geometry, std::int32_t OV, const RavFilterPlan& plan,
                          std::span<const float* const> sinograms, std::span<float* const> slices,
                          std::span<const RavWork> work) {
  // Each projection is filtered into the work array; the sinograms stay as they are.
  const std::int64_t bins = geometry.NUM_BINS;
  const std::array<double, 2> masses = sample_masses(geometry, plan, sinograms);
  zero_slices(geometry, slices);
  add_oversampled(geometry, OV,
                  [&](std::size_t n, std::int64_t j) {
                    const std::span<float> out = work[n].filtered;
                    plan.filter(std::span<const float>(sinograms[n] + j * bins,
                                                       static_cast<std::size_t>(bins)),
                                out, masses[n] * plan.options().weight(j));
                    return std::span<const float>(out.first(static_cast<std::size_t>(bins)));
                  },
                  work.first(slices.size()), two(slices).data());
}

void rav_reconstruct_slices(const RavGeometry& geometry, RavMethod method,
                            const RavFilterPlan& plan, std::span<float* const> sinograms,
                            std::span<float* const> slices, std::span<const RavWork> work) {
  assert(sinograms.size() == slices.size() && work.size() >= slices.size());
  const std::size_t NS = slices.size();
  const std::array<const float*, 2> input{sinograms[0], NS > 1 ? sinograms[1] : nullptr};
  if (method.kind == RavMethod::OVERSAMPLED) {
    rav_reconstruct_over(geometry, method.OV, plan, std::span(input).first(NS), slices, work);
    return;
  }
  for (std::size_t n = 0; n < NS; ++n) {
    rav_filter_sinogram(plan, geometry.NUM_PROJECTIONS,
                        std::span<float>(sinograms[n],
                                         static_cast<std::size_t>(geometry.sinogram_values())),
                        work[n].filtered);
  }
  rav_backproject(geometry, method, std::span(input).first(NS), slices);
}

RavReconstructor::RavReconstructor(RavGeometry geometry, RavMethod method,
                                   const RavFilterOptions& options, bool pairs, int threads)
    : geometry_(std::move(geometry)),
      method_(method),
      plan_(geometry_.NUM_BINS, options),
      pairs_(pairs),
      threads_(threads > 0 ? threads : omp_get_max_threads()) {
  for (int t = 0; t < threads_; ++t) {
    arrays_.push_back(rav_work_arrays(geometry_, method_, plan_, false));
    if (pairs_) arrays_.push_back(rav_work_arrays(geometry_, method_, plan_, true));
  }
  for (RavWorkArrays& arrays : arrays_) work_.push_back(arrays.view());
  if (threads_ > 1) parts_ = row_parts(geometry_, threads_);
}

void RavReconstructor::reconstruct(std::span<float* const> sinograms,
                                   std::span<float* const> slices) {
  assert(sinograms.size() == slices.size());
  const std::int64_t step = pairs_ ? 2 : 1;
  const std::int64_t count = std::ssize(slices);
  const std::int64_t groups = (count + step - 1) / step;
  if (groups < threads_) {
    for (std::int64_t first = 0; first < count; first += step) {
      const auto n = static_cast<std::size_t>(std::min(step, count - first));
      reconstruct_shared(sinograms.subspan(static_cast<std::size_t>(first), n),
                         slices.subspan(static_cast<std::size_t>(first), n));
    }
    return;
  }
  const int threads = static_cast<int>(std::clamp<std::int64_t>(groups, 1, threads_));
  const std::span<const RavWork> work(work_);
#pragma omp parallel for schedule(static, 1) num_threads(threads)
  for (std::int64_t group = 0; group < groups; ++group) {
    const std::int64_t first = group * step;
    const auto n = static_cast<std::size_t>(std::min(step, count - first));
    const auto t = static_cast<std::size_t>(omp_get_thread_num());
    rav_reconstruct_slices(geometry_, method_, plan_,
                           sinograms.subspan(static_cast<std::size_t>(first), n),
                           slices.subspan(static_cast<std::size_t>(first), n),
                           work.subspan(t * static_cast<std::size_t>(step), n));
  }
}

void RavReconstructor::reconstruct_shared(std::span<float* const> sinograms,
                                          std::span<float* const> slices) {
  const RavGeometry& g = geometry_;
  const std::size_t NS = slices.size();
  const std::int64_t bins = g.NUM_BINS;
  const bool over = method_.kind == RavMethod::OVERSAMPLED;
  // The oversampled method leaves the sinograms as they are: its filtered projections go aside.
  if (over && std::ssize(filtered_) < static_cast<std::int64_t>(NS) * g.sinogram_values()) {
    rav_allocate(filtered_, static_cast<std::int64_t>(NS) * g.sinogram_values(),
                 "ERROR: Failed to allocated arrays for work space for filtering");
  }
  const auto projection = [&](std::size_t n, std::int64_t j) {
    float* sinogram = over ? filtered_.data() + static_cast<std::int64_t>(n) * g.sinogram_values()
                           : sinograms[n];
    return std::span<float>(sinogram + j * bins, static_cast<std::size_t>(bins));
  };
  const std::array<double, 2> masses = sample_masses(g, plan_, sinograms);
  zero_slices(g, slices);
  const std::int64_t step = pairs_ ? 2 : 1;
  const std::int64_t filters = static_cast<std::int64_t>(NS) * g.NUM_PROJECTIONS;
#pragma omp parallel num_threads(threads_)
  {
    const auto t = static_cast<std::size_t>(omp_get_thread_num());
    const std::span<const RavWork> work =
        std::span<const RavWork>(work_).subspan(t * static_cast<std::size_t>(step), NS);
#pragma omp for schedule(static)
    for (std::int64_t first = 0; first < filters; first += RavFilterPlan::kBatch) {
      const float* in[RavFilterPlan::kBatch];
      float* out[RavFilterPlan::kBatch];
      double mass[RavFilterPlan::kBatch];
      const auto count = static_cast<std::size_t>(
          std::min<std::int64_t>(RavFilterPlan::kBatch, filters - first));
      for (std::size_t l = 0; l < count; ++l) {
        const auto n = static_cast<std::size_t>((first + l) / g.NUM_PROJECTIONS);
        const std::int64_t j = (first + l) % g.NUM_PROJECTIONS;
        in[l] = sinograms[n] + j * bins;
        out[l] = projection(n, j).data();
        mass[l] = masses[n] * plan_.options().weight(j);
      }
      plan_.filter_batch(std::span<const float* const>(in, count),
                         std::span<float* const>(out, count), work[0].filtered,
                         std::span<const double>(mass, count));
    }
    // The rows of the parts that fall to this thread (all of them, when the runtime gave fewer
    // threads than asked for).
    const std::array<const float*, 2> input{projection(0, 0).data(),
                                            NS > 1 ? projection(1, 0).data() : nullptr};
    for (std::size_t part = t; part < parts_.size();
         part += static_cast<std::size_t>(omp_get_num_threads())) {
      if (!over) {
        add_projections(parts_[part], kernel_method(method_), std::span(input).first(NS),
                        two(slices).data());
      } else {
        add_oversampled(parts_[part], method_.OV,
                        [&](std::size_t n, std::int64_t j) {
                          return std::span<const float>(projection(n, j));
                        },
                        work, two(slices).data());
      }
    }
  }
}
