// What the image writers share (the file with its header), and the writer of pixels already in
// their stored type: every pixel type of the format, in either byte order.
#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "dax.h"
#include "ut.h"

std::int32_t dax_pixel_bytes(DaxPixelType pixel_type) {
  return pixel_type == DaxPixelType::UNSIGNED_SHORT || pixel_type == DaxPixelType::SIGNED_SHORT
             ? 2
             : 4;
}

namespace {

// Builds and writes the 1024-byte header (HeaderID, Image 1, ByteOrder, DataType, Dim_1, Dim_2)
// to FILE_ID; RETSTAT is the write's result (nothing is written with a bad status).
void write_header(std::int32_t file_id, DaxPixelType pixel_type, bool big_endian,
                  std::int32_t dim_1, std::int32_t dim_2, std::int32_t& retstat,
                  std::int32_t& status) {
  // DataType by DaxPixelType, in the order of its values.
  constexpr std::string_view kDataType[] = {"FLOAT", "UnsignedShort", "SignedShort",
                                            "UnsignedInteger", "SignedInteger"};
  const std::string_view data_type = kDataType[static_cast<int>(pixel_type)];
  retstat = 0;
  DAX_OPEN_ZELFAHEADER(file_id, retstat);
  DAX_ADD_ZELFASTRING(file_id, "HeaderID", "KV:000001:000000:000000", status);
  DAX_ADD_ZELFAINTEGER(file_id, "Image", 1, status);
  DAX_ADD_ZELFASTRING(file_id, "ByteOrder", big_endian ? "HighByteFirst" : "LowByteFirst", status);
  DAX_ADD_ZELFASTRING(file_id, "DataType", data_type, status);
  DAX_ADD_ZELFAINTEGER(file_id, "Dim_1", dim_1, status);
  DAX_ADD_ZELFAINTEGER(file_id, "Dim_2", dim_2, status);
  if (status == ST_OK) DAX_CLOSE_ZELFAHEADER(file_id, retstat);
}

}  // namespace

void dax_write_zelfa_file(
    std::string_view routine, std::string_view file_name, DaxPixelType pixel_type,
    bool big_endian, std::int32_t dim_1, std::int32_t dim_2,
    const std::function<std::int32_t(std::int32_t file_id, std::int32_t& status)>& write_pixels,
    std::int32_t& retstat, std::int32_t& status) {
  std::string name(file_name);
  std::int32_t file_id = 0;
  std::int32_t open_result = 0;
  DAX_OPENFILE(false, "WRITE", name, open_result, file_id, status);
  if (status != ST_OK || open_result != 0) {
    retstat = 1;
    st_bad(status, routine);
    return;
  }

  // From here on the file is closed on every path, so that the output slot is free for the
  // next writer even when the status went bad.
  std::int32_t write_result = 0;
  write_header(file_id, pixel_type, big_endian, dim_1, dim_2, write_result, status);
  if (status == ST_OK) {
    const std::int32_t pixel_result = write_pixels(file_id, status);
    if (write_result == 0) write_result = pixel_result;
  }
  std::int32_t close_result = 0;
  DAX_FILECLOSEC(file_id, close_result);
  retstat = write_result != 0 ? write_result : close_result;
  st_bad(status, routine);
}

void DAX_OUT_ZELFA_PIXELS(std::string_view file_name, DaxPixelType pixel_type, bool big_endian,
                          std::int32_t dim_1, std::int32_t dim_2,
                          std::span<const std::uint8_t> pixels, std::int32_t& retstat,
                          std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DAX_OUT_ZELFA_PIXELS V0.1 ";
  if (st_bad(status, kRoutine)) return;
  const std::int64_t unit = dax_pixel_bytes(pixel_type);
  const std::int64_t row_bytes = std::int64_t{std::max(dim_1, 0)} * unit;
  std::int32_t fault = 0;
  if (dim_1 < 1) {
    fault = 180001;
  } else if (dim_2 < 1) {
    fault = 180002;
  } else if (std::ssize(pixels) < row_bytes * dim_2) {
    fault = 180001;
  }
  if (fault != 0) {
    ST_SAVE(kRoutine);
    status = fault;
    return;
  }

  // One row at a time through a buffer that the raw layer swaps in place.
  const std::int32_t swap = big_endian == UT_BIG_ENDIAN(status) ? 0 : (unit == 2 ? 1 : 2);
  const auto write_rows = [&](std::int32_t file_id, std::int32_t&) {
    std::vector<std::uint8_t> row(static_cast<std::size_t>(row_bytes));
    std::int32_t first_failure = 0;
    for (std::int64_t y = 0; y < dim_2; ++y) {
      std::memcpy(row.data(), pixels.data() + y * row_bytes, row.size());
      std::int32_t result = 0;
      std::int64_t written = 0;
      DAX_FILEWRITEC(file_id, row_bytes, swap, row, result, written);
      if (result != 0 && first_failure == 0) first_failure = result;
    }
    return first_failure;
  };
  dax_write_zelfa_file(kRoutine, file_name, pixel_type, big_endian, dim_1, dim_2, write_rows,
                       retstat, status);
}
