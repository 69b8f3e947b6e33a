// Fuzz target: the keyword-header image reader on arbitrary files, with a few fixed small
// regions. The reader must answer with a known result and a good status (the file exists and
// opens), store nothing outside the region it reports, and leave the input slot closed.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dax.h"
#include "fuzz_files.h"
#include "rav_in_zelfa.h"
#include "ut.h"

namespace {

constexpr float kUntouched = -7.25e30f;

struct Region {
  std::int32_t xmaxdat, ymaxdat, xstrelm, ystrelm, xendelm, yendelm;
};
// Whole small images, an inner window, a single pixel and a row of a wide image.
constexpr Region kRegions[] = {
    {4, 3, 1, 1, 4, 3}, {12, 9, 3, 5, 10, 6}, {1, 1, 2, 2, 2, 2}, {40, 1, 1, 1, 33, 1}};

void read_region(const std::string& path, const Region& r) {
  // The reader's byte order and pixel type carry over from the previous header read; start
  // every input from the same state so that a finding can be replayed.
  rav_in_zelfa_state = RavInZelfaState{};
  std::int32_t status;
  ST_DEF_SYSTEM(status);
  std::vector<float> data(static_cast<std::size_t>(r.xmaxdat) * r.ymaxdat, kUntouched);
  std::int32_t retstat = -1;
  std::int32_t xnumdat = -1;
  std::int32_t ynumdat = -1;
  RAV_IN_ZELFA(r.xmaxdat, r.ymaxdat, r.xstrelm, r.ystrelm, r.xendelm, r.yendelm, path, retstat,
               xnumdat, ynumdat, data, status);
  RAV_FUZZ_CHECK(status == ST_OK);
  RAV_FUZZ_CHECK(dax_file_table.ut_file_in_open == 0);
  RAV_FUZZ_CHECK(retstat == 0 || retstat == RAV_IN_ZELFA_SHORT_DATA ||
                 retstat == RAV_IN_ZELFA_BEYOND_IMAGE || retstat == RAV_IN_ZELFA_UNUSABLE);

  const std::int32_t width = r.xendelm - r.xstrelm + 1;
  const std::int32_t height = r.yendelm - r.ystrelm + 1;
  if (retstat == 0) {
    RAV_FUZZ_CHECK(xnumdat == width && ynumdat == height);
  } else if (retstat != RAV_IN_ZELFA_SHORT_DATA) {
    RAV_FUZZ_CHECK(xnumdat == -1 && ynumdat == -1);
  }
  // Only the region's place at the start of the array may change.
  for (std::int32_t y = 0; y < r.ymaxdat; ++y) {
    for (std::int32_t x = 0; x < r.xmaxdat; ++x) {
      const bool inside = retstat != RAV_IN_ZELFA_BEYOND_IMAGE &&
                          retstat != RAV_IN_ZELFA_UNUSABLE && x < width && y < height;
      const float v = data[static_cast<std::size_t>(y) * r.xmaxdat + x];
      if (!inside) RAV_FUZZ_CHECK(v == kUntouched);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = rav_fuzz::write_scratch("input.zlf", data, size);
  for (const Region& r : kRegions) read_region(path, r);
  return 0;
}
