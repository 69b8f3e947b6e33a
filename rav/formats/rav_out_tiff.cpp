// The volume as a BigTIFF stack (libtiff): one page per slice, 32-bit float samples, grey
// levels, uncompressed strips, the voxel size as the resolution in pixels per centimetre.
// BigTIFF's 64-bit offsets hold volumes beyond 4 GB.
#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "rav_tiff_open.h"
#include "rav_volume_writer.h"

namespace {

class TiffVolumeWriter final : public RavVolumeWriter {
 public:
  ~TiffVolumeWriter() override { close_file(); }

  int create(const std::string& path, const RavVolumeGeometry& geometry) override {
    close_file();
    path_ = path;
    geometry_ = geometry;
    pages_ = 0;
    file_.descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (file_.descriptor < 0) return errno != 0 ? errno : EIO;
    tif_ = rav_tiff_open(file_, path, "w8");
    if (tif_ == nullptr) {
      close_file();
      return EIO;
    }
    return 0;
  }

  std::string write(std::int32_t record, std::span<const float> slice) override {
    if (tif_ == nullptr) return failure(record, "the file is not open");
    if (record != pages_ + 1) return failure(record, "the pages of a TIFF stack come in order");
    const std::uint32_t width = static_cast<std::uint32_t>(geometry_.NUM_X);
    const std::uint32_t height = static_cast<std::uint32_t>(geometry_.NUM_Y);
    if (static_cast<std::int64_t>(slice.size()) != std::int64_t{geometry_.NUM_X} * geometry_.NUM_Y) {
      return failure(record, "the slice does not have the size of the volume's slices");
    }
    set_page_fields(width, height);
    for (std::uint32_t row = 0; row < height; ++row) {
      // libtiff takes a non-const buffer but does not change uncompressed rows.
      auto* data = const_cast<float*>(slice.data() + std::size_t{row} * width);
      if (TIFFWriteScanline(tif_, data, row, 0) < 0) return failure(record, file_.error);
    }
    if (TIFFWriteDirectory(tif_) == 0) return failure(record, file_.error);
    ++pages_;
    return "";
  }

  std::string finish() override {
    if (tif_ == nullptr) return "";
    const bool flushed = TIFFFlush(tif_) != 0;
    TIFFClose(tif_);  // frees libtiff's state; the descriptor is ours to close
    tif_ = nullptr;
    const int descriptor = file_.descriptor;
    file_.descriptor = -1;
    const bool closed = ::close(descriptor) == 0 || errno == EINTR;
    if (flushed && closed) return "";
    return "ERROR: Problem closing output file " + path_ + ": " +
           (flushed ? std::string(std::strerror(errno)) : file_.error);
  }

  void abandon() override {
    close_file();
    if (!path_.empty()) ::unlink(path_.c_str());
  }

 private:
  void set_page_fields(std::uint32_t width, std::uint32_t height) {
    TIFFSetField(tif_, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif_, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif_, TIFFTAG_BITSPERSAMPLE, 32);
    TIFFSetField(tif_, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif_, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
    TIFFSetField(tif_, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif_, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif_, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif_, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif_, 0));
    if (geometry_.millimetres && geometry_.spacing[0] > 0.0 && geometry_.spacing[1] > 0.0) {
      TIFFSetField(tif_, TIFFTAG_RESOLUTIONUNIT, RESUNIT_CENTIMETER);
      TIFFSetField(tif_, TIFFTAG_XRESOLUTION, static_cast<float>(10.0 / geometry_.spacing[0]));
      TIFFSetField(tif_, TIFFTAG_YRESOLUTION, static_cast<float>(10.0 / geometry_.spacing[1]));
    }
  }

  std::string failure(std::int32_t record, const std::string& reason) const {
    return "ERROR: Problem writing record " + std::to_string(record) + " of output file " +
           path_ + ": " + reason;
  }

  void close_file() {
    if (tif_ != nullptr) TIFFCleanup(tif_);
    tif_ = nullptr;
    if (file_.descriptor >= 0) ::close(file_.descriptor);
    file_.descriptor = -1;
  }

  TIFF* tif_ = nullptr;
  RavTiffFile file_;
  std::string path_;
  RavVolumeGeometry geometry_;
  std::int32_t pages_ = 0;
};

}  // namespace

std::unique_ptr<RavVolumeWriter> rav_tiff_volume_writer() {
  return std::make_unique<TiffVolumeWriter>();
}
