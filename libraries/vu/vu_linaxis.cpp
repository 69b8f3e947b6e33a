// One linear axis: its line, major and minor ticks, and numbers.
#include <cmath>

#include "dv.h"
#include "vu_internal.h"

namespace {

// World offsets from the axis line of a tick of LENGTH world units on SIDE.
void tick_extent(VuSide side, float length, float& from, float& to) {
  from = side == VuSide::kHigh ? 0.0f : -length;
  to = side == VuSide::kLow ? 0.0f : length;
}

// A tick at VALUE along the axis from POSITION + FROM to POSITION + TO across it.
void tick(bool horizontal, float position, double value, float from, float to,
          std::int32_t& status) {
  const auto v = static_cast<float>(value);
  if (horizontal) {
    vu_line(v, position + from, v, position + to, status);
  } else {
    vu_line(position + from, v, position + to, v, status);
  }
}

}  // namespace

void vu_axis_line(bool horizontal, float position, float lo, float hi, std::int32_t& status) {
  const VuAxisLineStyle& style = horizontal ? VU_HAXESSTYLE : VU_VAXESSTYLE;
  vu_line_attributes(style.line_style, style.line_width, style.colour, status);
  if (horizontal) {
    vu_line(lo, position, hi, position, status);
  } else {
    vu_line(position, lo, position, hi, status);
  }
}

void VU_LINAXIS(bool horizontal, float position, float lo, float hi, float first, float step,
                std::int32_t number, VuSide tick_side, bool numbers, VuSide number_side,
                bool factor, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_LINAXIS V0.1 ";
  if (st_bad(status, kRoutine)) return;
  vu_axis_line(horizontal, position, lo, hi, status);
  VU_LINTICKS(horizontal, position, lo, hi, first, step, number, tick_side, status);
  if (numbers) VU_LINAXENUM(horizontal, position, first, step, number, number_side, factor, status);
  if (st_bad(status, kRoutine)) return;
}

void VU_LINTICKS(bool horizontal, float position, float lo, float hi, float first, float step,
                 std::int32_t number, VuSide side, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_LINTICKS V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (!(step > 0.0f) || number < 1 || !(hi > lo)) return;
  const VuAxisLineStyle& style = horizontal ? VU_HAXESSTYLE : VU_VAXESSTYLE;
  // Ticks stand across the axis: their page lengths are converted along the other direction.
  const float major = vu_page_to_world(!horizontal, style.major_length, status);
  const float minor = vu_page_to_world(!horizontal, style.minor_length, status);
  if (st_bad(status, kRoutine)) return;

  const double tolerance = (static_cast<double>(hi) - lo) * 1.0e-5;
  auto inside = [&](double value) { return value >= lo - tolerance && value <= hi + tolerance; };

  float from = 0.0f, to = 0.0f;
  tick_extent(side, major, from, to);
  for (std::int32_t k = 0; k < number; ++k) {
    const double value = static_cast<double>(first) + k * static_cast<double>(step);
    if (inside(value)) tick(horizontal, position, value, from, to, status);
  }

  // Minor ticks divide each major interval into MINOR_TICKS + 1 parts, and continue beyond the
  // first and last major tick as far as the axis reaches.
  const std::int32_t parts = style.minor_ticks + 1;
  if (parts < 2) return;
  const double minor_step = static_cast<double>(step) / parts;
  const double k_lo = std::floor((lo - static_cast<double>(first)) / minor_step);
  const double k_hi = std::ceil((hi - static_cast<double>(first)) / minor_step);
  if (k_hi - k_lo > 10000.0) return;  // far too dense to be seen
  tick_extent(side, minor, from, to);
  for (auto k = static_cast<long long>(k_lo); k <= static_cast<long long>(k_hi); ++k) {
    if (k % parts == 0) continue;  // a major tick's place
    const double value = static_cast<double>(first) + static_cast<double>(k) * minor_step;
    if (inside(value)) tick(horizontal, position, value, from, to, status);
  }
  if (st_bad(status, kRoutine)) return;
}
