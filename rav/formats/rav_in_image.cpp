// The choice of the reader by format, and the mean of the images of a file.
#include "rav_in_image.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "dax.h"

#include "rav_image_region.h"
#include "rav_in_hdf5.h"
#include "rav_in_tiff.h"
#include "rav_in_zelfa.h"
#include "ut.h"

namespace {

constexpr std::string_view kRoutine = "Subroutine RAV_IN_IMAGE V0.1 ";
// The most images whose mean is taken: more flat fields or backgrounds than any scan takes, and
// a bound on the work a damaged file's size can ask for.
constexpr std::int64_t kMaxAveraged = 4096;

bool g_real = false;
int g_open_error = 0;

// Why FILE_NAME could not be opened, as the system says it now.
int open_error_of(const std::string& file_name) {
  const int descriptor = ::open(file_name.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return errno;
  ::close(descriptor);
  return EIO;
}

// One image of SOURCE: image INDEX of a stack, or the file's own image.
void read_one(const RavImageSource& source, std::int64_t index, std::int32_t xmaxdat,
              std::int32_t ymaxdat, std::int32_t xstrelm, std::int32_t ystrelm,
              std::int32_t xendelm, std::int32_t yendelm, std::int32_t& retstat,
              std::int32_t& xnumdat, std::int32_t& ynumdat, std::span<float> data,
              std::int32_t& status) {
  const bool stack = index >= 0;
  switch (source.format) {
    case RavImageFormat::KEYWORD_HEADER:
      RAV_IN_ZELFA(xmaxdat, ymaxdat, xstrelm, ystrelm, xendelm, yendelm, source.file, retstat,
                   xnumdat, ynumdat, data, status);
      break;
    case RavImageFormat::TIFF:
      RAV_IN_TIFF(source.file, std::max<std::int64_t>(index, 0), stack, xmaxdat, ymaxdat,
                  xstrelm, ystrelm, xendelm, yendelm, retstat, xnumdat, ynumdat, data, status);
      break;
    case RavImageFormat::HDF5:
      RAV_IN_HDF5(source.file, source.dataset, std::max<std::int64_t>(index, 0), xmaxdat,
                  ymaxdat, xstrelm, ystrelm, xendelm, yendelm, retstat, xnumdat, ynumdat, data,
                  status);
      break;
  }
  if (status == 1000) {
    g_open_error = source.format == RavImageFormat::KEYWORD_HEADER ? dax_open_error()
                                                                   : open_error_of(source.file);
  } else if (retstat == 0 && status == ST_OK) {
    g_real = source.format == RavImageFormat::KEYWORD_HEADER
                 ? rav_in_zelfa_state.pixel_type == ZelfaPixelType::REAL4
                 : rav_read_was_real();
  }
}

// The number of images of SOURCE's file (TIFF pages, images of the HDF5 dataset; one for the
// keyword-header format).
std::int64_t image_count(const RavImageSource& source, std::int32_t& retstat,
                         std::int32_t& status) {
  retstat = 0;
  if (source.format == RavImageFormat::TIFF) return rav_tiff_pages(source.file, retstat, status);
  if (source.format == RavImageFormat::HDF5) {
    return rav_hdf5_images(source.file, source.dataset, retstat, status);
  }
  return 1;
}

}  // namespace

RavImageFormat rav_image_format_of(std::string_view file_name) {
  const std::size_t dot = file_name.rfind('.');
  const std::size_t slash = file_name.rfind('/');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
    return RavImageFormat::KEYWORD_HEADER;
  }
  const std::string extension = UT_UPPER(file_name.substr(dot + 1));
  if (extension == "TIF" || extension == "TIFF") return RavImageFormat::TIFF;
  if (extension == "H5" || extension == "HDF5" || extension == "HDF" || extension == "NXS") {
    return RavImageFormat::HDF5;
  }
  return RavImageFormat::KEYWORD_HEADER;
}

bool rav_image_format_named(std::string_view name, RavImageFormat& format) {
  const std::string text = UT_UPPER(name);
  if (text == "KEYWORD_HEADER") {
    format = RavImageFormat::KEYWORD_HEADER;
  } else if (text == "TIFF") {
    format = RavImageFormat::TIFF;
  } else if (text == "HDF5") {
    format = RavImageFormat::HDF5;
  } else {
    return false;
  }
  return true;
}

std::string RavImageSource::display() const {
  std::string text = file;
  if (format == RavImageFormat::HDF5) text += ", dataset " + dataset;
  if (average) return text + ", mean of all images";
  if (index < 0) return text;
  return text + (format == RavImageFormat::TIFF ? ", page " : ", image ") + std::to_string(index);
}

void RAV_IN_IMAGE(const RavImageSource& source, std::int32_t xmaxdat, std::int32_t ymaxdat,
                  std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                  std::int32_t yendelm, std::int32_t& retstat, std::int32_t& xnumdat,
                  std::int32_t& ynumdat, std::span<float> data, std::int32_t& status) {
  if (st_bad(status, kRoutine)) return;
  if (!source.average) {
    read_one(source, source.index, xmaxdat, ymaxdat, xstrelm, ystrelm, xendelm, yendelm,
             retstat, xnumdat, ynumdat, data, status);
    return;
  }
  if (rav_region_refused(kRoutine, xmaxdat, ymaxdat, xstrelm, ystrelm, xendelm, yendelm,
                         data.size(), status)) {
    return;
  }
  const std::int64_t count = image_count(source, retstat, status);
  if (retstat != 0 || status != ST_OK) return;
  if (count < 1 || count > kMaxAveraged) {
    UT_WRITE("WARNING: " + source.display() + " holds " + std::to_string(count) +
                 " images, not 1 to " + std::to_string(kMaxAveraged) + " to take the mean of",
             status);
    retstat = RAV_IN_ZELFA_UNUSABLE;
    return;
  }
  // Every image is read whole into a scratch array and added up region by region.
  std::vector<float> image(static_cast<std::size_t>(std::max(xmaxdat, 1)) *
                           static_cast<std::size_t>(std::max(ymaxdat, 1)));
  std::vector<double> sum(image.size(), 0.0);
  std::int32_t xnum = 0, ynum = 0;
  for (std::int64_t i = 0; i < count; ++i) {
    read_one(source, source.format == RavImageFormat::KEYWORD_HEADER ? -1 : i, xmaxdat, ymaxdat,
             xstrelm, ystrelm, xendelm, yendelm, retstat, xnum, ynum, image, status);
    if (retstat != 0 || status != ST_OK) return;
    for (std::size_t k = 0; k < sum.size(); ++k) sum[k] += image[k];
  }
  for (std::int32_t y = 0; y < ynum; ++y) {
    for (std::int32_t x = 0; x < xnum; ++x) {
      const std::size_t k = static_cast<std::size_t>(y) * static_cast<std::size_t>(xmaxdat) +
                            static_cast<std::size_t>(x);
      data[k] = static_cast<float>(sum[k] / static_cast<double>(count));
    }
  }
  xnumdat = xnum;
  ynumdat = ynum;
}

bool rav_image_real() { return g_real; }

int rav_image_open_error() { return g_open_error; }

void rav_close_image_files() {
  rav_tiff_close();
  rav_hdf5_close();
}
