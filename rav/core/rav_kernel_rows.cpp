// Blocks of rows for the vector kernels, their interleaved copies, and window placement.
#include "rav_kernel_rows.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Half a unit in the last place of single-precision values below MAGNITUDE.
double half_unit_below(double magnitude) {
  int E = 0;
  std::frexp(magnitude, &E);
  return std::ldexp(1.0, E - 24);
}

// E' of the window model for G (see rav_kernel_rows.h).
double model_error(const RavGeometry& g) {
  const double V = 4.0 * (std::abs(static_cast<double>(g.X_START)) + g.NUM_X + std::abs(static_cast<double>(g.Y_START)) +
                          g.NUM_Y + std::abs(double{g.AXIS_POSITION}) + g.NUM_BINS + 4.0);
  return 5.0 * half_unit_below(V) + (g.NUM_X + 1.0) * half_unit_below(g.NUM_BINS + 2.0) + 1e-6;
}

// A lane whose row has no pixel (past LAST_ROW, or an empty row) follows the nearest lane that
// has: it then reads where that lane reads, and its results are never copied back.
void mirror_empty_lanes(RavRowBlock& b, const bool* real) {
  int first = 0;
  while (!real[first]) ++first;
  for (int l = 0; l < b.lanes; ++l) {
    if (real[l]) continue;
    const int source = l < first ? first : l - 1;  // set already when it is l - 1
    b.xs[l] = b.xs[source];
    b.xe[l] = b.xe[source];
    b.ia[l] = b.ia[source];
    b.ra[l] = b.ra[source];
  }
}

bool lane_real(const RavRowBlock& b, const RavGeometry& g, int l) {
  const std::int32_t y = b.first_row + l;
  return y <= g.LAST_ROW && g.X_ENDS[static_cast<std::size_t>(y - 1)] >=
                                g.X_STARTS[static_cast<std::size_t>(y - 1)];
}

}  // namespace

bool rav_row_block(const RavGeometry& g, std::int32_t first, int lanes, RavRowBlock& b) {
  b.first_row = first;
  b.lanes = lanes;
  bool real[RAV_MAX_LANES] = {};
  bool any = false;
  const float A = g.AXIS_POSITION;
  for (int l = 0; l < lanes; ++l) {
    real[l] = lane_real(b, g, l);
    any = any || real[l];
    if (!real[l]) continue;
    const std::int32_t y = first + l;
    b.xs[l] = g.X_STARTS[static_cast<std::size_t>(y - 1)];
    b.xe[l] = g.X_ENDS[static_cast<std::size_t>(y - 1)];
    b.ia[l] = (static_cast<float>(g.X_START + b.xs[l] - 1) - 0.5f) - A;
    b.ra[l] = (static_cast<float>(g.Y_START + y - 1) - 0.5f) - A;
  }
  if (!any) return false;
  mirror_empty_lanes(b, real);
  b.x_low = *std::min_element(b.xs, b.xs + lanes);
  b.x_high = *std::max_element(b.xe, b.xe + lanes);
  b.full_low = *std::max_element(b.xs, b.xs + lanes);
  b.full_high = *std::min_element(b.xe, b.xe + lanes);
  b.ra_low = *std::min_element(b.ra, b.ra + lanes);
  b.ra_high = *std::max_element(b.ra, b.ra + lanes);
  b.model_error = model_error(g);
  return true;
}

void rav_rows_in(const RavGeometry& g, const RavRowBlock& b, const float* slice, float* T) {
  const std::int64_t L = b.lanes;
  std::memset(T, 0, static_cast<std::size_t>(b.width() * L) * sizeof(float));
  for (int l = 0; l < b.lanes; ++l) {
    if (!lane_real(b, g, l)) continue;
    const float* row = slice + std::int64_t{b.first_row + l - 1} * g.NUM_X;
    for (std::int32_t x = b.xs[l]; x <= b.xe[l]; ++x) T[(x - b.x_low) * L + l] = row[x - 1];
  }
}

void rav_rows_out(const RavGeometry& g, const RavRowBlock& b, const float* T, float* slice) {
  const std::int64_t L = b.lanes;
  for (int l = 0; l < b.lanes; ++l) {
    if (!lane_real(b, g, l)) continue;
    float* row = slice + std::int64_t{b.first_row + l - 1} * g.NUM_X;
    for (std::int32_t x = b.xs[l]; x <= b.xe[l]; ++x) row[x - 1] = T[(x - b.x_low) * L + l];
  }
}

float* rav_row_buffer(std::int64_t count) {
  thread_local std::vector<float> storage;
  const std::size_t need = static_cast<std::size_t>(count) + 64;
  if (storage.size() < need) storage.assign(need, 0.0f);
  auto address = reinterpret_cast<std::uintptr_t>(storage.data());
  address = (address + 255) & ~std::uintptr_t{255};
  return reinterpret_cast<float*>(address);
}

RavWindowPlan rav_window_plan(const RavGeometry& g, const RavRowBlock& b, float c, float s,
                              float offset, std::int32_t reach, std::int32_t width) {
  RavWindowPlan plan;
  plan.highest = g.NUM_BINS - width + 1;
  if (plan.highest < 1) return plan;
  const double A = g.AXIS_POSITION;
  const double E = b.model_error;
  const double spread_rows = (double{b.ra_high} - double{b.ra_low}) * std::abs(double{s});
  const double room = (width - 1 - reach) - 1.0 - 2.0 * E - spread_rows - 1.0 / 64;
  if (room < 0.0) return plan;
  const double per_column = std::abs(double{c});
  plan.columns = per_column * (1 << 20) <= room ? std::int64_t{1} << 20
                                               : 1 + static_cast<std::int64_t>(room / per_column);
  // The lowest model position over the window's columns and rows: at its first or last column,
  // in the row with the largest or smallest ra.
  plan.x_ref = b.x_low;
  plan.c = c;
  const double first = (g.X_START + b.x_low - 1.5 - A) * c + A;
  const double rows = std::min(-double{b.ra_high} * s, -double{b.ra_low} * s);
  const double columns = std::min(0.0, static_cast<double>(plan.columns - 1) * c);
  plan.low = first + rows + columns + double{offset} - E;
  return plan;
}
