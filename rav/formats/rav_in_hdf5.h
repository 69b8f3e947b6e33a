// The HDF5 image reader (the HDF5 C library): the images of a 3-D dataset (image, row, column),
// such as /exchange/data of the DataExchange layout, or the one image of a 2-D dataset; any
// integer or floating-point type. Only the rows of the region are read (a hyperslab), so a
// chunked dataset decodes only the chunks that hold them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Reads columns XSTRELM..XENDELM of rows YSTRELM..YENDELM (1-based, inclusive) of image INDEX
// (from 0) of DATASET in FILE_NAME into the start of DATA (XMAXDAT x YMAXDAT, first index
// fastest) as floats, with the contract of RAV_IN_ZELFA: bad dimensions or region give STATUS
// 180001, 180002, 180005, 180006; a file that cannot be opened STATUS 1000 (RETSTAT 3);
// otherwise RETSTAT 0 (read; XNUMDAT and YNUMDAT set), RAV_IN_ZELFA_SHORT_DATA (the data cannot
// be read: a truncated or corrupt file), RAV_IN_ZELFA_BEYOND_IMAGE (DATA untouched) or
// RAV_IN_ZELFA_UNUSABLE (not an HDF5 file, no such dataset, not a 2-D or 3-D dataset of numbers,
// no such image; DATA untouched). Every failure but the region beyond the image prints a
// "WARNING: " line that says why. The file stays open between calls until
// rav_close_image_files, or until another file or dataset is asked for.
void RAV_IN_HDF5(std::string_view file_name, std::string_view dataset, std::int64_t index,
                 std::int32_t xmaxdat, std::int32_t ymaxdat, std::int32_t xstrelm,
                 std::int32_t ystrelm, std::int32_t xendelm, std::int32_t yendelm,
                 std::int32_t& retstat, std::int32_t& xnumdat, std::int32_t& ynumdat,
                 std::span<float> data, std::int32_t& status);

// The number of images of DATASET in FILE_NAME; RETSTAT and STATUS as for RAV_IN_HDF5 (0 images
// unless RETSTAT is 0).
std::int64_t rav_hdf5_images(std::string_view file_name, std::string_view dataset,
                             std::int32_t& retstat, std::int32_t& status);

// Whether FILE_NAME holds a 1-D numeric dataset named DATASET: true with its values in VALUES
// when it does, false with PROBLEM empty when there is no such dataset, false with PROBLEM
// saying what is wrong when the file or the dataset cannot be read.
bool rav_hdf5_values(std::string_view file_name, std::string_view dataset,
                     std::vector<double>& values, std::string& problem);

// The shape of DATASET in FILE_NAME as the reader takes it, found without a word: true with it
// when the dataset can be input, false with PROBLEM empty when there is no such dataset, false
// with PROBLEM saying why when the file or the dataset cannot be used.
struct RavHdf5Shape {
  std::int64_t images = 0, rows = 0, columns = 0;  // a 2-D dataset is one image
  bool real = false;                               // floating-point values
};
bool rav_hdf5_shape(std::string_view file_name, std::string_view dataset, RavHdf5Shape& shape,
                    std::string& problem);
// Closes the file the reader keeps open.
void rav_hdf5_close();
