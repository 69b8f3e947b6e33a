// Frame with numbered linear axes, and grid lines at the ticks.
#include "dv.h"
#include "vu_internal.h"

namespace {

// Ticks of one axis over LO..HI: computed when automatic, and kept as the current ticks.
void axis_ticks(VuTicks& ticks, float lo, float hi, std::int32_t& status) {
  if (!ticks.automatic) return;
  VU_CAL_TICKS(lo, hi, ticks.first, ticks.step, ticks.number, status);
}

// The edge opposite a numbered axis, by the axes style: 0 numbered, 2 ticks only, otherwise a
// plain line when the frame is on.
void opposite_edge(bool horizontal, std::int32_t axes_style, bool frame, float position,
                   float lo, float hi, const VuTicks& ticks, std::int32_t& status) {
  if (axes_style == 0 || axes_style == 2) {
    VU_LINAXIS(horizontal, position, lo, hi, ticks.first, ticks.step, ticks.number,
               VuSide::kHigh, axes_style == 0, VuSide::kHigh, false, status);
  } else if (frame) {
    vu_axis_line(horizontal, position, lo, hi, status);
  }
}

}  // namespace

void VU_AXISFRAME(std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_AXISFRAME V0.1 ";
  if (st_bad(status, kRoutine)) return;
  const VuRegion r = VU_DDDR;
  axis_ticks(VU_XLTICKS, r.x_min, r.x_max, status);
  axis_ticks(VU_YLTICKS, r.y_min, r.y_max, status);
  if (st_bad(status, kRoutine)) return;
  const VuTicks& xt = VU_XLTICKS;
  const VuTicks& yt = VU_YLTICKS;

  // Bottom and left: ticks pointing out of the frame, numbers outside, the factor text.
  VU_LINAXIS(true, r.y_min, r.x_min, r.x_max, xt.first, xt.step, xt.number, VuSide::kLow, true,
             VuSide::kLow, true, status);
  VU_LINAXIS(false, r.x_min, r.y_min, r.y_max, yt.first, yt.step, yt.number, VuSide::kLow, true,
             VuSide::kLow, true, status);
  // Top and right, as the axes style says.
  opposite_edge(true, VU_AXESSTYLE.x, VU_FRAMESTYLE.x_frame, r.y_max, r.x_min, r.x_max, xt,
                status);
  opposite_edge(false, VU_AXESSTYLE.y, VU_FRAMESTYLE.y_frame, r.x_max, r.y_min, r.y_max, yt,
                status);
  if (st_bad(status, kRoutine)) return;
}

void VU_GRID(std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_GRID V0.1 ";
  if (st_bad(status, kRoutine)) return;
  const VuGrid& flags = VU_GRID_FLAGS;
  if (!(flags.h_coarse || flags.v_coarse || flags.h_fine || flags.v_fine)) return;
  const VuRegion r = VU_DDDR;

  // Lines across the region at every tick value (FINE: at the minor ticks as well).
  auto lines = [&](bool horizontal_lines, const VuTicks& ticks, const VuGridStyle& style,
                   std::int32_t parts) {
    if (!(ticks.step > 0.0f) || ticks.number < 1 || parts < 1) return;
    vu_line_attributes(style.line_style, style.line_width, style.colour, status);
    const float lo = horizontal_lines ? r.y_min : r.x_min;
    const float hi = horizontal_lines ? r.y_max : r.x_max;
    const double sub = static_cast<double>(ticks.step) / parts;
    const auto count = static_cast<long long>((static_cast<double>(hi) - lo) / sub) + 2;
    if (count > 10000) return;
    for (long long k = -parts; k <= count; ++k) {
      const double value = static_cast<double>(ticks.first) + static_cast<double>(k) * sub;
      if (value <= lo || value >= hi) continue;  // the frame is there already
      const auto v = static_cast<float>(value);
      if (horizontal_lines) {
        vu_line(r.x_min, v, r.x_max, v, status);
      } else {
        vu_line(v, r.y_min, v, r.y_max, status);
      }
    }
  };
  const std::int32_t fine_x = VU_HAXESSTYLE.minor_ticks + 1;
  const std::int32_t fine_y = VU_VAXESSTYLE.minor_ticks + 1;
  if (flags.h_fine) lines(true, VU_YLTICKS, VU_HFINEGRID, fine_y);
  if (flags.v_fine) lines(false, VU_XLTICKS, VU_VFINEGRID, fine_x);
  if (flags.h_coarse) lines(true, VU_YLTICKS, VU_HCOARSEGRID, 1);
  if (flags.v_coarse) lines(false, VU_XLTICKS, VU_VCOARSEGRID, 1);
  if (st_bad(status, kRoutine)) return;
}
