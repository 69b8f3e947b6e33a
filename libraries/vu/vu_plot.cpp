// The program's plotting call: an image, or a curve when the region is one column or one row.
#include "dv.h"
#include "vu_internal.h"

namespace {

// The region checks shared by VU_PLOT and VU_2DIMAGE; SINGLE allows one column or one row.
bool bad_plot_region(std::int32_t xmaxdat, std::int32_t ymaxdat, const float* data,
                     const float* x_axis, const float* y_axis, std::int32_t xstrelm,
                     std::int32_t ystrelm, std::int32_t xendelm, std::int32_t yendelm,
                     bool single, std::string_view routine, std::int32_t& status) {
  std::int32_t kind = 0;
  if (xmaxdat < 1 || data == nullptr || x_axis == nullptr) {
    kind = 1;
  } else if (ymaxdat < 1 || y_axis == nullptr) {
    kind = 2;
  } else if (xendelm > xmaxdat || xstrelm < 1 || xendelm < xstrelm ||
             (!single && xendelm == xstrelm)) {
    kind = 5;
  } else if (yendelm > ymaxdat || ystrelm < 1 || yendelm < ystrelm ||
             (!single && yendelm == ystrelm)) {
    kind = 6;
  }
  if (kind == 0) return false;
  vu_fail(status, kind, routine);
  return true;
}

}  // namespace

void VU_PLOT(std::int32_t xmaxdat, std::int32_t ymaxdat, const float* data, const float* x_axis,
             const float* y_axis, std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
             std::int32_t yendelm, std::string_view title, std::string_view xlabel,
             std::string_view ylabel, std::string_view zlabel, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_PLOT V0.2 ";
  if (st_bad(status, kRoutine)) return;
  if (bad_plot_region(xmaxdat, ymaxdat, data, x_axis, y_axis, xstrelm, ystrelm, xendelm,
                      yendelm, true, kRoutine, status))
    return;

  if (xendelm == xstrelm) {
    // One column: a curve of the values against the y axis.
    void* memory = nullptr;
    UT_MALLOC(static_cast<std::int64_t>(ymaxdat) * static_cast<std::int64_t>(sizeof(float)),
              memory, status);
    if (st_bad(status, kRoutine)) return;
    auto* column = static_cast<float*>(memory);
    VU_PLOTSUB(xmaxdat, ymaxdat, data, xstrelm, ystrelm, yendelm, column, status);
    // A logarithmic intensity scale makes the value axis logarithmic for this plot.
    bool log_z = false;
    DV_INQ_LOGZSCALING(log_z, status);
    const VuXyFlags saved_axes = VU_AXESLOGLIN;
    if (log_z) VU_AXESLOGLIN.y = false;
    VU_XYSGRAPH(ymaxdat, ystrelm, yendelm, y_axis, column, title, ylabel, zlabel, status);
    VU_AXESLOGLIN = saved_axes;
    std::int32_t free_status = ST_OK;
    UT_FREE(memory, free_status);
    if (st_bad(status, kRoutine)) return;
  } else if (yendelm == ystrelm) {
    // One row: a curve of the values against the x axis (the row is contiguous in DATA).
    const float* row = data + static_cast<std::int64_t>(ystrelm - 1) * xmaxdat;
    VU_XYSGRAPH(xmaxdat, xstrelm, xendelm, x_axis, row, title, xlabel, zlabel, status);
    if (st_bad(status, kRoutine)) return;
  } else {
    VU_2DIMAGE(xmaxdat, ymaxdat, data, x_axis, y_axis, xstrelm, ystrelm, xendelm, yendelm, title,
               xlabel, ylabel, zlabel, status);
    if (st_bad(status, kRoutine)) return;
  }
}

void VU_PLOTSUB(std::int32_t xmaxdat, std::int32_t ymaxdat, const float* data,
                std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t yendelm, float* column,
                std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_PLOTSUB V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (xmaxdat < 1 || xstrelm < 1 || xstrelm > xmaxdat) return vu_fail(status, 5, kRoutine);
  if (ymaxdat < 1 || ystrelm < 1 || yendelm > ymaxdat || yendelm < ystrelm) {
    return vu_fail(status, 6, kRoutine);
  }
  for (std::int64_t y = ystrelm; y <= yendelm; ++y) {
    column[y - 1] = data[(y - 1) * xmaxdat + (xstrelm - 1)];
  }
}

void VU_2DIMAGE(std::int32_t xmaxdat, std::int32_t ymaxdat, const float* data, const float* x_axis,
                const float* y_axis, std::int32_t xstrelm, std::int32_t ystrelm,
                std::int32_t xendelm, std::int32_t yendelm, std::string_view title,
                std::string_view xlabel, std::string_view ylabel, std::string_view zlabel,
                std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_2DIMAGE V0.8 ";
  if (st_bad(status, kRoutine)) return;
  if (bad_plot_region(xmaxdat, ymaxdat, data, x_axis, y_axis, xstrelm, ystrelm, xendelm,
                      yendelm, false, kRoutine, status))
    return;
  VU_2DMIMAGE(false, xmaxdat, ymaxdat, data, nullptr, x_axis, y_axis, xstrelm, ystrelm, xendelm,
              yendelm, title, xlabel, ylabel, zlabel, status);
  if (st_bad(status, kRoutine)) return;
}
