// The header of an image file. The one routine of rav_master that knows the image formats: a
// reader of another format (TIFF, HDF5) is one more branch here, chosen by the file's name or
// first bytes, filling the same MasterImageHeader.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "master.h"
#include "rav_in_zelfa.h"
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
  // Keyword-header images (the only format the worker reads today).
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
