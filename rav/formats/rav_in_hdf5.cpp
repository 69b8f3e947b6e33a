// The HDF5 image reader. The file and dataset of the last call stay open, so that the images of
// a scan are read one after another without opening the file for each. The library's automatic
// error printing is switched off: its messages become the reason of our warning.
#include "rav_in_hdf5.h"

#include <hdf5.h>
#include <unistd.h>

#include <algorithm>
#include <array>

#include "rav_image_region.h"
#include "rav_in_zelfa.h"
#include "ut.h"

namespace {

constexpr std::string_view kRoutine = "Subroutine RAV_IN_HDF5 V0.1 ";
// A 1-D dataset of more values than this is not a list of angles.
constexpr hsize_t kMaxValues = hsize_t{1} << 24;
// The largest chunk the library may decode for a read: a damaged file cannot ask for more.
constexpr hsize_t kMaxChunkBytes = hsize_t{1} << 30;

// The open file and dataset and the dataset's shape: IMAGES x ROWS x COLUMNS.
struct OpenHdf5 {
  hid_t file = H5I_INVALID_HID;
  hid_t dataset = H5I_INVALID_HID;
  std::string name, dataset_name;
  RavFileSignature signature;
  std::int64_t images = 0, rows = 0, columns = 0;
  int rank = 0;
  bool real = false;  // floating-point values
};
OpenHdf5 open_hdf5;

void quiet_library() {
  static const bool quiet = [] {
    H5open();
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    return true;
  }();
  (void)quiet;
}

herr_t innermost_error(unsigned position, const H5E_error2_t* error, void* data) {
  if (position == 0 && error->desc != nullptr) *static_cast<std::string*>(data) = error->desc;
  return 0;
}

// The description of the innermost error the library recorded, the record then cleared.
std::string library_error() {
  std::string text;
  H5Ewalk2(H5E_DEFAULT, H5E_WALK_DOWNWARD, innermost_error, &text);
  H5Eclear2(H5E_DEFAULT);
  return text.empty() ? "" : " (" + text + ")";
}

void hdf5_warning(const std::string& reason, std::int32_t& status) {
  UT_WRITE("WARNING: This HDF5 image cannot be input:", status);
  UT_WRITE("         " + reason, status);
}

// The bytes of one chunk of a chunked DATASET of values of TYPE_SIZE bytes (0 when it is not
// chunked).
hsize_t chunk_bytes(hid_t dataset, std::size_t type_size) {
  const hid_t plist = H5Dget_create_plist(dataset);
  hsize_t bytes = 0;
  if (plist >= 0 && H5Pget_layout(plist) == H5D_CHUNKED) {
    std::array<hsize_t, 32> dims{};
    const int rank = H5Pget_chunk(plist, static_cast<int>(dims.size()), dims.data());
    bytes = rank > 0 ? type_size : 0;
    for (int k = 0; k < rank && k < static_cast<int>(dims.size()); ++k) {
      const hsize_t d = dims[static_cast<std::size_t>(k)];
      bytes = d != 0 && bytes > kMaxChunkBytes / d ? kMaxChunkBytes + 1 : bytes * d;
    }
  }
  if (plist >= 0) H5Pclose(plist);
  return bytes;
}

// The shape of DATASET as images, rows and columns; the reason it cannot be input otherwise.
std::string dataset_shape(hid_t dataset, OpenHdf5& open) {
  const hid_t type = H5Dget_type(dataset);
  const H5T_class_t type_class = type >= 0 ? H5Tget_class(type) : H5T_NO_CLASS;
  const std::size_t type_size = type >= 0 ? H5Tget_size(type) : 0;
  if (type >= 0) H5Tclose(type);
  open.real = type_class == H5T_FLOAT;
  if (type_class != H5T_INTEGER && type_class != H5T_FLOAT) {
    return "dataset " + open.dataset_name + " does not hold numbers";
  }
  if (chunk_bytes(dataset, type_size) > kMaxChunkBytes) {
    return "the chunks of dataset " + open.dataset_name + " are too large";
  }
  const hid_t space = H5Dget_space(dataset);
  std::array<hsize_t, 3> dims{};
  const int rank = space >= 0 ? H5Sget_simple_extent_ndims(space) : -1;
  if (rank == 2 || rank == 3) H5Sget_simple_extent_dims(space, dims.data(), nullptr);
  if (space >= 0) H5Sclose(space);
  if (rank != 2 && rank != 3) {
    return "dataset " + open.dataset_name + " has " + std::to_string(rank) +
           " dimensions, not 2 (one image) or 3 (images, rows, columns)";
  }
  open.rank = rank;
  open.images = rank == 3 ? static_cast<std::int64_t>(dims[0]) : 1;
  open.rows = static_cast<std::int64_t>(dims[rank - 2]);
  open.columns = static_cast<std::int64_t>(dims[rank - 1]);
  return "";
}

// The open file and dataset of NAME, opened when others (or none) are open. False when the
// file cannot be opened (STATUS 1000) or the dataset cannot be used (with a warning, RETSTAT
// unusable).
bool open_dataset(const std::string& name, const std::string& dataset_name,
                  std::int32_t& retstat, std::int32_t& status) {
  RavFileSignature signature;
  const bool exists = rav_file_signature(name.c_str(), signature);
  if (exists && open_hdf5.dataset >= 0 && open_hdf5.name == name &&
      open_hdf5.dataset_name == dataset_name && open_hdf5.signature == signature) {
    return true;
  }
  rav_hdf5_close();
  if (!exists || ::access(name.c_str(), R_OK) != 0) {
    ST_SAVE(kRoutine);
    status = 1000;
    retstat = 3;
    return false;
  }
  quiet_library();
  OpenHdf5 open;
  open.name = name;
  open.dataset_name = dataset_name;
  open.signature = signature;
  std::string reason;
  open.file = H5Fopen(name.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
  if (open.file < 0) {
    reason = "not an HDF5 file" + library_error();
  } else if (dataset_name.empty() || H5Lexists(open.file, dataset_name.c_str(), H5P_DEFAULT) <= 0 ||
             (open.dataset = H5Dopen2(open.file, dataset_name.c_str(), H5P_DEFAULT)) < 0) {
    H5Eclear2(H5E_DEFAULT);
    reason = "the file has no dataset " + dataset_name;
  } else {
    reason = dataset_shape(open.dataset, open);
  }
  open_hdf5 = open;
  if (reason.empty()) return true;
  rav_hdf5_close();
  hdf5_warning(reason, status);
  retstat = RAV_IN_ZELFA_UNUSABLE;
  return false;
}

// The transfer properties of a read of VALUES values: a type-conversion buffer of their size,
// not the library's default of a megabyte, which it would clear on every read of a few rows.
hid_t transfer_list(std::size_t values) {
  static hid_t list = H5Pcreate(H5P_DATASET_XFER);
  static std::size_t size = 0;
  const std::size_t wanted = std::max<std::size_t>(values * sizeof(double), 4096);
  if (list >= 0 && wanted != size && H5Pset_buffer(list, wanted, nullptr, nullptr) >= 0) {
    size = wanted;
  }
  return list >= 0 ? list : H5P_DEFAULT;
}

// Reads the window into DATA (rows of XMAXDAT values); false when the library cannot.
bool read_window(std::int64_t index, std::int64_t x0, std::int64_t y0, std::int64_t columns,
                 std::int64_t rows, std::int32_t xmaxdat, std::int32_t ymaxdat,
                 std::span<float> data) {
  const hid_t file_space = H5Dget_space(open_hdf5.dataset);
  const std::array<hsize_t, 3> start{static_cast<hsize_t>(index), static_cast<hsize_t>(y0),
                                     static_cast<hsize_t>(x0)};
  const std::array<hsize_t, 3> count{1, static_cast<hsize_t>(rows),
                                     static_cast<hsize_t>(columns)};
  const int skip = open_hdf5.rank == 3 ? 0 : 1;  // a 2-D dataset has no image index
  const std::array<hsize_t, 2> memory_dims{static_cast<hsize_t>(ymaxdat),
                                           static_cast<hsize_t>(xmaxdat)};
  const std::array<hsize_t, 2> memory_start{0, 0};
  const hid_t memory_space = H5Screate_simple(2, memory_dims.data(), nullptr);
  const bool ok =
      file_space >= 0 && memory_space >= 0 &&
      H5Sselect_hyperslab(file_space, H5S_SELECT_SET, start.data() + skip, nullptr,
                          count.data() + skip, nullptr) >= 0 &&
      H5Sselect_hyperslab(memory_space, H5S_SELECT_SET, memory_start.data(), nullptr,
                          count.data() + 1, nullptr) >= 0 &&
      H5Dread(open_hdf5.dataset, H5T_NATIVE_FLOAT, memory_space, file_space,
              transfer_list(static_cast<std::size_t>(rows * columns)), data.data()) >= 0;
  if (memory_space >= 0) H5Sclose(memory_space);
  if (file_space >= 0) H5Sclose(file_space);
  return ok;
}

}  // namespace

void rav_hdf5_close() {
  if (open_hdf5.dataset >= 0) H5Dclose(open_hdf5.dataset);
  if (open_hdf5.file >= 0) H5Fclose(open_hdf5.file);
  open_hdf5 = OpenHdf5{};
}

std::int64_t rav_hdf5_images(std::string_view file_name, std::string_view dataset,
                             std::int32_t& retstat, std::int32_t& status) {
  if (st_bad(status, kRoutine)) return 0;
  retstat = 0;
  if (!open_dataset(std::string(file_name), std::string(dataset), retstat, status)) return 0;
  return open_hdf5.images;
}

void RAV_IN_HDF5(std::string_view file_name, std::string_view dataset, std::int64_t index,
                 std::int32_t xmaxdat, std::int32_t ymaxdat, std::int32_t xstrelm,
                 std::int32_t ystrelm, std::int32_t xendelm, std::int32_t yendelm,
                 std::int32_t& retstat, std::int32_t& xnumdat, std::int32_t& ynumdat,
                 std::span<float> data, std::int32_t& status) {
  if (!rav_region_entry(kRoutine, xmaxdat, ymaxdat, xstrelm, ystrelm, xendelm, yendelm,
                        data.size(), retstat, status)) {
    return;
  }
  if (!open_dataset(std::string(file_name), std::string(dataset), retstat, status)) return;
  if (index < 0 || index >= open_hdf5.images) {
    hdf5_warning("image " + std::to_string(index) + " is not in dataset " +
                     open_hdf5.dataset_name + " (" + std::to_string(open_hdf5.images) +
                     " images)",
                 status);
    retstat = RAV_IN_ZELFA_UNUSABLE;
    return;
  }
  if (xendelm > open_hdf5.columns || yendelm > open_hdf5.rows) {
    retstat = RAV_IN_ZELFA_BEYOND_IMAGE;
    return;
  }
  const std::int64_t columns = xendelm - xstrelm + 1, rows = yendelm - ystrelm + 1;
  if (!read_window(index, xstrelm - 1, ystrelm - 1, columns, rows, xmaxdat, ymaxdat, data)) {
    hdf5_warning("the data of " + open_hdf5.dataset_name + " cannot be read" + library_error(),
                 status);
    retstat = RAV_IN_ZELFA_SHORT_DATA;
    return;
  }
  xnumdat = static_cast<std::int32_t>(columns);
  ynumdat = static_cast<std::int32_t>(rows);
  rav_note_read_type(open_hdf5.real ? RavSampleType::FLOAT32 : RavSampleType::INT32);
}

bool rav_hdf5_values(std::string_view file_name, std::string_view dataset,
                     std::vector<double>& values, std::string& problem) {
  quiet_library();
  problem.clear();
  values.clear();
  const std::string name(file_name), path(dataset);
  const hid_t file = H5Fopen(name.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
  if (file < 0) {
    problem = name + " cannot be opened as an HDF5 file" + library_error();
    return false;
  }
  hid_t data = H5I_INVALID_HID;
  if (H5Lexists(file, path.c_str(), H5P_DEFAULT) > 0) {
    data = H5Dopen2(file, path.c_str(), H5P_DEFAULT);
  }
  H5Eclear2(H5E_DEFAULT);
  bool found = false;
  if (data >= 0) {
    const hid_t space = H5Dget_space(data);
    hsize_t count = 0;
    const bool one_d = space >= 0 && H5Sget_simple_extent_ndims(space) == 1 &&
                       H5Sget_simple_extent_dims(space, &count, nullptr) == 1;
    if (space >= 0) H5Sclose(space);
    if (!one_d || count > kMaxValues) {
      problem = path + " in " + name + " is not a list of values";
    } else {
      values.resize(static_cast<std::size_t>(count));
      found = count == 0 || H5Dread(data, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT,
                                    values.data()) >= 0;
      if (!found) problem = path + " in " + name + " cannot be read" + library_error();
    }
    H5Dclose(data);
  }
  H5Fclose(file);
  if (!found) values.clear();
  return found;
}

bool rav_hdf5_shape(std::string_view file_name, std::string_view dataset, RavHdf5Shape& shape,
                    std::string& problem) {
  quiet_library();
  problem.clear();
  shape = RavHdf5Shape{};
  OpenHdf5 open;
  open.name = std::string(file_name);
  open.dataset_name = std::string(dataset);
  open.file = H5Fopen(open.name.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
  if (open.file < 0) {
    problem = open.name + " cannot be opened as an HDF5 file" + library_error();
    return false;
  }
  if (H5Lexists(open.file, open.dataset_name.c_str(), H5P_DEFAULT) > 0) {
    open.dataset = H5Dopen2(open.file, open.dataset_name.c_str(), H5P_DEFAULT);
  }
  H5Eclear2(H5E_DEFAULT);
  if (open.dataset >= 0) {
    const std::string reason = dataset_shape(open.dataset, open);
    if (!reason.empty()) problem = open.name + ": " + reason;
    H5Dclose(open.dataset);
  }
  H5Fclose(open.file);
  if (open.dataset < 0 || !problem.empty()) return false;
  shape = {open.images, open.rows, open.columns, open.real};
  return true;
}
