#include "rav_slice_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "ut.h"

SliceFile::~SliceFile() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

bool SliceFile::open(const std::string& name, std::int64_t record_bytes, int& error_number,
                     Mode mode) {
  if (descriptor_ >= 0) ::close(descriptor_);
  error_number = 0;
  name_ = name;
  record_bytes_ = record_bytes;
  if (writer_) {
    error_number = writer_open(name, mode);
    writer_open_ = error_number == 0;
    return writer_open_;
  }
  const int flags = O_WRONLY | O_CLOEXEC |
                    (mode == Mode::CUT    ? O_CREAT | O_TRUNC
                     : mode == Mode::NEW ? O_CREAT | O_EXCL
                                         : 0);
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
  if (writer_) return writer_open_ ? finish_writer() : "";
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
  } else if (format == RavVolumeFormat::TIFF_SLICES) {
    writer_ = rav_tiff_slices_writer();
  } else if (format == RavVolumeFormat::HDF5) {
    writer_ = rav_hdf5_volume_writer();
  } else {
    writer_.reset();
  }
}

int SliceFile::writer_open(const std::string& name, Mode mode) {
  // A TIFF stack or an HDF5 file is written by one process.
  if (mode == Mode::KEEP) return EINVAL;
  if (mode == Mode::NEW && !writer_->folder()) {
    // Refused when it exists; the writer then writes into the file created here.
    const int descriptor = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor < 0) return errno != 0 ? errno : EIO;
    ::close(descriptor);
  }
  writer_path_ = name;
  const int error = writer_->create(name, geometry_);
  if (error != 0 && mode == Mode::NEW && !writer_->folder()) ::unlink(name.c_str());
  return error;
}

std::string SliceFile::finish_writer() {
  writer_open_ = false;
  const std::string failure = writer_->finish();
  if (!failure.empty()) return failure;
  // The libraries close the file without forcing it to the disk: the volume is complete only
  // when it is there.
  const int descriptor = ::open(writer_path_.c_str(), O_RDONLY | O_CLOEXEC);  // a folder too
  const bool synced = descriptor >= 0 && (::fsync(descriptor) == 0 || errno == EINVAL);
  const int error = errno;
  if (descriptor >= 0) ::close(descriptor);
  if (synced) return "";
  return "ERROR: Problem writing output file " + name_ + " to the disk: " + std::strerror(error);
}

bool rav_volume_format_named(std::string_view name, RavVolumeFormat& format) {
  const std::string text = UT_UPPER(name);
  if (text.empty() || text == "RAW") {
    format = RavVolumeFormat::RAW;
  } else if (text == "TIFF") {
    format = RavVolumeFormat::TIFF;
  } else if (text == "TIFF_SLICES") {
    format = RavVolumeFormat::TIFF_SLICES;
  } else if (text == "HDF5") {
    format = RavVolumeFormat::HDF5;
  } else {
    return false;
  }
  return true;
}
