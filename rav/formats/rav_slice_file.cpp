#include "rav_slice_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "ut.h"

SliceFile::~SliceFile() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

bool SliceFile::open(const std::string& name, std::int64_t record_bytes, int& error_number,
                     bool keep) {
  if (descriptor_ >= 0) ::close(descriptor_);
  error_number = 0;
  name_ = name;
  record_bytes_ = record_bytes;
  if (writer_) {
    error_number = keep ? EINVAL : writer_->create(name, geometry_);
    writer_open_ = error_number == 0;
    return writer_open_;
  }
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (keep ? 0 : O_TRUNC);
  descriptor_ = ::open(name.c_str(), flags, 0666);
  if (descriptor_ < 0) error_number = errno != 0 ? errno : EIO;
  return descriptor_ >= 0;
}

std::string SliceFile::write(std::int32_t record, std::span<const float> slice) {
  if (writer_) return writer_->write(record, slice);
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

std::string SliceFile::close() {
  if (writer_) {
    writer_open_ = false;
    return writer_->finish();
  }
  if (descriptor_ < 0) return "";
  const int descriptor = descriptor_;
  descriptor_ = -1;
  if (::close(descriptor) != 0 && errno != EINTR) {
    return "ERROR: Problem closing output file " + name_ + ": " + std::strerror(errno);
  }
  return "";
}

void SliceFile::use_format(RavVolumeFormat format, const RavVolumeGeometry& geometry) {
  geometry_ = geometry;
  writer_open_ = false;
  if (format == RavVolumeFormat::TIFF) {
    writer_ = rav_tiff_volume_writer();
  } else if (format == RavVolumeFormat::HDF5) {
    writer_ = rav_hdf5_volume_writer();
  } else {
    writer_.reset();
  }
}

void SliceFile::abandon() {
  if (writer_) {
    writer_open_ = false;
    writer_->abandon();
    return;
  }
  const bool opened = descriptor_ >= 0;
  if (opened) ::close(descriptor_);
  descriptor_ = -1;
  if (opened) ::unlink(name_.c_str());
}

bool rav_volume_format_named(std::string_view name, RavVolumeFormat& format) {
  const std::string text = UT_UPPER(name);
  if (text.empty() || text == "RAW") {
    format = RavVolumeFormat::RAW;
  } else if (text == "TIFF") {
    format = RavVolumeFormat::TIFF;
  } else if (text == "HDF5") {
    format = RavVolumeFormat::HDF5;
  } else {
    return false;
  }
  return true;
}
