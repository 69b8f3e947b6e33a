// Expansion of a list of control colours to a range of device colour indices.
#include <cmath>

#include "vu_internal.h"

void VU_CAL_COLOURTABLE(std::int32_t max_entries, std::int32_t num_entries, const float* control,
                        std::int32_t first, std::int32_t last, std::int32_t levels,
                        std::int32_t max_colours, float* table, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_CAL_COLOURTABLE V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (max_entries < 1) return vu_fail(status, 1, kRoutine);
  if (num_entries < 1 || num_entries > max_entries) return vu_fail(status, 5, kRoutine);
  if (last < first) return vu_fail(status, 13, kRoutine);
  // Indices outside the table, or no levels at all, would write past the table or make no
  // colours: refuse them.
  if (first < 0 || last >= max_colours || levels < 1) return vu_fail(status, 17, kRoutine);

  auto control_colour = [&](std::int32_t k, int c) {  // K counts from 1
    return control[3 * (k - 1) + c];
  };
  const std::int32_t n = last - first + 1;
  for (std::int32_t i = 1; i <= n; ++i) {
    float* colour = table + 3 * static_cast<std::int64_t>(first + i - 1);
    if (levels == 1) {
      // A single level has no position between the control colours: it is the last one, the
      // colour every other level count gives the highest index.
      for (int c = 0; c < 3; ++c) colour[c] = control_colour(num_entries, c);
      continue;
    }
    // Single precision throughout, as the tables have always been computed.
    const float fraction = static_cast<float>(levels - 1) * static_cast<float>(i) /
                           static_cast<float>(n);
    const auto level = static_cast<std::int32_t>(vu_nint(fraction));
    const float p = static_cast<float>(num_entries - 1) * static_cast<float>(level) /
                        static_cast<float>(levels - 1) +
                    1.0f;
    const auto k = static_cast<std::int32_t>(p);
    const std::int32_t k2 = k + 1 < num_entries ? k + 1 : num_entries;
    const float w = p - static_cast<float>(k);
    for (int c = 0; c < 3; ++c) {
      colour[c] = control_colour(k, c) * (static_cast<float>(k + 1) - p) +
                  control_colour(k2, c) * w;
    }
  }
}
