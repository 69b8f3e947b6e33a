// The volume as a folder of TIFF files, one per slice: slice_0001.tif, slice_0002.tif... (four
// digits, more when the volume has more slices), each one page of NUM_X x NUM_Y 32-bit floats
// written as the TIFF stack writer writes its pages, and forced to the disk when complete.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "rav_volume_writer.h"

namespace {

class TiffSlicesWriter final : public RavVolumeWriter {
 public:
  bool folder() const override { return true; }

  int create(const std::string& path, const RavVolumeGeometry& geometry) override {
    folder_ = path;
    geometry_ = geometry;
    geometry_.NUM_Z = 1;
    if (::mkdir(path.c_str(), 0777) != 0) return errno != 0 ? errno : EIO;
    return 0;
  }

  std::string write(std::int32_t record, std::span<const float> slice) override {
    if (record < 1) return "ERROR: Problem writing record " + std::to_string(record);
    const std::string file = folder_ + "/" + rav_slice_file_name(record);
    const std::unique_ptr<RavVolumeWriter> page = rav_tiff_volume_writer();
    if (const int error = page->create(file, geometry_); error != 0) {
      return "ERROR: Problem writing output file " + file + ": " + std::strerror(error);
    }
    std::string failure = page->write(1, slice);
    if (failure.empty()) failure = page->finish();
    if (failure.empty()) failure = synced(file);
    return failure;
  }

  std::string finish() override { return ""; }

  // The run's safe output removes the folder with everything in it.
  void abandon() override {}

 private:
  static std::string synced(const std::string& file) {
    const int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    const bool ok = descriptor >= 0 && ::fsync(descriptor) == 0;
    const int error = errno;
    if (descriptor >= 0) ::close(descriptor);
    return ok ? "" : "ERROR: Problem writing output file " + file + " to the disk: " +
                         std::strerror(error);
  }

  std::string folder_;
  RavVolumeGeometry geometry_;
};

}  // namespace

std::string rav_slice_file_name(std::int32_t record) {
  char name[32];
  std::snprintf(name, sizeof name, "slice_%04d.tif", static_cast<int>(record));
  return name;
}

std::unique_ptr<RavVolumeWriter> rav_tiff_slices_writer() {
  return std::make_unique<TiffSlicesWriter>();
}
