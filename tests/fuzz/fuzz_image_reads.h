// What the fuzz targets of the image readers check on every read: the contract of RAV_IN_ZELFA
// (a known result, a good status for a file that opens, nothing stored outside the region
// reported).
#pragma once

#include <cstdint>
#include <vector>

#include "fuzz_files.h"
#include "rav_in_image.h"
#include "rav_in_zelfa.h"
#include "ut.h"

namespace rav_fuzz {

// Whole small images, an inner window, a single pixel and a row of a wide image.
struct Region {
  std::int32_t xmaxdat, ymaxdat, xstrelm, ystrelm, xendelm, yendelm;
};
constexpr Region kImageRegions[] = {
    {4, 3, 1, 1, 4, 3}, {12, 9, 3, 5, 10, 6}, {1, 1, 2, 2, 2, 2}, {40, 1, 1, 1, 33, 1}};

inline void read_regions(const RavImageSource& source) {
  constexpr float kUntouched = -7.25e30f;
  for (const Region& r : kImageRegions) {
    std::int32_t status;
    ST_DEF_SYSTEM(status);
    std::vector<float> data(static_cast<std::size_t>(r.xmaxdat) * r.ymaxdat, kUntouched);
    std::int32_t retstat = -1, xnumdat = -1, ynumdat = -1;
    RAV_IN_IMAGE(source, r.xmaxdat, r.ymaxdat, r.xstrelm, r.ystrelm, r.xendelm, r.yendelm,
                 retstat, xnumdat, ynumdat, data, status);
    RAV_FUZZ_CHECK(status == ST_OK);
    RAV_FUZZ_CHECK(retstat == 0 || retstat == RAV_IN_ZELFA_SHORT_DATA ||
                   retstat == RAV_IN_ZELFA_BEYOND_IMAGE || retstat == RAV_IN_ZELFA_UNUSABLE);
    const std::int32_t width = r.xendelm - r.xstrelm + 1;
    const std::int32_t height = r.yendelm - r.ystrelm + 1;
    if (retstat == 0) {
      RAV_FUZZ_CHECK(xnumdat == width && ynumdat == height);
    } else if (retstat != RAV_IN_ZELFA_SHORT_DATA) {
      RAV_FUZZ_CHECK(xnumdat == -1 && ynumdat == -1);
    }
    for (std::int32_t y = 0; y < r.ymaxdat; ++y) {
      for (std::int32_t x = 0; x < r.xmaxdat; ++x) {
        const bool inside = (retstat == 0 || retstat == RAV_IN_ZELFA_SHORT_DATA) && x < width &&
                            y < height;
        if (!inside) RAV_FUZZ_CHECK(data[static_cast<std::size_t>(y) * r.xmaxdat + x] == kUntouched);
      }
    }
  }
}

}  // namespace rav_fuzz
