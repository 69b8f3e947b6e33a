// The header of an image file: the keyword-header format, and TIFF (by the file's extension, as
// the worker chooses its reader); another format of single images is one more branch here,
// filling the same MasterImageHeader. An HDF5 file, which holds a whole scan, is read by
// master_find_hdf5_scan.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "master.h"
#include "rav_image_region.h"
#include "rav_in_image.h"
#include "rav_in_zelfa.h"
#include "rav_tiff_open.h"
#include "ut.h"

namespace {
// Bytes before the pixel data of a keyword-header image: up to the byte after the first "}",
// which the reader skips. -1 when there is no header in the first 65536 bytes.
std::int64_t zelfa_data_start(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::string head(65536, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  const std::size_t open = head.find('{');
  const std::size_t close = open == std::string::npos ? open : head.find('}', open);
  return close == std::string::npos ? -1 : static_cast<std::int64_t>(close) + 2;
}

std::string zelfa_type_text(ZelfaPixelType type, bool is_signed, std::int64_t& bytes) {
  switch (type) {
    case ZelfaPixelType::REAL4: bytes = 4; return "32-bit float";
    case ZelfaPixelType::INT2: bytes = 2; return is_signed ? "signed 16-bit" : "unsigned 16-bit";
    case ZelfaPixelType::INT4: bytes = 4; return is_signed ? "signed 32-bit" : "unsigned 32-bit";
    default: bytes = 0; return {};
  }
}

// The first page of a TIFF file: its size and pixel type (one sample per pixel, of a sample
// type the worker's TIFF reader takes).
bool read_tiff_header(const std::string& name, MasterImageHeader& header, std::string& problem) {
  RavTiffFile file;
  file.descriptor = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (file.descriptor < 0) {
    problem = "Cannot open " + name + ": " + std::strerror(errno);
    return false;
  }
  TIFF* tiff = rav_tiff_open(file, name, "r");
  std::uint32_t width = 0, height = 0;
  std::uint16_t bits = 0, format = SAMPLEFORMAT_UINT, samples = 1;
  if (tiff != nullptr) {
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    header.big_endian = TIFFIsBigEndian(tiff) != 0;
    TIFFClose(tiff);
  }
  ::close(file.descriptor);
  RavSampleType type = RavSampleType::UINT8;
  if (tiff == nullptr || samples != 1 || width < 1 || height < 1 || width > INT32_MAX ||
      height > INT32_MAX || !rav_sample_type(format, bits, type)) {
    problem = "The TIFF header of " + name +
              " cannot be read (not one sample per pixel of a type the worker reads)";
    return false;
  }
  const bool real = type == RavSampleType::FLOAT32 || type == RavSampleType::FLOAT64;
  const bool is_signed = type == RavSampleType::INT8 || type == RavSampleType::INT16 ||
                         type == RavSampleType::INT32;
  header.DIM_1 = static_cast<std::int32_t>(width);
  header.DIM_2 = static_cast<std::int32_t>(height);
  header.pixel_bytes = static_cast<std::int64_t>(rav_sample_bytes(type));
  header.pixel_type = real ? std::to_string(bits) + "-bit float"
                           : std::string(is_signed ? "signed " : "unsigned ") +
                                 std::to_string(bits) + "-bit";
  return true;
}

bool read_zelfa_header(const std::string& name, MasterImageHeader& header, std::string& problem) {
  std::int32_t status = ST_OK, retstat = 0;
  // Byte order and pixel type carry over from the previous header when one lacks them: every
  // image is read as if it were the first.
  rav_in_zelfa_state = RavInZelfaState{};
  rav_in_zelfa_size(name, retstat, header.DIM_1, header.DIM_2, status);
  if (status != ST_OK) {
    problem = "Cannot open " + name + ": " + std::strerror(errno != 0 ? errno : ENOENT);
    return false;
  }
  header.pixel_type = zelfa_type_text(rav_in_zelfa_state.pixel_type,
                                      rav_in_zelfa_state.pixel_signed, header.pixel_bytes);
  header.big_endian = rav_in_zelfa_state.big_endian_file;
  if (retstat != 0 || header.pixel_bytes == 0 || header.DIM_1 < 1 || header.DIM_2 < 1) {
    problem = "The image header of " + name +
              " cannot be read (no DIM_1, DIM_2 and DataType of a pixel type the worker reads)";
    return false;
  }
  return true;
}
}  // namespace

bool master_read_header(const std::string& name, MasterImageHeader& header,
                        std::string& problem) {
  header = MasterImageHeader{};
  struct stat info {};
  errno = 0;
  if (::stat(name.c_str(), &info) != 0) {
    problem = "Cannot open " + name + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    problem = name + " is not a file";
    return false;
  }
  // TIFF: libtiff checks the file's layout as it reads it.
  if (rav_image_format_of(name) == RavImageFormat::TIFF) {
    return read_tiff_header(name, header, problem);
  }
  if (!read_zelfa_header(name, header, problem)) return false;
  const std::int64_t start = zelfa_data_start(name);
  const std::int64_t needed =
      start + std::int64_t{header.DIM_1} * header.DIM_2 * header.pixel_bytes;
  if (start < 0 || info.st_size < needed) {
    problem = name + " is shorter (" + std::to_string(info.st_size) + " bytes) than its " +
              std::to_string(header.DIM_1) + " x " + std::to_string(header.DIM_2) + " pixels";
    return false;
  }
  return true;
}
