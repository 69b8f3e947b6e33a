// The image writer: a region of a real array as a keyword-header image file, with a 1024-byte
// header and the pixels as 4-byte floats (or 2-byte unsigned integers) in machine byte order.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "dax.h"
#include "ut.h"

namespace {

// Status code of a region or array that does not suit DATA (0 when all is well): the writer
// reads DATA(XSTRELM..XENDELM, YSTRELM..YENDELM), so all of it must lie inside the array.
std::int32_t region_fault(std::int32_t xmaxdat, std::int32_t ymaxdat, std::int32_t xstrelm,
                          std::int32_t ystrelm, std::int32_t xendelm, std::int32_t yendelm,
                          std::size_t data_size) {
  if (xmaxdat <= 0) return 180001;
  if (ymaxdat <= 0) return 180002;
  if (data_size < static_cast<std::uint64_t>(xmaxdat) * static_cast<std::uint64_t>(ymaxdat)) {
    return 180001;
  }
  if (xstrelm < 1 || xstrelm > xendelm || xendelm > xmaxdat) return 180005;
  if (ystrelm < 1 || ystrelm > yendelm || yendelm > ymaxdat) return 180006;
  return 0;
}

// The entry of both writers: true, with ROUTINE recorded, when the status is bad on entry or
// (then also setting the status) the region does not suit DATA.
bool refused(std::string_view routine, std::int32_t xmaxdat, std::int32_t ymaxdat,
             std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
             std::int32_t yendelm, std::span<const float> data, std::int32_t& status) {
  if (st_bad(status, routine)) return true;
  const std::int32_t fault =
      region_fault(xmaxdat, ymaxdat, xstrelm, ystrelm, xendelm, yendelm, data.size());
  if (fault == 0) return false;
  ST_SAVE(routine);
  status = fault;
  return true;
}

std::uint16_t to_unsigned_short(float value) {
  if (!(value > 0.0f)) return 0;  // NaN too
  if (value >= 65535.0f) return 65535;
  return static_cast<std::uint16_t>(std::lround(value));
}

// Writes the region as 2-byte unsigned integers, one row per write. RETSTAT as DAX_OUT_2DR4.
void out_2du2(std::int32_t file_id, std::int32_t xmaxdat, std::int32_t xstrelm,
              std::int32_t ystrelm, std::int32_t xendelm, std::int32_t yendelm,
              std::span<const float> data, std::int32_t& retstat) {
  const std::size_t width = static_cast<std::size_t>(xendelm - xstrelm + 1);
  std::vector<std::uint16_t> row(width);
  std::vector<std::uint8_t> bytes(2 * width);
  retstat = 0;
  for (std::int32_t y = ystrelm; y <= yendelm; ++y) {
    const std::size_t first = static_cast<std::size_t>(y - 1) * static_cast<std::size_t>(xmaxdat) +
                              static_cast<std::size_t>(xstrelm - 1);
    for (std::size_t i = 0; i < width; ++i) row[i] = to_unsigned_short(data[first + i]);
    std::memcpy(bytes.data(), row.data(), bytes.size());
    std::int32_t result = 0;
    std::int64_t written = 0;
    DAX_FILEWRITEC(file_id, static_cast<std::int64_t>(bytes.size()), 0, bytes, result, written);
    if (result != 0 && retstat == 0) retstat = result;
  }
}

// DAX_OUT_ZELFA for any pixel type; ROUTINE is the public routine's text.
void out_zelfa(std::string_view routine, std::string_view file_name, DaxPixelType pixel_type,
               std::int32_t xmaxdat, std::int32_t ymaxdat, std::int32_t xstrelm,
               std::int32_t ystrelm, std::int32_t xendelm, std::int32_t yendelm,
               std::span<const float> data, std::int32_t& retstat, std::int32_t& status) {
  if (refused(routine, xmaxdat, ymaxdat, xstrelm, ystrelm, xendelm, yendelm, data, status)) {
    return;
  }

  const auto write_pixels = [&](std::int32_t file_id, std::int32_t& write_status) {
    std::int32_t pixel_result = 0;
    if (pixel_type == DaxPixelType::UNSIGNED_SHORT) {
      out_2du2(file_id, xmaxdat, xstrelm, ystrelm, xendelm, yendelm, data, pixel_result);
    } else {
      DAX_OUT_2DR4(file_id, xmaxdat, ymaxdat, xstrelm, ystrelm, xendelm, yendelm, data,
                   pixel_result, write_status);
    }
    return pixel_result;
  };
  dax_write_zelfa_file(routine, file_name, pixel_type, UT_BIG_ENDIAN(status),
                       xendelm - xstrelm + 1, yendelm - ystrelm + 1, write_pixels, retstat, status);
}

}  // namespace

void DAX_OUT_2DR4(std::int32_t file_id, std::int32_t xmaxdat, std::int32_t ymaxdat,
                  std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                  std::int32_t yendelm, std::span<const float> data, std::int32_t& retstat,
                  std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DAX_OUT_2DR4 V0.1 ";
  if (refused(kRoutine, xmaxdat, ymaxdat, xstrelm, ystrelm, xendelm, yendelm, data, status)) {
    return;
  }
  const std::int64_t width = xendelm - xstrelm + 1;
  retstat = 0;
  for (std::int32_t y = ystrelm; y <= yendelm; ++y) {
    const std::size_t first = static_cast<std::size_t>(y - 1) * static_cast<std::size_t>(xmaxdat) +
                              static_cast<std::size_t>(xstrelm - 1);
    std::int32_t result = 0;
    std::int64_t written = 0;
    DAX_FILEWREALC(file_id, width, data.subspan(first, static_cast<std::size_t>(width)), result,
                   written);
    if (result != 0 && retstat == 0) retstat = result;
  }
}

void DAX_OUT_ZELFA(std::string_view file_name, std::int32_t xmaxdat, std::int32_t ymaxdat,
                   std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                   std::int32_t yendelm, std::span<const float> data, std::int32_t& retstat,
                   std::int32_t& status) {
  out_zelfa("Subroutine DAX_OUT_ZELFA V0.1 ", file_name, DaxPixelType::FLOAT, xmaxdat, ymaxdat,
            xstrelm, ystrelm, xendelm, yendelm, data, retstat, status);
}

void DAX_OUT_ZELFA_TYPED(std::string_view file_name, DaxPixelType pixel_type,
                         std::int32_t xmaxdat, std::int32_t ymaxdat, std::int32_t xstrelm,
                         std::int32_t ystrelm, std::int32_t xendelm, std::int32_t yendelm,
                         std::span<const float> data, std::int32_t& retstat,
                         std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DAX_OUT_ZELFA_TYPED V0.1 ";
  if (status == ST_OK && pixel_type != DaxPixelType::FLOAT &&
      pixel_type != DaxPixelType::UNSIGNED_SHORT) {
    ST_SAVE(kRoutine);
    status = 180017;  // the other types are written from their own pixels only
    return;
  }
  out_zelfa(kRoutine, file_name, pixel_type, xmaxdat, ymaxdat, xstrelm, ystrelm, xendelm,
            yendelm, data, retstat, status);
}
