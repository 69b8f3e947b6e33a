// Block means of an image region: the automatic intensity range of the image plots.
#include <string_view>

#include "nu.h"
#include "ut.h"

namespace {

constexpr std::int32_t kModule = 20000;

// Checks the arguments in the documented order; on failure sets the status and records ROUTINE.
bool bad_region(std::int32_t xmaxdat, std::int32_t ymaxdat, const float* data,
                std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                std::int32_t yendelm, std::int32_t xbin, std::int32_t ybin,
                std::string_view routine, std::int32_t& status) {
  std::int32_t kind = 0;
  if (xmaxdat < 1) {
    kind = 1;
  } else if (ymaxdat < 1) {
    kind = 2;
  } else if (xstrelm < 1 || xendelm < xstrelm || xendelm > xmaxdat) {
    kind = 5;
  } else if (ystrelm < 1 || yendelm < ystrelm || yendelm > ymaxdat) {
    kind = 6;
  } else if (xbin < 1 || xbin > xendelm - xstrelm + 1) {
    kind = 17;
  } else if (ybin < 1 || ybin > yendelm - ystrelm + 1) {
    kind = 18;
  } else if (data == nullptr) {
    kind = 1;  // no array at all: treated like an empty first dimension
  }
  if (kind == 0) return false;
  status = kModule + kind;
  ST_SAVE(routine);
  return true;
}

// Smallest and largest mean over the whole blocks of the (already checked) region.
void block_min_max(std::int32_t xmaxdat, const float* data, std::int32_t xstrelm,
                   std::int32_t ystrelm, std::int32_t xendelm, std::int32_t yendelm,
                   std::int32_t xbin, std::int32_t ybin, float& min, float& max) {
  min = 1.7e38f;
  max = -1.7e38f;
  const std::int64_t nx = (xendelm - xstrelm + 1) / xbin;
  const std::int64_t ny = (yendelm - ystrelm + 1) / ybin;
  const long double cells = static_cast<long double>(xbin) * ybin;
  const std::int64_t stride = xmaxdat;
  if (xbin == 1 && ybin == 1) {
    // The mean of one element is the element itself: the plain extremes, without the
    // extended-precision arithmetic (the display's case, on every shown slice).
    for (std::int64_t y = ystrelm - 1; y < yendelm; ++y) {
      const float* row = data + y * stride;
      for (std::int64_t x = xstrelm - 1; x < xendelm; ++x) {
        if (row[x] < min) min = row[x];
        if (row[x] > max) max = row[x];
      }
    }
    return;
  }
  for (std::int64_t by = 0; by < ny; ++by) {
    for (std::int64_t bx = 0; bx < nx; ++bx) {
      // 0-based position of the block's first element.
      const std::int64_t x0 = xstrelm - 1 + bx * xbin;
      const std::int64_t y0 = ystrelm - 1 + by * ybin;
      long double sum = 0.0L;
      for (std::int64_t y = y0; y < y0 + ybin; ++y) {
        const float* row = data + y * stride;
        for (std::int64_t x = x0; x < x0 + xbin; ++x) sum += row[x];
      }
      const auto mean = static_cast<float>(sum / cells);
      if (mean < min) min = mean;
      if (mean > max) max = mean;
    }
  }
}

// The body shared by the three routines: status on entry, argument checks, then the block
// means. ROUTINE is the calling routine's text.
void rebin_min_max(std::string_view routine, std::int32_t xmaxdat, std::int32_t ymaxdat,
                   const float* data, std::int32_t xstrelm, std::int32_t ystrelm,
                   std::int32_t xendelm, std::int32_t yendelm, std::int32_t xbin,
                   std::int32_t ybin, float& min, float& max, std::int32_t& status) {
  if (st_bad(status, routine)) return;
  if (bad_region(xmaxdat, ymaxdat, data, xstrelm, ystrelm, xendelm, yendelm, xbin, ybin, routine,
                 status))
    return;
  block_min_max(xmaxdat, data, xstrelm, ystrelm, xendelm, yendelm, xbin, ybin, min, max);
}

}  // namespace

void NU_REBINMINMAX(std::int32_t xmaxdat, std::int32_t ymaxdat, const float* data,
                    std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                    std::int32_t yendelm, std::int32_t xbin, std::int32_t ybin, float& min,
                    float& max, std::int32_t& status) {
  rebin_min_max("Subroutine NU_REBINMINMAX V0.1 ", xmaxdat, ymaxdat, data, xstrelm, ystrelm,
                xendelm, yendelm, xbin, ybin, min, max, status);
}

void NU_REBINMAX(std::int32_t xmaxdat, std::int32_t ymaxdat, const float* data,
                 std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                 std::int32_t yendelm, std::int32_t xbin, std::int32_t ybin, float& max,
                 std::int32_t& status) {
  float min = 0.0f;
  rebin_min_max("Subroutine NU_REBINMAX V0.1 ", xmaxdat, ymaxdat, data, xstrelm, ystrelm,
                xendelm, yendelm, xbin, ybin, min, max, status);
}

void NU_REBINMIN(std::int32_t xmaxdat, std::int32_t ymaxdat, const float* data,
                 std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                 std::int32_t yendelm, std::int32_t xbin, std::int32_t ybin, float& min,
                 std::int32_t& status) {
  float max = 0.0f;
  rebin_min_max("Subroutine NU_REBINMIN V0.1 ", xmaxdat, ymaxdat, data, xstrelm, ystrelm,
                xendelm, yendelm, xbin, ybin, min, max, status);
}
