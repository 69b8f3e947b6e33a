// Page background: what erases the previous plot.
#include "dv.h"
#include "vu_internal.h"

void VU_BACKGROUND(std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_BACKGROUND V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (!VU_BACKGROUND_STYLE.fill) return;
  DV_CLEAR(status);
  float page_width = 0.0f, page_height = 0.0f;
  DV_INQ_MAXPC(1, page_width, page_height, status);
  if (st_bad(status, kRoutine)) return;
  // The whole page, from its corner (0, 0), in the world units of the current transform.
  const float x0 = DV_PC2WC(true, 0.0f);
  const float y0 = DV_PC2WC(false, 0.0f);
  const float x1 = DV_PC2WC(true, page_width);
  const float y1 = DV_PC2WC(false, page_height);
  const float x[4] = {x0, x1, x1, x0};
  const float y[4] = {y0, y0, y1, y1};
  DV_FILLCOLOUR(vu_colour_index(VU_BACKGROUND_STYLE.colour), status);
  DV_FILLAREA(4, x, y, status);
  if (st_bad(status, kRoutine)) return;
}
