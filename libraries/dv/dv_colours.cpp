// Device layer: the device colour table, default colours, nearest colour, colour inquiries and
// text width.
#include <algorithm>
#include <cmath>
#include <string>

#include "dv_internal.h"

namespace {

// The eight basic colours, from the first basic index on.
constexpr float kBasic[8][3] = {
    {0.0f, 0.0f, 0.0f}, {1.0f, 1.0f, 1.0f}, {1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f},
    {0.0f, 0.0f, 1.0f}, {1.0f, 1.0f, 0.0f}, {1.0f, 0.0f, 1.0f}, {0.0f, 1.0f, 1.0f}};

// Control colours of the default image colour table (black through blue, green, yellow,
// orange and violet to white).
constexpr float kDefaultControl[13][3] = {
    {0.0f, 0.0f, 0.0f},       {0.0f, 0.0f, 0.6f},        {0.0f, 0.0f, 1.0f},
    {0.78f, 0.78f, 1.0f},     {0.545f, 0.87f, 0.219f},   {0.757f, 0.925f, 0.384f},
    {1.0f, 1.0f, 0.475f},     {1.0f, 0.77f, 0.36f},      {1.0f, 0.749f, 0.0f},
    {0.78f, 0.509f, 0.0f},    {0.8666f, 0.235f, 1.0f},   {0.8666f, 0.61f, 1.0f},
    {1.0f, 1.0f, 1.0f}};

// Loads the layer's colour table (first basic index to last index) into every active window.
bool load_windows() {
  const DvDbColours& c = DV_DB_COLOURS;
  bool ok = true;
  for (int slot = 0; slot < DV_DB_SYSTEM.count; ++slot) {
    if (!dv_slot_active(slot, DV_CLASS_WINDOW)) continue;
    std::int32_t result = 0;
    DV_X11_COLOURMAP(0, c.first_basic, std::min(c.last, 255), &c.table[0][0], c.first_image,
                     std::min(c.last_image, 255), result);
    if (result != 0) ok = false;
  }
  return ok;
}

}  // namespace

void dv_interpolate_table(const float control[][3], int entries, int first, int last, int levels,
                          float table[256][3]) {
  const int n = last - first + 1;
  for (int i = 1; i <= n; ++i) {
    const int index = first + i - 1;
    if (index < 0 || index > 255) continue;
    float position = 1.0f;
    if (levels > 1) {
      const float fraction = static_cast<float>(i) / static_cast<float>(n);
      const long level = std::lround(static_cast<float>(levels - 1) * fraction);
      position = static_cast<float>(entries - 1) * static_cast<float>(level) /
                     static_cast<float>(levels - 1) +
                 1.0f;
    }
    int k = static_cast<int>(position);
    if (k < 1) k = 1;
    if (k > entries) k = entries;
    const int k2 = std::min(k + 1, entries);
    const float w = position - static_cast<float>(k);
    for (int c = 0; c < 3; ++c) {
      table[index][c] = control[k - 1][c] * (static_cast<float>(k + 1) - position) +
                        control[k2 - 1][c] * w;
    }
  }
}

void DV_SET_COLOURINDICES(std::int32_t low, std::int32_t high, std::int32_t& status) {
  if (st_bad(status, "Subroutine DV_SET_COLOURINDICES V0.1 ")) return;
  DV_DB_COLOURS.requested_low = low;
  DV_DB_COLOURS.requested_high = high;
}

void DV_DEF_COLOURS(std::int32_t& status) {
  if (st_bad(status, "Subroutine DV_DEF_COLOURS V0.1 ")) return;
  DvDbColours& c = DV_DB_COLOURS;
  for (int k = 0; k < 8; ++k) {
    const int index = c.first_basic + k;
    if (index < 0 || index > 255) continue;
    for (int j = 0; j < 3; ++j) c.table[index][j] = kBasic[k][j];
  }
  const int levels = c.last_image - c.first_image + 1;
  dv_interpolate_table(kDefaultControl, 13, c.first_image, c.last_image, levels, c.table);
}

void DV_COLOURS(std::int32_t max_colours, std::int32_t first, std::int32_t last,
                const float* table, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_COLOURS V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (dv_not_open("DV_COLOURS")) return;
  if (max_colours < 1 || last >= max_colours || table == nullptr) {
    dv_message("ERROR: Colour table too small for the indices to load (DV_COLOURS)");
    dv_fail(status, DV_BAD_TABLE_SIZE, kRoutine);
    return;
  }
  if (first < 0 || first > last || last > 255) {
    dv_message("ERROR: Bad range of colour indices (DV_COLOURS): " + std::to_string(first) +
               " " + std::to_string(last));
    dv_fail(status, DV_BAD_VALUE, kRoutine);
    return;
  }
  for (int index = first; index <= last; ++index) {
    for (int j = 0; j < 3; ++j) DV_DB_COLOURS.table[index][j] = table[3 * index + j];
  }
  if (!load_windows()) dv_fail(status, DV_BACKEND_FAILURE, kRoutine);
}

void DV_BESTCOLOUR(float red, float green, float blue, std::int32_t& index,
                   std::int32_t& status) {
  if (st_bad(status, "Subroutine DV_BESTCOLOUR V0.1 ")) return;
  const DvDbColours& c = DV_DB_COLOURS;
  const int first = std::max(c.first_basic, 0);
  const int last = std::min(c.last, 255);
  float best = 0.0f;
  index = first;
  for (int k = first; k <= last; ++k) {
    const float difference = 0.3f * std::fabs(red - c.table[k][0]) +
                             0.59f * std::fabs(green - c.table[k][1]) +
                             0.11f * std::fabs(blue - c.table[k][2]);
    if (k == first || difference < best) {
      best = difference;
      index = k;
    }
  }
}

void DV_INQ_IMAGERANGE(std::int32_t& first, std::int32_t& last, std::int32_t& status) {
  if (st_bad(status, "Subroutine DV_INQ_IMAGERANGE V0.1 ")) return;
  first = DV_DB_COLOURS.first_image;
  last = DV_DB_COLOURS.last_image;
}

void DV_INQ_LOGZSCALING(bool& flag, std::int32_t& status) {
  if (st_bad(status, "Subroutine DV_INQ_LOGZSCALING V0.1 ")) return;
  flag = DV_DB_COLOURS.log_intensity;
}

void DV_INQ_TEXTWIDTH(std::int32_t n, std::string_view text, float& width,
                      std::int32_t& status) {
  if (st_bad(status, "Subroutine DV_INQ_TEXTWIDTH V0.1 ")) return;
  if (dv_not_open("DV_INQ_TEXTWIDTH")) return;
  DV_X11_TEXTWIDTH(n, width, text);
}
