#include "rav_slice_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

SliceFile::~SliceFile() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

bool SliceFile::open(const std::string& name, std::int64_t record_bytes, int& error_number,
                     Mode mode) {
  if (descriptor_ >= 0) ::close(descriptor_);
  error_number = 0;
  name_ = name;
  record_bytes_ = record_bytes;
  const int flags = O_WRONLY | O_CLOEXEC |
                    (mode == Mode::CUT    ? O_CREAT | O_TRUNC
                     : mode == Mode::NEW ? O_CREAT | O_EXCL
                                         : 0);
  descriptor_ = ::open(name.c_str(), flags, 0666);
  if (descriptor_ < 0) error_number = errno != 0 ? errno : EIO;
  return descriptor_ >= 0;
}

std::string SliceFile::write(std::int32_t record, std::span<const float> slice) {
  const auto bytes = static_cast<std::int64_t>(slice.size_bytes());
  if (descriptor_ < 0) {
    return "ERROR: Output file " + name_ + " is not open for record " + std::to_string(record);
  }
  if (record < 1 || bytes != record_bytes_) {
    return "ERROR: Record " + std::to_string(record) + " of " + std::to_string(bytes) +
           " bytes does not fit output file " + name_ + " (records of " +
           std::to_string(record_bytes_) + " bytes)";
  }
  const char* data = reinterpret_cast<const char*>(slice.data());
  auto offset = static_cast<off_t>(static_cast<std::int64_t>(record - 1) * record_bytes_);
  std::int64_t left = bytes;
  while (left > 0) {
    const ssize_t written = ::pwrite(descriptor_, data, static_cast<std::size_t>(left), offset);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      const int error = written < 0 ? errno : ENOSPC;  // no progress at all: the device is full
      return "ERROR: Problem writing record " + std::to_string(record) + " of output file " +
             name_ + ": " + std::strerror(error);
    }
    data += written;
    offset += written;
    left -= written;
  }
  return "";
}

std::string SliceFile::sync() {
  if (descriptor_ < 0) return "";
  struct stat info {};
  // Devices and pipes keep nothing to force out.
  if (::fstat(descriptor_, &info) != 0 || !S_ISREG(info.st_mode)) return "";
  if (::fdatasync(descriptor_) != 0 && errno != EINVAL) {
    return "ERROR: Problem writing output file " + name_ + " to the disk: " +
           std::strerror(errno);
  }
  return "";
}

std::string SliceFile::close() {
  if (descriptor_ < 0) return "";
  const int descriptor = descriptor_;
  descriptor_ = -1;
  if (::close(descriptor) != 0 && errno != EINTR) {
    return "ERROR: Problem closing output file " + name_ + ": " + std::strerror(errno);
  }
  return "";
}
