// Montage pages of an axis sweep: the trial slices side by side, small, on one scale of values,
// each with its trial axis under it, so that the sharpest can be picked by eye.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "rav_axis_run.h"
#include "ut.h"
#include "vu.h"

namespace {

// The plot settings a montage changes, put back when it is done.
struct SavedPlotSettings {
  VuGpp gpp = VU_GPP;
  VuBackground background = VU_BACKGROUND_STYLE;
  VuComLut lut = VU_COM_LUT;
  VuAxisEnum x_enum = VU_XAXISENUM, y_enum = VU_YAXISENUM;
  VuAxesStyle axes = VU_AXESSTYLE;
  VuTicks x_ticks = VU_XLTICKS, y_ticks = VU_YLTICKS;
  ~SavedPlotSettings() {
    VU_GPP = gpp;
    VU_BACKGROUND_STYLE = background;
    VU_COM_LUT = lut;
    VU_XAXISENUM = x_enum;
    VU_YAXISENUM = y_enum;
    VU_AXESSTYLE = axes;
    VU_XLTICKS = x_ticks;
    VU_YLTICKS = y_ticks;
  }
};

// The range of the finite values of SLICES, made usable for a scale.
void value_range(std::span<const float> slices, float& low, float& high) {
  low = std::numeric_limits<float>::max();
  high = std::numeric_limits<float>::lowest();
  for (float v : slices) {
    if (!std::isfinite(v)) continue;
    low = std::min(low, v);
    high = std::max(high, v);
  }
  if (!(low < high)) {
    low = low <= high ? low - 1.0f : -1.0f;
    high = low + 2.0f;
  }
}

// The page rectangle of picture T of a page (columns left to right, rows top to bottom), with
// room under it for its label.
VuRegion tile(std::int32_t t) {
  const bool landscape = VU_WINDOWFORMAT.format % 2 == 1;
  const float width = landscape ? 1.0f : 0.7071f, height = landscape ? 0.7071f : 1.0f;
  const float w = width / kRavMontageColumns, h = height / kRavMontageRows;
  const float x = w * static_cast<float>(t % kRavMontageColumns);
  const float y = height - h * static_cast<float>(t / kRavMontageColumns + 1);
  return {x + 0.015f * w / 0.177f, y + 0.06f, x + w - 0.01f, y + h - 0.015f};
}

}  // namespace

void rav_sweep_montage(std::span<const float> slices, std::int32_t NUM_X, std::int32_t NUM_Y,
                       std::span<const float> axes, std::int32_t& status) {
  if (status != ST_OK || axes.empty()) return;
  const SavedPlotSettings saved;
  float low = 0.0f, high = 0.0f;
  value_range(slices, low, high);
  VU_COM_LUT.display = false;
  VU_COM_LUT.scale_mode = 1;
  VU_COM_LUT.scale_min = low;
  VU_COM_LUT.scale_max = high;
  VU_XAXISENUM.display = false;
  VU_YAXISENUM.display = false;
  VU_AXESSTYLE = {2, 2};
  std::vector<float> x_axis(static_cast<std::size_t>(NUM_X)),
      y_axis(static_cast<std::size_t>(NUM_Y));
  for (std::size_t i = 0; i < x_axis.size(); ++i) x_axis[i] = static_cast<float>(i) + 0.5f;
  for (std::size_t i = 0; i < y_axis.size(); ++i) y_axis[i] = static_cast<float>(i) + 0.5f;
  const std::int64_t pixels = std::int64_t{NUM_X} * NUM_Y;
  const std::int32_t per_page = kRavMontageColumns * kRavMontageRows;
  for (std::size_t t = 0; t < axes.size(); ++t) {
    const auto place = static_cast<std::int32_t>(t % per_page);
    // The first picture of a page clears it.
    VU_BACKGROUND_STYLE.fill = place == 0 && saved.background.fill;
    VU_COM_LUT.scale_mode = 1;
    VU_GPP.reserved = tile(place);
    VU_PLOT(NUM_X, NUM_Y, slices.data() + static_cast<std::int64_t>(t) * pixels, x_axis.data(),
            y_axis.data(), 1, 1, NUM_X, NUM_Y, "", "axis " + rav_axis_number(axes[t], 2), "", "",
            status);
    if (place == per_page - 1 || t + 1 == axes.size()) VU_UPDATE(status);
  }
}
