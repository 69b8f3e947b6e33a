// The keyword-header image reader: open, find image 1's header, parse it, read the region,
// close. The file is closed on every path: the raw layer has only one input slot.
#include "rav_in_zelfa.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "dax.h"
#include "ut.h"

RavInZelfaState rav_in_zelfa_state;

namespace {

constexpr std::string_view kRoutine = "Subroutine RAV_IN_ZELFA V0.4 ";
constexpr std::int64_t kBlockBytes = 1024;
constexpr std::size_t kMaxKey = 64;
constexpr std::size_t kMaxValue = 132;
// How far the header search goes: a header must start within this many bytes of the start of
// the file (or of the end of the previous image's pixels, as its Size gives them), and end
// within this many bytes of its "{". A file that never ends (a device such as /dev/zero)
// would otherwise be searched for ever.
constexpr std::int64_t kSearchBytes = 65536;

// The file as a stream of bytes, read in 1024-byte blocks from its start.
class ByteStream {
 public:
  explicit ByteStream(std::int32_t file_id) : file_id_(file_id) {}

  // The next byte; false when the block holding it could not be read in full, or when it lies
  // at or beyond the limit.
  bool next(std::uint8_t& byte) {
    if (position_ >= limit_) {
      beyond_limit_ = true;
      return false;
    }
    while (position_ >= block_end_) {
      std::int32_t result = 0;
      std::int64_t nread = 0;
      DAX_FILEREADC(file_id_, kBlockBytes, 0, result, nread, block_);
      if (result != 0) return false;
      block_end_ += kBlockBytes;
    }
    byte = block_[static_cast<std::size_t>(position_ - (block_end_ - kBlockBytes))];
    ++position_;
    return true;
  }
  void skip() { ++position_; }
  // 0-based offset of the next byte.
  std::int64_t position() const { return position_; }
  // Bytes from offset LIMIT on are not read.
  void set_limit(std::int64_t limit) { limit_ = limit; }
  bool beyond_limit() const { return beyond_limit_; }

 private:
  std::int32_t file_id_;
  std::array<std::uint8_t, kBlockBytes> block_{};
  std::int64_t block_end_ = 0;  // file offset just past the block in hand
  std::int64_t position_ = 0;
  std::int64_t limit_ = INT64_MAX;
  bool beyond_limit_ = false;
};

// What the header search found.
enum class Found { IMAGE_1, UNUSABLE };

struct HeaderValues {
  std::int32_t image = -1;
  std::int32_t dim_1 = -1;
  std::int32_t dim_2 = -1;
  std::int64_t data_start = 0;  // 1-based byte of the first pixel
};

void write_lines(std::initializer_list<std::string_view> lines, std::int32_t& status) {
  for (std::string_view line : lines) UT_WRITE(line, status);
}

void conversion_warning(const std::string& key, const std::string& value, std::int32_t& status) {
  write_lines({"WARNING: Problem of converting key value",
               "         Keyword = " + key.substr(0, 50), "         Value   = " + value.substr(0, 50)},
              status);
}

// Converts an integer key value; a value that does not convert leaves TARGET as it was.
void integer_value(const std::string& key, const std::string& value, std::int32_t& target,
                   std::int32_t& status) {
  bool ok = false;
  std::int32_t converted = 0;
  UT_TOKTI(value, ok, converted, status);
  if (ok) {
    target = converted;
  } else {
    conversion_warning(key, value, status);
  }
}

// Acts on one key = value pair; false when the image cannot be input.
bool take_pair(const std::string& raw_key, const std::string& raw_value, HeaderValues& header,
               std::int32_t& size, std::int32_t& status) {
  RavInZelfaState& state = rav_in_zelfa_state;
  const std::string key = UT_UPPER(raw_key);
  if (key == "IMAGE") {
    integer_value(key, raw_value, header.image, status);
  } else if (key == "SIZE") {
    integer_value(key, raw_value, size, status);
  } else if (key == "DIM_1") {
    integer_value(key, raw_value, header.dim_1, status);
  } else if (key == "DIM_2") {
    integer_value(key, raw_value, header.dim_2, status);
  } else if (key == "BYTEORDER") {
    const std::string value = UT_UPPER(raw_value);
    if (value == "HIGHBYTEFIRST") {
      state.big_endian_file = true;
    } else if (value == "LOWBYTEFIRST") {
      state.big_endian_file = false;
    } else {
      conversion_warning(key, value, status);
    }
  } else if (key == "COMPRESSION") {
    const std::string value = UT_UPPER(raw_value);
    if (value != "NONE" && value != "NOSPECIFICVALUE") {
      write_lines({"WARNING: The image data in this file has been written using a compression",
                   "         algorithm. It cannot be input."},
                  status);
      return false;
    }
  } else if (key == "DATATYPE") {
    const std::string value = UT_UPPER(raw_value);
    if (value == "UNSIGNEDINTEGER" || value == "UNSIGNEDLONG") {
      state.pixel_type = ZelfaPixelType::INT4;
      state.pixel_signed = false;
    } else if (value == "SIGNEDINTEGER") {
      state.pixel_type = ZelfaPixelType::INT4;
      state.pixel_signed = true;
    } else if (value == "UNSIGNEDSHORT") {
      state.pixel_type = ZelfaPixelType::INT2;
      state.pixel_signed = false;
    } else if (value == "SIGNEDSHORT") {
      state.pixel_type = ZelfaPixelType::INT2;
      state.pixel_signed = true;
    } else if (value == "REAL" || value == "FLOAT" || value == "FLOATVALUE") {
      state.pixel_type = ZelfaPixelType::REAL4;
      state.pixel_signed = true;
    } else {
      write_lines({"WARNING: The image data in this file has been written using an unsupported",
                   "         data type. It cannot be input."},
                  status);
      return false;
    }
  }
  // "HEADERID" and every other key: nothing to do.
  return true;
}

// A read of the header that failed: WARNING names the part being read, unless the search went
// beyond its limit, which is said instead.
Found unreadable(const ByteStream& stream, std::string_view warning, std::int32_t& status) {
  if (stream.beyond_limit()) {
    UT_WRITE("WARNING: No complete header found within " + std::to_string(kSearchBytes) +
                 " bytes: image not input",
             status);
  } else {
    UT_WRITE(warning, status);
  }
  return Found::UNUSABLE;
}

// Parses the pairs of one header, from after its "{" to its "}"; SIZE receives its Size.
bool parse_header(ByteStream& stream, HeaderValues& header, std::int32_t& size,
                  std::int32_t& status) {
  stream.set_limit(stream.position() + kSearchBytes);
  std::uint8_t byte = 0;
  for (;;) {
    // Bytes below 34 (blanks, control characters, "!") are ignored in keys and values.
    std::string key;
    for (;;) {
      if (!stream.next(byte)) {
        unreadable(stream, "WARNING: Error in reading keyword", status);
        return false;
      }
      if (byte == '=') break;
      if (byte == '}') return true;
      if (byte >= 34 && key.size() < kMaxKey) key.push_back(static_cast<char>(byte));
    }
    std::string value;
    for (;;) {
      if (!stream.next(byte)) {
        unreadable(stream, "WARNING: Error in reading key value", status);
        return false;
      }
      if (byte == ';' || byte == '!') break;
      if (byte >= 34 && value.size() < kMaxValue) value.push_back(static_cast<char>(byte));
    }
    if (!take_pair(key, value, header, size, status)) return false;
  }
}

// Scans for the header of image 1 and parses every header on the way.
Found find_image_1(ByteStream& stream, HeaderValues& header, std::int32_t& status) {
  std::uint8_t byte = 0;
  stream.set_limit(kSearchBytes);
  for (;;) {
    // Anything before "{" is skipped.
    do {
      if (!stream.next(byte)) {
        return unreadable(stream, "WARNING: Error in reading start of header: image not input",
                          status);
      }
    } while (byte != '{');

    std::int32_t size = -1;
    if (!parse_header(stream, header, size, status)) return Found::UNUSABLE;

    // The byte after "}" (a line feed) is skipped; the pixels follow it.
    stream.skip();
    header.data_start = stream.position() + 1;
    if (header.image == 1) return Found::IMAGE_1;
    if (size > 0) {
      UT_WRITE("INFO: \"Image\" number " + ut_fmt_int(header.image, 8) +
                   " has been found, continuing search ...",
               status);
      // On through the pixel data to the next "{".
      stream.set_limit(stream.position() + std::int64_t{size} + kSearchBytes);
      continue;
    }
    write_lines({"ERROR: The required \"Image\" number has not been found and I think that",
                 "       there are no more \"Image\" sections, since the \"Size\" keyword",
                 "       has not been found either", " "},
                status);
    UT_WRITE("        \"Image\" number " + ut_fmt_int(header.image, 8) + "was the last found",
             status);
    return Found::UNUSABLE;
  }
}

// The line that lists a bad region; true when the region is bad.
bool bad_region(std::string_view axis, std::int32_t first, std::int32_t last,
                std::int32_t maximum, std::int32_t& status) {
  if (first >= 1 && first <= last &&
      static_cast<std::int64_t>(last) - first + 1 <= static_cast<std::int64_t>(maximum)) {
    return false;
  }
  UT_WRITE(std::string(axis) + "strelm, " + std::string(axis) + "endelm, " + std::string(axis) +
               "maxdat = " + ut_fmt_int(first, 6) + ut_fmt_int(last, 6) + ut_fmt_int(maximum, 6),
           status);
  return true;
}

// Reads the region with the reader for the pixel type; RETSTAT as the region readers give it.
void read_region(std::int32_t file_id, bool byte_swap, const HeaderValues& header,
                 std::int32_t xmaxdat, std::int32_t ymaxdat, std::int32_t xstrelm,
                 std::int32_t ystrelm, std::int32_t xendelm, std::int32_t yendelm,
                 std::int32_t& xnumdat, std::int32_t& ynumdat, std::span<float> data,
                 std::int32_t& retstat, std::int32_t& status) {
  // One buffer is 1024 bytes, as the header blocks are.
  const RavInZelfaState& state = rav_in_zelfa_state;
  if (state.pixel_type == ZelfaPixelType::REAL4) {
    std::array<float, 256> buffer{};
    DAX_INP_2DR4(file_id, byte_swap, false, false, false, header.dim_1, header.dim_2, xstrelm,
                 ystrelm, xendelm, yendelm, 1, 1, header.data_start, buffer, xmaxdat, ymaxdat,
                 xnumdat, ynumdat, data, retstat, status);
  } else if (state.pixel_type == ZelfaPixelType::INT2) {
    std::array<std::int16_t, 512> buffer{};
    DAX_INP_2DI2(file_id, byte_swap, state.pixel_signed, false, false, false, header.dim_1,
                 header.dim_2, xstrelm, ystrelm, xendelm, yendelm, 1, 1, header.data_start,
                 buffer, xmaxdat, ymaxdat, xnumdat, ynumdat, data, retstat, status);
  } else {
    std::array<std::int32_t, 256> buffer{};
    DAX_INP_2DI4(file_id, byte_swap, state.pixel_signed, false, false, false, header.dim_1,
                 header.dim_2, xstrelm, ystrelm, xendelm, yendelm, 1, 1, header.data_start,
                 buffer, xmaxdat, ymaxdat, xnumdat, ynumdat, data, retstat, status);
  }
}

// Opens FILE_NAME, finds the header of image 1 and hands the open file and that header to USE,
// which returns the RETSTAT of what it did; closes the file on every path. A file that cannot be
// opened: STATUS 1000 with the open's RETSTAT; a failed close: STATUS 1016 with its RETSTAT.
template <typename Use>
void on_image_1(std::string_view file_name, std::int32_t& retstat, std::int32_t& status, Use use) {
  std::int32_t file_id = 0;
  DAX_FILEOPEN(file_name, "READ", retstat, file_id, status);
  if (st_bad(status, kRoutine)) return;
  if (retstat != 0) {
    ST_SAVE(kRoutine);
    status = 1000;
    return;
  }

  HeaderValues header;
  ByteStream stream(file_id);
  const std::int32_t result = find_image_1(stream, header, status) == Found::UNUSABLE
                                  ? RAV_IN_ZELFA_UNUSABLE
                                  : use(file_id, header);

  std::int32_t close_result = 0;
  DAX_FILECLOSEC(file_id, close_result);
  retstat = result;
  if (st_bad(status, kRoutine)) return;
  if (close_result != 0) {
    ST_SAVE(kRoutine);
    status = 1016;
    retstat = close_result;
  }
}

}  // namespace

void RAV_IN_ZELFA(std::int32_t xmaxdat, std::int32_t ymaxdat, std::int32_t xstrelm,
                  std::int32_t ystrelm, std::int32_t xendelm, std::int32_t yendelm,
                  std::string_view file_name, std::int32_t& retstat, std::int32_t& xnumdat,
                  std::int32_t& ynumdat, std::span<float> data, std::int32_t& status) {
  if (st_bad(status, kRoutine)) return;
  std::int32_t fault = 0;
  if (xmaxdat < 1 || static_cast<std::uint64_t>(data.size()) <
                         static_cast<std::uint64_t>(xmaxdat) * static_cast<std::uint64_t>(std::max(ymaxdat, 0))) {
    fault = 1;
  } else if (ymaxdat < 1) {
    fault = 2;
  } else if (bad_region("x", xstrelm, xendelm, xmaxdat, status)) {
    fault = 5;
  } else if (bad_region("y", ystrelm, yendelm, ymaxdat, status)) {
    fault = 6;
  }
  if (fault != 0) {
    ST_SAVE(kRoutine);
    status = 180000 + fault;
    return;
  }

  on_image_1(file_name, retstat, status, [&](std::int32_t file_id, const HeaderValues& header) {
    if (xendelm > header.dim_1 || yendelm > header.dim_2) return RAV_IN_ZELFA_BEYOND_IMAGE;
    if (rav_in_zelfa_state.pixel_type == ZelfaPixelType::NONE) {
      UT_WRITE("WARNING: No data type is known for this image. It cannot be input.", status);
      return RAV_IN_ZELFA_UNUSABLE;
    }
    std::int32_t result = 0;
    const bool byte_swap = rav_in_zelfa_state.big_endian_file != UT_BIG_ENDIAN(status);
    read_region(file_id, byte_swap, header, xmaxdat, ymaxdat, xstrelm, ystrelm, xendelm, yendelm,
                xnumdat, ynumdat, data, result, status);
    return result;
  });
}

void rav_in_zelfa_size(std::string_view file_name, std::int32_t& retstat, std::int32_t& dim_1,
                       std::int32_t& dim_2, std::int32_t& status) {
  if (st_bad(status, kRoutine)) return;
  on_image_1(file_name, retstat, status, [&](std::int32_t, const HeaderValues& header) {
    dim_1 = header.dim_1;
    dim_2 = header.dim_2;
    return std::int32_t{0};
  });
}
