// The region readers of the keyword-header image format: 4-byte reals, 2-byte and 4-byte
// integers. They share one reading loop and differ only in the pixel size and conversion.
#include <algorithm>
#include <cstdint>

#include "dax.h"
#include "ut.h"

namespace {

struct Region {
  std::int32_t dim_1, dim_2, xstrelm, ystrelm, xendelm, yendelm;
};

// Status code of the first failed argument check (0 when all pass).
std::int32_t region_fault(const Region& r, std::int32_t xbin, std::int32_t ybin,
                          std::int64_t data_start, std::size_t buffer_size,
                          std::int32_t xmaxdat, std::int32_t ymaxdat, std::size_t data_size) {
  if (xmaxdat <= 0) return 180001;
  if (ymaxdat <= 0) return 180002;
  if (data_size < static_cast<std::uint64_t>(xmaxdat) * static_cast<std::uint64_t>(ymaxdat)) {
    return 180001;
  }
  if (r.dim_1 <= 0) return 180017;
  if (r.dim_2 <= 0) return 180018;
  if (r.xstrelm <= 0) return 180017;
  if (r.ystrelm <= 0) return 180018;
  if (r.xendelm > r.dim_1) return 180005;
  if (r.yendelm > r.dim_2) return 180006;
  if (r.xstrelm > r.xendelm) return 180005;
  if (r.ystrelm > r.yendelm) return 180006;
  if (xbin <= 0) return 180017;
  if (ybin <= 0) return 180018;
  if (data_start <= 0) return 180017;
  if (buffer_size == 0) return 180017;  // pieces of no pixels would never end
  return 0;
}

// Reads the region's rows whole, BUFFER.size() pixels at a time, and stores the wanted
// columns converted by CONVERT. SWAP is the raw layer's swap code for the pixel size.
template <typename Pixel, typename Convert>
void inp_region(std::string_view routine, std::int32_t file_id, bool byte_swap, bool x_reverse,
                bool y_reverse, bool transpose, const Region& region, std::int32_t xbin,
                std::int32_t ybin, std::int64_t data_start, std::span<Pixel> buffer,
                std::int32_t xmaxdat, std::int32_t ymaxdat, std::int32_t& xnumdat,
                std::int32_t& ynumdat, std::span<float> data, std::int32_t& retstat,
                std::int32_t& status, Convert convert) {
  if (st_bad(status, routine)) return;
  const std::int32_t fault = region_fault(region, xbin, ybin, data_start, buffer.size(), xmaxdat,
                                          ymaxdat, data.size());
  if (fault != 0) {
    ST_SAVE(routine);
    status = fault;
    return;
  }
  if (transpose || xbin != 1 || ybin != 1) {
    UT_WRITE("ERROR: Re-binning, transposing on input not yet implemented", status);
    ST_SAVE(routine);
    status = 9999;
    return;
  }

  constexpr std::int64_t kSize = sizeof(Pixel);
  const std::int32_t swap = byte_swap ? (kSize == 2 ? 1 : 2) : 0;
  const std::int64_t dim_1 = region.dim_1;
  // Rows and columns of the file that are read (1-based, inclusive); a reversed axis reads the
  // mirrored range and stores it backwards.
  const std::int64_t row_first =
      y_reverse ? region.dim_2 - region.yendelm + 1 : region.ystrelm;
  const std::int64_t row_last = y_reverse ? region.dim_2 - region.ystrelm + 1 : region.yendelm;
  const std::int64_t col_first =
      x_reverse ? region.dim_1 - region.xendelm + 1 : region.xstrelm;
  const std::int64_t col_last = x_reverse ? region.dim_1 - region.xstrelm + 1 : region.xendelm;
  const std::int64_t num_rows = row_last - row_first + 1;
  const std::int64_t num_cols = col_last - col_first + 1;
  // 0-based columns of a row that are stored: those whose place falls inside XMAXDAT.
  const std::int64_t store_lo = x_reverse ? std::max(col_first, col_last - xmaxdat + 1) - 1
                                          : col_first - 1;
  const std::int64_t store_hi =
      x_reverse ? col_last : std::min(col_last, col_first - 1 + xmaxdat);

  std::span<std::uint8_t> bytes(reinterpret_cast<std::uint8_t*>(buffer.data()),
                                buffer.size_bytes());
  std::int32_t result = 0;
  std::int64_t nread = 0;
  DAX_FILEPREADC(file_id, data_start - 1 + (row_first - 1) * dim_1 * kSize, 0, 0, result, nread,
                 bytes);
  if (result != 0) {
    retstat = result;
    return;
  }

  // The rows form one run of pixels in the file; q counts pixels from its start.
  const std::int64_t total = num_rows * dim_1;
  const std::int64_t piece = static_cast<std::int64_t>(buffer.size());
  for (std::int64_t q0 = 0; q0 < total; q0 += piece) {
    const std::int64_t n = std::min(piece, total - q0);
    DAX_FILEREADC(file_id, n * kSize, swap, result, nread, bytes);
    if (result != 0) {
      retstat = result;  // the raw layer has printed its warning
      return;
    }
    // Walk the piece row segment by row segment.
    for (std::int64_t i = 0; i < n;) {
      const std::int64_t q = q0 + i;
      const std::int64_t row = q / dim_1;  // 0-based among the rows read
      const std::int64_t col = q % dim_1;  // 0-based column of the file
      const std::int64_t segment_end = std::min(n, i + (dim_1 - col));
      const std::int64_t dest_row = y_reverse ? num_rows - 1 - row : row;
      if (dest_row < ymaxdat) {
        const std::int64_t a = std::max(col, store_lo);
        const std::int64_t b = std::min(col + (segment_end - i), store_hi);
        float* out = data.data() + dest_row * xmaxdat;
        const Pixel* in = buffer.data() + i;  // in[c - col] is file column c of this row
        if (x_reverse) {
          for (std::int64_t c = a; c < b; ++c) out[col_last - 1 - c] = convert(in[c - col]);
        } else {
          for (std::int64_t c = a; c < b; ++c) out[c - (col_first - 1)] = convert(in[c - col]);
        }
      }
      i = segment_end;
    }
  }
  xnumdat = static_cast<std::int32_t>(std::min<std::int64_t>(num_cols, xmaxdat));
  ynumdat = static_cast<std::int32_t>(std::min<std::int64_t>(num_rows, ymaxdat));
  retstat = 0;
}

float from_unsigned(std::int16_t word) {
  // The signed value lifted by 2^16 when the sign bit is set: every step is exact in single
  // precision, so this is the unsigned value converted directly (and it vectorises).
  return static_cast<float>(static_cast<std::uint16_t>(word));
}

float from_unsigned(std::int32_t word) {
  // In single precision as the format's readers have always done it: signed value, then 2^32.
  const float value = static_cast<float>(word);
  return word < 0 ? value + 4294967296.0f : value;
}

// The integer readers: signed pixels convert directly, unsigned ones through from_unsigned.
template <typename Word>
void inp_integer_region(std::string_view routine, std::int32_t file_id, bool byte_swap,
                        bool is_signed, bool x_reverse, bool y_reverse, bool transpose,
                        const Region& region, std::int32_t xbin, std::int32_t ybin,
                        std::int64_t data_start, std::span<Word> buffer, std::int32_t xmaxdat,
                        std::int32_t ymaxdat, std::int32_t& xnumdat, std::int32_t& ynumdat,
                        std::span<float> data, std::int32_t& retstat, std::int32_t& status) {
  const auto read = [&](auto convert) {
    inp_region(routine, file_id, byte_swap, x_reverse, y_reverse, transpose, region, xbin, ybin,
               data_start, buffer, xmaxdat, ymaxdat, xnumdat, ynumdat, data, retstat, status,
               convert);
  };
  if (is_signed) {
    read([](Word word) { return static_cast<float>(word); });
  } else {
    read([](Word word) { return from_unsigned(word); });
  }
}

}  // namespace

void DAX_INP_2DR4(std::int32_t file_id, bool byte_swap, bool x_reverse, bool y_reverse,
                  bool transpose, std::int32_t dim_1, std::int32_t dim_2, std::int32_t xstrelm,
                  std::int32_t ystrelm, std::int32_t xendelm, std::int32_t yendelm,
                  std::int32_t xbin, std::int32_t ybin, std::int64_t data_start,
                  std::span<float> buffer, std::int32_t xmaxdat, std::int32_t ymaxdat,
                  std::int32_t& xnumdat, std::int32_t& ynumdat, std::span<float> data,
                  std::int32_t& retstat, std::int32_t& status) {
  inp_region("Subroutine DAX_INP_2DR4 V0.4 ", file_id, byte_swap, x_reverse, y_reverse,
             transpose, Region{dim_1, dim_2, xstrelm, ystrelm, xendelm, yendelm}, xbin, ybin,
             data_start, buffer, xmaxdat, ymaxdat, xnumdat, ynumdat, data, retstat, status,
             [](float value) { return value; });
}

void DAX_INP_2DI2(std::int32_t file_id, bool byte_swap, bool is_signed, bool x_reverse,
                  bool y_reverse, bool transpose, std::int32_t dim_1, std::int32_t dim_2,
                  std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                  std::int32_t yendelm, std::int32_t xbin, std::int32_t ybin,
                  std::int64_t data_start, std::span<std::int16_t> buffer, std::int32_t xmaxdat,
                  std::int32_t ymaxdat, std::int32_t& xnumdat, std::int32_t& ynumdat,
                  std::span<float> data, std::int32_t& retstat, std::int32_t& status) {
  inp_integer_region("Subroutine DAX_INP_2DI2 V0.5 ", file_id, byte_swap, is_signed, x_reverse,
                     y_reverse, transpose, Region{dim_1, dim_2, xstrelm, ystrelm, xendelm, yendelm},
                     xbin, ybin, data_start, buffer, xmaxdat, ymaxdat, xnumdat, ynumdat, data,
                     retstat, status);
}

void DAX_INP_2DI4(std::int32_t file_id, bool byte_swap, bool is_signed, bool x_reverse,
                  bool y_reverse, bool transpose, std::int32_t dim_1, std::int32_t dim_2,
                  std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                  std::int32_t yendelm, std::int32_t xbin, std::int32_t ybin,
                  std::int64_t data_start, std::span<std::int32_t> buffer, std::int32_t xmaxdat,
                  std::int32_t ymaxdat, std::int32_t& xnumdat, std::int32_t& ynumdat,
                  std::span<float> data, std::int32_t& retstat, std::int32_t& status) {
  inp_integer_region("Subroutine DAX_INP_2DI4 V0.4 ", file_id, byte_swap, is_signed, x_reverse,
                     y_reverse, transpose, Region{dim_1, dim_2, xstrelm, ystrelm, xendelm, yendelm},
                     xbin, ybin, data_start, buffer, xmaxdat, ymaxdat, xnumdat, ynumdat, data,
                     retstat, status);
}
