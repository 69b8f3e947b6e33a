// One reader for the image formats of the input: the keyword-header format (RAV_IN_ZELFA),
// TIFF (RAV_IN_TIFF) and HDF5 (RAV_IN_HDF5), chosen by a source that names the format, the
// file, and which of its images is wanted.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

enum class RavImageFormat { KEYWORD_HEADER, TIFF, HDF5 };

// The format a file name's extension gives (any case): .tif and .tiff TIFF; .h5, .hdf5, .hdf
// and .nxs HDF5; anything else the keyword-header format.
RavImageFormat rav_image_format_of(std::string_view file_name);
// The format called NAME ("KEYWORD_HEADER", "TIFF", "HDF5", any case); false for another name.
bool rav_image_format_named(std::string_view name, RavImageFormat& format);

// An image to read.
struct RavImageSource {
  RavImageFormat format = RavImageFormat::KEYWORD_HEADER;
  std::string file;
  std::string dataset;      // HDF5: the dataset of the images
  std::int64_t index = -1;  // the image of a stack, from 0: a TIFF page (every page must have
                            // the size of page 0), an image of an HDF5 dataset; below 0: the
                            // file's own image (image 1 of a keyword-header file, the first
                            // page of a TIFF file, image 0 of an HDF5 dataset)
  bool average = false;     // the mean of every image of the file or dataset instead

  // How the image is named in messages: the file, with the page or the dataset and image.
  std::string display() const;
};

// Reads the region of SOURCE's image with the contract of RAV_IN_ZELFA (see rav_in_zelfa.h,
// rav_in_tiff.h, rav_in_hdf5.h). The mean of several images (at most 4096) is taken in double
// precision and rounded once; its region must lie inside every one of them.
void RAV_IN_IMAGE(const RavImageSource& source, std::int32_t xmaxdat, std::int32_t ymaxdat,
                  std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                  std::int32_t yendelm, std::int32_t& retstat, std::int32_t& xnumdat,
                  std::int32_t& ynumdat, std::span<float> data, std::int32_t& status);

// Whether the last image RAV_IN_IMAGE read holds floating-point pixels.
bool rav_image_real();
// The system's error number of the last image file RAV_IN_IMAGE could not open (STATUS 1000).
int rav_image_open_error();

// Closes the files the TIFF and HDF5 readers keep open between calls. The drivers call it
// after each pass; a file changed on disk since it was opened is opened again anyway.
void rav_close_image_files();
