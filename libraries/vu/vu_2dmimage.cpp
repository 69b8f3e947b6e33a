// The image plot: region, page rectangle, background, image, frame, texts and colour scale.
#include "dv.h"
#include "vu_internal.h"

void VU_2DMIMAGE(bool masked, std::int32_t xmaxdat, std::int32_t ymaxdat, const float* data,
                 const std::uint8_t* mask, const float* x_axis, const float* y_axis,
                 std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                 std::int32_t yendelm, std::string_view title, std::string_view xlabel,
                 std::string_view ylabel, std::string_view zlabel, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_2DMIMAGE V0.1 ";
  if (st_bad(status, kRoutine)) return;
  // The extent below needs two columns and two rows.
  if (xmaxdat < 1) return vu_fail(status, 1, kRoutine);
  if (ymaxdat < 1) return vu_fail(status, 2, kRoutine);
  if (xstrelm < 1 || xendelm > xmaxdat || xendelm <= xstrelm) return vu_fail(status, 5, kRoutine);
  if (ystrelm < 1 || yendelm > ymaxdat || yendelm <= ystrelm) return vu_fail(status, 6, kRoutine);

  std::int32_t mode = 0;
  float min = 0.0f, max = 0.0f;
  VU_INQ_IMAGESCALE(mode, min, max, status);

  // World extent: half a pixel beyond the outer pixel centres (axis arrays count from 1).
  auto x_at = [&](std::int32_t i) { return x_axis[i - 1]; };
  auto y_at = [&](std::int32_t j) { return y_axis[j - 1]; };
  const float x_min = x_at(xstrelm) - (x_at(xstrelm + 1) - x_at(xstrelm)) / 2.0f;
  const float x_max = x_at(xendelm) + (x_at(xendelm) - x_at(xendelm - 1)) / 2.0f;
  const float y_min = y_at(ystrelm) - (y_at(ystrelm + 1) - y_at(ystrelm)) / 2.0f;
  const float y_max = y_at(yendelm) + (y_at(yendelm) - y_at(yendelm - 1)) / 2.0f;
  VU_SET_IDR(x_min, y_min, x_max, y_max, status);
  VU_SET_DDDR(x_min, y_min, x_max, y_max, status);
  DV_DATAWINDOW(x_min, y_min, x_max, y_max, status);
  if (st_bad(status, kRoutine)) return;

  // Page rectangle: the graph plot position, narrowed about its centre so that image pixels
  // come out square when the aspect is kept.
  VuRegion plot = VU_GPP.reserved;
  if (VU_IASPECT.value) {
    const float width = plot.x_max - plot.x_min;
    const float height = plot.y_max - plot.y_min;
    const float nx = static_cast<float>(xendelm - xstrelm + 1);
    const float ny = static_cast<float>(yendelm - ystrelm + 1);
    const float r = (ny / height) / (nx / width);
    if (r < 1.0f) {
      const float centre = 0.5f * (plot.y_min + plot.y_max);
      plot.y_min = centre - 0.5f * height * r;
      plot.y_max = centre + 0.5f * height * r;
    } else {
      const float centre = 0.5f * (plot.x_min + plot.x_max);
      plot.x_min = centre - 0.5f * width / r;
      plot.x_max = centre + 0.5f * width / r;
    }
  }
  VU_SET_DGPP(plot.x_min, plot.y_min, plot.x_max, plot.y_max, status);
  DV_VIEWPORT(plot.x_min, plot.y_min, plot.x_max, plot.y_max, status);

  VU_BACKGROUND(status);
  VU_2DMCELLARRAY(masked, xmaxdat, ymaxdat, data, mask, xstrelm, ystrelm, xendelm, yendelm, mode,
                  min, max, status);
  VU_AXISFRAME(status);
  VU_GRID(status);
  VU_TITLE(title, status);
  VU_XLABEL(xlabel, status);
  VU_LUTSCALE(min, max, zlabel, status);
  VU_YLABEL(ylabel, status);
  if (st_bad(status, kRoutine)) return;
  // The range used, for later inquiry.
  VU_COM_LUT.scale_mode = mode;
  VU_COM_LUT.scale_min = min;
  VU_COM_LUT.scale_max = max;
}
