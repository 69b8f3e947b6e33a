// Numbers along a linear axis, their decimals, and the power-of-ten factor.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "dv.h"
#include "nu.h"
#include "vu_internal.h"

namespace {

// Field in which axis numbers are written; numbers are at most 9999.9 in magnitude after the
// factor is taken out, so only absurd user ticks reach the asterisks.
constexpr std::int32_t kEnumWidth = 12;

// Digits after the point that UT_VTOC writes for VALUE. Six significant digits are asked for,
// all that a single-precision value carries, so that binary noise is not mistaken for decimals.
std::int32_t decimals_of(float value, std::int32_t& status) {
  const double magnitude = std::fabs(static_cast<double>(value));
  std::int32_t integer_digits = 1;
  for (double limit = 10.0; magnitude >= limit && integer_digits < 39; limit *= 10.0) {
    ++integer_digits;
  }
  const std::int32_t asked = std::clamp<std::int32_t>(6 - integer_digits, 0, 6);
  bool fits = true;
  std::string text;
  UT_VTOC(value, 60, asked, false, true, false, fits, text, status);
  const std::size_t length = static_cast<std::size_t>(SLEN(text));
  const std::size_t point = text.find('.');
  if (point == std::string::npos || point >= length) return 0;
  return static_cast<std::int32_t>(length - point - 1);
}

// The number as drawn: the fixed field without its leading blanks, whole numbers without a
// point, and no minus on a zero.
std::string number_text(double value, std::int32_t width, std::int32_t decimals) {
  std::string text = decimals > 0 || !(std::fabs(value) < 9.0e18)
                         ? ut_fmt_real(value, width, decimals)
                         : ut_fmt_int(static_cast<std::int64_t>(vu_nint(value)), width);
  text.erase(0, text.find_first_not_of(' '));
  if (text.size() > 1 && text[0] == '-' &&
      text.find_first_not_of("0.", 1) == std::string::npos) {
    text.erase(0, 1);
  }
  return text;
}

}  // namespace

void VU_CAL_ENUMFIELD(float first, float step, std::int32_t& decimals, std::int32_t& width,
                      std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_CAL_ENUMFIELD V0.1 ";
  if (st_bad(status, kRoutine)) return;
  const std::int32_t d_first = decimals_of(first, status);
  const std::int32_t d_step = decimals_of(step, status);
  if (st_bad(status, kRoutine)) return;
  decimals = std::max(d_first, d_step);
  width = kEnumWidth;
}

std::string vu_factor_text(double multiplier) {
  const auto exponent = static_cast<std::int32_t>(vu_nint(std::log10(multiplier)));
  return "*10" + UT_ITOC(exponent);
}

void VU_EXPONT(bool horizontal, double multiplier, float text_height, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_EXPONT V0.1 ";
  if (st_bad(status, kRoutine)) return;
  const VuRegion& plot = VU_GPP.drawn;
  float x = 0.0f, y = 0.0f;
  if (horizontal) {
    // Below right of the plot, hanging from its anchor.
    x = DV_PC2WC(true, plot.x_max + 0.01f);
    y = DV_PC2WC(false, plot.y_min - 0.05f);
    vu_text_attributes(VU_XAXISENUM.font, VU_XAXISENUM.colour, text_height, 1, 1, 0.0f, status);
  } else {
    // Above left of the plot, standing on its anchor.
    x = DV_PC2WC(true, plot.x_min - 0.05f);
    y = DV_PC2WC(false, plot.y_max + 0.01f);
    vu_text_attributes(VU_YAXISENUM.font, VU_YAXISENUM.colour, text_height, 1, 4, 0.0f, status);
  }
  DV_TEXT(x, y, vu_factor_text(multiplier), status);
  if (st_bad(status, kRoutine)) return;
}

void VU_LINAXENUM(bool horizontal, float position, float first, float step, std::int32_t number,
                  VuSide side, bool factor, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_LINAXENUM V0.1 ";
  if (st_bad(status, kRoutine)) return;
  const VuAxisEnum& style = horizontal ? VU_XAXISENUM : VU_YAXISENUM;
  if (!style.display || number < 1) return;

  // Numbers far from 1 are shown divided by their power of ten, with the factor written once.
  const double last = static_cast<double>(first) + (number - 1) * static_cast<double>(step);
  const double magnitude = std::max(std::fabs(static_cast<double>(first)), std::fabs(last));
  double multiplier = 1.0;
  if (style.automatic_factor && (magnitude > 9999.9 || magnitude < 0.1)) {
    multiplier = NU_DMULTIPLIER(magnitude);
  }
  std::int32_t decimals = 0, width = 0;
  VU_CAL_ENUMFIELD(static_cast<float>(first / multiplier), static_cast<float>(step / multiplier),
                   decimals, width, status);

  // The numbers stand off the axis by the enumeration gap, across it: below or above a
  // horizontal axis (hanging from or standing on their anchors, centred), left or right of a
  // vertical one (centred in height, ending or starting at their anchors).
  const float page_height = style.size * kVuLabelHeight;
  const bool high = side == VuSide::kHigh;
  const float gap = horizontal ? vu_page_to_world(false, VU_GRAPHLAYOUT.x_enum_gap, status)
                               : vu_page_to_world(true, VU_GRAPHLAYOUT.y_enum_gap, status);
  const float across = high ? position + gap : position - gap;
  const std::int32_t h_align = horizontal ? 2 : (high ? 1 : 3);
  const std::int32_t v_align = horizontal ? (high ? 4 : 1) : 6;
  vu_text_attributes(style.font, style.colour, page_height, h_align, v_align, 0.0f, status);
  if (st_bad(status, kRoutine)) return;

  for (std::int32_t k = 0; k < number; ++k) {
    const double value = static_cast<double>(first) + k * static_cast<double>(step);
    const std::string text = number_text(value / multiplier, width, decimals);
    const auto along = static_cast<float>(value);
    DV_TEXT(horizontal ? along : across, horizontal ? across : along, text, status);
    if (st_bad(status, kRoutine)) return;
  }
  if (factor && multiplier != 1.0) VU_EXPONT(horizontal, multiplier, page_height, status);
  if (st_bad(status, kRoutine)) return;
}
