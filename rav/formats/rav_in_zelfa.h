// The keyword-header image reader: a text header of "key = value;" pairs in braces followed
// directly by the raw pixels (4-byte reals, 2- or 4-byte integers, either byte order).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// RETSTAT values of RAV_IN_ZELFA besides 0 (region read) and those of the open and close
// (1 to 3, with STATUS 1000 or 1016):
// pixel data end before the region does (the file is truncated); DATA may hold part of it
constexpr std::int32_t RAV_IN_ZELFA_SHORT_DATA = 5;
// the region lies beyond the image; DATA untouched
constexpr std::int32_t RAV_IN_ZELFA_BEYOND_IMAGE = 6;
// the file was opened but its image cannot be used (header unreadable, a compression or pixel
// type that cannot be input, image 1 not found, no pixel type known); a warning has been
// printed and DATA is untouched
constexpr std::int32_t RAV_IN_ZELFA_UNUSABLE = 7;

// Pixel types of the format.
enum class ZelfaPixelType { NONE, REAL4, INT2, INT4 };

// The reader's process-wide state. A header without ByteOrder or DataType is read with the
// values of the previous header read.
struct RavInZelfaState {
  bool big_endian_file = false;  // the file byte order (little-endian until told otherwise)
  ZelfaPixelType pixel_type = ZelfaPixelType::NONE;
  bool pixel_signed = false;
};
extern RavInZelfaState rav_in_zelfa_state;

// Reads columns XSTRELM..XENDELM of rows YSTRELM..YENDELM (1-based, inclusive) of image 1 of
// FILE_NAME into the start of DATA (XMAXDAT x YMAXDAT, first index fastest) as floats;
// XNUMDAT and YNUMDAT give the width and height read. Bad dimensions (or DATA smaller than
// XMAXDAT x YMAXDAT) or region: STATUS 180001, 180002, 180005, 180006 (RETSTAT unchanged); a
// file that cannot be opened: STATUS 1000 with the open's RETSTAT. Otherwise RETSTAT reports
// the outcome as listed above; XNUMDAT and YNUMDAT are set only when it is 0.
void RAV_IN_ZELFA(std::int32_t xmaxdat, std::int32_t ymaxdat, std::int32_t xstrelm,
                  std::int32_t ystrelm, std::int32_t xendelm, std::int32_t yendelm,
                  std::string_view file_name, std::int32_t& retstat, std::int32_t& xnumdat,
                  std::int32_t& ynumdat, std::span<float> data, std::int32_t& status);

// The size of image 1 of FILE_NAME as its header gives it (-1 for a size the header lacks), with
// the header's byte order and pixel type taken into the reader's state as RAV_IN_ZELFA takes
// them. RETSTAT 0 when the header was found, RAV_IN_ZELFA_UNUSABLE (with its warning) when not;
// a file that cannot be opened or closed as RAV_IN_ZELFA. DIM_1 and DIM_2 are set only when
// RETSTAT is 0.
void rav_in_zelfa_size(std::string_view file_name, std::int32_t& retstat, std::int32_t& dim_1,
                       std::int32_t& dim_2, std::int32_t& status);
