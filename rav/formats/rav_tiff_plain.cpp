#include "rav_tiff_plain.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace {

// A page of more strips than this is not checked (a damaged count would make the check long).
constexpr std::uint32_t kMaxStrips = 1 << 20;

// Reads LENGTH bytes at OFFSET into BYTES; false when the file ends before.
bool read_at(int descriptor, std::uint64_t offset, std::int64_t length, unsigned char* bytes) {
  for (std::int64_t done = 0; done < length;) {
    const ssize_t n = ::pread(descriptor, bytes + done, static_cast<std::size_t>(length - done),
                              static_cast<off_t>(offset + static_cast<std::uint64_t>(done)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

// Rows read at once: up to this many bytes from the first pixel wanted to the last.
constexpr std::int64_t kMaxSpan = std::int64_t{64} << 20;

}  // namespace

bool rav_plain_tiff_page(TIFF* tif, std::uint32_t width, std::uint32_t height,
                         RavSampleType type, RavPlainTiffPage& page) {
  std::uint16_t compression = COMPRESSION_NONE;
  std::uint32_t rows = 0;
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
  TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows);
  rows = std::min(rows, height);
  const std::uint32_t strips = TIFFNumberOfStrips(tif);
  if (compression != COMPRESSION_NONE || TIFFIsTiled(tif) != 0 || rows == 0 ||
      strips != (height + rows - 1) / rows || strips > kMaxStrips) {
    return false;
  }
  const std::uint64_t row_bytes = std::uint64_t{width} * rav_sample_bytes(type);
  const std::uint64_t first = TIFFGetStrileOffset(tif, 0);
  // Strip k holds its rows right after those of strip k - 1.
  for (std::uint32_t k = 0; k < strips; ++k) {
    const std::uint64_t strip_rows = std::min<std::uint64_t>(rows, height - std::uint64_t{k} * rows);
    if (TIFFGetStrileOffset(tif, k) != first + std::uint64_t{k} * rows * row_bytes ||
        TIFFGetStrileByteCount(tif, k) < strip_rows * row_bytes) {
      return false;
    }
  }
  page.width = width;
  page.height = height;
  page.type = type;
  page.swapped = TIFFIsByteSwapped(tif) != 0;
  page.data_offset = first;
  return true;
}

bool rav_read_plain_tiff(int descriptor, const RavPlainTiffPage& page, std::int64_t x0,
                         std::int64_t y0, std::int64_t x1, std::int64_t y1, std::int32_t xmaxdat,
                         std::span<float> data) {
  const auto sample = static_cast<std::int64_t>(rav_sample_bytes(page.type));
  const std::int64_t row_bytes = std::int64_t{page.width} * sample;
  const std::int64_t columns = x1 - x0 + 1;
  // From the first pixel wanted of row Y0 to the last of row Y1 in one read, or row by row.
  const std::int64_t span = (y1 - y0) * row_bytes + columns * sample;
  const bool at_once = span <= kMaxSpan;
  std::vector<unsigned char> bytes(static_cast<std::size_t>(at_once ? span : columns * sample));
  const std::uint64_t start = page.data_offset + static_cast<std::uint64_t>(y0 * row_bytes + x0 * sample);
  if (at_once && !read_at(descriptor, start, span, bytes.data())) return false;
  for (std::int64_t y = y0; y <= y1; ++y) {
    unsigned char* row = bytes.data() + (at_once ? (y - y0) * row_bytes : 0);
    if (!at_once &&
        !read_at(descriptor, start + static_cast<std::uint64_t>((y - y0) * row_bytes),
                 columns * sample, row)) {
      return false;
    }
    if (page.swapped) {
      for (std::int64_t k = 0; k < columns; ++k) std::reverse(row + k * sample, row + (k + 1) * sample);
    }
    rav_convert_samples(row, page.type, static_cast<std::size_t>(columns),
                        data.data() + (y - y0) * xmaxdat);
  }
  return true;
}
