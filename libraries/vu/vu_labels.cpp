// Title and axis labels around the drawn data display region.
#include "dv.h"
#include "vu_internal.h"

void VU_TITLE(std::string_view title, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_TITLE V0.1 ";
  if (st_bad(status, kRoutine)) return;
  const VuTextStyle& style = VU_TITLESTYLE;
  if (!style.display || SLEN(title) == 0) return;
  const VuRegion& r = VU_DDDR;
  const float x = 0.5f * (r.x_min + r.x_max);
  const float y = r.y_max + vu_page_to_world(false, VU_GRAPHLAYOUT.title_gap, status);
  vu_text_attributes(style.font, style.colour, style.size * kVuTitleHeight, 2, 4, 0.0f, status);
  DV_TEXT(x, y, title.substr(0, static_cast<std::size_t>(SLEN(title))), status);
  if (st_bad(status, kRoutine)) return;
}

void VU_XLABEL(std::string_view label, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_XLABEL V0.1 ";
  if (st_bad(status, kRoutine)) return;
  const VuTextStyle& style = VU_XLABELSTYLE;
  if (!style.display || SLEN(label) == 0) return;
  const VuRegion& r = VU_DDDR;
  const float x = 0.5f * (r.x_min + r.x_max);
  const float y = r.y_min - vu_page_to_world(false, VU_GRAPHLAYOUT.xlabel_gap, status);
  vu_text_attributes(style.font, style.colour, style.size * kVuLabelHeight, 2, 4, 0.0f, status);
  DV_TEXT(x, y, label.substr(0, static_cast<std::size_t>(SLEN(label))), status);
  if (st_bad(status, kRoutine)) return;
}

void VU_YLABEL(std::string_view label, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_YLABEL V0.1 ";
  if (st_bad(status, kRoutine)) return;
  const VuTextStyle& style = VU_YLABELSTYLE;
  if (!style.display || SLEN(label) == 0) return;
  const VuRegion& r = VU_DDDR;
  const float x = r.x_min - vu_page_to_world(true, VU_GRAPHLAYOUT.ylabel_gap, status);
  const float y = 0.5f * (r.y_min + r.y_max);
  const float page_height = style.size * kVuLabelHeight;
  if (VU_YLABELORIENTATION == 1) {
    // Reading upward, centred along its length, its base line toward the frame.
    vu_text_attributes(style.font, style.colour, page_height, 2, 4, 90.0f, status);
  } else {
    vu_text_attributes(style.font, style.colour, page_height, 3, 3, 0.0f, status);
  }
  DV_TEXT(x, y, label.substr(0, static_cast<std::size_t>(SLEN(label))), status);
  if (st_bad(status, kRoutine)) return;
}
