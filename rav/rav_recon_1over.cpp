// Oversampled reconstruction of one slice: filter each projection, resample it onto a grid OV
// times finer than the bins, and back-project by taking the fine sample at or just left of each
// pixel's projected position (no interpolation per pixel).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "rav_kernels.h"
#include "rav_numerics.h"
#include "rav_slice_loops.h"
#include "ut.h"

namespace {
constexpr std::string_view kRoutine = "Subroutine RAV_RECON_1OVER V0.2 ";
}  // namespace

float rav_over_angle(float START_ANGLE, float ANGLE_STEP, std::int64_t j) {
  if (j == 0) return START_ANGLE;
  return START_ANGLE + static_cast<float>(j) * ANGLE_STEP;
}

void rav_oversample_projection(std::span<const float> PROJECTION, std::int32_t OV,
                               std::span<float> OVERSAMPLED) {
  const std::int64_t num_bins = static_cast<std::int64_t>(PROJECTION.size());
  if (num_bins < 1 || OV < 1) return;
  const float R = 1.0f / static_cast<float>(OV);
  // 0-based: the centre of bin i (from 0) is sample i·OV.
  for (std::int64_t i = 0; i + 1 < num_bins; ++i) {
    const float left = PROJECTION[static_cast<std::size_t>(i)];
    const float right = PROJECTION[static_cast<std::size_t>(i + 1)];
    float* fine = OVERSAMPLED.data() + i * OV;
    fine[0] = left;
    for (std::int32_t m = 1; m < OV; ++m) {
      fine[m] = (static_cast<float>(OV - m) * left + static_cast<float>(m) * right) * R;
    }
  }
  const float last = PROJECTION[static_cast<std::size_t>(num_bins - 1)];
  std::fill_n(OVERSAMPLED.data() + (num_bins - 1) * OV, OV, last);
}

void rav_backproject_1over(const RavGeometry& geometry, std::int32_t OV, float THETA,
                           std::span<const float> OVERSAMPLED, std::span<float> SLICE) {
  const float a = std::cos(THETA);
  const float b = std::sin(THETA);
  if (!std::isfinite(a) || !std::isfinite(b)) return;
  const float ov = static_cast<float>(OV);
  const float D = a * ov;
  const float A = geometry.AXIS_POSITION;
  const float* fine = OVERSAMPLED.data();
  for (std::int32_t y = geometry.FIRST_ROW; y <= geometry.LAST_ROW; ++y) {
    const std::int32_t xs = geometry.X_STARTS[static_cast<std::size_t>(y - 1)];
    const std::int32_t xe = geometry.X_ENDS[static_cast<std::size_t>(y - 1)];
    if (xe < xs) continue;
    const std::int32_t i = geometry.X_START + xs - 1;
    const std::int32_t r = geometry.Y_START + y - 1;
    const float u = ((static_cast<float>(i) - 0.5f) - A) * a -
                    ((static_cast<float>(r) - 0.5f) - A) * b + A;
    float q = (u - 0.5f) * ov + 0.99999f;
    float* row = SLICE.data() + static_cast<std::int64_t>(y - 1) * geometry.NUM_X;
    // Local column x and fine sample n = int(q) are 1-based: row[x - 1], fine[n - 1].
    for (std::int32_t x = xs; x <= xe; ++x) {
      row[x - 1] += fine[static_cast<std::int32_t>(q) - 1];
      q += D;
    }
  }
}

namespace {

// Projections are added in batches by the fast kernels when OVERSAMPLED holds at least this many;
// for fewer the copying of the rows in and out of the kernel costs more than it saves.
constexpr std::int64_t kFewestSlots = 4;

// Checks one sinogram and its arrays: false, with STATUS 20017 (OV or NUM_BINS below 1) or 20005
// (an array too short for the sizes or limits of GEOMETRY) and ROUTINE recorded, when they cannot
// be used.
bool arrays_fit(const RavGeometry& geometry, std::int32_t OV, const RavFilterSet& filter,
                std::span<const float> SINOGRAM, std::span<float> SLICE,
                std::span<float> OVERSAMPLED, std::span<float> WORK, std::int32_t& status,
                std::string_view routine) {
  if (OV < 1 || geometry.NUM_BINS < 1) {
    status = 20017;
    ST_SAVE(routine);
    return false;
  }
  const auto size = [](auto values) { return static_cast<std::int64_t>(values.size()); };
  const std::int64_t sinogram =
      static_cast<std::int64_t>(geometry.NUM_BINS) * std::max(geometry.NUM_PROJECTIONS, 0);
  const std::int64_t slice =
      static_cast<std::int64_t>(std::max(geometry.NUM_X, 0)) * std::max(geometry.NUM_Y, 0);
  const bool rows = geometry.LAST_ROW < geometry.FIRST_ROW ||
                    (geometry.FIRST_ROW >= 1 && geometry.LAST_ROW <= geometry.NUM_Y &&
                     size(geometry.X_STARTS) >= geometry.LAST_ROW &&
                     size(geometry.X_ENDS) >= geometry.LAST_ROW);
  if (!rows || size(SINOGRAM) < sinogram || size(SLICE) < slice ||
      size(OVERSAMPLED) < static_cast<std::int64_t>(OV) * geometry.NUM_BINS ||
      size(WORK) < filter.NFFT) {
    status = 20005;
    ST_SAVE(routine);
    return false;
  }
  return true;
}

// Adds the COUNT entries of PENDING to the NS slices and sets COUNT to 0.
void batch_add(const RavGeometry& geometry, std::int32_t OV,
               std::span<RavKernelProjection> pending, std::int64_t& count, int NS,
               float* const slices[2]) {
  if (count > 0) {
    rav_kernel_backproject(RavKernelMethod::FINE, geometry, OV,
                           std::span<const RavKernelProjection>(pending).first(
                               static_cast<std::size_t>(count)),
                           NS, slices);
  }
  count = 0;
}

}  // namespace

std::int64_t rav_over_work_values(std::int32_t OV, std::int32_t NUM_BINS) {
  const std::int64_t one = static_cast<std::int64_t>(std::max(OV, 0)) * std::max(NUM_BINS, 0);
  if (rav_kernel_target() == RavKernelTarget::REFERENCE || one == 0) return one;
  // Room for a batch of projections of about 512 KB, so that the slices are swept once per
  // batch rather than once per projection.
  const std::int64_t batch =
      std::clamp<std::int64_t>((std::int64_t{1} << 17) / one, kFewestSlots, 32);
  return batch * one;
}

bool rav_over_batch_entry(float THETA, RavKernelProjection& entry) {
  // The angle's cosine and sine as the reference loop takes them.
  entry.c = std::cos(THETA);
  entry.s = std::sin(THETA);
  return std::isfinite(entry.c) && std::isfinite(entry.s);
}

void rav_recon_over_slices(const RavGeometry& geometry, std::int32_t OV,
                           const RavFilterSet& filter, int NS,
                           const std::array<std::span<const float>, 2>& SINOGRAMS,
                           const std::array<std::span<float>, 2>& SLICES,
                           const std::array<std::span<float>, 2>& OVERSAMPLED,
                           const std::array<std::span<float>, 2>& WORK, std::int32_t& status,
                           std::string_view routine) {
  for (int s = 0; s < NS; ++s) {
    if (!arrays_fit(geometry, OV, filter, SINOGRAMS[s], SLICES[s], OVERSAMPLED[s], WORK[s],
                    status, routine)) {
      return;
    }
  }
  const std::int64_t num_bins = geometry.NUM_BINS;
  const std::int64_t pixels = static_cast<std::int64_t>(geometry.NUM_X) * geometry.NUM_Y;
  for (int s = 0; s < NS; ++s) std::fill_n(SLICES[s].data(), pixels, 0.0f);
  // Filtered projection j of each sinogram in WORK(1..NUM_BINS); the sinograms stay as they are.
  const auto filter_projection = [&](std::int64_t j) {
    for (int s = 0; s < NS; ++s) {
      rav_filter_projection(geometry.NUM_BINS, SINOGRAMS[s].subspan(j * num_bins, num_bins),
                            filter, WORK[s], status);
    }
    return status == ST_OK;
  };
  // The fast kernels take the projections in batches, as many as the shortest OVERSAMPLED holds.
  const std::int64_t fine = OV * num_bins;
  std::int64_t slots = static_cast<std::int64_t>(OVERSAMPLED[0].size()) / fine;
  if (NS == 2) slots = std::min(slots, static_cast<std::int64_t>(OVERSAMPLED[1].size()) / fine);
  if (rav_kernel_target() != RavKernelTarget::REFERENCE && slots >= kFewestSlots) {
    thread_local std::vector<RavKernelProjection> pending;
    pending.resize(static_cast<std::size_t>(slots));
    std::int64_t count = 0;
    float* slices[2] = {SLICES[0].data(), NS == 2 ? SLICES[1].data() : nullptr};
    for (std::int64_t j = 0; j < geometry.NUM_PROJECTIONS; ++j) {
      if (!filter_projection(j)) break;
      RavKernelProjection& entry = pending[static_cast<std::size_t>(count)];
      if (!rav_over_batch_entry(rav_over_angle(geometry.START_ANGLE, geometry.ANGLE_STEP, j),
                                entry)) {
        continue;
      }
      for (int s = 0; s < NS; ++s) {
        const auto slot = OVERSAMPLED[s].subspan(count * fine, fine);
        rav_oversample_projection(WORK[s].first(num_bins), OV, slot);
        entry.data[s] = slot.data();
      }
      if (++count == slots) batch_add(geometry, OV, pending, count, NS, slices);
    }
    batch_add(geometry, OV, pending, count, NS, slices);
    return;
  }
  for (std::int64_t j = 0; j < geometry.NUM_PROJECTIONS; ++j) {
    if (!filter_projection(j)) return;
    for (int s = 0; s < NS; ++s) {
      rav_oversample_projection(WORK[s].first(num_bins), OV, OVERSAMPLED[s]);
    }
    const float theta = rav_over_angle(geometry.START_ANGLE, geometry.ANGLE_STEP, j);
    if (NS == 2) {
      rav_backproject_over(geometry, OV, theta, OVERSAMPLED[0], OVERSAMPLED[1], SLICES[0],
                           SLICES[1]);
    } else {
      rav_backproject_1over(geometry, OV, theta, OVERSAMPLED[0], SLICES[0]);
    }
  }
}

void RAV_RECON_1OVER(const RavGeometry& geometry, std::int32_t OV, const RavFilterSet& filter,
                     std::span<const float> SINOGRAM, std::span<float> SLICE,
                     std::span<float> OVERSAMPLED, std::span<float> WORK, std::int32_t& status) {
  if (st_bad(status, kRoutine)) return;
  rav_recon_over_slices(geometry, OV, filter, 1, {SINOGRAM, {}}, {SLICE, {}}, {OVERSAMPLED, {}},
                        {WORK, {}}, status, kRoutine);
}
