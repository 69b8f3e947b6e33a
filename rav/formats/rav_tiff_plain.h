// TIFF pages whose pixels are stored plainly: uncompressed, one sample per pixel, in strips
// that follow one another, so that row y starts at a fixed offset plus y rows. Most detectors,
// tifffile and ImageJ write such pages. Once libtiff has read its directory, such a page is read
// again with one pread of the rows wanted, without libtiff, which costs less than parsing the
// directory again on every pass.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <span>

#include "rav_image_region.h"

struct RavPlainTiffPage {
  std::uint32_t width = 0, height = 0;
  RavSampleType type = RavSampleType::UINT8;
  bool swapped = false;            // stored in the other byte order than the machine's
  std::uint64_t data_offset = 0;   // of the first pixel of row 0
};

// The layout of TIF's current page, of WIDTH x HEIGHT samples of TYPE, when it is plain;
// false otherwise.
bool rav_plain_tiff_page(TIFF* tif, std::uint32_t width, std::uint32_t height,
                         RavSampleType type, RavPlainTiffPage& page);

// Reads columns X0..X1 of rows Y0..Y1 (0-based, inside the page) of PAGE from DESCRIPTOR into
// DATA, rows of XMAXDAT values. False when the file ends before them.
bool rav_read_plain_tiff(int descriptor, const RavPlainTiffPage& page, std::int64_t x0,
                         std::int64_t y0, std::int64_t x1, std::int64_t y1, std::int32_t xmaxdat,
                         std::span<float> data);
